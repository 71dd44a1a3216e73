#pragma once
// Path helpers on UTF-16 strings. Both '/' and '\' are accepted as separators;
// results use '/'.

#include <string>
#include <string_view>

namespace QlIO {

// Every '\' becomes '/', and one trailing separator is dropped (a lone "/" stays).
std::u16string normalizePath(std::u16string_view path);
// True when the path starts with a separator or a drive prefix such as "C:".
bool isAbsolutePath(std::u16string_view path);
// A path with a drive prefix is returned unchanged. Any other path is made
// absolute against the current directory, normalised, and its "." and ".."
// components and repeated separators are folded. Empty on failure.
std::u16string getAbsolutePath(std::u16string_view path);
// The same, with relative paths taken against base (an absolute folder)
// instead of the current directory; an empty base means the current directory.
std::u16string getAbsolutePath(std::u16string_view path, std::u16string_view base);
// Text before the last separator ("/" for a child of the root); empty if none.
std::u16string getDirectoryPart(std::u16string_view path);
// Text after the last separator; the whole path if there is none.
std::u16string getFileName(std::u16string_view path);
// Text after the last '.' of the file name; empty if there is none.
std::u16string getExtension(std::u16string_view path);
// The file name without its last '.' and what follows it.
std::u16string getNameWithoutExtension(std::u16string_view path);

} // namespace QlIO
