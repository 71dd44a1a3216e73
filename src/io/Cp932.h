#pragma once
// Code page 932 (Shift-JIS as Windows defines it) lookups shared by the
// decoder, the encoder, the text helpers and the reader's fast path.

#include <array>
#include <cstdint>

namespace QlIO::Core::Cp932 {

// Meaning of a first byte: a character (>= 0), a lead byte (kLead) or invalid (kInvalid).
constexpr int32_t kLead = -2;
constexpr int32_t kInvalid = -1;

constexpr bool isLeadByte(int b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

constexpr std::array<int32_t, 256> makeSingleTable()
{
    std::array<int32_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
        if (b < 0x80)
            t[b] = b;
        else if (b >= 0xA1 && b <= 0xDF)
            t[b] = 0xFF61 + (b - 0xA1);
        else if (isLeadByte(b))
            t[b] = kLead;
        else
            t[b] = kInvalid;
    }
    // Single bytes the Windows table maps outside the JIS set.
    t[0x80] = 0x0080;
    t[0xA0] = 0xF8F0;
    t[0xFD] = 0xF8F1;
    t[0xFE] = 0xF8F2;
    t[0xFF] = 0xF8F3;
    return t;
}

constexpr std::array<int8_t, 256> makeRowTable()
{
    std::array<int8_t, 256> t{};
    int row = 0;
    for (int b = 0; b < 256; ++b)
        t[b] = isLeadByte(b) ? static_cast<int8_t>(row++) : int8_t(-1);
    return t;
}

inline constexpr std::array<int32_t, 256> kSingle = makeSingleTable();
inline constexpr std::array<int8_t, 256> kRowOfLead = makeRowTable();

// 60 rows (one per lead byte in order) of 189 units for the trail bytes 0x40-0xFC; 0 = none.
extern const uint16_t (*const kRows)[189];

// The character of a lead and trail byte pair, or 0 when there is none.
inline char16_t pair(uint8_t lead, uint8_t trail)
{
    const int row = kRowOfLead[lead];
    if (row < 0 || trail < 0x40 || trail > 0xFC)
        return 0;
    return static_cast<char16_t>(kRows[row][trail - 0x40]);
}

// The code of a UTF-16 unit: a single byte (< 0x100) or a lead/trail pair
// (lead << 8 | trail); -1 when code page 932 has none. Best-fit replacements
// of the platform converter are included (U+00A5 gives 0x5C).
int32_t encode(char16_t unit);

// Like encode, but only codes that decode back to the same unit.
int32_t encodeRoundTrip(char16_t unit);

} // namespace QlIO::Core::Cp932
