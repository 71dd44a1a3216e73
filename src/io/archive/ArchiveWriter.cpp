#include "io/archive/ArchiveWriter.h"

#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>

namespace Qla {

ArchiveWriter::ArchiveWriter(std::string password) : password_(std::move(password)) {}

void ArchiveWriter::addDirectory(std::string name) {
    Entry e;
    e.name = std::move(name);
    e.type = kTypeDirectory;
    entries_.push_back(std::move(e));
}

void ArchiveWriter::addFile(std::string name, std::vector<uint8_t> data) {
    Entry e;
    e.name = std::move(name);
    e.size = data.size();
    e.data = std::move(data);
    entries_.push_back(std::move(e));
}

void ArchiveWriter::addFileFromDisk(std::string name, std::filesystem::path path, uint64_t size) {
    Entry e;
    e.name = std::move(name);
    e.diskPath = std::move(path);
    e.size = size;
    entries_.push_back(std::move(e));
}

bool ArchiveWriter::write(std::ostream& out, std::string* error) const {
    auto fail = [error](std::string why) {
        if (error != nullptr) *error = std::move(why);
        return false;
    };
    const Scrambler scrambler(password_);
    constexpr uint64_t kLimit = std::numeric_limits<uint32_t>::max();

    // Lay out: header, records, terminator, then the data blocks.
    uint64_t pos = kHeaderSize;
    for (const Entry& e : entries_) {
        if (e.name.empty() || e.name.find('\0') != std::string::npos)
            return fail("entry name is empty or holds a zero byte");
        pos += 4 + kBodyName + e.name.size() + 1;
    }
    pos += 4;
    std::vector<uint32_t> dataOffsets;
    dataOffsets.reserve(entries_.size());
    for (const Entry& e : entries_) {
        dataOffsets.push_back(static_cast<uint32_t>(pos));
        pos += e.type == kTypeFile ? e.size : 0;
        if (pos > kLimit) return fail("archive would exceed 4 GiB, the largest the format can address");
    }

    uint8_t header[kHeaderSize] = {};
    std::copy(std::begin(kMagic), std::end(kMagic), header);
    std::copy(std::begin(kBanner), std::end(kBanner), header + kBannerOffset);
    scrambler.apply(header + kBannerOffset, kBannerSize);
    out.write(reinterpret_cast<const char*>(header), kHeaderSize);

    uint32_t recordPos = kHeaderSize;
    std::vector<uint8_t> record;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        const auto bodySize = static_cast<uint32_t>(kBodyName + e.name.size() + 1);
        record.assign(4 + bodySize, 0);
        uint8_t* body = record.data() + 4;
        storeU32(record.data(), bodySize);
        body[kBodyType] = e.type;
        storeU32(body + kBodyDataSize, e.type == kTypeFile ? static_cast<uint32_t>(e.size) : 0);
        storeU32(body + kBodyDataOffset, e.type == kTypeFile ? dataOffsets[i] : 0);
        recordPos += 4 + bodySize;
        storeU32(body + kBodyNext, recordPos);
        std::copy(e.name.begin(), e.name.end(), body + kBodyName);
        scrambler.apply(body, bodySize);
        out.write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
    }
    const uint8_t terminator[4] = {0, 0, 0, 0};
    out.write(reinterpret_cast<const char*>(terminator), 4);

    std::vector<uint8_t> chunk;
    for (const Entry& e : entries_) {
        if (e.type != kTypeFile || e.size == 0) continue;
        if (e.diskPath.empty()) {
            chunk = e.data;
            scrambler.apply(chunk.data(), chunk.size());
            out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
            continue;
        }
        std::ifstream in(e.diskPath, std::ios::binary);
        if (!in) return fail("cannot read " + e.diskPath.string());
        chunk.resize(1 << 20);
        uint64_t done = 0;
        while (done < e.size) {
            const auto want = static_cast<std::streamsize>(std::min<uint64_t>(chunk.size(), e.size - done));
            in.read(reinterpret_cast<char*>(chunk.data()), want);
            if (in.gcount() != want) return fail(e.diskPath.string() + " changed size while packing");
            scrambler.apply(chunk.data(), static_cast<size_t>(want), static_cast<size_t>(done));
            out.write(reinterpret_cast<const char*>(chunk.data()), want);
            done += static_cast<uint64_t>(want);
        }
        if (in.peek() != std::char_traits<char>::eof())
            return fail(e.diskPath.string() + " changed size while packing");
    }
    out.flush();
    if (!out) return fail("write failed");
    return true;
}

bool ArchiveWriter::writeFile(const std::filesystem::path& path, std::string* error) const {
    std::filesystem::path tmp = path;
    tmp += ".partial";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) {
            if (error != nullptr) *error = "cannot create " + tmp.string();
            return false;
        }
        if (!write(out, error)) {
            out.close();
            std::error_code ec;
            std::filesystem::remove(tmp, ec);
            return false;
        }
        out.close();
        if (!out) {
            if (error != nullptr) *error = "write failed: " + tmp.string();
            std::error_code ec;
            std::filesystem::remove(tmp, ec);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        if (error != nullptr) *error = "cannot rename " + tmp.string() + " to " + path.string() + ": " + ec.message();
        std::filesystem::remove(tmp, ec);
        return false;
    }
    return true;
}

std::vector<uint8_t> ArchiveWriter::toBytes() const {
    std::ostringstream out(std::ios::binary);
    if (!write(out, nullptr)) return {};
    const std::string s = out.str();
    return std::vector<uint8_t>(s.begin(), s.end());
}

}  // namespace Qla
