// World, view and projection matrices against values worked out by hand.
#include "graphics/world/Transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace QlGraphics;

namespace {

constexpr float kHalfPi = std::numbers::pi_v<float> / 2;

Vector4 apply(const Matrix& m, float x, float y, float z) { return transform({x, y, z, 1}, m); }

void expectPoint(const Vector4& v, float x, float y, float z, float w = 1)
{
    EXPECT_NEAR(v.x, x, 1e-5f);
    EXPECT_NEAR(v.y, y, 1e-5f);
    EXPECT_NEAR(v.z, z, 1e-5f);
    EXPECT_NEAR(v.w, w, 1e-5f);
}

TEST(Transform, ScaleAppliesAlongWorldAxesAfterRotation)
{
    // Turned a quarter about y, the model's z axis lies along world x, so a scale of 2 in x
    // stretches the model's z extent, not its x extent.
    const Matrix w = worldMatrix({10, 20, 30}, {0, kHalfPi, 0}, {2, 1, 1});
    expectPoint(apply(w, 1, 0, 0), 10, 20, 29);
    expectPoint(apply(w, 0, 0, 1), 12, 20, 30);
    expectPoint(apply(w, 0, 1, 0), 10, 21, 30);
}

TEST(Transform, RotationsApplyXThenYThenZ)
{
    // x then y: (0,1,0) -> (0,0,1) -> (1,0,0); the other order would give (0,0,1).
    expectPoint(apply(worldMatrix({}, {kHalfPi, kHalfPi, 0}, {1, 1, 1}), 0, 1, 0), 1, 0, 0);
    // y then z: (0,0,1) -> (1,0,0) -> (0,1,0); the other order would give (1,0,0).
    expectPoint(apply(worldMatrix({}, {0, kHalfPi, kHalfPi}, {1, 1, 1}), 0, 0, 1), 0, 1, 0);
    // Left-handed z rotation: x turns towards y.
    expectPoint(apply(rotationZ(kHalfPi), 1, 0, 0), 0, 1, 0);
    expectPoint(apply(rotationX(kHalfPi), 0, 1, 0), 0, 0, 1);
}

TEST(Transform, LookAtBuildsTheViewBasis)
{
    const Matrix straight = lookAt({0, 0, -10}, {0, 0, 0}, {0, 1, 0});
    expectPoint(apply(straight, 0, 0, 0), 0, 0, 10);
    expectPoint(apply(straight, 1, 2, 0), 1, 2, 10);

    // Looking along +x with y up: world +z is to the left (negative view x).
    const Matrix side = lookAt({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    expectPoint(apply(side, 5, 0, 0), 0, 0, 5);
    expectPoint(apply(side, 0, 0, 1), -1, 0, 0);
    expectPoint(apply(side, 0, 1, 0), 0, 1, 0);

    const Matrix moved = lookAt({3, 4, 5}, {3, 4, 6}, {0, 1, 0});
    expectPoint(apply(moved, 3, 4, 5), 0, 0, 0);
    expectPoint(apply(moved, 4, 4, 7), 1, 0, 2);
}

TEST(Transform, PerspectiveMapsNearToZeroAndFarToOne)
{
    const Matrix p = perspective(kHalfPi, 2.0f, 1.0f, 101.0f);
    // h = 1, w = 0.5, q = 1.01.
    EXPECT_NEAR(p.m[0][0], 0.5f, 1e-6f);
    EXPECT_NEAR(p.m[1][1], 1.0f, 1e-6f);
    EXPECT_NEAR(p.m[2][2], 1.01f, 1e-6f);
    EXPECT_EQ(p.m[2][3], 1.0f);
    EXPECT_NEAR(p.m[3][2], -1.01f, 1e-6f);
    EXPECT_EQ(p.m[3][3], 0.0f);
    expectPoint(apply(p, 1, 1, 1), 0.5f, 1, 0, 1);
    const Vector4 far = apply(p, 0, 0, 101);
    EXPECT_NEAR(far.z / far.w, 1.0f, 1e-5f);
    EXPECT_NEAR(far.w, 101.0f, 1e-4f);
}

}  // namespace
