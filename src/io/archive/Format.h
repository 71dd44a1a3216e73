#pragma once
// The archive layout: a 25-byte header, then a chain of records, each a 4-byte
// length and a scrambled body naming one entry; entry data is stored
// scrambled. Integers are unsigned 32-bit little-endian, offsets absolute.
#include "io/ByteOrder.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Qla {

inline constexpr char kMagic[4] = {'Q', 'L', 'A', '\0'};
inline constexpr char kBanner[20] = "Morvek Archive File";  // 19 letters and a zero
inline constexpr uint32_t kHeaderSize = 25;
inline constexpr uint32_t kBannerOffset = 5;
inline constexpr uint32_t kBannerSize = 20;
inline constexpr uint32_t kFirstRecord = kHeaderSize;

// Body fields.
inline constexpr uint32_t kBodyType = 0;
inline constexpr uint32_t kBodyDataSize = 1;
inline constexpr uint32_t kBodyDataOffset = 5;
inline constexpr uint32_t kBodyNext = 9;
inline constexpr uint32_t kBodyReserved = 13;
inline constexpr uint32_t kBodyName = 17;  // smallest body: the fixed fields

inline constexpr uint8_t kTypeFile = 0;
inline constexpr uint8_t kTypeDirectory = 1;

// The password every runtime uses for its own archives and linked block.
inline constexpr std::string_view kDefaultPassword = "vinqatol";

inline uint32_t loadU32(const uint8_t* p) { return QlIO::loadU32LE(p); }
inline void storeU32(uint8_t* p, uint32_t v) { QlIO::storeU32LE(p, v); }

// The scrambling key of a password: byte i of a block is XORed with
// key[i mod L], key[j] = (p[j] + L) mod 256. Applying it twice restores the block.
class Scrambler {
public:
    explicit Scrambler(std::string_view password) : key_(password) {
        const auto len = static_cast<unsigned>(key_.size());
        for (char& k : key_) k = static_cast<char>(static_cast<unsigned char>(k) + len);
    }

    // Scrambles (or unscrambles) n bytes that sit at index `start` of their block.
    void apply(uint8_t* block, size_t n, size_t start = 0) const {
        const size_t len = key_.size();
        if (len == 0) return;
        size_t k = start % len;
        for (size_t i = 0; i < n; ++i) {
            block[i] ^= static_cast<uint8_t>(key_[k]);
            if (++k == len) k = 0;
        }
    }

    bool empty() const { return key_.empty(); }

private:
    std::string key_;
};

}  // namespace Qla
