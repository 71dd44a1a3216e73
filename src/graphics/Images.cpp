#include "graphics/Images.h"

#include "graphics/Context.h"
#include "graphics/GraphicsFileLoader.h"
#include "io/IFile.h"

#include <cstdlib>
#include <cstring>

namespace QlGraphics {

std::shared_ptr<ITexture> createTexture(IEngine& engine, const IImageData& data)
{
    if (data.getBitsPerPixel() != 32 || data.getWidth() == 0 || data.getHeight() == 0)
        return nullptr;
    auto texture = engine.createTexture(data.getWidth(), data.getHeight(), TextureFormat::Argb);
    if (!texture)
        return nullptr;
    auto buffer = texture->lock();
    if (!buffer)
        return nullptr;
    for (int y = 0; y < data.getHeight(); ++y)
        std::memcpy(buffer->rowAt(y), data.rowAt(y), static_cast<std::size_t>(data.getWidth()) * 4);
    texture->unlock();
    return texture;
}

std::shared_ptr<IImageData> loadImageData(std::u16string_view path)
{
    auto context = getContext();
    if (!context)
        return nullptr;
    auto files = context->getFileLoader();
    auto images = context->getImageLoader();
    if (!files || !images)
        return nullptr;
    return images->load(files->load(path));
}

bool loadWindowIcon(QlPlatform::NativeWindow& window, IFileLoader& files, std::u16string_view path)
{
    auto data = ImageLoader().load(files.load(path));
    if (!data)
        return false;
    return window.setIcon(data->getBits(), data->getWidth(), data->getHeight(), data->getPitch());
}

std::shared_ptr<ITexture> loadTexture(std::u16string_view path)
{
    auto context = getContext();
    if (!context || !getScreenCanvas() || !context->getEngine())
        return nullptr;
    auto data = loadImageData(path);
    return data ? createTexture(*context->getEngine(), *data) : nullptr;
}

std::shared_ptr<IImage> loadImage(std::u16string_view path)
{
    auto texture = loadTexture(path);
    if (!texture)
        return nullptr;
    return std::make_shared<Image>(std::move(texture));
}

bool saveImage(QlIO::IFileManager& files, std::u16string_view path, const IImage& image, const Rect& source)
{
    const std::int64_t w = std::llabs(static_cast<std::int64_t>(source.x2) - source.x1);
    const std::int64_t h = std::llabs(static_cast<std::int64_t>(source.y2) - source.y1);
    if (w > 0xFFFF || h > 0xFFFF)
        return false;
    return saveImage(files, path, image, source, static_cast<int>(w), static_cast<int>(h));
}

bool saveImage(QlIO::IFileManager& files, std::u16string_view path, const IImage& image, const Rect& source,
               int w, int h)
{
    const ImageFileType type = imageFileTypeOf(path);
    if (type == ImageFileType::Unknown)
        return false;
    auto context = getContext();
    if (!context || !context->getEngine())
        return false;
    if (w <= 0 || h <= 0 || w > 0xFFFF || h > 0xFFFF)
        return false;
    auto canvas = createCanvas(context->getEngine(), static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h));
    if (!canvas)
        return false;
    canvas->clear(0x00000000u);
    if (!canvas->begin())
        return false;
    const bool drawn = canvas->drawImage(&image, Destination{1, 0, 0, w, h}, source, nullptr, BlendMode::Opaque, kWhite);
    canvas->end();
    if (!drawn)
        return false;

    auto texture = canvas->getTexture();
    auto buffer = texture ? texture->lock() : nullptr;
    if (!buffer)
        return false;
    const auto bytes = encodeImage(buffer->getBits(), static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h),
                                   buffer->getPitch(), type);
    texture->unlock();
    if (bytes.empty())
        return false;

    auto out = files.openOutputStream(path, QlIO::OpenTruncate);
    if (!out)
        return false;
    const auto written = out->write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    const bool flushed = out->flush();
    out->close();
    return written == bytes.size() && flushed;
}

namespace {

QlIO::IFileManager* contextFiles()
{
    auto context = getContext();
    if (!context)
        return nullptr;
    auto* loader = dynamic_cast<Quillorane::GraphicsFileLoader*>(context->getFileLoader().get());
    return loader ? loader->getFileManager().get() : nullptr;
}

} // namespace

bool saveImage(std::u16string_view path, const IImage& image, const Rect& source, int width, int height)
{
    QlIO::IFileManager* files = contextFiles();
    return files != nullptr && saveImage(*files, path, image, source, width, height);
}

bool saveImage(std::u16string_view path, const IImage& image, const Rect& source)
{
    QlIO::IFileManager* files = contextFiles();
    return files != nullptr && saveImage(*files, path, image, source);
}

} // namespace QlGraphics
