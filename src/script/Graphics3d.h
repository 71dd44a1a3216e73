#pragma once
// The 3D and video part of the Graphics table: Camera, World, Actor, Video and the Effect3D
// sub-table. GraphicsLibrary calls it while it fills its table.
#include "script/Binding.h"

namespace Quillorane {

// Registers the 3D and video classes into the Graphics table; false when a registration failed.
bool registerGraphics3d(HSQUIRRELVM v, Bind::Table& graphics);

}  // namespace Quillorane
