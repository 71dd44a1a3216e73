#include "sound/SoundFileLoader.h"

#include "io/IInputStream.h"
#include "io/Path.h"
#include "sound/OggSoundData.h"
#include "sound/WavSoundData.h"

namespace Quillorane {

std::shared_ptr<QlSound::IFileData> SoundFileLoader::load(const std::u16string& path)
{
    if (!fileManager_) return nullptr;
    auto stream = fileManager_->openInputStream(QlIO::normalizePath(path), 0);
    if (!stream || stream->isClosed()) return nullptr;
    auto bytes = stream->readAll();
    stream->close();
    return std::make_shared<QlSound::Core::MemoryFileData>(std::move(bytes));
}

std::shared_ptr<QlSound::Context> createSoundContext(std::shared_ptr<QlIO::IFileManager> fileManager,
                                                     QlSound::Mixer::Engine::Output output)
{
    auto loaders = std::make_shared<QlSound::Core::MixedSoundLoader>();
    loaders->addLoader(std::make_shared<QlSound::Core::WavSoundLoader>());
    loaders->addLoader(std::make_shared<QlSound::Ogg::SoundLoader>());
    return std::make_shared<QlSound::Context>(QlSound::Mixer::Engine::create(output),
                                              std::make_shared<SoundFileLoader>(std::move(fileManager)),
                                              std::move(loaders));
}

}  // namespace Quillorane
