// quillorane: runs a game.
//
//   quillorane [--headless] [--frames N] [--virtual-clock] [--screenshot FILE.png]
//              [--memory-limit MB] [GAME] [-- ARGS]
//
// GAME is a game folder, a .qla archive (mounted where an archive linked onto the executable
// would be, with the folder holding it as the game folder) or absent (the executable's own
// folder and the archive linked onto it). Exit status: the game's (0), 1 when the game could
// not start or ended with a script error, 2 for a wrong command line.
#include "app/Output.h"
#include "app/ScriptHost.h"
#include "app/Setup.h"
#include "app/StartupStorages.h"
#include "frame/Window.h"
#include "graphics/GraphicsFileLoader.h"
#include "graphics/Images.h"
#include "io/Path.h"
#include "io/TextCodec.h"
#include "io/archive/QlaStorage.h"
#include "platform/Clock.h"
#include "platform/Dialog.h"

#include <sqmemory.h>
#include <sqstdutf.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace Quillorane;

constexpr const char* kUsage =
    "usage: quillorane [options] [GAME] [-- game arguments]\n"
    "\n"
    "GAME is a game folder, a .qla archive, or absent (the game linked onto this executable,\n"
    "or the one in its folder).\n"
    "\n"
    "  --headless            no window on screen, no sound device; questions are answered Yes\n"
    "  --frames N            end the run after N frames\n"
    "  --virtual-clock       time advances only when the game sleeps (deterministic runs)\n"
    "  --screenshot FILE.png save the screen when the run ends\n"
    "  --memory-limit MB     what the game's scripts may hold (default 1024; 0: no limit)\n"
    "  --help, --version\n";

struct CommandLine {
    bool headless = false;
    bool virtualClock = false;
    unsigned frames = 0;
    // What scripts may hold before an allocation raises "out of memory". The reference runtime
    // is a 32-bit process, so no game it runs holds anywhere near this much.
    unsigned long memoryLimitMb = 1024;
    std::string screenshot;
    std::string game;
    std::vector<std::string> gameArguments;
};

// One line on stderr and exit status 2.
[[noreturn]] void usageError(const std::string& message) {
    std::fprintf(stderr, "quillorane: %s (see quillorane --help)\n", message.c_str());
    std::exit(2);
}

CommandLine parse(int argc, char** argv) {
    CommandLine line;
    bool haveGame = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usageError(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--") {
            for (++i; i < argc; ++i) line.gameArguments.push_back(argv[i]);
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--version") {
            std::printf("quillorane %s (Squirrel 3.0.4)\n", QL_VERSION);
            std::exit(0);
        } else if (arg == "--headless") {
            line.headless = true;
        } else if (arg == "--virtual-clock") {
            line.virtualClock = true;
        } else if (arg == "--frames") {
            const std::string n = value();
            char* end = nullptr;
            const unsigned long frames = std::strtoul(n.c_str(), &end, 10);
            if (n.empty() || *end || n[0] == '-' || frames == 0 || frames > 0xFFFFFFFFul)
                usageError("--frames takes a positive number, not '" + n + "'");
            line.frames = static_cast<unsigned>(frames);
        } else if (arg == "--memory-limit") {
            const std::string n = value();
            char* end = nullptr;
            const unsigned long mb = std::strtoul(n.c_str(), &end, 10);
            if (n.empty() || *end || n[0] == '-' || mb > (1ul << 24))
                usageError("--memory-limit takes a number of megabytes, not '" + n + "'");
            line.memoryLimitMb = mb;
        } else if (arg == "--screenshot") {
            line.screenshot = value();
        } else if (arg.size() > 1 && arg[0] == '-') {
            usageError("unknown option " + arg);
        } else if (!haveGame) {
            line.game = arg;
            haveGame = true;
        } else {
            usageError("more than one game given ('" + line.game + "' and '" + arg + "'); game arguments go after --");
        }
    }
    return line;
}

// Where the game's files come from.
struct GameOrigin {
    std::u16string folder;   // becomes the current directory
    std::u16string linked;   // the executable carrying a linked block (may be empty)
    std::u16string archive;  // a .qla given on the command line (may be empty)
};

