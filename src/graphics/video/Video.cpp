#include "graphics/video/Video.h"

#include "graphics/Canvas.h"

#include <mutex>

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

std::mutex soundEngineMutex;
std::weak_ptr<QlSound::IEngine> soundEngine;

}  // namespace

void setMovieSoundEngine(const std::shared_ptr<QlSound::IEngine>& engine)
{
    std::lock_guard lock(soundEngineMutex);
    soundEngine = engine;
}

std::shared_ptr<QlSound::IEngine> getMovieSoundEngine()
{
    std::lock_guard lock(soundEngineMutex);
    return soundEngine.lock();
}

std::shared_ptr<IVideoData> VideoLoader::load(const std::shared_ptr<IFileData>& data)
{
    if (!data || data->getSize() == 0)
        return nullptr;
    auto video = VideoData::open(std::make_unique<FileDataSource>(data));
    if (!video)
        return nullptr;
    if (auto audio = video->getAudio())
        if (auto engine = getMovieSoundEngine())
            video->setAudioOutput(createMovieAudioOutput(engine, audio));
    return video;
}

bool Video::getRegion(Region& region) const
{
    if (!texture_)
        return false;
    region = Region{texture_.get(), 0, 0, texture_->getWidth(), texture_->getHeight()};
    return true;
}

void Video::onBeginFrame()
{
    if (!texture_ || !data_)
        return;
    const double duration = data_->getDuration();
    if (data_->isPlaying() && duration > 0 && data_->getPosition() >= duration) {
        if (data_->isLooping()) {
            data_->stop();
            data_->playLoop();
        } else {
            data_->stop();
        }
    }
    if (!data_->grabFrame() || data_->getFrameSerial() == uploaded_)
        return;
    uploaded_ = data_->getFrameSerial();
    auto buffer = texture_->lock();
    if (!buffer)
        return;
    const int width = std::min<int>(texture_->getWidth(), data_->getWidth());
    const int height = std::min<int>(texture_->getHeight(), data_->getHeight());
    for (int y = 0; y < height; ++y) {
        std::uint8_t* dst = buffer->rowAt(y);
        const std::uint8_t* src = data_->rowAt(y);
        for (int x = 0; x < width; ++x) {
            dst[4 * x] = src[3 * x];
            dst[4 * x + 1] = src[3 * x + 1];
            dst[4 * x + 2] = src[3 * x + 2];
            dst[4 * x + 3] = 255;
        }
    }
    texture_->unlock();
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
    auto video = std::make_shared<Video>(std::move(data), std::move(texture));
    context->addLateCallback(video);
    return video;
}

}  // namespace QlGraphics
