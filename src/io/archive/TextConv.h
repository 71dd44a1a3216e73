#pragma once
// Text conversions the archive code needs: entry names (Shift-JIS) and
// text shown to people (UTF-8). Paths handed to the OS go through
// QlIO::toNativePath instead, which keeps names that are not UTF-8.
#include <optional>
#include <string>
#include <string_view>

namespace Qla {

// Decodes an entry name stored in Shift-JIS. Never fails: a byte or pair
// that is not a Shift-JIS character becomes U+30FB (katakana middle dot).
std::u16string decodeEntryName(std::string_view bytes);
// True when the stored name is valid Shift-JIS throughout.
bool isValidEntryName(std::string_view bytes);

// Encodes a name to Shift-JIS for storing in an archive. Returns nothing when
// a character has no Shift-JIS form (a name is never stored garbled).
std::optional<std::string> encodeEntryName(std::u16string_view name);

std::string utf16ToUtf8(std::u16string_view text);
std::u16string utf8ToUtf16(std::string_view text);

}  // namespace Qla
