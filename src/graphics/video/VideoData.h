#pragma once
// A movie decoded on its own thread: playback control, position and duration in seconds,
// volume on the decibel scale, the newest frame as 24-bit BGR rows, and the movie's sound
// handed to an audio output as 16-bit stereo samples.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct AVFormatContext;
struct AVIOContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;
struct SwrContext;

namespace QlGraphics {

class IVideoData {
public:
    virtual ~IVideoData() = default;
    virtual bool play() = 0;
    virtual bool playLoop() = 0;
    // Pauses, rewinds to 0 and clears the loop and paused flags.
    virtual bool stop() = 0;
    virtual bool pause() = 0;
    virtual bool resume() = 0;
    virtual bool isPlaying() const = 0;
    virtual bool isLooping() const = 0;
    virtual bool isPaused() const = 0;
    // 0..1, stored as hundredths of a decibel: volume * 10000 - 10000 (1 = 0 dB, 0 = -100 dB).
    virtual bool setVolume(float volume) = 0;
    virtual float getVolume() const = 0;
    // Seconds; false for a negative value or one beyond the duration (while the duration is
    // not known yet, any time from 0 on is accepted).
    virtual bool setPosition(double seconds) = 0;
    virtual double getPosition() const = 0;
    virtual double getDuration() const = 0;
    virtual std::uint16_t getWidth() const = 0;
    virtual std::uint16_t getHeight() const = 0;
    // Copies the newest decoded frame into the frame array; false until a frame exists.
    virtual bool grabFrame() = 0;
    virtual bool isValid() const = 0;
    virtual std::uint32_t getBitsPerPixel() const = 0;
    // The frame array: rows of width * 3 bytes (blue, green, red), top row first.
    virtual const std::uint8_t* pixelAt(int x, int y) const = 0;
    virtual const std::uint8_t* rowAt(int y) const = 0;
    virtual const std::uint8_t* getBits() const = 0;
    // Number of the frame in the frame array (frames are numbered from 1 as the decoder
    // delivers them; 0 before the first grab), so a copy is needed only when it changed.
    virtual std::uint64_t getFrameSerial() const = 0;
};

// Where a movie's bytes come from (a file through the file manager, a memory block ...).
// Used only by the movie's decode thread once the movie is open.
class IVideoSource {
public:
    virtual ~IVideoSource() = default;
    virtual std::uint64_t getSize() = 0;
    // Copies up to size bytes from offset; returns how many (0 at or past the end).
    virtual std::uint32_t read(void* buffer, std::uint64_t offset, std::uint32_t size) = 0;
};

// A movie file held in memory.
class MemoryVideoSource : public IVideoSource {
public:
    explicit MemoryVideoSource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t getSize() override { return bytes_.size(); }
    std::uint32_t read(void* buffer, std::uint64_t offset, std::uint32_t size) override;

private:
    std::vector<std::uint8_t> bytes_;
};

// Playback time of one movie: runs from a start position while playing, stands still
// otherwise, never passes the duration. Safe to read from any thread.
class PlaybackClock {
public:
    using Now = std::function<double()>;  // seconds on a monotonic scale
    explicit PlaybackClock(Now now);
    double position() const;
    bool running() const;
    void start();
    void stop();
    void set(double position);
    void setLimit(double limit);

private:
    double positionLocked() const;

    mutable std::mutex mutex_;
    Now now_;
    bool running_ = false;
    double base_ = 0, startedAt_ = 0, limit_ = -1;
};

// The movie's decoded sound: 16-bit stereo at one fixed rate (whatever rate the movie
// declares, its sound is resampled to it), filled by the decode thread and read by the audio
// output, which stays in step with the clock: sound that is late is skipped, sound that is
// early waits behind silence.
class MovieAudio {
public:
    static constexpr std::uint32_t kSampleRate = 48000;
    explicit MovieAudio(std::shared_ptr<const PlaybackClock> clock);
    std::uint32_t getSampleRate() const { return rate_; }
    static constexpr std::uint32_t kChannels = 2;
    static constexpr std::uint32_t kFrameBytes = 4;

    // Audio thread: fills bytes (whole frames) and returns bytes; never runs dry (silence).
    std::uint32_t read(void* buffer, std::uint32_t bytes);
    // Frames the output has consumed so far, and frames waiting to be read.
    std::uint64_t consumed() const;
    std::size_t buffered() const;
    // Movie time at the end of the sound held (far in the past when none is held).
    double bufferedUntil() const;

    // Decode thread: appends frames that start at pts seconds. Returns false when there is
    // no room; old sound (before the clock) is dropped first.
    bool push(const std::int16_t* samples, std::uint32_t frames, double pts);
    void clear();

private:
    void dropFront(std::size_t frames);

