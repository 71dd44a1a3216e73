/*
 * quillorane_plugin.h - interface between the Quillorane runtime and native plug-ins.
 *
 * A plug-in is a shared library that a game loads with the script function
 * import("name"). It is compiled against this header and squirrel.h (both
 * usable from C11 and from C++) and must not link the script engine itself:
 * every engine function is reached through the API table the runtime hands
 * to onSetup.
 *
 * Exports, looked up by exact name (use QL_PLUGIN_EXPORT):
 *
 *   int  onSetup(const QlPluginSetupInfo *info, const QlSquirrelApiTable *api);
 *        required; called once, right after the library is loaded. Return 0
 *        to accept the load; any other value refuses it and the library is
 *        unloaded again at once.
 *   int  onLoad(void);        optional; once, after a successful onSetup.
 *                             0 means success; otherwise the plug-in is
 *                             dropped (and may be imported again later).
 *   void onBeginFrame(void);  optional; once right after a successful import,
 *                             then every frame before the game script resumes.
 *   void onEndFrame(void);    optional; every frame after the script suspended.
 *   void onUnload(void);      optional; once at shutdown, before the library
 *                             is unloaded.
 *
 * All entry points are called on the main thread, the one that runs the VM.
 * The set-up record is only valid during onSetup: copy the fields you need.
 * The API table stays valid for the whole process and is the same for every
 * plug-in.
 *
 * The table members carry the names of the engine functions they point to,
 * sq_ prefix included, with the same signatures as in squirrel.h, so a call
 * sq_pushinteger(v, 1) is written api->sq_pushinteger(v, 1). The entries are
 * in the order squirrel.h declares its functions; the number in front of each
 * member is its position (in pointers) from the start of the table.
 *
 * Example (C):
 *
 *   #include "quillorane_plugin.h"
 *
 *   static const QlSquirrelApiTable *sq;
 *
 *   static SQInteger hello(HSQUIRRELVM v)
 *   {
 *       sq->sq_pushstring(v, u"hello", -1);
 *       return 1;
 *   }
 *
 *   QL_PLUGIN_EXPORT int onSetup(const QlPluginSetupInfo *info, const QlSquirrelApiTable *api)
 *   {
 *       HSQUIRRELVM v = info->vm;
 *       sq = api;
 *       sq->sq_pushroottable(v);
 *       sq->sq_pushstring(v, u"hello", -1);
 *       sq->sq_newclosure(v, hello, 0);
 *       sq->sq_newslot(v, -3, SQFalse);
 *       sq->sq_pop(v, 1);
 *       return 0;
 *   }
 *
 * Build it as a shared library, for example
 *   cc -std=c11 -shared -fPIC -I<runtime>/include hello.c -o libhello.so
 * and import it from a script with import("hello.dll"), import("libhello.so")
 * or a path.
 */
#ifndef QUILLORANE_PLUGIN_H
#define QUILLORANE_PLUGIN_H

#if !defined(__cplusplus)
#include <uchar.h> /* char16_t, the engine's SQChar */
#endif
#include "squirrel.h"

/* Number of function pointers in QlSquirrelApiTable. */
#define QL_PLUGIN_API_ENTRY_COUNT 134

/* Marks an entry point for export with C linkage and default visibility. */
#if defined(__cplusplus)
#define QL_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#else
#define QL_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

/* The set-up record passed to onSetup: the game's main window (an opaque
 * platform handle, null when the game runs without a window), then the VM the
 * game script runs in. */
typedef struct QlPluginSetupInfo {
    void *window;
    HSQUIRRELVM vm;
} QlPluginSetupInfo;

/* The script engine's public API, one function pointer per function of
 * squirrel.h, in declaration order. */
