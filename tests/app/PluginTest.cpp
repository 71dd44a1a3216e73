#include "app/Plugin.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace Quillorane;

namespace {

// The test paths are ASCII, so widening each byte is enough.
std::u16string u16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// True while the library at path is mapped into the process.
bool isLoaded(const std::string& path) {
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (module) ::dlclose(module);
    return module != nullptr;
}

std::array<void*, QL_PLUGIN_API_ENTRY_COUNT> tableSlots() {
    std::array<void*, QL_PLUGIN_API_ENTRY_COUNT> slots{};
    std::memcpy(slots.data(), squirrelApiTable(), sizeof(SquirrelApiTable));
    return slots;
}

template <typename Function>
void* address(Function* function) {
    return reinterpret_cast<void*>(function);
}

// The names of the functions a header declares, in order: the first sq_
// identifier at or after `marker` on each line holding it (at its start when
// atLineStart is set).
std::vector<std::string> declaredNames(const std::string& path, const std::string& marker, bool atLineStart) {
    std::ifstream in(path);
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);) {
        const std::size_t at = line.find(marker);
        if (at == std::string::npos || (atLineStart && at != 0)) continue;
        const std::size_t start = line.find("sq_", at);
        if (start == std::string::npos) continue;
        std::size_t end = start;
        while (end < line.size() && (std::isalnum(static_cast<unsigned char>(line[end])) || line[end] == '_')) ++end;
        names.push_back(line.substr(start, end - start));
    }
    return names;
}

TEST(PluginApiTable, NamedPositionsHoldTheirFunctionsAndEverySlotIsFilled) {
    ASSERT_EQ(squirrelApiTable(), squirrelApiTable());
    const auto slots = tableSlots();
    EXPECT_EQ(slots[0], address(&sq_open));
    EXPECT_EQ(slots[1], address(&sq_newthread));
    EXPECT_EQ(slots[3], address(&sq_close));
    EXPECT_EQ(slots[10], address(&sq_wakeupvm));
    EXPECT_EQ(slots[12], address(&sq_getversion));
    EXPECT_EQ(slots[14], address(&sq_compilebuffer));
    EXPECT_EQ(slots[18], address(&sq_push));
    EXPECT_EQ(slots[23], address(&sq_settop));
    EXPECT_EQ(slots[28], address(&sq_newtable));
    EXPECT_EQ(slots[31], address(&sq_newclosure));
    EXPECT_EQ(slots[34], address(&sq_pushstring));
    EXPECT_EQ(slots[36], address(&sq_pushinteger));
    EXPECT_EQ(slots[37], address(&sq_pushbool));
    EXPECT_EQ(slots[40], address(&sq_gettype));
    EXPECT_EQ(slots[42], address(&sq_getsize));
    EXPECT_EQ(slots[46], address(&sq_tostring));
    EXPECT_EQ(slots[47], address(&sq_tobool));
    EXPECT_EQ(slots[48], address(&sq_getstring));
    EXPECT_EQ(slots[49], address(&sq_getinteger));
    EXPECT_EQ(slots[50], address(&sq_getfloat));
    EXPECT_EQ(slots[51], address(&sq_getbool));
    EXPECT_EQ(slots[54], address(&sq_getuserdata));
    EXPECT_EQ(slots[57], address(&sq_setreleasehook));
    EXPECT_EQ(slots[63], address(&sq_setinstanceup));
    EXPECT_EQ(slots[64], address(&sq_getinstanceup));
    EXPECT_EQ(slots[76], address(&sq_pushroottable));
    EXPECT_EQ(slots[81], address(&sq_newslot));
    EXPECT_EQ(slots[84], address(&sq_get));
    EXPECT_EQ(slots[103], address(&sq_call));
    EXPECT_EQ(slots[108], address(&sq_throwerror));
    EXPECT_EQ(slots[111], address(&sq_getlasterror));
    EXPECT_EQ(slots[112], address(&sq_getstackobj));
    EXPECT_EQ(slots[113], address(&sq_pushobject));
    EXPECT_EQ(slots[114], address(&sq_addref));
    EXPECT_EQ(slots[115], address(&sq_release));
    EXPECT_EQ(slots[116], address(&sq_getrefcount));
    EXPECT_EQ(slots[117], address(&sq_resetobject));
    EXPECT_EQ(slots[133], address(&sq_setnativedebughook));

    // Every slot a function of its own: no gap, no entry given twice.
    const std::set<void*> distinct(slots.begin(), slots.end());
    EXPECT_EQ(distinct.size(), slots.size());
    EXPECT_EQ(distinct.count(nullptr), 0u);
    EXPECT_EQ(squirrelApiTable()->sq_getversion(), 304);
}

