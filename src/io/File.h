#pragma once

#include "io/IFile.h"
#include "io/IFileStorage.h"

#include <string>
#include <string_view>

namespace QlIO::Core {

// A path of the file system. The path is made absolute against the current
// directory when the object is made; when it does not exist as written, each
// component is looked up again without regard to letter case, so a script
// written for a case-insensitive file system still finds its files.
class File final : public IFile {
public:
    // Takes an absolute path as it is (see create for the general case).
    explicit File(std::u16string absolutePath);

    // A File for any path, or empty for an empty path. Relative paths are
    // taken against base, or the current directory when base is empty.
    static std::shared_ptr<File> create(std::u16string_view path, std::u16string_view base = {});

    bool exists() override;
    bool isFile() override;
    bool isDirectory() override;
    bool isHidden() override;
    bool isReadOnly() override;
    std::u16string getPath() override { return path_; }
    uint32_t getSize() override;
    // Creation times come from the file system's birth time where it keeps one;
    // they cannot be set.
    bool setCreationTime(int64_t time) override;
    int64_t getCreationTime() override;
    bool setLastAccessTime(int64_t time) override;
    int64_t getLastAccessTime() override;
    bool setLastWriteTime(int64_t time) override;
    int64_t getLastWriteTime() override;
    bool remove() override;
    bool makeFile() override;
    bool makeDirectory() override;
    std::shared_ptr<IIoStream> openIoStream(uint32_t options) override;
    std::shared_ptr<IInputStream> openInputStream(uint32_t options) override;
    std::shared_ptr<IOutputStream> openOutputStream(uint32_t options) override;
    std::shared_ptr<IFile> getParent() override;
    // Sorted by name without regard to case, as a case-insensitive file system lists them.
    std::vector<std::shared_ptr<IFile>> getChildren() override;

private:
    bool setTime(int64_t time, bool access);

    std::u16string path_;
    std::string native_; // the path as the system sees it (UTF-8)
};

// The storage of plain files: any path becomes a File. Relative paths are
// taken against the storage's folder, or the current directory at the time of
// the call when it has none.
class FileStorage final : public IFileStorage {
public:
    FileStorage() = default;
    explicit FileStorage(std::u16string folder)
        : folder_(std::move(folder))
    {
    }
    std::shared_ptr<IFile> getFile(std::u16string_view path) override;

private:
    std::u16string folder_;
};

// Converts between 64-bit local file times (100 ns ticks since 1601-01-01)
// and POSIX times (seconds and nanoseconds since 1970-01-01 UTC).
int64_t toLocalFileTime(int64_t unixSeconds, int64_t nanoseconds);
void fromLocalFileTime(int64_t fileTime, int64_t& unixSeconds, int64_t& nanoseconds);

} // namespace QlIO::Core
