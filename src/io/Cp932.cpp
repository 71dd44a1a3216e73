#include "io/Cp932.h"

namespace QlIO::Core::Cp932 {

namespace {

#include "cp932_tables.inc"

struct EncodeTable {
    std::array<uint16_t, 65536> code; // 0xFFFF = none (no code page 932 code has that value)
    EncodeTable()
    {
        code.fill(0xFFFF);
        for (int b = 255; b >= 0; --b)
            if (kSingle[b] >= 0)
                code[kSingle[b]] = static_cast<uint16_t>(b);
        for (int lead = 0; lead < 256; ++lead) {
            if (kRowOfLead[lead] < 0)
                continue;
            for (int i = 0; i < 189; ++i) {
                const uint16_t u = kCp932Rows[kRowOfLead[lead]][i];
                if (u != 0 && code[u] == 0xFFFF)
                    code[u] = static_cast<uint16_t>((lead << 8) | (0x40 + i));
            }
        }
        for (const auto& o : kCp932EncodeOverrides)
            if (o[0] != 0)
                code[o[0]] = o[1];
    }
};

const EncodeTable& encodeTable()
{
    static const EncodeTable table;
    return table;
}

} // namespace

const uint16_t (*const kRows)[189] = kCp932Rows;

int32_t encode(char16_t unit)
{
    const uint16_t c = encodeTable().code[unit];
    return c == 0xFFFF ? -1 : c;
}

int32_t encodeRoundTrip(char16_t unit)
{
    const int32_t c = encode(unit);
    if (c < 0)
        return -1;
    const int32_t back = c < 0x100 ? kSingle[c] : pair(uint8_t(c >> 8), uint8_t(c & 0xFF));
    return back == unit ? c : -1;
}

} // namespace QlIO::Core::Cp932
