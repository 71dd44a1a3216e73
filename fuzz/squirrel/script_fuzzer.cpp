// Fuzzes the compiler, the VM and the side-effect-free standard libraries
// (blob, math, string): the input is UTF-8 script text. Scripts run under an
// instruction budget enforced by a native debug hook (which raises an error
// once the budget is spent) on a VM with a small initial stack. The io and
// system libraries are left out so inputs cannot touch files or run
// commands.
#include "sqstdaux.h"
#include "sqstdblob.h"
#include "sqstdmath.h"
#include "sqstdstring.h"
#include "sqstdutf.h"
#include "squirrel.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

constexpr long kBudget = 200000;
long g_steps = 0;

void quiet(HSQUIRRELVM, const SQChar *, ...) {}

void budgetHook(HSQUIRRELVM v, SQInteger, const SQChar *, SQInteger, const SQChar *)
{
    if (++g_steps > kBudget) sq_throwerror(v, u"instruction budget exhausted");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 16384) return 0;
    std::u16string src = sqstd::fromUtf8(std::string_view(reinterpret_cast<const char *>(data), size));
    HSQUIRRELVM v = sq_open(64);
    if (!v) return 0;
    sq_setprintfunc(v, quiet, quiet);
    sq_pushroottable(v);
    sqstd_register_bloblib(v);
    sqstd_register_mathlib(v);
    sqstd_register_stringlib(v);
    sq_pop(v, 1);
    sqstd_seterrorhandlers(v);
    sq_enabledebuginfo(v, SQTrue);
    g_steps = 0;
    sq_setnativedebughook(v, budgetHook);
    if (SQ_SUCCEEDED(sq_compilebuffer(v, src.data(), SQInteger(src.size()), u"fuzz", SQFalse))) {
        sq_pushroottable(v);
        sq_call(v, 1, SQFalse, SQFalse);
    }
    sq_close(v);
    return 0;
}
