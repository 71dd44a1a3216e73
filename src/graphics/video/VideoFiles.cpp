// Movies read through the graphics context's file loader, so that movies inside archives and
// the linked data block play like plain files.
#include "graphics/video/Video.h"

#include "graphics/Canvas.h"
#include "graphics/ImageData.h"

#include <algorithm>

namespace QlGraphics {
namespace {

// Reads the file data at any offset for the decoder.
class FileDataSource : public IVideoSource {
public:
    explicit FileDataSource(std::shared_ptr<IFileData> data) : data_(std::move(data)) {}
    std::uint64_t getSize() override { return data_->getSize(); }
    std::uint32_t read(void* buffer, std::uint64_t offset, std::uint32_t size) override
    {
        if (offset >= data_->getSize())
            return 0;
        return data_->read(buffer, static_cast<std::uint32_t>(offset), size);
    }

private:
    std::shared_ptr<IFileData> data_;
};

}  // namespace

std::shared_ptr<IVideoData> VideoLoader::load(const std::shared_ptr<IFileData>& data)
{
    if (!data || data->getSize() == 0)
        return nullptr;
    // Frames must fit in one texture of the engine that will show them.
    FrameLimit limit;
    if (auto context = getContext())
        if (auto engine = context->getEngine())
            if (auto caps = engine->getCaps()) {
                if (caps->getMaxTextureWidth() > 0)
                    limit.width = std::min(limit.width, caps->getMaxTextureWidth());
                if (caps->getMaxTextureHeight() > 0)
                    limit.height = std::min(limit.height, caps->getMaxTextureHeight());
            }
    auto video = VideoData::open(std::make_unique<FileDataSource>(data), {}, limit);
    if (!video)
        return nullptr;
    if (auto audio = video->getAudio())
        if (auto engine = getMovieSoundEngine())
            video->setAudioOutput(createMovieAudioOutput(engine, audio));
    return video;
}

std::shared_ptr<IVideo> createVideo(std::u16string_view path)
{
    auto context = getContext();
    if (!context || !getScreenCanvas() || !context->getEngine())
        return nullptr;
    auto fileLoader = context->getFileLoader();
    auto videoLoader = context->getVideoLoader();
    if (!fileLoader || !videoLoader)
        return nullptr;
    auto file = fileLoader->load(path);
    if (!file)
        return nullptr;
    auto data = videoLoader->load(file);
    if (!data)
        return nullptr;
    auto texture = context->getEngine()->createTexture(data->getWidth(), data->getHeight(), TextureFormat::Argb);
    if (!texture)
        return nullptr;
    // Opaque black until the first frame arrives.
    if (auto pixels = texture->lock()) {
        for (int y = 0; y < texture->getHeight(); ++y) {
            std::uint8_t* row = pixels->rowAt(y);
            for (int x = 0; x < texture->getWidth(); ++x) {
                row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = 0;
                row[4 * x + 3] = 255;
            }
        }
        texture->unlock();
    }
    auto video = std::make_shared<Video>(std::move(data), std::move(texture));
    context->addLateCallback(video);
    return video;
}

}  // namespace QlGraphics
