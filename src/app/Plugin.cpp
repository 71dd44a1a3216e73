#include "app/Plugin.h"

#include "io/TextCodec.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace Quillorane {

// ---- API table --------------------------------------------------------------

static_assert(sizeof(SquirrelApiTable) == QL_PLUGIN_API_ENTRY_COUNT * sizeof(void*),
              "the API table is a block of consecutive function pointers");
static_assert(QL_PLUGIN_API_ENTRY_COUNT == 134);

// Positions plug-ins are compiled against.
#define QL_API_POSITION(name, index) \
    static_assert(offsetof(SquirrelApiTable, name) == (index) * sizeof(void*), #name " at " #index)
QL_API_POSITION(sq_open, 0);
QL_API_POSITION(sq_newthread, 1);
QL_API_POSITION(sq_seterrorhandler, 2);
QL_API_POSITION(sq_close, 3);
QL_API_POSITION(sq_setforeignptr, 4);
QL_API_POSITION(sq_getforeignptr, 5);
QL_API_POSITION(sq_setprintfunc, 6);
QL_API_POSITION(sq_getprintfunc, 7);
QL_API_POSITION(sq_geterrorfunc, 8);
QL_API_POSITION(sq_suspendvm, 9);
QL_API_POSITION(sq_wakeupvm, 10);
QL_API_POSITION(sq_getvmstate, 11);
QL_API_POSITION(sq_getversion, 12);
QL_API_POSITION(sq_compile, 13);
QL_API_POSITION(sq_compilebuffer, 14);
QL_API_POSITION(sq_enabledebuginfo, 15);
QL_API_POSITION(sq_notifyallexceptions, 16);
QL_API_POSITION(sq_setcompilererrorhandler, 17);
QL_API_POSITION(sq_push, 18);
QL_API_POSITION(sq_pop, 19);
QL_API_POSITION(sq_poptop, 20);
QL_API_POSITION(sq_remove, 21);
QL_API_POSITION(sq_gettop, 22);
QL_API_POSITION(sq_settop, 23);
QL_API_POSITION(sq_newtable, 28);
QL_API_POSITION(sq_newclosure, 31);
QL_API_POSITION(sq_pushstring, 34);
QL_API_POSITION(sq_pushinteger, 36);
QL_API_POSITION(sq_pushbool, 37);
QL_API_POSITION(sq_gettype, 40);
QL_API_POSITION(sq_getsize, 42);
QL_API_POSITION(sq_tostring, 46);
QL_API_POSITION(sq_tobool, 47);
QL_API_POSITION(sq_getstring, 48);
QL_API_POSITION(sq_getinteger, 49);
QL_API_POSITION(sq_getfloat, 50);
QL_API_POSITION(sq_getbool, 51);
QL_API_POSITION(sq_getuserdata, 54);
QL_API_POSITION(sq_setreleasehook, 57);
QL_API_POSITION(sq_setinstanceup, 63);
QL_API_POSITION(sq_getinstanceup, 64);
QL_API_POSITION(sq_pushroottable, 76);
QL_API_POSITION(sq_newslot, 81);
QL_API_POSITION(sq_get, 84);
QL_API_POSITION(sq_call, 103);
QL_API_POSITION(sq_throwerror, 108);
QL_API_POSITION(sq_getlasterror, 111);
QL_API_POSITION(sq_getstackobj, 112);
QL_API_POSITION(sq_pushobject, 113);
QL_API_POSITION(sq_addref, 114);
QL_API_POSITION(sq_release, 115);
QL_API_POSITION(sq_getrefcount, 116);
QL_API_POSITION(sq_resetobject, 117);
QL_API_POSITION(sq_setnativedebughook, 133);
#undef QL_API_POSITION

static_assert(sizeof(PluginSetupInfo) == 2 * sizeof(void*));
static_assert(offsetof(PluginSetupInfo, window) == offsetof(QlPluginSetupInfo, window));
static_assert(offsetof(PluginSetupInfo, vm) == offsetof(QlPluginSetupInfo, vm) &&
              offsetof(QlPluginSetupInfo, vm) == sizeof(void*));

const SquirrelApiTable* squirrelApiTable() {
    // Each member is named after the function it holds; designated initialisers
    // keep the declaration order and a typed member rejects a wrong signature.
#define QL_API_ENTRY(name) .name = &::name
    static const SquirrelApiTable table{
        QL_API_ENTRY(sq_open), QL_API_ENTRY(sq_newthread), QL_API_ENTRY(sq_seterrorhandler),
        QL_API_ENTRY(sq_close), QL_API_ENTRY(sq_setforeignptr), QL_API_ENTRY(sq_getforeignptr),
        QL_API_ENTRY(sq_setprintfunc), QL_API_ENTRY(sq_getprintfunc), QL_API_ENTRY(sq_geterrorfunc),
        QL_API_ENTRY(sq_suspendvm), QL_API_ENTRY(sq_wakeupvm), QL_API_ENTRY(sq_getvmstate),
        QL_API_ENTRY(sq_getversion), QL_API_ENTRY(sq_compile), QL_API_ENTRY(sq_compilebuffer),
        QL_API_ENTRY(sq_enabledebuginfo), QL_API_ENTRY(sq_notifyallexceptions),
        QL_API_ENTRY(sq_setcompilererrorhandler), QL_API_ENTRY(sq_push), QL_API_ENTRY(sq_pop),
        QL_API_ENTRY(sq_poptop), QL_API_ENTRY(sq_remove), QL_API_ENTRY(sq_gettop), QL_API_ENTRY(sq_settop),
        QL_API_ENTRY(sq_reservestack), QL_API_ENTRY(sq_cmp), QL_API_ENTRY(sq_move),
        QL_API_ENTRY(sq_newuserdata), QL_API_ENTRY(sq_newtable), QL_API_ENTRY(sq_newtableex),
        QL_API_ENTRY(sq_newarray), QL_API_ENTRY(sq_newclosure), QL_API_ENTRY(sq_setparamscheck),
        QL_API_ENTRY(sq_bindenv), QL_API_ENTRY(sq_pushstring), QL_API_ENTRY(sq_pushfloat),
        QL_API_ENTRY(sq_pushinteger), QL_API_ENTRY(sq_pushbool), QL_API_ENTRY(sq_pushuserpointer),
        QL_API_ENTRY(sq_pushnull), QL_API_ENTRY(sq_gettype), QL_API_ENTRY(sq_typeof),
        QL_API_ENTRY(sq_getsize), QL_API_ENTRY(sq_gethash), QL_API_ENTRY(sq_getbase),
        QL_API_ENTRY(sq_instanceof), QL_API_ENTRY(sq_tostring), QL_API_ENTRY(sq_tobool),
        QL_API_ENTRY(sq_getstring), QL_API_ENTRY(sq_getinteger), QL_API_ENTRY(sq_getfloat),
        QL_API_ENTRY(sq_getbool), QL_API_ENTRY(sq_getthread), QL_API_ENTRY(sq_getuserpointer),
        QL_API_ENTRY(sq_getuserdata), QL_API_ENTRY(sq_settypetag), QL_API_ENTRY(sq_gettypetag),
        QL_API_ENTRY(sq_setreleasehook), QL_API_ENTRY(sq_getscratchpad), QL_API_ENTRY(sq_getfunctioninfo),
        QL_API_ENTRY(sq_getclosureinfo), QL_API_ENTRY(sq_getclosurename),
        QL_API_ENTRY(sq_setnativeclosurename), QL_API_ENTRY(sq_setinstanceup), QL_API_ENTRY(sq_getinstanceup),
        QL_API_ENTRY(sq_setclassudsize), QL_API_ENTRY(sq_newclass), QL_API_ENTRY(sq_createinstance),
        QL_API_ENTRY(sq_setattributes), QL_API_ENTRY(sq_getattributes), QL_API_ENTRY(sq_getclass),
        QL_API_ENTRY(sq_weakref), QL_API_ENTRY(sq_getdefaultdelegate), QL_API_ENTRY(sq_getmemberhandle),
        QL_API_ENTRY(sq_getbyhandle), QL_API_ENTRY(sq_setbyhandle), QL_API_ENTRY(sq_pushroottable),
        QL_API_ENTRY(sq_pushregistrytable), QL_API_ENTRY(sq_pushconsttable), QL_API_ENTRY(sq_setroottable),
        QL_API_ENTRY(sq_setconsttable), QL_API_ENTRY(sq_newslot), QL_API_ENTRY(sq_deleteslot),
        QL_API_ENTRY(sq_set), QL_API_ENTRY(sq_get), QL_API_ENTRY(sq_rawget), QL_API_ENTRY(sq_rawset),
        QL_API_ENTRY(sq_rawdeleteslot), QL_API_ENTRY(sq_newmember), QL_API_ENTRY(sq_rawnewmember),
        QL_API_ENTRY(sq_arrayappend), QL_API_ENTRY(sq_arraypop), QL_API_ENTRY(sq_arrayresize),
        QL_API_ENTRY(sq_arrayreverse), QL_API_ENTRY(sq_arrayremove), QL_API_ENTRY(sq_arrayinsert),
        QL_API_ENTRY(sq_setdelegate), QL_API_ENTRY(sq_getdelegate), QL_API_ENTRY(sq_clone),
        QL_API_ENTRY(sq_setfreevariable), QL_API_ENTRY(sq_next), QL_API_ENTRY(sq_getweakrefval),
        QL_API_ENTRY(sq_clear), QL_API_ENTRY(sq_call), QL_API_ENTRY(sq_resume), QL_API_ENTRY(sq_getlocal),
        QL_API_ENTRY(sq_getcallee), QL_API_ENTRY(sq_getfreevariable), QL_API_ENTRY(sq_throwerror),
        QL_API_ENTRY(sq_throwobject), QL_API_ENTRY(sq_reseterror), QL_API_ENTRY(sq_getlasterror),
        QL_API_ENTRY(sq_getstackobj), QL_API_ENTRY(sq_pushobject), QL_API_ENTRY(sq_addref),
        QL_API_ENTRY(sq_release), QL_API_ENTRY(sq_getrefcount), QL_API_ENTRY(sq_resetobject),
        QL_API_ENTRY(sq_objtostring), QL_API_ENTRY(sq_objtobool), QL_API_ENTRY(sq_objtointeger),
        QL_API_ENTRY(sq_objtofloat), QL_API_ENTRY(sq_objtouserpointer), QL_API_ENTRY(sq_getobjtypetag),
        QL_API_ENTRY(sq_collectgarbage), QL_API_ENTRY(sq_resurrectunreachable), QL_API_ENTRY(sq_writeclosure),
        QL_API_ENTRY(sq_readclosure), QL_API_ENTRY(sq_malloc), QL_API_ENTRY(sq_realloc),
        QL_API_ENTRY(sq_free), QL_API_ENTRY(sq_stackinfos), QL_API_ENTRY(sq_setdebughook),
        QL_API_ENTRY(sq_setnativedebughook)
    };
#undef QL_API_ENTRY
    return &table;
}

// ---- name resolution --------------------------------------------------------

namespace {


bool endsWithDll(const std::string& name) {
    if (name.size() < 4) return false;
    const std::string tail = name.substr(name.size() - 4);
    return tail[0] == '.' && (tail[1] | 0x20) == 'd' && (tail[2] | 0x20) == 'l' && (tail[3] | 0x20) == 'l';
}

// The file names a plug-in name stands for, in the order they are tried.
std::vector<std::string> candidateNames(std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    std::vector<std::string> names{name};
    if (endsWithDll(name)) {
        const std::string stem = name.substr(0, name.size() - 4);
        const std::size_t slash = stem.rfind('/');
        const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
        names.push_back(stem + ".so");
        names.push_back(stem.substr(0, base) + "lib" + stem.substr(base) + ".so");
    }
    return names;
}

bool hasFolder(const std::string& name) { return name.find('/') != std::string::npos; }

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

struct ModuleCloser {
    void operator()(void* module) const { ::dlclose(module); }
};
using ModuleHandle = std::unique_ptr<void, ModuleCloser>;

std::string lastDlError(const std::string& file) {
    const char* error = ::dlerror();
    return error ? std::string(error) : file + ": cannot be loaded";
}

// Opens the first candidate that loads: every existing file named directly
// (bare names in the current directory), then the bare names through the
// system's library search. The reason reported on failure prefers the error of
// a file that exists (not a plug-in, missing dependencies) over "not found".
ModuleHandle openModule(const std::vector<std::string>& names, std::string& fileName, std::string& whyNot) {
    std::string existingError;
    std::string searchError;
    for (const std::string& name : names) {
        const std::string path = hasFolder(name) ? name : "./" + name;
        if (!isFile(path)) continue;
        if (void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            fileName = path;
            return ModuleHandle(module);
        }
        if (existingError.empty()) existingError = lastDlError(path);
    }
    for (const std::string& name : names) {
        if (hasFolder(name)) continue;
        if (void* module = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            fileName = name;
            return ModuleHandle(module);
        }
        if (searchError.empty()) searchError = lastDlError(name);
    }
    if (!existingError.empty())
        whyNot = existingError;
    else if (!searchError.empty())
        whyNot = searchError;
    else
        whyNot = names.front() + ": no such file";
    return nullptr;
}

template <typename Function>
Function lookUp(void* module, const char* symbol) {
    return reinterpret_cast<Function>(::dlsym(module, symbol));
}

}  // namespace

// ---- Plugin -------------------------------------------------------------------

Plugin::Plugin(void* module, std::string fileName) : module_(module), fileName_(std::move(fileName)) {
    onLoad_ = lookUp<LoadFunction>(module_, "onLoad");
    onUnload_ = lookUp<EventFunction>(module_, "onUnload");
    onBeginFrame_ = lookUp<EventFunction>(module_, "onBeginFrame");
    onEndFrame_ = lookUp<EventFunction>(module_, "onEndFrame");
}

Plugin::~Plugin() {
    if (module_) ::dlclose(module_);
}

bool Plugin::onLoad() { return onLoad_ ? onLoad_() == 0 : true; }

void Plugin::onUnload() {
    if (onUnload_) onUnload_();
}

void Plugin::onBeginFrame() {
    if (onBeginFrame_) onBeginFrame_();
}

void Plugin::onEndFrame() {
    if (onEndFrame_) onEndFrame_();
}

std::shared_ptr<Plugin> Plugin::load(const std::u16string& name, const PluginSetupInfo& info, std::string* whyNot) {
    std::string reason;
    auto fail = [&](std::string text) -> std::shared_ptr<Plugin> {
        if (whyNot) *whyNot = std::move(text);
        return nullptr;
    };
    if (name.empty() || name.find(u'\0') != std::u16string::npos) return fail("invalid plug-in name");

    std::string fileName;
    ModuleHandle module = openModule(candidateNames(QlIO::toNativePath(name)), fileName, reason);
    if (!module) return fail(reason);

    const auto setup = lookUp<SetupFunction>(module.get(), "onSetup");
    if (!setup) return fail("no onSetup");
    const QlPluginSetupInfo record{info.window, info.vm};
    if (const int result = setup(&record, squirrelApiTable()); result != 0)
        return fail("onSetup returned " + std::to_string(result));

    return std::shared_ptr<Plugin>(new Plugin(module.release(), std::move(fileName)));
}

}  // namespace Quillorane
