#pragma once
// Random-access byte sources that an archive is read from: a private copy of
// a memory block, or a file on disk.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Qla {

class ISource {
public:
    virtual ~ISource() = default;
    virtual void close() = 0;
    // Fails, leaving the position unchanged, when position >= getSize().
    virtual bool seek(uint32_t position) = 0;
    virtual uint32_t tell() const = 0;
    virtual uint32_t getSize() const = 0;
    // Copies up to count bytes from the current position; returns how many.
    virtual uint32_t read(void* buffer, uint32_t count) = 0;
};

class MemorySource final : public ISource {
public:
    MemorySource() = default;
    MemorySource(const void* data, size_t size);
    explicit MemorySource(std::vector<uint8_t> data);

    void close() override;
    bool seek(uint32_t position) override;
    uint32_t tell() const override { return position_; }
    uint32_t getSize() const override;
    uint32_t read(void* buffer, uint32_t count) override;

private:
    std::vector<uint8_t> data_;
    uint32_t position_ = 0;
};

// Reads a file through its own buffer, so the small reads of a record chain
// and seeks to the position already held cost no system call.
class FileSource final : public ISource {
public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // Opens a path given as UTF-16 (passed to the OS by QlIO::toNativePath).
    // Only a regular file opens; a FIFO or device is refused without waiting.
    bool open(const std::u16string& path);
    // The same with the path as the OS's bytes.
    bool openNative(const std::string& path);
    // Presents the bytes [offset, offset + size) of a file as the whole
    // source (an archive embedded in a larger file). Fails when the range
    // does not lie inside the file.
    bool openRange(const std::string& path, uint64_t offset, uint32_t size);
    bool isOpen() const { return fd_ >= 0; }

    void close() override;
    bool seek(uint32_t position) override;
    uint32_t tell() const override { return isOpen() ? position_ : 0; }
    uint32_t getSize() const override { return isOpen() ? size_ : 0; }
    uint32_t read(void* buffer, uint32_t count) override;

private:
    bool openFile(const std::string& path, uint64_t offset, bool ranged, uint32_t size);

    static constexpr size_t kBufferSize = 64 * 1024;
    int fd_ = -1;
    uint64_t base_ = 0;      // file offset of the source's first byte
    uint32_t size_ = 0;      // file size, capped at the largest u32
    uint32_t position_ = 0;  // logical read position
    std::vector<uint8_t> buffer_;
    uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
    size_t bufferFill_ = 0;
};

}  // namespace Qla
