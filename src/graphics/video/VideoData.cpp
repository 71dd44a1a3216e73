#include "graphics/video/VideoData.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>
#include <system_error>

namespace QlGraphics {
namespace {

// Sound that is further than this from the clock is skipped or waited for.
constexpr double kAudioSlack = 0.08;
// The sound kept ahead of the clock, in seconds.
constexpr double kAudioBuffer = 2.0;
// Sound is decoded this far ahead of the clock (pictures are queued meanwhile, up to a limit).
constexpr double kAudioAhead = 0.5;
constexpr std::size_t kMaxQueuedFrames = 12;
// A late frame is still shown when nothing was shown for this long (movie seconds).
constexpr double kMaxFrameGap = 0.1;
constexpr int kIoBufferSize = 64 * 1024;

double steadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

int readSource(void* opaque, std::uint8_t* buffer, int size);
std::int64_t seekSource(void* opaque, std::int64_t offset, int whence);

}  // namespace

std::uint32_t MemoryVideoSource::read(void* buffer, std::uint64_t offset, std::uint32_t size)
{
    if (offset >= bytes_.size())
        return 0;
    const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, bytes_.size() - offset));
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
}

// ---------------------------------------------------------------------------------------
// PlaybackClock

PlaybackClock::PlaybackClock(Now now) : now_(now ? std::move(now) : Now(steadySeconds)) {}

double PlaybackClock::positionLocked() const
{
    double p = running_ ? base_ + (now_() - startedAt_) : base_;
    if (limit_ >= 0 && p > limit_)
        p = limit_;
    return std::max(p, 0.0);
}

double PlaybackClock::position() const
{
    std::lock_guard lock(mutex_);
    return positionLocked();
}

bool PlaybackClock::running() const
{
    std::lock_guard lock(mutex_);
    return running_;
}

void PlaybackClock::start()
{
    std::lock_guard lock(mutex_);
    if (running_)
        return;
    startedAt_ = now_();
    running_ = true;
}

void PlaybackClock::stop()
{
    std::lock_guard lock(mutex_);
    base_ = positionLocked();
    running_ = false;
}

void PlaybackClock::set(double position)
{
    std::lock_guard lock(mutex_);
    base_ = position;
    startedAt_ = now_();
}

void PlaybackClock::setLimit(double limit)
{
    std::lock_guard lock(mutex_);
    limit_ = limit;
}

// ---------------------------------------------------------------------------------------
// MovieAudio

MovieAudio::MovieAudio(std::shared_ptr<const PlaybackClock> clock) : clock_(std::move(clock))
{
    capacity_ = static_cast<std::size_t>(kAudioBuffer * rate_);
    ring_.assign(capacity_ * kChannels, 0);
}

void MovieAudio::dropFront(std::size_t frames)
{
    frames = std::min(frames, size_);
    head_ = (head_ + frames) % capacity_;
    size_ -= frames;
    frontPts_ += static_cast<double>(frames) / rate_;
}

std::uint32_t MovieAudio::read(void* buffer, std::uint32_t bytes)
{
    auto* out = static_cast<std::int16_t*>(buffer);
    const std::size_t want = bytes / kFrameBytes;
    const double now = clock_->position();
    std::lock_guard lock(mutex_);
    std::size_t done = 0;
    if (size_ > 0) {
        if (frontPts_ < now - kAudioSlack)
            dropFront(static_cast<std::size_t>((now - frontPts_) * rate_));
        else if (frontPts_ > now + kAudioSlack)
            done = std::min(want, static_cast<std::size_t>((frontPts_ - now) * rate_));
    } else {
        done = want;
    }
    std::memset(out, 0, done * kFrameBytes);
    while (done < want && size_ > 0) {
        const std::size_t run = std::min({want - done, size_, capacity_ - head_});
        std::memcpy(out + done * kChannels, ring_.data() + head_ * kChannels, run * kFrameBytes);
        done += run;
        dropFront(run);
    }
    if (done < want)
        std::memset(out + done * kChannels, 0, (want - done) * kFrameBytes);
    consumed_ += want;
    return static_cast<std::uint32_t>(want * kFrameBytes);
}

