#pragma once
// The trailer that marks an archive appended to an executable (its linked
// data block): the last 40 bytes of the file hold the block's offset (u32 LE),
// its size (u32 LE) and a 32-byte magic text.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Qla {

inline constexpr std::string_view kLinkedMagic = "@QUILLORANE_USE_LINKEDDATA_BLOCK";
inline constexpr uint32_t kTrailerSize = 40;
static_assert(kLinkedMagic.size() == 32);

struct LinkedBlockLocation {
    uint32_t offset = 0;
    uint32_t size = 0;
};

// Where the linked block of a file lies; nothing when the file cannot be read,
// has no trailer, or the trailer names a block that is empty or does not lie
// wholly inside the file.
std::optional<LinkedBlockLocation> findLinkedBlock(const std::string& path);

std::array<uint8_t, kTrailerSize> makeTrailer(uint32_t offset, uint32_t size);

}  // namespace Qla
