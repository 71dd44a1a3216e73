#pragma once
// 2D collision shapes on the integer pixel grid and the test that tells whether
// two of them touch.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace QlCollision {

class IPoint;
class ILine;
class ICircle;
class IRectangle;
class IGroup;

// Kind numbers returned by IShape::getType.
enum ShapeType : int {
  kPoint = 1,
  kLine = 2,
  kCircle = 3,
  kRectangle = 4,
  kGroup = 5,
};

// Common base of every shape. A shape whose getType() answers kPoint, kLine,
// kCircle, kRectangle or kGroup must derive from IPoint, ILine, ICircle,
// IRectangle or IGroup respectively; intersects() relies on it.
// Shapes are owned through std::shared_ptr; asX() hands out a shared pointer
// to the shape itself when it is of that kind (empty for any other kind, and
// empty for a shape that is not owned by a shared pointer).
class IShape : public std::enable_shared_from_this<IShape> {
public:
  virtual ~IShape() = default;
  virtual int getType() const = 0;
  virtual std::shared_ptr<IPoint> asPoint() { return nullptr; }
  virtual std::shared_ptr<ILine> asLine() { return nullptr; }
  virtual std::shared_ptr<ICircle> asCircle() { return nullptr; }
  virtual std::shared_ptr<IRectangle> asRectangle() { return nullptr; }
  virtual std::shared_ptr<IGroup> asGroup() { return nullptr; }
  // A new, independent shape of the same kind with the same values.
  virtual std::shared_ptr<IShape> clone() const = 0;

protected:
  IShape() = default;
  IShape(const IShape&) = default;
  IShape& operator=(const IShape&) = default;

  template <class T> std::shared_ptr<T> selfAs() {
    return std::static_pointer_cast<T>(weak_from_this().lock());
  }
};

// Plain values of each kind, read by intersects() in one call per shape.
struct PointData {
  std::int32_t x, y;
};
struct LineData {
  std::int32_t x1, y1, x2, y2;
};
struct CircleData {
  std::int32_t x, y, radius;
};
struct RectangleData {
  std::int32_t left, top, right, bottom;
};

class IPoint : public IShape {
public:
  int getType() const final { return kPoint; }
  std::shared_ptr<IPoint> asPoint() final { return selfAs<IPoint>(); }
  virtual bool setX(std::int32_t x) = 0;
  virtual std::int32_t getX() const = 0;
  virtual bool setY(std::int32_t y) = 0;
  virtual std::int32_t getY() const = 0;
  virtual PointData data() const = 0;
};

// A segment from (x1, y1) to (x2, y2), both end points included.
class ILine : public IShape {
public:
  int getType() const final { return kLine; }
  std::shared_ptr<ILine> asLine() final { return selfAs<ILine>(); }
  virtual bool setX1(std::int32_t v) = 0;
  virtual std::int32_t getX1() const = 0;
  virtual bool setY1(std::int32_t v) = 0;
  virtual std::int32_t getY1() const = 0;
  virtual bool setX2(std::int32_t v) = 0;
  virtual std::int32_t getX2() const = 0;
  virtual bool setY2(std::int32_t v) = 0;
  virtual std::int32_t getY2() const = 0;
  virtual LineData data() const = 0;
};

// A filled disc with its edge: centre (x, y) and a radius that is never negative.
class ICircle : public IShape {
public:
  int getType() const final { return kCircle; }
  std::shared_ptr<ICircle> asCircle() final { return selfAs<ICircle>(); }
  virtual bool setX(std::int32_t v) = 0;
  virtual std::int32_t getX() const = 0;
  virtual bool setY(std::int32_t v) = 0;
  virtual std::int32_t getY() const = 0;
  // Refuses a negative radius (false, radius unchanged).
  virtual bool setRadius(std::int32_t v) = 0;
  virtual std::int32_t getRadius() const = 0;
  virtual CircleData data() const = 0;
};

// An axis-aligned rectangle with inclusive edges. The setters store what they
// are given: a rectangle whose left exceeds its right (or top its bottom) stays
// so until it is set right again.
class IRectangle : public IShape {
public:
  int getType() const final { return kRectangle; }
  std::shared_ptr<IRectangle> asRectangle() final { return selfAs<IRectangle>(); }
  virtual bool setLeft(std::int32_t v) = 0;
  virtual std::int32_t getLeft() const = 0;
  virtual bool setTop(std::int32_t v) = 0;
  virtual std::int32_t getTop() const = 0;
  virtual bool setRight(std::int32_t v) = 0;
  virtual std::int32_t getRight() const = 0;
  virtual bool setBottom(std::int32_t v) = 0;
  virtual std::int32_t getBottom() const = 0;
  virtual RectangleData data() const = 0;
};

// A collection of shapes; touching any member touches the group.
class IGroup : public IShape {
public:
  int getType() const final { return kGroup; }
  std::shared_ptr<IGroup> asGroup() final { return selfAs<IGroup>(); }
  virtual std::uint32_t getCount() const = 0;
  // Empty when index >= getCount().
  virtual std::shared_ptr<IShape> getShape(std::uint32_t index) const = 0;
  // Appends a member. Refuses an empty pointer and a shape that would make the
  // group contain itself.
  virtual bool addShape(const std::shared_ptr<IShape>& shape) = 0;
  virtual bool removeShapeAt(std::uint32_t index) = 0;
  virtual void clearShapes() = 0;
};

std::shared_ptr<IPoint> createPoint(std::int32_t x, std::int32_t y);
std::shared_ptr<ILine> createLine(std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                  std::int32_t y2);
// Empty when radius is negative.
std::shared_ptr<ICircle> createCircle(std::int32_t x, std::int32_t y, std::int32_t radius);
// From two opposite corners, in any order.
std::shared_ptr<IRectangle> createRectangle(std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                            std::int32_t y2);
std::shared_ptr<IGroup> createGroup();

// Whether the two shapes share at least one point of the integer plane (edges
// and end points included). False when either pointer is empty.
bool intersects(const std::shared_ptr<IShape>& a, const std::shared_ptr<IShape>& b);
bool intersects(const IShape& a, const IShape& b);

// The pairwise tests, exact for every 32-bit coordinate.
bool pointPoint(const PointData& a, const PointData& b);
bool rectanglePoint(const RectangleData& r, const PointData& p);
bool rectangleRectangle(const RectangleData& a, const RectangleData& b);
bool pointCircle(const PointData& p, const CircleData& c);
bool circleCircle(const CircleData& a, const CircleData& b);
bool linePoint(const LineData& l, const PointData& p);
bool lineLine(const LineData& a, const LineData& b);
bool lineCircle(const LineData& l, const CircleData& c);
bool lineRectangle(const LineData& l, const RectangleData& r);
bool circleRectangle(const CircleData& c, const RectangleData& r);

} // namespace QlCollision
