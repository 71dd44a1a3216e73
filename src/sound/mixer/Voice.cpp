#include "sound/mixer/Voice.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace QlSound::Mixer {

namespace {

// One sample as float, from the raw little-endian PCM of the decoder.
template <int Bits>
inline float sampleAt(const std::uint8_t* p, std::size_t index)
{
    if constexpr (Bits == 8) {
        return (static_cast<int>(p[index]) - 128) * (1.0f / 128.0f);
    } else if constexpr (Bits == 16) {
        const std::uint8_t* q = p + 2 * index;
        if constexpr (std::endian::native == std::endian::little) {
            std::int16_t v;
            std::memcpy(&v, q, 2);
            return v * (1.0f / 32768.0f);
        } else {
            return static_cast<std::int16_t>(q[0] | q[1] << 8) * (1.0f / 32768.0f);
        }
    } else if constexpr (Bits == 24) {
        const std::uint8_t* q = p + 3 * index;
        const auto u = static_cast<std::uint32_t>(q[0]) << 8 | static_cast<std::uint32_t>(q[1]) << 16 |
                       static_cast<std::uint32_t>(q[2]) << 24;
        return static_cast<float>(static_cast<std::int32_t>(u) >> 8) * (1.0f / 8388608.0f);
    } else {
        const std::uint8_t* q = p + 4 * index;
        const auto u = static_cast<std::uint32_t>(q[0]) | static_cast<std::uint32_t>(q[1]) << 8 |
                       static_cast<std::uint32_t>(q[2]) << 16 | static_cast<std::uint32_t>(q[3]) << 24;
        return static_cast<float>(static_cast<std::int32_t>(u)) * (1.0f / 2147483648.0f);
    }
}

}  // namespace

bool Voice::canPlay(const SoundFormat& f)
{
    const bool bitsOk = f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24 ||
                        f.bitsPerSample == 32;
    return bitsOk && f.channels >= 1 && f.channels <= kMaxPlayableChannels && f.sampleRate > 0 &&
           f.sampleRate <= kMaxPlayableRate;
}

namespace {

// How far the decoding side works ahead of the output, in seconds of source
// data at the highest speed: the queue holds this much, and play and seek
// decode the first part of it at once.
constexpr double kQueueSeconds = 0.25;
constexpr double kStartSeconds = 0.03;
constexpr std::uint32_t kMinQueueFrames = 4096;
constexpr std::uint32_t kMaxQueueFrames = 1u << 18;

std::uint32_t queueFramesFor(std::uint32_t rate)
{
    const double wanted = rate * 2.0 * kQueueSeconds;
    std::uint32_t frames = kMinQueueFrames;
    while (frames < wanted && frames < kMaxQueueFrames) frames *= 2;
    return frames;
}

}  // namespace

Voice::Voice(std::shared_ptr<ISoundData> data, std::uint32_t outputRate)
    : outputRate_(outputRate), data_(std::move(data))
{
    format_ = data_->getFormat();
    frameBytes_ = format_.frameBytes();
    length_ = data_->getLength();
    live_ = dynamic_cast<ILiveSoundData*>(data_.get()) != nullptr;
    // One frame more than a chunk: the repeated last frame at the end.
    in_.resize(static_cast<std::size_t>(kChunkFrames + 1) * frameBytes_);
    // A live voice reads what it is about to play, no more.
    queueFrames_ = live_ ? 2 * kChunkFrames : queueFramesFor(format_.sampleRate);
    startFrames_ = live_ ? 0
                         : std::clamp<std::uint32_t>(static_cast<std::uint32_t>(format_.sampleRate * 2.0 * kStartSeconds),
                                                     kChunkFrames, queueFrames_ / 2);
    queue_.resize(static_cast<std::size_t>(queueFrames_) * frameBytes_);
    start_.resize(static_cast<std::size_t>(startFrames_) * frameBytes_);
    if (format_.channels > 2) {
        const ChannelLayout layout = channelLayoutOf(*data_);
        for (std::uint32_t c = 0; c < layout.channels; ++c) {
            const StereoWeights w = stereoWeights(layout.speakers[c]);
            leftWeight_[c] = w.left;
            rightWeight_[c] = w.right;
        }
    }
    updateStep();
}

