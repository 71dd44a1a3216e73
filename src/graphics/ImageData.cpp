#include "graphics/ImageData.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace QlGraphics {
namespace {

// The codec libraries are brought up once; later calls are no-ops.
void initCodecs()
{
    static const bool done = [] {
        IMG_Init(IMG_INIT_PNG | IMG_INIT_JPG | IMG_INIT_TIF | IMG_INIT_WEBP);
        return true;
    }();
    (void)done;
}

std::u16string lowerExtension(std::u16string_view path)
{
    const auto slash = path.find_last_of(u"/\\");
    const auto dot = path.rfind(u'.');
    if (dot == std::u16string_view::npos || (slash != std::u16string_view::npos && dot < slash))
        return {};
    std::u16string ext(path.substr(dot + 1));
    for (auto& c : ext)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return ext;
}

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// A write-only SDL stream that grows a byte vector; seeking back (as the BMP writer does to
// patch its header) overwrites in place.
struct VectorSink {
    std::vector<std::uint8_t> bytes;
    std::size_t position = 0;
};

Sint64 sinkSize(SDL_RWops* rw)
{
    return static_cast<Sint64>(static_cast<VectorSink*>(rw->hidden.unknown.data1)->bytes.size());
}

Sint64 sinkSeek(SDL_RWops* rw, Sint64 offset, int whence)
{
    auto* sink = static_cast<VectorSink*>(rw->hidden.unknown.data1);
    Sint64 base = 0;
    if (whence == RW_SEEK_CUR)
        base = static_cast<Sint64>(sink->position);
    else if (whence == RW_SEEK_END)
        base = static_cast<Sint64>(sink->bytes.size());
    const Sint64 target = base + offset;
    if (target < 0)
        return SDL_SetError("seek before start");
    sink->position = static_cast<std::size_t>(target);
    return target;
}

size_t sinkRead(SDL_RWops*, void*, size_t, size_t)
{
    return 0;
}

size_t sinkWrite(SDL_RWops* rw, const void* ptr, size_t size, size_t count)
{
    auto* sink = static_cast<VectorSink*>(rw->hidden.unknown.data1);
    const std::size_t total = size * count;
    if (total == 0)
        return count;
    if (sink->position + total > sink->bytes.size())
        sink->bytes.resize(sink->position + total);
    std::memcpy(sink->bytes.data() + sink->position, ptr, total);
    sink->position += total;
    return count;
}

int sinkClose(SDL_RWops* rw)
{
    SDL_FreeRW(rw);
    return 0;
}

SDL_RWops* openSink(VectorSink& sink)
{
    SDL_RWops* rw = SDL_AllocRW();
    if (rw == nullptr)
        return nullptr;
    rw->size = sinkSize;
    rw->seek = sinkSeek;
    rw->read = sinkRead;
    rw->write = sinkWrite;
    rw->close = sinkClose;
    rw->type = SDL_RWOPS_UNKNOWN;
    rw->hidden.unknown.data1 = &sink;
    return rw;
}

std::uint32_t le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// A BMP header's size fields, checked before decoding: the decoder allocates whatever size
// the header claims, so a damaged header must not ask for gigabytes. Uncompressed pixel
// rows must fit in the file; run-length data may expand, but not without bound.
bool plausibleBmp(const std::uint8_t* bytes, std::size_t size)
{
    if (size < 26)
        return false;
    const std::uint32_t headerSize = le32(bytes + 14);
    std::int64_t width = 0, height = 0, bits = 0, compression = 0;
    if (headerSize == 12) {
        width = bytes[18] | bytes[19] << 8;
        height = bytes[20] | bytes[21] << 8;
        bits = bytes[24] | bytes[25] << 8;
    } else {
        if (size < 34)
            return false;
        width = static_cast<std::int32_t>(le32(bytes + 18));
        height = static_cast<std::int32_t>(le32(bytes + 22));
        bits = bytes[28] | bytes[29] << 8;
        compression = le32(bytes + 30);
    }
    if (height < 0)
        height = -height;
    if (width <= 0 || width > 0xFFFF || height <= 0 || height > 0xFFFF)
        return false;
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    if (uncompressed && bits > 0)
        return ((width * bits + 31) / 32) * 4 * height <= static_cast<std::int64_t>(size);
    return width * height <= static_cast<std::int64_t>(size) * 256;
}

} // namespace

ImageData::ImageData(std::uint16_t width, std::uint16_t height)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height * 4, 0)
{
}

bool ImageData::load(const std::uint8_t* bytes, std::size_t size, std::u16string_view nameHint)
{
    width_ = height_ = 0;
    pixels_.clear();
    // A small file may claim a huge picture: when its pixels cannot be held, the image does
    // not load; the game goes on.
    try {
        return decode(bytes, size, nameHint);
    } catch (const std::bad_alloc&) {
        width_ = height_ = 0;
        pixels_.clear();
        return false;
    }
}

