#include "io/FileStream.h"

#include "io/IFile.h"
#include "io/TextCodec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace QlIO::Core {

namespace {

constexpr uint32_t clampU32(uint64_t v)
{
    return v > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                    : static_cast<uint32_t>(v);
}

} // namespace

FileStream::~FileStream()
{
    close();
}

bool FileStream::open(const std::u16string& path, unsigned access, uint32_t options)
{
    close();
    bad_ = false;
    const bool read = access & Read;
    const bool write = access & Write;
    const bool truncate = options & OpenTruncate;
    const bool append = (options & OpenAppend) && write; // appending means nothing to a reader
    if ((!read && !write) || (truncate && append) || (truncate && !write) || path.empty() ||
        path.find(u'\0') != std::u16string::npos)
        return false;

    int flags = O_CLOEXEC;
    if (read && write)
        flags |= O_RDWR;
    else if (write)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    if (write && (truncate || append || !read))
        flags |= O_CREAT;
    if (write && (truncate || (!read && !append)))
        flags |= O_TRUNC;
    // Every appended write lands at the end of the file as it is then, so two streams (or
    // two programs) appending to one file never overwrite each other's lines.
    if (append)
        flags |= O_APPEND;
    // A pipe or device could block the game forever on open or read; only regular files.
    flags |= O_NONBLOCK;

    const std::string native = toNativePath(path);
    int fd;
    do {
        fd = ::open(native.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    readable_ = read;
    writable_ = write;
    append_ = append;
    sizeAtOpen_ = static_cast<uint64_t>(st.st_size);
    position_ = (options & OpenAtEnd) ? sizeAtOpen_ : 0;
    readStart_ = 0;
    readLength_ = 0;
    writeStart_ = 0;
    writeLength_ = 0;
    return true;
}

void FileStream::close()
{
    if (fd_ < 0)
        return;
    // Close has no result to give: a failed write-out (disk full, I/O error) is at least
    // reported on the error output instead of vanishing. Callers that must know call flush.
    bool ok = flushWrites();
    ok = ::close(fd_) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "quillorane: writing a file failed; its end may be missing (%s)\n",
                     std::strerror(errno));
    fd_ = -1;
    readable_ = writable_ = append_ = false;
    position_ = 0;
    sizeAtOpen_ = 0;
    readLength_ = 0;
    writeLength_ = 0;
    readBuffer_.clear();
    readBuffer_.shrink_to_fit();
    writeBuffer_.clear();
    writeBuffer_.shrink_to_fit();
}

uint64_t FileStream::currentSize()
{
    if (fd_ < 0)
        return 0;
    struct stat st{};
    uint64_t size = fstat(fd_, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    if (writeLength_ > 0)
        size = std::max(size, writeStart_ + writeLength_);
    return size;
}

bool FileStream::flushWrites()
{
    const uint8_t* p = writeBuffer_.data();
    uint32_t left = writeLength_;
    uint64_t at = writeStart_;
    writeLength_ = 0;
    while (left > 0) {
        const ssize_t n = ::pwrite(fd_, p, left, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            bad_ = true;
            return false;
        }
        p += n;
        at += static_cast<uint64_t>(n);
        left -= static_cast<uint32_t>(n);
    }
    return true;
}

bool FileStream::seek(uint32_t position)
{
    // Positions are 32-bit: in a file of 4 GB or more a position read with tell may be clamped,
    // and seeking back to it would put the next write in the middle of the file. A writable
    // stream on such a file therefore cannot seek (it writes on from where it is).
    if (isClosed() || position > getSize() ||
        (writable_ && currentSize() > std::numeric_limits<uint32_t>::max()))
        return false;
    position_ = position;
    return true;
}

uint32_t FileStream::tell()
{
    return isClosed() ? 0 : clampU32(position_);
}

uint32_t FileStream::getSize()
{
    if (isClosed())
        return 0;
    return clampU32(writable_ ? currentSize() : sizeAtOpen_);
}

uint32_t FileStream::getAvailable()
{
    if (isClosed() || !readable_)
        return 0;
    const uint64_t size = writable_ ? currentSize() : sizeAtOpen_;
    return size > position_ ? clampU32(size - position_) : 0;
}

uint32_t FileStream::getRemaining()
{
    return (isClosed() || !writable_) ? 0 : std::numeric_limits<uint32_t>::max();
}

uint32_t FileStream::readAt(uint8_t* buffer, uint32_t count)
{
    // Pending writes first, so reads see them.
    if (writeLength_ > 0 && !flushWrites())
        return 0;
    uint32_t done = 0;
    while (done < count) {
        if (readLength_ > 0 && position_ >= readStart_ && position_ < readStart_ + readLength_) {
            const uint32_t offset = static_cast<uint32_t>(position_ - readStart_);
            const uint32_t n = std::min(count - done, readLength_ - offset);
            std::memcpy(buffer + done, readBuffer_.data() + offset, n);
            done += n;
            position_ += n;
            continue;
        }
        const uint32_t want = count - done;
        uint8_t* target;
        uint32_t targetSize;
        if (want >= kBufferSize) {
            target = buffer + done;
            targetSize = want;
        } else {
            if (readBuffer_.empty())
                readBuffer_.resize(kBufferSize);
            target = readBuffer_.data();
            targetSize = kBufferSize;
            readLength_ = 0;
        }
        ssize_t n;
        do {
            n = ::pread(fd_, target, targetSize, static_cast<off_t>(position_));
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            bad_ = true;
            break;
        }
        if (n == 0) {
            // The file became shorter since it was opened: what is gone can no longer be read.
            if (!writable_ && sizeAtOpen_ > position_)
                sizeAtOpen_ = position_;
            break;
        }
        if (target == buffer + done) {
            done += static_cast<uint32_t>(n);
            position_ += static_cast<uint64_t>(n);
        } else {
            readStart_ = position_;
            readLength_ = static_cast<uint32_t>(n);
        }
    }
    return done;
}

int FileStream::peek()
{
    if (getAvailable() == 0)
        return -1;
    uint8_t byte;
    const uint64_t at = position_;
    if (readAt(&byte, 1) != 1)
        return -1;
    position_ = at;
    return byte;
}

uint32_t FileStream::read(uint8_t* buffer, uint32_t count)
{
    if (buffer == nullptr || count == 0)
        return 0;
    const uint32_t n = std::min(count, getAvailable());
    return n == 0 ? 0 : readAt(buffer, n);
}

int FileStream::readByte()
{
    uint8_t byte;
    return read(&byte, 1) == 1 ? byte : -1;
}

uint32_t FileStream::write(const uint8_t* buffer, uint32_t count)
{
    if (buffer == nullptr || count == 0 || isClosed() || !writable_)
        return 0;
    if (append_)
        position_ = currentSize();
    readLength_ = 0; // the read buffer may now be stale
    if (writeLength_ > 0 && position_ != writeStart_ + writeLength_ && !flushWrites())
        return 0;
    if (static_cast<uint64_t>(writeLength_) + count > kBufferSize && writeLength_ > 0 && !flushWrites())
        return 0;
    if (count >= kBufferSize) {
        writeStart_ = position_;
        uint32_t done = 0;
        while (done < count) {
            const ssize_t n = ::pwrite(fd_, buffer + done, count - done, static_cast<off_t>(position_));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                bad_ = true;
                break;
            }
            done += static_cast<uint32_t>(n);
            position_ += static_cast<uint64_t>(n);
        }
        return done;
    }
    if (writeBuffer_.empty())
        writeBuffer_.resize(kBufferSize);
    if (writeLength_ == 0)
        writeStart_ = position_;
    std::memcpy(writeBuffer_.data() + writeLength_, buffer, count);
    writeLength_ += count;
    position_ += count;
    return count;
}

bool FileStream::writeByte(uint8_t byte)
{
    return write(&byte, 1) == 1 && !bad_;
}

bool FileStream::flush()
{
    if (isClosed())
        return false;
    return flushWrites();
}

} // namespace QlIO::Core
