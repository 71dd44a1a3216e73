#pragma once
// Loaded file bytes, decoded bitmaps and the loaders that make them.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace QlGraphics {

// The bytes of one file, either held in memory or read on demand from an open stream.
class IFileData {
public:
    virtual ~IFileData() = default;
    // The path the data was loaded from.
    virtual std::u16string getName() const = 0;
    virtual std::uint32_t getSize() const = 0;
    // Copies up to size bytes starting at offset; returns how many were copied
    // (0 for a null buffer or an offset at or past the end).
    virtual std::uint32_t read(void* buffer, std::uint32_t offset, std::uint32_t size) = 0;
};

// All of a file's bytes, read in as many pieces as its reads hand out; shorter than getSize()
// only when a read gives nothing before the end.
std::vector<std::uint8_t> readFileData(IFileData& data);

class IFileLoader {
public:
    virtual ~IFileLoader() = default;
    // Empty when the path cannot be opened.
    virtual std::shared_ptr<IFileData> load(std::u16string_view path) = 0;
};

// A decoded bitmap in system memory: top-down rows, 32 bits per pixel, bytes B, G, R, A.
class IImageData {
public:
    virtual ~IImageData() = default;
    virtual std::uint16_t getWidth() const = 0;
    virtual std::uint16_t getHeight() const = 0;
    virtual std::uint32_t getBitsPerPixel() const = 0;
    virtual std::int32_t getPitch() const = 0;
    virtual const std::uint8_t* pixelAt(int x, int y) const = 0;
    virtual const std::uint8_t* rowAt(int y) const = 0;
    virtual const std::uint8_t* getBits() const = 0;
    // Decodes an encoded image (any supported format); false leaves the data empty.
    virtual bool load(const std::uint8_t* bytes, std::size_t size, std::u16string_view nameHint) = 0;
};

class IImageLoader {
public:
    virtual ~IImageLoader() = default;
    // Empty for an empty argument or bytes that do not decode.
    virtual std::shared_ptr<IImageData> load(const std::shared_ptr<IFileData>& data) = 0;
};

// A bitmap of 32-bit BGRA pixels, top row first, no padding between rows.
class ImageData : public IImageData {
public:
    ImageData() = default;
    // An image of the given size with every pixel transparent black.
    ImageData(std::uint16_t width, std::uint16_t height);

    std::uint16_t getWidth() const override { return width_; }
    std::uint16_t getHeight() const override { return height_; }
    std::uint32_t getBitsPerPixel() const override { return 32; }
    std::int32_t getPitch() const override { return static_cast<std::int32_t>(width_) * 4; }
    const std::uint8_t* pixelAt(int x, int y) const override
    {
        return pixels_.data() + static_cast<std::size_t>(y) * width_ * 4 + static_cast<std::size_t>(x) * 4;
    }
    const std::uint8_t* rowAt(int y) const override { return pixelAt(0, y); }
    const std::uint8_t* getBits() const override { return pixels_.data(); }
    bool load(const std::uint8_t* bytes, std::size_t size, std::u16string_view nameHint) override;

    std::uint8_t* mutableRow(int y) { return pixels_.data() + static_cast<std::size_t>(y) * width_ * 4; }
    bool empty() const { return pixels_.empty(); }

private:
    bool decode(const std::uint8_t* bytes, std::size_t size, std::u16string_view nameHint);

    std::uint16_t width_ = 0;
    std::uint16_t height_ = 0;
    std::vector<std::uint8_t> pixels_;
};

// Decodes BMP, PNG, JPEG, GIF, TIFF, WebP (and TGA for names ending in ".tga").
class ImageLoader : public IImageLoader {
public:
    std::shared_ptr<IImageData> load(const std::shared_ptr<IFileData>& data) override;
};

// The encoded forms saveImage can write.
enum class ImageFileType { Unknown, Png, Jpeg, Bmp };

// Chooses the format from the path's extension (png; jpg, jpeg, jpe, jfif; bmp, dib), any case.
ImageFileType imageFileTypeOf(std::u16string_view path);

// Encodes top-down BGRA rows (pitch bytes apart). Empty on failure or an unknown type.
std::vector<std::uint8_t> encodeImage(const std::uint8_t* bgra, std::uint16_t width, std::uint16_t height,
                                      std::uint32_t pitch, ImageFileType type);

} // namespace QlGraphics
