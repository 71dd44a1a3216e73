// qlapack: the archive packer.
//
//   qlapack pack OUT.qla DIR [--password P]
//   qlapack list ARCHIVE [--password P]
//   qlapack extract ARCHIVE OUTDIR [--password P]
//   qlapack verify ARCHIVE [--password P]
//   qlapack link RUNTIME ARCHIVE OUT
//
// Messages go to standard error; list and verify print their findings on
// standard output. The exit code is 0 on success, 1 on failure, 2 on bad usage.
#include "io/archive/ArchiveReader.h"
#include "io/archive/ArchiveWriter.h"
#include "io/archive/Check.h"
#include "io/archive/Format.h"
#include "io/archive/LinkedBlock.h"
#include "io/archive/NameCase.h"
#include "io/archive/TextConv.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: qlapack pack OUT.qla DIR [--password P]\n"
    "       qlapack list ARCHIVE [--password P]\n"
    "       qlapack extract ARCHIVE OUTDIR [--password P]\n"
    "       qlapack verify ARCHIVE [--password P]\n"
    "       qlapack link RUNTIME ARCHIVE OUT\n"
    "The password defaults to the runtime's own.\n";

int usage() {
    std::cerr << kUsage;
    return 2;
}

int fail(const std::string& message) {
    std::cerr << "qlapack: " << message << '\n';
    return 1;
}

// Collects the entries below `root` in a stable order: each directory's
// children sorted by name, a directory before its contents.
// What one pack run carries through the folder walk.
struct Packing {
    fs::path root;
    std::vector<fs::path> skip;  // the output and its temporary file, when inside the folder
    Qla::ArchiveWriter& writer;
    // Lookup name (case folded) -> the file stored under it: the runtime finds entries by
    // their folded name, so two files that differ only in case could not both be reached.
    std::map<std::u16string, fs::path> folded;
};

bool collect(Packing& packing, const fs::path& dir, std::string* error) {
    const fs::path& root = packing.root;
    Qla::ArchiveWriter& writer = packing.writer;
    std::vector<fs::directory_entry> children;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) children.push_back(*it);
    if (ec) {
        *error = "cannot list " + dir.string() + ": " + ec.message();
        return false;
    }
    std::sort(children.begin(), children.end(),
              [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
    for (const auto& child : children) {
        const fs::path path = child.path();
        if (std::any_of(packing.skip.begin(), packing.skip.end(),
                        [&](const fs::path& s) { return fs::equivalent(path, s, ec); }))
            continue;
        if (path.filename().string().find('\\') != std::string::npos) {
            *error = "cannot store '" + path.string() + "': '\\' separates folders inside an archive (rename it)";
            return false;
        }
        std::u16string relative = Qla::utf8ToUtf16(path.lexically_relative(root).generic_string());
        std::replace(relative.begin(), relative.end(), u'/', u'\\');
        const auto name = Qla::encodeEntryName(relative);
        if (!name) {
            *error = "cannot store '" + path.string() +
                     "': its name has characters that Shift-JIS cannot encode (rename it)";
            return false;
        }
        const auto [clash, fresh] = packing.folded.emplace(Qla::foldName(relative), path);
        if (!fresh) {
            *error = "cannot store both '" + clash->second.string() + "' and '" + path.string() +
                     "': games find files without regard to case, so one would hide the other (rename one)";
            return false;
        }
        // Directories are followed only when real, so a link cannot loop.
        const fs::file_status linkStatus = child.symlink_status(ec);
        const fs::file_status status = child.status(ec);
        if (fs::is_directory(linkStatus)) {
            writer.addDirectory(*name);
            if (!collect(packing, path, error)) return false;
        } else if (fs::is_regular_file(status)) {
            const auto size = fs::file_size(path, ec);
            if (ec) {
                *error = "cannot read " + path.string() + ": " + ec.message();
                return false;
            }
            writer.addFileFromDisk(*name, path, size);
        } else {
            std::cerr << "qlapack: skipping " << path.string() << " (not a regular file or directory)\n";
        }
    }
    return true;
}

int pack(const fs::path& out, const fs::path& dir, const std::string& password) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return fail(dir.string() + " is not a directory");
    Qla::ArchiveWriter writer(password);
    std::string error;
    Packing packing{dir, {}, writer, {}};
    fs::path partial = out;
    partial += ".partial";
    for (const fs::path& p : {out, partial})
        if (fs::exists(p, ec)) packing.skip.push_back(p);
    if (!collect(packing, dir, &error)) return fail(error);
    if (!writer.writeFile(out, &error)) return fail(error);
    std::cerr << "qlapack: packed " << writer.count() << " entries into " << out.string() << '\n';
    return 0;
}

