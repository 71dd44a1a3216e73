// Fuzzes the regular-expression engine: the input is "pattern\0text"
// (UTF-8); the pattern is compiled and, when valid, matched, searched and
// its captures read back, which must always lie inside the text.
#include "sqstdstring.h"
#include "sqstdutf.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096) return 0;
    std::string_view in(reinterpret_cast<const char *>(data), size);
    size_t cut = in.find('\0');
    std::u16string pattern = sqstd::fromUtf8(in.substr(0, cut));
    std::u16string text = cut == std::string_view::npos ? std::u16string() : sqstd::fromUtf8(in.substr(cut + 1));
    const SQChar *error = nullptr;
    SQRex *rex = sqstd_rex_compile(pattern.c_str(), &error);
    if (!rex) {
        if (!error) std::abort(); // a rejected pattern always says why
        return 0;
    }
    sqstd_rex_match(rex, text.c_str());
    const SQChar *b = nullptr;
    const SQChar *e = nullptr;
    const SQChar *end = text.c_str() + text.size();
    if (sqstd_rex_searchrange(rex, text.c_str(), end, &b, &e)) {
        if (b < text.c_str() || e > end || e < b) std::abort();
        for (SQInteger i = 0; i < sqstd_rex_getsubexpcount(rex); ++i) {
            SQRexMatch m;
            if (!sqstd_rex_getsubexp(rex, i, &m)) std::abort();
            if (m.begin && (m.begin < text.c_str() || m.begin + m.len > end || m.len < 0)) std::abort();
        }
    }
    sqstd_rex_free(rex);
    return 0;
}
