#include "script/MathLibrary.h"

#include "script/Binding.h"

#include <ctime>

namespace Quillorane {

std::int32_t ScRandom::nextInt(std::int32_t min, std::int32_t max) {
    const double u = static_cast<double>(mt_()) / 4294967296.0;
    const double v = min + u * (static_cast<double>(max) - static_cast<double>(min) + 1.0);
    return v < max ? static_cast<std::int32_t>(v) : max;
}

float ScRandom::nextFloat(float min, float max) {
    const float u = static_cast<float>(static_cast<double>(mt_()) / 4294967297.0);
    return min + (max - min) * u;
}

std::optional<ScBezier::Point> ScBezier::get(float t) const {
    if (points_.empty()) return std::nullopt;
    std::vector<Point> p = points_;
    for (std::size_t round = 1; round < p.size(); ++round) {
        for (std::size_t i = 0; i + round < p.size(); ++i) {
            p[i].first += (p[i + 1].first - p[i].first) * t;
            p[i].second += (p[i + 1].second - p[i].second) * t;
        }
    }
    return p[0];
}

float toRadian(float degrees) { return degrees * 0.01745329238474369f; }
float toDegree(float radians) { return radians * 57.2957763671875f; }

namespace {

// Control points from an array of [x, y] arrays; NoMatch for anything else.
Bind::Made<ScBezier> makeBezier(const Bind::Value& points) {
    std::vector<ScBezier::Point> list;
    const SQInteger n = points.size();
    list.reserve(static_cast<std::size_t>(n));
    for (SQInteger i = 0; i < n; ++i) {
        const auto xy = Bind::numbersOf<float, 2>(Bind::elementOf(points, i));
        if (!xy) return Bind::NoMatch{};
        list.emplace_back((*xy)[0], (*xy)[1]);
    }
    return new ScBezier(std::move(list));
}

std::optional<std::vector<float>> bezierPoint(ScBezier* curve, float t) {
    if (!curve) return std::nullopt;
    const auto p = curve->get(t);
    if (!p) return std::nullopt;
    return std::vector<float>{p->first, p->second};
}

}  // namespace

bool MathLibrary::onLoad(HSQUIRRELVM v) {
    Bind::Table math(v);
    math.add(Bind::Class<ScRandom>(v, u"Random")
                 .ctor("", [] { return new ScRandom(static_cast<std::int32_t>(std::time(nullptr))); })
                 .ctor("i", [](std::int32_t seed) { return new ScRandom(seed); })
                 .method(u"getSeed", &ScRandom::getSeed)
                 .method(u"setSeed", &ScRandom::setSeed)
                 .overload(u"nextInt", [](ScRandom& r) { return r.nextInt(); })
                 .overload(u"nextInt", [](ScRandom& r, std::int32_t max) { return r.nextInt(max); })
                 .overload(u"nextInt", [](ScRandom& r, std::int32_t min, std::int32_t max) { return r.nextInt(min, max); })
                 .overload(u"nextFloat", [](ScRandom& r) { return r.nextFloat(); })
                 .overload(u"nextFloat", [](ScRandom& r, float max) { return r.nextFloat(max); })
                 .overload(u"nextFloat", [](ScRandom& r, float min, float max) { return r.nextFloat(min, max); }));
    math.add(Bind::Class<ScBezier>(v, u"Bezier").ctor("a", &makeBezier).method(u"get", &bezierPoint));
    math.func(u"toRadian", &toRadian).func(u"toDegree", &toDegree);
    return math.store(u"Math") && runPrelude(v, "math");
}

}  // namespace Quillorane
