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
