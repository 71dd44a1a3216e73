#pragma once

#include "io/IFileManager.h"

#include <map>

namespace QlIO::Core {

// Searches its storages in ascending priority, then the default storage.
class FileManager final : public IFileManager {
public:
    explicit FileManager(std::shared_ptr<IFileStorage> defaultStorage = {});

    bool addStorage(int32_t priority, std::shared_ptr<IFileStorage> storage) override;
    void removeStorage(const std::shared_ptr<IFileStorage>& storage) override;
    void clearStorages() override;
    bool setDefaultStorage(std::shared_ptr<IFileStorage> storage) override;
    std::shared_ptr<IFileStorage> getDefaultStorage() override { return default_; }
    std::shared_ptr<IIoStream> openIoStream(std::u16string_view path, uint32_t options) override;
    std::shared_ptr<IInputStream> openInputStream(std::u16string_view path, uint32_t options) override;
    std::shared_ptr<IOutputStream> openOutputStream(std::u16string_view path, uint32_t options) override;
    std::shared_ptr<IFile> getFile(std::u16string_view path) override;
    std::vector<std::shared_ptr<IFile>> getFiles(std::u16string_view path) override;

private:
    std::shared_ptr<IFile> firstWritable(std::u16string_view path);

    std::shared_ptr<IFileStorage> default_;
    std::map<int32_t, std::shared_ptr<IFileStorage>> storages_;
};

} // namespace QlIO::Core
