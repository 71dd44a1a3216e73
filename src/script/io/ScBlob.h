#pragma once
// IO.Blob: a byte buffer of fixed length with one cursor for reading and writing. Nothing
// outside the buffer is ever read or written: a read or write that does not fit between the
// cursor and the end leaves the blob and its cursor as they were.
#include "script/Bound.h"

#include <sqmemory.h>

#include <cstdint>
#include <vector>

namespace Quillorane {

class ScBlob : public Bound {
public:
    // length zero bytes; throws std::bad_alloc when that much cannot be had or would pass the
    // script memory budget (the bytes are charged to it, as the VM's own blobs are).
    explicit ScBlob(std::uint32_t length) : bytes_(length) {}

    std::int32_t getLength() const { return static_cast<std::int32_t>(bytes_.size()); }
    std::int32_t getCursor() const { return static_cast<std::int32_t>(cursor_); }
    // Only 0 <= position < length moves the cursor.
    bool setCursor(std::int32_t position);

    // A value read at the cursor (little-endian), which then moves past it; 0 when the value
    // would pass the end (the cursor stays).
    std::int32_t readInt8();
    std::int32_t readUint8();
    std::int32_t readInt16();
    std::int32_t readUint16();
    std::int32_t readInt32();
    float readFloat32();
    float readFloat64();  // an IEEE double narrowed to a single

    // Stores the value at the cursor and moves past it when it fits (1); otherwise 0.
    bool writeInt8(std::int32_t value);
    bool writeInt16(std::int32_t value);
    bool writeInt32(std::int32_t value);
    bool writeFloat32(float value);
    bool writeFloat64(float value);  // widened to an IEEE double

    // Copies source's bytes (all of them, or from start up to length of them) to the cursor
    // and moves past them; returns the count. 0 for an empty source, a start outside it, or
    // bytes that do not fit between the cursor and the end (then nothing is copied).
    std::int32_t writeBlob(const ScBlob& source);
    std::int32_t writeBlob(const ScBlob& source, std::int32_t start, std::int32_t length);

    // How many bytes readBlob(size) copies: size, or everything after the cursor when size is
    // negative or larger than that.
    std::uint32_t readBlobSize(std::int32_t size) const;

    std::uint8_t* data() { return bytes_.data(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    std::uint32_t size() const { return static_cast<std::uint32_t>(bytes_.size()); }
    std::uint32_t cursor() const { return cursor_; }

private:
    // The bytes at the cursor when width of them are there (the cursor moves past them).
    const std::uint8_t* take(std::uint32_t width);
    // Room for width bytes at the cursor (the cursor moves past them), or null.
    std::uint8_t* room(std::uint32_t width);
    std::int32_t copyIn(const ScBlob& source, std::uint32_t start, std::uint32_t count);

    std::vector<std::uint8_t, sqmem::Allocator<std::uint8_t>> bytes_;
    std::uint32_t cursor_ = 0;
};

}  // namespace Quillorane
