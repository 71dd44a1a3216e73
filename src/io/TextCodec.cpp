#include "io/TextCodec.h"

#include "io/Cp932.h"
#include "io/Utf8.h"

namespace QlIO {

using namespace Core;

namespace {

void appendCodePoint(std::u16string& out, uint32_t cp)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// What decodeUtf8 does with each byte of an invalid or incomplete sequence.
enum class Invalid { Fail, Replace, Escape };

// Decodes UTF-8; each byte of an invalid sequence becomes U+FFFD (Replace) or
// U+DC00 plus the byte (Escape), or decoding fails (Fail).
bool decodeUtf8(std::string_view bytes, std::u16string& out, Invalid invalid)
{
    out.clear();
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    for (size_t i = 0; i < bytes.size();) {
        uint32_t cp = 0;
        const int n = Utf8::decodeOne(p + i, bytes.size() - i, cp);
        if (n > 0) {
            appendCodePoint(out, cp);
            i += static_cast<size_t>(n);
            continue;
        }
        if (invalid == Invalid::Fail) {
            out.clear();
            return false;
        }
        // Bytes below 0x80 always decode, so an escaped byte is 0x80-0xFF.
        out.push_back(invalid == Invalid::Escape ? static_cast<char16_t>(0xDC00 + p[i]) : u'\uFFFD');
        ++i;
    }
    return true;
}

// Encodes UTF-16 as UTF-8; a lone surrogate becomes U+FFFD, except that with
// `unescape` U+DC80-U+DCFF become the bytes 0x80-0xFF they carry.
std::string encodeUtf8(std::u16string_view text, bool unescape)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text[i] < 0x80) {
            out.push_back(static_cast<char>(text[i++]));
            continue;
        }
        // A low surrogate met here did not follow a high one (nextCodePoint takes
        // pairs whole), so it is lone.
        if (unescape && isEscapedByte(text[i])) {
            out.push_back(static_cast<char>(text[i++] - 0xDC00));
            continue;
        }
        const uint32_t cp = Utf8::nextCodePoint(text.data(), text.size(), i);
        uint8_t bytes[4];
        const int n = Utf8::encodeOne(cp, bytes);
        out.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(n));
    }
    return out;
}

// Decodes Shift-JIS; invalid bytes become `replacement`, or fail when it is 0.
bool decodeSjis(const uint8_t* bytes, size_t length, std::u16string& out, char16_t replacement)
{
    out.clear();
    out.reserve(length);
    for (size_t i = 0; i < length;) {
        const int32_t s = Cp932::kSingle[bytes[i]];
        if (s >= 0) {
            out.push_back(static_cast<char16_t>(s));
            ++i;
            continue;
        }
        if (s == Cp932::kLead && i + 1 < length) {
            const char16_t unit = Cp932::pair(bytes[i], bytes[i + 1]);
            if (unit != 0) {
                out.push_back(unit);
                i += 2;
                continue;
            }
            const uint8_t trail = bytes[i + 1];
            if (replacement != 0 && trail >= 0x40 && trail <= 0xFC && trail != 0x7F) {
                // A well-formed pair without a character is one unknown character.
                out.push_back(replacement);
                i += 2;
                continue;
            }
        }
        if (replacement == 0) {
            out.clear();
            return false;
        }
        out.push_back(replacement);
        ++i;
    }
    return true;
}

bool encodeSjis(std::u16string_view text, std::string& out, bool strict)
{
    out.clear();
    out.reserve(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        int32_t code = strict ? Cp932::encodeRoundTrip(text[i]) : Cp932::encode(text[i]);
        if (code < 0) {
            if (strict) {
                out.clear();
                return false;
            }
            if (Utf8::isPairAt(text.data(), text.size(), i))
                ++i;
            code = '?';
        }
        if (code >= 0x100)
            out.push_back(static_cast<char>(code >> 8));
        out.push_back(static_cast<char>(code & 0xFF));
    }
    return true;
}

} // namespace

std::string toUtf8(std::u16string_view text)
{
    return encodeUtf8(text, false);
}

std::u16string fromUtf8(std::string_view bytes)
{
    std::u16string out;
    decodeUtf8(bytes, out, Invalid::Replace);
    return out;
}

bool fromUtf8Strict(std::string_view bytes, std::u16string& out)
{
    return decodeUtf8(bytes, out, Invalid::Fail);
}

std::string toNativePath(std::u16string_view path)
{
    return encodeUtf8(path, true);
}

std::u16string fromNativePath(std::string_view bytes)
{
    std::u16string out;
    decodeUtf8(bytes, out, Invalid::Escape);
    return out;
}

std::u16string decodeShiftJis(const uint8_t* bytes, size_t length)
{
    std::u16string out;
    if (bytes != nullptr)
        decodeSjis(bytes, length, out, u'\u30FB');
    return out;
}

std::u16string decodeShiftJis(std::string_view bytes)
{
    return decodeShiftJis(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

bool decodeShiftJisStrict(const uint8_t* bytes, size_t length, std::u16string& out)
{
    if (bytes == nullptr) {
        out.clear();
        return length == 0;
    }
    return decodeSjis(bytes, length, out, 0);
}

std::string encodeShiftJis(std::u16string_view text)
{
    std::string out;
    encodeSjis(text, out, false);
    return out;
}

bool encodeShiftJisStrict(std::u16string_view text, std::string& out)
{
    return encodeSjis(text, out, true);
}

} // namespace QlIO
