#pragma once

#include "io/IIoStream.h"

#include <string>
#include <vector>

namespace QlIO::Core {

// A buffered stream over a file of the file system. Reading and writing share
// one position. The size of a stream opened only for reading is measured when
// it opens; a writable stream reports the size as it is now.
class FileStream final : public IIoStream {
public:
    enum Access : unsigned { Read = 1, Write = 2 };

    FileStream() = default;
    ~FileStream() override;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    // Opens path (UTF-16; handed to the system as UTF-8) with Read, Write or
    // both, and the options of IFile (1 truncate, 2 at end, 4 append).
    // Without Read, Write alone empties the file unless appending; Read and
    // Write together need an existing file unless truncating or appending.
    // Truncating together with appending, or truncating a read-only stream, fails.
    bool open(const std::u16string& path, unsigned access, uint32_t options);

    void close() override;
    bool isClosed() override { return fd_ < 0 || bad_; }
    bool canRead() override { return getAvailable() > 0; }
    bool canWrite() override { return getRemaining() > 0; }
    bool seek(uint32_t position) override;
    uint32_t tell() override;
    uint32_t getSize() override;
    uint32_t getAvailable() override;
    uint32_t getRemaining() override;
    int peek() override;
    using IIoStream::read;
    uint32_t read(uint8_t* buffer, uint32_t count) override;
    int readByte() override;
    using IIoStream::write;
    uint32_t write(const uint8_t* buffer, uint32_t count) override;
    bool writeByte(uint8_t byte) override;
    // Hands buffered bytes to the system; false when that fails.
    bool flush() override;

private:
    uint64_t currentSize();
    bool flushWrites();
    uint32_t readAt(uint8_t* buffer, uint32_t count);

    static constexpr uint32_t kBufferSize = 16384;

    int fd_ = -1;
    bool readable_ = false;
    bool writable_ = false;
    bool append_ = false;
    bool bad_ = false;
    uint64_t position_ = 0;
    uint64_t sizeAtOpen_ = 0;
    std::vector<uint8_t> readBuffer_;
    uint64_t readStart_ = 0; // file offset of readBuffer_[0]
    uint32_t readLength_ = 0;
    std::vector<uint8_t> writeBuffer_;
    uint64_t writeStart_ = 0; // file offset of writeBuffer_[0]
    uint32_t writeLength_ = 0;
};

} // namespace QlIO::Core
