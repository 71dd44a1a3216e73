#include "io/archive/QlaStorage.h"

#include "io/TextCodec.h"
#include "io/archive/NameCase.h"

#include <algorithm>
#include <cstring>

namespace QlIO {

std::shared_ptr<IFileStorage> createArchiveStorage(std::shared_ptr<Qla::ISource> source,
                                                   const std::string& password) {
    if (!source) return nullptr;
    auto reader = std::make_shared<Qla::ArchiveReader>();
    if (!reader->open(std::move(source), password)) return nullptr;
    return std::make_shared<Core::QlaFileStorage>(std::move(reader));
}

std::shared_ptr<IFileStorage> createArchiveStorage(std::u16string_view path, const std::string& password) {
    auto source = std::make_shared<Qla::FileSource>();
    if (!source->openNative(toNativePath(path))) return nullptr;
    return createArchiveStorage(std::move(source), password);
}

std::shared_ptr<IFileStorage> createArchiveStorage(const void* data, size_t size, const std::string& password) {
    if (data == nullptr || size == 0) return nullptr;
    return createArchiveStorage(std::make_shared<Qla::MemorySource>(data, size), password);
}

namespace Core {

namespace {

bool isSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

// Text before the last separator; empty when there is none.
std::u16string_view directoryPart(std::u16string_view path) {
    const auto pos = path.find_last_of(u"/\\");
    return pos == std::u16string_view::npos ? std::u16string_view() : path.substr(0, pos);
}

}  // namespace

std::shared_ptr<IFile> QlaFileStorage::getFile(std::u16string_view path) {
    if (!reader_ || path.empty()) return nullptr;
    return std::make_shared<QlaFile>(reader_, std::u16string(path));
}

std::shared_ptr<IInputStream> QlaFile::openInputStream(uint32_t options) {
    if (!reader_->exists(path_)) return nullptr;
    std::vector<uint8_t> data = reader_->readAll(path_);
    // Data that cannot be read (a damaged archive) is a failure, not an
    // empty file.
    if (data.empty() && reader_->isFile(path_) && reader_->getSize(path_) > 0) return nullptr;
    auto stream = std::make_shared<QlaInputStream>(std::move(data));
    if ((options & OpenAtEnd) != 0) stream->seek(stream->getSize());
    return stream;
}

std::shared_ptr<IFile> QlaFile::getParent() {
    const std::u16string_view dir = directoryPart(path_);
    if (dir.empty()) return nullptr;
    return std::make_shared<QlaFile>(reader_, std::u16string(dir));
}

std::vector<std::shared_ptr<IFile>> QlaFile::getChildren() {
    std::vector<std::shared_ptr<IFile>> children;
    if (!isDirectory()) return children;
    std::u16string self = Qla::foldName(path_);
    if (!self.empty() && self.back() == u'\\') self.pop_back();
    for (std::u16string name : reader_->getNames()) {
        // Children carry '/' separators, as plain files do on this platform.
        std::replace(name.begin(), name.end(), u'\\', u'/');
        if (!name.empty() && isSeparator(name.back())) name.pop_back();
        const std::u16string_view dir = directoryPart(name);
        if (dir.size() != self.size() || Qla::foldName(dir) != self) continue;
        children.push_back(std::make_shared<QlaFile>(reader_, std::move(name)));
    }
    return children;
}

void QlaInputStream::close() {
    data_.clear();
    data_.shrink_to_fit();
    position_ = 0;
    closed_ = true;
}

bool QlaInputStream::seek(uint32_t position) {
    // An empty entry reports itself closed but, like an empty loose file, can be sought to 0.
    if (closed_ || position > data_.size()) return false;
    position_ = position;
    return true;
}

int QlaInputStream::peek() { return position_ < data_.size() ? data_[position_] : -1; }

uint32_t QlaInputStream::read(uint8_t* buffer, uint32_t count) {
    if (buffer == nullptr || count == 0) return 0;
    const uint32_t n = std::min(count, getAvailable());
    if (n > 0) std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    return n;
}

int QlaInputStream::readByte() { return position_ < data_.size() ? data_[position_++] : -1; }

}  // namespace Core
}  // namespace QlIO
