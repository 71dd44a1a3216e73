// intersects(): fixed cases, agreement with an exact rational model of the
// geometry on random small shapes, symmetry, and exactness at the limits of
// the 32-bit coordinate range.
#include "collision/Shapes.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <vector>

using namespace QlCollision;

namespace {

using Sp = std::shared_ptr<IShape>;

bool hit(const Sp& a, const Sp& b) { return intersects(a, b); }

// ----- exact rational model -------------------------------------------------
// Written independently of the library: parameters of points along segments are
// fractions, compared by cross-multiplication. Only used with small values.

__extension__ typedef __int128 I;

struct Q {  // n / d with d > 0
  I n, d;
  Q(I num, I den = 1) : n(den < 0 ? -num : num), d(den < 0 ? -den : den) {}
};
bool operator<=(const Q& a, const Q& b) { return a.n * b.d <= b.n * a.d; }

bool between01(const Q& t) { return Q(0) <= t && t <= Q(1); }

struct Pt { I x, y; };
struct Seg { Pt a, b; };

I crossOf(I ax, I ay, I bx, I by) { return ax * by - ay * bx; }

bool refPointOnSeg(const Pt& p, const Seg& s) {
  I dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
  if (dx == 0 && dy == 0) return p.x == s.a.x && p.y == s.a.y;
  // p = a + t (b - a) for one t in [0, 1]
  if (dx != 0) {
    Q t(p.x - s.a.x, dx);
    // y must match: a.y + t dy == p.y  <=>  (p.y - a.y) dx == (p.x - a.x) dy
    if ((p.y - s.a.y) * dx != (p.x - s.a.x) * dy) return false;
    return between01(t);
  }
  if (p.x != s.a.x) return false;
  return between01(Q(p.y - s.a.y, dy));
}

bool refSegSeg(const Seg& A, const Seg& B) {
  I adx = A.b.x - A.a.x, ady = A.b.y - A.a.y, bdx = B.b.x - B.a.x, bdy = B.b.y - B.a.y;
  if (adx == 0 && ady == 0) return refPointOnSeg(A.a, B);
  if (bdx == 0 && bdy == 0) return refPointOnSeg(B.a, A);
  I ex = B.a.x - A.a.x, ey = B.a.y - A.a.y;
  I den = crossOf(adx, ady, bdx, bdy);
  if (den != 0) {
    // A.a + t DA = B.a + u DB
    Q t(crossOf(ex, ey, bdx, bdy), den), u(crossOf(ex, ey, adx, ady), den);
    return between01(t) && between01(u);
  }
  if (crossOf(ex, ey, adx, ady) != 0) return false;  // parallel, apart
  // Collinear: place B's ends on A's parameter line and overlap with [0, 1].
  I len = adx * adx + ady * ady;
  Q t1(ex * adx + ey * ady, len);
  Q t2((B.b.x - A.a.x) * adx + (B.b.y - A.a.y) * ady, len);
  Q lo = t1 <= t2 ? t1 : t2, hi = t1 <= t2 ? t2 : t1;
  return lo <= Q(1) && Q(0) <= hi;
}

// Squared distance from c to the segment, as a fraction.
Q refSegDist2(const Seg& s, const Pt& c) {
  I dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
  I len = dx * dx + dy * dy;
  Q t = len == 0 ? Q(0) : Q((c.x - s.a.x) * dx + (c.y - s.a.y) * dy, len);
  if (!(Q(0) <= t)) t = Q(0);
  if (!(t <= Q(1))) t = Q(1);
  // nearest = a + t d;  c - nearest = ((c - a) * t.d - t.n * d) / t.d
  I ux = (c.x - s.a.x) * t.d - t.n * dx, uy = (c.y - s.a.y) * t.d - t.n * dy;
  return Q(ux * ux + uy * uy, t.d * t.d);
}

bool refSegCircle(const Seg& s, const Pt& c, I r) { return refSegDist2(s, c) <= Q(r * r); }

struct RefRect { I l, t, r, b; };
bool refInside(const RefRect& q, const Pt& p) {
  return q.l <= p.x && p.x <= q.r && q.t <= p.y && p.y <= q.b;
}
std::vector<Seg> refOutline(const RefRect& q) {
  return {{{q.l, q.t}, {q.r, q.t}}, {{q.l, q.t}, {q.l, q.b}},
          {{q.r, q.t}, {q.r, q.b}}, {{q.l, q.b}, {q.r, q.b}}};
}

// The model of one shape, read through the public getters.
struct Model {
  int kind;
  Pt p;       // point, circle centre
  Seg s;      // line
  I radius;
  RefRect rect;
};

Model model(const IShape& shape) {
  Model m{};
  m.kind = shape.getType();
  auto& sh = const_cast<IShape&>(shape);
  if (auto p = sh.asPoint()) m.p = {p->getX(), p->getY()};
  if (auto l = sh.asLine()) m.s = {{l->getX1(), l->getY1()}, {l->getX2(), l->getY2()}};
  if (auto c = sh.asCircle()) { m.p = {c->getX(), c->getY()}; m.radius = c->getRadius(); }
  if (auto r = sh.asRectangle())
    m.rect = {r->getLeft(), r->getTop(), r->getRight(), r->getBottom()};
  return m;
}

bool refRectAndSegment(const RefRect& q, const Seg& s) {
  if (refInside(q, s.a) || refInside(q, s.b)) return true;
  for (const auto& e : refOutline(q))
    if (refSegSeg(e, s)) return true;
  return false;
}

bool refRectAndCircle(const RefRect& q, const Pt& c, I r) {
  if (refInside(q, c)) return true;
  for (const auto& e : refOutline(q))
    if (refSegCircle(e, c, r)) return true;
  return false;
}

bool reference(const Model& a, const Model& b) {
  if (a.kind > b.kind) return reference(b, a);
  switch (a.kind * 8 + b.kind) {
  case 011: return a.p.x == b.p.x && a.p.y == b.p.y;
  case 012: return refPointOnSeg(a.p, b.s);
  case 013: {
    I dx = a.p.x - b.p.x, dy = a.p.y - b.p.y;
    return dx * dx + dy * dy <= b.radius * b.radius;
  }
  case 014: return refInside(b.rect, a.p);
  case 022: return refSegSeg(a.s, b.s);
  case 023: return refSegCircle(a.s, b.p, b.radius);
  case 024: return refRectAndSegment(b.rect, a.s);
  case 033: {
    I dx = a.p.x - b.p.x, dy = a.p.y - b.p.y, rr = a.radius + b.radius;
    return dx * dx + dy * dy <= rr * rr;
  }
  case 034: return refRectAndCircle(b.rect, a.p, a.radius);
  case 044:  // a lattice point common to both (edges are integers)
    for (I x = a.rect.l; x <= a.rect.r; ++x)
      for (I y = a.rect.t; y <= a.rect.b; ++y)
        if (refInside(b.rect, {x, y})) return true;
    return false;
  }
  ADD_FAILURE() << "unexpected kinds " << a.kind << " " << b.kind;
  return false;
}

// ----- random shapes -----------------------------------------------------------

struct Gen {
  std::mt19937 rng{20240611u};
  int range = 6;
  bool allowInverted = true;
  int coord() { return std::uniform_int_distribution<int>(-range, range)(rng); }
  int chance(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

  Sp make(int kind) {
    switch (kind) {
    case kPoint: return createPoint(coord(), coord());
    case kLine: {
      int x1 = coord(), y1 = coord();
      if (chance(8) == 0) return createLine(x1, y1, x1, y1);   // degenerate
      if (chance(4) == 0) {  // axis-parallel, where collinear cases live
        return chance(2) ? createLine(x1, y1, coord(), y1) : createLine(x1, y1, x1, coord());
      }
      return createLine(x1, y1, coord(), coord());
    }
    case kCircle:
      return createCircle(coord(), coord(), std::uniform_int_distribution<int>(0, 5)(rng));
    default: {
      auto r = createRectangle(coord(), coord(), coord(), coord());
      if (allowInverted && chance(6) == 0) {  // inverted by its setters
        int l = r->getLeft(), rr = r->getRight();
        if (l == rr) {
          if (rr < range) ++rr;
          else --l;
        }
        r->setLeft(rr);
        r->setRight(l);
      }
      return r;
    }
    }
  }
};

// Scales every coordinate and radius by k: touching is preserved exactly.
Sp scaled(const Sp& s, std::int32_t k, std::int32_t ox, std::int32_t oy) {
  if (auto p = s->asPoint()) return createPoint(p->getX() * k + ox, p->getY() * k + oy);
  if (auto l = s->asLine())
    return createLine(l->getX1() * k + ox, l->getY1() * k + oy, l->getX2() * k + ox,
                      l->getY2() * k + oy);
  if (auto c = s->asCircle()) return createCircle(c->getX() * k + ox, c->getY() * k + oy, c->getRadius() * k);
  auto r = s->asRectangle();
  auto out = createRectangle(0, 0, 0, 0);
  out->setLeft(r->getLeft() * k + ox);
  out->setRight(r->getRight() * k + ox);
  out->setTop(r->getTop() * k + oy);
  out->setBottom(r->getBottom() * k + oy);
  return out;
}

} // namespace

// ----- fixed cases ----------------------------------------------------------------

TEST(Intersects, EmptyPointersNeverTouch) {
  Sp p = createPoint(0, 0);
  EXPECT_FALSE(hit(p, nullptr));
  EXPECT_FALSE(hit(nullptr, p));
  EXPECT_FALSE(hit(nullptr, nullptr));
}

TEST(Intersects, PointOnSegmentIncludesBothEnds) {
  Sp l = createLine(0, 0, 10, 5);
  EXPECT_TRUE(hit(createPoint(0, 0), l));    // first end point
  EXPECT_TRUE(hit(createPoint(10, 5), l));   // second end point
  EXPECT_TRUE(hit(createPoint(4, 2), l));
  EXPECT_FALSE(hit(createPoint(12, 6), l));  // on the line, past the end
  EXPECT_FALSE(hit(createPoint(-2, -1), l)); // on the line, before the start
  EXPECT_FALSE(hit(createPoint(5, 3), l));
  // Nearly in the direction of the segment is not on it.
  Sp longLine = createLine(0, 0, 20, 1);
  EXPECT_FALSE(hit(createPoint(19, 1), longLine));
  EXPECT_FALSE(hit(createPoint(1000, 1), createLine(0, 0, 1000000, 999)));
}

TEST(Intersects, SegmentWithCoincidentEndsIsOnePoint) {
  Sp dot = createLine(3, 4, 3, 4);
  EXPECT_TRUE(hit(createPoint(3, 4), dot));
  EXPECT_FALSE(hit(createPoint(3, 5), dot));
  EXPECT_TRUE(hit(dot, createLine(0, 4, 9, 4)));
  EXPECT_FALSE(hit(dot, createLine(0, 5, 9, 5)));
  EXPECT_TRUE(hit(dot, createLine(3, 4, 3, 4)));
  EXPECT_FALSE(hit(dot, createLine(4, 4, 4, 4)));
  EXPECT_TRUE(hit(dot, createCircle(3, 6, 2)));
  EXPECT_FALSE(hit(dot, createCircle(3, 7, 2)));
  EXPECT_TRUE(hit(dot, createRectangle(3, 4, 8, 8)));
}

TEST(Intersects, CollinearSegmentsMeetOnlyWhenTheyOverlap) {
  Sp a = createLine(0, 0, 4, 4);
  EXPECT_FALSE(hit(a, createLine(5, 5, 9, 9)));   // same line, apart
  EXPECT_FALSE(hit(a, createLine(-1, -1, -3, -3)));
  EXPECT_TRUE(hit(a, createLine(4, 4, 9, 9)));    // touching ends
  EXPECT_TRUE(hit(a, createLine(9, 9, 2, 2)));    // overlapping, reversed
  EXPECT_TRUE(hit(a, createLine(1, 1, 2, 2)));    // contained
  EXPECT_FALSE(hit(createLine(0, 0, 4, 0), createLine(6, 0, 8, 0)));
  EXPECT_TRUE(hit(createLine(0, 0, 4, 0), createLine(4, 0, 8, 0)));
}

TEST(Intersects, CirclesTouchAtTheirEdges) {
  EXPECT_TRUE(hit(createCircle(5, 5, 0), createPoint(5, 5)));
  EXPECT_FALSE(hit(createCircle(5, 5, 0), createPoint(5, 6)));
  EXPECT_TRUE(hit(createCircle(0, 0, 2), createCircle(3, 4, 3)));  // distance = 2 + 3
  EXPECT_FALSE(hit(createCircle(0, 0, 2), createCircle(3, 4, 2)));
}

TEST(Intersects, SegmentTouchingCircleCountsAnywhere) {
  Sp c = createCircle(0, 0, 5);
  EXPECT_TRUE(hit(createLine(-10, 5, 10, 5), c));   // tangent in the middle
  EXPECT_TRUE(hit(c, createLine(10, -5, -10, -5)));
  EXPECT_FALSE(hit(createLine(-10, 6, 10, 6), c));
  EXPECT_TRUE(hit(createLine(3, 4, 9, 12), c));     // touching at an end point
  EXPECT_TRUE(hit(createLine(9, 12, 3, 4), c));
  EXPECT_FALSE(hit(createLine(4, 4, 9, 12), c));
  EXPECT_TRUE(hit(createLine(-1, 0, 1, 0), c));     // wholly inside
  EXPECT_TRUE(hit(createLine(-9, -9, 9, 9), c));    // through, no end inside
  EXPECT_FALSE(hit(createLine(6, -9, 6, 9), c));
}

TEST(Intersects, RectanglesIncludeTheirEdges) {
  Sp r = createRectangle(0, 0, 10, 10);
  EXPECT_TRUE(hit(r, createRectangle(10, 10, 20, 20)));  // corner
  EXPECT_TRUE(hit(r, createRectangle(10, 0, 20, 10)));   // edge
  EXPECT_FALSE(hit(r, createRectangle(11, 0, 20, 10)));
  EXPECT_TRUE(hit(r, createLine(2, 2, 5, 5)));           // inside, no edge crossed
  EXPECT_TRUE(hit(r, createLine(-5, 5, 15, 6)));         // crosses, no end inside
  EXPECT_FALSE(hit(r, createLine(-5, 6, 6, 17)));        // passes the corner
  EXPECT_TRUE(hit(r, createLine(-5, 5, 5, 15)));         // grazes the corner (0,10)
  EXPECT_TRUE(hit(r, createCircle(13, 14, 5)));          // reaches the corner
  EXPECT_FALSE(hit(r, createCircle(14, 14, 5)));
}

TEST(Intersects, InvertedRectangleHasOnlyItsOutline) {
  auto r = createRectangle(0, 0, 10, 10);
  r->setLeft(10);
  r->setRight(0);
  Sp s = r;
  EXPECT_FALSE(hit(s, createPoint(5, 5)));
  EXPECT_FALSE(hit(s, createLine(4, 4, 6, 6)));
  EXPECT_TRUE(hit(s, createLine(4, 4, 6, 10)));
  EXPECT_TRUE(hit(s, createLine(5, 5, 12, 5)));
  EXPECT_FALSE(hit(s, createCircle(5, 5, 4)));
  EXPECT_TRUE(hit(s, createCircle(5, 5, 5)));
  EXPECT_TRUE(hit(s, createCircle(-3, 5, 3)));
  EXPECT_FALSE(hit(s, createCircle(-3, 5, 2)));
}

TEST(Intersects, GroupsAreSearchedMemberByMember) {
  auto g = createGroup();
  Sp p = createPoint(50, 50);
  EXPECT_FALSE(hit(g, p));
  g->addShape(createCircle(0, 0, 3));
  g->addShape(createRectangle(40, 40, 60, 60));
  EXPECT_TRUE(hit(g, p));
  EXPECT_TRUE(hit(p, g));
  EXPECT_FALSE(hit(g, createPoint(20, 20)));

  auto inner = createGroup();
  inner->addShape(createLine(100, 0, 100, 10));
  g->addShape(inner);
  EXPECT_TRUE(hit(g, createPoint(100, 5)));

  auto other = createGroup();
  EXPECT_FALSE(hit(g, other));
  other->addShape(createPoint(0, 200));
  EXPECT_FALSE(hit(g, other));
  other->addShape(createPoint(100, 10));
  EXPECT_TRUE(hit(g, other));
  EXPECT_TRUE(hit(other, g));
}

TEST(Intersects, ForeignGroupContainingItselfDoesNotRecurseForever) {
  struct SelfGroup final : IGroup {
    std::uint32_t getCount() const override { return 1; }
    std::shared_ptr<IShape> getShape(std::uint32_t) const override {
      return std::const_pointer_cast<IShape>(shared_from_this());
    }
    bool addShape(const std::shared_ptr<IShape>&) override { return false; }
    bool removeShapeAt(std::uint32_t) override { return false; }
    void clearShapes() override {}
    std::shared_ptr<IShape> clone() const override { return std::make_shared<SelfGroup>(); }
  };
  Sp g = std::make_shared<SelfGroup>();
  EXPECT_FALSE(hit(g, createPoint(0, 0)));
}

// ----- exact at the limits of the coordinate range --------------------------------

TEST(Intersects, ExactForCoordinatesAcrossTheWholeRange) {
  const int lo = INT_MIN, hi = INT_MAX;
  Sp diag = createLine(lo, lo, hi, hi);
  EXPECT_TRUE(hit(createPoint(0, 0), diag));
  EXPECT_TRUE(hit(createPoint(lo, lo), diag));
  EXPECT_TRUE(hit(createPoint(hi, hi), diag));
  EXPECT_FALSE(hit(createPoint(0, 1), diag));
  EXPECT_FALSE(hit(createPoint(hi, hi - 1), diag));
  EXPECT_TRUE(hit(diag, createLine(lo, hi, hi, lo)));
  EXPECT_FALSE(hit(diag, createLine(lo, lo + 1, hi - 1, hi)));  // parallel, one apart
  // Collinear and disjoint along the full-range diagonal.
  EXPECT_FALSE(hit(createLine(lo, lo, -1, -1), createLine(0, 0, hi, hi)));
  EXPECT_TRUE(hit(createLine(lo, lo, 0, 0), createLine(0, 0, hi, hi)));

  // A tangent to a circle of the largest radius, far from the segment's ends.
  Sp big = createCircle(0, 0, hi);
  EXPECT_TRUE(hit(createLine(lo, hi, hi, hi), big));
  EXPECT_FALSE(hit(createLine(lo, hi, hi, hi - 1), createCircle(0, -1, hi)));
  // The circle at lo reaches x = -1; one at hi - 1 reaches it, one at hi does not.
  EXPECT_FALSE(hit(createCircle(lo, 0, hi), createCircle(hi, 0, hi)));
  EXPECT_TRUE(hit(createCircle(lo, 0, hi), createCircle(hi - 1, 0, hi)));
  EXPECT_FALSE(hit(createCircle(lo, lo, hi), createCircle(hi, hi, hi)));
  EXPECT_TRUE(hit(createPoint(-1, 0), createCircle(lo, 0, hi)));
  EXPECT_FALSE(hit(createPoint(-1, 1), createCircle(lo, 0, hi)));
  EXPECT_FALSE(hit(createPoint(0, 0), createCircle(lo, 0, hi)));
  EXPECT_TRUE(hit(createRectangle(lo, lo, hi, hi), createLine(lo, 0, hi, 0)));
  EXPECT_FALSE(hit(createRectangle(lo, lo, 0, 0), createLine(1, hi, hi, 1)));
  // x + y = 0 touches the corner (0, 0) only; x + y = 1 misses it.
  EXPECT_TRUE(hit(createRectangle(lo, lo, 0, 0), createLine(lo + 1, hi, hi, lo + 1)));
  EXPECT_FALSE(hit(createRectangle(lo, lo, 0, 0), createLine(lo + 2, hi, hi, lo + 2)));
  EXPECT_TRUE(hit(createRectangle(lo, lo, 0, 0), createCircle(hi, 0, hi)));
  EXPECT_FALSE(hit(createRectangle(lo, lo, 0, 0), createCircle(hi, 1, hi)));
}

// ----- random comparison -----------------------------------------------------------

TEST(Intersects, AgreesWithExactModelOnRandomShapes) {
  Gen gen;
  int hits = 0, total = 0;
  for (int round = 0; round < 4000; ++round) {
    for (int ka = kPoint; ka <= kRectangle; ++ka) {
      for (int kb = ka; kb <= kRectangle; ++kb) {
        gen.allowInverted = !(ka == kRectangle && kb == kRectangle);
        Sp a = gen.make(ka), b = gen.make(kb);
        const bool expected = reference(model(*a), model(*b));
        ASSERT_EQ(hit(a, b), expected)
            << "kinds " << ka << "," << kb << " round " << round;
        hits += expected;
        ++total;
      }
    }
  }
  // Both answers must be well represented for the comparison to mean much.
  EXPECT_GT(hits, total / 5);
  EXPECT_LT(hits, total * 4 / 5);
}

TEST(Intersects, SymmetricForEveryPairOfKinds) {
  Gen gen;
  for (int round = 0; round < 1500; ++round) {
    Sp shapes[5];
    for (int k = kPoint; k <= kRectangle; ++k) shapes[k - 1] = gen.make(k);
    auto g = createGroup();
    for (int m = gen.chance(3); m >= 0; --m) g->addShape(gen.make(kPoint + gen.chance(4)));
    shapes[4] = g;
    for (const auto& a : shapes)
      for (const auto& b : shapes) ASSERT_EQ(hit(a, b), hit(b, a)) << "round " << round;
  }
}

TEST(Intersects, ScalingToTheEdgeOfTheRangeKeepsEveryAnswer) {
  // Coordinates up to 6 * 2^28 make differences near 2^32 and products near
  // 2^64, so any test that rounds or wraps would change some answers.
  Gen gen;
  const std::int32_t k = 1 << 28;
  for (int round = 0; round < 2000; ++round) {
    for (int ka = kPoint; ka <= kRectangle; ++ka) {
      for (int kb = ka; kb <= kRectangle; ++kb) {
        gen.allowInverted = !(ka == kRectangle && kb == kRectangle);
        Sp a = gen.make(ka), b = gen.make(kb);
        const bool expected = reference(model(*a), model(*b));
        const std::int32_t ox = gen.coord(), oy = gen.coord();
        ASSERT_EQ(hit(scaled(a, k, ox, oy), scaled(b, k, ox, oy)), expected)
            << "kinds " << ka << "," << kb << " round " << round;
      }
    }
  }
}
