#pragma once
// Glyph atlases: glyph bitmaps packed on shelves into large textures ("pages"). Nothing is
// ever evicted; entries keep their page alive, so older pages stay usable.

#include "graphics/Engine.h"
#include "graphics/Image.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace QlGraphics {

class FontCache {
public:
    // The largest page side; smaller when the device's texture limit is lower.
    static constexpr std::uint16_t kMaxPageSize = 4026;

    struct Entry {
        std::shared_ptr<ITexture> texture;
        std::uint16_t left = 0, top = 0, right = 0, bottom = 0, width = 0, height = 0;
    };

    // Makes the first page at once. pageLimit lowers the page side further (tests use
    // small pages to reach shelf and page breaks quickly).
    explicit FontCache(std::shared_ptr<IEngine> engine, std::uint16_t pageLimit = kMaxPageSize);

    bool isValid(int entry) const { return entry >= 0 && static_cast<std::size_t>(entry) < entries_.size(); }
    // Copies a bitmap of 32-bit BGRA rows (pitch bytes apart) into the atlas. Returns the new
    // entry's number, or -1 when it does not fit even in a fresh page (or no page can be made).
    int add(const std::uint8_t* pixels, std::uint16_t width, std::uint16_t height, std::uint32_t pitch);
    int add(const std::uint8_t* pixels, std::uint16_t width, std::uint16_t height)
    {
        return add(pixels, width, height, static_cast<std::uint32_t>(width) * 4);
    }
    bool get(int entry, Entry& out) const;
    bool get(int entry, Region& region) const
    {
        if (!isValid(entry))
            return false;
        const Entry& e = entries_[static_cast<std::size_t>(entry)];
        region = Region{e.texture.get(), e.left, e.top, e.width, e.height};
        return true;
    }

    // The tallest bitmap a page can take (the page side once a page exists).
    std::uint16_t maxBitmapHeight() const { return pageHeight_ != 0 ? pageHeight_ : pageLimit_; }

    std::size_t entryCount() const { return entries_.size(); }
    std::size_t pageCount() const { return pages_; }
    const std::shared_ptr<ITexture>& currentPage() const { return texture_; }

private:
    bool newPage();
    void upload(std::uint16_t x, std::uint16_t y, const std::uint8_t* pixels, std::uint16_t width,
                std::uint16_t height, std::uint32_t pitch);

    std::shared_ptr<IEngine> engine_;
    std::uint16_t pageLimit_;
    bool directUpload_ = false;
    std::shared_ptr<ITexture> texture_;
    std::uint16_t pageWidth_ = 0, pageHeight_ = 0;
    std::uint16_t penX_ = 0, shelfY_ = 0, shelfHeight_ = 0;
    std::size_t pages_ = 0;
    std::vector<Entry> entries_;
};

} // namespace QlGraphics
