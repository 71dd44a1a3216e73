#pragma once
// The array forms of the 3D classes: vectors [x, y, z] for positions, rotations and scales,
// and colours [a], [r, g, b] or [a, r, g, b] turned into the engine's ARGB values and back.
#include "graphics/Engine.h"
#include "script/Binding.h"

#include <optional>
#include <vector>

namespace Quillorane::Arrays3d {

// An array of exactly three numbers (integers or floats); nothing for anything else.
std::optional<QlGraphics::Vector3> readVector(const Bind::Value& value);
// [x, y, z] as floats.
std::vector<float> vectorArray(const QlGraphics::Vector3& v);

// Which colour arrays are accepted: all three forms, or only [r, g, b] and [a, r, g, b].
enum class ColorForms { All, RgbOnly };
// A colour array whose elements are numbers; each keeps the low 8 bits of its integer value
// (floats truncated toward zero). [a] is white with alpha a, [r, g, b] is opaque.
std::optional<QlGraphics::Color> readColor(const Bind::Value& value, ColorForms forms = ColorForms::All);
// [a, r, g, b] as integers.
std::vector<int> colorArray(QlGraphics::Color color);

}  // namespace Quillorane::Arrays3d
