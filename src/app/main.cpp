// quillorane: runs a game.
//
//   quillorane [--headless] [--frames N] [--virtual-clock] [--screenshot FILE.png]
//              [--memory-limit MB] [GAME] [-- ARGS]
//   quillorane --dump-api
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

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <system_error>
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
    "  --dump-api            print the script API (every table, class, function, property and\n"
    "                        enumeration a game sees) and exit; the format is in docs/api/README.md\n"
    "  --help, --version\n";

struct CommandLine {
    bool dumpApi = false;
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
        } else if (arg == "--dump-api") {
            line.dumpApi = true;
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
    auto files = createStartupFileManager(origin.folder, origin.linked, origin.archive);
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

// ---------------------------------------------------------------------------------------------
// --dump-api: the script API as a game sees it, read from the live VM after start-up.
//
// One line per entry, "PATH KIND [DETAIL]", sorted by path component by component, so every
// table's and class's members follow it. Kinds:
//   table        a table of the runtime (a library table, a sub-table such as Graphics.Effect2D)
//   enum         a table whose slots are all integers; its slots follow as `const VALUE`
//   const        an enumeration value, or a constant of the const table (QUILLORANE_VERSION)
//   class        DETAIL "bound" (a native class: constructor check, __getTable/__setTable,
//                _get/_set, weakref) or "script"; then "extends PATH" for a derived class
//   constructor, method, function
//                DETAIL "(a, b = 1, ...)" for a script function (parameters after `this`,
//                defaults as stored); "native(N)" for a native one taking exactly N arguments,
//                "native(N+)" at least N, "native(*)" checked by the function itself;
//                "overloads(2,3)" when the name dispatches on the argument count (the
//                "__sqrat_ol_ NAME_N" variants)
//   property     a bound class's property: "get", "set" or "get set"
//   field        a non-function member of a class: TYPE and, for plain values, the value
//   value        a non-function slot of a table: TYPE and, for plain values, the value
//   std          a root slot of the Squirrel standard libraries, not changed by the runtime:
//                its TYPE only
// A derived class lists only the members it adds or replaces. Comment lines start with '#'.

struct ApiEntry {
    std::vector<std::string> path;
    std::string kind;
    std::string detail;
};

class ApiDump {
public:
    explicit ApiDump(HSQUIRRELVM v) : v_(v) {}

    // Remembers the root table's slots as the standard libraries left them.
    void rememberStandard() {
        forEachSlot(rootTable(), [&](const std::string& key, const HSQOBJECT& value) { standard_[key] = value; });
    }

    std::vector<ApiEntry> collect() {
        const HSQOBJECT root = rootTable();
        // First every class's path, so that "extends" and instance types can name them.
        forEachSlot(root, [&](const std::string& key, const HSQOBJECT& value) {
            if (!isStandard(key, value)) findClasses(value, {key});
        });
        std::map<std::string, HSQOBJECT> members;
        forEachSlot(root, [&](const std::string& key, const HSQOBJECT& value) { members[key] = value; });
        auto overloads = foldOverloads(members);
        for (const auto& [key, value] : members) {
            if (const auto ol = overloads.find(key); ol != overloads.end()) {
                add({key}, "function", ol->second);
                overloads.erase(ol);
            } else if (isStandard(key, value)) {
                add({key}, "std", typeName(value));
            } else {
                describe({key}, value);
            }
        }
        addLoneVariants({}, overloads, "function");
        sq_pushconsttable(v_);
        HSQOBJECT consts;
        sq_getstackobj(v_, -1, &consts);
        sq_poptop(v_);
        forEachSlot(consts, [&](const std::string& key, const HSQOBJECT& value) { add({key}, "const", literal(value)); });
        std::sort(entries_.begin(), entries_.end(), [](const ApiEntry& a, const ApiEntry& b) { return a.path < b.path; });
        return std::move(entries_);
    }

private:
    HSQOBJECT rootTable() {
        sq_pushroottable(v_);
        HSQOBJECT root;
        sq_getstackobj(v_, -1, &root);
        sq_poptop(v_);
        return root;
    }

    // Calls f(key, value) for every slot of a table or class (keys as text; a key that is not
    // a plain name is written in brackets).
    template <class F>
    void forEachSlot(const HSQOBJECT& container, F&& f) {
        const SQInteger top = sq_gettop(v_);
        sq_pushobject(v_, container);
        sq_pushnull(v_);
        while (SQ_SUCCEEDED(sq_next(v_, -2))) {
            HSQOBJECT key, value;
            sq_getstackobj(v_, -2, &key);
            sq_getstackobj(v_, -1, &value);
            sq_pop(v_, 2);
            f(keyText(key), value);
        }
        sq_settop(v_, top);
    }

    std::string keyText(const HSQOBJECT& key) {
        if (key._type != OT_STRING) return "[" + literal(key) + "]";
        const std::string text = toText(key);
        const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
        });
        if (plain) return text;
        // Bracketed, with blanks escaped so that a path never holds a blank.
        std::string out = "[";
        for (char c : literal(key)) out += c == ' ' ? std::string("\\x20") : std::string(1, c);
        return out + "]";
    }

    std::string toText(const HSQOBJECT& o) {
        const SQInteger top = sq_gettop(v_);
        sq_pushobject(v_, o);
        std::string out;
        if (SQ_SUCCEEDED(sq_tostring(v_, -1))) {
            const SQChar* s = nullptr;
            sq_getstring(v_, -1, &s);
            out = sqstd::toUtf8(std::u16string_view(s, static_cast<std::size_t>(sq_getsize(v_, -1))));
        }
        sq_settop(v_, top);
        return out;
    }

    bool isStandard(const std::string& key, const HSQOBJECT& value) const {
        const auto it = standard_.find(key);
        return it != standard_.end() && same(it->second, value);
    }

    // Whether two objects are the same value (the same object for reference types).
    static bool same(const HSQOBJECT& a, const HSQOBJECT& b) {
        if (a._type != b._type) return false;
        switch (a._type) {
        case OT_NULL: return true;
        case OT_INTEGER:
        case OT_BOOL: return a._unVal.nInteger == b._unVal.nInteger;
        case OT_FLOAT: return std::memcmp(&a._unVal.fFloat, &b._unVal.fFloat, sizeof(SQFloat)) == 0;
        default: return a._unVal.pRefCounted == b._unVal.pRefCounted;
        }
    }

    // The value's type as the script's typeof names it.
    std::string typeName(const HSQOBJECT& o) {
        const SQInteger top = sq_gettop(v_);
        sq_pushobject(v_, o);
        std::string out = "other";
        if (SQ_SUCCEEDED(sq_typeof(v_, -1))) {
            const SQChar* s = nullptr;
            sq_getstring(v_, -1, &s);
            out = sqstd::toUtf8(s);
        }
        sq_settop(v_, top);
        return out;
    }

    // A plain value as source text; other values by their type (arrays with their length,
    // instances with their class's path).
    std::string literal(const HSQOBJECT& o) {
        switch (o._type) {
        case OT_NULL: return "null";
        case OT_INTEGER:
        case OT_FLOAT:
        case OT_BOOL: return toText(o);
        case OT_STRING: {
            std::string out = "\"";
            for (char c : toText(o)) {
                if (c == '"' || c == '\\') out += '\\';
                if (c == '\n') out += "\\n";
                else if (c == '\t') out += "\\t";
                else out += c;
            }
            return out + "\"";
        }
        case OT_ARRAY: {
            sq_pushobject(v_, o);
            const SQInteger n = sq_getsize(v_, -1);
            sq_poptop(v_);
            return "array(" + std::to_string(n) + ")";
        }
        case OT_INSTANCE: {
            sq_pushobject(v_, o);
            sq_getclass(v_, -1);
            HSQOBJECT cls;
            sq_getstackobj(v_, -1, &cls);
            sq_pop(v_, 2);
            const auto it = classPaths_.find(cls._unVal.pRefCounted);
            return it == classPaths_.end() ? "instance" : "instance " + it->second;
        }
        default: return typeName(o);
        }
    }

    static std::string joined(const std::vector<std::string>& path) {
        std::string out;
        for (const auto& part : path) out += (out.empty() ? "" : ".") + part;
        return out;
    }

    void add(std::vector<std::string> path, std::string kind, std::string detail) {
        entries_.push_back({std::move(path), std::move(kind), std::move(detail)});
    }

    void findClasses(const HSQOBJECT& value, const std::vector<std::string>& path) {
        if (value._type == OT_CLASS) {
            classPaths_.emplace(value._unVal.pRefCounted, joined(path));
        } else if (value._type == OT_TABLE && path.size() < 8) {
            forEachSlot(value, [&](const std::string& key, const HSQOBJECT& member) {
                auto inner = path;
                inner.push_back(key);
                findClasses(member, inner);
            });
        }
    }

    // What a table holds: an API (functions, classes, tables), an enumeration (integers
    // only) or plain data (a lookup table such as Util.serialize_reserved_).
    enum class TableKind { Api, Enumeration, Data };
    TableKind tableKind(const HSQOBJECT& table, SQInteger* size) {
        bool allIntegers = true, api = false;
        *size = 0;
        forEachSlot(table, [&](const std::string&, const HSQOBJECT& value) {
            ++*size;
            allIntegers = allIntegers && value._type == OT_INTEGER;
            api = api || value._type == OT_TABLE || value._type == OT_CLASS || value._type == OT_CLOSURE ||
                  value._type == OT_NATIVECLOSURE;
        });
        if (*size == 0 || api) return TableKind::Api;
        return allIntegers ? TableKind::Enumeration : TableKind::Data;
    }

    // A table slot of the runtime: tables and classes with their members.
    void describe(const std::vector<std::string>& path, const HSQOBJECT& value) {
        switch (value._type) {
        case OT_TABLE: {
            SQInteger size = 0;
            const TableKind kind = tableKind(value, &size);
            if (kind == TableKind::Data) {
                add(path, "value", "table(" + std::to_string(size) + ")");
            } else if (kind == TableKind::Enumeration) {
                add(path, "enum", "");
                forEachSlot(value, [&](const std::string& key, const HSQOBJECT& member) {
                    auto inner = path;
                    inner.push_back(key);
                    add(inner, "const", literal(member));
                });
            } else {
                add(path, "table", "");
                if (path.size() >= 8) return;
                std::map<std::string, HSQOBJECT> members;
                forEachSlot(value, [&](const std::string& key, const HSQOBJECT& member) { members[key] = member; });
                auto overloads = foldOverloads(members);
                for (const auto& [key, member] : members) {
                    auto inner = path;
                    inner.push_back(key);
                    const auto ol = overloads.find(key);
                    if (ol != overloads.end() && (member._type == OT_CLOSURE || member._type == OT_NATIVECLOSURE)) {
                        add(inner, "function", ol->second);
                        overloads.erase(ol);
                    } else {
                        describe(inner, member);
                    }
                }
                addLoneVariants(path, overloads, "function");
            }
            break;
        }
        case OT_CLASS: describeClass(path, value); break;
        case OT_CLOSURE:
        case OT_NATIVECLOSURE: add(path, "function", signature(value)); break;
        default: add(path, "value", typeAndValue(value)); break;
        }
    }

    std::string typeAndValue(const HSQOBJECT& value) {
        switch (value._type) {
        case OT_INTEGER: case OT_FLOAT: case OT_BOOL: case OT_STRING:
            return std::string(typeName(value)) + " " + literal(value);
        case OT_ARRAY: case OT_INSTANCE: return literal(value);
        default: return typeName(value);
        }
    }

    // The slot `key` of a class or table, read without delegates or metamethods.
    std::optional<HSQOBJECT> rawSlot(const HSQOBJECT& container, std::u16string_view key) {
        const SQInteger top = sq_gettop(v_);
        sq_pushobject(v_, container);
        sq_pushstring(v_, key.data(), static_cast<SQInteger>(key.size()));
        std::optional<HSQOBJECT> out;
        if (SQ_SUCCEEDED(sq_rawget(v_, -2))) {
            HSQOBJECT o;
            sq_getstackobj(v_, -1, &o);
            out = o;
        }
        sq_settop(v_, top);
        return out;
    }

    void describeClass(const std::vector<std::string>& path, const HSQOBJECT& cls) {
        const auto getters = rawSlot(cls, u"__getTable");
        const auto setters = rawSlot(cls, u"__setTable");
        // Native when its constructor is (a script class derived from a native one shares the
        // property tables but has a script constructor).
        const auto ctor = rawSlot(cls, u"constructor");
        const bool bound = getters && setters && getters->_type == OT_TABLE && setters->_type == OT_TABLE && ctor &&
                           ctor->_type == OT_NATIVECLOSURE;
        std::string detail = bound ? "bound" : "script";
        std::optional<HSQOBJECT> base;
        sq_pushobject(v_, cls);
        if (SQ_SUCCEEDED(sq_getbase(v_, -1))) {
            HSQOBJECT b;
            sq_getstackobj(v_, -1, &b);
            if (b._type == OT_CLASS) {
                base = b;
                const auto it = classPaths_.find(b._unVal.pRefCounted);
                detail += " extends " + (it == classPaths_.end() ? std::string("?") : it->second);
            }
            sq_poptop(v_);
        }
        sq_poptop(v_);
        add(path, "class", detail);

        std::map<std::string, HSQOBJECT> members;
        forEachSlot(cls, [&](const std::string& key, const HSQOBJECT& value) {
            if (base) {
                const auto inherited = rawSlot(*base, sqstd::fromUtf8(unbracketed(key)));
                if (inherited && same(*inherited, value)) return;
            }
            members[key] = value;
        });
        auto overloads = foldOverloads(members);
        static const std::set<std::string> bindingMembers = {"__getTable", "__setTable", "_get", "_set", "weakref"};
        for (const auto& [key, value] : members) {
            if (bound && bindingMembers.count(key)) continue;
            auto inner = path;
            inner.push_back(key);
            const bool function = value._type == OT_CLOSURE || value._type == OT_NATIVECLOSURE;
            const std::string kind = key == "constructor" ? "constructor" : function ? "method" : "field";
            if (const auto ol = overloads.find(key); ol != overloads.end()) {
                add(inner, kind, ol->second);
                overloads.erase(ol);
            } else {
                add(inner, kind, function ? signature(value) : typeAndValue(value));
            }
        }
        addLoneVariants(path, overloads, "method");
        if (!bound) return;
        std::map<std::string, std::string> properties;
        auto collectProperties = [&](const HSQOBJECT& table, const char* what) {
            forEachSlot(table, [&](const std::string& key, const HSQOBJECT&) {
                auto& d = properties[key];
                d += (d.empty() ? "" : " ") + std::string(what);
            });
        };
        // A derived class shares its base's property tables: only the base lists them.
        if (!base || !rawSlot(*base, u"__getTable") || !same(*rawSlot(*base, u"__getTable"), *getters)) collectProperties(*getters, "get");
        if (!base || !rawSlot(*base, u"__setTable") || !same(*rawSlot(*base, u"__setTable"), *setters)) collectProperties(*setters, "set");
        for (const auto& [key, detail2] : properties) {
            auto inner = path;
            inner.push_back(key);
            add(inner, "property", detail2);
        }
    }

    // Takes the overload variants ("__sqrat_ol_ NAME_N" keys) out of members; returns
    // "overloads(N,...)" by plain name, argument counts ascending.
    static std::map<std::string, std::string> foldOverloads(std::map<std::string, HSQOBJECT>& members) {
        static const std::string prefix = "[\"__sqrat_ol_\\x20";
        std::map<std::string, std::vector<int>> arities;
        for (auto it = members.begin(); it != members.end();) {
            const std::string& key = it->first;  // ["__sqrat_ol_\x20NAME_N"]
            const auto underscore = key.rfind('_');
            if (key.rfind(prefix, 0) == 0 && underscore != std::string::npos && underscore > prefix.size()) {
                arities[key.substr(prefix.size(), underscore - prefix.size())].push_back(std::atoi(key.c_str() + underscore + 1));
                it = members.erase(it);
            } else {
                ++it;
            }
        }
        std::map<std::string, std::string> out;
        for (auto& [name, counts] : arities) {
            std::sort(counts.begin(), counts.end());
            std::string list;
            for (int n : counts) list += (list.empty() ? "" : ",") + std::to_string(n);
            out[name] = "overloads(" + list + ")";
        }
        return out;
    }

    // Variants whose plain name holds no dispatcher (a script removed it): listed as such.
    void addLoneVariants(const std::vector<std::string>& path, const std::map<std::string, std::string>& overloads, const char* kind) {
        for (const auto& [name, detail] : overloads) {
            auto inner = path;
            inner.push_back(name);
            add(inner, kind, detail + " no-dispatcher");
        }
    }

    // The key text of a bracketed key (escapes undone), a plain key as it is.
    static std::string unbracketed(const std::string& key) {
        if (key.size() < 4 || key.front() != '[' || key[1] != '"') return key;
        const std::string body = key.substr(2, key.size() - 4);
        std::string out;
        for (std::size_t i = 0; i < body.size(); ++i) {
            if (body.compare(i, 4, "\\x20") == 0) {
                out += ' ';
                i += 3;
            } else if (body[i] == '\\' && i + 1 < body.size()) {
                const char c = body[++i];
                out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
            } else {
                out += body[i];
            }
        }
        return out;
    }

    // "(a, b = 1, ...)" for a script function, native(N) / native(N+) / native(*) for a native one.
    std::string signature(const HSQOBJECT& fn) {
        const SQInteger top = sq_gettop(v_);
        std::string out;
        sq_pushobject(v_, fn);
        if (fn._type == OT_NATIVECLOSURE) {
            SQUnsignedInteger nparams = 0, nfree = 0;
            sq_getclosureinfo(v_, -1, &nparams, &nfree);
            const auto n = static_cast<SQInteger>(nparams);
            out = n > 0 ? "native(" + std::to_string(n - 1) + ")" : n < 0 ? "native(" + std::to_string(-n - 1) + "+)" : "native(*)";
            sq_settop(v_, top);
            return out;
        }
        // The closure's own getinfos(): parameter names (`this` first, "..." last for
        // varargs) and the default values of the last parameters.
        sq_pushstring(v_, u"getinfos", -1);
        if (SQ_SUCCEEDED(sq_get(v_, -2))) {
            sq_push(v_, -2);
            if (SQ_SUCCEEDED(sq_call(v_, 1, SQTrue, SQFalse))) {
                HSQOBJECT infos;
                sq_getstackobj(v_, -1, &infos);
                std::vector<std::string> params, defaults;
                if (auto p = rawSlot(infos, u"parameters")) forEachSlot(*p, [&](const std::string&, const HSQOBJECT& name) { params.push_back(toText(name)); });
                if (auto d = rawSlot(infos, u"defparams")) forEachSlot(*d, [&](const std::string&, const HSQOBJECT& value) { defaults.push_back(literal(value)); });
                const bool varargs = !params.empty() && params.back() == "...";
                // The VM names the variable arguments' array "vargv" before the "...".
                if (varargs && params.size() >= 2 && params[params.size() - 2] == "vargv") params.erase(params.end() - 2);
                const std::size_t named = params.size() - (varargs ? 1 : 0);
                out = "(";
                for (std::size_t i = 1; i < params.size(); ++i) {
                    if (i > 1) out += ", ";
                    out += params[i];
                    if (i < named && i + defaults.size() >= named) out += " = " + defaults[i + defaults.size() - named];
                }
                out += ")";
            }
        }
        sq_settop(v_, top);
        return out;
    }

    HSQUIRRELVM v_;
    std::map<std::string, HSQOBJECT> standard_;
    std::map<void*, std::string> classPaths_;
    std::vector<ApiEntry> entries_;
};

