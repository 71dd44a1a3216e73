#include "graphics/video/Video.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace QlGraphics {
namespace {

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
    for (int y = 0; y < height && width > 0; ++y) {
        std::uint8_t* dst = buffer->rowAt(y);
        const std::uint8_t* src = data_->rowAt(y);
        // Whole 32-bit loads for every pixel but the last of the row, whose fourth byte
        // would lie past the frame; little-endian, so the loaded word is 0x??RRGGBB.
        for (int x = 0; x + 1 < width; ++x) {
            std::uint32_t v;
            std::memcpy(&v, src + 3 * x, 4);
            v |= 0xFF000000u;
            std::memcpy(dst + 4 * x, &v, 4);
        }
        const int x = width - 1;
        dst[4 * x] = src[3 * x];
        dst[4 * x + 1] = src[3 * x + 1];
        dst[4 * x + 2] = src[3 * x + 2];
        dst[4 * x + 3] = 255;
    }
    texture_->unlock();
}

}  // namespace QlGraphics