    std::shared_ptr<const PlaybackClock> clock_;
    std::uint32_t rate_ = kSampleRate;
    mutable std::mutex mutex_;
    std::vector<std::int16_t> ring_;  // capacity_ frames
    std::size_t capacity_ = 0, head_ = 0, size_ = 0;
    double frontPts_ = 0;
    std::uint64_t consumed_ = 0;
};

// Plays a movie's sound: started, paused and set to a gain by the movie.
class IVideoAudioOutput {
public:
    virtual ~IVideoAudioOutput() = default;
    virtual void start() = 0;
    virtual void pause() = 0;
    virtual void setGain(float gain) = 0;
};

// The largest frame a movie may have; larger movies do not open (their frames could not be
// shown as one texture, and the frame buffers would be taken before any texture exists).
struct FrameLimit {
    std::uint16_t width = 8192, height = 8192;
};

class VideoData : public IVideoData {
public:
    // Sound declared at a higher sample rate is not decoded (the pictures play silently).
    static constexpr int kMaxAudioRate = 192000;

    // Opens a movie with at least one video stream; empty when the bytes are not a movie
    // the decoders know, when its frames are larger than limit, or when memory for it runs
    // out. now: the clock's time source (a monotonic clock when empty).
    static std::shared_ptr<VideoData> open(std::unique_ptr<IVideoSource> source, PlaybackClock::Now now = {},
                                           FrameLimit limit = {});
    ~VideoData() override;
    VideoData(const VideoData&) = delete;
    VideoData& operator=(const VideoData&) = delete;

    bool play() override;
    bool playLoop() override;
    bool stop() override;
    bool pause() override;
    bool resume() override;
    bool isPlaying() const override;
    bool isLooping() const override;
    bool isPaused() const override;
    bool setVolume(float volume) override;
    float getVolume() const override;
    bool setPosition(double seconds) override;
    double getPosition() const override;
    // The stored duration; for a movie that stores none, 0 until decoding first reaches its
    // end, then the end of its last frame.
    double getDuration() const override { return duration_.load(); }
    std::uint16_t getWidth() const override { return width_; }
    std::uint16_t getHeight() const override { return height_; }
    bool grabFrame() override;
    bool isValid() const override { return true; }
    std::uint32_t getBitsPerPixel() const override { return 24; }
    const std::uint8_t* pixelAt(int x, int y) const override;
    const std::uint8_t* rowAt(int y) const override { return pixelAt(0, y); }
    const std::uint8_t* getBits() const override { return pixelAt(0, 0); }

    std::uint64_t getFrameSerial() const override;
    // Frames the decode thread has delivered so far.
    std::uint64_t getDeliveredFrames() const;

    // The movie's sound, or null for a movie without one.
    std::shared_ptr<MovieAudio> getAudio() const { return audio_; }
    // Sound is decoded only once an output is attached.
    void setAudioOutput(std::unique_ptr<IVideoAudioOutput> output);
    // The linear gain the volume stands for (0 at -100 dB).
    float getGain() const;

private:
    struct Decoded {
        AVFrame* frame;
        double pts, duration;
    };

    VideoData() = default;
    bool openStreams(FrameLimit limit);
    void run();
    void decodeStep();
    void receiveVideo();
    void receiveAudio();
    void seekTo(double seconds);
    void publish(AVFrame* frame);
    void startOutput();
    void requestSeek(double seconds);

    std::unique_ptr<IVideoSource> source_;
    std::uint64_t sourcePos_ = 0;
    AVFormatContext* format_ = nullptr;
    AVIOContext* io_ = nullptr;
    AVCodecContext* video_ = nullptr;
    AVCodecContext* audioCodec_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* scratch_ = nullptr;
    SwsContext* sws_ = nullptr;
    SwrContext* swr_ = nullptr;
    int videoStream_ = -1, audioStream_ = -1;
    double videoTimeBase_ = 0, audioTimeBase_ = 0, startTime_ = 0, frameDuration_ = 0;
    double nextVideoPts_ = 0, nextAudioPts_ = 0;
    std::vector<std::int16_t> audioScratch_;

    std::uint16_t width_ = 0, height_ = 0;
    std::atomic<double> duration_{0};
    double videoEnd_ = -1;  // decode thread: the latest end of any frame decoded
    std::shared_ptr<PlaybackClock> clock_;
    std::shared_ptr<MovieAudio> audio_;
    std::unique_ptr<IVideoAudioOutput> output_;

    // Main-thread state.
    bool loop_ = false, paused_ = false;
    int volume_ = 0;  // hundredths of a decibel
    std::vector<std::uint8_t> frame_;
    std::uint64_t grabbedSerial_ = 0;

    // Shared with the decode thread.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false, seekPending_ = false, eof_ = false;
    std::atomic<bool> audioWanted_{false};
    double seekTarget_ = 0, skipBefore_ = -1, lastPublished_ = -1;
    std::deque<Decoded> frames_;

    // The newest converted frame, swapped in under frameMutex_ (from back_ by the decode
    // thread, into frame_ by grabFrame).
    mutable std::mutex frameMutex_;
    std::vector<std::uint8_t> front_, back_, padded_;
    std::uint64_t serial_ = 0;

    std::thread thread_;
};

}  // namespace QlGraphics
