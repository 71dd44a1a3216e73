// The methods shared by every stream class (blob, file) and the helpers that
// declare stream classes.
#include "sqstdinternal.h"

#include "sqstdblob.h"
#include "sqstdutf.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <type_traits>

namespace sqstd {

void registerFunctions(HSQUIRRELVM v, const SQRegFunction *funcs, bool isClass)
{
    for (const SQRegFunction *f = funcs; f && f->name; ++f) {
        sq_pushstring(v, f->name, -1);
        sq_newclosure(v, f->f, 0);
        sq_setparamscheck(v, f->nparamscheck, f->typemask);
        sq_setnativeclosurename(v, -1, f->name);
        sq_newslot(v, -3, SQFalse);
    }
    (void)isClass;
}

bool pushRegistryClass(HSQUIRRELVM v, const SQChar *key)
{
    sq_pushregistrytable(v);
    sq_pushstring(v, key, -1);
    if (SQ_SUCCEEDED(sq_rawget(v, -2))) {
        sq_remove(v, -2);
        return true;
    }
    sq_pop(v, 1);
    return false;
}

SQInteger attachStream(HSQUIRRELVM v, uintptr_t tag, SQStream *s, const SQChar *failMsg)
{
    SQUserPointer old = nullptr;
    // Only a pointer carrying the stream class's own tag is freed: anything
    // else is of another type.
    if (sq_gettype(v, 1) == OT_INSTANCE && SQ_SUCCEEDED(sq_getinstanceup(v, 1, &old, tagOf(tag))) && old) {
        sq_setinstanceup(v, 1, nullptr);
        delete static_cast<SQStream *>(old);
    }
    if (SQ_FAILED(sq_setinstanceup(v, 1, s))) {
        delete s;
        return sq_throwerror(v, failMsg);
    }
    sq_setreleasehook(v, 1, releaseStream);
    return 0;
}

SQInteger releaseStream(SQUserPointer p, SQInteger)
{
    delete static_cast<SQStream *>(p);
    return 1;
}

std::FILE *openFile(const SQChar *name, const SQChar *mode)
{
    std::string n = toUtf8(name);
    std::string m = toUtf8(mode);
    if (n.find('\0') != std::string::npos) return nullptr;
    return std::fopen(n.c_str(), m.c_str());
}

namespace {

SQStream *self(HSQUIRRELVM v, SQInteger &err)
{
    SQUserPointer p = nullptr;
    err = 0;
    if (SQ_FAILED(sq_getinstanceup(v, 1, &p, tagOf(kStreamTag))) || !p) {
        err = sq_throwerror(v, u"invalid type tag");
        return nullptr;
    }
    auto *s = static_cast<SQStream *>(p);
    if (!s->IsValid()) {
        err = sq_throwerror(v, u"the stream is invalid");
        return nullptr;
    }
    return s;
}

#define SQSTD_SELF()                                                                       \
    SQInteger selfErr;                                                                     \
    SQStream *s = self(v, selfErr);                                                        \
    if (!s) return selfErr

SQInteger stream_readblob(HSQUIRRELVM v)
{
    SQSTD_SELF();
    SQInteger size;
    sq_getinteger(v, 2, &size);
    if (size < 0) return sq_throwerror(v, u"negative size");
    std::vector<unsigned char> buf;
    SQInteger got = 0;
    try {
        while (got < size) {
            SQInteger piece = size - got < 65536 ? size - got : 65536;
            buf.resize(size_t(got + piece));
            SQInteger n = s->Read(buf.data() + got, piece);
            if (n <= 0) break;
            got += n;
            if (n < piece) break;
        }
    } catch (const std::bad_alloc &) {
        return sq_throwerror(v, u"not enough memory");
    }
    if (size > 0 && got <= 0) return sq_throwerror(v, u"no data left to read");
    SQUserPointer dst = sqstd_createblob(v, got);
    if (!dst) return sq_throwerror(v, u"cannot create blob");
    if (got > 0) std::memcpy(dst, buf.data(), size_t(got));
    return 1;
}

// Reads one T and pushes it as a script integer or float.
template <typename T> SQInteger pushValue(HSQUIRRELVM v, SQStream *s)
{
    T x;
    if (s->Read(&x, SQInteger(sizeof(T))) != SQInteger(sizeof(T))) return sq_throwerror(v, u"io error");
    if constexpr (std::is_floating_point_v<T>)
        sq_pushfloat(v, SQFloat(x));
    else
        sq_pushinteger(v, SQInteger(x));
    return 1;
}

SQInteger stream_readn(HSQUIRRELVM v)
{
    SQSTD_SELF();
    SQInteger format;
    sq_getinteger(v, 2, &format);
    switch (format) {
    case 'l':
    case 'i': return pushValue<int32_t>(v, s);
    case 's': return pushValue<int16_t>(v, s);
    case 'w': return pushValue<uint16_t>(v, s);
    case 'c': return pushValue<int8_t>(v, s);
    case 'b': return pushValue<uint8_t>(v, s);
    case 'f': return pushValue<float>(v, s);
    case 'd': return pushValue<double>(v, s);
    default: return sq_throwerror(v, u"invalid format");
    }
}

SQInteger stream_writeblob(HSQUIRRELVM v)
{
    SQSTD_SELF();
    SQUserPointer data;
    if (SQ_FAILED(sqstd_getblob(v, 2, &data))) return sq_throwerror(v, u"invalid parameter");
    SQInteger size = sqstd_getblobsize(v, 2);
    if (size > 0 && s->Write(data, size) != size) return sq_throwerror(v, u"io error");
    sq_pushinteger(v, size);
    return 1;
}

template <typename T> bool writeValue(SQStream *s, T x)
{
    return s->Write(&x, SQInteger(sizeof(T))) == SQInteger(sizeof(T));
}

SQInteger stream_writen(HSQUIRRELVM v)
{
    SQSTD_SELF();
    SQInteger format;
    sq_getinteger(v, 3, &format);
    SQInteger i = 0;
    SQFloat f = 0;
    if (sq_gettype(v, 2) == OT_FLOAT) {
        sq_getfloat(v, 2, &f);
        i = SQInteger(f);
    } else {
        sq_getinteger(v, 2, &i);
        f = SQFloat(i);
    }
    bool ok;
    switch (format) {
    case 'l':
    case 'i': ok = writeValue(s, int32_t(i)); break;
    case 's': ok = writeValue(s, int16_t(i)); break;
    case 'w': ok = writeValue(s, uint16_t(i)); break;
    case 'c': ok = writeValue(s, int8_t(i)); break;
    case 'b': ok = writeValue(s, uint8_t(i)); break;
    case 'f': ok = writeValue(s, float(f)); break;
    case 'd': ok = writeValue(s, double(f)); break;
    default: return sq_throwerror(v, u"invalid format");
    }
    if (!ok) return sq_throwerror(v, u"io error");
    return 0;
}

SQInteger stream_seek(HSQUIRRELVM v)
{
    SQSTD_SELF();
    SQInteger offset;
    SQInteger origin = SQ_SEEK_SET;
    sq_getinteger(v, 2, &offset);
    if (sq_gettop(v) > 2) {
        SQInteger o;
        sq_getinteger(v, 3, &o);
        switch (o) {
        case 'e': origin = SQ_SEEK_END; break;
        case 'c': origin = SQ_SEEK_CUR; break;
        case 'b': origin = SQ_SEEK_SET; break;
        default: return sq_throwerror(v, u"invalid origin");
        }
    }
    sq_pushinteger(v, s->Seek(offset, origin));
    return 1;
}

SQInteger stream_tell(HSQUIRRELVM v)
{
    SQSTD_SELF();
    sq_pushinteger(v, s->Tell());
    return 1;
}

SQInteger stream_len(HSQUIRRELVM v)
{
    SQSTD_SELF();
    sq_pushinteger(v, s->Len());
    return 1;
}

SQInteger stream_flush(HSQUIRRELVM v)
{
    SQSTD_SELF();
    if (s->Flush() == 0) sq_pushinteger(v, 1);
    else sq_pushnull(v);
    return 1;
}

SQInteger stream_eos(HSQUIRRELVM v)
{
    SQSTD_SELF();
    // 1 at the end of the stream, null elsewhere
    if (s->EOS()) sq_pushinteger(v, 1);
    else sq_pushnull(v);
    return 1;
}

const SQRegFunction streamMethods[] = {
    {u"readblob", stream_readblob, 2, u"xn"},
    {u"readn", stream_readn, 2, u"xn"},
    {u"writeblob", stream_writeblob, 2, u"xx"},
    {u"writen", stream_writen, 3, u"xnn"},
    {u"seek", stream_seek, -2, u"xnn"},
    {u"tell", stream_tell, 1, u"x"},
    {u"len", stream_len, 1, u"x"},
    {u"eos", stream_eos, 1, u"x"},
    {u"flush", stream_flush, 1, u"x"},
    {nullptr, nullptr, 0, nullptr}};

void ensureStreamBase(HSQUIRRELVM v)
{
    if (pushRegistryClass(v, kStreamClassKey)) {
        sq_pop(v, 1);
        return;
    }
    sq_pushregistrytable(v);
    sq_pushstring(v, kStreamClassKey, -1);
    sq_newclass(v, SQFalse);
    sq_settypetag(v, -1, tagOf(kStreamTag));
    registerFunctions(v, streamMethods, true);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
}

} // namespace

SQRESULT declareStream(HSQUIRRELVM v, const SQChar *name, uintptr_t tag, const SQChar *regKey,
                       const SQRegFunction *methods, const SQRegFunction *globals)
{
    if (sq_gettype(v, -1) != OT_TABLE) return sq_throwerror(v, u"table expected");
    SQInteger top = sq_gettop(v);
    ensureStreamBase(v);
    // registry[regKey] = class(std_stream) { methods }
    sq_pushregistrytable(v);
    sq_pushstring(v, regKey, -1);
    pushRegistryClass(v, kStreamClassKey);
    if (SQ_FAILED(sq_newclass(v, SQTrue))) {
        sq_settop(v, top);
        return SQ_ERROR;
    }
    sq_settypetag(v, -1, tagOf(tag));
    registerFunctions(v, methods, true);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
    // target[name] = the same class, and target.stream = their base class
    sq_pushstring(v, name, -1);
    pushRegistryClass(v, regKey);
    sq_newslot(v, -3, SQFalse);
    sq_pushstring(v, u"stream", -1);
    pushRegistryClass(v, kStreamClassKey);
    sq_newslot(v, -3, SQFalse);
    registerFunctions(v, globals, false);
    sq_settop(v, top);
    return SQ_OK;
}

} // namespace sqstd
