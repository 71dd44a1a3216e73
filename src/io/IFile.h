#pragma once
// One path inside a storage: a plain file or directory, or an archive entry.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace QlIO {

class IIoStream;
class IInputStream;
class IOutputStream;

// Open options, combinable.
enum OpenOption : uint32_t {
    OpenTruncate = 1, // empty the file on opening
    OpenAtEnd = 2,    // position at the end after opening
    OpenAppend = 4,   // every write goes to the end
};

class IFile {
public:
    virtual ~IFile() = default;

    virtual bool exists() = 0;
    virtual bool isFile() = 0;
    virtual bool isDirectory() = 0;
    virtual bool isHidden() = 0;
    // A missing plain file is not read-only; archive entries always are.
    virtual bool isReadOnly() = 0;
    virtual std::u16string getPath() = 0;
    virtual uint32_t getSize() = 0;
    // Times are 64-bit file times: 100 ns ticks since 1601-01-01, local time; 0 = unknown.
    virtual bool setCreationTime(int64_t time) = 0;
    virtual int64_t getCreationTime() = 0;
    virtual bool setLastAccessTime(int64_t time) = 0;
    virtual int64_t getLastAccessTime() = 0;
    virtual bool setLastWriteTime(int64_t time) = 0;
    virtual int64_t getLastWriteTime() = 0;
    virtual bool remove() = 0;
    virtual bool makeFile() = 0;
    virtual bool makeDirectory() = 0;
    virtual std::shared_ptr<IIoStream> openIoStream(uint32_t options) = 0;
    virtual std::shared_ptr<IInputStream> openInputStream(uint32_t options) = 0;
    virtual std::shared_ptr<IOutputStream> openOutputStream(uint32_t options) = 0;
    virtual std::shared_ptr<IFile> getParent() = 0;
    virtual std::vector<std::shared_ptr<IFile>> getChildren() = 0;
};

} // namespace QlIO