// The plug-in header's members must follow squirrel.h's declarations one for
// one; a function added to or moved in the engine header shows up here.
TEST(PluginApiTable, HeaderMembersFollowTheEngineHeader) {
    const auto engine = declaredNames(QL_SQUIRREL_HEADER, "SQUIRREL_API ", true);
    const auto plugin = declaredNames(QL_PLUGIN_HEADER, "(*sq_", false);
    ASSERT_EQ(engine.size(), 134u);
    EXPECT_EQ(plugin, engine);
}

// A VM and a fresh temporary directory made the current directory (the game
// folder), restored afterwards.
class PluginLoad : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = fs::current_path();
        dir_ = fs::temp_directory_path() / ("ql_plugin_test_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::current_path(dir_);
        vm_ = sq_open(1024);
        info_ = {&windowSentinel_, vm_};
    }
    void TearDown() override {
        sq_close(vm_);
        fs::current_path(saved_);
        fs::remove_all(dir_);
    }

    // A copy of the test plug-in under another file name, below the game folder.
    std::string copyPlugin(const std::string& relative) {
        const fs::path target = dir_ / relative;
        fs::create_directories(target.parent_path());
        fs::copy_file(QL_TEST_PLUGIN, target);
        return target.string();
    }

    std::string callString(const char16_t* function) {
        const SQInteger top = sq_gettop(vm_);
        std::string result = "<failed>";
        sq_pushroottable(vm_);
        sq_pushstring(vm_, function, -1);
        const SQChar* text = nullptr;
        if (SQ_SUCCEEDED(sq_get(vm_, -2))) {
            sq_pushroottable(vm_);
            if (SQ_SUCCEEDED(sq_call(vm_, 1, SQTrue, SQFalse)) && SQ_SUCCEEDED(sq_getstring(vm_, -1, &text)))
                result.assign(text, text + scstrlen(text));
        }
        sq_settop(vm_, top);
        return result;
    }

    std::string log() { return callString(u"testplugin_log"); }

    void setRootInteger(const char16_t* name, SQInteger value) {
        sq_pushroottable(vm_);
        sq_pushstring(vm_, name, -1);
        sq_pushinteger(vm_, value);
        sq_newslot(vm_, -3, SQFalse);
        sq_pop(vm_, 1);
    }

    fs::path saved_;
    fs::path dir_;
    HSQUIRRELVM vm_ = nullptr;
    int windowSentinel_ = 0;
    PluginSetupInfo info_{};
};

TEST_F(PluginLoad, SetupGetsTheRecordAndTheTableAndEntriesRunInCallOrder) {
    std::string whyNot = "untouched";
    auto plugin = Plugin::load(u16(QL_TEST_PLUGIN), info_, &whyNot);
    ASSERT_TRUE(plugin) << whyNot;
    EXPECT_EQ(whyNot, "untouched");
    EXPECT_EQ(plugin->fileName(), QL_TEST_PLUGIN);

    // The plug-in registered its functions through the table in the VM it was given.
    EXPECT_EQ(log(), "setup");
    sq_pushroottable(vm_);
    sq_pushstring(vm_, u"testplugin_window", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_get(vm_, -2)));
    sq_pushroottable(vm_);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(vm_, 1, SQTrue, SQFalse)));
    SQUserPointer window = nullptr;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getuserpointer(vm_, -1, &window)));
    EXPECT_EQ(window, &windowSentinel_);
    sq_settop(vm_, 0);

    EXPECT_TRUE(plugin->onLoad());
    plugin->onBeginFrame();
    plugin->onEndFrame();
    plugin->onBeginFrame();
    plugin->onEndFrame();
    plugin->onUnload();
    EXPECT_EQ(log(), "setup load begin end begin end unload");
}

TEST_F(PluginLoad, OnLoadSucceedsOnlyWhenTheEntryReturnsZero) {
    setRootInteger(u"testplugin_load_result", 3);
    auto refusing = Plugin::load(u16(QL_TEST_PLUGIN), info_);
    ASSERT_TRUE(refusing);
    EXPECT_FALSE(refusing->onLoad());
    EXPECT_EQ(log(), "setup load");
}

