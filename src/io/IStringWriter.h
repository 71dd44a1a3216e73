#pragma once

#include "io/IWriter.h"

#include <string>

namespace QlIO {

// Collects text in a string; LF stays LF.
class IStringWriter : public IWriter {
public:
    // Everything written so far.
    virtual std::u16string getString() = 0;
};

} // namespace QlIO
