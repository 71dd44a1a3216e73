#pragma once

#include "io/IEncoder.h"
#include "io/IWriter.h"

#include <memory>

namespace QlIO {

// Writes text into a byte stream through an encoder; LF is written as CR LF.
class IStreamWriter : public IWriter {
public:
    virtual bool setEncoder(std::shared_ptr<IEncoder> encoder) = 0;
    virtual std::shared_ptr<IEncoder> getEncoder() = 0;
};

} // namespace QlIO
