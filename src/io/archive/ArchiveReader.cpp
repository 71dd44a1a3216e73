#include "io/archive/ArchiveReader.h"

#include "io/archive/Chain.h"
#include "io/archive/NameCase.h"
#include "io/archive/TextConv.h"

namespace Qla {

bool ArchiveReader::open(std::shared_ptr<ISource> source, const std::string& password) {
    close();
    table_.clear();
    index_.clear();
    if (!source) return false;
    const Scrambler scrambler(password);
    if (readHeader(*source, scrambler) != HeaderStatus::Ok) return false;

    walkChain(*source, scrambler, [this](const Record& rec) {
        // A later record with the same name replaces the earlier one.
        table_.insert_or_assign(decodeEntryName(rec.rawName),
                                EntryInfo{rec.type, rec.dataSize, rec.dataOffset});
    });

    index_.reserve(table_.size());
    for (const auto& [name, info] : table_) index_.try_emplace(foldName(name), &info);
    source_ = std::move(source);
    password_ = password;
    return true;
}

void ArchiveReader::close() {
    std::lock_guard lock(sourceMutex_);
    if (source_) source_->close();
    source_.reset();
}

const EntryInfo* ArchiveReader::find(const std::u16string& name) const {
    const auto it = index_.find(foldName(name));
    return it == index_.end() ? nullptr : it->second;
}

std::vector<std::u16string> ArchiveReader::getNames() const {
    std::vector<std::u16string> names;
    names.reserve(table_.size());
    for (const auto& entry : table_) names.push_back(entry.first);
    return names;
}

bool ArchiveReader::isFile(const std::u16string& name) const {
    const EntryInfo* e = find(name);
    return e != nullptr && e->type == kTypeFile;
}

bool ArchiveReader::isDirectory(const std::u16string& name) const {
    const EntryInfo* e = find(name);
    return e != nullptr && e->type == kTypeDirectory;
}

uint32_t ArchiveReader::getSize(const std::u16string& name) const {
    const EntryInfo* e = find(name);
    return e == nullptr ? 0 : e->dataSize;
}

const EntryInfo* ArchiveReader::findStored(const std::u16string& storedName) const {
    const auto it = table_.find(storedName);
    return it == table_.end() ? nullptr : &it->second;
}

bool ArchiveReader::read(const std::u16string& name, void* buffer) {
    const EntryInfo* e = find(name);
    return e != nullptr && read(*e, buffer);
}

bool ArchiveReader::read(const EntryInfo& entry, void* buffer) {
    const EntryInfo* e = &entry;
    if (buffer == nullptr) return false;
    std::lock_guard lock(sourceMutex_);
    if (!source_) return false;
    // Data that does not lie wholly inside the source is damage: nothing
    // is read rather than a short block padded with zeros.
    const uint64_t end = static_cast<uint64_t>(e->dataOffset) + e->dataSize;
    if (e->dataSize == 0 || end > source_->getSize()) return false;
    if (!source_->seek(e->dataOffset)) return false;
    if (source_->read(buffer, e->dataSize) != e->dataSize) return false;
    Scrambler(password_).apply(static_cast<uint8_t*>(buffer), e->dataSize);
    return true;
}

std::vector<uint8_t> ArchiveReader::readAll(const std::u16string& name) {
    const EntryInfo* e = find(name);
    return e == nullptr ? std::vector<uint8_t>{} : readAll(*e);
}

std::vector<uint8_t> ArchiveReader::readAll(const EntryInfo& entry) {
    const EntryInfo* e = &entry;
    if (e->dataSize == 0) return {};
    {
        std::lock_guard lock(sourceMutex_);
        // Never allocate for data the source cannot hold.
        if (!source_ || static_cast<uint64_t>(e->dataOffset) + e->dataSize > source_->getSize()) return {};
    }
    std::vector<uint8_t> data(e->dataSize);
    if (!read(*e, data.data())) return {};
    return data;
}

}  // namespace Qla
