// Standard error handlers: the uncaught-error report with call stack and
// locals, and the compile error line.
#include "sqstdaux.h"

namespace {

SQPRINTFUNCTION errorOutput(HSQUIRRELVM v)
{
    SQPRINTFUNCTION pf = sq_geterrorfunc(v);
    return pf ? pf : sq_getprintfunc(v);
}

void printLocal(HSQUIRRELVM v, SQPRINTFUNCTION pf, const SQChar *name)
{
    switch (sq_gettype(v, -1)) {
    case OT_NULL: pf(v, u"[%s] NULL\n", name); break;
    case OT_INTEGER: {
        SQInteger i = 0;
        sq_getinteger(v, -1, &i);
        pf(v, u"[%s] %d\n", name, int(i));
        break;
    }
    case OT_FLOAT: {
        SQFloat f = 0;
        sq_getfloat(v, -1, &f);
        pf(v, u"[%s] %.14g\n", name, double(f));
        break;
    }
    case OT_USERPOINTER: pf(v, u"[%s] USERPOINTER\n", name); break;
    case OT_STRING: {
        const SQChar *s = u"";
        sq_getstring(v, -1, &s);
        pf(v, u"[%s] \"%s\"\n", name, s);
        break;
    }
    case OT_TABLE: pf(v, u"[%s] TABLE\n", name); break;
    case OT_ARRAY: pf(v, u"[%s] ARRAY\n", name); break;
    case OT_CLOSURE: pf(v, u"[%s] CLOSURE\n", name); break;
    case OT_NATIVECLOSURE: pf(v, u"[%s] NATIVECLOSURE\n", name); break;
    case OT_GENERATOR: pf(v, u"[%s] GENERATOR\n", name); break;
    case OT_USERDATA: pf(v, u"[%s] USERDATA\n", name); break;
    case OT_THREAD: pf(v, u"[%s] THREAD\n", name); break;
    case OT_CLASS: pf(v, u"[%s] CLASS\n", name); break;
    case OT_INSTANCE: pf(v, u"[%s] INSTANCE\n", name); break;
    case OT_WEAKREF: pf(v, u"[%s] WEAKREF\n", name); break;
    case OT_BOOL: {
        SQBool b = SQFalse;
        sq_getbool(v, -1, &b);
        pf(v, u"[%s] %s\n", name, b ? u"true" : u"false");
        break;
    }
    default: pf(v, u"[%s] UNKNOWN\n", name); break;
    }
}

SQInteger runtimeErrorHandler(HSQUIRRELVM v)
{
    SQPRINTFUNCTION pf = errorOutput(v);
    if (pf && sq_gettop(v) >= 1) {
        const SQChar *msg = nullptr;
        if (sq_gettop(v) >= 2 && SQ_SUCCEEDED(sq_getstring(v, 2, &msg)))
            pf(v, u"\nAN ERROR HAS OCCURED [%s]\n", msg);
        else
            pf(v, u"\nAN ERROR HAS OCCURED [unknown]\n");
        sqstd_printcallstack(v);
    }
    return 0;
}

void compileErrorHandler(HSQUIRRELVM v, const SQChar *desc, const SQChar *source, SQInteger line,
                         SQInteger column)
{
    SQPRINTFUNCTION pf = errorOutput(v);
    if (pf)
        pf(v, u"%s line = (%d) column = (%d) : error %s\n", source ? source : u"unknown", int(line),
           int(column), desc ? desc : u"");
}

} // namespace

void sqstd_printcallstack(HSQUIRRELVM v)
{
    SQPRINTFUNCTION pf = errorOutput(v);
    if (!pf) return;
    // Level 0 is the native function asking for the report (the handler).
    SQStackInfos si;
    pf(v, u"\nCALLSTACK\n");
    for (SQInteger level = 1; SQ_SUCCEEDED(sq_stackinfos(v, level, &si)); ++level) {
        pf(v, u"*FUNCTION [%s()] %s line [%d]\n", si.funcname ? si.funcname : u"unknown",
           si.source ? si.source : u"unknown", int(si.line));
    }
    pf(v, u"\nLOCALS\n");
    for (SQInteger level = 1; SQ_SUCCEEDED(sq_stackinfos(v, level, &si)); ++level) {
        for (SQUnsignedInteger seq = 0;; ++seq) {
            const SQChar *name = sq_getlocal(v, SQUnsignedInteger(level), seq);
            if (!name) break;
            printLocal(v, pf, name);
            sq_pop(v, 1);
        }
    }
}

void sqstd_seterrorhandlers(HSQUIRRELVM v)
{
    sq_setcompilererrorhandler(v, compileErrorHandler);
    sq_newclosure(v, runtimeErrorHandler, 0);
    sq_seterrorhandler(v);
}
