#pragma once
// The byte encodings offered to text readers and writers. Every decode and
// encode converts its whole input in one call or produces nothing (result 0).

#include "io/IDecoder.h"
#include "io/IEncoder.h"

namespace QlIO::Core {

// Shift-JIS (code page 932) to UTF-16; any invalid or incomplete sequence fails.
class ShiftJisDecoder final : public IDecoder {
public:
    uint32_t decode(char16_t* out, uint32_t outCapacityBytes, const uint8_t* in, uint32_t inLenBytes) override;
};

// UTF-16 to Shift-JIS; a character without a code becomes '?', so only a
// too-small output makes it fail.
class ShiftJisEncoder final : public IEncoder {
public:
    uint32_t encode(uint8_t* out, uint32_t outCapacityBytes, const char16_t* in, uint32_t inLenBytes) override;
};

// UTF-8 to UTF-16, strict. A character outside the Basic Multilingual Plane
// becomes a surrogate pair (4 output bytes). A byte-order mark is kept as U+FEFF.
class Utf8Decoder final : public IDecoder {
public:
    uint32_t decode(char16_t* out, uint32_t outCapacityBytes, const uint8_t* in, uint32_t inLenBytes) override;
};

// UTF-16 to UTF-8. A surrogate pair becomes one 4-byte sequence; a lone
// surrogate becomes U+FFFD.
class Utf8Encoder final : public IEncoder {
public:
    uint32_t encode(uint8_t* out, uint32_t outCapacityBytes, const char16_t* in, uint32_t inLenBytes) override;
};

// Copies min(capacity, length) bytes, rounded down to an even count.
class Utf16DecoderLE final : public IDecoder {
public:
    uint32_t decode(char16_t* out, uint32_t outCapacityBytes, const uint8_t* in, uint32_t inLenBytes) override;
};

class Utf16EncoderLE final : public IEncoder {
public:
    uint32_t encode(uint8_t* out, uint32_t outCapacityBytes, const char16_t* in, uint32_t inLenBytes) override;
};

// As the little-endian forms, swapping each byte pair.
class Utf16DecoderBE final : public IDecoder {
public:
    uint32_t decode(char16_t* out, uint32_t outCapacityBytes, const uint8_t* in, uint32_t inLenBytes) override;
};

class Utf16EncoderBE final : public IEncoder {
public:
    uint32_t encode(uint8_t* out, uint32_t outCapacityBytes, const char16_t* in, uint32_t inLenBytes) override;
};

// Looks for a byte-order mark at the start of every input: FF FE switches to
// little-endian, FE FF to big-endian, and the mark is dropped (an input of the
// mark alone, or of fewer than 4 bytes after it starts, gives 0 and changes
// nothing). Without a mark the current byte order (initially big-endian) is used.
class Utf16Decoder final : public IDecoder {
public:
    uint32_t decode(char16_t* out, uint32_t outCapacityBytes, const uint8_t* in, uint32_t inLenBytes) override;
    bool isLittleEndian() const { return littleEndian_; }

private:
    bool littleEndian_ = false;
};

} // namespace QlIO::Core