void Voice::updateStep()
{
    const double ratio = static_cast<double>(speed_) * format_.sampleRate / outputRate_;
    step_ = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::llround(ratio * 4294967296.0)));
}

void Voice::resetResampler()
{
    inCount_ = 0;
    pos_ = 0;
    ended_ = false;
}

// State lock held, and the decode lock (the queue's writer is idle): the
// queue restarts with the `frames` frames decoded into start_.
void Voice::installQueue(std::uint32_t frames, bool sourceEnded)
{
    if (frames > 0) std::memcpy(queue_.data(), start_.data(), static_cast<std::size_t>(frames) * frameBytes_);
    queueRead_.store(0, std::memory_order_relaxed);
    queueWrite_.store(frames, std::memory_order_release);
    sourceEnded_.store(sourceEnded, std::memory_order_release);
}

// Decode lock held: decodes the first frames at the decoder's position into
// start_, outside the state lock, so the audio thread goes on meanwhile.
std::uint32_t Voice::decodeStart()
{
    if (startFrames_ == 0) return 0;
    return feed(start_.data(), startFrames_ * frameBytes_) / frameBytes_;
}

bool Voice::play(std::uint32_t start, std::uint32_t loopCount, std::uint32_t loopStart, bool looping)
{
    std::lock_guard decode(decodeMutex_);
    if (!data_) return false;  // released
    const bool ok = start < length_ && (!looping || loopStart < length_) && data_->seek(start);
    if (!ok) {
        feeding_ = false;
        std::lock_guard lock(mutex_);
        playing_ = paused_ = false;
        resetResampler();
        return false;
    }
    loopsLeft_ = !looping ? 0 : loopCount == 0 ? kLoopForever : loopCount;
    loopStart_ = loopStart;
    const std::uint32_t got = decodeStart();
    const bool ended = !live_ && got < startFrames_;
    feeding_ = !ended;
    std::lock_guard lock(mutex_);
    resetResampler();
    installQueue(got, ended);
    playing_ = true;
    paused_ = false;
    awaitingFirst_ = true;
    heardAt_.store(0, std::memory_order_release);
    return true;
}

bool Voice::stop()
{
    std::lock_guard lock(mutex_);
    if (released_) return false;
    playing_ = paused_ = false;
    resetResampler();
    // What is queued is stale now; the next play or seek starts a new queue.
    feeding_ = false;
    return true;
}

bool Voice::pause()
{
    std::lock_guard lock(mutex_);
    if (released_ || !playing_) return false;
    paused_ = true;
    return true;
}

bool Voice::resume()
{
    std::lock_guard lock(mutex_);
    if (released_ || !paused_) return false;
    paused_ = false;
    return true;
}

bool Voice::isPlaying() const
{
    std::lock_guard lock(mutex_);
    return playing_;
}

bool Voice::isPaused() const
{
    std::lock_guard lock(mutex_);
    return paused_;
}

SoundFormat Voice::getFormat() const
{
    std::lock_guard lock(mutex_);
    return released_ ? SoundFormat{} : format_;
}

bool Voice::setVolume(float volume)
{
    std::lock_guard lock(mutex_);
    if (released_ || !(volume >= 0.0f && volume <= 1.0f)) return false;
    volume_ = volume;
    return true;
}

float Voice::getVolume() const
{
    std::lock_guard lock(mutex_);
    return released_ ? 0.0f : volume_;
}

bool Voice::setSpeed(float speed)
{
    std::lock_guard lock(mutex_);
    if (released_ || !(speed >= 1.0f / 1024.0f && speed <= 2.0f)) return false;
    speed_ = speed;
    updateStep();
    return true;
}

