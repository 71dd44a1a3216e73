#pragma once
// A thorough check of an archive, stricter than what the reader tolerates:
// used by the packer's verify command.
#include "io/archive/Source.h"

#include <cstdint>
#include <string>

namespace Qla {

struct CheckResult {
    bool ok = false;
    std::string reason;  // one line, empty when ok
    uint32_t records = 0;
};

// Checks the header and banner (so a wrong password fails here), that the
// record chain ends with its terminator, that every record lies inside the
// source with a known type, a valid Shift-JIS name and a next-record offset
// inside the source, and that every file's data lies inside the source.
CheckResult checkArchive(ISource& source, const std::string& password);

}  // namespace Qla