std::uint64_t MovieAudio::consumed() const
{
    std::lock_guard lock(mutex_);
    return consumed_;
}

double MovieAudio::bufferedUntil() const
{
    std::lock_guard lock(mutex_);
    return size_ == 0 ? -1e9 : frontPts_ + static_cast<double>(size_) / rate_;
}

std::size_t MovieAudio::buffered() const
{
    std::lock_guard lock(mutex_);
    return size_;
}

bool MovieAudio::push(const std::int16_t* samples, std::uint32_t frames, double pts)
{
    const double now = clock_->position();
    std::lock_guard lock(mutex_);
    if (size_ == 0)
        frontPts_ = pts;
    else if (frontPts_ + static_cast<double>(size_ + frames) / rate_ < now - kAudioSlack)
        dropFront(size_);  // everything held is already stale
    if (size_ == 0)
        frontPts_ = pts;
    if (capacity_ - size_ < frames) {
        // Room is made from sound the clock has passed; anything else waits for the output.
        const double stale = now - kAudioSlack - frontPts_;
        if (stale > 0)
            dropFront(static_cast<std::size_t>(stale * rate_));
        if (capacity_ - size_ < frames)
            return false;
    }
    std::size_t tail = (head_ + size_) % capacity_;
    std::size_t left = frames;
    const std::int16_t* in = samples;
    while (left > 0) {
        const std::size_t run = std::min(left, capacity_ - tail);
        std::memcpy(ring_.data() + tail * kChannels, in, run * kFrameBytes);
        in += run * kChannels;
        left -= run;
        tail = (tail + run) % capacity_;
    }
    size_ += frames;
    return true;
}

void MovieAudio::clear()
{
    std::lock_guard lock(mutex_);
    head_ = size_ = 0;
}

// ---------------------------------------------------------------------------------------
// VideoData: opening

namespace {

int readSource(void* opaque, std::uint8_t* buffer, int size)
{
    auto* self = static_cast<std::pair<IVideoSource*, std::uint64_t*>*>(opaque);
    const std::uint32_t n = self->first->read(buffer, *self->second, static_cast<std::uint32_t>(std::max(size, 0)));
    if (n == 0)
        return AVERROR_EOF;
    *self->second += n;
    return static_cast<int>(n);
}

std::int64_t seekSource(void* opaque, std::int64_t offset, int whence)
{
    auto* self = static_cast<std::pair<IVideoSource*, std::uint64_t*>*>(opaque);
    const auto size = static_cast<std::int64_t>(self->first->getSize());
    std::int64_t to = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_SET:
        to = offset;
        break;
    case SEEK_CUR:
        to = static_cast<std::int64_t>(*self->second) + offset;
        break;
    case SEEK_END:
        to = size + offset;
        break;
    default:
        return -1;
    }
    if (to < 0 || to > size)
        return -1;
    *self->second = static_cast<std::uint64_t>(to);
    return to;
}

AVCodecContext* openDecoder(AVStream* stream)
{
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (codec == nullptr)
        return nullptr;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    if (ctx == nullptr)
        return nullptr;
    ctx->pkt_timebase = stream->time_base;
    // One decoding thread per movie keeps a movie's cost to at most one core.
    ctx->thread_count = 1;
    if (avcodec_parameters_to_context(ctx, stream->codecpar) < 0 || avcodec_open2(ctx, codec, nullptr) < 0) {
        avcodec_free_context(&ctx);
        return nullptr;
    }
    return ctx;
}

}  // namespace

