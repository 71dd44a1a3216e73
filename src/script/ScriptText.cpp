#include "script/ScriptText.h"

#include <string>

namespace Quillorane {

bool compileText(HSQUIRRELVM v, std::u16string_view text, std::u16string_view sourceName) {
    const std::u16string name(sourceName);
    return SQ_SUCCEEDED(sq_compilebuffer(v, text.data(), static_cast<SQInteger>(text.size()), name.c_str(), SQTrue));
}

bool callWithRoot(HSQUIRRELVM v, bool keepResult) {
    sq_pushroottable(v);
    if (SQ_FAILED(sq_call(v, 1, keepResult ? SQTrue : SQFalse, SQTrue))) {
        sq_pop(v, 1);
        return false;
    }
    sq_remove(v, keepResult ? -2 : -1);
    return true;
}

}  // namespace Quillorane
