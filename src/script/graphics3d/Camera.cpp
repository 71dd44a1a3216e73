// Graphics.Camera: position, look point, up vector, field of view, aspect and depth range.
#include "graphics/Context.h"
#include "graphics/world/Transform.h"
#include "script/graphics3d/Arrays3d.h"
#include "script/graphics3d/Wrappers3d.h"

#include <cmath>

namespace Quillorane {

using QlGraphics::Vector3;

float ScCamera::screenAspect() {
    auto context = QlGraphics::getContext();
    if (!context || context->getWidth() == 0 || context->getHeight() == 0) return 1.0f;
    return static_cast<float>(context->getWidth()) / static_cast<float>(context->getHeight());
}

ScCamera::ScCamera() : aspect(screenAspect()) {}

QlGraphics::Matrix ScCamera::getViewMatrix() const { return QlGraphics::lookAt(position, look, up); }

QlGraphics::Matrix ScCamera::getProjectionMatrix() const { return QlGraphics::perspective(fov, aspect, nearZ, farZ); }

bool ScCamera::setAspect(float ratio) {
    // A zero or infinite ratio would collapse every projected point onto one line.
    if (ratio == 0.0f || !std::isfinite(ratio)) return false;
    aspect = ratio;
    return true;
}

bool ScCamera::setAspect(int width, int height) {
    if (width == 0 || height == 0) return false;
    aspect = static_cast<float>(width) / static_cast<float>(height);
    return true;
}

namespace {

// The vector setters: an array [x, y, z] or three numbers.
template <Vector3 ScCamera::*Field>
bool setFrom(ScCamera& c, const Bind::Value& value) {
    const auto v = Arrays3d::readVector(value);
    if (v) c.*Field = *v;
    return v.has_value();
}
template <Vector3 ScCamera::*Field>
bool setXyz(ScCamera& c, float x, float y, float z) {
    c.*Field = {x, y, z};
    return true;
}
template <Vector3 ScCamera::*Field>
std::vector<float> get(ScCamera& c) {
    return Arrays3d::vectorArray(c.*Field);
}
template <float ScCamera::*Field>
bool setValue(ScCamera& c, float value) {
    c.*Field = value;
    return true;
}
template <float ScCamera::*Field>
float getValue(ScCamera& c) {
    return c.*Field;
}

}  // namespace

Bind::Class<ScCamera> cameraClass(HSQUIRRELVM v) {
    Bind::Class<ScCamera> c(v, u"Camera");
    c.ctor()
        .overload(u"setPosition", &setFrom<&ScCamera::position>)
        .overload(u"setPosition", &setXyz<&ScCamera::position>)
        .overload(u"setLook", &setFrom<&ScCamera::look>)
        .overload(u"setLook", &setXyz<&ScCamera::look>)
        .overload(u"setUp", &setFrom<&ScCamera::up>)
        .overload(u"setUp", &setXyz<&ScCamera::up>)
        .method(u"getPosition", &get<&ScCamera::position>)
        .method(u"getLook", &get<&ScCamera::look>)
        .method(u"getUp", &get<&ScCamera::up>)
        .method(u"setFov", &setValue<&ScCamera::fov>)
        .method(u"setNear", &setValue<&ScCamera::nearZ>)
        .method(u"setFar", &setValue<&ScCamera::farZ>)
        .method(u"getFov", &getValue<&ScCamera::fov>)
        .method(u"getNear", &getValue<&ScCamera::nearZ>)
        .method(u"getFar", &getValue<&ScCamera::farZ>)
        .method(u"getAspect", &getValue<&ScCamera::aspect>)
        .overload(u"setAspect", [](ScCamera& cam, float ratio) { return cam.setAspect(ratio); })
        .overload(u"setAspect", [](ScCamera& cam, int width, int height) { return cam.setAspect(width, height); });
    return c;
}

}  // namespace Quillorane
