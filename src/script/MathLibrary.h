#pragma once
// The Math table: the random number generator, Bezier curves and the angle conversions; the
// element-wise arithmetic, clamping, shuffling and ranges are its prelude.
#include "script/Bound.h"
#include "script/Library.h"

#include <cstdint>
#include <optional>
#include <random>
#include <utility>
#include <vector>

namespace Quillorane {

// A 32-bit Mersenne Twister (MT19937, standard initialisation and tempering) and the seed it
// was started from. Every game that seeds it the same way sees the same numbers.
class ScRandom : public Bound {
public:
    explicit ScRandom(std::int32_t seed) { setSeed(seed); }
    // Restarts the generator exactly as constructing it with seed does.
    void setSeed(std::int32_t seed) {
        seed_ = seed;
        mt_.seed(static_cast<std::uint32_t>(seed));
    }
    std::int32_t getSeed() const { return seed_; }
    // Uniform in [min, max]: the next output scaled onto max - min + 1 values in double
    // precision, so the span never overflows.
    std::int32_t nextInt(std::int32_t min, std::int32_t max);
    std::int32_t nextInt(std::int32_t max) { return nextInt(0, max); }
    std::int32_t nextInt() { return nextInt(0, 2147483647); }
    // Between min and max in single precision; the largest outputs give max itself.
    float nextFloat(float min, float max);
    float nextFloat(float max) { return nextFloat(0.0f, max); }
    float nextFloat() { return nextFloat(0.0f, 1.0f); }

private:
    std::int32_t seed_ = 0;
    std::mt19937 mt_;
};

// A Bezier curve through its control points, evaluated with de Casteljau's rounds in single
// precision.
class ScBezier : public Bound {
public:
    using Point = std::pair<float, float>;
    explicit ScBezier(std::vector<Point> points) : points_(std::move(points)) {}
    // The point at t (not clamped: outside 0..1 the curve is extrapolated); nothing for a curve
    // without points.
    std::optional<Point> get(float t) const;
    std::size_t size() const { return points_.size(); }

private:
    std::vector<Point> points_;
};

// Degrees to radians and back with the single-precision factors.
float toRadian(float degrees);
float toDegree(float radians);

class MathLibrary : public Library {
public:
    bool onLoad(HSQUIRRELVM v) override;
};

}  // namespace Quillorane
