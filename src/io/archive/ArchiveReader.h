#pragma once
// Reads the entry table of an archive and the data of its entries.
#include "io/archive/Source.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace Qla {

class IArchiveReader {
public:
    virtual ~IArchiveReader() = default;
    // Releases the source; the entry table stays, reading data fails afterwards.
    virtual void close() = 0;
    virtual bool exists(const std::u16string& name) const = 0;
    virtual uint32_t getCount() const = 0;
    // Every entry name as stored, in table order.
    virtual std::vector<std::u16string> getNames() const = 0;
    virtual bool isFile(const std::u16string& name) const = 0;
    virtual bool isDirectory(const std::u16string& name) const = 0;
    virtual uint32_t getSize(const std::u16string& name) const = 0;
    // The entry's data, or an empty vector when it cannot be read.
    virtual std::vector<uint8_t> readAll(const std::u16string& name) = 0;
    // Reads getSize(name) bytes of data into buffer.
    virtual bool read(const std::u16string& name, void* buffer) = 0;
    virtual bool open(std::shared_ptr<ISource> source, const std::string& password) = 0;
};

struct EntryInfo {
    uint8_t type = 0;
    uint32_t dataSize = 0;
    uint32_t dataOffset = 0;
};

class ArchiveReader final : public IArchiveReader {
public:
    void close() override;
    bool exists(const std::u16string& name) const override { return find(name) != nullptr; }
    uint32_t getCount() const override { return static_cast<uint32_t>(table_.size()); }
    std::vector<std::u16string> getNames() const override;
    bool isFile(const std::u16string& name) const override;
    bool isDirectory(const std::u16string& name) const override;
    uint32_t getSize(const std::u16string& name) const override;
    std::vector<uint8_t> readAll(const std::u16string& name) override;
    bool read(const std::u16string& name, void* buffer) override;
    bool open(std::shared_ptr<ISource> source, const std::string& password) override;

    // The entry a name refers to (ignoring case and separator), or null.
    const EntryInfo* find(const std::u16string& name) const;
    // The entry stored under exactly this name (as getNames gives it), or null. Tools that
    // walk every entry use it: two stored names may fold to the same lookup name.
    const EntryInfo* findStored(const std::u16string& storedName) const;
    // An entry's data, as read and readAll by name.
    bool read(const EntryInfo& entry, void* buffer);
    std::vector<uint8_t> readAll(const EntryInfo& entry);

private:
    using Table = std::map<std::u16string, EntryInfo>;

    std::shared_ptr<ISource> source_;
    std::string password_;
    Table table_;
    // Folded name -> first entry in table order with that folded name.
    std::unordered_map<std::u16string, const EntryInfo*> index_;
    mutable std::mutex sourceMutex_;  // seek + read on the shared source
};

}  // namespace Qla
