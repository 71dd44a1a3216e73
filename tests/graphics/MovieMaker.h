#pragma once
// Writes small movies with FFmpeg's own encoders for the video tests and benchmarks:
// MPEG-4 part 2 (or another encoder) pictures in an AVI or Matroska file, optionally with
// a 16-bit PCM stereo tone.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace QlTest {

struct MovieSpec {
    int width = 64, height = 48, fps = 10, frames = 5;
    // Fills frame n as packed RGB rows (width * 3 bytes per row).
    std::function<void(int n, std::uint8_t* rgb)> picture;
    // Sound: 0 for none; else sample rate, and the tone frequency at a time in seconds.
    int audioRate = 0;
    std::function<double(double seconds)> toneAt;
    const char* container = "avi";
    const char* encoder = "mpeg4";
    int quality = 2;  // MPEG quantiser (lower is better)
};

// Solid colours, one per frame (0xRRGGBB).
inline std::function<void(int, std::uint8_t*)> solidFrames(std::vector<std::uint32_t> colors, int width, int height)
{
    return [colors, width, height](int n, std::uint8_t* rgb) {
        const std::uint32_t c = colors[static_cast<std::size_t>(n) % colors.size()];
        for (int k = 0; k < width * height; ++k) {
            rgb[3 * k] = static_cast<std::uint8_t>(c >> 16);
            rgb[3 * k + 1] = static_cast<std::uint8_t>(c >> 8);
            rgb[3 * k + 2] = static_cast<std::uint8_t>(c);
        }
    };
}

