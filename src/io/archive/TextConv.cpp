#include "io/archive/TextConv.h"

#include <cerrno>
#include <iconv.h>
#include <vector>

namespace Qla {

namespace {

// One converter per call: names are short and this keeps the code free of
// shared state.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

}  // namespace

std::u16string decodeEntryName(std::string_view bytes) {
    std::u16string out;
    Iconv cv("UTF-16LE", "CP932");
    if (!cv.ok()) {
        for (unsigned char c : bytes) out.push_back(c < 0x80 ? c : 0xFFFD);
        return out;
    }
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    std::vector<char> buf(bytes.size() * 2 + 8);
    while (inLeft > 0) {
        char* o = buf.data();
        size_t oLeft = buf.size();
        const size_t r = iconv(cv.get(), &in, &inLeft, &o, &oLeft);
        for (char* p = buf.data(); p + 1 < o; p += 2)
            out.push_back(static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                                (static_cast<unsigned char>(p[1]) << 8)));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // Invalid or incomplete sequence: replace one byte and go on.
            out.push_back(u'\uFFFD');
            ++in;
            --inLeft;
            iconv(cv.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

std::optional<std::string> encodeEntryName(std::u16string_view name) {
    Iconv cv("CP932", "UTF-16LE");
    if (!cv.ok()) return std::nullopt;
    std::string src;
    src.reserve(name.size() * 2);
    for (char16_t c : name) {
        src.push_back(static_cast<char>(c & 0xFF));
        src.push_back(static_cast<char>(c >> 8));
    }
    char* in = src.data();
    size_t inLeft = src.size();
    std::string out(name.size() * 2 + 8, '\0');
    char* o = out.data();
    size_t oLeft = out.size();
    if (iconv(cv.get(), &in, &inLeft, &o, &oLeft) == static_cast<size_t>(-1)) return std::nullopt;
    out.resize(out.size() - oLeft);
    // A NUL would end the stored name early.
    if (out.find('\0') != std::string::npos) return std::nullopt;
    return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool ok = extra >= 0 && i + static_cast<size_t>(extra) < text.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const unsigned char t = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((t & 0xC0) != 0x80) ok = false;
            else c = (c << 6) | (t & 0x3F);
        }
        if (ok && ((extra == 1 && c < 0x80) || (extra == 2 && (c < 0x800 || (c >= 0xD800 && c < 0xE000))) ||
                   (extra == 3 && (c < 0x10000 || c > 0x10FFFF))))
            ok = false;
        if (!ok) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        i += static_cast<size_t>(extra) + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

}  // namespace Qla
