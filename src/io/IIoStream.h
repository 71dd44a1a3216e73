#pragma once
// A stream that is both readable and writable; one position serves both sides.

#include "io/IInputStream.h"
#include "io/IOutputStream.h"

namespace QlIO {

class IIoStream : public IInputStream, public IOutputStream {
public:
    // One implementation serves both sides; redeclared so calls are unambiguous.
    bool seek(uint32_t position) override = 0;
    uint32_t tell() override = 0;
    uint32_t getSize() override = 0;

    using IInputStream::read;
    using IOutputStream::write;
};

} // namespace QlIO
