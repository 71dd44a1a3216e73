#pragma once
// Drawable images made from image files, and saving drawn images back to files.

#include "graphics/Canvas.h"
#include "graphics/ImageData.h"
#include "graphics/Image.h"
#include "io/IFileManager.h"
#include "platform/Video.h"

#include <memory>
#include <string_view>

namespace QlGraphics {

// An image over one whole texture, at (0, 0) with the texture's requested size.
class Image : public IImage {
public:
    explicit Image(std::shared_ptr<ITexture> texture) : texture_(std::move(texture)) {}
    std::uint16_t getWidth() const override { return texture_->getWidth(); }
    std::uint16_t getHeight() const override { return texture_->getHeight(); }
    std::shared_ptr<ITexture> getTexture() const override { return texture_; }
    bool getRegion(Region& region) const override
    {
        region = Region{texture_.get(), 0, 0, texture_->getWidth(), texture_->getHeight()};
        return true;
    }

private:
    std::shared_ptr<ITexture> texture_;
};

// A new ARGB texture holding the image data's pixels; empty on failure.
std::shared_ptr<ITexture> createTexture(IEngine& engine, const IImageData& data);

// Through the graphics context's file loader and image loader; empty when either is
// missing, the file is missing or it does not decode.
std::shared_ptr<IImageData> loadImageData(std::u16string_view path);
// Loads an image through the file loader (any format the image loader decodes) and makes it
// the window's icon. False when the file is missing or does not decode; the window then keeps
// its default icon. The start-up sequence calls it with "icon.png".
bool loadWindowIcon(QlPlatform::NativeWindow& window, IFileLoader& files, std::u16string_view path);
// Needs the context and the screen canvas.
std::shared_ptr<ITexture> loadTexture(std::u16string_view path);
std::shared_ptr<IImage> loadImage(std::u16string_view path);

// Draws the source rectangle of the image onto a canvas of width x height (scaling it to
// fill the canvas) and writes the canvas's pixels as PNG, JPEG or BMP, chosen by the path's
// extension (false for any other extension, or a size outside 1..65535). The pixels are
// copied, not blended, so alpha is saved as it is.
bool saveImage(QlIO::IFileManager& files, std::u16string_view path, const IImage& image, const Rect& source,
               int width, int height);
// At the source rectangle's own size.
bool saveImage(QlIO::IFileManager& files, std::u16string_view path, const IImage& image, const Rect& source);
// The same through the file manager the context's file loader reads from.
bool saveImage(std::u16string_view path, const IImage& image, const Rect& source, int width, int height);
bool saveImage(std::u16string_view path, const IImage& image, const Rect& source);

} // namespace QlGraphics
