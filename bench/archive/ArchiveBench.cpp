// Opens an archive of 10,000 entries (from a file and from memory) and looks
// up 10,000 names in it, printing the time of each.
//   ql_bench_archive [ROUNDS]
#include "io/archive/ArchiveReader.h"
#include "io/archive/ArchiveWriter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    constexpr int kEntries = 10000;

    // 100 folders of 100 files, names like "data\folder042\Sprite_0042_17.png".
    Qla::ArchiveWriter writer;
    std::vector<std::u16string> names;
    for (int d = 0; d < 100; ++d) {
        char dir[64];
        std::snprintf(dir, sizeof dir, "data\\folder%03d", d);
        writer.addDirectory(dir);
        for (int f = 0; f < kEntries / 100; ++f) {
            char name[96];
            std::snprintf(name, sizeof name, "%s\\Sprite_%04d_%02d.png", dir, d * 100 + f, f);
            writer.addFile(name, std::vector<uint8_t>(16, static_cast<uint8_t>(f)));
            names.emplace_back(name, name + std::char_traits<char>::length(name));
        }
    }
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "ql_bench_archive.qla";
    std::string error;
    if (!writer.writeFile(path, &error)) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
        return 1;
    }
    const std::vector<uint8_t> bytes = writer.toBytes();

    // Queries differ from the stored names in case and separator.
    std::vector<std::u16string> queries = names;
    for (auto& q : queries)
        for (auto& c : q) c = c == u'\\' ? u'/' : (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    std::shuffle(queries.begin(), queries.end(), std::mt19937(42));

    double bestFile = 1e9, bestMemory = 1e9, bestLookup = 1e9;
    size_t found = 0;
    for (int r = 0; r < rounds; ++r) {
        auto t = Clock::now();
        {
            auto source = std::make_shared<Qla::FileSource>();
            Qla::ArchiveReader reader;
            if (!source->openNative(path.string()) || !reader.open(source, "vinqatol")) return 1;
            bestFile = std::min(bestFile, msSince(t));
        }
        t = Clock::now();
        Qla::ArchiveReader reader;
        if (!reader.open(std::make_shared<Qla::MemorySource>(bytes.data(), bytes.size()), "vinqatol")) return 1;
        bestMemory = std::min(bestMemory, msSince(t));

        t = Clock::now();
        found = 0;
        for (const auto& q : queries) found += reader.exists(q) ? 1 : 0;
        bestLookup = std::min(bestLookup, msSince(t));
    }
    std::filesystem::remove(path);
    if (found != queries.size()) {
        std::fprintf(stderr, "lookups found %zu of %zu names\n", found, queries.size());
        return 1;
    }
    std::printf("archive of %d entries (%zu bytes), best of %d rounds\n", kEntries + 100, bytes.size(), rounds);
    std::printf("open from file:    %8.3f ms   (target < 20 ms)\n", bestFile);
    std::printf("open from memory:  %8.3f ms   (target < 20 ms)\n", bestMemory);
    std::printf("lookup:            %8.3f us per name over %zu names   (target < 1 us)\n",
                bestLookup * 1000.0 / static_cast<double>(queries.size()), queries.size());
    return 0;
}
