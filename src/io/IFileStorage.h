#pragma once
// A place files are looked up in: a plain directory tree or an archive.

#include "io/IFile.h"

#include <memory>
#include <string>
#include <string_view>

namespace QlIO {

class IFileStorage {
public:
    virtual ~IFileStorage() = default;

    // The file object for a path (empty for an empty path); it need not exist.
    virtual std::shared_ptr<IFile> getFile(std::u16string_view path) = 0;
};

} // namespace QlIO
