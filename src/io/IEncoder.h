#pragma once
// UTF-16 to bytes.

#include <cstdint>

namespace QlIO {

class IEncoder {
public:
    virtual ~IEncoder() = default;

    // Converts the whole input (inLenBytes / 2 units), or nothing: returns the
    // number of bytes written to out, 0 when the result does not fit.
    virtual uint32_t encode(uint8_t* out, uint32_t outCapacityBytes,
                            const char16_t* in, uint32_t inLenBytes) = 0;
};

} // namespace QlIO
