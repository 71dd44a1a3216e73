// UTF-8/UTF-16 conversion and printf-style expansion of SQChar formats.
#include "sqstdutf.h"

#include <cstdio>

namespace sqstd {

std::string toUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t(text[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string fromUtf8(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        unsigned char b = p[i];
        if (b < 0x80) {
            out += char16_t(b);
            ++i;
            continue;
        }
        int extra;
        uint32_t c;
        uint32_t minimum;
        if ((b & 0xE0) == 0xC0) {
            extra = 1; c = b & 0x1F; minimum = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2; c = b & 0x0F; minimum = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3; c = b & 0x07; minimum = 0x10000;
        } else {
            out += char16_t(0xFFFD);
            ++i;
            continue;
        }
        bool ok = true;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + size_t(k) >= n || (p[i + k] & 0xC0) != 0x80) ok = false;
            else c = (c << 6) | (p[i + k] & 0x3F);
        }
        if (!ok || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += char16_t(0xFFFD);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            out += char16_t(c);
        }
        i += size_t(extra) + 1;
    }
    return out;
}

namespace {

void appendAscii(std::u16string &out, const char *s)
{
    while (*s) out += char16_t(static_cast<unsigned char>(*s++));
}

void pad(std::u16string &out, std::u16string_view body, int width, bool left)
{
    int fill = width - int(body.size());
    if (!left)
        for (int k = 0; k < fill; ++k) out += u' ';
    out.append(body);
    if (left)
        for (int k = 0; k < fill; ++k) out += u' ';
}

} // namespace

std::u16string vformat(const SQChar *fmt, va_list args)
{
    std::u16string out;
    if (!fmt) return out;
    for (const SQChar *p = fmt; *p; ++p) {
        if (*p != u'%') {
            out += *p;
            continue;
        }
        ++p;
        if (*p == u'%') {
            out += u'%';
            continue;
        }
        std::string spec = "%";
        bool left = false;
        while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'#' || *p == u'0') {
            if (*p == u'-') left = true;
            spec += char(*p++);
        }
        int width = 0;
        while (*p >= u'0' && *p <= u'9' && width < 100000) {
            width = width * 10 + (*p - u'0');
            spec += char(*p++);
        }
        int precision = -1;
        if (*p == u'.') {
            spec += char(*p++);
            precision = 0;
            while (*p >= u'0' && *p <= u'9' && precision < 100000) {
                precision = precision * 10 + (*p - u'0');
                spec += char(*p++);
            }
        }
        while (*p == u'l' || *p == u'h' || *p == u'z') ++p;
        if (!*p) break;
        char conv = *p < 128 ? char(*p) : '?';
        char buf[512];
        switch (conv) {
        case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': {
            spec += conv;
            std::snprintf(buf, sizeof buf, spec.c_str(), va_arg(args, int));
            appendAscii(out, buf);
            break;
        }
        case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': {
            if (precision > 100) precision = 100;
            spec += conv;
            std::snprintf(buf, sizeof buf, spec.c_str(), va_arg(args, double));
            appendAscii(out, buf);
            break;
        }
        case 'c': {
            char16_t c = char16_t(va_arg(args, int));
            pad(out, std::u16string_view(&c, 1), width, left);
            break;
        }
        case 's': {
            const SQChar *s = va_arg(args, const SQChar *);
            std::u16string_view body = s ? std::u16string_view(s) : std::u16string_view(u"(null)");
            if (precision >= 0 && size_t(precision) < body.size()) body = body.substr(0, size_t(precision));
            pad(out, body, width, left);
            break;
        }
        default:
            // Unknown conversion: copy it through unchanged.
            out += u'%';
            out += *p;
            break;
        }
    }
    return out;
}

std::u16string format(const SQChar *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::u16string out = vformat(fmt, args);
    va_end(args);
    return out;
}

} // namespace sqstd
