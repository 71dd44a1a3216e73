#pragma once

#include "io/IReader.h"

namespace QlIO {

// Reads text from a string, without line-end folding.
class IStringReader : public IReader {
};

} // namespace QlIO