std::shared_ptr<Qla::ArchiveReader> openArchive(const fs::path& path, const std::string& password,
                                                std::string* error) {
    auto source = std::make_shared<Qla::FileSource>();
    if (!source->openNative(path.string())) {
        *error = "cannot open " + path.string();
        return nullptr;
    }
    auto reader = std::make_shared<Qla::ArchiveReader>();
    if (!reader->open(source, password)) {
        Qla::FileSource probe;
        probe.openNative(path.string());
        *error = path.string() + ": " + Qla::checkArchive(probe, password).reason;
        return nullptr;
    }
    return reader;
}

int list(const fs::path& archive, const std::string& password) {
    std::string error;
    auto reader = openArchive(archive, password, &error);
    if (!reader) return fail(error);
    for (const auto& name : reader->getNames()) {
        const Qla::EntryInfo* entry = reader->findStored(name);
        if (entry == nullptr) continue;
        const char* kind = entry->type == Qla::kTypeDirectory ? "dir " : entry->type == Qla::kTypeFile ? "file" : "??? ";
        std::cout << kind << ' ' << entry->dataSize << '\t' << Qla::utf16ToUtf8(name) << '\n';
    }
    return 0;
}

int verify(const fs::path& archive, const std::string& password) {
    Qla::FileSource source;
    if (!source.openNative(archive.string())) return fail("cannot open " + archive.string());
    const Qla::CheckResult result = Qla::checkArchive(source, password);
    if (!result.ok) return fail(archive.string() + ": " + result.reason);
    std::cout << archive.string() << ": ok, " << result.records << " records\n";
    return 0;
}

// The relative path an entry name is extracted to, or nothing when the name
// would leave the output folder (absolute, a drive prefix, or a '..' part).
std::optional<fs::path> safeRelativePath(const std::u16string& name) {
    std::string utf8 = Qla::utf16ToUtf8(name);
    std::replace(utf8.begin(), utf8.end(), '\\', '/');
    if (utf8.empty() || utf8.front() == '/') return std::nullopt;
    if (utf8.size() >= 2 && utf8[1] == ':') return std::nullopt;
    fs::path result;
    size_t start = 0;
    while (start <= utf8.size()) {
        size_t end = utf8.find('/', start);
        if (end == std::string::npos) end = utf8.size();
        const std::string part = utf8.substr(start, end - start);
        if (part == "..") return std::nullopt;
        if (!part.empty() && part != ".") result /= part;
        start = end + 1;
    }
    if (result.empty()) return std::nullopt;
    return result;
}

// True when a folder between outDir and target (outDir itself excluded, target included when
// it is to be a folder) already exists as a symbolic link: writing through it could put a
// file anywhere on the disk.
bool passesThroughLink(const fs::path& outDir, const fs::path& relative, bool includeLast) {
    fs::path at = outDir;
    std::error_code ec;
    const auto last = std::prev(relative.end());
    for (auto part = relative.begin(); part != relative.end(); ++part) {
        if (part == last && !includeLast) break;
        at /= *part;
        if (fs::is_symlink(fs::symlink_status(at, ec))) return true;
    }
    return false;
}

int extract(const fs::path& archive, const fs::path& outDir, const std::string& password) {
    std::string error;
    auto reader = openArchive(archive, password, &error);
    if (!reader) return fail(error);
    std::error_code ec;
    fs::create_directories(outDir, ec);
    if (!fs::is_directory(outDir, ec)) return fail("cannot create " + outDir.string());
    int status = 0;
    size_t written = 0;
    for (const auto& name : reader->getNames()) {
        // Each entry exactly as stored: lookups by name fold case, and an archive from
        // elsewhere may hold two names that fold alike.
        const Qla::EntryInfo* entry = reader->findStored(name);
        if (entry == nullptr) continue;
        const bool isDirectory = entry->type == Qla::kTypeDirectory;
        const std::string shown = Qla::utf16ToUtf8(name);
        const auto relative = safeRelativePath(name);
        if (!relative) {
            status = fail("refusing '" + shown + "': the name would leave " + outDir.string());
            continue;
        }
        const fs::path target = outDir / *relative;
        if (passesThroughLink(outDir, *relative, isDirectory)) {
            status = fail("refusing '" + shown + "': a folder on its path in " + outDir.string() +
                          " is a symbolic link");
            continue;
        }
        if (isDirectory) {
            fs::create_directories(target, ec);
            if (!fs::is_directory(target, ec)) status = fail("cannot create " + target.string());
            continue;
        }
        if (entry->type != Qla::kTypeFile) {
            status = fail("skipping '" + shown + "': unknown entry type");
            continue;
        }
        std::vector<uint8_t> data;
        if (entry->dataSize > 0) {
            data = reader->readAll(*entry);
            if (data.empty()) {
                status = fail("cannot read the data of '" + shown + "' (damaged archive)");
                continue;
            }
        }
        fs::create_directories(target.parent_path(), ec);
        if (fs::is_symlink(fs::symlink_status(target, ec))) fs::remove(target, ec);
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        out.close();
        if (!out) {
            status = fail("cannot write " + target.string());
            continue;
        }
        ++written;
    }
    std::cerr << "qlapack: extracted " << written << " files into " << outDir.string() << '\n';
    return status;
}

