#include "script/CollisionLibrary.h"

#include "script/Binding.h"

#include <array>
#include <cstdint>

namespace Quillorane {

namespace {

using Bind::Made;
using Bind::NoMatch;
using Bind::Value;
using std::int32_t;

// Integer coordinates from an array argument ([x, y], [x1, y1, x2, y2] ...): at least N
// numbers, or the constructor's mask does not fit.
template <std::size_t N>
std::optional<std::array<int32_t, N>> coords(const Value& a) {
    return Bind::numbersOf<int32_t, N>(a);
}

template <class W, class S>
Made<W> wrap(std::shared_ptr<S> shape) {
    return shape ? new W(std::move(shape)) : nullptr;  // null: "failed create instance"
}

Made<ScPoint> point(int32_t x, int32_t y) { return wrap<ScPoint>(QlCollision::createPoint(x, y)); }
Made<ScLine> line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    return wrap<ScLine>(QlCollision::createLine(x1, y1, x2, y2));
}
Made<ScCircle> circle(int32_t x, int32_t y, int32_t r) { return wrap<ScCircle>(QlCollision::createCircle(x, y, r)); }
Made<ScRectangle> rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    return wrap<ScRectangle>(QlCollision::createRectangle(x1, y1, x2, y2));
}

// A property of a shape wrapper: reads give null and writes do nothing for an instance that
// has no shape.
template <class W, class S>
auto getter(int32_t (S::*get)() const) {
    return [get](W* w) -> std::optional<int32_t> {
        if (!w || !w->get()) return std::nullopt;
        return (w->get()->*get)();
    };
}
template <class W, class S>
auto setter(bool (S::*set)(int32_t)) {
    return [set](W* w, int32_t value) {
        if (w && w->get()) (w->get()->*set)(value);
    };
}

using QlCollision::ICircle;
using QlCollision::ILine;
using QlCollision::IPoint;
using QlCollision::IRectangle;

// The shape of the argument at idx. Instances of the four classes are recognised by their
// class's tag without a cast through the wrapper hierarchy (the common case, and the hot one);
// instances of script classes derived from them go the general way. Null for null and for an
// instance without a shape; `bad` is set for any other value.
const QlCollision::IShape* shapeAt(HSQUIRRELVM v, SQInteger idx, bool& bad) {
    const SQObjectType type = sq_gettype(v, idx);
    if (type == OT_NULL) return nullptr;
    if (type == OT_INSTANCE) {
        SQUserPointer up = nullptr, tag = nullptr;
        sq_getinstanceup(v, idx, &up, nullptr);
        sq_gettypetag(v, idx, &tag);
        auto* bound = static_cast<Bound*>(up);
        if (up && tag == Bind::tagOf<ScRectangle>()) return static_cast<ScRectangle*>(bound)->get();
        if (up && tag == Bind::tagOf<ScCircle>()) return static_cast<ScCircle*>(bound)->get();
        if (up && tag == Bind::tagOf<ScPoint>()) return static_cast<ScPoint*>(bound)->get();
        if (up && tag == Bind::tagOf<ScLine>()) return static_cast<ScLine*>(bound)->get();
        if (SuShape* s = Bind::wrapperAt<SuShape>(v, idx)) return s->getShape().get();  // owned by s
        if (Bind::isEmptyBoundInstance(v, idx)) return nullptr;
    }
    bad = true;
    return nullptr;
}

// intersects(a, b): 1 when the two shapes touch; 0 when either is null or has no shape.
SQInteger intersects(HSQUIRRELVM v) {
    if (sq_gettop(v) != 3) return Bind::raise(v, u"wrong number of parameters");
    bool bad = false;
    const QlCollision::IShape* a = shapeAt(v, 2, bad);
    if (bad) return Bind::raiseArgType(v, 2, "shape");
    const QlCollision::IShape* b = shapeAt(v, 3, bad);
    if (bad) return Bind::raiseArgType(v, 3, "shape");
    sq_pushinteger(v, a && b && QlCollision::intersects(*a, *b) ? 1 : 0);
    return 1;
}

}  // namespace

