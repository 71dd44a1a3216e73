// Fuzzes script text run through the host: every input is the main script of a game whose
// VM holds the whole runtime (the standard and native libraries, their preludes, the
// bootstrap), run by the host's own ScriptRunner for a few frames on an offscreen window and
// then shut down as a game ends. The game folder holds one file of each kind the libraries
// read, so inputs can load images, sounds, models and text.
//
// Inputs run under an event budget (a native debug hook raises an error once it is spent) and
// the script memory budget; inputs with loop statements are left out, since a loop on one
// line gives the hook nothing to count. Scripts may write files, only inside the game folder's
// temporary copy. The fuzzer works in that folder, so corpus folders must be given as
// absolute paths.
#include "app/ScriptHost.h"
#include "app/Setup.h"
#include "app/StartupStorages.h"
#include "frame/Window.h"
#include "io/Path.h"
#include "io/TextCodec.h"
#include "platform/Clock.h"

#include <sqmemory.h>
#include <sqstdutf.h>

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

namespace {

using namespace Quillorane;

constexpr long kBudget = 20000;
constexpr int kFrames = 3;
long g_events = 0;

void budgetHook(HSQUIRRELVM v, SQInteger, const SQChar*, SQInteger, const SQChar*) {
    if (++g_events > kBudget) sq_throwerror(v, u"event budget exhausted");
}

struct Game {
    std::string folder;
    std::shared_ptr<QlIO::IFileManager> files;
    std::shared_ptr<QlFrame::IWindow> window;
    SetupSettings settings;
};

void copyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
}

Game& game() {
    static Game g = [] {
        Game made;
        ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        QlPlatform::setVirtualClock(true);
        sq_setmemorylimit(std::size_t{128} << 20);
        char pattern[] = "/tmp/qlscriptfuzz.XXXXXX";
        made.folder = ::mkdtemp(pattern);
        const std::string data = QL_FUZZ_DATA;
        copyFile(data + "/scripts/audio_api.files/se.wav", made.folder + "/se.wav");
        copyFile(data + "/scripts/audio_api.files/tone.ogg", made.folder + "/tone.ogg");
        copyFile(data + "/scripts/gfx3d_api.files/models/triangle.mqo", made.folder + "/model.mqo");
        copyFile(data + "/scripts/gfx3d_api.files/movie.avi", made.folder + "/movie.avi");
        copyFile(data + "/scripts/damaged_media.files/image.png", made.folder + "/image.png");
        copyFile(data + "/scripts/io_archive.files/pack.qla", made.folder + "/pack.qla");
        std::ofstream(made.folder + "/text.txt") << "one\ntwo\n";
        std::ofstream(made.folder + "/setup.nut") << "";
        if (::chdir(made.folder.c_str()) != 0) std::abort();
        const auto folder = QlIO::fromNativePath(made.folder);
        made.files = createStartupFileManager(folder, u"");
        setFileManager(made.files);
        setSetupSettings(made.settings);
        made.window = QlFrame::Core::Window::create(u"fuzz", 64, 48);
        if (!made.files || !made.window) std::abort();
        return made;
    }();
    return g;
}

// Whether the text has one of the loop keywords as a word of its own.
bool hasLoop(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        auto isWord = [&](std::size_t k) {
            const char c = text[k];
            return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        };
        if (!isWord(i)) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && isWord(end)) ++end;
        const std::string_view word = text.substr(i, end - i);
        if (word == "while" || word == "for" || word == "foreach" || word == "do") return true;
        i = end;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (hasLoop(bytes)) return 0;
    Game& g = game();
    // an input that called quit() closed the window: the next one gets a new one
    if (!g.window->getNativeWindow()) g.window = QlFrame::Core::Window::create(u"fuzz", 64, 48);
    if (!g.window) std::abort();
    const std::u16string text = sqstd::fromUtf8(bytes);

    HostOptions options;
    options.commandLine = {u"quillorane"};
    options.inspect = [&](HSQUIRRELVM v, HostOptions::StartupStep step) {
        if (step != HostOptions::StartupStep::Started) return;
        g_events = 0;
        sq_setnativedebughook(v, budgetHook);
        ScriptRunner runner(v);
        if (!runner.load(text, u"start.nut")) return;
        for (int frame = 0; frame < kFrames && runner.state() != ScriptRunner::Finished; ++frame) {
            if (!QlFrame::processMessages()) break;
            runner.resume();
        }
        sq_setnativedebughook(v, nullptr);
    };
    ScriptHost host(g.files, g.settings, options);
    QlFrame::run(g.window, [&] { host.run(); });
    return 0;
}