std::shared_ptr<VideoData> VideoData::open(std::unique_ptr<IVideoSource> source, PlaybackClock::Now now,
                                           FrameLimit limit)
{
    if (!source)
        return nullptr;
    try {
        std::shared_ptr<VideoData> v(new VideoData());
        v->source_ = std::move(source);
        v->clock_ = std::make_shared<PlaybackClock>(std::move(now));
        if (!v->openStreams(limit))
            return nullptr;
        v->thread_ = std::thread([raw = v.get()] { raw->run(); });
        return v;
    } catch (const std::bad_alloc&) {
        return nullptr;  // frame or sound buffers the movie asks for do not fit in memory
    } catch (const std::length_error&) {
        return nullptr;
    } catch (const std::system_error&) {
        return nullptr;  // no decode thread
    }
}

bool VideoData::openStreams(FrameLimit limit)
{
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferSize));
    if (buffer == nullptr)
        return false;
    auto* opaque = new std::pair<IVideoSource*, std::uint64_t*>(source_.get(), &sourcePos_);
    io_ = avio_alloc_context(buffer, kIoBufferSize, 0, opaque, readSource, nullptr, seekSource);
    if (io_ == nullptr) {
        av_free(buffer);
        delete opaque;
        return false;
    }
    format_ = avformat_alloc_context();
    if (format_ == nullptr)
        return false;
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (avformat_open_input(&format_, nullptr, nullptr, nullptr) < 0) {
        format_ = nullptr;  // freed by avformat_open_input
        return false;
    }
    if (avformat_find_stream_info(format_, nullptr) < 0)
        return false;
    videoStream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (videoStream_ < 0)
        return false;
    AVStream* vs = format_->streams[videoStream_];
    video_ = openDecoder(vs);
    if (video_ == nullptr || video_->width <= 0 || video_->height <= 0 || video_->width > limit.width ||
        video_->height > limit.height)
        return false;
    width_ = static_cast<std::uint16_t>(video_->width);
    height_ = static_cast<std::uint16_t>(video_->height);
    videoTimeBase_ = av_q2d(vs->time_base);
    const AVRational rate = vs->avg_frame_rate.num > 0 ? vs->avg_frame_rate : vs->r_frame_rate;
    frameDuration_ = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : 1.0 / 30.0;
    startTime_ = format_->start_time != AV_NOPTS_VALUE ? static_cast<double>(format_->start_time) / AV_TIME_BASE : 0.0;

    if (format_->duration > 0)
        duration_ = static_cast<double>(format_->duration) / AV_TIME_BASE;
    else if (vs->duration > 0)
        duration_ = static_cast<double>(vs->duration) * videoTimeBase_;
    clock_->setLimit(duration_.load() > 0 ? duration_.load() : -1.0);

    audioStream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, videoStream_, nullptr, 0);
    if (audioStream_ >= 0) {
        AVStream* as = format_->streams[audioStream_];
        audioCodec_ = openDecoder(as);
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        // Sound is resampled to one fixed rate, so the memory it takes does not depend on what
        // a (possibly damaged) header declares; absurd rates are not decoded at all.
        if (audioCodec_ != nullptr && audioCodec_->sample_rate > 0 && audioCodec_->sample_rate <= kMaxAudioRate &&
            swr_alloc_set_opts2(&swr_, &stereo, AV_SAMPLE_FMT_S16, static_cast<int>(MovieAudio::kSampleRate),
                                &audioCodec_->ch_layout, audioCodec_->sample_fmt, audioCodec_->sample_rate, 0,
                                nullptr) >= 0 &&
            swr_init(swr_) >= 0) {
            audioTimeBase_ = av_q2d(as->time_base);
            audio_ = std::make_shared<MovieAudio>(clock_);
        } else {
            // A movie whose sound cannot be decoded still plays its pictures.
            avcodec_free_context(&audioCodec_);
            swr_free(&swr_);
            audioStream_ = -1;
        }
    }
    packet_ = av_packet_alloc();
    scratch_ = av_frame_alloc();
    const std::size_t bytes = static_cast<std::size_t>(width_) * height_ * 3;
    // The three frame buffers trade places, so each has the slack for the scaler's last row.
    front_.assign(bytes + 64, 0);
    back_.assign(bytes + 64, 0);
    frame_.assign(bytes + 64, 0);
    const std::size_t paddedRow = (static_cast<std::size_t>(width_) * 3 + 63) & ~std::size_t{63};
    if (paddedRow != static_cast<std::size_t>(width_) * 3)
        padded_.assign(paddedRow * height_ + 64, 0);
    return packet_ != nullptr && scratch_ != nullptr;
}