float Voice::getSpeed() const
{
    std::lock_guard lock(mutex_);
    return released_ ? 0.0f : speed_;
}

bool Voice::seek(std::uint32_t frame)
{
    std::lock_guard decode(decodeMutex_);
    if (!data_ || frame >= length_ || !data_->seek(frame)) return false;
    bool active;
    {
        std::lock_guard lock(mutex_);
        active = playing_;
    }
    // Frames queued belong to the old position; a playing voice is heard at
    // the new one from the next block on.
    const std::uint32_t got = active ? decodeStart() : 0;
    const bool ended = active && !live_ && got < startFrames_;
    feeding_ = active && !ended;
    std::lock_guard lock(mutex_);
    resetResampler();
    installQueue(got, ended);
    return true;
}

std::uint32_t Voice::tell() const
{
    std::lock_guard decode(decodeMutex_);
    return data_ ? data_->tell() : 0;
}

std::uint32_t Voice::getLength() const
{
    std::lock_guard lock(mutex_);
    return released_ ? 0 : length_;
}

void Voice::release()
{
    std::shared_ptr<ISoundData> dropped;
    std::lock_guard decode(decodeMutex_);
    std::lock_guard lock(mutex_);
    released_ = true;
    playing_ = paused_ = false;
    feeding_ = false;
    dropped = std::move(data_);
}

bool Voice::isReleased() const
{
    std::lock_guard lock(mutex_);
    return released_;
}

// Reads until `bytes` bytes are in or the data says it has no more (a read
// of 0). A decoder may hand out less than asked for before its end (an Ogg
// page boundary, a hole in a damaged file), so a short read is not taken for
// the end. A partial frame left at the end is dropped, so that what follows
// a jump stays frame-aligned.
std::uint32_t Voice::readToEnd(std::uint8_t* dst, std::uint32_t bytes)
{
    std::uint32_t got = 0;
    while (got < bytes) {
        const std::uint32_t n = data_->read(dst + got, bytes - got);
        if (n == 0) break;
        got += std::min(n, bytes - got);
    }
    return got - got % frameBytes_;
}

// Fills dst with up to `bytes` bytes of PCM (a whole number of frames),
// jumping back to the loop start as often as loops remain. A loop region
// shorter than what is asked for is decoded once per fill and then repeated
// from dst itself, so a fill costs at most two seeks however short the region
// is; the decoder is left where the last copy ended. Less than `bytes` means
// the data has ended.
std::uint32_t Voice::feed(std::uint8_t* dst, std::uint32_t bytes)
{
    std::uint32_t got = readToEnd(dst, bytes);
    while (got < bytes && loopsLeft_ != 0) {
        if (!data_->seek(loopStart_)) break;
        if (loopsLeft_ != kLoopForever) --loopsLeft_;
        const std::uint32_t regionAt = got;
        const std::uint32_t region = readToEnd(dst + got, bytes - got);
        if (region == 0) break;
        got += region;
        // A whole region fitted and the decoder is at the end of the data again.
        while (got < bytes && loopsLeft_ != 0) {
            const std::uint32_t n = std::min(region, bytes - got);
            // A partial copy leaves the decoder inside the region, where the
            // copy stops; without that position the copy is left out.
            if (n < region && !data_->seek(loopStart_ + n / frameBytes_)) return got;
            std::memcpy(dst + got, dst + regionAt, n);
            got += n;
            if (loopsLeft_ != kLoopForever) --loopsLeft_;
            if (n < region) return got;
        }
    }
    return got;
}

