#include "graphics/font/FontCache.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstring>

namespace QlGraphics {

FontCache::FontCache(std::shared_ptr<IEngine> engine, std::uint16_t pageLimit)
    : engine_(std::move(engine)), pageLimit_(std::min(pageLimit, kMaxPageSize))
{
    if (!engine_)
        return;
    if (auto caps = engine_->getCaps()) {
        pageWidth_ = std::min(caps->getMaxTextureWidth(), pageLimit_);
        pageHeight_ = std::min(caps->getMaxTextureHeight(), pageLimit_);
        // On the OpenGL engine a glyph goes straight into its rectangle of the page; a
        // whole-page lock would read back and re-upload tens of megabytes per glyph.
        directUpload_ = caps->getName() == u"OpenGL";
    }
    newPage();
}

bool FontCache::newPage()
{
    if (!engine_ || pageWidth_ == 0 || pageHeight_ == 0)
        return false;
    auto page = engine_->createTexture(pageWidth_, pageHeight_, TextureFormat::Argb);
    if (!page)
        return false;
    texture_ = std::move(page);
    penX_ = shelfY_ = shelfHeight_ = 0;
    ++pages_;
    return true;
}

int FontCache::add(const std::uint8_t* pixels, std::uint16_t width, std::uint16_t height, std::uint32_t pitch)
{
    if (pixels == nullptr || width == 0 || height == 0 || pitch < width * 4u)
        return -1;
    // A glyph larger than a page can never be stored; do not waste a page on it.
    if (width >= pageWidth_ || height >= pageHeight_)
        return -1;
    if (!texture_ && !newPage())
        return -1;
    if (penX_ + width >= pageWidth_) {
        shelfY_ = static_cast<std::uint16_t>(shelfY_ + shelfHeight_);
        shelfHeight_ = 0;
        penX_ = 0;
    }
    // Checked on every add, not only on a new shelf: a glyph taller than the others on the
    // last shelf must not run past the bottom of the page.
    if (shelfY_ + height >= pageHeight_ && !newPage())
        return -1;

    upload(penX_, shelfY_, pixels, width, height, pitch);
    Entry e;
    e.texture = texture_;
    e.left = penX_;
    e.top = shelfY_;
    e.right = static_cast<std::uint16_t>(penX_ + width);
    e.bottom = static_cast<std::uint16_t>(shelfY_ + height);
    e.width = width;
    e.height = height;
    entries_.push_back(std::move(e));
    penX_ = static_cast<std::uint16_t>(penX_ + width);
    shelfHeight_ = std::max(shelfHeight_, height);
    return static_cast<int>(entries_.size() - 1);
}

void FontCache::upload(std::uint16_t x, std::uint16_t y, const std::uint8_t* pixels, std::uint16_t width,
                       std::uint16_t height, std::uint32_t pitch)
{
    const NativeHandle handle = texture_->getHandle();
    if (directUpload_ && handle != 0 && pitch % 4 == 0) {
        GLint previous = 0, rowLength = 0, alignment = 4, unpackBuffer = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
        glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &unpackBuffer);
        if (unpackBuffer != 0)
            glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(handle));
        glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(pitch / 4));
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
        if (unpackBuffer != 0)
            glBindBuffer(GL_PIXEL_UNPACK_BUFFER, static_cast<GLuint>(unpackBuffer));
        return;
    }
    auto buffer = texture_->lock();
    if (!buffer)
        return;
    for (std::uint16_t row = 0; row < height; ++row)
        std::memcpy(buffer->pixelAt(x, y + row), pixels + static_cast<std::size_t>(row) * pitch,
                    static_cast<std::size_t>(width) * 4);
    texture_->unlock();
}

bool FontCache::get(int entry, Entry& out) const
{
    if (!isValid(entry))
        return false;
    out = entries_[static_cast<std::size_t>(entry)];
    return true;
}

} // namespace QlGraphics
