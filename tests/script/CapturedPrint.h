#pragma once
// A print function for test VMs that collects everything printed into one string.
#include <squirrel.h>
#include <sqstdutf.h>

#include <cstdarg>
#include <string>

namespace Quillorane::TestSupport {

inline std::u16string printed;

inline void capture(HSQUIRRELVM, const SQChar* format, ...) {
    va_list args;
    va_start(args, format);
    printed += sqstd::vformat(format, args);
    va_end(args);
}

}  // namespace Quillorane::TestSupport
