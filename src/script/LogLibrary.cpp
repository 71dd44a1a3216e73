#include "script/LogLibrary.h"

#include "script/Binding.h"

namespace Quillorane {

bool LogLibrary::onLoad(HSQUIRRELVM v) { return Bind::Table(v).store(u"Log") && runPrelude(v, "log"); }

}  // namespace Quillorane