bool ImageData::decode(const std::uint8_t* bytes, std::size_t size, std::u16string_view nameHint)
{
    if (bytes == nullptr || size == 0 || size > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return false;
    initCodecs();

    SDL_RWops* rw = SDL_RWFromConstMem(bytes, static_cast<int>(size));
    if (rw == nullptr)
        return false;
    // Only the formats games ship are decoded (the codec library knows more, among them
    // vector and editor formats that a damaged file could be mistaken for).
    const char* type = nullptr;
    if (IMG_isPNG(rw))
        type = "PNG";
    else if (IMG_isJPG(rw))
        type = "JPG";
    else if (IMG_isBMP(rw))
        type = plausibleBmp(bytes, size) ? "BMP" : nullptr;
    else if (IMG_isGIF(rw))
        type = "GIF";
    else if (IMG_isTIF(rw))
        type = "TIF";
    else if (IMG_isWEBP(rw))
        type = "WEBP";
    else if (lowerExtension(nameHint) == u"tga")
        type = "TGA"; // TGA carries no signature: only tried for files that say they are TGA
    SurfacePtr decoded(type != nullptr ? IMG_LoadTyped_RW(rw, 0, type) : nullptr);
    SDL_RWclose(rw);
    if (!decoded || decoded->w <= 0 || decoded->h <= 0 || decoded->w > 0xFFFF || decoded->h > 0xFFFF)
        return false;

    const int w = decoded->w, h = decoded->h;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
    const bool keyed = SDL_HasColorKey(decoded.get()) == SDL_TRUE;
    if (!SDL_ISPIXELFORMAT_INDEXED(decoded->format->format) && !keyed) {
        // True-colour sources convert straight into the image (sources without alpha get 255).
        if (SDL_MUSTLOCK(decoded.get()) && SDL_LockSurface(decoded.get()) != 0)
            return false;
        const int failed = SDL_ConvertPixels(w, h, decoded->format->format, decoded->pixels, decoded->pitch,
                                             SDL_PIXELFORMAT_BGRA32, pixels.data(), w * 4);
        if (SDL_MUSTLOCK(decoded.get()))
            SDL_UnlockSurface(decoded.get());
        if (failed != 0)
            return false;
    } else {
        // Palette and grey sources go through a surface conversion, which turns the colour key
        // into alpha 0 and keeps each palette entry's own alpha.
        SurfacePtr bgra(SDL_ConvertSurfaceFormat(decoded.get(), SDL_PIXELFORMAT_BGRA32, 0));
        if (!bgra || (SDL_MUSTLOCK(bgra.get()) && SDL_LockSurface(bgra.get()) != 0))
            return false;
        const auto* src = static_cast<const std::uint8_t*>(bgra->pixels);
        for (int y = 0; y < h; ++y)
            std::memcpy(pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w) * 4,
                        src + static_cast<std::ptrdiff_t>(y) * bgra->pitch, static_cast<std::size_t>(w) * 4);
        if (SDL_MUSTLOCK(bgra.get()))
            SDL_UnlockSurface(bgra.get());
    }
    width_ = static_cast<std::uint16_t>(w);
    height_ = static_cast<std::uint16_t>(h);
    pixels_ = std::move(pixels);
    return true;
}

std::vector<std::uint8_t> readFileData(IFileData& data)
{
    std::vector<std::uint8_t> bytes(data.getSize());
    std::uint32_t done = 0;
    while (done < bytes.size()) {
        const std::uint32_t n = data.read(bytes.data() + done, done, static_cast<std::uint32_t>(bytes.size()) - done);
        if (n == 0)
            break;
        done += n;
    }
    bytes.resize(done);
    return bytes;
}

std::shared_ptr<IImageData> ImageLoader::load(const std::shared_ptr<IFileData>& data)
{
    if (!data)
        return nullptr;
    const std::vector<std::uint8_t> bytes = readFileData(*data);
    if (bytes.empty())
        return nullptr;
    auto image = std::make_shared<ImageData>();
    if (!image->load(bytes.data(), bytes.size(), data->getName()))
        return nullptr;
    return image;
}

ImageFileType imageFileTypeOf(std::u16string_view path)
{
    const std::u16string ext = lowerExtension(path);
    if (ext == u"png")
        return ImageFileType::Png;
    if (ext == u"jpg" || ext == u"jpeg" || ext == u"jpe" || ext == u"jfif")
        return ImageFileType::Jpeg;
    if (ext == u"bmp" || ext == u"dib")
        return ImageFileType::Bmp;
    return ImageFileType::Unknown;
}

std::vector<std::uint8_t> encodeImage(const std::uint8_t* bgra, std::uint16_t width, std::uint16_t height,
                                      std::uint32_t pitch, ImageFileType type)
{
    if (bgra == nullptr || width == 0 || height == 0 || pitch < width * 4u || type == ImageFileType::Unknown)
        return {};
    initCodecs();
    SurfacePtr surface(SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint8_t*>(bgra), width, height, 32,
                                                          static_cast<int>(pitch), SDL_PIXELFORMAT_BGRA32));
    if (!surface)
        return {};

    VectorSink sink;
    SDL_RWops* rw = openSink(sink);
    if (rw == nullptr)
        return {};
    int result = -1;
    switch (type) {
    case ImageFileType::Png:
        result = IMG_SavePNG_RW(surface.get(), rw, 0);
        break;
    case ImageFileType::Jpeg: {
        // JPEG has no alpha: encode the colour channels only.
        SurfacePtr rgb(SDL_ConvertSurfaceFormat(surface.get(), SDL_PIXELFORMAT_RGB24, 0));
        result = rgb ? IMG_SaveJPG_RW(rgb.get(), rw, 0, 90) : -1;
        break;
    }
    case ImageFileType::Bmp:
        result = SDL_SaveBMP_RW(surface.get(), rw, 0);
        break;
    case ImageFileType::Unknown:
        break;
    }
    SDL_RWclose(rw);
    if (result != 0)
        return {};
    return std::move(sink.bytes);
}

} // namespace QlGraphics
