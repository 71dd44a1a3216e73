#pragma once
// Matrix helpers of the 3D world: 4 x 4 row-major matrices used with row vectors
// (v' = v * M) in a left-handed space, the world matrix of an actor, and the camera's view
// and projection matrices.

#include "graphics/Engine.h"

namespace QlGraphics {

// a * b: applying the result equals applying a, then b.
Matrix multiply(const Matrix& a, const Matrix& b);

Matrix rotationX(float radians);
Matrix rotationY(float radians);
Matrix rotationZ(float radians);
Matrix scaling(float x, float y, float z);
Matrix translation(float x, float y, float z);

// RotX * RotY * RotZ * S * T: the model turns about its own origin first, is then scaled
// along the world axes and finally moved to its position.
Matrix worldMatrix(const Vector3& position, const Vector3& rotation, const Vector3& scale);

// View matrix looking from eye towards at, with up giving the vertical.
Matrix lookAt(const Vector3& eye, const Vector3& at, const Vector3& up);

// Projection with a vertical field of view (radians) and aspect = width / height; depth
// runs from 0 at the near plane to 1 at the far plane.
Matrix perspective(float fieldOfView, float aspect, float nearZ, float farZ);

// (x, y, z, w) * m.
Vector4 transform(const Vector4& v, const Matrix& m);

Vector3 cross(const Vector3& a, const Vector3& b);
float dot(const Vector3& a, const Vector3& b);
// The vector scaled to length 1; a zero vector stays zero.
Vector3 normalize(const Vector3& v);

}  // namespace QlGraphics
