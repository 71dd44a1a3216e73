#include "graphics/ImageData.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstring>
#include <limits>

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

} // namespace

ImageData::ImageData(std::uint16_t width, std::uint16_t height)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height * 4, 0)
{
}

bool ImageData::load(const std::uint8_t* bytes, std::size_t size, std::u16string_view nameHint)
{
    width_ = height_ = 0;
    pixels_.clear();
    if (bytes == nullptr || size == 0 || size > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return false;
    initCodecs();

    SDL_RWops* rw = SDL_RWFromConstMem(bytes, static_cast<int>(size));
    if (rw == nullptr)
        return false;
    SurfacePtr decoded(IMG_Load_RW(rw, 0));
    // TGA carries no signature, so it is only tried for files that say they are TGA.
    if (!decoded && lowerExtension(nameHint) == u"tga") {
        SDL_RWseek(rw, 0, RW_SEEK_SET);
        decoded.reset(IMG_LoadTGA_RW(rw));
    }
    SDL_RWclose(rw);
    if (!decoded || decoded->w <= 0 || decoded->h <= 0 || decoded->w > 0xFFFF || decoded->h > 0xFFFF)
        return false;

    // Palette, grey and 24-bit sources all become BGRA; a palette's transparent entries
    // (colour key or per-entry alpha) become alpha 0, sources without alpha get 255.
    SurfacePtr bgra(SDL_ConvertSurfaceFormat(decoded.get(), SDL_PIXELFORMAT_BGRA32, 0));
    if (!bgra)
        return false;
    if (SDL_MUSTLOCK(bgra.get()) && SDL_LockSurface(bgra.get()) != 0)
        return false;

    width_ = static_cast<std::uint16_t>(bgra->w);
    height_ = static_cast<std::uint16_t>(bgra->h);
    pixels_.resize(static_cast<std::size_t>(width_) * height_ * 4);
    const auto* src = static_cast<const std::uint8_t*>(bgra->pixels);
    for (int y = 0; y < height_; ++y)
        std::memcpy(mutableRow(y), src + static_cast<std::ptrdiff_t>(y) * bgra->pitch,
                    static_cast<std::size_t>(width_) * 4);
    if (SDL_MUSTLOCK(bgra.get()))
        SDL_UnlockSurface(bgra.get());
    return true;
}

std::shared_ptr<IImageData> ImageLoader::load(const std::shared_ptr<IFileData>& data)
{
    if (!data)
        return nullptr;
    const std::uint32_t size = data->getSize();
    if (size == 0)
        return nullptr;
    std::vector<std::uint8_t> bytes(size);
    const std::uint32_t got = data->read(bytes.data(), 0, size);
    if (got == 0)
        return nullptr;
    auto image = std::make_shared<ImageData>();
    if (!image->load(bytes.data(), got, data->getName()))
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
