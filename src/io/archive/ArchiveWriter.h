#pragma once
// Builds archives: the header, one record per entry (records first, in the
// order added, ended by a zero length), then every file's data.
#include "io/archive/Format.h"

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace Qla {

class ArchiveWriter {
public:
    explicit ArchiveWriter(std::string password = std::string(kDefaultPassword));

    // Names are the stored bytes (Shift-JIS, '\' separators, no zero byte).
    void addDirectory(std::string name);
    void addFile(std::string name, std::vector<uint8_t> data);
    // Data read from disk while writing; the file must still have `size` bytes then.
    void addFileFromDisk(std::string name, std::filesystem::path path, uint64_t size);

    size_t count() const { return entries_.size(); }

    // Writes the archive; false with a one-line reason in *error on failure.
    bool write(std::ostream& out, std::string* error) const;
    // Writes to a temporary file beside `path` and renames it into place, so
    // a failed write never leaves a partial archive under the final name.
    bool writeFile(const std::filesystem::path& path, std::string* error) const;
    // The whole archive in memory (convenient for tests and small archives).
    std::vector<uint8_t> toBytes() const;

private:
    struct Entry {
        std::string name;
        uint8_t type = kTypeFile;
        std::vector<uint8_t> data;
        std::filesystem::path diskPath;  // empty: data is in `data`
        uint64_t size = 0;
    };

    std::string password_;
    std::vector<Entry> entries_;
};

}  // namespace Qla
