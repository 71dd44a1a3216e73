#include "script/graphics/Args2d.h"

#include "script/Interfaces.h"

namespace Quillorane::Gfx {

namespace {

using namespace QlGraphics;

// One number of an array: its value both as an integer (a float truncated) and as a float.
struct Number {
    SQInteger i = 0;
    SQFloat f = 0;
};

// Reads element k of the array at idx (an absolute slot); false when it is not a number.
bool element(HSQUIRRELVM v, SQInteger idx, SQInteger k, Number& out) {
    sq_pushinteger(v, k);
    if (SQ_FAILED(sq_rawget(v, idx))) return false;
    bool ok = true;
    switch (sq_gettype(v, -1)) {
    case OT_INTEGER:
        sq_getinteger(v, -1, &out.i);
        out.f = static_cast<SQFloat>(out.i);
        break;
    case OT_FLOAT:
        sq_getfloat(v, -1, &out.f);
        out.i = Bind::truncateFloat(out.f);
        break;
    default: ok = false;
    }
    sq_poptop(v);
    return ok;
}

// The length of the array at idx, -1 when the value is not an array.
SQInteger arrayLength(HSQUIRRELVM v, SQInteger idx) {
    return sq_gettype(v, idx) == OT_ARRAY ? sq_getsize(v, idx) : -1;
}

// The first n elements of the array at idx.
bool elements(HSQUIRRELVM v, SQInteger idx, SQInteger n, Number* out) {
    for (SQInteger k = 0; k < n; ++k)
        if (!element(v, idx, k, out[k])) return false;
    return true;
}

std::int32_t i32(const Number& n) { return static_cast<std::int32_t>(n.i); }
std::uint32_t byte(const Number& n) { return static_cast<std::uint32_t>(n.i) & 0xFFu; }

// Calls each(slot, length) for every element of the array `arg` that is itself an array,
// with that element pushed at slot; false at the first element that is not an array or when
// each returns false.
template <class F>
bool forEachRow(const Arg& arg, F each) {
    HSQUIRRELVM v = arg.vm;
    const SQInteger n = arg.idx != 0 ? arrayLength(v, arg.idx) : -1;
    if (n < 0) return false;
    for (SQInteger k = 0; k < n; ++k) {
        sq_pushinteger(v, k);
        if (SQ_FAILED(sq_rawget(v, arg.idx))) return false;
        const SQInteger slot = sq_gettop(v);
        const SQInteger len = arrayLength(v, slot);
        const bool ok = len >= 0 && each(slot, len);
        sq_poptop(v);
        if (!ok) return false;
    }
    return true;
}

}  // namespace

bool readColor(const Arg& arg, Color& out) {
    if (arg.idx == 0) return false;
    Number c[4];
    const SQInteger n = arrayLength(arg.vm, arg.idx);
    if ((n != 1 && n != 3 && n != 4) || !elements(arg.vm, arg.idx, n, c)) return false;
    switch (n) {
    case 1: out = byte(c[0]) << 24 | 0x00FFFFFFu; break;
    case 3: out = 0xFF000000u | byte(c[0]) << 16 | byte(c[1]) << 8 | byte(c[2]); break;
    default: out = byte(c[0]) << 24 | byte(c[1]) << 16 | byte(c[2]) << 8 | byte(c[3]); break;
    }
    return true;
}

bool readDestination(const Arg& arg, Destination& out) {
    if (arg.idx == 0) return false;
    Number d[4];
    const SQInteger n = arrayLength(arg.vm, arg.idx);
    if ((n != 2 && n != 4) || !elements(arg.vm, arg.idx, n, d)) return false;
    if (n == 2) {
        out = Destination{0, i32(d[0]), i32(d[1]), 0, 0};
    } else {
        out = Destination{1, i32(d[0]), i32(d[1]), i32(d[2]), i32(d[3])};
    }
    return true;
}

bool readRect(const Arg& arg, Rect& out) {
    if (arg.idx == 0) return false;
    Number r[4];
    if (arrayLength(arg.vm, arg.idx) != 4 || !elements(arg.vm, arg.idx, 4, r)) return false;
    out = Rect{i32(r[0]), i32(r[1]), i32(r[2]), i32(r[3])};
    return true;
}

bool readLeadingInts(const Arg& arg, std::int32_t* out, SQInteger minimum) {
    if (arg.idx == 0 || minimum > 4) return false;
    Number r[4];
    if (arrayLength(arg.vm, arg.idx) < minimum || !elements(arg.vm, arg.idx, minimum, r)) return false;
    for (SQInteger k = 0; k < minimum; ++k) out[k] = i32(r[k]);
    return true;
}

bool readRotation(const Arg& arg, Rotation& out) {
    if (arg.idx == 0) return false;
    Number r[3];
    const SQInteger n = arrayLength(arg.vm, arg.idx);
    if ((n != 1 && n != 3) || !elements(arg.vm, arg.idx, n, r)) return false;
    out = Rotation{static_cast<float>(r[0].f), n == 3 ? i32(r[1]) : 0, n == 3 ? i32(r[2]) : 0};
    return true;
}

bool readBlend(const Arg& arg, int& out) {
    if (arg.type() != OT_INTEGER) return false;
    SQInteger b = 0;
    sq_getinteger(arg.vm, arg.idx, &b);
    if (b < BlendMode::Opaque || b > BlendMode::Subtract) return false;
    out = static_cast<int>(b);
    return true;
}

bool readEffect(const Arg& arg, std::shared_ptr<IEffect2d>& out) {
    if (arg.isNull()) {
        out.reset();
        return true;
    }
    auto* effect = dynamic_cast<SuEffect2d*>(Bind::boundAt(arg.vm, arg.idx));
    if (effect == nullptr) return false;
    out = effect->getEffect();
    return out != nullptr;
}

bool readPoints(const Arg& arg, std::vector<Point2d>& out) {
    out.clear();
    HSQUIRRELVM v = arg.vm;
    return forEachRow(arg, [&](SQInteger slot, SQInteger len) {
        Number p[3];
        if ((len != 2 && len != 3) || !elements(v, slot, len, p)) return false;
        const Color c = len == 3 ? vertexColor(static_cast<std::uint32_t>(p[2].i)) : kWhite;
        out.push_back(Point2d{static_cast<float>(i32(p[0])), static_cast<float>(i32(p[1])), 0.0f, c});
        return true;
    });
}

bool readTexturedVertices(const Arg& arg, std::vector<Vertex2d>& out) {
    out.clear();
    HSQUIRRELVM v = arg.vm;
    return forEachRow(arg, [&](SQInteger slot, SQInteger len) {
        Number p[5];
        if ((len != 4 && len != 5) || !elements(v, slot, len, p)) return false;
        const Color c = len == 5 ? vertexColor(static_cast<std::uint32_t>(p[4].i)) : kWhite;
        out.push_back(Vertex2d{static_cast<float>(i32(p[0])), static_cast<float>(i32(p[1])), 0.0f, c,
                               static_cast<float>(p[2].f), static_cast<float>(p[3].f)});
        return true;
    });
}

}  // namespace Quillorane::Gfx