typedef struct QlSquirrelApiTable {
    /* virtual machine */
    /*   0 */ HSQUIRRELVM (*sq_open)(SQInteger initialstacksize);
    /*   1 */ HSQUIRRELVM (*sq_newthread)(HSQUIRRELVM friendvm, SQInteger initialstacksize);
    /*   2 */ void (*sq_seterrorhandler)(HSQUIRRELVM v);
    /*   3 */ void (*sq_close)(HSQUIRRELVM v);
    /*   4 */ void (*sq_setforeignptr)(HSQUIRRELVM v, SQUserPointer p);
    /*   5 */ SQUserPointer (*sq_getforeignptr)(HSQUIRRELVM v);
    /*   6 */ void (*sq_setprintfunc)(HSQUIRRELVM v, SQPRINTFUNCTION printfunc, SQPRINTFUNCTION errfunc);
    /*   7 */ SQPRINTFUNCTION (*sq_getprintfunc)(HSQUIRRELVM v);
    /*   8 */ SQPRINTFUNCTION (*sq_geterrorfunc)(HSQUIRRELVM v);
    /*   9 */ SQRESULT (*sq_suspendvm)(HSQUIRRELVM v);
    /*  10 */ SQRESULT (*sq_wakeupvm)(HSQUIRRELVM v, SQBool resumedret, SQBool retval, SQBool raiseerror,
                                      SQBool throwerror);
    /*  11 */ SQInteger (*sq_getvmstate)(HSQUIRRELVM v);
    /*  12 */ SQInteger (*sq_getversion)(void);

    /* compiler */
    /*  13 */ SQRESULT (*sq_compile)(HSQUIRRELVM v, SQLEXREADFUNC read, SQUserPointer p,
                                     const SQChar *sourcename, SQBool raiseerror);
    /*  14 */ SQRESULT (*sq_compilebuffer)(HSQUIRRELVM v, const SQChar *s, SQInteger size,
                                           const SQChar *sourcename, SQBool raiseerror);
    /*  15 */ void (*sq_enabledebuginfo)(HSQUIRRELVM v, SQBool enable);
    /*  16 */ void (*sq_notifyallexceptions)(HSQUIRRELVM v, SQBool enable);
    /*  17 */ void (*sq_setcompilererrorhandler)(HSQUIRRELVM v, SQCOMPILERERROR f);

    /* stack operations */
    /*  18 */ void (*sq_push)(HSQUIRRELVM v, SQInteger idx);
    /*  19 */ void (*sq_pop)(HSQUIRRELVM v, SQInteger nelemstopop);
    /*  20 */ void (*sq_poptop)(HSQUIRRELVM v);
    /*  21 */ void (*sq_remove)(HSQUIRRELVM v, SQInteger idx);
    /*  22 */ SQInteger (*sq_gettop)(HSQUIRRELVM v);
    /*  23 */ void (*sq_settop)(HSQUIRRELVM v, SQInteger newtop);
    /*  24 */ SQRESULT (*sq_reservestack)(HSQUIRRELVM v, SQInteger nsize);
    /*  25 */ SQInteger (*sq_cmp)(HSQUIRRELVM v);
    /*  26 */ void (*sq_move)(HSQUIRRELVM dest, HSQUIRRELVM src, SQInteger idx);

    /* object creation and access */
    /*  27 */ SQUserPointer (*sq_newuserdata)(HSQUIRRELVM v, SQUnsignedInteger size);
    /*  28 */ void (*sq_newtable)(HSQUIRRELVM v);
    /*  29 */ void (*sq_newtableex)(HSQUIRRELVM v, SQInteger initialcapacity);
    /*  30 */ void (*sq_newarray)(HSQUIRRELVM v, SQInteger size);
    /*  31 */ void (*sq_newclosure)(HSQUIRRELVM v, SQFUNCTION func, SQUnsignedInteger nfreevars);
    /*  32 */ SQRESULT (*sq_setparamscheck)(HSQUIRRELVM v, SQInteger nparamscheck, const SQChar *typemask);
    /*  33 */ SQRESULT (*sq_bindenv)(HSQUIRRELVM v, SQInteger idx);
    /*  34 */ void (*sq_pushstring)(HSQUIRRELVM v, const SQChar *s, SQInteger len);
    /*  35 */ void (*sq_pushfloat)(HSQUIRRELVM v, SQFloat f);
    /*  36 */ void (*sq_pushinteger)(HSQUIRRELVM v, SQInteger n);
    /*  37 */ void (*sq_pushbool)(HSQUIRRELVM v, SQBool b);
    /*  38 */ void (*sq_pushuserpointer)(HSQUIRRELVM v, SQUserPointer p);
    /*  39 */ void (*sq_pushnull)(HSQUIRRELVM v);
    /*  40 */ SQObjectType (*sq_gettype)(HSQUIRRELVM v, SQInteger idx);
    /*  41 */ SQRESULT (*sq_typeof)(HSQUIRRELVM v, SQInteger idx);
    /*  42 */ SQInteger (*sq_getsize)(HSQUIRRELVM v, SQInteger idx);
    /*  43 */ SQHash (*sq_gethash)(HSQUIRRELVM v, SQInteger idx);
    /*  44 */ SQRESULT (*sq_getbase)(HSQUIRRELVM v, SQInteger idx);
    /*  45 */ SQBool (*sq_instanceof)(HSQUIRRELVM v);
    /*  46 */ SQRESULT (*sq_tostring)(HSQUIRRELVM v, SQInteger idx);
    /*  47 */ void (*sq_tobool)(HSQUIRRELVM v, SQInteger idx, SQBool *b);
    /*  48 */ SQRESULT (*sq_getstring)(HSQUIRRELVM v, SQInteger idx, const SQChar **c);
    /*  49 */ SQRESULT (*sq_getinteger)(HSQUIRRELVM v, SQInteger idx, SQInteger *i);
    /*  50 */ SQRESULT (*sq_getfloat)(HSQUIRRELVM v, SQInteger idx, SQFloat *f);
    /*  51 */ SQRESULT (*sq_getbool)(HSQUIRRELVM v, SQInteger idx, SQBool *b);
    /*  52 */ SQRESULT (*sq_getthread)(HSQUIRRELVM v, SQInteger idx, HSQUIRRELVM *thread);
    /*  53 */ SQRESULT (*sq_getuserpointer)(HSQUIRRELVM v, SQInteger idx, SQUserPointer *p);
    /*  54 */ SQRESULT (*sq_getuserdata)(HSQUIRRELVM v, SQInteger idx, SQUserPointer *p,
                                         SQUserPointer *typetag);
    /*  55 */ SQRESULT (*sq_settypetag)(HSQUIRRELVM v, SQInteger idx, SQUserPointer typetag);
    /*  56 */ SQRESULT (*sq_gettypetag)(HSQUIRRELVM v, SQInteger idx, SQUserPointer *typetag);
    /*  57 */ void (*sq_setreleasehook)(HSQUIRRELVM v, SQInteger idx, SQRELEASEHOOK hook);
    /*  58 */ SQChar *(*sq_getscratchpad)(HSQUIRRELVM v, SQInteger minsize);
    /*  59 */ SQRESULT (*sq_getfunctioninfo)(HSQUIRRELVM v, SQInteger level, SQFunctionInfo *fi);
    /*  60 */ SQRESULT (*sq_getclosureinfo)(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger *nparams,
                                            SQUnsignedInteger *nfreevars);
    /*  61 */ SQRESULT (*sq_getclosurename)(HSQUIRRELVM v, SQInteger idx);
    /*  62 */ SQRESULT (*sq_setnativeclosurename)(HSQUIRRELVM v, SQInteger idx, const SQChar *name);
    /*  63 */ SQRESULT (*sq_setinstanceup)(HSQUIRRELVM v, SQInteger idx, SQUserPointer p);
    /*  64 */ SQRESULT (*sq_getinstanceup)(HSQUIRRELVM v, SQInteger idx, SQUserPointer *p,
                                           SQUserPointer typetag);
    /*  65 */ SQRESULT (*sq_setclassudsize)(HSQUIRRELVM v, SQInteger idx, SQInteger udsize);
    /*  66 */ SQRESULT (*sq_newclass)(HSQUIRRELVM v, SQBool hasbase);
    /*  67 */ SQRESULT (*sq_createinstance)(HSQUIRRELVM v, SQInteger idx);
    /*  68 */ SQRESULT (*sq_setattributes)(HSQUIRRELVM v, SQInteger idx);
    /*  69 */ SQRESULT (*sq_getattributes)(HSQUIRRELVM v, SQInteger idx);
    /*  70 */ SQRESULT (*sq_getclass)(HSQUIRRELVM v, SQInteger idx);
    /*  71 */ void (*sq_weakref)(HSQUIRRELVM v, SQInteger idx);
    /*  72 */ SQRESULT (*sq_getdefaultdelegate)(HSQUIRRELVM v, SQObjectType t);
    /*  73 */ SQRESULT (*sq_getmemberhandle)(HSQUIRRELVM v, SQInteger idx, HSQMEMBERHANDLE *handle);
    /*  74 */ SQRESULT (*sq_getbyhandle)(HSQUIRRELVM v, SQInteger idx, const HSQMEMBERHANDLE *handle);
    /*  75 */ SQRESULT (*sq_setbyhandle)(HSQUIRRELVM v, SQInteger idx, const HSQMEMBERHANDLE *handle);

    /* object manipulation */
    /*  76 */ void (*sq_pushroottable)(HSQUIRRELVM v);
    /*  77 */ void (*sq_pushregistrytable)(HSQUIRRELVM v);
    /*  78 */ void (*sq_pushconsttable)(HSQUIRRELVM v);
    /*  79 */ SQRESULT (*sq_setroottable)(HSQUIRRELVM v);
    /*  80 */ SQRESULT (*sq_setconsttable)(HSQUIRRELVM v);
    /*  81 */ SQRESULT (*sq_newslot)(HSQUIRRELVM v, SQInteger idx, SQBool bstatic);
    /*  82 */ SQRESULT (*sq_deleteslot)(HSQUIRRELVM v, SQInteger idx, SQBool pushval);
    /*  83 */ SQRESULT (*sq_set)(HSQUIRRELVM v, SQInteger idx);
    /*  84 */ SQRESULT (*sq_get)(HSQUIRRELVM v, SQInteger idx);
    /*  85 */ SQRESULT (*sq_rawget)(HSQUIRRELVM v, SQInteger idx);
    /*  86 */ SQRESULT (*sq_rawset)(HSQUIRRELVM v, SQInteger idx);
    /*  87 */ SQRESULT (*sq_rawdeleteslot)(HSQUIRRELVM v, SQInteger idx, SQBool pushval);
    /*  88 */ SQRESULT (*sq_newmember)(HSQUIRRELVM v, SQInteger idx, SQBool bstatic);
    /*  89 */ SQRESULT (*sq_rawnewmember)(HSQUIRRELVM v, SQInteger idx, SQBool bstatic);
    /*  90 */ SQRESULT (*sq_arrayappend)(HSQUIRRELVM v, SQInteger idx);
    /*  91 */ SQRESULT (*sq_arraypop)(HSQUIRRELVM v, SQInteger idx, SQBool pushval);
    /*  92 */ SQRESULT (*sq_arrayresize)(HSQUIRRELVM v, SQInteger idx, SQInteger newsize);
    /*  93 */ SQRESULT (*sq_arrayreverse)(HSQUIRRELVM v, SQInteger idx);
    /*  94 */ SQRESULT (*sq_arrayremove)(HSQUIRRELVM v, SQInteger idx, SQInteger itemidx);
    /*  95 */ SQRESULT (*sq_arrayinsert)(HSQUIRRELVM v, SQInteger idx, SQInteger destpos);
    /*  96 */ SQRESULT (*sq_setdelegate)(HSQUIRRELVM v, SQInteger idx);
    /*  97 */ SQRESULT (*sq_getdelegate)(HSQUIRRELVM v, SQInteger idx);
    /*  98 */ SQRESULT (*sq_clone)(HSQUIRRELVM v, SQInteger idx);
    /*  99 */ SQRESULT (*sq_setfreevariable)(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger nval);
    /* 100 */ SQRESULT (*sq_next)(HSQUIRRELVM v, SQInteger idx);
    /* 101 */ SQRESULT (*sq_getweakrefval)(HSQUIRRELVM v, SQInteger idx);
    /* 102 */ SQRESULT (*sq_clear)(HSQUIRRELVM v, SQInteger idx);

    /* calls */
    /* 103 */ SQRESULT (*sq_call)(HSQUIRRELVM v, SQInteger params, SQBool retval, SQBool raiseerror);
    /* 104 */ SQRESULT (*sq_resume)(HSQUIRRELVM v, SQBool retval, SQBool raiseerror);
    /* 105 */ const SQChar *(*sq_getlocal)(HSQUIRRELVM v, SQUnsignedInteger level, SQUnsignedInteger idx);
    /* 106 */ SQRESULT (*sq_getcallee)(HSQUIRRELVM v);
    /* 107 */ const SQChar *(*sq_getfreevariable)(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger nval);
    /* 108 */ SQRESULT (*sq_throwerror)(HSQUIRRELVM v, const SQChar *err);
    /* 109 */ SQRESULT (*sq_throwobject)(HSQUIRRELVM v);
    /* 110 */ void (*sq_reseterror)(HSQUIRRELVM v);
    /* 111 */ void (*sq_getlasterror)(HSQUIRRELVM v);

    /* raw object handles */
    /* 112 */ SQRESULT (*sq_getstackobj)(HSQUIRRELVM v, SQInteger idx, HSQOBJECT *po);
    /* 113 */ void (*sq_pushobject)(HSQUIRRELVM v, HSQOBJECT obj);
    /* 114 */ void (*sq_addref)(HSQUIRRELVM v, HSQOBJECT *po);
    /* 115 */ SQBool (*sq_release)(HSQUIRRELVM v, HSQOBJECT *po);
    /* 116 */ SQUnsignedInteger (*sq_getrefcount)(HSQUIRRELVM v, HSQOBJECT *po);
    /* 117 */ void (*sq_resetobject)(HSQOBJECT *po);
    /* 118 */ const SQChar *(*sq_objtostring)(const HSQOBJECT *o);
    /* 119 */ SQBool (*sq_objtobool)(const HSQOBJECT *o);
    /* 120 */ SQInteger (*sq_objtointeger)(const HSQOBJECT *o);
    /* 121 */ SQFloat (*sq_objtofloat)(const HSQOBJECT *o);
    /* 122 */ SQUserPointer (*sq_objtouserpointer)(const HSQOBJECT *o);
    /* 123 */ SQRESULT (*sq_getobjtypetag)(const HSQOBJECT *o, SQUserPointer *typetag);

    /* garbage collection */
    /* 124 */ SQInteger (*sq_collectgarbage)(HSQUIRRELVM v);
    /* 125 */ SQRESULT (*sq_resurrectunreachable)(HSQUIRRELVM v);

    /* serialisation */
    /* 126 */ SQRESULT (*sq_writeclosure)(HSQUIRRELVM vm, SQWRITEFUNC writef, SQUserPointer up);
    /* 127 */ SQRESULT (*sq_readclosure)(HSQUIRRELVM vm, SQREADFUNC readf, SQUserPointer up);

    /* memory */
    /* 128 */ void *(*sq_malloc)(SQUnsignedInteger size);
    /* 129 */ void *(*sq_realloc)(void *p, SQUnsignedInteger oldsize, SQUnsignedInteger newsize);
    /* 130 */ void (*sq_free)(void *p, SQUnsignedInteger size);

    /* debugging */
    /* 131 */ SQRESULT (*sq_stackinfos)(HSQUIRRELVM v, SQInteger level, SQStackInfos *si);
    /* 132 */ void (*sq_setdebughook)(HSQUIRRELVM v);
    /* 133 */ void (*sq_setnativedebughook)(HSQUIRRELVM v, SQDEBUGHOOK hook);
} QlSquirrelApiTable;

/* Signatures of the exports. */
typedef int (*QlPluginSetupFunction)(const QlPluginSetupInfo *info, const QlSquirrelApiTable *api);
typedef int (*QlPluginLoadFunction)(void);
typedef void (*QlPluginEventFunction)(void); /* onUnload, onBeginFrame, onEndFrame */

#endif /* QUILLORANE_PLUGIN_H */
