#pragma once
// The small interfaces through which native calls take "some image", "some font", "some
// shape", "some 2D effect", "some 3D effect" or "some camera": a wrapper that stands for such
// an engine object implements one of them, and a parameter of type SuImage& (and so on)
// accepts an instance of any class whose wrapper does.
#include "script/Bound.h"

#include <memory>

namespace QlGraphics {
class IImage;
class IFont;
class IEffect2d;
class IEffect3d;
class IWorld;
struct Matrix;
}  // namespace QlGraphics

namespace QlCollision {
class IShape;
}

namespace Quillorane {

// Images, canvases and videos.
class SuImage : public Bound {
public:
    virtual std::shared_ptr<QlGraphics::IImage> getImage() const = 0;
    // The same image without taking a reference, valid while the wrapper lives: drawing calls
    // use it, so a draw costs no reference counting.
    virtual QlGraphics::IImage* peekImage() const = 0;
};

// Fonts made from a face name or from a bitmap-font image.
class SuFont : public Bound {
public:
    virtual std::shared_ptr<QlGraphics::IFont> getFont() const = 0;
};

// The collision shapes.
class SuShape : public Bound {
public:
    virtual std::shared_ptr<QlCollision::IShape> getShape() const = 0;
};

class SuEffect2d : public Bound {
public:
    virtual std::shared_ptr<QlGraphics::IEffect2d> getEffect() const = 0;
};

class SuEffect3d : public Bound {
public:
    virtual std::shared_ptr<QlGraphics::IEffect3d> getEffect() const = 0;
};

// Worlds of actors, for Canvas.drawWorld.
class SuWorld : public Bound {
public:
    virtual std::shared_ptr<QlGraphics::IWorld> getWorld() const = 0;
};

class SuCamera : public Bound {
public:
    virtual QlGraphics::Matrix getViewMatrix() const = 0;
    virtual QlGraphics::Matrix getProjectionMatrix() const = 0;
};

}  // namespace Quillorane
