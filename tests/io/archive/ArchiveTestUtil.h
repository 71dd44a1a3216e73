#pragma once
// Building archives byte by byte, so tests can describe damaged and unusual
// chains that the writer never produces.
#include "io/archive/Format.h"

#include <cstdint>
#include <string>
#include <vector>

namespace QlaTest {

struct RawRecord {
    uint8_t type = Qla::kTypeFile;
    std::string name;  // stored bytes
    uint32_t dataSize = 0;
    uint32_t dataOffset = 0;
    int64_t next = -1;  // -1: just after this record
};

class RawArchive {
public:
    explicit RawArchive(std::string password) : password_(std::move(password)) {
        bytes_.assign(Qla::kHeaderSize, 0);
        std::copy(std::begin(Qla::kMagic), std::end(Qla::kMagic), bytes_.begin());
        std::copy(std::begin(Qla::kBanner), std::end(Qla::kBanner), bytes_.begin() + Qla::kBannerOffset);
        Qla::Scrambler(password_).apply(bytes_.data() + Qla::kBannerOffset, Qla::kBannerSize);
    }

    // Appends a record; returns its offset.
    uint32_t addRecord(const RawRecord& r) {
        const auto at = static_cast<uint32_t>(bytes_.size());
        std::vector<uint8_t> body(Qla::kBodyName + r.name.size() + 1, 0);
        body[Qla::kBodyType] = r.type;
        Qla::storeU32(body.data() + Qla::kBodyDataSize, r.dataSize);
        Qla::storeU32(body.data() + Qla::kBodyDataOffset, r.dataOffset);
        const auto next = r.next < 0 ? static_cast<uint32_t>(at + 4 + body.size()) : static_cast<uint32_t>(r.next);
        Qla::storeU32(body.data() + Qla::kBodyNext, next);
        std::copy(r.name.begin(), r.name.end(), body.begin() + Qla::kBodyName);
        addRawRecord(body);
        return at;
    }

    // Appends a length and an (unscrambled) body as given.
    void addRawRecord(std::vector<uint8_t> body) {
        uint8_t len[4];
        Qla::storeU32(len, static_cast<uint32_t>(body.size()));
        bytes_.insert(bytes_.end(), len, len + 4);
        Qla::Scrambler(password_).apply(body.data(), body.size());
        bytes_.insert(bytes_.end(), body.begin(), body.end());
    }

    void addLength(uint32_t n) {
        uint8_t len[4];
        Qla::storeU32(len, n);
        bytes_.insert(bytes_.end(), len, len + 4);
    }
    void terminate() { addLength(0); }

    // Appends scrambled entry data; returns its offset.
    uint32_t addData(std::string data) {
        const auto at = static_cast<uint32_t>(bytes_.size());
        Qla::Scrambler(password_).apply(reinterpret_cast<uint8_t*>(data.data()), data.size());
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        return at;
    }

    uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
    std::vector<uint8_t>& bytes() { return bytes_; }

private:
    std::string password_;
    std::vector<uint8_t> bytes_;
};

inline std::string str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }
inline std::vector<uint8_t> bytesOf(std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); }

}  // namespace QlaTest