TEST_F(PluginLoad, PluginWithoutOptionalExportsIsOnlySetUp) {
    auto plugin = Plugin::load(u16(QL_TEST_PLUGIN_SETUP_ONLY), info_);
    ASSERT_TRUE(plugin);
    EXPECT_TRUE(plugin->onLoad());
    plugin->onBeginFrame();
    plugin->onEndFrame();
    plugin->onUnload();
    EXPECT_EQ(log(), "setup");
}

TEST_F(PluginLoad, RefusedLoadsReportWhyAndUnloadTheLibrary) {
    std::string whyNot;
    EXPECT_FALSE(Plugin::load(u16(QL_TEST_PLUGIN_NO_SETUP), info_, &whyNot));
    EXPECT_EQ(whyNot, "no onSetup");
    EXPECT_FALSE(isLoaded(QL_TEST_PLUGIN_NO_SETUP));

    EXPECT_FALSE(Plugin::load(u16(QL_TEST_PLUGIN_REFUSE), info_, &whyNot));
    EXPECT_EQ(whyNot, "onSetup returned 7");
    EXPECT_FALSE(isLoaded(QL_TEST_PLUGIN_REFUSE));

    // A system library found by the library search, but not a plug-in.
    EXPECT_FALSE(Plugin::load(u"libm.so.6", info_, &whyNot));
    EXPECT_EQ(whyNot, "no onSetup");
}

TEST_F(PluginLoad, FilesThatDoNotLoadReportTheLoaderError) {
    std::string whyNot;
    EXPECT_FALSE(Plugin::load(u"no_such_plugin.dll", info_, &whyNot));
    EXPECT_NE(whyNot.find("no_such_plugin"), std::string::npos) << whyNot;

    EXPECT_FALSE(Plugin::load(u"missing\\folder\\plugin.dll", info_, &whyNot));
    EXPECT_NE(whyNot.find("missing/folder/"), std::string::npos) << whyNot;

    // An existing file that is not a library: its error wins over "not found".
    std::ofstream(dir_ / "junk.dll") << "not a library";
    EXPECT_FALSE(Plugin::load(u"junk.dll", info_, &whyNot));
    EXPECT_NE(whyNot.find("./junk.dll"), std::string::npos) << whyNot;

    EXPECT_FALSE(Plugin::load(u"", info_, &whyNot));
    EXPECT_FALSE(whyNot.empty());
}

TEST_F(PluginLoad, DllNamesAreTriedAsSharedObjectsInTheGameFolder) {
    copyPlugin("libalpha.so");
    copyPlugin("beta.so");
    copyPlugin("sub/libgamma.so");
    copyPlugin("delta.dll");
    copyPlugin("lib\xe3\x83\x97\xe3\x83\xa9\xe3\x82\xb0.so");  // lib + three katakana + .so
    std::ofstream(dir_ / "eps.dll") << "not a library";
    copyPlugin("eps.so");

    const std::pair<std::u16string, std::string> cases[] = {
        {u"alpha.dll", "./libalpha.so"},
        {u"beta.DLL", "./beta.so"},
        {u"sub\\gamma.Dll", "sub/libgamma.so"},
        {u"sub/gamma.dll", "sub/libgamma.so"},
        {u"delta.dll", "./delta.dll"},
        {u"\u30d7\u30e9\u30b0.dll", "./lib\xe3\x83\x97\xe3\x83\xa9\xe3\x82\xb0.so"},
        {u"eps.dll", "./eps.so"},
    };
    for (const auto& [name, file] : cases) {
        std::string whyNot;
        auto plugin = Plugin::load(name, info_, &whyNot);
        ASSERT_TRUE(plugin) << file << ": " << whyNot;
        EXPECT_EQ(plugin->fileName(), file);
    }
    EXPECT_FALSE(Plugin::load(u"ALPHA.dll", info_)) << "only the extension ignores letter case";
}

TEST_F(PluginLoad, OneFileUnderTwoNamesGivesTwoPluginsEachHoldingTheLibrary) {
    const std::string path = copyPlugin("libtwin.so");
    auto first = Plugin::load(u"twin.dll", info_);
    auto second = Plugin::load(u"libtwin.so", info_);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_NE(first, second);
    EXPECT_EQ(log(), "setup setup");

    first.reset();
    ASSERT_TRUE(isLoaded(path));
    second->onBeginFrame();
    EXPECT_EQ(log(), "setup setup begin");
    second.reset();
    EXPECT_FALSE(isLoaded(path));
}

}  // namespace
