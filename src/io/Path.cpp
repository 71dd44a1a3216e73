#include "io/Path.h"

#include "io/TextCodec.h"

#include <unistd.h>

#include <cerrno>

#include <vector>

namespace QlIO {

namespace {

bool isSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

bool hasDrivePrefix(std::u16string_view path)
{
    return path.size() >= 2 && path[1] == u':' &&
           ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'));
}

std::u16string currentDirectory()
{
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return fromNativePath(buffer.data());
}

// Folds "." and ".." components and repeated separators of a '/'-rooted path.
std::u16string canonical(std::u16string_view rooted)
{
    std::vector<std::u16string_view> parts;
    size_t i = 0;
    while (i < rooted.size()) {
        while (i < rooted.size() && isSeparator(rooted[i]))
            ++i;
        size_t j = i;
        while (j < rooted.size() && !isSeparator(rooted[j]))
            ++j;
        const std::u16string_view part = rooted.substr(i, j - i);
        if (part.empty() || part == u".") {
            // nothing
        } else if (part == u"..") {
            if (!parts.empty())
                parts.pop_back();
        } else {
            parts.push_back(part);
        }
        i = j;
    }
    if (parts.empty())
        return u"/";
    std::u16string out;
    for (const auto& part : parts) {
        out += u'/';
        out += part;
    }
    return out;
}

} // namespace

std::u16string normalizePath(std::u16string_view path)
{
    std::u16string out(path);
    for (auto& c : out)
        if (c == u'\\')
            c = u'/';
    if (out.size() > 1 && out.back() == u'/')
        out.pop_back();
    return out;
}

bool isAbsolutePath(std::u16string_view path)
{
    return (!path.empty() && isSeparator(path[0])) || hasDrivePrefix(path);
}

std::u16string getAbsolutePath(std::u16string_view path)
{
    return getAbsolutePath(path, {});
}

std::u16string getAbsolutePath(std::u16string_view path, std::u16string_view base)
{
    if (path.empty())
        return {};
    if (hasDrivePrefix(path))
        return std::u16string(path);
    if (isSeparator(path[0]))
        return canonical(path);
    const std::u16string folder = base.empty() ? currentDirectory() : getAbsolutePath(base);
    if (folder.empty() || hasDrivePrefix(folder))
        return {};
    return canonical(folder + u'/' + std::u16string(path));
}

std::u16string getDirectoryPart(std::u16string_view path)
{
    const size_t last = path.find_last_of(u"/\\");
    if (last == std::u16string_view::npos)
        return {};
    if (last == 0)
        return path.size() > 1 ? std::u16string(path.substr(0, 1)) : std::u16string();
    return std::u16string(path.substr(0, last));
}

std::u16string getFileName(std::u16string_view path)
{
    const size_t last = path.find_last_of(u"/\\");
    if (last == std::u16string_view::npos)
        return std::u16string(path);
    return std::u16string(path.substr(last + 1));
}

std::u16string getExtension(std::u16string_view path)
{
    const std::u16string name = getFileName(path);
    const size_t dot = name.find_last_of(u'.');
    return dot == std::u16string::npos ? std::u16string() : name.substr(dot + 1);
}

std::u16string getNameWithoutExtension(std::u16string_view path)
{
    const std::u16string name = getFileName(path);
    const size_t dot = name.find_last_of(u'.');
    return dot == std::u16string::npos ? name : name.substr(0, dot);
}

} // namespace QlIO
