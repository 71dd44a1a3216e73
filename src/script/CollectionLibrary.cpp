#include "script/CollectionLibrary.h"

#include "script/Binding.h"

namespace Quillorane {

bool CollectionLibrary::onLoad(HSQUIRRELVM v) { return Bind::Table(v).store(u"Collection") && runPrelude(v, "collection"); }

}  // namespace Quillorane
