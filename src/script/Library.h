#pragma once
// The contract of every native library: the host creates the libraries in a fixed order, calls
// onLoad as each is created (a library whose onLoad fails is not called again), then every
// frame onBeginFrame before the game script runs and onEndFrame after it suspended, and
// onUnload at shutdown, always in that order.
#include <squirrel.h>

#include <string_view>

namespace Quillorane {

class Library {
public:
    virtual ~Library() = default;
    // Registers the library in the VM and runs its prelude; true when both succeeded.
    virtual bool onLoad(HSQUIRRELVM) { return true; }
    virtual void onUnload(HSQUIRRELVM) {}
    virtual void onBeginFrame(HSQUIRRELVM) {}
    virtual void onEndFrame(HSQUIRRELVM) {}
};

// The UTF-8 text of a prelude compiled into the executable (generated at build time).
std::string_view preludeUtf8(std::string_view name);

// The source of a prelude compiled into the executable (src/app/prelude/NAME.nut), empty
// when there is none of that name.
std::u16string_view preludeSource(std::string_view name);

// Runs the prelude NAME with the root table as `this`: compile errors and run-time errors
// are reported through the VM's error handlers. False when it is missing, does not compile
// or raises.
bool runPrelude(HSQUIRRELVM v, std::string_view name);

}  // namespace Quillorane
