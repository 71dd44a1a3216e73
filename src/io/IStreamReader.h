#pragma once

#include "io/IDecoder.h"
#include "io/IReader.h"

#include <memory>

namespace QlIO {

// Reads text from a byte stream through a decoder; CR LF is read as LF.
class IStreamReader : public IReader {
public:
    virtual bool setDecoder(std::shared_ptr<IDecoder> decoder) = 0;
    virtual std::shared_ptr<IDecoder> getDecoder() = 0;
};

} // namespace QlIO
