#pragma once
// An open archive presented as a read-only storage of the file manager.
#include "io/IFile.h"
#include "io/IFileStorage.h"
#include "io/IInputStream.h"
#include "io/archive/ArchiveReader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace QlIO {

// Archive storage over the archive file at `path`; empty when the file cannot
// be opened or its header does not match the password.
std::shared_ptr<IFileStorage> createArchiveStorage(std::u16string_view path, const std::string& password);
// Archive storage over a private copy of a memory block; empty for a null
// block, size 0 or a header that does not match.
std::shared_ptr<IFileStorage> createArchiveStorage(const void* data, size_t size, const std::string& password);
// Archive storage over any source.
std::shared_ptr<IFileStorage> createArchiveStorage(std::shared_ptr<Qla::ISource> source,
                                                   const std::string& password);

namespace Core {

class QlaFileStorage final : public IFileStorage {
public:
    explicit QlaFileStorage(std::shared_ptr<Qla::IArchiveReader> reader) : reader_(std::move(reader)) {}
    std::shared_ptr<IFile> getFile(std::u16string_view path) override;
    const std::shared_ptr<Qla::IArchiveReader>& getReader() const { return reader_; }

private:
    std::shared_ptr<Qla::IArchiveReader> reader_;
};

class QlaFile final : public IFile {
public:
    QlaFile(std::shared_ptr<Qla::IArchiveReader> reader, std::u16string path)
        : reader_(std::move(reader)), path_(std::move(path)) {}

    bool exists() override { return reader_->exists(path_); }
    bool isFile() override { return reader_->isFile(path_); }
    bool isDirectory() override { return reader_->isDirectory(path_); }
    bool isHidden() override { return false; }
    bool isReadOnly() override { return true; }
    std::u16string getPath() override { return path_; }
    uint32_t getSize() override { return reader_->getSize(path_); }
    bool setCreationTime(int64_t) override { return false; }
    int64_t getCreationTime() override { return 0; }
    bool setLastAccessTime(int64_t) override { return false; }
    int64_t getLastAccessTime() override { return 0; }
    bool setLastWriteTime(int64_t) override { return false; }
    int64_t getLastWriteTime() override { return 0; }
    bool remove() override { return false; }
    bool makeFile() override { return false; }
    bool makeDirectory() override { return false; }
    std::shared_ptr<IIoStream> openIoStream(uint32_t) override { return nullptr; }
    std::shared_ptr<IInputStream> openInputStream(uint32_t options) override;
    std::shared_ptr<IOutputStream> openOutputStream(uint32_t) override { return nullptr; }
    std::shared_ptr<IFile> getParent() override;
    std::vector<std::shared_ptr<IFile>> getChildren() override;

private:
    std::shared_ptr<Qla::IArchiveReader> reader_;
    std::u16string path_;
};

// A read-only stream over a copy of an entry's data. A stream without data
// (an empty entry, or once closed) reports itself closed; only a stream that
// was closed refuses to seek.
class QlaInputStream final : public IInputStream {
public:
    explicit QlaInputStream(std::vector<uint8_t> data) : data_(std::move(data)) {}

    void close() override;
    bool isClosed() override { return data_.empty(); }
    bool seek(uint32_t position) override;
    uint32_t tell() override { return position_; }
    uint32_t getSize() override { return static_cast<uint32_t>(data_.size()); }
    uint32_t getAvailable() override { return getSize() - position_; }
    int peek() override;
    using IInputStream::read;
    uint32_t read(uint8_t* buffer, uint32_t count) override;
    int readByte() override;

private:
    std::vector<uint8_t> data_;
    uint32_t position_ = 0;
    bool closed_ = false;
};

}  // namespace Core
}  // namespace QlIO
