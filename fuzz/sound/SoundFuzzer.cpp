// Loads arbitrary bytes as a sound, decodes all of it, and plays it through
// the mixer with a loop and an odd rate.
#include "sound/OggSoundData.h"
#include "sound/WavSoundData.h"
#include "sound/mixer/Voice.h"
#include "sound/mixer/VoiceMixer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    auto file = std::make_shared<QlSound::Core::MemoryFileData>(std::vector<std::uint8_t>(bytes, bytes + size));
    QlSound::Core::MixedSoundLoader loader;
    loader.addLoader(std::make_shared<QlSound::Core::WavSoundLoader>());
    loader.addLoader(std::make_shared<QlSound::Ogg::SoundLoader>());
    auto data = loader.load(file);
    if (!data) return 0;

    std::vector<std::uint8_t> pcm(4096);
    std::size_t total = 0;
    while (std::uint32_t n = data->read(pcm.data(), static_cast<std::uint32_t>(pcm.size()))) {
        total += n;
        if (total > (64u << 20)) break;
    }
    const std::uint32_t length = data->getLength();
    data->seek(length / 2);
    data->seek(length);

    if (!QlSound::Mixer::Voice::canPlay(data->getFormat())) return 0;
    QlSound::Mixer::VoiceMixer mixer(48000);
    auto voice = std::make_shared<QlSound::Mixer::Voice>(data->copy(), 48000);
    mixer.add(voice);
    voice->setSpeed(1.37f);
    voice->play(0, 2, length / 3, true);
    std::vector<float> out(512 * 2);
    for (int block = 0; block < 64 && voice->isPlaying(); ++block) mixer.mix(out.data(), 512);
    return 0;
}