// Decode lock held: appends up to maxFrames frames to the queue, in at most
// two runs (the queue's storage wraps). The write position is published
// after each run, and the end of the data after the last frame.
void Voice::produceLocked(std::uint32_t maxFrames)
{
    if (!data_ || !feeding_.load(std::memory_order_relaxed)) return;
    const std::uint32_t read = queueRead_.load(std::memory_order_acquire);
    std::uint32_t write = queueWrite_.load(std::memory_order_relaxed);
    std::uint32_t room = std::min(queueFrames_ - (write - read), maxFrames);
    while (room > 0) {
        const std::uint32_t at = write & (queueFrames_ - 1);
        const std::uint32_t run = std::min(room, queueFrames_ - at);
        const std::uint32_t got = feed(queue_.data() + static_cast<std::size_t>(at) * frameBytes_, run * frameBytes_) / frameBytes_;
        write += got;
        room -= got;
        queueWrite_.store(write, std::memory_order_release);
        if (got < run) {
            feeding_ = false;
            sourceEnded_.store(true, std::memory_order_release);
            return;
        }
    }
}

void Voice::produce()
{
    if (live_) return;
    std::lock_guard decode(decodeMutex_);
    produceLocked(queueFrames_);
}

// Audio thread, state lock held: moves up to `frames` queued frames to dst.
// atEnd says the queue is empty for good (the data has ended).
std::uint32_t Voice::takeFromQueue(std::uint8_t* dst, std::uint32_t frames, bool& atEnd)
{
    // The end flag first: it is set after the last write, so seeing it and
    // then an empty queue means nothing more is coming.
    const bool sourceEnded = sourceEnded_.load(std::memory_order_acquire);
    const std::uint32_t write = queueWrite_.load(std::memory_order_acquire);
    const std::uint32_t read = queueRead_.load(std::memory_order_relaxed);
    const std::uint32_t n = std::min(write - read, frames);
    const std::uint32_t at = read & (queueFrames_ - 1);
    const std::uint32_t first = std::min(n, queueFrames_ - at);
    std::memcpy(dst, queue_.data() + static_cast<std::size_t>(at) * frameBytes_, static_cast<std::size_t>(first) * frameBytes_);
    std::memcpy(dst + static_cast<std::size_t>(first) * frameBytes_, queue_.data(),
                static_cast<std::size_t>(n - first) * frameBytes_);
    queueRead_.store(read + n, std::memory_order_release);
    atEnd = n == 0 && sourceEnded;
    return n;
}

// Moves the frames still ahead of the read position to the front of in_ and
// tops it up from the queue. False when nothing came and the data has not
// ended: the queue ran dry.
bool Voice::refill(bool mayDecode)
{
    const std::uint64_t k = pos_ >> 32;
    if (k >= inCount_) {
        pos_ -= static_cast<std::uint64_t>(inCount_) << 32;
        inCount_ = 0;
    } else if (k > 0) {
        std::memmove(in_.data(), in_.data() + k * frameBytes_, (inCount_ - k) * frameBytes_);
        pos_ -= k << 32;
        inCount_ -= static_cast<std::uint32_t>(k);
    }
    std::uint8_t* free = in_.data() + static_cast<std::size_t>(inCount_) * frameBytes_;
    const std::uint32_t want = kChunkFrames - inCount_;
    bool atEnd = false;
    std::uint32_t frames = takeFromQueue(free, want, atEnd);
    if (frames == 0 && !atEnd && (mayDecode || live_)) {
        // Nobody else decodes for this voice: do it here, unless the main
        // thread is at the decoder right now.
        std::unique_lock decode(decodeMutex_, std::try_to_lock);
        if (decode.owns_lock()) {
            produceLocked(want);
            decode.unlock();
            frames = takeFromQueue(free, want, atEnd);
        }
    }
    inCount_ += frames;
    if (atEnd) {
        ended_ = true;
        // The frame after the last one repeats it, so interpolation at the end
        // never reads past the data.
        if (inCount_ > 0) std::memcpy(free, free - frameBytes_, frameBytes_);
        return true;
    }
    return frames > 0;
}

