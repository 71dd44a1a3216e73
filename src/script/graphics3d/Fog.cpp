// Graphics.Effect3D.Fog: the fog effect parts of a model can be drawn with.
#include "script/graphics3d/Arrays3d.h"
#include "script/graphics3d/Wrappers3d.h"

namespace Quillorane {

Bind::Class<ScFog> fogClass(HSQUIRRELVM v) {
    Bind::Class<ScFog> c(v, u"Fog");
    c.ctor("aff",
           [](const Bind::Value& color, float nearDistance, float farDistance) {
               // The constructor names the colour forms it takes in its own error text.
               const auto argb = Arrays3d::readColor(color, Arrays3d::ColorForms::RgbOnly);
               if (!argb) throw Bind::ScriptError{u"parameter invalid. request [a, r, g, b] or [r, g, b]"};
               return new ScFog(QlGraphics::createFogEffect3d(*argb, nearDistance, farDistance));
           })
        .method(u"setColor",
                [](ScFog& f, const Bind::Value& color) {
                    const auto argb = Arrays3d::readColor(color);
                    if (argb) f.fog->setColor(*argb);
                    return argb.has_value();
                })
        .method(u"getColor", [](ScFog& f) { return Arrays3d::colorArray(f.fog->getColor()); })
        .method(u"setNear", [](ScFog& f, float distance) { return f.fog->setNear(distance), true; })
        .method(u"getNear", [](ScFog& f) { return f.fog->getNear(); })
        .method(u"setFar", [](ScFog& f, float distance) { return f.fog->setFar(distance), true; })
        .method(u"getFar", [](ScFog& f) { return f.fog->getFar(); });
    return c;
}

}  // namespace Quillorane
