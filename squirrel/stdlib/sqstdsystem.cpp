// The system library: environment, clock, calendar time and file removal.
#include "sqstdsystem.h"

#include "sqstdinternal.h"
#include "sqstdutf.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

SQInteger sys_getenv(HSQUIRRELVM v)
{
    const SQChar *name;
    sq_getstring(v, 2, &name);
    std::string n = sqstd::toUtf8(name);
    const char *value = std::getenv(n.c_str());
    if (!value) {
        sq_pushnull(v);
        return 1;
    }
    std::u16string w = sqstd::fromUtf8(value);
    sq_pushstring(v, w.c_str(), SQInteger(w.size()));
    return 1;
}

SQInteger sys_system(HSQUIRRELVM v)
{
    const SQChar *cmd;
    sq_getstring(v, 2, &cmd);
    std::fflush(stdout);
    std::fflush(stderr);
    sq_pushinteger(v, std::system(sqstd::toUtf8(cmd).c_str()));
    return 1;
}

SQInteger sys_clock(HSQUIRRELVM v)
{
    sq_pushfloat(v, SQFloat(double(std::clock()) / double(CLOCKS_PER_SEC)));
    return 1;
}

SQInteger sys_time(HSQUIRRELVM v)
{
    sq_pushinteger(v, SQInteger(std::time(nullptr)));
    return 1;
}

SQInteger sys_remove(HSQUIRRELVM v)
{
    const SQChar *name;
    sq_getstring(v, 2, &name);
    if (std::remove(sqstd::toUtf8(name).c_str()) != 0) return sq_throwerror(v, u"remove() failed");
    return 0;
}

SQInteger sys_rename(HSQUIRRELVM v)
{
    const SQChar *from;
    const SQChar *to;
    sq_getstring(v, 2, &from);
    sq_getstring(v, 3, &to);
    if (std::rename(sqstd::toUtf8(from).c_str(), sqstd::toUtf8(to).c_str()) != 0)
        return sq_throwerror(v, u"rename() failed");
    return 0;
}

void setSlot(HSQUIRRELVM v, const SQChar *name, SQInteger value)
{
    sq_pushstring(v, name, -1);
    sq_pushinteger(v, value);
    sq_rawset(v, -3);
}

SQInteger sys_date(HSQUIRRELVM v)
{
    std::time_t t = std::time(nullptr);
    SQInteger format = 'l';
    SQInteger top = sq_gettop(v);
    if (top > 1) {
        SQInteger it;
        sq_getinteger(v, 2, &it);
        t = std::time_t(it);
        if (top > 2) sq_getinteger(v, 3, &format);
    }
    std::tm parts{};
    bool ok = format == 'u' ? gmtime_r(&t, &parts) != nullptr : localtime_r(&t, &parts) != nullptr;
    if (!ok) return sq_throwerror(v, u"crt api failure");
    sq_newtable(v);
    setSlot(v, u"sec", parts.tm_sec);
    setSlot(v, u"min", parts.tm_min);
    setSlot(v, u"hour", parts.tm_hour);
    setSlot(v, u"day", parts.tm_mday);
    setSlot(v, u"month", parts.tm_mon);
    setSlot(v, u"year", parts.tm_year + 1900);
    setSlot(v, u"wday", parts.tm_wday);
    setSlot(v, u"yday", parts.tm_yday);
    return 1;
}

const SQRegFunction systemFuncs[] = {
    {u"getenv", sys_getenv, 2, u".s"},
    {u"system", sys_system, 2, u".s"},
    {u"clock", sys_clock, 1, nullptr},
    {u"time", sys_time, 1, nullptr},
    {u"date", sys_date, -1, u".nn"},
    {u"remove", sys_remove, 2, u".s"},
    {u"rename", sys_rename, 3, u".ss"},
    {nullptr, nullptr, 0, nullptr}};

} // namespace

SQInteger sqstd_register_systemlib(HSQUIRRELVM v)
{
    if (sq_gettype(v, -1) != OT_TABLE) return sq_throwerror(v, u"table expected");
    sqstd::registerFunctions(v, systemFuncs, false);
    return SQ_OK;
}