GameOrigin locateGame(const CommandLine& line) {
    GameOrigin origin;
    const std::u16string exe = getExecutablePath();
    if (line.game.empty()) {
        origin.folder = QlIO::getDirectoryPart(exe);
        origin.linked = exe;
        return origin;
    }
    struct stat st {};
    if (::stat(line.game.c_str(), &st) != 0) usageError("no game at '" + line.game + "'");
    const std::u16string path = QlIO::getAbsolutePath(QlIO::fromNativePath(line.game));
    if (S_ISDIR(st.st_mode)) {
        origin.folder = path;
    } else if (S_ISREG(st.st_mode) && QlIO::getExtension(path) == u"qla") {
        origin.folder = QlIO::getDirectoryPart(path);
        origin.archive = path;
    } else {
        usageError("'" + line.game + "' is neither a game folder nor a .qla archive");
    }
    return origin;
}

// A start-up that cannot go on: the cause on stderr and exit status 1.
int startFailed(const std::string& why) {
    std::fprintf(stderr, "quillorane: %s\n", why.c_str());
    return 1;
}

// After a run that an error ended: say why on stderr and, with a window system, in a message
// box that names error.txt, so a player sees why the game closed.
void reportScriptError(const std::u16string& folder, const std::string& first) {
    const std::string where = QlIO::toUtf8(folder) + "/error.txt";
    std::fprintf(stderr, "quillorane: the game stopped with an error: %s (details in %s)\n", first.c_str(), where.c_str());
    QlPlatform::showError(nullptr, "Quillorane", first + "\n\nThe details are in " + where);
}

int runGame(const CommandLine& line) {
    if (line.headless) {
        ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    if (line.virtualClock) QlPlatform::setVirtualClock(true);
    sq_setmemorylimit(static_cast<std::size_t>(line.memoryLimitMb) << 20);

    const GameOrigin origin = locateGame(line);
    // The screenshot path is taken from where the command was given, before the game folder
    // becomes the current directory.
    std::string screenshotPath = line.screenshot;
    if (!screenshotPath.empty() && screenshotPath[0] != '/') {
        if (char* cwd = ::getcwd(nullptr, 0)) {
            screenshotPath = std::string(cwd) + "/" + screenshotPath;
            std::free(cwd);
        }
    }
    if (::chdir(QlIO::toNativePath(origin.folder).c_str()) != 0) return startFailed("cannot enter the game folder");
    auto files = createStartupFileManager(origin.folder, origin.linked);
    if (!files) return startFailed("the game folder cannot be read");
    if (!origin.archive.empty()) {
        auto archive = QlIO::createArchiveStorage(origin.archive, kArchivePassword);
        if (!archive) return startFailed(QlIO::toUtf8(origin.archive) + " is not an archive of this runtime");
        files->addStorage(0, std::move(archive));
    }
    setFileManager(files);

    SetupSettings settings;
    std::string why;
    if (!readSetupFile(*files, settings, &why)) return startFailed(why);
    setSetupSettings(settings);

    auto monitor = QlFrame::createMonitor(settings.id);
    if (settings.single && monitor && !monitor->isFirst()) {
        monitor->requestRaise();
        return 0;
    }

    auto window = QlFrame::Core::Window::create(settings.title, settings.width, settings.height);
    if (!window) return startFailed("the window cannot be opened");
    if (auto native = window->getNativeWindow()) {
        GraphicsFileLoader loader(files);
        QlGraphics::loadWindowIcon(*native, loader, u"icon.png");
    }
    window->addCloseHandler([](QlFrame::IWindow& w) {
        auto native = w.getNativeWindow();
        if (QlPlatform::askYesNo(native.get(), "確認", "終了してもよろしいですか？")) w.destroy();
        return QlFrame::EventResult::makeHandled(0);
    });

    HostOptions options;
    options.commandLine.push_back(getExecutablePath());
    for (const auto& arg : line.gameArguments) options.commandLine.push_back(QlIO::fromNativePath(arg));
    options.frameLimit = line.frames;
    options.screenshot = screenshotPath;

    HostOutcome outcome = HostOutcome::Finished;
    ScriptHost host(files, settings, options);
    const int code = QlFrame::run(window, [&] { outcome = host.run(); });
    window.reset();
    monitor.reset();

    switch (outcome) {
    case HostOutcome::StartFailed:
        return startFailed(host.failure() + (errorsReported() ? " (details in " + QlIO::toUtf8(origin.folder) + "/error.txt)" : ""));
    case HostOutcome::ScriptFailed: reportScriptError(origin.folder, host.failure()); return 1;
    case HostOutcome::Finished: break;
    }
    return code;
}

}  // namespace

int main(int argc, char** argv) { return runGame(parse(argc, argv)); }
