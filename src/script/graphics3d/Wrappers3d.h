#pragma once
// The wrappers behind Graphics.Camera, Graphics.World, Graphics.Actor, Graphics.Effect3D.Fog
// and Graphics.Video. Setters answer 1 when they changed something and 0 when an argument was
// unusable; a wrapper without its engine object (a default-constructed Actor) answers every
// call with 0, null or, for isReleased, 1.
#include "graphics/Engine.h"
#include "graphics/video/Video.h"
#include "graphics/world/Effects3d.h"
#include "graphics/world/Model.h"
#include "script/Binding.h"
#include "script/Interfaces.h"

#include <memory>
#include <optional>
#include <vector>

namespace Quillorane {

// A camera is plain values; the matrices are made when a canvas draws a world with it.
class ScCamera : public SuCamera {
public:
    // Position (0, 0, 0) looking at (0, 0, 1) with up (0, 1, 0), a vertical field of view of
    // pi / 3, near 1 and far 5000, and the aspect of the screen as it is now.
    ScCamera();

    QlGraphics::Matrix getViewMatrix() const override;
    QlGraphics::Matrix getProjectionMatrix() const override;

    QlGraphics::Vector3 position{0, 0, 0}, look{0, 0, 1}, up{0, 1, 0};
    float fov = 1.0471976f, aspect = 1.0f, nearZ = 1.0f, farZ = 5000.0f;

    // The screen's width / height, or 1 when there is no screen to measure.
    static float screenAspect();
    // Aspect setters: false (nothing changed) for a zero or non-finite ratio.
    bool setAspect(float ratio);
    bool setAspect(int width, int height);
};

// An actor of a world, or nothing until World.createActor fills it in.
class ScActor : public Bound {
public:
    ScActor() = default;
    explicit ScActor(std::shared_ptr<QlGraphics::IActor> a) : actor(std::move(a)) {}
    std::shared_ptr<QlGraphics::IActor> actor;
};

class ScWorld : public SuWorld {
public:
    ScWorld() : world(std::make_shared<QlGraphics::World>()) {}
    std::shared_ptr<QlGraphics::IWorld> getWorld() const override { return world; }
    std::shared_ptr<QlGraphics::IWorld> world;
    // World.createActor(path): reads the VM itself to create a Graphics.Actor.
    static SQInteger createActor(HSQUIRRELVM v);
};

class ScFog : public SuEffect3d {
public:
    explicit ScFog(std::shared_ptr<QlGraphics::IFogEffect3d> f) : fog(std::move(f)) {}
    std::shared_ptr<QlGraphics::IEffect3d> getEffect() const override { return fog; }
    std::shared_ptr<QlGraphics::IFogEffect3d> fog;
};

class ScVideo : public SuImage {
public:
    explicit ScVideo(std::shared_ptr<QlGraphics::IVideo> v) : video(std::move(v)) {}
    std::shared_ptr<QlGraphics::IImage> getImage() const override { return video; }
    QlGraphics::IImage* peekImage() const override { return video.get(); }
    std::shared_ptr<QlGraphics::IVideo> video;
};

// Registration of each class (one line per method), used by registerGraphics3d.
Bind::Class<ScCamera> cameraClass(HSQUIRRELVM v);
Bind::Class<ScWorld> worldClass(HSQUIRRELVM v);
Bind::Class<ScActor> actorClass(HSQUIRRELVM v);
Bind::Class<ScFog> fogClass(HSQUIRRELVM v);
Bind::Class<ScVideo> videoClass(HSQUIRRELVM v);

}  // namespace Quillorane
