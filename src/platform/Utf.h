#pragma once
#include <string>
#include <string_view>

namespace QlPlatform {

// UTF-16 <-> UTF-8 for text crossing into SDL and the OS. Unpaired surrogates and malformed
// UTF-8 sequences become U+FFFD; nothing is dropped silently. File names go through
// QlIO::toNativePath / fromNativePath instead, which keep names that are not UTF-8.
std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);

}  // namespace QlPlatform
