#pragma once
// Script files read through the process-wide file manager.
#include <optional>
#include <string>
#include <string_view>

namespace QlIO {
class IFileManager;
}

namespace Quillorane {

// The whole text of a script file, decoded as Shift-JIS (CR LF read as LF); nothing when no
// storage holds the file.
std::optional<std::u16string> readScriptFile(QlIO::IFileManager& files, std::u16string_view path);

}  // namespace Quillorane
