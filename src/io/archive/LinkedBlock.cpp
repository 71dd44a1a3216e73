#include "io/archive/LinkedBlock.h"

#include "io/archive/Format.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Qla {

std::optional<LinkedBlockLocation> findLinkedBlock(const std::string& path) {
    // Without waiting: a FIFO or device in the executable's place is no block, and must
    // not hang the start. The regular file that passes fstat reads the same either way.
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return std::nullopt;
    std::optional<LinkedBlockLocation> found;
    struct stat st {};
    uint8_t trailer[kTrailerSize];
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= static_cast<off_t>(kTrailerSize) &&
        ::pread(fd, trailer, kTrailerSize, st.st_size - kTrailerSize) == static_cast<ssize_t>(kTrailerSize) &&
        std::memcmp(trailer + 8, kLinkedMagic.data(), kLinkedMagic.size()) == 0) {
        const LinkedBlockLocation loc{loadU32(trailer), loadU32(trailer + 4)};
        const auto fileSize = static_cast<uint64_t>(st.st_size);
        if (loc.size > 0 && static_cast<uint64_t>(loc.offset) + loc.size <= fileSize) found = loc;
    }
    ::close(fd);
    return found;
}

std::array<uint8_t, kTrailerSize> makeTrailer(uint32_t offset, uint32_t size) {
    std::array<uint8_t, kTrailerSize> t{};
    storeU32(t.data(), offset);
    storeU32(t.data() + 4, size);
    std::memcpy(t.data() + 8, kLinkedMagic.data(), kLinkedMagic.size());
    return t;
}

}  // namespace Qla
