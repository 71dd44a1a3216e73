#pragma once
#include <cstdint>
#include <string_view>

#include "graphics/Image.h"

namespace QlGraphics {

// One character as a font supplies it for drawing: up to four layers (layer 0 in the first
// colour, the others in the second colour, e.g. an outline), each a texture region; a layer
// without a texture is skipped.
struct Glyph {
  Region layers[4];
  float advance = 0;      // horizontal pen advance in pixels
  bool lineFeed = false;  // the character starts a new line
};

class IFont {
 public:
  virtual ~IFont() = default;
  // The font size in pixels: glyph height and line advance.
  virtual int getSize() const = 0;
  virtual int getHeight() const = 0;
  // Width in pixels of the text drawn at scale 1 (its widest line).
  virtual int measureWidth(std::u16string_view text) = 0;
  // Fills the glyph of ch; false when the character cannot be drawn.
  virtual bool getGlyph(char16_t ch, Glyph& glyph) = 0;
};

}  // namespace QlGraphics
