#include "graphics/GraphicsFileLoader.h"

#include <algorithm>
#include <cstring>

namespace Quillorane {
namespace {

// The whole file, read at load time.
class StaticFileData : public QlGraphics::IFileData {
public:
    StaticFileData(std::u16string name, std::vector<std::uint8_t> bytes)
        : name_(std::move(name)), bytes_(std::move(bytes))
    {
    }
    std::u16string getName() const override { return name_; }
    std::uint32_t getSize() const override { return static_cast<std::uint32_t>(bytes_.size()); }
    std::uint32_t read(void* buffer, std::uint32_t offset, std::uint32_t size) override
    {
        if (buffer == nullptr || offset >= bytes_.size())
            return 0;
        const auto count = std::min<std::uint32_t>(size, getSize() - offset);
        std::memcpy(buffer, bytes_.data() + offset, count);
        return count;
    }

private:
    std::u16string name_;
    std::vector<std::uint8_t> bytes_;
};

// An open stream read on demand. Reads are meant to go forward in order; an offset that is
// not where the stream stands moves the stream there first.
class StreamFileData : public QlGraphics::IFileData {
public:
    StreamFileData(std::u16string name, std::shared_ptr<QlIO::IInputStream> stream)
        : name_(std::move(name)), stream_(std::move(stream)), base_(stream_->tell()),
          size_(stream_->getAvailable())
    {
    }
    std::u16string getName() const override { return name_; }
    std::uint32_t getSize() const override { return size_; }
    std::uint32_t read(void* buffer, std::uint32_t offset, std::uint32_t size) override
    {
        if (buffer == nullptr || offset >= size_)
            return 0;
        const auto count = std::min<std::uint32_t>(size, size_ - offset);
        if (stream_->tell() != base_ + offset && !stream_->seek(base_ + offset))
            return 0;
        return stream_->read(static_cast<std::uint8_t*>(buffer), count);
    }

private:
    std::u16string name_;
    std::shared_ptr<QlIO::IInputStream> stream_;
    std::uint32_t base_;
    std::uint32_t size_;
};

} // namespace

GraphicsFileLoader::GraphicsFileLoader(std::shared_ptr<QlIO::IFileManager> files) : files_(std::move(files)) {}

std::shared_ptr<QlGraphics::IFileData> GraphicsFileLoader::load(std::u16string_view path)
{
    if (!files_)
        return nullptr;
    auto stream = files_->openInputStream(path, 0);
    if (!stream)
        return nullptr;
    std::u16string name(path);
    if (stream->getAvailable() < kWholeFileLimit) {
        auto bytes = stream->readAll();
        return std::make_shared<StaticFileData>(std::move(name), std::move(bytes));
    }
    return std::make_shared<StreamFileData>(std::move(name), std::move(stream));
}

} // namespace Quillorane