// Appends the first `count` bytes of `from` to `to` in 1 MB pieces (games may be large).
bool copyBytes(const fs::path& from, uint64_t count, std::ofstream& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    std::vector<char> piece(1 << 20);
    while (count > 0) {
        const auto n = static_cast<std::streamsize>(std::min<uint64_t>(count, piece.size()));
        if (!in.read(piece.data(), n)) return false;
        if (!to.write(piece.data(), n)) return false;
        count -= static_cast<uint64_t>(n);
    }
    return true;
}

int link(const fs::path& runtime, const fs::path& archive, const fs::path& out) {
    std::error_code ec;
    uint64_t exeSize = fs::file_size(runtime, ec);
    if (ec) return fail("cannot read " + runtime.string());
    const uint64_t blockSize = fs::file_size(archive, ec);
    if (ec) return fail("cannot read " + archive.string());
    {
        Qla::FileSource source;
        if (!source.openNative(archive.string())) return fail("cannot read " + archive.string());
        const Qla::CheckResult check = Qla::checkArchive(source, std::string(Qla::kDefaultPassword));
        if (!check.ok)
            return fail(archive.string() + " cannot be linked (the runtime opens its block with its own password): " +
                        check.reason);
    }
    // A runtime that already carries a block at its end is linked anew
    // without it, so relinking never accumulates old blocks.
    if (const auto old = Qla::findLinkedBlock(runtime.string());
        old && static_cast<uint64_t>(old->offset) + old->size + Qla::kTrailerSize == exeSize) {
        exeSize = old->offset;
    }
    if (exeSize + blockSize > 0xFFFFFFFFull)
        return fail("runtime and archive together exceed 4 GiB, the largest a linked block can address");
    const auto trailer = Qla::makeTrailer(static_cast<uint32_t>(exeSize), static_cast<uint32_t>(blockSize));

    fs::path tmp = out;
    tmp += ".partial";
    {
        std::ofstream o(tmp, std::ios::binary | std::ios::trunc);
        const bool copied = o && copyBytes(runtime, exeSize, o) && copyBytes(archive, blockSize, o);
        o.write(reinterpret_cast<const char*>(trailer.data()), trailer.size());
        o.close();
        if (!copied || !o) {
            fs::remove(tmp, ec);
            return fail("cannot write " + out.string());
        }
    }
    fs::permissions(tmp, fs::status(runtime, ec).permissions(), ec);
    fs::rename(tmp, out, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return fail("cannot write " + out.string());
    }
    std::cerr << "qlapack: linked " << blockSize << " bytes of " << archive.string() << " onto "
              << out.string() << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string password(Qla::kDefaultPassword);
    std::vector<std::string> positional;
    bool passwordGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--password") {
            if (i + 1 >= args.size() || passwordGiven) return usage();
            password = args[++i];
            passwordGiven = true;
        } else if (args[i] == "-h" || args[i] == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (args[i].size() > 1 && args[i][0] == '-' && args[i] != "-") {
            return usage();
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.empty()) return usage();
    const std::string command = positional[0];
    const size_t n = positional.size() - 1;
    if (command == "pack" && n == 2) return pack(positional[1], positional[2], password);
    if (command == "list" && n == 1) return list(positional[1], password);
    if (command == "extract" && n == 2) return extract(positional[1], positional[2], password);
    if (command == "verify" && n == 1) return verify(positional[1], password);
    if (command == "link" && n == 3 && !passwordGiven) return link(positional[1], positional[2], positional[3]);
    return usage();
}
