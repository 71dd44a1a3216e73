#pragma once
// Bytes to UTF-16.

#include <cstdint>

namespace QlIO {

class IDecoder {
public:
    virtual ~IDecoder() = default;

    // Converts the whole input, or nothing: returns the number of bytes written
    // to out (always even), 0 when the input is invalid, incomplete, or does
    // not fit into outCapacityBytes.
    virtual uint32_t decode(char16_t* out, uint32_t outCapacityBytes,
                            const uint8_t* in, uint32_t inLenBytes) = 0;
};

} // namespace QlIO