VideoData::~VideoData()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
    output_.reset();
    for (Decoded& d : frames_)
        av_frame_free(&d.frame);
    av_frame_free(&scratch_);
    av_packet_free(&packet_);
    sws_freeContext(sws_);
    swr_free(&swr_);
    avcodec_free_context(&video_);
    avcodec_free_context(&audioCodec_);
    if (format_ != nullptr)
        avformat_close_input(&format_);
    if (io_ != nullptr) {
        delete static_cast<std::pair<IVideoSource*, std::uint64_t*>*>(io_->opaque);
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
}

// ---------------------------------------------------------------------------------------
// VideoData: the decode thread

void VideoData::run()
{
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (seekPending_) {
            const double target = seekTarget_;
            seekPending_ = false;
            lock.unlock();
            seekTo(target);
            lock.lock();
            continue;
        }
        const double now = clock_->position();
        const bool running = clock_->running();
        if (!frames_.empty() && running && frames_.front().pts <= now) {
            // The successor decides whether this frame is still worth showing.
            if (frames_.size() == 1 && !eof_) {
                lock.unlock();
                decodeStep();
                lock.lock();
                continue;
            }
            const Decoded d = frames_.front();
            // A frame whose successor is already due is skipped, unless nothing has been
            // shown for a while (a decoder that cannot keep up still shows pictures).
            const bool late = frames_.size() > 1 && frames_[1].pts <= now && lastPublished_ >= d.pts - kMaxFrameGap;
            frames_.pop_front();
            lock.unlock();
            if (!late)
                publish(d.frame);
            AVFrame* f = d.frame;
            av_frame_free(&f);
            lock.lock();
            if (!late)
                lastPublished_ = d.pts;
            continue;
        }
        // Decode on while no picture is waiting, or while the sound needs to get further ahead
        // of the clock than the pictures already are.
        const bool soundShort = audioWanted_ && audio_->bufferedUntil() < now + kAudioAhead;
        if (!eof_ && (frames_.empty() || (soundShort && frames_.size() < kMaxQueuedFrames))) {
            lock.unlock();
            decodeStep();
            lock.lock();
            continue;
        }
        double wait = 0.1;
        if (running && !frames_.empty())
            wait = std::clamp(frames_.front().pts - now, 0.001, 0.02);
        else if (running && soundShort)
            wait = 0.02;
        wake_.wait_for(lock, std::chrono::duration<double>(wait));
    }
}

void VideoData::decodeStep()
{
    const int r = av_read_frame(format_, packet_);
    if (r < 0) {
        // End of the data (or an unreadable rest): drain the decoders.
        avcodec_send_packet(video_, nullptr);
        receiveVideo();
        if (audioCodec_ != nullptr) {
            avcodec_send_packet(audioCodec_, nullptr);
            receiveAudio();
        }
        std::lock_guard lock(mutex_);
        eof_ = true;
        // A movie that stores no duration ends where its last frame ends. The clock is held
        // first, so no one sees the duration while the position can still pass it.
        if (duration_.load() <= 0 && videoEnd_ > 0) {
            clock_->setLimit(videoEnd_);
            duration_ = videoEnd_;
        }
        return;
    }
    if (packet_->stream_index == videoStream_) {
        avcodec_send_packet(video_, packet_);  // a damaged packet is skipped
        receiveVideo();
    } else if (packet_->stream_index == audioStream_ && audioWanted_) {
        if (avcodec_send_packet(audioCodec_, packet_) >= 0)
            receiveAudio();
    }
    av_packet_unref(packet_);
}

