// Graphics.World and Graphics.Actor: worlds of actors made from model files, each actor with
// its placement, visibility, clipping, priority and per-material colours, textures and effect.
#include "script/graphics3d/Arrays3d.h"
#include "script/graphics3d/Wrappers3d.h"

#include "graphics/Image.h"

namespace Quillorane {

using QlGraphics::Color;
using QlGraphics::IActor;
using QlGraphics::Vector3;

SQInteger ScWorld::createActor(HSQUIRRELVM v) {
    if (!Bind::matchMask(v, sq_gettop(v) - 1, "s")) return Bind::raise(v, u"wrong number of parameters");
    ScWorld* self = Bind::self<ScWorld>(v);
    if (!self) return Bind::raiseNotSelf(v, Bind::boundName<ScWorld>());
    std::u16string path;
    if (!Bind::Conv<std::u16string>::get(v, 2, path)) return SQ_ERROR;
    auto model = QlGraphics::loadModel(path);
    auto actor = model ? self->world->createActor(model) : nullptr;
    if (!actor) {
        sq_pushnull(v);
        return 1;
    }
    // The instance comes from Graphics.Actor as the script sees it; one that is not an actor
    // wrapper (a script replaced the class) cannot take the engine actor.
    if (!Bind::constructByName(v, {u"Graphics", u"Actor"}, 0)) return SQ_ERROR;
    ScActor* wrapper = Bind::wrapperAt<ScActor>(v, -1);
    if (!wrapper) {
        sq_pop(v, 1);
        sq_pushnull(v);
        return 1;
    }
    wrapper->actor = std::move(actor);
    return 1;
}

Bind::Class<ScWorld> worldClass(HSQUIRRELVM v) {
    Bind::Class<ScWorld> c(v, u"World");
    c.ctor().raw(u"createActor", &ScWorld::createActor);
    return c;
}

namespace {

// Visibility and clipping take a flag where only 1 means true.
template <void (IActor::*Set)(bool)>
bool setFlag(ScActor& a, bool on) {
    if (!a.actor) return false;
    ((*a.actor).*Set)(on);
    return true;
}

// Position, rotation and scale: an array [x, y, z] or three numbers.
using SetVector = void (IActor::*)(const Vector3&);
using GetVector = Vector3 (IActor::*)() const;

template <SetVector Set>
bool setFrom(ScActor& a, const Bind::Value& value) {
    const auto v = Arrays3d::readVector(value);
    if (!v || !a.actor) return false;
    ((*a.actor).*Set)(*v);
    return true;
}
template <SetVector Set>
bool setXyz(ScActor& a, float x, float y, float z) {
    if (!a.actor) return false;
    ((*a.actor).*Set)(Vector3{x, y, z});
    return true;
}
template <GetVector Get>
std::optional<std::vector<float>> getVector(ScActor& a) {
    if (!a.actor) return std::nullopt;
    return Arrays3d::vectorArray(((*a.actor).*Get)());
}

// Material colours by index: [a], [r, g, b] or [a, r, g, b] in, [a, r, g, b] out (null for a
// material the actor does not have).
using SetColor = bool (IActor::*)(std::uint32_t, Color);
using GetColor = bool (IActor::*)(std::uint32_t, Color&) const;

template <SetColor Set>
bool setColor(ScActor& a, int index, const Bind::Value& value) {
    const auto color = Arrays3d::readColor(value);
    if (!color || !a.actor || index < 0) return false;
    return ((*a.actor).*Set)(static_cast<std::uint32_t>(index), *color);
}
template <GetColor Get>
std::optional<std::vector<int>> getColor(ScActor& a, int index) {
    Color color = 0;
    if (!a.actor || index < 0 || !((*a.actor).*Get)(static_cast<std::uint32_t>(index), color)) return std::nullopt;
    return Arrays3d::colorArray(color);
}

bool setPower(ScActor& a, int index, float power) {
    return a.actor && index >= 0 && a.actor->setPower(static_cast<std::uint32_t>(index), power);
}
float getPower(ScActor& a, int index) {
    float power = 0;
    if (a.actor && index >= 0) a.actor->getPower(static_cast<std::uint32_t>(index), power);
    return power;
}

// The image's own texture, so a canvas or a playing video textures a model as it changes.
// A wrapper without an image (an empty canvas) sets nothing.
bool setTexture(ScActor& a, int index, int stage, SuImage* image) {
    if (!a.actor || index < 0 || stage < 0 || stage > 3) return false;
    std::shared_ptr<QlGraphics::ITexture> texture;
    if (image) {
        auto engineImage = image->getImage();
        texture = engineImage ? engineImage->getTexture() : nullptr;
        if (!texture) return false;
    }
    return a.actor->setTexture(static_cast<std::uint32_t>(index), static_cast<std::uint32_t>(stage), std::move(texture));
}

bool setEffect(ScActor& a, int index, SuEffect3d* effect) {
    if (!a.actor || index < 0) return false;
    auto engineEffect = effect ? effect->getEffect() : nullptr;
    if (effect && !engineEffect) return false;
    return a.actor->setEffect(static_cast<std::uint32_t>(index), std::move(engineEffect));
}

}  // namespace

Bind::Class<ScActor> actorClass(HSQUIRRELVM v) {
    Bind::Class<ScActor> c(v, u"Actor");
    c.ctor()
        .method(u"release", [](ScActor& a) { if (a.actor) a.actor->release(); })
        .method(u"isReleased", [](ScActor& a) { return !a.actor || a.actor->isReleased(); })
        .method(u"setVisible", &setFlag<&IActor::setVisible>)
        .method(u"isVisible", [](ScActor& a) { return a.actor && a.actor->isVisible(); })
        .method(u"setClipping", &setFlag<&IActor::setClipping>)
        .method(u"isClipping", [](ScActor& a) { return a.actor && a.actor->isClipping(); })
        .method(u"setPriority", [](ScActor& a, int priority) { return a.actor && (a.actor->setPriority(priority), true); })
        .method(u"getPriority", [](ScActor& a) { return a.actor ? a.actor->getPriority() : 0; })
        .overload(u"setPosition", &setFrom<&IActor::setPosition>)
        .overload(u"setPosition", &setXyz<&IActor::setPosition>)
        .overload(u"setRotation", &setFrom<&IActor::setRotation>)
        .overload(u"setRotation", &setXyz<&IActor::setRotation>)
        .overload(u"setScale", &setFrom<&IActor::setScale>)
        .overload(u"setScale", &setXyz<&IActor::setScale>)
        .method(u"getPosition", &getVector<&IActor::getPosition>)
        .method(u"getRotation", &getVector<&IActor::getRotation>)
        .method(u"getScale", &getVector<&IActor::getScale>)
        .method(u"setDiffuse", &setColor<&IActor::setDiffuse>)
        .method(u"setAmbient", &setColor<&IActor::setAmbient>)
        .method(u"setSpecular", &setColor<&IActor::setSpecular>)
        .method(u"setEmissive", &setColor<&IActor::setEmissive>)
        .method(u"getDiffuse", &getColor<&IActor::getDiffuse>)
        .method(u"getAmbient", &getColor<&IActor::getAmbient>)
        .method(u"getSpecular", &getColor<&IActor::getSpecular>)
        .method(u"getEmissive", &getColor<&IActor::getEmissive>)
        .method(u"setPower", &setPower)
        .method(u"getPower", &getPower)
        .method(u"setTexture", &setTexture)
        .method(u"setEffect", &setEffect);
    return c;
}

}  // namespace Quillorane
