#include "io/archive/Chain.h"

#include <cstring>
#include <map>
#include <vector>

namespace Qla {

HeaderStatus readHeader(ISource& source, const Scrambler& scrambler) {
    uint8_t header[kHeaderSize];
    source.seek(0);
    if (source.read(header, kHeaderSize) < kHeaderSize) return HeaderStatus::TooShort;
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0) return HeaderStatus::BadMagic;
    scrambler.apply(header + kBannerOffset, kBannerSize);
    if (std::memcmp(header + kBannerOffset, kBanner, kBannerSize) != 0) return HeaderStatus::BadBanner;
    return HeaderStatus::Ok;
}

const char* describe(HeaderStatus status) {
    switch (status) {
    case HeaderStatus::Ok: return "header is intact";
    case HeaderStatus::TooShort: return "file is shorter than an archive header";
    case HeaderStatus::BadMagic: return "not an archive (magic bytes differ)";
    case HeaderStatus::BadBanner: return "wrong password or damaged header (banner does not match)";
    }
    return "";
}

const char* describe(ChainEnd end) {
    switch (end) {
    case ChainEnd::Terminator: return "record chain ends with its terminator";
    case ChainEnd::EndOfSource: return "record chain runs off the end of the file without a terminator";
    case ChainEnd::LengthPastEnd: return "record length runs past the end of the file";
    case ChainEnd::TooShort: return "record is shorter than its fixed fields";
    case ChainEnd::NoNameEnd: return "record name has no terminating zero";
    case ChainEnd::Overlap: return "record overlaps an earlier record (the chain loops)";
    }
    return "";
}

namespace {

// Byte ranges [start, end) of the records read so far. Chains written in
// order only ever append, which costs O(1).
class RangeSet {
public:
    bool overlaps(uint32_t start, uint64_t end) const {
        if (start >= maxEnd_) return false;
        auto it = ranges_.upper_bound(start);  // first range starting after `start`
        if (it != ranges_.end() && it->first < end) return true;
        if (it == ranges_.begin()) return false;
        --it;
        return it->second > start;
    }
    void add(uint32_t start, uint64_t end) {
        if (start >= maxEnd_) ranges_.emplace_hint(ranges_.end(), start, end);
        else ranges_.emplace(start, end);
        if (end > maxEnd_) maxEnd_ = end;
    }

private:
    std::map<uint32_t, uint64_t> ranges_;
    uint64_t maxEnd_ = 0;
};

}  // namespace

ChainResult walkChain(ISource& source, const Scrambler& scrambler,
                      const std::function<void(const Record&)>& onRecord) {
    ChainResult result;
    const uint32_t size = source.getSize();
    RangeSet seen;
    std::vector<uint8_t> body;
    for (;;) {
        const uint32_t pos = source.tell();
        result.position = pos;
        uint8_t lengthBytes[4];
        if (pos > size || size - pos < 4 || source.read(lengthBytes, 4) < 4) {
            result.end = ChainEnd::EndOfSource;
            return result;
        }
        const uint32_t n = loadU32(lengthBytes);
        if (n == 0) {
            result.end = ChainEnd::Terminator;
            return result;
        }
        if (n > size - pos - 4) {
            result.end = ChainEnd::LengthPastEnd;
            return result;
        }
        if (n < kBodyName) {
            result.end = ChainEnd::TooShort;
            return result;
        }
        const uint64_t end = static_cast<uint64_t>(pos) + 4 + n;
        if (seen.overlaps(pos, end)) {
            result.end = ChainEnd::Overlap;
            return result;
        }
        body.resize(n);
        if (source.read(body.data(), n) < n) {
            result.end = ChainEnd::LengthPastEnd;
            return result;
        }
        scrambler.apply(body.data(), n);
        const auto* nameBegin = body.data() + kBodyName;
        const auto* nameEnd = static_cast<const uint8_t*>(std::memchr(nameBegin, 0, n - kBodyName));
        if (nameEnd == nullptr) {
            result.end = ChainEnd::NoNameEnd;
            return result;
        }
        seen.add(pos, end);

        Record rec;
        rec.position = pos;
        rec.bodySize = n;
        rec.body = body.data();
        rec.type = body[kBodyType];
        rec.dataSize = loadU32(body.data() + kBodyDataSize);
        rec.dataOffset = loadU32(body.data() + kBodyDataOffset);
        rec.next = loadU32(body.data() + kBodyNext);
        rec.rawName = std::string_view(reinterpret_cast<const char*>(nameBegin),
                                       static_cast<size_t>(nameEnd - nameBegin));
        ++result.records;
        onRecord(rec);
        // A next offset that cannot be sought (at or past the end) leaves the
        // reader just after this record.
        if (rec.next != source.tell()) source.seek(rec.next);
    }
}

}  // namespace Qla