void VideoData::receiveVideo()
{
    while (avcodec_receive_frame(video_, scratch_) >= 0) {
        double pts = nextVideoPts_;
        if (scratch_->best_effort_timestamp != AV_NOPTS_VALUE)
            pts = static_cast<double>(scratch_->best_effort_timestamp) * videoTimeBase_ - startTime_;
        const double duration =
            scratch_->pkt_duration > 0 ? static_cast<double>(scratch_->pkt_duration) * videoTimeBase_ : frameDuration_;
        nextVideoPts_ = pts + duration;
        videoEnd_ = std::max(videoEnd_, pts + duration);
        std::lock_guard lock(mutex_);
        if (seekPending_ || pts + duration <= skipBefore_) {
            av_frame_unref(scratch_);
            continue;
        }
        AVFrame* f = av_frame_alloc();
        if (f == nullptr) {
            av_frame_unref(scratch_);
            continue;
        }
        av_frame_move_ref(f, scratch_);
        frames_.push_back({f, pts, duration});
    }
}

void VideoData::receiveAudio()
{
    while (avcodec_receive_frame(audioCodec_, scratch_) >= 0) {
        double pts = nextAudioPts_;
        if (scratch_->best_effort_timestamp != AV_NOPTS_VALUE)
            pts = static_cast<double>(scratch_->best_effort_timestamp) * audioTimeBase_ - startTime_;
        const int maxOut = swr_get_out_samples(swr_, scratch_->nb_samples);
        if (maxOut > 0) {
            audioScratch_.resize(static_cast<std::size_t>(maxOut) * MovieAudio::kChannels);
            auto* out = reinterpret_cast<std::uint8_t*>(audioScratch_.data());
            const int got = swr_convert(swr_, &out, maxOut, const_cast<const std::uint8_t**>(scratch_->extended_data),
                                        scratch_->nb_samples);
            if (got > 0) {
                nextAudioPts_ = pts + static_cast<double>(got) / audio_->getSampleRate();
                // Waits for room while the output plays; a seek or the end of the movie's
                // life gives up on the rest.
                while (!audio_->push(audioScratch_.data(), static_cast<std::uint32_t>(got), pts)) {
                    std::unique_lock lock(mutex_);
                    if (quit_ || seekPending_ || !audioWanted_)
                        break;
                    wake_.wait_for(lock, std::chrono::milliseconds(20));
                }
            }
        }
        av_frame_unref(scratch_);
    }
}

void VideoData::seekTo(double seconds)
{
    // A time far beyond any movie (accepted while the duration is unknown) stays in range.
    const auto ts = static_cast<std::int64_t>(std::min(seconds + startTime_, 1e9) * AV_TIME_BASE);
    avformat_seek_file(format_, -1, INT64_MIN, ts, ts, 0);
    avcodec_flush_buffers(video_);
    if (audioCodec_ != nullptr)
        avcodec_flush_buffers(audioCodec_);
    if (swr_ != nullptr)
        swr_init(swr_);
    if (audio_)
        audio_->clear();
    nextVideoPts_ = nextAudioPts_ = seconds;
    std::lock_guard lock(mutex_);
    for (Decoded& d : frames_)
        av_frame_free(&d.frame);
    frames_.clear();
    eof_ = false;
    skipBefore_ = seconds;
    lastPublished_ = seconds - 1.0;
}

void VideoData::publish(AVFrame* frame)
{
    sws_ = sws_getCachedContext(sws_, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), width_,
                                height_, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (sws_ == nullptr)
        return;
    // The scaler may write a little past the end of rows whose length is not a multiple of
    // its vector width, so such frames go through a padded buffer.
    const int rowBytes = static_cast<int>(width_) * 3;
    const int padded = (rowBytes + 63) & ~63;
    std::uint8_t* target = padded == rowBytes ? back_.data() : padded_.data();
    std::uint8_t* dst[4] = {target, nullptr, nullptr, nullptr};
    int stride[4] = {padded, 0, 0, 0};
    sws_scale(sws_, frame->data, frame->linesize, 0, frame->height, dst, stride);
    if (padded != rowBytes)
        for (int y = 0; y < height_; ++y)
            std::memcpy(back_.data() + static_cast<std::size_t>(y) * rowBytes,
                        padded_.data() + static_cast<std::size_t>(y) * padded, static_cast<std::size_t>(rowBytes));
    std::lock_guard lock(frameMutex_);
    front_.swap(back_);
    ++serial_;
}

