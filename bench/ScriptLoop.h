#pragma once
// Times a script loop for the benchmark programs: `setup` runs once, then `body` n times.
#include "script/ScriptText.h"

#include <chrono>
#include <string>

namespace QlBench {

// ns per loop iteration, -1 when the script does not compile or raises.
inline double timeScriptLoop(HSQUIRRELVM v, const std::u16string& setup, const std::u16string& body, int n) {
    const std::string count = std::to_string(n);
    const std::u16string text = setup + u"; local n = " + std::u16string(count.begin(), count.end()) +
                                u"; local hits = 0; for (local i = 0; i < n; i++) " + body + u";";
    const SQInteger top = sq_gettop(v);
    if (!Quillorane::compileText(v, text, u"bench")) return -1;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = Quillorane::callWithRoot(v, false);
    const auto end = std::chrono::steady_clock::now();
    sq_settop(v, top);
    if (!ok) return -1;
    return std::chrono::duration<double, std::nano>(end - start).count() / n;
}

}  // namespace QlBench
