// Reads generated Shift-JIS and UTF-8 text files through the file manager's
// streams and a StreamReader, with readToEnd and with readLine, and writes
// them back through a StreamWriter, printing the throughput in MB (10^6
// bytes of file) per second. The general
// character-at-a-time path (a decoder the reader does not know) is measured
// too, for comparison with the reader's direct path.

#include "io/Factory.h"
#include "io/TextCodec.h"
#include "OpaqueDecoder.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

using namespace QlIO;

namespace {

// Script-like text: mostly ASCII lines, or Japanese dialogue lines.
std::u16string makeText(size_t approxBytes, bool japanese)
{
    const std::u16string ascii[] = {
        u"local player = Player(\"hero\", 120, 48);\r\n",
        u"    if (input.isDown(\"key.enter\")) { scene.next(); }\r\n",
        u"// Draw the background and then the sprites in order\r\n",
        u"function update(frame) { return frame % 60 == 0 ? tick() : null; }\r\n",
        u"    canvas.drawImage(images[\"title\"], 0, 0);\r\n",
    };
    const std::u16string jp[] = {
        u"\u300C\u3053\u3093\u306B\u3061\u306F\u3001\u4E16\u754C\uFF01\u4ECA\u65E5\u3082\u3088\u308D\u3057\u304F\u304A\u9858\u3044\u3057\u307E\u3059\u3002\u300D\r\n",
        u"\u52C7\u8005\u306F\u68EE\u306E\u5965\u3078\u3068\u9032\u3093\u3060\u3002\u9759\u304B\u306A\u591C\u3060\u3063\u305F\u3002\r\n",
        u"\u30B9\u30C6\u30FC\u30B8\uFF13\u3092\u30AF\u30EA\u30A2\u3057\u307E\u3057\u305F\uFF01\u30DC\u30FC\u30CA\u30B9\u70B9\uFF1A\uFF11\uFF10\uFF10\uFF10\r\n",
        u"\u9B54\u6CD5\u4F7F\u3044\u306E\u8A00\u8449\u304C\u3001\u9060\u3044\u8A18\u61B6\u3092\u547C\u3073\u899A\u307E\u3059\u3002\r\n",
    };
    std::u16string text;
    size_t bytes = 0;
    for (size_t i = 0; bytes < approxBytes; ++i) {
        const std::u16string& line = japanese ? jp[i % 4] : ascii[i % 5];
        text += line;
        bytes += japanese ? line.size() * 2 : line.size();
    }
    return text;
}

double secondsOf(const std::function<size_t()>& work, size_t& result)
{
    const auto start = std::chrono::steady_clock::now();
    result = work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void measure(const char* label, const std::string& path, size_t fileBytes,
             const std::function<std::shared_ptr<IDecoder>()>& makeDecoder, size_t expectUnits)
{
    auto manager = createFileManager(createFileStorage());
    auto run = [&](bool lines) {
        double best = 1e9;
        for (int repeat = 0; repeat < 3; ++repeat) {
            size_t units = 0;
            const double s = secondsOf(
                [&] {
                    auto reader = createStreamReader(manager->openInputStream(fromUtf8(path), 0), makeDecoder());
                    size_t n = 0;
                    if (lines) {
                        while (reader->canRead())
                            n += reader->readLine().size() + 1;
                    } else {
                        n = reader->readToEnd().size();
                    }
                    return n;
                },
                units);
            if (!lines && units != expectUnits)
                std::fprintf(stderr, "  %s: read %zu units, expected %zu\n", label, units, expectUnits);
            best = std::min(best, s);
        }
        return fileBytes / 1e6 / best;
    };
    const double whole = run(false);
    const double byLine = run(true);
    std::printf("%-34s readToEnd %8.1f MB/s   readLine %8.1f MB/s\n", label, whole, byLine);
}

} // namespace

int main(int argc, char** argv)
{
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 50;
    const size_t size = megabytes * 1000 * 1000;
    char dir[] = "/tmp/ql_io_bench_XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    std::printf("StreamReader throughput, %zu MB files (best of 3)\n", megabytes);
    for (bool japanese : {false, true}) {
        const std::u16string text = makeText(size, japanese);
        const std::string sjis = encodeShiftJis(text);
        const std::string utf8 = toUtf8(text);
        const std::string sjisPath = std::string(dir) + (japanese ? "/jp.sjis" : "/ascii.sjis");
        const std::string utf8Path = std::string(dir) + (japanese ? "/jp.utf8" : "/ascii.utf8");
        std::ofstream(sjisPath, std::ios::binary) << sjis;
        std::ofstream(utf8Path, std::ios::binary) << utf8;
        // CR LF folds to LF: one unit less per line.
        size_t crlf = 0;
        for (size_t i = 0; i + 1 < text.size(); ++i)
            crlf += text[i] == u'\r' && text[i + 1] == u'\n';
        const size_t expect = text.size() - crlf;
        const char* kind = japanese ? "Japanese" : "mostly-ASCII";
        std::string label = std::string("Shift-JIS ") + kind;
        measure(label.c_str(), sjisPath, sjis.size(), createShiftJisDecoder, expect);
        label = std::string("Shift-JIS ") + kind + " (general)";
        measure(label.c_str(), sjisPath, sjis.size(),
                [] { return std::make_shared<Testing::OpaqueDecoder>(createShiftJisDecoder()); }, expect);
        label = std::string("UTF-8 ") + kind;
        measure(label.c_str(), utf8Path, utf8.size(), createUtf8Decoder, expect);
        label = std::string("UTF-8 ") + kind + " (general)";
        measure(label.c_str(), utf8Path, utf8.size(),
                [] { return std::make_shared<Testing::OpaqueDecoder>(createUtf8Decoder()); }, expect);
        for (int which = 0; which < 2; ++which) {
            auto manager = createFileManager(createFileStorage());
            const std::string outPath = std::string(dir) + "/out.txt";
            double best = 1e9;
            size_t bytesOut = 0;
            for (int repeat = 0; repeat < 2; ++repeat) {
                size_t units = 0;
                best = std::min(best, secondsOf(
                                          [&] {
                                              auto writer = createStreamWriter(
                                                  manager->openOutputStream(fromUtf8(outPath), 0),
                                                  which == 0 ? createShiftJisEncoder() : createUtf8Encoder());
                                              const size_t n = writer->write(text);
                                              writer->close();
                                              return n;
                                          },
                                          units));
                bytesOut = std::filesystem::file_size(outPath);
            }
            std::printf("StreamWriter %-9s %-14s write    %8.1f MB/s\n", which == 0 ? "Shift-JIS" : "UTF-8", kind,
                        bytesOut / 1e6 / best);
            std::remove(outPath.c_str());
        }
        std::remove(sjisPath.c_str());
        std::remove(utf8Path.c_str());
    }
    rmdir(dir);
    return 0;
}
