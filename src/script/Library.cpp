#include "script/Library.h"

#include "script/ScriptText.h"

#include <sqstdutf.h>

#include <map>
#include <string>

namespace Quillorane {

std::u16string_view preludeSource(std::string_view name) {
    static std::map<std::string, std::u16string, std::less<>> decoded;
    auto it = decoded.find(name);
    if (it == decoded.end()) it = decoded.emplace(std::string(name), sqstd::fromUtf8(preludeUtf8(name))).first;
    return it->second;
}

bool runPrelude(HSQUIRRELVM v, std::string_view name) {
    const std::u16string_view text = preludeSource(name);
    if (text.empty()) return false;
    const SQInteger top = sq_gettop(v);
    const bool ok = compileText(v, text, u"") && callWithRoot(v, false);
    sq_settop(v, top);
    return ok;
}

}  // namespace Quillorane
