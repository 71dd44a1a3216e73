#include "graphics/world/Transform.h"

#include <cmath>

namespace QlGraphics {

Matrix multiply(const Matrix& a, const Matrix& b)
{
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
    return r;
}

Matrix rotationX(float radians)
{
    const float c = std::cos(radians), s = std::sin(radians);
    Matrix r;
    r.m[1][1] = c;
    r.m[1][2] = s;
    r.m[2][1] = -s;
    r.m[2][2] = c;
    return r;
}

Matrix rotationY(float radians)
{
    const float c = std::cos(radians), s = std::sin(radians);
    Matrix r;
    r.m[0][0] = c;
    r.m[0][2] = -s;
    r.m[2][0] = s;
    r.m[2][2] = c;
    return r;
}

Matrix rotationZ(float radians)
{
    const float c = std::cos(radians), s = std::sin(radians);
    Matrix r;
    r.m[0][0] = c;
    r.m[0][1] = s;
    r.m[1][0] = -s;
    r.m[1][1] = c;
    return r;
}

Matrix scaling(float x, float y, float z)
{
    Matrix r;
    r.m[0][0] = x;
    r.m[1][1] = y;
    r.m[2][2] = z;
    return r;
}

Matrix translation(float x, float y, float z)
{
    Matrix r;
    r.m[3][0] = x;
    r.m[3][1] = y;
    r.m[3][2] = z;
    return r;
}

Matrix worldMatrix(const Vector3& position, const Vector3& rotation, const Vector3& scale)
{
    Matrix m = multiply(rotationX(rotation.x), rotationY(rotation.y));
    m = multiply(m, rotationZ(rotation.z));
    m = multiply(m, scaling(scale.x, scale.y, scale.z));
    return multiply(m, translation(position.x, position.y, position.z));
}

Vector3 cross(const Vector3& a, const Vector3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vector3 normalize(const Vector3& v)
{
    // In double precision, so that the squares of large components (up to the float limit)
    // neither overflow nor vanish; a zero or non-finite vector gives the zero vector.
    const double x = v.x, y = v.y, z = v.z;
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0) || !std::isfinite(length))
        return {};
    return {static_cast<float>(x / length), static_cast<float>(y / length), static_cast<float>(z / length)};
}

Matrix lookAt(const Vector3& eye, const Vector3& at, const Vector3& up)
{
    const Vector3 z = normalize({at.x - eye.x, at.y - eye.y, at.z - eye.z});
    const Vector3 x = normalize(cross(up, z));
    const Vector3 y = cross(z, x);
    Matrix r;
    r.m[0][0] = x.x;
    r.m[0][1] = y.x;
    r.m[0][2] = z.x;
    r.m[1][0] = x.y;
    r.m[1][1] = y.y;
    r.m[1][2] = z.y;
    r.m[2][0] = x.z;
    r.m[2][1] = y.z;
    r.m[2][2] = z.z;
    r.m[3][0] = -dot(x, eye);
    r.m[3][1] = -dot(y, eye);
    r.m[3][2] = -dot(z, eye);
    return r;
}

Matrix perspective(float fieldOfView, float aspect, float nearZ, float farZ)
{
    const float h = 1.0f / std::tan(fieldOfView / 2.0f);
    const float w = h / aspect;
    const float q = farZ / (farZ - nearZ);
    Matrix r;
    r.m[0][0] = w;
    r.m[1][1] = h;
    r.m[2][2] = q;
    r.m[2][3] = 1.0f;
    r.m[3][2] = -nearZ * q;
    r.m[3][3] = 0.0f;
    return r;
}

Vector4 transform(const Vector4& v, const Matrix& m)
{
    return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + v.w * m.m[3][0],
            v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + v.w * m.m[3][1],
            v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + v.w * m.m[3][2],
            v.x * m.m[0][3] + v.y * m.m[1][3] + v.z * m.m[2][3] + v.w * m.m[3][3]};
}

}  // namespace QlGraphics
