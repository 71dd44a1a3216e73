#include "script/Graphics3d.h"

namespace Quillorane {

bool registerGraphics3d(HSQUIRRELVM, Bind::Table&) { return true; }

}  // namespace Quillorane
