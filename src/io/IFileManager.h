#pragma once
// Finds files across prioritised storages plus a default storage.

#include "io/IFile.h"
#include "io/IFileStorage.h"
#include "io/IIoStream.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace QlIO {

class IFileManager {
public:
    virtual ~IFileManager() = default;

    // Mounts a storage; a lower priority number is searched first. Replaces the
    // storage at that priority. False for an empty pointer.
    virtual bool addStorage(int32_t priority, std::shared_ptr<IFileStorage> storage) = 0;
    virtual void removeStorage(const std::shared_ptr<IFileStorage>& storage) = 0;
    virtual void clearStorages() = 0;
    virtual bool setDefaultStorage(std::shared_ptr<IFileStorage> storage) = 0;
    virtual std::shared_ptr<IFileStorage> getDefaultStorage() = 0;
    // Opens the first matching file that is not read-only.
    virtual std::shared_ptr<IIoStream> openIoStream(std::u16string_view path, uint32_t options) = 0;
    // Opens the first matching file that exists.
    virtual std::shared_ptr<IInputStream> openInputStream(std::u16string_view path, uint32_t options) = 0;
    // Opens the first matching file that is not read-only.
    virtual std::shared_ptr<IOutputStream> openOutputStream(std::u16string_view path, uint32_t options) = 0;
    virtual std::shared_ptr<IFile> getFile(std::u16string_view path) = 0;
    // Every existing match in priority order, then the default storage's candidate.
    virtual std::vector<std::shared_ptr<IFile>> getFiles(std::u16string_view path) = 0;
};

} // namespace QlIO
