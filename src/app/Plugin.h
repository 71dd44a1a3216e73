#pragma once
// Native plug-ins: shared libraries a game loads with import(name). The loader
// resolves the name, opens the library, hands it the set-up record and the API
// table through its "onSetup" export and keeps its optional per-frame exports.
// The interface seen by plug-in authors is include/quillorane_plugin.h.
#include "quillorane_plugin.h"

#include <squirrel.h>

#include <memory>
#include <string>

namespace Quillorane {

// Passed to a plug-in's onSetup: the main window's platform handle (a
// QlFrame::WindowHandle, null without a window), then the VM. Same layout as
// QlPluginSetupInfo of the public header.
struct PluginSetupInfo {
    void* window;
    HSQUIRRELVM vm;
};

// 134 pointers to the engine's public API in squirrel.h declaration order.
using SquirrelApiTable = QlSquirrelApiTable;

// The one API table of the process, filled with the engine's functions; the
// same pointer is given to every plug-in.
const SquirrelApiTable* squirrelApiTable();

class Plugin {
public:
    using SetupFunction = QlPluginSetupFunction;
    using LoadFunction = QlPluginLoadFunction;
    using EventFunction = QlPluginEventFunction;

    // Unloads the library (one dlclose for the dlopen of load()).
    virtual ~Plugin();
    // Calls "onLoad" if the library exports it; true when it returns 0 or is absent.
    virtual bool onLoad();
    // Each calls its export if the library has it.
    virtual void onUnload();
    virtual void onBeginFrame();
    virtual void onEndFrame();

    // Loads the plug-in called `name` and runs its onSetup with `info` and the
    // API table. Name rules: `\` and `/` both separate folders; a name without
    // a folder is looked for in the current directory (the game folder) before
    // the system's library search; a name ending in ".dll" (any case) is also
    // tried as <stem>.so and as lib<stem>.so (lib before the file name, in the
    // same folder). Returns null when no candidate loads, the library lacks
    // "onSetup" or onSetup returns non-zero; the library is then unloaded
    // again and `whyNot` (if given) receives a one-line reason: the loader's
    // error text, "no onSetup" or "onSetup returned N".
    // Loading one file twice under different names gives two plug-ins, each
    // holding its own reference to the library.
    static std::shared_ptr<Plugin> load(const std::u16string& name, const PluginSetupInfo& info,
                                        std::string* whyNot = nullptr);

    // The file name the library was opened with.
    const std::string& fileName() const { return fileName_; }

    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

protected:
    Plugin(void* module, std::string fileName);

private:
    void* module_;
    std::string fileName_;
    LoadFunction onLoad_ = nullptr;
    EventFunction onUnload_ = nullptr;
    EventFunction onBeginFrame_ = nullptr;
    EventFunction onEndFrame_ = nullptr;
};

}  // namespace Quillorane