template <int Channels, int Bits>
void Voice::renderFrames(float* out, std::uint32_t frames)
{
    const std::uint8_t* __restrict in = in_.data();
    float* __restrict dst = out;
    const float gain = volume_;
    std::uint64_t pos = pos_;
    const std::uint64_t step = step_;
    for (std::uint32_t j = 0; j < frames; ++j) {
        const auto k = static_cast<std::size_t>(pos >> 32);
        // The top 24 bits of the fraction, exact in a float.
        const float f = static_cast<float>(static_cast<std::int32_t>((pos & 0xFFFFFFFFu) >> 8)) * (1.0f / 16777216.0f);
        if constexpr (Channels == 1) {
            const float a = sampleAt<Bits>(in, k), b = sampleAt<Bits>(in, k + 1);
            const float v = (a + (b - a) * f) * gain;
            dst[2 * j] += v;
            dst[2 * j + 1] += v;
        } else {
            const float l0 = sampleAt<Bits>(in, 2 * k), r0 = sampleAt<Bits>(in, 2 * k + 1);
            const float l1 = sampleAt<Bits>(in, 2 * k + 2), r1 = sampleAt<Bits>(in, 2 * k + 3);
            dst[2 * j] += (l0 + (l1 - l0) * f) * gain;
            dst[2 * j + 1] += (r0 + (r1 - r0) * f) * gain;
        }
        pos += step;
    }
    pos_ = pos;
}

#if defined(__SSE2__)
// 16-bit stereo, the common case, with both channels in one register: one
// 8-byte load brings a frame and the next, and the interpolation, gain and
// sum run on the pair.
template <>
void Voice::renderFrames<2, 16>(float* out, std::uint32_t frames)
{
    const std::uint8_t* in = in_.data();
    const __m128 gain = _mm_set1_ps(volume_ * (1.0f / 32768.0f));
    std::uint64_t pos = pos_;
    const std::uint64_t step = step_;
    for (std::uint32_t j = 0; j < frames; ++j) {
        const auto k = static_cast<std::size_t>(pos >> 32);
        const float f = static_cast<float>(static_cast<std::int32_t>((pos & 0xFFFFFFFFu) >> 8)) * (1.0f / 16777216.0f);
        const __m128i raw = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + 4 * k));
        const __m128 s = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(raw, raw), 16));  // L0 R0 L1 R1
        const __m128 next = _mm_movehl_ps(s, s);                                           // L1 R1
        const __m128 v = _mm_mul_ps(_mm_add_ps(s, _mm_mul_ps(_mm_sub_ps(next, s), _mm_set1_ps(f))), gain);
        float* o = out + 2 * j;
        __m128 acc = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(o)));
        acc = _mm_add_ps(acc, v);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_castps_si128(acc));
        pos += step;
    }
    pos_ = pos;
}
#endif

// Data of three to eight channels. Weighting and interpolation are both
// linear, so each source frame is folded to a stereo pair once (at its
// speakers' weights and the volume) and the pairs are interpolated; the fold
// of the frame after the read position is kept for when the position moves
// on by one frame.
template <int Bits>
void Voice::renderDownmix(float* out, std::uint32_t frames)
{
    const std::uint8_t* __restrict in = in_.data();
    float* __restrict dst = out;
    const std::size_t channels = format_.channels;
    std::array<float, kMaxPlayableChannels> wl{}, wr{};
    for (std::size_t c = 0; c < channels; ++c) {
        wl[c] = leftWeight_[c] * volume_;
        wr[c] = rightWeight_[c] * volume_;
    }
    auto fold = [&](std::size_t frame, float& left, float& right) {
        const std::size_t first = frame * channels;
        float l = 0.0f, r = 0.0f;
        for (std::size_t c = 0; c < channels; ++c) {
            const float v = sampleAt<Bits>(in, first + c);
            l += v * wl[c];
            r += v * wr[c];
        }
        left = l;
        right = r;
    };
    std::uint64_t pos = pos_;
    const std::uint64_t step = step_;
    std::size_t folded = static_cast<std::size_t>(pos >> 32);
    float aL, aR, bL, bR;
    fold(folded, aL, aR);
    fold(folded + 1, bL, bR);
    for (std::uint32_t j = 0; j < frames; ++j) {
        const auto k = static_cast<std::size_t>(pos >> 32);
        if (k != folded) {
            if (k == folded + 1) {
                aL = bL;
                aR = bR;
            } else {
                fold(k, aL, aR);
            }
            fold(k + 1, bL, bR);
            folded = k;
        }
        const float f = static_cast<float>(static_cast<std::int32_t>((pos & 0xFFFFFFFFu) >> 8)) * (1.0f / 16777216.0f);
        dst[2 * j] += aL + (bL - aL) * f;
        dst[2 * j + 1] += aR + (bR - aR) * f;
        pos += step;
    }
    pos_ = pos;
}

