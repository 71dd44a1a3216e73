// IO.readTextFile called from a script on a 10 MB Shift-JIS file, loose and as an entry of a
// .qla archive mounted in the file manager, in MB (10^6 bytes of file) per second; beside it
// the same text read natively (a StreamReader's readToEnd over the same file manager), so the
// cost of the script layer shows.
//
//   build/bench/io/ql_io_script_bench [MB]     (10 by default; best of 5 runs)
#include "io/Factory.h"
#include "io/TextCodec.h"
#include "io/archive/ArchiveWriter.h"
#include "io/archive/QlaStorage.h"
#include "script/Binding.h"
#include "script/IOLibrary.h"
#include "script/ScriptText.h"

#include <sqstdaux.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

// Script-like text: ASCII source lines, or Japanese dialogue lines, with CR LF.
std::u16string makeText(std::size_t approxBytes, bool japanese) {
    const std::u16string ascii[] = {
        u"local player = Player(\"hero\", 120, 48);\r\n",
        u"    if (input.isDown(\"key.enter\")) { scene.next(); }\r\n",
        u"// Draw the background and then the sprites in order\r\n",
    };
    const std::u16string jp[] = {
        u"\u300C\u3053\u3093\u306B\u3061\u306F\u3001\u4E16\u754C\uFF01\u4ECA\u65E5\u3082\u3088\u308D\u3057\u304F\u304A\u9858\u3044\u3057\u307E\u3059\u3002\u300D\r\n",
        u"\u52C7\u8005\u306F\u68EE\u306E\u5965\u3078\u3068\u9032\u3093\u3060\u3002\u9759\u304B\u306A\u591C\u3060\u3063\u305F\u3002\r\n",
    };
    std::u16string text;
    std::size_t bytes = 0;
    for (std::size_t i = 0; bytes < approxBytes; ++i) {
        const std::u16string& line = japanese ? jp[i % 2] : ascii[i % 3];
        text += line;
        bytes += japanese ? line.size() * 2 : line.size();
    }
    return text;
}

double bestSeconds(const std::function<bool()>& work) {
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        const auto start = std::chrono::steady_clock::now();
        if (!work()) return -1;
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace Quillorane;
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10;
    char dir[] = "/tmp/ql_io_script_bench_XXXXXX";
    if (!mkdtemp(dir)) return 1;
    const std::filesystem::path folder(dir);

    auto files = QlIO::createFileManager(QlIO::createFileStorage(QlIO::fromUtf8(dir)));
    Qla::ArchiveWriter archive;
    std::size_t sizes[2] = {};
    for (bool japanese : {false, true}) {
        const std::string bytes = QlIO::encodeShiftJis(makeText(megabytes * 1000 * 1000, japanese));
        sizes[japanese] = bytes.size();
        std::ofstream(folder / (japanese ? "jp.txt" : "ascii.txt"), std::ios::binary) << bytes;
        archive.addFile(japanese ? "packed_jp.txt" : "packed_ascii.txt", std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }
    std::string error;
    if (!archive.writeFile(folder / "data.qla", &error)) {
        std::fprintf(stderr, "archive: %s\n", error.c_str());
        return 1;
    }
    files->addStorage(65535, QlIO::createArchiveStorage(QlIO::fromUtf8((folder / "data.qla").string()), std::string(Qla::kDefaultPassword)));

    HSQUIRRELVM v = sq_open(1024);
    sqstd_seterrorhandlers(v);
    IOLibrary io(files);
    if (!io.onLoad(v)) {
        std::fprintf(stderr, "the IO library did not load\n");
        return 1;
    }

    std::printf("IO.readTextFile from a script, %zu MB Shift-JIS (best of 5)\n", megabytes);
    for (const char* name : {"ascii.txt", "jp.txt", "packed_ascii.txt", "packed_jp.txt"}) {
        const bool japanese = std::string(name).find("jp") != std::string::npos;
        const std::u16string path = QlIO::fromUtf8(name);
        const double script = bestSeconds([&] {
            const SQInteger top = sq_gettop(v);
            const bool ok = compileText(v, u"return IO.readTextFile(\"" + path + u"\").len();", u"bench") && callWithRoot(v, true);
            SQInteger units = 0;
            if (ok) sq_getinteger(v, -1, &units);
            sq_settop(v, top);
            return ok && units > 0;
        });
        const double native = bestSeconds([&] {
            auto reader = QlIO::createStreamReader(files->openInputStream(path, 0), QlIO::createShiftJisDecoder());
            return reader && !reader->readToEnd().empty();
        });
        const double mb = static_cast<double>(sizes[japanese]) / 1e6;
        std::printf("%-18s %-9s script %7.1f MB/s   native readToEnd %7.1f MB/s\n", name,
                    std::string(name).rfind("packed", 0) == 0 ? "(archive)" : "(loose)", mb / script, mb / native);
    }
    Bind::releaseClasses(v);
    sq_close(v);
    std::filesystem::remove_all(folder);
    return 0;
}
