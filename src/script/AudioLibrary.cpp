#include "script/AudioLibrary.h"

#include "graphics/video/Video.h"
#include "script/Binding.h"
#include "sound/SoundFileLoader.h"
#include "sound/mixer/Engine.h"

#include <string_view>

namespace Quillorane {

namespace {

// A duration in frames from the script: a negative one counts as 0 (the change is made on
// the next tick) rather than as a wait of four billion frames.
std::uint32_t frameCount(int frames) { return frames < 0 ? 0u : static_cast<std::uint32_t>(frames); }

// Sound.play and Sound.loop (and the same on Group): the arguments are checked against the
// masks, the engine starts the play, and its channel comes back as a new Audio.Channel made
// through the Audio table as a script would make it, or null when nothing started.
template <class T, bool Looping>
SQInteger playRaw(HSQUIRRELVM v) {
    const SQInteger n = sq_gettop(v) - 1;
    static constexpr std::string_view kMasks[] = {"", "i", "ii", "iii"};
    const SQInteger most = Looping ? 3 : 1;
    if (n > most || !Bind::matchMask(v, n, kMasks[n])) return Bind::raise(v, u"wrong number of parameters");
    auto* self = Bind::self<T>(v);
    if (!self) return Bind::raise(v, u"play and loop are methods of Audio.Sound and Audio.Group");
    SQInteger args[3] = {0, 0, 0};
    for (SQInteger i = 0; i < n; ++i) Bind::readInteger(v, 2 + i, args[i]);
    // A negative start or loop start is past any end (no play); a negative count is huge.
    const auto start = static_cast<std::uint32_t>(args[0]);
    const auto count = static_cast<std::uint32_t>(args[1]);
    const auto loopStart = static_cast<std::uint32_t>(args[2]);
    auto channel = Looping ? self->sound()->play(start, count, loopStart) : self->sound()->play(start);
    if (!channel) {
        sq_pushnull(v);
        return 1;
    }
    if (!Bind::constructByName(v, {u"Audio", u"Channel"}, 0)) return SQ_ERROR;
    if (auto* wrapper = Bind::wrapperAt<ScChannel>(v, -1)) wrapper->set(std::move(channel));
    return 1;
}

template <class T>
Bind::Class<T>& soundMethods(Bind::Class<T>& c) {
    return c.method(u"isPlaying", &T::isPlaying)
        .method(u"isPaused", &T::isPaused)
        .raw(u"play", &playRaw<T, false>)
        .raw(u"loop", &playRaw<T, true>)
        .method(u"stop", &T::stop)
        .method(u"pause", &T::pause)
        .method(u"restart", &T::restart)
        .method(u"setVolume", &T::setVolume)
        .method(u"getVolume", &T::getVolume)
        .method(u"setSpeed", &T::setSpeed)
        .method(u"getSpeed", &T::getSpeed)
        .method(u"getLength", &T::getLength)
        .overload(u"fade", &T::fadeTo)
        .overload(u"fade", &T::fade)
        .method(u"fadeOut", &T::fadeOut);
}

}  // namespace

// A finished channel takes no more changes, fades included.
bool ScChannel::fadeTo(int frames, float to) { return !isInvalid() && QlSound::fade(channel_, frameCount(frames), to); }
bool ScChannel::fade(int frames, float from, float to) {
    return !isInvalid() && QlSound::fade(channel_, frameCount(frames), from, to);
}
bool ScChannel::fadeOut(int frames) { return !isInvalid() && QlSound::fadeOut(channel_, frameCount(frames)); }

bool ScSoundLike::fadeTo(int frames, float to) { return QlSound::fade(sound_, frameCount(frames), to); }
bool ScSoundLike::fade(int frames, float from, float to) { return QlSound::fade(sound_, frameCount(frames), from, to); }
bool ScSoundLike::fadeOut(int frames) { return QlSound::fadeOut(sound_, frameCount(frames)); }

AudioLibrary::AudioLibrary(std::shared_ptr<QlIO::IFileManager> files) : files_(std::move(files)) {}

AudioLibrary::~AudioLibrary() { shutDown(); }

bool AudioLibrary::onLoad(HSQUIRRELVM v) {
    // The audio device, or without one (a headless run) the null sink at real-time pace.
    context_ = createSoundContext(files_);
    QlGraphics::setMovieSoundEngine(context_->getEngine());
    // The constructors find the context as long as the library has it; after the unload
    // they fail like a file that cannot be read.
    std::weak_ptr<QlSound::Context> context = context_;

    Bind::Table audio(v);
    audio.add(Bind::Class<ScChannel>(v, u"Channel")
                  .ctor()
                  .method(u"isInvalid", &ScChannel::isInvalid)
                  .method(u"isPlaying", &ScChannel::isPlaying)
                  .method(u"isPaused", &ScChannel::isPaused)
                  .method(u"stop", &ScChannel::stop)
                  .method(u"pause", &ScChannel::pause)
                  .method(u"restart", &ScChannel::restart)
                  .method(u"setVolume", &ScChannel::setVolume)
                  .method(u"getVolume", &ScChannel::getVolume)
                  .method(u"setSpeed", &ScChannel::setSpeed)
                  .method(u"getSpeed", &ScChannel::getSpeed)
                  .overload(u"fade", &ScChannel::fadeTo)
                  .overload(u"fade", &ScChannel::fade)
                  .method(u"fadeOut", &ScChannel::fadeOut));
    Bind::Class<ScGroup> group(v, u"Group");
    group.ctor("", [context]() -> ScGroup* {
             auto c = context.lock();
             return c ? new ScGroup(c->createGroup()) : nullptr;
         })
        .ctor("x", [context](ScGroup& parent) -> ScGroup* {
            auto c = context.lock();
            return c ? new ScGroup(c->createGroup(parent.group())) : nullptr;
        });
    audio.add(soundMethods(group));
    Bind::Class<ScSound> sound(v, u"Sound");
    sound.ctor("s", [context](const std::u16string& path) -> ScSound* {
             auto c = context.lock();
             auto made = c ? c->createSound(path) : nullptr;
             return made ? new ScSound(std::move(made)) : nullptr;
         })
        .ctor("sx", [context](const std::u16string& path, ScGroup& into) -> ScSound* {
            auto c = context.lock();
            auto made = c ? c->createSound(path, into.group()) : nullptr;
            return made ? new ScSound(std::move(made)) : nullptr;
        });
    audio.add(soundMethods(sound));
    return audio.store(u"Audio") && runPrelude(v, "audio");
}

void AudioLibrary::onUnload(HSQUIRRELVM) { shutDown(); }

void AudioLibrary::onEndFrame(HSQUIRRELVM) {
    if (context_) context_->update();
}

void AudioLibrary::shutDown() {
    if (!context_) return;
    QlGraphics::setMovieSoundEngine(nullptr);
    // Sounds and channels the scripts still hold keep their engine objects until the VM
    // frees them; the output and every voice stop now.
    if (auto engine = std::dynamic_pointer_cast<QlSound::Mixer::Engine>(context_->getEngine())) engine->shutdown();
    context_.reset();  // also drops the pending fades and stops
}

}  // namespace Quillorane
