#include "app/StartupStorages.h"

#include "io/Factory.h"
#include "io/Path.h"
#include "io/TextCodec.h"
#include "io/archive/LinkedBlock.h"
#include "io/archive/QlaStorage.h"
#include "io/archive/Source.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <system_error>
#include <filesystem>

namespace Quillorane {

std::shared_ptr<QlIO::IFileStorage> openLinkedDataBlock(std::u16string_view exePath) {
    if (exePath.empty()) return nullptr;
    const std::string native = QlIO::toNativePath(exePath);
    const auto location = Qla::findLinkedBlock(native);
    if (!location) return nullptr;
    auto source = std::make_shared<Qla::FileSource>();
    if (!source->openRange(native, location->offset, location->size)) return nullptr;
    return QlIO::createArchiveStorage(std::move(source), kArchivePassword);
}

int32_t archivePriority(std::u16string_view stem) {
    if (stem.empty() || stem[0] < u'0' || stem[0] > u'9') return 65535;
    constexpr int64_t kLowest = 2;  // 0 and 1 belong to the linked block and the loose files
    int64_t number = 0;
    for (char16_t c : stem) {
        if (c < u'0' || c > u'9') break;
        number = number * 10 + (c - u'0');
        if (number > 65534) break;  // already past the clamp; stop before overflowing
    }
    return static_cast<int32_t>(std::max<int64_t>(kLowest, 65534 - number));
}

std::shared_ptr<QlIO::IFileManager> createStartupFileManager(std::u16string_view gameFolder,
                                                             std::u16string_view exePath,
                                                             std::u16string_view gameArchive) {
    auto plain = QlIO::createFileStorage();
    if (!plain) return nullptr;
    auto folder = plain->getFile(gameFolder);
    if (!folder || !folder->isDirectory()) return nullptr;
    auto manager = QlIO::createFileManager(plain);
    if (!manager) return nullptr;

    // Archives that share a priority share one slot: the later one (in name order) replaces
    // the earlier. Say so, since the game then silently misses the first one's files.
    std::map<int32_t, std::u16string> placed;
    for (const auto& child : folder->getChildren()) {
        const std::u16string path = child->getPath();
        if (QlIO::getExtension(path) != u"qla") continue;
        if (!gameArchive.empty()) {
            std::error_code ec;
            if (std::filesystem::equivalent(QlIO::toNativePath(path), QlIO::toNativePath(gameArchive), ec)) continue;
        }
        // An archive that does not open (damaged, another password) is skipped.
        auto archive = QlIO::createArchiveStorage(path, kArchivePassword);
        if (!archive) {
            std::fprintf(stderr, "quillorane: %s is not an archive of this runtime; skipped\n",
                         QlIO::toUtf8(path).c_str());
            continue;
        }
        const int32_t priority = archivePriority(QlIO::getNameWithoutExtension(QlIO::getFileName(path)));
        if (auto [it, fresh] = placed.emplace(priority, path); !fresh) {
            std::fprintf(stderr, "quillorane: %s takes the place of %s (archives named alike share a place)\n",
                         QlIO::toUtf8(path).c_str(), QlIO::toUtf8(it->second).c_str());
            it->second = path;
        }
        manager->addStorage(priority, std::move(archive));
    }
    if (auto linked = openLinkedDataBlock(exePath)) manager->addStorage(0, std::move(linked));
    manager->addStorage(1, QlIO::createFileStorage());
    return manager;
}

namespace {

struct Global {
    std::mutex mutex;
    std::shared_ptr<QlIO::IFileManager> manager;
    bool originSet = false;
    std::u16string gameFolder;
    std::u16string exePath;
};

Global& global() {
    static Global g;
    return g;
}

}  // namespace

std::u16string getExecutablePath() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    // The name keeps its bytes even when they are not UTF-8, so the folder beside it is found.
    return ec ? std::u16string() : QlIO::fromNativePath(exe.native());
}

void setFileManagerOrigin(std::u16string gameFolder, std::u16string exePath) {
    Global& g = global();
    std::lock_guard lock(g.mutex);
    g.originSet = true;
    g.gameFolder = std::move(gameFolder);
    g.exePath = std::move(exePath);
}

std::shared_ptr<QlIO::IFileManager> getFileManager() {
    Global& g = global();
    std::lock_guard lock(g.mutex);
    if (!g.manager) {
        std::u16string exe = g.originSet ? g.exePath : getExecutablePath();
        std::u16string folder = g.originSet ? g.gameFolder : QlIO::getDirectoryPart(exe);
        g.manager = createStartupFileManager(folder, exe);
    }
    return g.manager;
}

void setFileManager(std::shared_ptr<QlIO::IFileManager> manager) {
    Global& g = global();
    std::lock_guard lock(g.mutex);
    g.manager = std::move(manager);
}

}  // namespace Quillorane
