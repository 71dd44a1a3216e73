#pragma once
#include <cstdint>
#include <memory>

#include "graphics/Engine.h"

namespace QlGraphics {

// Where an image's pixels are: a rectangle of a texture. The texture pointer is valid while
// the image that filled the region lives; ITexture::shared_from_this keeps it longer.
struct Region {
  ITexture* texture = nullptr;
  std::uint16_t x = 0, y = 0, width = 0, height = 0;
};

// Anything that can be drawn: images, canvases, videos.
class IImage {
 public:
  virtual ~IImage() = default;
  virtual std::uint16_t getWidth() const = 0;
  virtual std::uint16_t getHeight() const = 0;
  virtual std::shared_ptr<ITexture> getTexture() const = 0;
  // False when the image cannot be drawn now.
  virtual bool getRegion(Region& region) const = 0;
};

}  // namespace QlGraphics
