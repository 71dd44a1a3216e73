#pragma once
// Strict UTF-8 sequence decoding and UTF-16 code point stepping shared by the
// codecs, the text helpers, the reader's fast path and the writer.

#include <cstddef>
#include <cstdint>

namespace QlIO::Core::Utf8 {

constexpr int kIncomplete = 0;
constexpr int kInvalid = -1;

// Decodes one sequence at p (n > 0 bytes available). Returns its length (1-4)
// and sets codePoint; kIncomplete when the bytes are a valid but unfinished
// start; kInvalid for overlong forms, surrogates, values above U+10FFFF and
// stray bytes.
inline int decodeOne(const uint8_t* p, size_t n, uint32_t& codePoint)
{
    const uint8_t b0 = p[0];
    if (b0 < 0x80) {
        codePoint = b0;
        return 1;
    }
    int length;
    uint32_t cp;
    uint8_t lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0F;
        if (b0 == 0xE0)
            lo = 0xA0; // no overlong forms
        else if (b0 == 0xED)
            hi = 0x9F; // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07;
        if (b0 == 0xF0)
            lo = 0x90;
        else if (b0 == 0xF4)
            hi = 0x8F; // nothing above U+10FFFF
    } else {
        return kInvalid;
    }
    for (int i = 1; i < length; ++i) {
        if (static_cast<size_t>(i) >= n)
            return kIncomplete;
        const uint8_t b = p[i];
        if (i == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF))
            return kInvalid;
        cp = (cp << 6) | (b & 0x3F);
    }
    codePoint = cp;
    return length;
}

// Appends the UTF-8 form of a code point (<= U+10FFFF, not a surrogate) at out;
// returns the byte count.
inline int encodeOne(uint32_t cp, uint8_t* out)
{
    if (cp < 0x80) {
        out[0] = static_cast<uint8_t>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<uint8_t>(0xC0 | (cp >> 6));
        out[1] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<uint8_t>(0xE0 | (cp >> 12));
        out[1] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<uint8_t>(0xF0 | (cp >> 18));
    out[1] = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
    return 4;
}

inline bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// True when units i and i + 1 of a UTF-16 text of n units form a surrogate pair.
inline bool isPairAt(const char16_t* text, size_t n, size_t i)
{
    return isHighSurrogate(text[i]) && i + 1 < n && isLowSurrogate(text[i + 1]);
}

// The code point at unit i of a UTF-16 text of n units, moving i past it: a
// surrogate pair gives one code point, a lone surrogate gives U+FFFD.
inline uint32_t nextCodePoint(const char16_t* text, size_t n, size_t& i)
{
    const uint32_t unit = text[i];
    if (isPairAt(text, n, i)) {
        i += 2;
        return 0x10000 + ((unit - 0xD800) << 10) + (text[i - 1] - 0xDC00u);
    }
    ++i;
    return unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit;
}

} // namespace QlIO::Core::Utf8