// ---------------------------------------------------------------------------------------
// VideoData: control (main thread)

void VideoData::startOutput()
{
    clock_->start();
    if (output_)
        output_->start();
    wake_.notify_all();
}

void VideoData::requestSeek(double seconds)
{
    {
        std::lock_guard lock(mutex_);
        seekPending_ = true;
        seekTarget_ = seconds;
        for (Decoded& d : frames_)
            av_frame_free(&d.frame);
        frames_.clear();
    }
    if (audio_)
        audio_->clear();
    wake_.notify_all();
}

bool VideoData::play()
{
    loop_ = false;
    paused_ = false;
    startOutput();
    return true;
}

bool VideoData::playLoop()
{
    loop_ = true;
    paused_ = false;
    startOutput();
    return true;
}

bool VideoData::stop()
{
    clock_->stop();
    if (output_)
        output_->pause();
    clock_->set(0);
    requestSeek(0);
    loop_ = paused_ = false;
    return true;
}

bool VideoData::pause()
{
    paused_ = true;
    clock_->stop();
    if (output_)
        output_->pause();
    return true;
}

bool VideoData::resume()
{
    if (paused_) {
        paused_ = false;
        startOutput();
    }
    return true;
}

bool VideoData::isPlaying() const { return clock_->running(); }
bool VideoData::isLooping() const { return isPlaying() && loop_; }
bool VideoData::isPaused() const { return paused_; }

bool VideoData::setVolume(float volume)
{
    if (!(volume >= 0.0f && volume <= 1.0f))
        return false;
    volume_ = static_cast<int>(static_cast<double>(volume) * 10000.0 - 10000.0);
    if (output_)
        output_->setGain(getGain());
    return true;
}

float VideoData::getVolume() const { return 1.0f + static_cast<float>(volume_) / 10000.0f; }

float VideoData::getGain() const
{
    if (volume_ <= -10000)
        return 0.0f;
    return static_cast<float>(std::pow(10.0, volume_ / 2000.0));
}

bool VideoData::setPosition(double seconds)
{
    const double duration = duration_.load();
    if (!(seconds >= 0) || !std::isfinite(seconds) || (duration > 0 && seconds > duration))
        return false;
    clock_->set(seconds);
    requestSeek(seconds);
    return true;
}

double VideoData::getPosition() const { return clock_->position(); }

std::uint64_t VideoData::getFrameSerial() const { return grabbedSerial_; }

std::uint64_t VideoData::getDeliveredFrames() const
{
    std::lock_guard lock(frameMutex_);
    return serial_;
}

bool VideoData::grabFrame()
{
    std::lock_guard lock(frameMutex_);
    if (serial_ == 0)
        return false;
    // A newer frame trades places with the one last grabbed; the decode thread only ever
    // writes back_, so the frame handed out stays as it is until the next grab.
    if (grabbedSerial_ != serial_) {
        frame_.swap(front_);
        grabbedSerial_ = serial_;
    }
    return true;
}

const std::uint8_t* VideoData::pixelAt(int x, int y) const
{
    return frame_.data() + (static_cast<std::size_t>(width_) * static_cast<std::size_t>(y) + static_cast<std::size_t>(x)) * 3;
}

void VideoData::setAudioOutput(std::unique_ptr<IVideoAudioOutput> output)
{
    if (!audio_)
        return;
    output_ = std::move(output);
    if (output_) {
        output_->setGain(getGain());
        if (clock_->running())
            output_->start();
    }
    {
        std::lock_guard lock(mutex_);
        audioWanted_ = output_ != nullptr;
    }
    wake_.notify_all();
}

}  // namespace QlGraphics
