#include "io/Encodings.h"

#include "io/Cp932.h"
#include "io/Factory.h"
#include "io/Utf8.h"

#include <algorithm>

namespace QlIO::Core {

namespace {

bool badArguments(const void* out, uint32_t outCapacity, const void* in, uint32_t inLength)
{
    return out == nullptr || outCapacity == 0 || in == nullptr || inLength == 0;
}

// UTF-16 units from bytes in either order: min(capacity, length) bytes,
// rounded down to an even count.
template <bool LittleEndian>
uint32_t decodeUtf16(char16_t* out, uint32_t outCapacityBytes, const uint8_t* in, uint32_t inLenBytes)
{
    if (badArguments(out, outCapacityBytes, in, inLenBytes))
        return 0;
    const uint32_t n = std::min(outCapacityBytes, inLenBytes) & ~1u;
    constexpr uint32_t lo = LittleEndian ? 0 : 1; // index of the low byte in each pair
    for (uint32_t i = 0; i < n; i += 2)
        out[i / 2] = static_cast<char16_t>(in[i + lo] | (in[i + 1 - lo] << 8));
    return n;
}

template <bool LittleEndian>
uint32_t encodeUtf16(uint8_t* out, uint32_t outCapacityBytes, const char16_t* in, uint32_t inLenBytes)
{
    if (badArguments(out, outCapacityBytes, in, inLenBytes))
        return 0;
    const uint32_t n = std::min(outCapacityBytes, inLenBytes) & ~1u;
    constexpr uint32_t lo = LittleEndian ? 0 : 1;
    for (uint32_t i = 0; i < n; i += 2) {
        out[i + lo] = static_cast<uint8_t>(in[i / 2] & 0xFF);
        out[i + 1 - lo] = static_cast<uint8_t>(in[i / 2] >> 8);
    }
    return n;
}

} // namespace

uint32_t ShiftJisDecoder::decode(char16_t* out, uint32_t outCapacityBytes, const uint8_t* in, uint32_t inLenBytes)
{
    if (badArguments(out, outCapacityBytes, in, inLenBytes))
        return 0;
    const uint32_t capacity = outCapacityBytes / 2;
    uint32_t produced = 0;
    for (uint32_t i = 0; i < inLenBytes;) {
        const int32_t s = Cp932::kSingle[in[i]];
        char16_t unit;
        if (s >= 0) {
            unit = static_cast<char16_t>(s);
            i += 1;
        } else if (s == Cp932::kLead && i + 1 < inLenBytes) {
            unit = Cp932::pair(in[i], in[i + 1]);
            if (unit == 0)
                return 0;
            i += 2;
        } else {
            return 0; // invalid byte, or a lead byte without its trail byte
        }
        if (produced == capacity)
            return 0;
        out[produced++] = unit;
    }
    return produced * 2;
}

uint32_t ShiftJisEncoder::encode(uint8_t* out, uint32_t outCapacityBytes, const char16_t* in, uint32_t inLenBytes)
{
    if (badArguments(out, outCapacityBytes, in, inLenBytes))
        return 0;
    const uint32_t units = inLenBytes / 2;
    uint32_t written = 0;
    for (uint32_t i = 0; i < units; ++i) {
        int32_t code = Cp932::encode(in[i]);
        if (code < 0) {
            // A surrogate pair stands for one character: one replacement.
            if (Utf8::isPairAt(in, units, i))
                ++i;
            code = '?';
        }
        const uint32_t size = code < 0x100 ? 1 : 2;
        if (written + size > outCapacityBytes)
            return 0;
        if (size == 2)
            out[written++] = static_cast<uint8_t>(code >> 8);
        out[written++] = static_cast<uint8_t>(code & 0xFF);
    }
    return written;
}

uint32_t Utf8Decoder::decode(char16_t* out, uint32_t outCapacityBytes, const uint8_t* in, uint32_t inLenBytes)
{
    if (badArguments(out, outCapacityBytes, in, inLenBytes))
        return 0;
    const uint32_t capacity = outCapacityBytes / 2;
    uint32_t produced = 0;
    for (uint32_t i = 0; i < inLenBytes;) {
        uint32_t cp = 0;
        const int length = Utf8::decodeOne(in + i, inLenBytes - i, cp);
        if (length <= 0)
            return 0;
        i += static_cast<uint32_t>(length);
        if (cp < 0x10000) {
            if (produced == capacity)
                return 0;
            out[produced++] = static_cast<char16_t>(cp);
        } else {
            if (produced + 2 > capacity)
                return 0;
            cp -= 0x10000;
            out[produced++] = static_cast<char16_t>(0xD800 + (cp >> 10));
            out[produced++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        }
    }
    return produced * 2;
}

uint32_t Utf8Encoder::encode(uint8_t* out, uint32_t outCapacityBytes, const char16_t* in, uint32_t inLenBytes)
{
    if (badArguments(out, outCapacityBytes, in, inLenBytes))
        return 0;
    const size_t units = inLenBytes / 2;
    uint32_t written = 0;
    for (size_t i = 0; i < units;) {
        const uint32_t cp = Utf8::nextCodePoint(in, units, i);
        uint8_t bytes[4];
        const int length = Utf8::encodeOne(cp, bytes);
        if (written + length > outCapacityBytes)
            return 0;
        std::copy(bytes, bytes + length, out + written);
        written += static_cast<uint32_t>(length);
    }
    return written;
}

uint32_t Utf16DecoderLE::decode(char16_t* out, uint32_t outCapacityBytes, const uint8_t* in, uint32_t inLenBytes)
{
    return decodeUtf16<true>(out, outCapacityBytes, in, inLenBytes);
}

uint32_t Utf16EncoderLE::encode(uint8_t* out, uint32_t outCapacityBytes, const char16_t* in, uint32_t inLenBytes)
{
    return encodeUtf16<true>(out, outCapacityBytes, in, inLenBytes);
}

uint32_t Utf16DecoderBE::decode(char16_t* out, uint32_t outCapacityBytes, const uint8_t* in, uint32_t inLenBytes)
{
    return decodeUtf16<false>(out, outCapacityBytes, in, inLenBytes);
}

uint32_t Utf16EncoderBE::encode(uint8_t* out, uint32_t outCapacityBytes, const char16_t* in, uint32_t inLenBytes)
{
    return encodeUtf16<false>(out, outCapacityBytes, in, inLenBytes);
}

uint32_t Utf16Decoder::decode(char16_t* out, uint32_t outCapacityBytes, const uint8_t* in, uint32_t inLenBytes)
{
    if (badArguments(out, outCapacityBytes, in, inLenBytes) || inLenBytes < 2)
        return 0;
    const bool markLE = in[0] == 0xFF && in[1] == 0xFE;
    const bool markBE = in[0] == 0xFE && in[1] == 0xFF;
    if (markLE || markBE) {
        if (inLenBytes < 4)
            return 0;
        littleEndian_ = markLE;
        in += 2;
        inLenBytes -= 2;
    }
    return littleEndian_ ? decodeUtf16<true>(out, outCapacityBytes, in, inLenBytes)
                         : decodeUtf16<false>(out, outCapacityBytes, in, inLenBytes);
}

} // namespace QlIO::Core

namespace QlIO {

std::shared_ptr<IDecoder> createShiftJisDecoder() { return std::make_shared<Core::ShiftJisDecoder>(); }
std::shared_ptr<IEncoder> createShiftJisEncoder() { return std::make_shared<Core::ShiftJisEncoder>(); }
std::shared_ptr<IDecoder> createUtf8Decoder() { return std::make_shared<Core::Utf8Decoder>(); }
std::shared_ptr<IEncoder> createUtf8Encoder() { return std::make_shared<Core::Utf8Encoder>(); }
std::shared_ptr<IDecoder> createUtf16Decoder() { return std::make_shared<Core::Utf16Decoder>(); }
std::shared_ptr<IDecoder> createUtf16DecoderLE() { return std::make_shared<Core::Utf16DecoderLE>(); }
std::shared_ptr<IDecoder> createUtf16DecoderBE() { return std::make_shared<Core::Utf16DecoderBE>(); }
std::shared_ptr<IEncoder> createUtf16EncoderLE() { return std::make_shared<Core::Utf16EncoderLE>(); }
std::shared_ptr<IEncoder> createUtf16EncoderBE() { return std::make_shared<Core::Utf16EncoderBE>(); }

} // namespace QlIO
