#include "app/SystemLibrary.h"

#include "app/ScriptFiles.h"
#include "frame/Window.h"
#include "io/IFileManager.h"
#include "io/Path.h"
#include "platform/Clock.h"
#include "script/Binding.h"
#include "script/ScriptText.h"

#include <sqstdutf.h>

#include <cstdio>

namespace Quillorane {

namespace {

std::u16string argString(HSQUIRRELVM v, SQInteger idx) {
    const SQChar* s = nullptr;
    sq_getstring(v, idx, &s);
    return std::u16string(s, static_cast<std::size_t>(sq_getsize(v, idx)));
}

SQInteger raiseWrongCount(HSQUIRRELVM v) { return Bind::raise(v, u"wrong number of parameters"); }

// A path that names its own root is never joined onto the directory of the including file.
bool isRooted(std::u16string_view path) {
    return path.find(u':') != std::u16string_view::npos || (!path.empty() && (path[0] == u'/' || path[0] == u'\\'));
}

}  // namespace

SystemLibrary::SystemLibrary(std::shared_ptr<QlIO::IFileManager> files) : files_(std::move(files)) {}

SystemLibrary::~SystemLibrary() = default;

bool SystemLibrary::onLoad(HSQUIRRELVM v) {
    auto root = Bind::Table::root(v);
    root.raw(u"import", [this](HSQUIRRELVM vm) { return importPlugin(vm); })
        .raw(u"include", [this](HSQUIRRELVM vm) { return include(vm); })
        .raw(u"exec", [this](HSQUIRRELVM vm) { return exec(vm); })
        .raw(u"eval", [this](HSQUIRRELVM vm) { return eval(vm); })
        .func(u"sleep", [](SQInteger ms) { QlPlatform::sleepMs(ms > 0 ? static_cast<std::uint32_t>(ms) : 0); })
        .func(u"quit", [] {
            if (auto window = QlFrame::getCurrentWindow()) window->close();
        });
    return root.ok() && runPrelude(v, "root");
}

void SystemLibrary::onUnload(HSQUIRRELVM) {
    for (auto& plugin : plugins_) plugin->onUnload();
    plugins_.clear();  // each library is closed as its plug-in goes, in import order
}

void SystemLibrary::onBeginFrame(HSQUIRRELVM) {
    for (auto& plugin : plugins_) plugin->onBeginFrame();
}

void SystemLibrary::onEndFrame(HSQUIRRELVM v) {
    for (auto& plugin : plugins_) plugin->onEndFrame();
    // exit() of the root prelude: the flag must be the bool true.
    const SQInteger top = sq_gettop(v);
    sq_pushroottable(v);
    sq_pushstring(v, u"qlse_exit_flag___", -1);
    if (SQ_SUCCEEDED(sq_rawget(v, -2)) && sq_gettype(v, -1) == OT_BOOL) {
        SQBool flag = SQFalse;
        sq_getbool(v, -1, &flag);
        if (flag && QlFrame::getCurrentWindow()) QlFrame::postQuitMessage(0);
    }
    sq_settop(v, top);
}

SQInteger SystemLibrary::importPlugin(HSQUIRRELVM v) {
    if (!Bind::matchMask(v, sq_gettop(v) - 1, "s")) return raiseWrongCount(v);
    const std::u16string name = argString(v, 2);
    if (importedNames_.count(name)) return 0;
    std::string why;
    const PluginSetupInfo info{QlFrame::getCurrentWindowHandle(), v};
    auto plugin = Plugin::load(name, info, &why);
    if (!plugin) {
        std::fprintf(stderr, "quillorane: plug-in %s: %s\n", sqstd::toUtf8(name).c_str(), why.c_str());
        return Bind::raise(v, u"plugin '" + name + u"' load error");
    }
    if (!plugin->onLoad()) return 0;  // refused: released now, and a later import tries again
    plugins_.push_back(plugin);
    importedNames_.insert(name);
    plugin->onBeginFrame();
    return 0;
}

SQInteger SystemLibrary::compileAndRun(HSQUIRRELVM v, std::u16string_view text, const std::u16string& name) {
    if (!compileText(v, text, name)) return Bind::raise(v, u"'" + name + u"' compile error");
    if (!callWithRoot(v, true)) return Bind::raise(v, u"'" + name + u"' execute error");
    return 1;
}

SQInteger SystemLibrary::include(HSQUIRRELVM v) {
    const SQInteger nargs = sq_gettop(v) - 1;
    if (!Bind::matchMask(v, nargs, "s") && !Bind::matchMask(v, nargs, "sb")) return raiseWrongCount(v);
    std::u16string path = argString(v, 2);
    SQBool relative = SQTrue;
    if (nargs == 2) sq_getbool(v, 3, &relative);
    if (relative && !isRooted(path) && !includeDirectories_.empty() && !includeDirectories_.back().empty())
        path = includeDirectories_.back() + u"/" + path;
    if (includedPaths_.count(path)) return 0;

    const std::u16string normalized = QlIO::normalizePath(path);
    const auto text = files_ ? readScriptFile(*files_, normalized) : std::nullopt;
    if (!text) return Bind::raise(v, u"script '" + path + u"' is not found");
    includeDirectories_.push_back(QlIO::getDirectoryPart(normalized));
    const SQInteger result = compileAndRun(v, *text, path);
    includeDirectories_.pop_back();
    includedPaths_.insert(path);  // also after an error: the file is not run again
    return result;
}

SQInteger SystemLibrary::exec(HSQUIRRELVM v) {
    if (!Bind::matchMask(v, sq_gettop(v) - 1, "s")) return raiseWrongCount(v);
    const std::u16string path = argString(v, 2);
    const auto text = files_ ? readScriptFile(*files_, path) : std::nullopt;
    if (!text) return Bind::raise(v, u"script '" + path + u"' is not found");
    return compileAndRun(v, *text, path);
}

SQInteger SystemLibrary::eval(HSQUIRRELVM v) {
    if (!Bind::matchMask(v, sq_gettop(v) - 1, "s")) return raiseWrongCount(v);
    return compileAndRun(v, argString(v, 2), u"unknown");
}

}  // namespace Quillorane
