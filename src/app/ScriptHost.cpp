#include "app/ScriptHost.h"

#include "app/Output.h"
#include "app/ScriptFiles.h"
#include "app/Setup.h"
#include "app/SystemLibrary.h"
#include "frame/Window.h"
#include "script/AudioLibrary.h"
#include "script/Binding.h"
#include "script/CollectionLibrary.h"
#include "script/CollisionLibrary.h"
#include "script/GraphicsLibrary.h"
#include "script/IOLibrary.h"
#include "script/InputLibrary.h"
#include "script/LogLibrary.h"
#include "script/MathLibrary.h"
#include "script/ScriptText.h"
#include "script/UtilLibrary.h"

#include <sqstdaux.h>
#include <sqstdblob.h>
#include <sqstdio.h>
#include <sqstdmath.h>
#include <sqstdstring.h>
#include <sqstdsystem.h>
#include <sqstdutf.h>

#include <cstdio>
#include <functional>

namespace Quillorane {

// ---------------------------------------------------------------------------------------------
// The main script

bool ScriptRunner::load(std::u16string_view text, std::u16string_view sourceName) {
    release();
    if (!compileText(v_, text, sourceName)) return false;
    sq_getstackobj(v_, -1, &main_);
    sq_addref(v_, &main_);
    sq_pop(v_, 1);
    state_ = Loaded;
    return true;
}

void ScriptRunner::resume() {
    bool ok = true;
    if (state_ == Loaded) {
        baseTop_ = sq_gettop(v_);
        sq_pushobject(v_, main_);
        sq_pushroottable(v_);
        ok = SQ_SUCCEEDED(sq_call(v_, 1, SQFalse, SQTrue));
    } else if (state_ == Suspended) {
        ok = SQ_SUCCEEDED(sq_wakeupvm(v_, SQFalse, SQFalse, SQTrue, SQFalse));
    } else {
        return;
    }
    if (ok && sq_getvmstate(v_) == SQ_VMSTATE_SUSPENDED) {
        state_ = Suspended;
        return;
    }
    failed_ = !ok;
    if (failed_) {
        sq_getlasterror(v_);
        if (SQ_SUCCEEDED(sq_tostring(v_, -1))) {
            const SQChar* s = nullptr;
            sq_getstring(v_, -1, &s);
            failure_.assign(s, static_cast<std::size_t>(sq_getsize(v_, -1)));
        }
    }
    sq_settop(v_, baseTop_);
    state_ = Finished;
}

void ScriptRunner::release() {
    if (main_._type != OT_NULL) sq_release(v_, &main_);
    sq_resetobject(&main_);
    if (state_ != Finished) state_ = None;
}

// ---------------------------------------------------------------------------------------------
// Bootstrap

namespace {

// An ordinary string literal holding text exactly.
std::u16string quoted(std::u16string_view text) {
    std::u16string out = u"\"";
    for (char16_t c : text) {
        switch (c) {
        case u'\\': out += u"\\\\"; break;
        case u'"': out += u"\\\""; break;
        case u'\n': out += u"\\n"; break;
        case u'\r': out += u"\\r"; break;
        case u'\t': out += u"\\t"; break;
        case u'\0': out += u"\\0"; break;
        default: out += c;
        }
    }
    return out + u"\"";
}

// A verbatim string literal holding text exactly (a quote is written twice).
std::u16string verbatim(std::u16string_view text) {
    std::u16string out = u"@\"";
    for (char16_t c : text) {
        if (c == u'"') out += u'"';
        out += c;
    }
    return out + u"\"";
}

}  // namespace

std::u16string bootstrapText(const SetupSettings& settings, const std::vector<std::u16string>& commandLine) {
    std::u16string text = u"const QUILLORANE_VERSION = 110;const SQUIRREL_VERSION = 304;";
    text += settings.debug ? u"DEBUG <- true;" : u"DEBUG <- false;";
    text += u"cmdline <- [";
    for (const auto& arg : commandLine) text += verbatim(arg) + u", ";
    text += u"];";
    for (const auto& name : settings.plugins) text += u"import(" + quoted(name) + u");";
    for (const auto& path : settings.scripts) text += u"include(" + quoted(path) + u");";
    return text;
}

// ---------------------------------------------------------------------------------------------
// The host

namespace {

// What a library may need when it is created: the game's files and the main window.
struct LibraryContext {
    std::shared_ptr<QlIO::IFileManager> files;
    std::shared_ptr<QlFrame::IWindow> window;  // empty without a window
    std::string screenshot;                    // where to save the screen as the run ends
};

using LibraryFactory = std::unique_ptr<Library> (*)(const LibraryContext&);

// The native libraries in registration order: System, Math, IO, Graphics, Audio, Input, Util,
// Collision, Collection, Log. Each prelude sees the tables of the libraries before it, so the
// order is part of the script API.
const std::vector<LibraryFactory>& libraryList() {
    static const std::vector<LibraryFactory> list = {
        [](const LibraryContext& c) -> std::unique_ptr<Library> { return std::make_unique<SystemLibrary>(c.files); },
        [](const LibraryContext&) -> std::unique_ptr<Library> { return std::make_unique<MathLibrary>(); },
        [](const LibraryContext& c) -> std::unique_ptr<Library> { return std::make_unique<IOLibrary>(c.files); },
        [](const LibraryContext& c) -> std::unique_ptr<Library> { return std::make_unique<GraphicsLibrary>(c.files, c.window, c.screenshot); },
        [](const LibraryContext& c) -> std::unique_ptr<Library> { return std::make_unique<AudioLibrary>(c.files); },
        [](const LibraryContext& c) -> std::unique_ptr<Library> { return std::make_unique<InputLibrary>([w = c.window] { return w ? w->getHandle() : nullptr; }); },
        [](const LibraryContext&) -> std::unique_ptr<Library> { return std::make_unique<UtilLibrary>(); },
        [](const LibraryContext&) -> std::unique_ptr<Library> { return std::make_unique<CollisionLibrary>(); },
        [](const LibraryContext&) -> std::unique_ptr<Library> { return std::make_unique<CollectionLibrary>(); },
        [](const LibraryContext&) -> std::unique_ptr<Library> { return std::make_unique<LogLibrary>(); },
    };
    return list;
}

}  // namespace

ScriptHost::ScriptHost(std::shared_ptr<QlIO::IFileManager> files, const SetupSettings& settings, HostOptions options)
    : files_(std::move(files)), settings_(settings), options_(std::move(options)) {}

ScriptHost::~ScriptHost() { shutDown(); }

void ScriptHost::openVm() {
    vm_ = sq_open(1024);
    sqstd_seterrorhandlers(vm_);
    sq_setprintfunc(vm_, &printToConsole, &printToErrorFile);
    sq_enabledebuginfo(vm_, settings_.debug ? SQTrue : SQFalse);
    const SQInteger top = sq_gettop(vm_);
    sq_pushroottable(vm_);
    sqstd_register_iolib(vm_);
    sqstd_register_bloblib(vm_);
    sqstd_register_mathlib(vm_);
    sqstd_register_systemlib(vm_);
    sqstd_register_stringlib(vm_);
    sq_settop(vm_, top);
}

void ScriptHost::loadLibraries() {
    const LibraryContext context{files_, QlFrame::getCurrentWindow(), options_.screenshot};
    for (const auto& make : libraryList()) {
        auto library = make(context);
        if (library->onLoad(vm_)) libraries_.push_back(std::move(library));
        // A library that failed keeps its table in the VM but is not called again.
    }
}

HostOutcome ScriptHost::run() {
    openVm();
    if (options_.inspect) options_.inspect(vm_, HostOptions::StartupStep::StandardLibraries);
    loadLibraries();

    ScriptRunner runner(vm_);
    HostOutcome outcome = HostOutcome::Finished;
    const std::u16string bootstrap = bootstrapText(settings_, options_.commandLine);
    const SQInteger top = sq_gettop(vm_);
    const bool booted = compileText(vm_, bootstrap, u"") && callWithRoot(vm_, false);
    sq_settop(vm_, top);
    if (!booted) {
        outcome = HostOutcome::StartFailed;
        failure_ = "the plug-ins and scripts listed in setup.nut did not load: " + sqstd::toUtf8(firstErrorLine());
    } else if (options_.inspect) {
        options_.inspect(vm_, HostOptions::StartupStep::Started);
    } else if (const auto text = files_ ? readScriptFile(*files_, u"start.nut") : std::nullopt; !text) {
        outcome = HostOutcome::StartFailed;
        failure_ = "no start.nut in the game";
    } else if (!runner.load(*text, u"start.nut")) {
        outcome = HostOutcome::StartFailed;
        failure_ = "start.nut does not compile: " + sqstd::toUtf8(firstErrorLine());
    } else {
        unsigned frames = 0;
        while (QlFrame::processMessages()) {
            for (auto& library : libraries_) library->onBeginFrame(vm_);
            runner.resume();
            for (auto& library : libraries_) library->onEndFrame(vm_);
            std::fflush(stdout);
            const bool ended = runner.state() != ScriptRunner::Loaded && runner.state() != ScriptRunner::Suspended;
            ++frames;
            if ((ended || (options_.frameLimit && frames >= options_.frameLimit)) && QlFrame::getCurrentWindow())
                QlFrame::postQuitMessage(0);
        }
        if (runner.failed()) {
            outcome = HostOutcome::ScriptFailed;
            failure_ = sqstd::toUtf8(runner.failure());
        }
    }
    runner.release();
    shutDown();
    return outcome;
}

void ScriptHost::shutDown() {
    if (!vm_) return;
    for (auto& library : libraries_) library->onUnload(vm_);
    libraries_.clear();
    Bind::releaseClasses(vm_);
    sq_close(vm_);
    vm_ = nullptr;
    std::fflush(stdout);
}

}  // namespace Quillorane
