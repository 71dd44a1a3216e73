#pragma once
// Whole-string conversions between UTF-16 and byte encodings, for paths,
// consoles, archive names and other modules.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace QlIO {

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string toUtf8(std::u16string_view text);
// UTF-8 to UTF-16; each byte of an invalid sequence becomes U+FFFD.
std::u16string fromUtf8(std::string_view bytes);
// Strict UTF-8 to UTF-16: false (out cleared) on any invalid or incomplete sequence.
bool fromUtf8Strict(std::string_view bytes, std::u16string& out);

// Paths between UTF-16 and the bytes the OS names files with. The OS takes any
// bytes in a name, and names that are not UTF-8 are common (a folder unpacked
// from an archive made on another system keeps its Shift-JIS bytes), so these
// convert without loss where the text conversions above would replace:
// fromNativePath decodes UTF-8 and carries each byte 0x80-0xFF that is not part
// of a valid sequence as the lone low surrogate U+DC80-U+DCFF; toNativePath
// encodes UTF-8 and turns exactly those lone surrogates back into their bytes.
// toNativePath(fromNativePath(b)) == b for all bytes b. Any other lone
// surrogate becomes U+FFFD, as in toUtf8. Use these only for names the OS
// sees; text written to files goes through toUtf8 and stays valid UTF-8.
std::string toNativePath(std::u16string_view path);
std::u16string fromNativePath(std::string_view bytes);
// True for a unit that fromNativePath uses to carry an undecodable byte.
constexpr bool isEscapedByte(char16_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; }

// Shift-JIS (code page 932) to UTF-16; a byte or pair that is not a character
// becomes U+30FB (KATAKANA MIDDLE DOT).
std::u16string decodeShiftJis(const uint8_t* bytes, size_t length);
std::u16string decodeShiftJis(std::string_view bytes);
// Strict Shift-JIS to UTF-16: false (out cleared) on any invalid or incomplete sequence.
bool decodeShiftJisStrict(const uint8_t* bytes, size_t length, std::u16string& out);

// UTF-16 to Shift-JIS; a character without a code becomes '?'.
std::string encodeShiftJis(std::u16string_view text);
// Strict UTF-16 to Shift-JIS: false (out cleared) when a character has no code
// that decodes back to the same character.
bool encodeShiftJisStrict(std::u16string_view text, std::string& out);

} // namespace QlIO
