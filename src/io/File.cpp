#include "io/File.h"

#include "io/CaseFold.h"
#include "io/FileStream.h"
#include "io/Path.h"
#include "io/TextCodec.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <limits>

namespace QlIO::Core {

namespace {

constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kEpochDifferenceSeconds = 11'644'473'600; // 1601-01-01 to 1970-01-01

int64_t utcOffsetAt(int64_t unixSeconds)
{
    const time_t t = static_cast<time_t>(unixSeconds);
    struct tm local{};
    if (localtime_r(&t, &local) == nullptr)
        return 0;
    return local.tm_gmtoff;
}

int64_t floorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

bool statPath(const std::string& native, struct stat& st)
{
    return !native.empty() && ::stat(native.c_str(), &st) == 0;
}

std::u16string joinPath(std::u16string_view directory, std::u16string_view name)
{
    std::u16string out(directory);
    if (out.empty() || out.back() != u'/')
        out += u'/';
    out += name;
    return out;
}

// Names compare without regard to case. A name the OS holds in another
// encoding than UTF-8 carries its bytes as escapes (fromNativePath); the unit
// after such a byte may be the second byte of a double-byte character (in
// Shift-JIS, 0x83 0x65 and 0x83 0x45 are two different letters), so it must
// match exactly.
bool equalFolded(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i])
            continue;
        if ((i > 0 && isEscapedByte(a[i - 1])) || foldCase(a[i]) != foldCase(b[i]))
            return false;
    }
    return true;
}

bool lessFolded(const std::u16string& a, const std::u16string& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = foldCase(a[i]);
        const char16_t y = foldCase(b[i]);
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

// Names in a directory, without "." and "..", in the system's order.
std::vector<std::string> listDirectory(const std::string& native)
{
    std::vector<std::string> names;
    DIR* dir = opendir(native.c_str());
    if (dir == nullptr)
        return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    closedir(dir);
    return names;
}

// For a '/'-rooted absolute path that does not exist as written, looks each
// missing component up again without regard to case. Components after the
// first one that cannot be found are kept as given (so a new file lands in
// the existing folder whatever case the script used for it).
std::u16string resolveCase(const std::u16string& path)
{
    struct stat st{};
    if (::lstat(toNativePath(path).c_str(), &st) == 0)
        return path;
    std::u16string resolved;
    size_t i = 1;
    bool found = true;
    while (i <= path.size()) {
        size_t j = path.find(u'/', i);
        if (j == std::u16string::npos)
            j = path.size();
        const std::u16string_view part = std::u16string_view(path).substr(i, j - i);
        const std::u16string candidate = joinPath(resolved.empty() ? u"/" : resolved, part);
        if (found && ::lstat(toNativePath(candidate).c_str(), &st) != 0) {
            found = false;
            std::u16string best;
            for (const std::string& name : listDirectory(resolved.empty() ? "/" : toNativePath(resolved))) {
                const std::u16string wide = fromNativePath(name);
                if (equalFolded(wide, part) && (best.empty() || lessFolded(wide, best)))
                    best = wide;
            }
            if (!best.empty()) {
                resolved = joinPath(resolved.empty() ? u"/" : resolved, best);
                found = true;
                i = j + 1;
                continue;
            }
        }
        resolved = candidate;
        i = j + 1;
    }
    return resolved.empty() ? path : resolved;
}

} // namespace

int64_t toLocalFileTime(int64_t unixSeconds, int64_t nanoseconds)
{
    const int64_t local = unixSeconds + utcOffsetAt(unixSeconds);
    return (local + kEpochDifferenceSeconds) * kTicksPerSecond + nanoseconds / 100;
}

void fromLocalFileTime(int64_t fileTime, int64_t& unixSeconds, int64_t& nanoseconds)
{
    const int64_t localSeconds = floorDiv(fileTime, kTicksPerSecond) - kEpochDifferenceSeconds;
    nanoseconds = (fileTime - floorDiv(fileTime, kTicksPerSecond) * kTicksPerSecond) * 100;
    // The offset is the one in force at the moment meant; find it from a first guess.
    const int64_t guess = localSeconds - utcOffsetAt(localSeconds);
    unixSeconds = localSeconds - utcOffsetAt(guess);
}

File::File(std::u16string absolutePath)
    : path_(std::move(absolutePath))
{
    // A path with a drive prefix names nothing here: it neither exists nor
    // can be made or opened (rather than becoming an oddly named file in the
    // current directory).
    // A NUL cannot be part of a system path: it would cut the name short and make the
    // object stand for another file (removing or emptying that one), so such a path names
    // nothing too.
    if (!path_.empty() && path_[0] == u'/' && path_.find(u'\0') == std::u16string::npos)
        native_ = toNativePath(path_);
}

std::shared_ptr<File> File::create(std::u16string_view path, std::u16string_view base)
{
    if (path.empty())
        return nullptr;
    std::u16string absolute = getAbsolutePath(path, base);
    if (absolute.empty())
        return nullptr;
    if (absolute[0] == u'/')
        absolute = resolveCase(absolute);
    return std::make_shared<File>(std::move(absolute));
}

bool File::exists()
{
    struct stat st{};
    return statPath(native_, st);
}

bool File::isFile()
{
    struct stat st{};
    return statPath(native_, st) && !S_ISDIR(st.st_mode);
}

