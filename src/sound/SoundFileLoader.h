// Sound files read whole through the file manager, so that sounds are found
// in archives, the linked data block and plain folders alike.
#pragma once

#include "io/IFileManager.h"
#include "sound/Context.h"
#include "sound/mixer/Engine.h"

#include <memory>

namespace Quillorane {

class SoundFileLoader final : public QlSound::IFileLoader {
public:
    explicit SoundFileLoader(std::shared_ptr<QlIO::IFileManager> fileManager)
        : fileManager_(std::move(fileManager)) {}

    // The whole file at `path` ('\' or '/' separators, one trailing separator
    // ignored); empty when no storage has it.
    std::shared_ptr<QlSound::IFileData> load(const std::u16string& path) override;

private:
    std::shared_ptr<QlIO::IFileManager> fileManager_;
};

// The process's sound context: the mixer engine on the audio device (or the
// null sink), files through `fileManager`, WAV tried before Ogg Vorbis.
std::shared_ptr<QlSound::Context> createSoundContext(
    std::shared_ptr<QlIO::IFileManager> fileManager,
    QlSound::Mixer::Engine::Output output = QlSound::Mixer::Engine::Output::Device);

}  // namespace Quillorane