void Voice::renderDownmix(float* out, std::uint32_t frames)
{
    switch (format_.bitsPerSample) {
    case 8: renderDownmix<8>(out, frames); break;
    case 16: renderDownmix<16>(out, frames); break;
    case 24: renderDownmix<24>(out, frames); break;
    default: renderDownmix<32>(out, frames); break;
    }
}

template <int Channels>
void Voice::renderFrames(float* out, std::uint32_t frames)
{
    switch (format_.bitsPerSample) {
    case 8: renderFrames<Channels, 8>(out, frames); break;
    case 16: renderFrames<Channels, 16>(out, frames); break;
    case 24: renderFrames<Channels, 24>(out, frames); break;
    default: renderFrames<Channels, 32>(out, frames); break;
    }
}

// Walks one output block: refills the decoded frames as the read position
// reaches their end, renders every stretch that stays inside them, and
// finishes the voice once its last frame has been heard. Returns the frames
// rendered; `dry` says the queue ran out before the data did. Data of more
// than two channels has its own instance, so the mono and stereo one is the
// same code as when only those were played.
template <bool Multichannel>
std::uint32_t Voice::renderBlock(float* out, std::uint32_t frames, bool mayDecode, bool& dry)
{
    std::uint32_t done = 0;
    for (;;) {
        const std::uint64_t k = pos_ >> 32;
        if (ended_ && k >= inCount_) {
            // Everything decoded has been heard: the voice is finished.
            playing_ = paused_ = false;
            resetResampler();
            return done;
        }
        if (done == frames) return done;
        if (!ended_ && k + 1 >= inCount_) {
            if (!refill(mayDecode)) {
                dry = true;
                return done;
            }
            continue;
        }
        // Output frames whose read position stays inside the decoded frames
        // (and leaves the following frame readable).
        const std::uint64_t limit = static_cast<std::uint64_t>(ended_ ? inCount_ : inCount_ - 1) << 32;
        const std::uint64_t n =
            std::min<std::uint64_t>((limit - pos_ + step_ - 1) / step_, frames - done);
        if constexpr (Multichannel)
            renderDownmix(out + 2 * done, static_cast<std::uint32_t>(n));
        else if (format_.channels == 1)
            renderFrames<1>(out + 2 * done, static_cast<std::uint32_t>(n));
        else
            renderFrames<2>(out + 2 * done, static_cast<std::uint32_t>(n));
        done += static_cast<std::uint32_t>(n);
    }
}

unsigned Voice::render(float* out, std::uint32_t frames, bool mayDecode)
{
    std::lock_guard lock(mutex_);
    if (!playing_ || paused_ || released_) return 0;
    bool dry = false;
    const std::uint32_t done = format_.channels > 2 ? renderBlock<true>(out, frames, mayDecode, dry)
                                                    : renderBlock<false>(out, frames, mayDecode, dry);
    unsigned result = dry ? unsigned{kRanDry} : 0u;
    if (done > 0 && awaitingFirst_) {
        awaitingFirst_ = false;
        stampPending_ = true;
        result |= kFirstHeard;
    }
    return result;
}

void Voice::stampHeard(std::int64_t nanoseconds)
{
    if (!stampPending_) return;
    stampPending_ = false;
    heardAt_.store(nanoseconds, std::memory_order_release);
}

}  // namespace QlSound::Mixer
