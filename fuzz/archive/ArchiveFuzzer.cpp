// Feeds arbitrary bytes to the archive reader, the checker and the storage
// views: none may crash, read out of bounds, loop forever or allocate more
// than the input holds. The first input byte picks the password so inputs can
// reach past the banner check with both a real and an empty password.
#include "io/archive/ArchiveReader.h"
#include "io/archive/Check.h"
#include "io/archive/Format.h"
#include "io/archive/QlaStorage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string password = (data[0] & 1) ? std::string(Qla::kDefaultPassword) : std::string();
    ++data;
    --size;

    auto source = std::make_shared<Qla::MemorySource>(data, size);
    Qla::checkArchive(*source, password);

    Qla::ArchiveReader reader;
    if (!reader.open(source, password)) return 0;
    for (const auto& name : reader.getNames()) {
        auto bytes = reader.readAll(name);
        if (!bytes.empty() && bytes.size() != reader.getSize(name)) __builtin_trap();
        if (bytes.size() > size) __builtin_trap();
    }

    auto storage = QlIO::createArchiveStorage(data, size, password);
    if (!storage) __builtin_trap();  // the same bytes opened above
    for (const auto& name : reader.getNames()) {
        auto file = storage->getFile(name);
        if (!file) continue;
        if (!file->exists()) __builtin_trap();
        file->getChildren();
        if (auto parent = file->getParent()) parent->getChildren();
        if (auto stream = file->openInputStream(0)) stream->readAll();
    }
    return 0;
}