inline bool makeMovie(const std::string& path, const MovieSpec& spec)
{
    AVFormatContext* fmt = nullptr;
    if (avformat_alloc_output_context2(&fmt, nullptr, spec.container, path.c_str()) < 0)
        return false;
    bool ok = false;
    AVCodecContext* venc = nullptr;
    AVCodecContext* aenc = nullptr;
    AVFrame* frame = av_frame_alloc();
    AVFrame* audioFrame = av_frame_alloc();
    AVPacket* pkt = av_packet_alloc();
    SwsContext* sws = nullptr;
    AVStream* vs = nullptr;
    AVStream* as = nullptr;
    // Slack after the last row: the scaler reads whole vectors.
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(spec.width) * spec.height * 3 + 64);
    const auto drain = [&](AVCodecContext* enc, AVStream* st) {
        while (avcodec_receive_packet(enc, pkt) >= 0) {
            av_packet_rescale_ts(pkt, enc->time_base, st->time_base);
            pkt->stream_index = st->index;
            av_interleaved_write_frame(fmt, pkt);
        }
    };
    do {
        const AVCodec* vc = avcodec_find_encoder_by_name(spec.encoder);
        if (vc == nullptr)
            break;
        vs = avformat_new_stream(fmt, nullptr);
        venc = avcodec_alloc_context3(vc);
        venc->width = spec.width;
        venc->height = spec.height;
        venc->time_base = AVRational{1, spec.fps};
        venc->framerate = AVRational{spec.fps, 1};
        venc->pix_fmt = vc->id == AV_CODEC_ID_MJPEG ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
        venc->gop_size = 12;
        venc->flags |= AV_CODEC_FLAG_QSCALE;
        venc->global_quality = FF_QP2LAMBDA * spec.quality;
        if (fmt->oformat->flags & AVFMT_GLOBALHEADER)
            venc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (vc->id == AV_CODEC_ID_H264)
            av_opt_set(venc->priv_data, "preset", "veryfast", 0);
        if (avcodec_open2(venc, vc, nullptr) < 0)
            break;
        avcodec_parameters_from_context(vs->codecpar, venc);
        vs->time_base = venc->time_base;
        if (spec.audioRate > 0) {
            const AVCodec* ac = avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
            as = avformat_new_stream(fmt, nullptr);
            aenc = avcodec_alloc_context3(ac);
            aenc->sample_rate = spec.audioRate;
            aenc->sample_fmt = AV_SAMPLE_FMT_S16;
            AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
            av_channel_layout_copy(&aenc->ch_layout, &stereo);
            aenc->time_base = AVRational{1, spec.audioRate};
            if (avcodec_open2(aenc, ac, nullptr) < 0)
                break;
            avcodec_parameters_from_context(as->codecpar, aenc);
            as->time_base = aenc->time_base;
        }
        if (!(fmt->oformat->flags & AVFMT_NOFILE) && avio_open(&fmt->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
            break;
        if (avformat_write_header(fmt, nullptr) < 0)
            break;
        frame->format = venc->pix_fmt;
        frame->width = spec.width;
        frame->height = spec.height;
        av_frame_get_buffer(frame, 0);
        sws = sws_getContext(spec.width, spec.height, AV_PIX_FMT_RGB24, spec.width, spec.height, venc->pix_fmt,
                             SWS_BILINEAR, nullptr, nullptr, nullptr);
        const int samplesPerFrame = spec.audioRate / spec.fps;
        double phase = 0;
        for (int n = 0; n < spec.frames; ++n) {
            spec.picture(n, rgb.data());
            av_frame_make_writable(frame);
            const std::uint8_t* src[1] = {rgb.data()};
            const int srcStride[1] = {spec.width * 3};
            sws_scale(sws, src, srcStride, 0, spec.height, frame->data, frame->linesize);
            frame->pts = n;
            avcodec_send_frame(venc, frame);
            drain(venc, vs);
            if (aenc != nullptr) {
                audioFrame->format = AV_SAMPLE_FMT_S16;
                audioFrame->sample_rate = spec.audioRate;
                av_channel_layout_copy(&audioFrame->ch_layout, &aenc->ch_layout);
                audioFrame->nb_samples = samplesPerFrame;
                av_frame_get_buffer(audioFrame, 0);
                auto* s = reinterpret_cast<std::int16_t*>(audioFrame->data[0]);
                for (int k = 0; k < samplesPerFrame; ++k) {
                    const double t = static_cast<double>(n * samplesPerFrame + k) / spec.audioRate;
                    phase += 2 * M_PI * spec.toneAt(t) / spec.audioRate;
                    const auto v = static_cast<std::int16_t>(std::lround(12000 * std::sin(phase)));
                    s[2 * k] = s[2 * k + 1] = v;
                }
                audioFrame->pts = static_cast<std::int64_t>(n) * samplesPerFrame;
                avcodec_send_frame(aenc, audioFrame);
                drain(aenc, as);
                av_frame_unref(audioFrame);
            }
        }
        avcodec_send_frame(venc, nullptr);
        drain(venc, vs);
        if (aenc != nullptr) {
            avcodec_send_frame(aenc, nullptr);
            drain(aenc, as);
        }
        ok = av_write_trailer(fmt) >= 0;
    } while (false);
    sws_freeContext(sws);
    av_packet_free(&pkt);
    av_frame_free(&frame);
    av_frame_free(&audioFrame);
    avcodec_free_context(&venc);
    avcodec_free_context(&aenc);
    if (fmt->pb != nullptr && !(fmt->oformat->flags & AVFMT_NOFILE))
        avio_closep(&fmt->pb);
    avformat_free_context(fmt);
    return ok;
}

inline std::vector<std::uint8_t> readWholeFile(const std::string& path)
{
    std::vector<std::uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        std::uint8_t buf[65536];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            bytes.insert(bytes.end(), buf, buf + n);
        std::fclose(f);
    }
    return bytes;
}

// Red, green, blue, yellow, cyan: the frame colours the playback tests' movies cycle through.
inline const std::vector<std::uint32_t> kColors = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF};

// Polls done() every 2 ms until it holds (true) or 10 seconds have passed (false), for
// what the decode thread delivers in its own time.
template <class F>
bool waitUntil(F&& done)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace QlTest
