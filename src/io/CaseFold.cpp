#include "io/CaseFold.h"

namespace QlIO::Core {

namespace {

// Ranges where upper- and lower-case letters alternate, upper case first.
constexpr bool inPairRange(char16_t c, char16_t first, char16_t last) { return c >= first && c <= last; }

}  // namespace

char16_t foldCase(char16_t c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
    if (c < 0x100) {
        if (c == 0xB5) return 0x039C;  // micro sign -> capital mu
        if (c == 0xFF) return 0x0178;
        if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
        return c;
    }
    if (c < 0x180) {  // Latin Extended-A
        if (c == 0x131) return u'I';
        if (c == 0x17F) return u'S';
        if (inPairRange(c, 0x100, 0x137) || inPairRange(c, 0x14A, 0x177))
            return (c & 1) ? static_cast<char16_t>(c - 1) : c;
        if (inPairRange(c, 0x139, 0x148) || inPairRange(c, 0x179, 0x17E))
            return (c & 1) ? c : static_cast<char16_t>(c - 1);
        return c;
    }
    if (c >= 0x370 && c < 0x400) {  // Greek
        if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return static_cast<char16_t>(c - 0x20);
        switch (c) {
        case 0x3C2: return 0x3A3;  // final sigma
        case 0x3AC: return 0x386;
        case 0x3AD: return 0x388;
        case 0x3AE: return 0x389;
        case 0x3AF: return 0x38A;
        case 0x3CC: return 0x38C;
        case 0x3CD: return 0x38E;
        case 0x3CE: return 0x38F;
        default: break;
        }
        if (inPairRange(c, 0x3D8, 0x3EF)) return (c & 1) ? static_cast<char16_t>(c - 1) : c;
        return c;
    }
    if (c >= 0x400 && c < 0x530) {  // Cyrillic
        if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
        if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
        if (c == 0x4CF) return 0x4C0;
        if (inPairRange(c, 0x460, 0x481) || inPairRange(c, 0x48A, 0x4BF) || inPairRange(c, 0x4D0, 0x52F))
            return (c & 1) ? static_cast<char16_t>(c - 1) : c;
        if (inPairRange(c, 0x4C1, 0x4CE)) return (c & 1) ? c : static_cast<char16_t>(c - 1);
        return c;
    }
    if (c >= 0x561 && c <= 0x586) return static_cast<char16_t>(c - 0x30);     // Armenian
    if (c >= 0x2170 && c <= 0x217F) return static_cast<char16_t>(c - 0x10);   // Roman numerals
    if (c >= 0x24D0 && c <= 0x24E9) return static_cast<char16_t>(c - 0x1A);   // circled letters
    if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 0x20);   // full-width a-z
    return c;
}

}  // namespace QlIO::Core
