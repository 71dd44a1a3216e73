#pragma once
// A writable byte stream.

#include "io/IStream.h"

#include <cstdint>
#include <vector>

namespace QlIO {

class IOutputStream : public virtual IStream {
public:
    // True while at least one more byte can be written.
    virtual bool canWrite() { return getRemaining() > 0; }
    // Moves the position; fails (position unchanged) when closed or past the end.
    virtual bool seek(uint32_t position) = 0;
    virtual uint32_t tell() = 0;
    virtual uint32_t getSize() = 0;
    // How many more bytes fit (the largest u32 for unbounded streams); 0 when closed.
    virtual uint32_t getRemaining() = 0;
    // Writes bytes[offset .. offset + count); 0 when that range leaves the vector.
    virtual uint32_t write(const std::vector<uint8_t>& bytes, uint32_t offset, uint32_t count)
    {
        if (uint64_t(offset) + count > bytes.size())
            return 0;
        return count == 0 ? 0 : write(bytes.data() + offset, count);
    }
    // Writes the first count bytes; 0 when count exceeds the vector.
    virtual uint32_t write(const std::vector<uint8_t>& bytes, uint32_t count)
    {
        return write(bytes, 0, count);
    }
    virtual uint32_t write(const std::vector<uint8_t>& bytes)
    {
        return write(bytes, 0, static_cast<uint32_t>(bytes.size()));
    }
    // Writes count bytes from buffer; returns how many were written.
    virtual uint32_t write(const uint8_t* buffer, uint32_t count) = 0;
    virtual bool writeByte(uint8_t byte) = 0;
    virtual bool flush() = 0;
};

} // namespace QlIO
