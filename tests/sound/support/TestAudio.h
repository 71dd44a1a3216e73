// Sound files and signals made by the tests themselves.
#pragma once

#include "sound/SoundData.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace QlSoundTest {

using Bytes = std::vector<std::uint8_t>;

void putU16(Bytes& b, std::uint16_t v);
void putU32(Bytes& b, std::uint32_t v);
void putTag(Bytes& b, const char* tag);

// 16-bit little-endian PCM from signed sample values.
Bytes pcm16(const std::vector<std::int16_t>& samples);

// A canonical WAV: RIFF head, 16-byte "fmt " chunk, "data" chunk, PCM.
Bytes canonicalWav(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, const Bytes& pcm);

// A WAV with a chunk walk to do: an 18-byte "fmt " chunk, a "LIST" chunk of
// `listBytes` bytes (odd sizes get their pad byte) before "data", and a
// trailing chunk after the data.
Bytes chunkedWav(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, const Bytes& pcm,
                 std::uint32_t listBytes = 26);

// Ogg Vorbis bytes encoded from interleaved float samples (-1..1). Streams
// chained one after another need different serial numbers.
Bytes encodeOgg(int channels, long rate, const std::vector<float>& interleaved, float quality = 0.4f,
                int serial = 12345);

std::shared_ptr<QlSound::IFileData> fileData(Bytes bytes);

}  // namespace QlSoundTest
