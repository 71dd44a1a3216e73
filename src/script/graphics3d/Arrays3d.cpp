#include "script/graphics3d/Arrays3d.h"

namespace Quillorane::Arrays3d {
namespace {

// Reads element i of the array on top of the stack as a number; false when it is none.
bool numberAt(HSQUIRRELVM v, SQInteger i, SQFloat& asFloat, SQInteger& asInteger) {
    sq_pushinteger(v, i);
    if (SQ_FAILED(sq_rawget(v, -2))) return false;
    bool ok = true;
    switch (sq_gettype(v, -1)) {
    case OT_INTEGER:
        sq_getinteger(v, -1, &asInteger);
        asFloat = static_cast<SQFloat>(asInteger);
        break;
    case OT_FLOAT:
        sq_getfloat(v, -1, &asFloat);
        asInteger = Bind::truncateFloat(asFloat);
        break;
    default: ok = false;
    }
    sq_pop(v, 1);
    return ok;
}

// The numbers of an array of 1 to 4 elements, or nothing when it is not such an array.
template <class F>
bool eachNumber(const Bind::Value& value, SQInteger count, F&& take) {
    HSQUIRRELVM v = value.vm();
    if (!v || value.type() != OT_ARRAY || value.size() != count) return false;
    value.push(v);
    bool ok = true;
    for (SQInteger i = 0; i < count && ok; ++i) {
        SQFloat f = 0;
        SQInteger n = 0;
        ok = numberAt(v, i, f, n);
        if (ok) take(i, f, n);
    }
    sq_pop(v, 1);
    return ok;
}

}  // namespace

std::optional<QlGraphics::Vector3> readVector(const Bind::Value& value) {
    float xyz[3] = {0, 0, 0};
    if (!eachNumber(value, 3, [&](SQInteger i, SQFloat f, SQInteger) { xyz[i] = f; })) return std::nullopt;
    return QlGraphics::Vector3{xyz[0], xyz[1], xyz[2]};
}

std::vector<float> vectorArray(const QlGraphics::Vector3& v) { return {v.x, v.y, v.z}; }

std::optional<QlGraphics::Color> readColor(const Bind::Value& value, ColorForms forms) {
    const SQInteger count = value.type() == OT_ARRAY ? value.size() : -1;
    const bool accepted = count == 3 || count == 4 || (count == 1 && forms == ColorForms::All);
    if (!accepted) return std::nullopt;
    QlGraphics::Color parts[4] = {255, 255, 255, 255};  // a, r, g, b
    const SQInteger first = count == 3 ? 1 : 0;       // [r, g, b] fills r, g, b
    if (!eachNumber(value, count, [&](SQInteger i, SQFloat, SQInteger n) {
            parts[first + i] = static_cast<QlGraphics::Color>(n) & 0xFFu;
        }))
        return std::nullopt;
    return parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3];
}

std::vector<int> colorArray(QlGraphics::Color color) {
    return {static_cast<int>(color >> 24 & 0xFF), static_cast<int>(color >> 16 & 0xFF), static_cast<int>(color >> 8 & 0xFF),
            static_cast<int>(color & 0xFF)};
}

}  // namespace Quillorane::Arrays3d
