#include "sound/OggSoundData.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace QlSound::Ogg {

struct SoundData::Source {
    std::shared_ptr<IFileData> file;
    std::uint32_t position = 0;
};

struct SoundData::Handle {
    OggVorbis_File file{};
    Source source;
    bool open = false;
};

namespace {

using Source = SoundData::Source;

std::size_t readCallback(void* ptr, std::size_t size, std::size_t count, void* userData)
{
    auto* src = static_cast<Source*>(userData);
    if (!src->file || size == 0) return 0;
    const std::uint32_t total = src->file->getSize();
    const std::size_t left = src->position < total ? total - src->position : 0;
    const std::size_t elements = std::min(count, left / size);
    const auto bytes = static_cast<std::uint32_t>(elements * size);
    const std::uint32_t got = src->file->read(ptr, src->position, bytes);
    src->position += got;
    return got / size;
}

// Positions beyond either end are clamped and reported as a failed seek.
int seekCallback(void* userData, ogg_int64_t offset, int whence)
{
    auto* src = static_cast<Source*>(userData);
    const ogg_int64_t size = src->file ? src->file->getSize() : 0;
    ogg_int64_t target;
    switch (whence) {
    case SEEK_SET: target = offset; break;
    case SEEK_CUR: target = static_cast<ogg_int64_t>(src->position) + offset; break;
    case SEEK_END: target = size + offset; break;
    default: return -1;
    }
    if (target < 0) {
        src->position = 0;
        return -1;
    }
    if (target > size) {
        src->position = static_cast<std::uint32_t>(size);
        return -1;
    }
    src->position = static_cast<std::uint32_t>(target);
    return 0;
}

long tellCallback(void* userData) { return static_cast<long>(static_cast<Source*>(userData)->position); }

int closeCallback(void* userData)
{
    static_cast<Source*>(userData)->file.reset();
    return 0;
}

const ov_callbacks kCallbacks{readCallback, seekCallback, closeCallback, tellCallback};

}  // namespace

std::shared_ptr<SoundData> SoundData::open(const std::shared_ptr<IFileData>& file)
{
    if (!file) return nullptr;
    std::shared_ptr<SoundData> data(new SoundData());
    data->file_ = file;
    data->handle_ = std::make_unique<Handle>();
    Handle& h = *data->handle_;
    h.source.file = file;
    if (ov_open_callbacks(&h.source, &h.file, nullptr, 0, kCallbacks) < 0) return nullptr;
    h.open = true;
    const vorbis_info* vi = ov_info(&h.file, -1);
    if (vi == nullptr || vi->channels <= 0 || vi->rate <= 0) return nullptr;
    // A chained file whose streams differ in channel count or rate would
    // play its later streams as if they had the first one's layout: refused.
    const long streams = ov_streams(&h.file);
    for (long i = 0; i < streams; ++i) {
        const vorbis_info* other = ov_info(&h.file, static_cast<int>(i));
        if (other == nullptr || other->channels != vi->channels || other->rate != vi->rate) return nullptr;
    }
    // The decoder opens a chained file positioned at its second stream;
    // every play starts at the first.
    if (ov_pcm_tell(&h.file) != 0 && ov_pcm_seek(&h.file, 0) != 0) return nullptr;
    data->format_ = {static_cast<std::uint32_t>(vi->channels), static_cast<std::uint32_t>(vi->rate), 16};
    const ogg_int64_t total = ov_pcm_total(&h.file, -1);
    data->length_ = total < 0 ? 0
                              : static_cast<std::uint32_t>(std::min<ogg_int64_t>(
                                    total, std::numeric_limits<std::uint32_t>::max()));
    return data;
}

SoundData::~SoundData()
{
    if (handle_ && handle_->open) ov_clear(&handle_->file);
}

bool SoundData::seek(std::uint32_t frame)
{
    if (frame >= length_) return false;
    return ov_pcm_seek(&handle_->file, frame) == 0;
}

std::uint32_t SoundData::tell() const
{
    const ogg_int64_t at = ov_pcm_tell(&handle_->file);
    return at < 0 ? 0 : static_cast<std::uint32_t>(at);
}

// A damaged file (a lost or corrupt page) makes the decoder report a hole
// once and then carry on after it; the hole is skipped, so the rest of the
// file still plays. Only the end of the data or a hard error ends a read
// early, and a run of holes with no audio between them counts as the end.
std::uint32_t SoundData::read(void* buffer, std::uint32_t bytes)
{
    if (buffer == nullptr) return 0;
    constexpr int kMaxHolesInARow = 32;
    auto* out = static_cast<char*>(buffer);
    std::uint32_t filled = 0;
    int holes = 0;
    while (filled < bytes) {
        int section = 0;
        const int request = static_cast<int>(std::min<std::uint32_t>(bytes - filled, 1u << 30));
        const long got = ov_read(&handle_->file, out + filled, request, 0, 2, 1, &section);
        if (got == OV_HOLE && ++holes <= kMaxHolesInARow) continue;
        if (got < 1) break;
        holes = 0;
        filled += static_cast<std::uint32_t>(got);
    }
    return filled;
}

std::shared_ptr<ISoundData> SoundData::copy() const { return open(file_); }

std::shared_ptr<ISoundData> SoundLoader::load(const std::shared_ptr<IFileData>& fileData)
{
    return SoundData::open(fileData);
}

}  // namespace QlSound::Ogg
