#include "script/Graphics3d.h"

#include "script/graphics3d/Wrappers3d.h"

namespace Quillorane {

bool registerGraphics3d(HSQUIRRELVM v, Bind::Table& graphics) {
    auto video = videoClass(v);
    auto camera = cameraClass(v);
    auto actor = actorClass(v);
    auto world = worldClass(v);
    graphics.add(video).add(camera).add(actor).add(world);
    // The 3D effects live in a sub-table of their own, as the 2D ones do.
    Bind::Table effects(v);
    auto fog = fogClass(v);
    effects.add(fog);
    graphics.add(u"Effect3D", std::move(effects));
    return graphics.ok();  // a failed class or sub-table marks the table failed
}

}  // namespace Quillorane
