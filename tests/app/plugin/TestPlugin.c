/*
 * A plug-in for the loader tests, written in C against the public plug-in
 * header only: every engine call goes through the API table it receives.
 *
 * In the root table it registers
 *   testplugin_log()     the entry points called so far, e.g. "setup load begin end"
 *   testplugin_window()  the window pointer of the set-up record, as a user pointer
 * and its onLoad returns the root slot testplugin_load_result when that is an
 * integer (0 otherwise).
 *
 * Variants, chosen by compile definitions:
 *   QL_TEST_PLUGIN_SETUP_RESULT=N  onSetup returns N without doing anything else
 *   QL_TEST_PLUGIN_SETUP_ONLY      no optional exports
 *   QL_TEST_PLUGIN_NO_SETUP        no onSetup export
 */
#include "quillorane_plugin.h"

#include <stddef.h>

#ifndef QL_TEST_PLUGIN_SETUP_RESULT
#define QL_TEST_PLUGIN_SETUP_RESULT 0
#endif

static const QlSquirrelApiTable *sq;
static HSQUIRRELVM vm;
static char16_t calls[512];
static size_t callsLength;

static void record(const char16_t *word)
{
    if (callsLength > 0 && callsLength < sizeof calls / sizeof calls[0]) calls[callsLength++] = u' ';
    while (*word && callsLength < sizeof calls / sizeof calls[0]) calls[callsLength++] = *word++;
}

#if !defined(QL_TEST_PLUGIN_NO_SETUP)

static void *window;

static SQInteger logFunction(HSQUIRRELVM v)
{
    sq->sq_pushstring(v, calls, (SQInteger)callsLength);
    return 1;
}

static SQInteger windowFunction(HSQUIRRELVM v)
{
    sq->sq_pushuserpointer(v, window);
    return 1;
}

static void registerFunction(HSQUIRRELVM v, const char16_t *name, SQFUNCTION function)
{
    sq->sq_pushroottable(v);
    sq->sq_pushstring(v, name, -1);
    sq->sq_newclosure(v, function, 0);
    sq->sq_newslot(v, -3, SQFalse);
    sq->sq_pop(v, 1);
}

QL_PLUGIN_EXPORT int onSetup(const QlPluginSetupInfo *info, const QlSquirrelApiTable *api)
{
    if (QL_TEST_PLUGIN_SETUP_RESULT != 0) return QL_TEST_PLUGIN_SETUP_RESULT;
    if (api->sq_getversion() != 304) return 2;
    sq = api;
    vm = info->vm;
    window = info->window;
    record(u"setup");
    registerFunction(info->vm, u"testplugin_log", logFunction);
    registerFunction(info->vm, u"testplugin_window", windowFunction);
    return 0;
}

#endif

#if !defined(QL_TEST_PLUGIN_SETUP_ONLY)

QL_PLUGIN_EXPORT int onLoad(void)
{
    HSQUIRRELVM v = vm;
    SQInteger result = 0;
    record(u"load");
    if (v) {
        const SQInteger top = sq->sq_gettop(v);
        sq->sq_pushroottable(v);
        sq->sq_pushstring(v, u"testplugin_load_result", -1);
        if (SQ_SUCCEEDED(sq->sq_get(v, -2)) && sq->sq_gettype(v, -1) == OT_INTEGER) sq->sq_getinteger(v, -1, &result);
        sq->sq_settop(v, top);
    }
    return (int)result;
}

QL_PLUGIN_EXPORT void onUnload(void) { record(u"unload"); }

QL_PLUGIN_EXPORT void onBeginFrame(void) { record(u"begin"); }

QL_PLUGIN_EXPORT void onEndFrame(void) { record(u"end"); }

#endif
