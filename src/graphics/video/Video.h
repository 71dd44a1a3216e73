#pragma once
// Movies as drawable images: a Video owns its decoded movie and a texture that it refreshes
// with the newest frame once per frame, through the graphics context's late callbacks.

#include "graphics/Context.h"
#include "graphics/Image.h"
#include "graphics/video/VideoData.h"

#include <functional>
#include <memory>
#include <string_view>

namespace QlSound {
class IEngine;
}

namespace QlGraphics {

class IFileData;

class IVideoLoader {
public:
    virtual ~IVideoLoader() = default;
    // Empty for an empty argument or bytes that are not a playable movie.
    virtual std::shared_ptr<IVideoData> load(const std::shared_ptr<IFileData>& data) = 0;
};

// Decodes movies with FFmpeg, reading the file data itself (so movies inside archives and the
// linked data block play like plain files). The movie's sound plays on the sound engine set
// with setMovieSoundEngine, if any.
class VideoLoader : public IVideoLoader {
public:
    std::shared_ptr<IVideoData> load(const std::shared_ptr<IFileData>& data) override;
};

// The sound engine movie sound plays on. The owner of the process's sound context sets it
// (the context is made after the graphics context); movies loaded while none is set, or
// after it is gone, play without sound.
void setMovieSoundEngine(const std::shared_ptr<QlSound::IEngine>& engine);
std::shared_ptr<QlSound::IEngine> getMovieSoundEngine();

// An audio output playing a movie's sound on a sound engine; empty if the engine refuses it.
std::unique_ptr<IVideoAudioOutput> createMovieAudioOutput(const std::shared_ptr<QlSound::IEngine>& engine,
                                                          const std::shared_ptr<MovieAudio>& audio);

class IVideo : public IImage {
public:
    virtual bool play() = 0;
    virtual bool playLoop() = 0;
    virtual bool stop() = 0;
    virtual bool pause() = 0;
    virtual bool resume() = 0;
    virtual bool isPlaying() const = 0;
    virtual bool isLooping() const = 0;
    virtual bool isPaused() const = 0;
    virtual bool setVolume(float volume) = 0;
    virtual float getVolume() const = 0;
    virtual bool setPosition(double seconds) = 0;
    virtual double getPosition() const = 0;
    virtual double getDuration() const = 0;
};

class Video : public IVideo, public ICallback {
public:
    Video(std::shared_ptr<IVideoData> data, std::shared_ptr<ITexture> texture)
        : data_(std::move(data)), texture_(std::move(texture))
    {
    }

    std::uint16_t getWidth() const override { return data_->getWidth(); }
    std::uint16_t getHeight() const override { return data_->getHeight(); }
    std::shared_ptr<ITexture> getTexture() const override { return texture_; }
    bool getRegion(Region& region) const override;

    bool play() override { return data_->play(); }
    bool playLoop() override { return data_->playLoop(); }
    bool stop() override { return data_->stop(); }
    bool pause() override { return data_->pause(); }
    bool resume() override { return data_->resume(); }
    bool isPlaying() const override { return data_->isPlaying(); }
    bool isLooping() const override { return data_->isLooping(); }
    bool isPaused() const override { return data_->isPaused(); }
    bool setVolume(float volume) override { return data_->setVolume(volume); }
    float getVolume() const override { return data_->getVolume(); }
    bool setPosition(double seconds) override { return data_->setPosition(seconds); }
    double getPosition() const override { return data_->getPosition(); }
    double getDuration() const override { return data_->getDuration(); }

    bool isReleased() const override { return false; }
    // Restarts a looping movie that reached its end (stops any other), then copies the
    // newest frame into the texture when there is one it has not copied yet.
    void onBeginFrame() override;
    void onRelease() override { data_->stop(); }

    const std::shared_ptr<IVideoData>& getData() const { return data_; }

private:
    std::shared_ptr<IVideoData> data_;
    std::shared_ptr<ITexture> texture_;
    std::uint64_t uploaded_ = 0;
};

// Needs the graphics context (with its file and video loaders) and the screen canvas; the
// video is refreshed every frame for as long as something holds it.
std::shared_ptr<IVideo> createVideo(std::u16string_view path);

}  // namespace QlGraphics
