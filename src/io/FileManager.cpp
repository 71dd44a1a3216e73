#include "io/FileManager.h"

#include "io/Factory.h"
#include "io/File.h"
#include "io/Path.h"

namespace QlIO::Core {

FileManager::FileManager(std::shared_ptr<IFileStorage> defaultStorage)
    : default_(std::move(defaultStorage))
{
}

bool FileManager::addStorage(int32_t priority, std::shared_ptr<IFileStorage> storage)
{
    if (!storage)
        return false;
    storages_[priority] = std::move(storage);
    return true;
}

void FileManager::removeStorage(const std::shared_ptr<IFileStorage>& storage)
{
    for (auto it = storages_.begin(); it != storages_.end(); ++it) {
        if (it->second == storage) {
            storages_.erase(it);
            return;
        }
    }
}

void FileManager::clearStorages()
{
    storages_.clear();
}

bool FileManager::setDefaultStorage(std::shared_ptr<IFileStorage> storage)
{
    default_ = std::move(storage);
    return true;
}

std::vector<std::shared_ptr<IFile>> FileManager::getFiles(std::u16string_view path)
{
    std::vector<std::shared_ptr<IFile>> files;
    for (auto& [priority, storage] : storages_) {
        auto file = storage->getFile(path);
        if (file && file->exists())
            files.push_back(std::move(file));
    }
    if (default_) {
        if (auto file = default_->getFile(path))
            files.push_back(std::move(file));
    }
    return files;
}

// The first existing match, else the default storage's candidate. Stops at
// the first hit: later storages (and the default storage's case-resolving
// lookup) are not consulted for a file that has been found.
std::shared_ptr<IFile> FileManager::getFile(std::u16string_view path)
{
    for (auto& [priority, storage] : storages_) {
        auto file = storage->getFile(path);
        if (file && file->exists())
            return file;
    }
    return default_ ? default_->getFile(path) : nullptr;
}

std::shared_ptr<IFile> FileManager::firstWritable(std::u16string_view path)
{
    for (auto& file : getFiles(path))
        if (!file->isReadOnly())
            return file;
    return nullptr;
}

std::shared_ptr<IIoStream> FileManager::openIoStream(std::u16string_view path, uint32_t options)
{
    auto file = firstWritable(path);
    return file ? file->openIoStream(options) : nullptr;
}

std::shared_ptr<IInputStream> FileManager::openInputStream(std::u16string_view path, uint32_t options)
{
    auto file = getFile(path);
    return file && file->exists() ? file->openInputStream(options) : nullptr;
}

std::shared_ptr<IOutputStream> FileManager::openOutputStream(std::u16string_view path, uint32_t options)
{
    auto file = firstWritable(path);
    return file ? file->openOutputStream(options) : nullptr;
}

} // namespace QlIO::Core

namespace QlIO {

std::shared_ptr<IFileStorage> createFileStorage()
{
    return std::make_shared<Core::FileStorage>();
}

std::shared_ptr<IFileStorage> createFileStorage(std::u16string_view folder)
{
    std::u16string absolute = getAbsolutePath(folder);
    if (absolute.empty() || absolute[0] != u'/')
        return {};
    return std::make_shared<Core::FileStorage>(std::move(absolute));
}

std::shared_ptr<IFileManager> createFileManager(std::shared_ptr<IFileStorage> defaultStorage)
{
    if (!defaultStorage)
        return {};
    return std::make_shared<Core::FileManager>(std::move(defaultStorage));
}

} // namespace QlIO
