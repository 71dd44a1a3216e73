#include "app/ScriptFiles.h"

#include "io/Factory.h"
#include "io/IFileManager.h"

namespace Quillorane {

std::optional<std::u16string> readScriptFile(QlIO::IFileManager& files, std::u16string_view path) {
    auto stream = files.openInputStream(path, 0);
    if (!stream) return std::nullopt;
    auto reader = QlIO::createStreamReader(std::move(stream), QlIO::createShiftJisDecoder());
    if (!reader) return std::nullopt;
    std::u16string text = reader->readToEnd();
    reader->close();
    return text;
}

}  // namespace Quillorane
