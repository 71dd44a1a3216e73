#include "sound/mixer/Engine.h"

#include "sound/mixer/Output.h"

namespace QlSound::Mixer {

std::shared_ptr<Engine> Engine::create(Output output, std::uint32_t preferredRate)
{
    if (preferredRate == 0) preferredRate = kDefaultRate;
    std::shared_ptr<Engine> engine(new Engine());
    if (output == Output::Device) {
        engine->device_ = openSdlOutput(preferredRate, engine->mixer_);
        if (!engine->device_) output = Output::Null;
    }
    if (!engine->mixer_) engine->mixer_ = std::make_shared<VoiceMixer>(preferredRate);
    if (output == Output::Null) engine->device_ = openNullOutput(engine->mixer_);
    // Decoding runs on the feeder; a manual engine decodes as it mixes.
    if (output != Output::Manual) engine->mixer_->startFeeder();
    engine->output_ = output;
    return engine;
}

Engine::~Engine() { shutdown(); }

void Engine::shutdown()
{
    if (shutDown_) return;
    shutDown_ = true;
    device_.reset();  // no mixing after this point
    mixer_->stopFeeder();
    mixer_->releaseAll();
}

std::shared_ptr<IBuffer> Engine::createBuffer(const std::shared_ptr<ISoundData>& soundData)
{
    if (shutDown_ || !soundData || !Voice::canPlay(soundData->getFormat())) return nullptr;
    auto voice = std::make_shared<Voice>(soundData, mixer_->getSampleRate());
    mixer_->add(voice);
    return std::make_shared<Buffer>(std::move(voice), mixer_);
}

Buffer::~Buffer()
{
    if (auto mixer = mixer_.lock()) mixer->remove(voice_.get());
}

}  // namespace QlSound::Mixer