bool CollisionLibrary::onLoad(HSQUIRRELVM v) {
    Bind::Table collision(v);
    collision.add(Bind::Class<ScPoint>(v, u"Point")
                      .ctor("ii", &point)
                      .ctor("a", [](const Value& a) -> Made<ScPoint> {
                          const auto c = coords<2>(a);
                          return c ? point((*c)[0], (*c)[1]) : NoMatch{};
                      })
                      .prop(u"x", getter<ScPoint>(&IPoint::getX), setter<ScPoint>(&IPoint::setX))
                      .prop(u"y", getter<ScPoint>(&IPoint::getY), setter<ScPoint>(&IPoint::setY)));
    collision.add(Bind::Class<ScLine>(v, u"Line")
                      .ctor("iiii", &line)
                      .ctor("aa", [](const Value& s, const Value& e) -> Made<ScLine> {
                          const auto a = coords<2>(s), b = coords<2>(e);
                          return a && b ? line((*a)[0], (*a)[1], (*b)[0], (*b)[1]) : NoMatch{};
                      })
                      .ctor("a", [](const Value& a) -> Made<ScLine> {
                          const auto c = coords<4>(a);
                          return c ? line((*c)[0], (*c)[1], (*c)[2], (*c)[3]) : NoMatch{};
                      })
                      .prop(u"sx", getter<ScLine>(&ILine::getX1), setter<ScLine>(&ILine::setX1))
                      .prop(u"sy", getter<ScLine>(&ILine::getY1), setter<ScLine>(&ILine::setY1))
                      .prop(u"ex", getter<ScLine>(&ILine::getX2), setter<ScLine>(&ILine::setX2))
                      .prop(u"ey", getter<ScLine>(&ILine::getY2), setter<ScLine>(&ILine::setY2)));
    collision.add(Bind::Class<ScCircle>(v, u"Circle")
                      .ctor("iii", &circle)
                      .ctor("ai", [](const Value& centre, int32_t r) -> Made<ScCircle> {
                          const auto c = coords<2>(centre);
                          return c ? circle((*c)[0], (*c)[1], r) : NoMatch{};
                      })
                      .ctor("a", [](const Value& a) -> Made<ScCircle> {
                          const auto c = coords<3>(a);
                          return c ? circle((*c)[0], (*c)[1], (*c)[2]) : NoMatch{};
                      })
                      .prop(u"x", getter<ScCircle>(&ICircle::getX), setter<ScCircle>(&ICircle::setX))
                      .prop(u"y", getter<ScCircle>(&ICircle::getY), setter<ScCircle>(&ICircle::setY))
                      .prop(u"radius", getter<ScCircle>(&ICircle::getRadius), setter<ScCircle>(&ICircle::setRadius)));
    collision.add(Bind::Class<ScRectangle>(v, u"Rectangle")
                      .ctor("iiii", &rectangle)
                      .ctor("aa", [](const Value& p, const Value& q) -> Made<ScRectangle> {
                          const auto a = coords<2>(p), b = coords<2>(q);
                          return a && b ? rectangle((*a)[0], (*a)[1], (*b)[0], (*b)[1]) : NoMatch{};
                      })
                      .ctor("a", [](const Value& a) -> Made<ScRectangle> {
                          const auto c = coords<4>(a);
                          return c ? rectangle((*c)[0], (*c)[1], (*c)[2], (*c)[3]) : NoMatch{};
                      })
                      .prop(u"left", getter<ScRectangle>(&IRectangle::getLeft), setter<ScRectangle>(&IRectangle::setLeft))
                      .prop(u"top", getter<ScRectangle>(&IRectangle::getTop), setter<ScRectangle>(&IRectangle::setTop))
                      .prop(u"right", getter<ScRectangle>(&IRectangle::getRight), setter<ScRectangle>(&IRectangle::setRight))
                      .prop(u"bottom", getter<ScRectangle>(&IRectangle::getBottom), setter<ScRectangle>(&IRectangle::setBottom)));
    collision.raw(u"intersects", &intersects);
    return collision.store(u"Collision");
}

}  // namespace Quillorane
