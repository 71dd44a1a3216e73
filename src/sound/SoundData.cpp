#include "sound/SoundData.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace QlSound::Core {

std::uint32_t MemoryFileData::getSize() const
{
    // Files over 4 GiB are refused by the loaders; clamp rather than wrap.
    return static_cast<std::uint32_t>(
        std::min<std::size_t>(bytes_.size(), std::numeric_limits<std::uint32_t>::max()));
}

std::uint32_t MemoryFileData::read(void* buffer, std::uint32_t offset, std::uint32_t count) const
{
    const std::uint32_t size = getSize();
    if (buffer == nullptr || offset >= size) return 0;
    const std::uint32_t n = std::min(count, size - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
}

std::shared_ptr<ISoundData> MixedSoundLoader::load(const std::shared_ptr<IFileData>& fileData)
{
    if (!fileData) return nullptr;
    for (const auto& loader : loaders_) {
        if (auto data = loader->load(fileData)) return data;
    }
    return nullptr;
}

bool MixedSoundLoader::addLoader(const std::shared_ptr<ISoundLoader>& loader)
{
    if (!loader) return false;
    loaders_.push_back(loader);
    return true;
}

bool MixedSoundLoader::removeLoader(const std::shared_ptr<ISoundLoader>& loader)
{
    auto it = std::find(loaders_.begin(), loaders_.end(), loader);
    if (!loader || it == loaders_.end()) return false;
    loaders_.erase(it);
    return true;
}

bool MixedSoundLoader::removeLoaderAt(std::uint32_t index)
{
    if (index >= loaders_.size()) return false;
    loaders_.erase(loaders_.begin() + index);
    return true;
}

bool MixedSoundLoader::clearLoaders()
{
    loaders_.clear();
    return true;
}

std::uint32_t MixedSoundLoader::getLoaderCount() const
{
    return static_cast<std::uint32_t>(loaders_.size());
}

}  // namespace QlSound::Core
