#include "io/archive/Source.h"

#include "io/TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace Qla {

namespace {
constexpr uint64_t kMaxSize = std::numeric_limits<uint32_t>::max();
}

MemorySource::MemorySource(const void* data, size_t size) {
    // A block larger than offsets can address stays empty (no archive opens from it) rather
    // than being cut to a size that would read as a different, damaged archive.
    if (data != nullptr && size > 0 && size <= kMaxSize) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        data_.assign(bytes, bytes + size);
    }
}

MemorySource::MemorySource(std::vector<uint8_t> data) : data_(std::move(data)) {
    if (data_.size() > kMaxSize) {
        data_.clear();
        data_.shrink_to_fit();
    }
}

void MemorySource::close() {
    data_.clear();
    data_.shrink_to_fit();
    position_ = 0;
}

uint32_t MemorySource::getSize() const { return static_cast<uint32_t>(data_.size()); }

bool MemorySource::seek(uint32_t position) {
    if (position >= data_.size()) return false;
    position_ = position;
    return true;
}

uint32_t MemorySource::read(void* buffer, uint32_t count) {
    if (buffer == nullptr || count == 0 || position_ >= data_.size()) return 0;
    const uint32_t n = std::min<uint32_t>(count, static_cast<uint32_t>(data_.size()) - position_);
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    return n;
}

FileSource::~FileSource() { close(); }

bool FileSource::open(const std::u16string& path) { return openNative(QlIO::toNativePath(path)); }

bool FileSource::openNative(const std::string& path) { return openFile(path, 0, false, 0); }

bool FileSource::openRange(const std::string& path, uint64_t offset, uint32_t size) {
    return openFile(path, offset, true, size);
}

bool FileSource::openFile(const std::string& path, uint64_t offset, bool ranged, uint32_t size) {
    close();
    if (path.empty()) return false;
    // Opening a FIFO for reading waits for a writer, and a device may never answer: a
    // *.qla beside the game that is one would hang the start. Open without waiting and
    // take only regular files.
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    // Reads of a regular file do not heed the flag on Linux, but some file systems may;
    // the source reads as an ordinary blocking file.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    const auto fileSize = static_cast<uint64_t>(st.st_size);
    if (ranged && (offset > fileSize || size > fileSize - offset)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    base_ = offset;
    // Offsets inside an archive are 32-bit: bytes past 4 GiB are unreachable.
    size_ = ranged ? size : static_cast<uint32_t>(std::min<uint64_t>(fileSize, kMaxSize));
    position_ = 0;
    buffer_.resize(kBufferSize);
    bufferStart_ = 0;
    bufferFill_ = 0;
    return true;
}

void FileSource::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    base_ = 0;
    size_ = 0;
    position_ = 0;
    bufferFill_ = 0;
    buffer_.clear();
    buffer_.shrink_to_fit();
}

bool FileSource::seek(uint32_t position) {
    if (!isOpen() || position >= size_) return false;
    position_ = position;
    return true;
}

uint32_t FileSource::read(void* buffer, uint32_t count) {
    if (!isOpen() || buffer == nullptr || count == 0 || position_ >= size_) return 0;
    count = std::min(count, size_ - position_);
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        const uint64_t pos = position_;
        if (pos >= bufferStart_ && pos < bufferStart_ + bufferFill_) {
            const size_t at = static_cast<size_t>(pos - bufferStart_);
            const size_t n = std::min<size_t>(bufferFill_ - at, count - done);
            std::memcpy(out + done, buffer_.data() + at, n);
            done += static_cast<uint32_t>(n);
            position_ += static_cast<uint32_t>(n);
            continue;
        }
        const uint32_t left = count - done;
        if (left >= kBufferSize) {
            // Large reads go straight into the caller's buffer.
            const ssize_t got = ::pread(fd_, out + done, left, static_cast<off_t>(base_ + pos));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += static_cast<uint32_t>(got);
            position_ += static_cast<uint32_t>(got);
            continue;
        }
        ssize_t got;
        do {
            got = ::pread(fd_, buffer_.data(), std::min<uint64_t>(kBufferSize, size_ - pos),
                          static_cast<off_t>(base_ + pos));
        } while (got < 0 && errno == EINTR);
        if (got <= 0) break;
        bufferStart_ = pos;
        bufferFill_ = static_cast<size_t>(got);
    }
    return done;
}

}  // namespace Qla
