#pragma once
// The Collision table: point, segment, circle and rectangle shapes whose coordinates scripts
// read and write as properties, and `intersects` on any two of them.
#include "collision/Shapes.h"
#include "script/Interfaces.h"
#include "script/Library.h"

#include <memory>

namespace Quillorane {

// A wrapper holding one shape of kind S (QlCollision::IPoint ...).
template <class S>
class ScShapeOf : public SuShape {
public:
    explicit ScShapeOf(std::shared_ptr<S> shape) : shape_(std::move(shape)) {}
    std::shared_ptr<QlCollision::IShape> getShape() const override { return shape_; }
    S* get() const { return shape_.get(); }

private:
    std::shared_ptr<S> shape_;
};

class ScPoint final : public ScShapeOf<QlCollision::IPoint> {
    using ScShapeOf::ScShapeOf;
};
class ScLine final : public ScShapeOf<QlCollision::ILine> {
    using ScShapeOf::ScShapeOf;
};
class ScCircle final : public ScShapeOf<QlCollision::ICircle> {
    using ScShapeOf::ScShapeOf;
};
class ScRectangle final : public ScShapeOf<QlCollision::IRectangle> {
    using ScShapeOf::ScShapeOf;
};

class CollisionLibrary : public Library {
public:
    bool onLoad(HSQUIRRELVM v) override;
};

}  // namespace Quillorane
