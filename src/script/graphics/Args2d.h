#pragma once
// The array forms of the drawing calls (colours, destinations, rectangles, rotations,
// vertices) read from script arguments. Each reader returns false for a value of the wrong
// type or length, or an element that is not a number, so the call can return 0 and draw
// nothing. Numbers convert as everywhere else: a float where an integer is expected is
// truncated toward zero; colour elements keep their low 8 bits.
#include "graphics/Canvas.h"
#include "script/Binding.h"

#include <memory>
#include <vector>

namespace Quillorane::Gfx {

using Bind::Arg;

// [a] (white with alpha a), [r, g, b] (opaque), [a, r, g, b].
bool readColor(const Arg& arg, QlGraphics::Color& out);
// [x, y] places the source at its own size; [x1, y1, x2, y2] stretches it between the corners.
bool readDestination(const Arg& arg, QlGraphics::Destination& out);
// Exactly [x1, y1, x2, y2].
bool readRect(const Arg& arg, QlGraphics::Rect& out);
// At least `minimum` integers; the first `minimum` are read (circles [x, y, r] and the
// rectangles of drawRectangle).
bool readLeadingInts(const Arg& arg, std::int32_t* out, SQInteger minimum);
// [angle] (pivot 0, 0) or [angle, px, py].
bool readRotation(const Arg& arg, QlGraphics::Rotation& out);
// An integer from 0 to 3; a float or any other type is refused.
bool readBlend(const Arg& arg, int& out);
// Null (no effect) or an instance whose wrapper is a 2D effect.
bool readEffect(const Arg& arg, std::shared_ptr<QlGraphics::IEffect2d>& out);

// A per-vertex colour 0xRRGGBBAA as the canvas's 0xAARRGGBB.
inline QlGraphics::Color vertexColor(std::uint32_t rgba) { return (rgba >> 8) | (rgba << 24); }

// An array of [x, y] or [x, y, c] vertices (c a per-vertex colour, default opaque white).
bool readPoints(const Arg& arg, std::vector<QlGraphics::Point2d>& out);
// An array of [x, y, u, v] or [x, y, u, v, c] vertices.
bool readTexturedVertices(const Arg& arg, std::vector<QlGraphics::Vertex2d>& out);

}  // namespace Quillorane::Gfx
