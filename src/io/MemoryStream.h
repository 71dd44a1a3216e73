#pragma once

#include "io/IIoStream.h"

namespace QlIO::Core {

// A stream over a borrowed block of memory: the block is neither copied nor
// owned and never grows; reads and writes stop at its end. Reading and writing
// share one position.
class MemoryStream final : public IIoStream {
public:
    MemoryStream() = default;
    MemoryStream(uint8_t* block, uint32_t size) { open(block, size); }

    // Closes first; fails for a null block or size 0.
    bool open(uint8_t* block, uint32_t size);

    void close() override;
    bool isClosed() override { return block_ == nullptr; }
    bool canRead() override { return getAvailable() > 0; }
    bool canWrite() override { return getRemaining() > 0; }
    bool seek(uint32_t position) override;
    uint32_t tell() override { return position_; }
    uint32_t getSize() override { return size_; }
    uint32_t getAvailable() override { return block_ ? size_ - position_ : 0; }
    uint32_t getRemaining() override { return getAvailable(); }
    int peek() override;
    using IIoStream::read;
    uint32_t read(uint8_t* buffer, uint32_t count) override;
    int readByte() override;
    using IIoStream::write;
    uint32_t write(const uint8_t* buffer, uint32_t count) override;
    bool writeByte(uint8_t byte) override;
    bool flush() override { return block_ != nullptr; }

private:
    uint8_t* block_ = nullptr;
    uint32_t size_ = 0;
    uint32_t position_ = 0;
};

} // namespace QlIO::Core