bool File::isDirectory()
{
    struct stat st{};
    return statPath(native_, st) && S_ISDIR(st.st_mode);
}

bool File::isHidden()
{
    const std::u16string name = getFileName(path_);
    return !name.empty() && name[0] == u'.' && exists();
}

bool File::isReadOnly()
{
    struct stat st{};
    if (!statPath(native_, st))
        return false;
    return (st.st_mode & 0222) == 0 || ::access(native_.c_str(), W_OK) != 0;
}

uint32_t File::getSize()
{
    struct stat st{};
    if (!statPath(native_, st) || S_ISDIR(st.st_mode))
        return 0;
    const auto size = static_cast<uint64_t>(st.st_size);
    return size > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                       : static_cast<uint32_t>(size);
}

bool File::setCreationTime(int64_t)
{
    return false;
}

int64_t File::getCreationTime()
{
#ifdef STATX_BTIME
    struct statx stx{};
    if (!native_.empty() && ::statx(AT_FDCWD, native_.c_str(), 0, STATX_BTIME, &stx) == 0 &&
        (stx.stx_mask & STATX_BTIME))
        return toLocalFileTime(stx.stx_btime.tv_sec, stx.stx_btime.tv_nsec);
#endif
    return 0;
}

int64_t File::getLastAccessTime()
{
    struct stat st{};
    if (!statPath(native_, st))
        return 0;
    return toLocalFileTime(st.st_atim.tv_sec, st.st_atim.tv_nsec);
}

int64_t File::getLastWriteTime()
{
    struct stat st{};
    if (!statPath(native_, st))
        return 0;
    return toLocalFileTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

bool File::setTime(int64_t time, bool access)
{
    if (!exists() || isReadOnly())
        return false;
    int64_t seconds = 0, nanoseconds = 0;
    fromLocalFileTime(time, seconds, nanoseconds);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = times[0];
    struct timespec& target = access ? times[0] : times[1];
    target.tv_sec = static_cast<time_t>(seconds);
    target.tv_nsec = static_cast<long>(nanoseconds);
    return ::utimensat(AT_FDCWD, native_.c_str(), times, 0) == 0;
}

bool File::setLastAccessTime(int64_t time)
{
    return setTime(time, true);
}

bool File::setLastWriteTime(int64_t time)
{
    return setTime(time, false);
}

bool File::remove()
{
    // The link itself is what is named: a link to a folder is removed like a file.
    struct stat st{};
    if (native_.empty() || ::lstat(native_.c_str(), &st) != 0)
        return false;
    if (S_ISDIR(st.st_mode))
        return ::rmdir(native_.c_str()) == 0;
    // A read-only file is kept, as the desktop systems games were written for refuse to
    // delete one (here read-only means without write permission, even for root).
    if (!S_ISLNK(st.st_mode) && isReadOnly())
        return false;
    return ::unlink(native_.c_str()) == 0;
}

bool File::makeFile()
{
    if (exists())
        return isFile();
    if (native_.empty())
        return false;
    if (auto parent = getParent(); parent && !parent->makeDirectory())
        return false;
    const int fd = ::open(native_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool File::makeDirectory()
{
    if (exists())
        return isDirectory();
    if (native_.empty())
        return false;
    if (auto parent = getParent(); parent && !parent->makeDirectory())
        return false;
    return (::mkdir(native_.c_str(), 0777) == 0 || (errno == EEXIST && isDirectory()));
}

std::shared_ptr<IIoStream> File::openIoStream(uint32_t options)
{
    if (native_.empty() || (exists() && isReadOnly()))
        return nullptr;
    auto stream = std::make_shared<FileStream>();
    if (!stream->open(path_, FileStream::Read | FileStream::Write, options))
        return nullptr;
    return stream;
}

std::shared_ptr<IInputStream> File::openInputStream(uint32_t options)
{
    if (native_.empty())
        return nullptr;
    auto stream = std::make_shared<FileStream>();
    if (!stream->open(path_, FileStream::Read, options))
        return nullptr;
    return stream;
}

std::shared_ptr<IOutputStream> File::openOutputStream(uint32_t options)
{
    if (native_.empty() || (exists() && isReadOnly()))
        return nullptr;
    auto stream = std::make_shared<FileStream>();
    if (!stream->open(path_, FileStream::Write, options))
        return nullptr;
    return stream;
}

std::shared_ptr<IFile> File::getParent()
{
    std::u16string directory = getDirectoryPart(path_);
    if (directory.empty())
        return nullptr;
    return std::make_shared<File>(std::move(directory));
}

std::vector<std::shared_ptr<IFile>> File::getChildren()
{
    std::vector<std::shared_ptr<IFile>> children;
    if (!isDirectory())
        return children;
    std::vector<std::u16string> names;
    for (const std::string& name : listDirectory(native_))
        names.push_back(fromNativePath(name));
    std::sort(names.begin(), names.end(), lessFolded);
    children.reserve(names.size());
    for (const auto& name : names)
        children.push_back(std::make_shared<File>(joinPath(path_, name)));
    return children;
}

std::shared_ptr<IFile> FileStorage::getFile(std::u16string_view path)
{
    return File::create(path, folder_);
}

} // namespace QlIO::Core
