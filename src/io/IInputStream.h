#pragma once
// A readable byte stream: files, memory blocks and archive entries.

#include "io/IStream.h"

#include <cstdint>
#include <new>
#include <vector>

namespace QlIO {

class IInputStream : public virtual IStream {
public:
    // True while there is at least one byte left to read.
    virtual bool canRead() { return getAvailable() > 0; }
    // Moves the position; fails (position unchanged) when closed or past the end.
    virtual bool seek(uint32_t position) = 0;
    virtual uint32_t tell() = 0;
    virtual uint32_t getSize() = 0;
    // Size minus position; 0 when closed.
    virtual uint32_t getAvailable() = 0;
    // The next byte without consuming it, or -1.
    virtual int peek() = 0;
    // Up to count bytes (never more than are available, whatever count asks).
    virtual std::vector<uint8_t> read(uint32_t count)
    {
        const uint32_t available = getAvailable();
        if (count > available)
            count = available;
        std::vector<uint8_t> bytes;
        if (count == 0)
            return bytes;
        try {
            bytes.resize(count);
        } catch (const std::bad_alloc&) {
            return {};  // more than memory can hold: nothing is read, the stream is untouched
        }
        bytes.resize(read(bytes.data(), count));
        return bytes;
    }
    // Reads up to count bytes into buffer; returns how many were read.
    virtual uint32_t read(uint8_t* buffer, uint32_t count) = 0;
    // The next byte, or -1.
    virtual int readByte() = 0;
    // Everything from the position to the end.
    virtual std::vector<uint8_t> readAll() { return read(getAvailable()); }
};

} // namespace QlIO