// Starts the host headless on an empty game (a fresh folder, default settings, no start.nut)
// and prints the API it registered. 0 when the dump was printed.
int dumpApi() {
    ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::string folder = std::string(std::getenv("TMPDIR") && *std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/quillorane-api.XXXXXX";
    if (!::mkdtemp(folder.data())) return startFailed("cannot create an empty game folder");
    const std::u16string game = QlIO::fromNativePath(folder);
    int status = 1;
    if (::chdir(folder.c_str()) == 0) {
        auto files = createStartupFileManager(game, u"");
        setFileManager(files);
        const SetupSettings settings;
        setSetupSettings(settings);
        auto window = QlFrame::Core::Window::create(settings.title, settings.width, settings.height);
        if (!files || !window) {
            status = startFailed("the empty game cannot be started");
        } else {
            HostOptions options;
            options.commandLine.push_back(getExecutablePath());
            std::optional<ApiDump> dump;
            std::vector<ApiEntry> entries;
            options.inspect = [&](HSQUIRRELVM v, HostOptions::StartupStep step) {
                if (step == HostOptions::StartupStep::StandardLibraries) {
                    dump.emplace(v);
                    dump->rememberStandard();
                } else if (dump) {
                    entries = dump->collect();
                }
            };
            ScriptHost host(files, settings, options);
            HostOutcome outcome = HostOutcome::Finished;
            QlFrame::run(window, [&] { outcome = host.run(); });
            window.reset();
            if (outcome != HostOutcome::Finished || entries.empty()) {
                status = startFailed("the runtime did not start: " + host.failure());
            } else {
                std::string text = "# quillorane script API, format 1: PATH KIND [DETAIL]\n";
                for (const auto& e : entries) {
                    std::string path;
                    for (const auto& part : e.path) path += (path.empty() ? "" : ".") + part;
                    text += path + " " + e.kind + (e.detail.empty() ? "" : " " + e.detail) + "\n";
                }
                std::fwrite(text.data(), 1, text.size(), stdout);
                status = std::fflush(stdout) == 0 ? 0 : 1;
            }
        }
        setFileManager(nullptr);
    } else {
        status = startFailed("cannot enter the empty game folder");
    }
    (void)::chdir("/");
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const CommandLine line = parse(argc, argv);
    if (line.dumpApi && (!line.game.empty() || !line.gameArguments.empty()))
        usageError("--dump-api starts an empty game of its own and takes no game");
    return line.dumpApi ? dumpApi() : runGame(line);
}
