#include "collision/Shapes.h"

#include <vector>

namespace QlCollision {

namespace {

// Every difference of two 32-bit coordinates fits in 33 bits and every product
// of two such differences in 66 bits, so the tests below work on 64-bit
// differences and 128-bit products and never round.
__extension__ typedef __int128 Wide;
__extension__ typedef unsigned __int128 UWide;

inline Wide mul(std::int64_t a, std::int64_t b) { return static_cast<Wide>(a) * b; }

inline int sign(Wide v) { return (v > 0) - (v < 0); }

// Which side of the directed line a->b the point c lies on (+1 left, -1 right,
// 0 on the line).
inline int side(std::int64_t ax, std::int64_t ay, std::int64_t bx, std::int64_t by,
                std::int64_t cx, std::int64_t cy) {
  return sign(mul(bx - ax, cy - ay) - mul(by - ay, cx - ax));
}

inline std::int64_t lo(std::int32_t a, std::int32_t b) { return a < b ? a : b; }
inline std::int64_t hi(std::int32_t a, std::int32_t b) { return a < b ? b : a; }

// Whether (x, y) lies in the bounding box of the segment (inclusive).
inline bool inBox(const LineData& l, std::int64_t x, std::int64_t y) {
  return lo(l.x1, l.x2) <= x && x <= hi(l.x1, l.x2) && lo(l.y1, l.y2) <= y &&
         y <= hi(l.y1, l.y2);
}

inline bool isNormal(const RectangleData& r) { return r.left <= r.right && r.top <= r.bottom; }

// The four edges of a rectangle: top, left, right, bottom.
inline void edges(const RectangleData& r, LineData out[4]) {
  out[0] = {r.left, r.top, r.right, r.top};
  out[1] = {r.left, r.top, r.left, r.bottom};
  out[2] = {r.right, r.top, r.right, r.bottom};
  out[3] = {r.left, r.bottom, r.right, r.bottom};
}

inline Wide squaredDistance(std::int64_t dx, std::int64_t dy) { return mul(dx, dx) + mul(dy, dy); }

// ----- the shape classes -----------------------------------------------------

class Point final : public IPoint {
public:
  bool setX(std::int32_t v) override { d_.x = v; return true; }
  std::int32_t getX() const override { return d_.x; }
  bool setY(std::int32_t v) override { d_.y = v; return true; }
  std::int32_t getY() const override { return d_.y; }
  PointData data() const override { return d_; }
  std::shared_ptr<IShape> clone() const override { return createPoint(d_.x, d_.y); }

private:
  PointData d_{0, 0};
};

class Line final : public ILine {
public:
  bool setX1(std::int32_t v) override { d_.x1 = v; return true; }
  std::int32_t getX1() const override { return d_.x1; }
  bool setY1(std::int32_t v) override { d_.y1 = v; return true; }
  std::int32_t getY1() const override { return d_.y1; }
  bool setX2(std::int32_t v) override { d_.x2 = v; return true; }
  std::int32_t getX2() const override { return d_.x2; }
  bool setY2(std::int32_t v) override { d_.y2 = v; return true; }
  std::int32_t getY2() const override { return d_.y2; }
  LineData data() const override { return d_; }
  std::shared_ptr<IShape> clone() const override {
    return createLine(d_.x1, d_.y1, d_.x2, d_.y2);
  }

private:
  LineData d_{0, 0, 0, 0};
};

class Circle final : public ICircle {
public:
  bool setX(std::int32_t v) override { d_.x = v; return true; }
  std::int32_t getX() const override { return d_.x; }
  bool setY(std::int32_t v) override { d_.y = v; return true; }
  std::int32_t getY() const override { return d_.y; }
  bool setRadius(std::int32_t v) override {
    if (v < 0) return false;
    d_.radius = v;
    return true;
  }
  std::int32_t getRadius() const override { return d_.radius; }
  CircleData data() const override { return d_; }
  std::shared_ptr<IShape> clone() const override {
    return createCircle(d_.x, d_.y, d_.radius);
  }

private:
  CircleData d_{0, 0, 0};
};

class Rectangle final : public IRectangle {
public:
  bool setLeft(std::int32_t v) override { d_.left = v; return true; }
  std::int32_t getLeft() const override { return d_.left; }
  bool setTop(std::int32_t v) override { d_.top = v; return true; }
  std::int32_t getTop() const override { return d_.top; }
  bool setRight(std::int32_t v) override { d_.right = v; return true; }
  std::int32_t getRight() const override { return d_.right; }
  bool setBottom(std::int32_t v) override { d_.bottom = v; return true; }
  std::int32_t getBottom() const override { return d_.bottom; }
  RectangleData data() const override { return d_; }
  std::shared_ptr<IShape> clone() const override {
    // Copied field by field: an inverted rectangle stays inverted.
    auto copy = std::make_shared<Rectangle>();
    copy->d_ = d_;
    return copy;
  }

private:
  RectangleData d_{0, 0, 0, 0};
};

// Groups nested deeper than this (only possible with a foreign group that
// contains itself) are treated as touching nothing rather than recursing on,
// and as a cycle when a group is added.
constexpr int kMaxGroupDepth = 256;

// Whether `group` contains `target`, directly or through nested groups.
bool contains(const IGroup& group, const IShape* target, int depth) {
  if (depth > kMaxGroupDepth) return true;  // treat absurd nesting as a cycle
  for (std::uint32_t i = 0, n = group.getCount(); i < n; ++i) {
    auto member = group.getShape(i);
    if (!member) continue;
    if (member.get() == target) return true;
    if (member->getType() == kGroup &&
        contains(static_cast<const IGroup&>(*member), target, depth + 1))
      return true;
  }
  return false;
}

class Group final : public IGroup {
public:
  std::uint32_t getCount() const override { return static_cast<std::uint32_t>(members_.size()); }
  std::shared_ptr<IShape> getShape(std::uint32_t index) const override {
    return index < members_.size() ? members_[index] : nullptr;
  }
  bool addShape(const std::shared_ptr<IShape>& shape) override {
    if (!shape || shape.get() == this) return false;
    if (shape->getType() == kGroup && contains(static_cast<const IGroup&>(*shape), this, 0))
      return false;
    members_.push_back(shape);
    return true;
  }
  bool removeShapeAt(std::uint32_t index) override {
    if (index >= members_.size()) return false;
    members_.erase(members_.begin() + index);
    return true;
  }
  void clearShapes() override { members_.clear(); }
  std::shared_ptr<IShape> clone() const override {
    auto copy = std::make_shared<Group>();
    copy->members_.reserve(members_.size());
    for (const auto& m : members_) copy->members_.push_back(m->clone());
    return copy;
  }

private:
  std::vector<std::shared_ptr<IShape>> members_;
};

// depthA and depthB count how deep inside groups a and b each stand: the nesting limit holds
// for each shape's own nesting, not for the two added together.
bool intersectsAt(const IShape& a, const IShape& b, int depthA, int depthB);

bool groupWith(const IGroup& g, const IShape& other, int depthG, int depthOther) {
  for (std::uint32_t i = 0, n = g.getCount(); i < n; ++i) {
    auto member = g.getShape(i);
    if (member && intersectsAt(*member, other, depthG + 1, depthOther)) return true;
  }
  return false;
}

bool intersectsAt(const IShape& a, const IShape& b, int depthA, int depthB) {
  if (depthA > kMaxGroupDepth || depthB > kMaxGroupDepth) return false;
  const int ta = a.getType();
  const int tb = b.getType();
  if (ta < kPoint || ta > kGroup || tb < kPoint || tb > kGroup) return false;
  if (ta == kGroup) {
    // Both groups: every member of a against the whole of b, which tries every
    // pair with a's member in the outer loop.
    return groupWith(static_cast<const IGroup&>(a), b, depthA, depthB);
  }
  if (tb == kGroup) return groupWith(static_cast<const IGroup&>(b), a, depthB, depthA);

  // Put the pair in ascending kind order; every test is symmetric.
  const IShape& first = ta <= tb ? a : b;
  const IShape& second = ta <= tb ? b : a;
  auto P = [](const IShape& s) { return static_cast<const IPoint&>(s).data(); };
  auto L = [](const IShape& s) { return static_cast<const ILine&>(s).data(); };
  auto C = [](const IShape& s) { return static_cast<const ICircle&>(s).data(); };
  auto R = [](const IShape& s) { return static_cast<const IRectangle&>(s).data(); };
  switch ((ta <= tb ? ta : tb) * 8 + (ta <= tb ? tb : ta)) {
  case kPoint * 8 + kPoint: return pointPoint(P(first), P(second));
  case kPoint * 8 + kLine: return linePoint(L(second), P(first));
  case kPoint * 8 + kCircle: return pointCircle(P(first), C(second));
  case kPoint * 8 + kRectangle: return rectanglePoint(R(second), P(first));
  case kLine * 8 + kLine: return lineLine(L(first), L(second));
  case kLine * 8 + kCircle: return lineCircle(L(first), C(second));
  case kLine * 8 + kRectangle: return lineRectangle(L(first), R(second));
  case kCircle * 8 + kCircle: return circleCircle(C(first), C(second));
  case kCircle * 8 + kRectangle: return circleRectangle(C(first), R(second));
  case kRectangle * 8 + kRectangle: return rectangleRectangle(R(first), R(second));
  default: return false;
  }
}

} // namespace

// ----- factories ---------------------------------------------------------------

std::shared_ptr<IPoint> createPoint(std::int32_t x, std::int32_t y) {
  auto p = std::make_shared<Point>();
  p->setX(x);
  p->setY(y);
  return p;
}

std::shared_ptr<ILine> createLine(std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                  std::int32_t y2) {
  auto l = std::make_shared<Line>();
  l->setX1(x1);
  l->setY1(y1);
  l->setX2(x2);
  l->setY2(y2);
  return l;
}

std::shared_ptr<ICircle> createCircle(std::int32_t x, std::int32_t y, std::int32_t radius) {
  if (radius < 0) return nullptr;
  auto c = std::make_shared<Circle>();
  c->setX(x);
  c->setY(y);
  c->setRadius(radius);
  return c;
}

std::shared_ptr<IRectangle> createRectangle(std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                            std::int32_t y2) {
  auto r = std::make_shared<Rectangle>();
  r->setLeft(x1 < x2 ? x1 : x2);
  r->setRight(x1 < x2 ? x2 : x1);
  r->setTop(y1 < y2 ? y1 : y2);
  r->setBottom(y1 < y2 ? y2 : y1);
  return r;
}

std::shared_ptr<IGroup> createGroup() { return std::make_shared<Group>(); }

// ----- intersection --------------------------------------------------------------

bool intersects(const std::shared_ptr<IShape>& a, const std::shared_ptr<IShape>& b) {
  if (!a || !b) return false;
  return intersectsAt(*a, *b, 0, 0);
}

bool intersects(const IShape& a, const IShape& b) { return intersectsAt(a, b, 0, 0); }

bool pointPoint(const PointData& a, const PointData& b) { return a.x == b.x && a.y == b.y; }

bool rectanglePoint(const RectangleData& r, const PointData& p) {
  return r.left <= p.x && p.x <= r.right && r.top <= p.y && p.y <= r.bottom;
}

bool rectangleRectangle(const RectangleData& a, const RectangleData& b) {
  return !(b.left > a.right || b.right < a.left || b.top > a.bottom || b.bottom < a.top);
}

bool pointCircle(const PointData& p, const CircleData& c) {
  if (c.radius < 0) return false;
  const std::int64_t r = c.radius;
  const std::int64_t dx = std::int64_t{c.x} - p.x;
  const std::int64_t dy = std::int64_t{c.y} - p.y;
  if (dx > r || -dx > r || dy > r || -dy > r) return false;
  // |dx|, |dy| <= r < 2^31: the sum of squares fits in 63 bits.
  return dx * dx + dy * dy <= r * r;
}

bool circleCircle(const CircleData& a, const CircleData& b) {
  if (a.radius < 0 || b.radius < 0) return false;
  const std::int64_t r = std::int64_t{a.radius} + b.radius;
  const std::int64_t dx = std::int64_t{a.x} - b.x;
  const std::int64_t dy = std::int64_t{a.y} - b.y;
  if (dx > r || -dx > r || dy > r || -dy > r) return false;
  return squaredDistance(dx, dy) <= mul(r, r);
}

bool linePoint(const LineData& l, const PointData& p) {
  // On the segment: inside its bounding box and on its line. A segment whose
  // end points coincide holds exactly that point.
  if (!inBox(l, p.x, p.y)) return false;
  return side(l.x1, l.y1, l.x2, l.y2, p.x, p.y) == 0;
}

bool lineLine(const LineData& a, const LineData& b) {
  if (hi(a.x1, a.x2) < lo(b.x1, b.x2) || hi(b.x1, b.x2) < lo(a.x1, a.x2) ||
      hi(a.y1, a.y2) < lo(b.y1, b.y2) || hi(b.y1, b.y2) < lo(a.y1, a.y2))
    return false;
  const int s1 = side(a.x1, a.y1, a.x2, a.y2, b.x1, b.y1);
  const int s2 = side(a.x1, a.y1, a.x2, a.y2, b.x2, b.y2);
  const int s3 = side(b.x1, b.y1, b.x2, b.y2, a.x1, a.y1);
  const int s4 = side(b.x1, b.y1, b.x2, b.y2, a.x2, a.y2);
  if (s1 * s2 < 0 && s3 * s4 < 0) return true;  // proper crossing
  // Otherwise they meet only where an end point of one lies on the other;
  // this also covers collinear segments, which meet only when they overlap.
  return (s1 == 0 && inBox(a, b.x1, b.y1)) || (s2 == 0 && inBox(a, b.x2, b.y2)) ||
         (s3 == 0 && inBox(b, a.x1, a.y1)) || (s4 == 0 && inBox(b, a.x2, a.y2));
}

bool lineCircle(const LineData& l, const CircleData& c) {
  if (c.radius < 0) return false;
  const std::int64_t r = c.radius;
  if (hi(l.x1, l.x2) < c.x - r || lo(l.x1, l.x2) > c.x + r || hi(l.y1, l.y2) < c.y - r ||
      lo(l.y1, l.y2) > c.y + r)
    return false;
  const std::int64_t dx = std::int64_t{l.x2} - l.x1, dy = std::int64_t{l.y2} - l.y1;
  const std::int64_t wx = std::int64_t{c.x} - l.x1, wy = std::int64_t{c.y} - l.y1;
  const Wide r2 = mul(r, r);
  const Wide t = mul(wx, dx) + mul(wy, dy);
  if (t <= 0) return squaredDistance(wx, wy) <= r2;  // nearest point: first end
  const Wide len2 = squaredDistance(dx, dy);
  if (t >= len2)  // nearest point: second end
    return squaredDistance(std::int64_t{c.x} - l.x2, std::int64_t{c.y} - l.y2) <= r2;
  // Nearest point inside the segment: its squared distance is cross^2 / len2.
  // r2 * len2 < 2^127; a cross of 2^64 or more is certainly too far.
  const Wide cross = mul(dx, wy) - mul(dy, wx);
  const UWide ac = static_cast<UWide>(cross < 0 ? -cross : cross);
  if (ac >> 64) return false;
  const std::uint64_t a64 = static_cast<std::uint64_t>(ac);
  return static_cast<UWide>(a64) * a64 <= static_cast<UWide>(r2) * static_cast<UWide>(len2);
}

bool lineRectangle(const LineData& l, const RectangleData& r) {
  if (!isNormal(r)) {
    // An inverted rectangle has no inside; only its outline can be hit.
    if (rectanglePoint(r, {l.x1, l.y1}) || rectanglePoint(r, {l.x2, l.y2})) return true;
    LineData e[4];
    edges(r, e);
    for (const auto& edge : e)
      if (lineLine(l, edge)) return true;
    return false;
  }
  // Separating axes: the rectangle's two axes, then the segment's normal.
  if (hi(l.x1, l.x2) < r.left || lo(l.x1, l.x2) > r.right || hi(l.y1, l.y2) < r.top ||
      lo(l.y1, l.y2) > r.bottom)
    return false;
  const int s1 = side(l.x1, l.y1, l.x2, l.y2, r.left, r.top);
  const int s2 = side(l.x1, l.y1, l.x2, l.y2, r.right, r.top);
  const int s3 = side(l.x1, l.y1, l.x2, l.y2, r.left, r.bottom);
  const int s4 = side(l.x1, l.y1, l.x2, l.y2, r.right, r.bottom);
  return !((s1 > 0 && s2 > 0 && s3 > 0 && s4 > 0) || (s1 < 0 && s2 < 0 && s3 < 0 && s4 < 0));
}

bool circleRectangle(const CircleData& c, const RectangleData& r) {
  if (c.radius < 0) return false;
  if (!isNormal(r)) {
    if (rectanglePoint(r, {c.x, c.y})) return true;
    LineData e[4];
    edges(r, e);
    for (const auto& edge : e)
      if (lineCircle(edge, c)) return true;
    return false;
  }
  // Distance from the centre to the nearest point of the rectangle.
  const std::int64_t rad = c.radius;
  const std::int64_t dx =
      c.x < r.left ? std::int64_t{r.left} - c.x : (c.x > r.right ? std::int64_t{c.x} - r.right : 0);
  const std::int64_t dy =
      c.y < r.top ? std::int64_t{r.top} - c.y : (c.y > r.bottom ? std::int64_t{c.y} - r.bottom : 0);
  if (dx > rad || dy > rad) return false;
  return dx * dx + dy * dy <= rad * rad;
}

} // namespace QlCollision
