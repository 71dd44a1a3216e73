#include "TestAudio.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace QlSoundTest {

void putU16(Bytes& b, std::uint16_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putU32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void putTag(Bytes& b, const char* tag)
{
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(tag[i]));
}

Bytes pcm16(const std::vector<std::int16_t>& samples)
{
    Bytes b;
    for (auto s : samples) putU16(b, static_cast<std::uint16_t>(s));
    return b;
}

namespace {

void putFormat(Bytes& b, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, bool extended)
{
    const auto align = static_cast<std::uint16_t>(channels * bits / 8);
    putTag(b, "fmt ");
    putU32(b, extended ? 18 : 16);
    putU16(b, 1);
    putU16(b, channels);
    putU32(b, rate);
    putU32(b, rate * align);
    putU16(b, align);
    putU16(b, bits);
    if (extended) putU16(b, 0);
}

void fixRiffSize(Bytes& b)
{
    const auto size = static_cast<std::uint32_t>(b.size() - 8);
    std::memcpy(b.data() + 4, &size, 4);  // little-endian host
}

}  // namespace

Bytes canonicalWav(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, const Bytes& pcm)
{
    Bytes b;
    putTag(b, "RIFF");
    putU32(b, 0);
    putTag(b, "WAVE");
    putFormat(b, channels, rate, bits, false);
    putTag(b, "data");
    putU32(b, static_cast<std::uint32_t>(pcm.size()));
    b.insert(b.end(), pcm.begin(), pcm.end());
    fixRiffSize(b);
    return b;
}

Bytes chunkedWav(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, const Bytes& pcm,
                 std::uint32_t listBytes)
{
    Bytes b;
    putTag(b, "RIFF");
    putU32(b, 0);
    putTag(b, "WAVE");
    putFormat(b, channels, rate, bits, true);
    putTag(b, "LIST");
    putU32(b, listBytes);
    for (std::uint32_t i = 0; i < listBytes; ++i) b.push_back(static_cast<std::uint8_t>(0xA0 + i % 16));
    if (listBytes & 1) b.push_back(0);
    putTag(b, "data");
    putU32(b, static_cast<std::uint32_t>(pcm.size()));
    b.insert(b.end(), pcm.begin(), pcm.end());
    if (pcm.size() & 1) b.push_back(0);
    putTag(b, "id3 ");
    putU32(b, 8);
    for (int i = 0; i < 8; ++i) b.push_back(0x7F);
    fixRiffSize(b);
    return b;
}

Bytes encodeOgg(int channels, long rate, const std::vector<float>& interleaved, float quality, int serial)
{
    Bytes out;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) {
        vorbis_info_clear(&vi);
        return out;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, serial);

    auto emit = [&](const ogg_page& page) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    ogg_page page;
    while (ogg_stream_flush(&os, &page) != 0) emit(page);

    const long frames = static_cast<long>(interleaved.size()) / channels;
    long at = 0;
    bool eos = false;
    while (!eos) {
        const long n = std::min(1024L, frames - at);
        if (n > 0) {
            float** buf = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (long i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c) buf[c][i] = interleaved[(at + i) * channels + c];
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            at += n;
        } else {
            vorbis_analysis_wrote(&vd, 0);
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet) == 1) {
                ogg_stream_packetin(&os, &packet);
                while (ogg_stream_pageout(&os, &page) != 0) {
                    emit(page);
                    if (ogg_page_eos(&page)) eos = true;
                }
            }
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

std::shared_ptr<QlSound::IFileData> fileData(Bytes bytes)
{
    return std::make_shared<QlSound::Core::MemoryFileData>(std::move(bytes));
}

}  // namespace QlSoundTest
