#pragma once
// Compiling and running script text the way the host does everywhere (preludes, the setup
// file, include, exec, eval, the bootstrap and start.nut).
#include <squirrel.h>

#include <string_view>

namespace Quillorane {

// Compiles text as one buffer under sourceName, reporting compile errors through the VM's
// compiler error handler; pushes the function and returns true, or pushes nothing.
bool compileText(HSQUIRRELVM v, std::u16string_view text, std::u16string_view sourceName);

// Calls the function on top of the stack with the root table as `this` and pops it. With
// keepResult the result is left on the stack on success. Run-time errors are reported through
// the VM's error handler; false then, with the error kept as the VM's last error.
bool callWithRoot(HSQUIRRELVM v, bool keepResult);

}  // namespace Quillorane
