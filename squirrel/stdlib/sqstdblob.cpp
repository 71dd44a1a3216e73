// The blob library: a growable byte buffer usable as a stream and by index.
#include "sqstdblob.h"

#include "sqstdinternal.h"

#include <cstring>
#include <new>

namespace sqstd {

Blob::Blob(SQInteger size)
{
    // may throw std::bad_alloc; callers create blobs through create()
    data_.resize(size_t(size > 0 ? size : 0), 0);
    // keep a real buffer even when empty, so Data() is never null
    data_.reserve(data_.size() + 1);
}

Blob *Blob::create(SQInteger size)
{
    try {
        return new Blob(size);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

SQInteger Blob::Read(void *buffer, SQInteger size)
{
    SQInteger avail = SQInteger(data_.size()) - pos_;
    SQInteger n = size < avail ? size : avail;
    if (n <= 0) return 0;
    std::memcpy(buffer, data_.data() + pos_, size_t(n));
    pos_ += n;
    return n;
}

SQInteger Blob::Write(void *buffer, SQInteger size)
{
    if (size <= 0) return 0;
    size_t end = size_t(pos_) + size_t(size);
    if (end > 0x7FFFFFFFu) return 0;
    if (end > data_.size()) {
        try {
            data_.resize(end, 0);
        } catch (const std::bad_alloc &) {
            return 0;
        }
    }
    std::memcpy(data_.data() + pos_, buffer, size_t(size));
    pos_ += size;
    return size;
}

SQInteger Blob::Seek(SQInteger offset, SQInteger origin)
{
    int64_t base;
    switch (origin) {
    case SQ_SEEK_SET: base = 0; break;
    case SQ_SEEK_CUR: base = pos_; break;
    case SQ_SEEK_END: base = int64_t(data_.size()); break;
    default: return -1;
    }
    int64_t target = base + offset;
    if (target < 0 || target > int64_t(data_.size())) return -1;
    pos_ = SQInteger(target);
    return 0;
}

bool Blob::Resize(SQInteger size)
{
    if (size < 0) return false;
    try {
        data_.resize(size_t(size), 0);
    } catch (const std::bad_alloc &) {
        return false;
    }
    if (pos_ > size) pos_ = size;
    return true;
}

namespace {

Blob *selfBlob(HSQUIRRELVM v, SQInteger idx)
{
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &p, tagOf(kBlobTag))) || !p) return nullptr;
    return static_cast<Blob *>(static_cast<SQStream *>(p));
}

#define SQSTD_BLOB()                                                                       \
    Blob *b = selfBlob(v, 1);                                                              \
    if (!b) return sq_throwerror(v, u"invalid type tag")

SQInteger blob_constructor(HSQUIRRELVM v)
{
    SQInteger size = 0;
    if (sq_gettop(v) >= 2) sq_getinteger(v, 2, &size);
    if (size < 0) return sq_throwerror(v, u"cannot create blob with negative size");
    SQUserPointer self = nullptr;
    if (sq_gettype(v, 1) != OT_INSTANCE || SQ_FAILED(sq_getinstanceup(v, 1, &self, tagOf(kBlobTag))))
        return sq_throwerror(v, u"the blob constructor needs a blob instance");
    Blob *b = Blob::create(size);
    if (!b) return sq_throwerror(v, u"not enough memory for the blob");
    return attachStream(v, kBlobTag, b, u"cannot create blob");
}

SQInteger blob_resize(HSQUIRRELVM v)
{
    SQSTD_BLOB();
    SQInteger size;
    sq_getinteger(v, 2, &size);
    if (size < 0) return sq_throwerror(v, u"negative size");
    if (!b->Resize(size)) return sq_throwerror(v, u"not enough memory for the blob");
    return 0;
}

void swapBytes(unsigned char *p, SQInteger width)
{
    for (SQInteger i = 0; i < width / 2; ++i) {
        unsigned char t = p[i];
        p[i] = p[width - 1 - i];
        p[width - 1 - i] = t;
    }
}

SQInteger blob_swap2(HSQUIRRELVM v)
{
    SQSTD_BLOB();
    SQInteger n = b->Size() / 2;
    for (SQInteger i = 0; i < n; ++i) swapBytes(b->Data() + i * 2, 2);
    return 0;
}

SQInteger blob_swap4(HSQUIRRELVM v)
{
    SQSTD_BLOB();
    SQInteger n = b->Size() / 4;
    for (SQInteger i = 0; i < n; ++i) swapBytes(b->Data() + i * 4, 4);
    return 0;
}

SQInteger blob_set(HSQUIRRELVM v)
{
    SQSTD_BLOB();
    if (sq_gettype(v, 2) != OT_INTEGER) {
        sq_pushnull(v);
        return sq_throwobject(v);
    }
    SQInteger idx, val;
    sq_getinteger(v, 2, &idx);
    sq_getinteger(v, 3, &val);
    if (idx < 0 || idx >= b->Size()) return sq_throwerror(v, u"index out of range");
    b->Data()[idx] = static_cast<unsigned char>(val);
    sq_push(v, 3);
    return 1;
}

SQInteger blob_get(HSQUIRRELVM v)
{
    SQSTD_BLOB();
    // the key is a number (the type mask refuses anything else, so a blob's
    // members other than its methods cannot be read)
    SQInteger idx;
    sq_getinteger(v, 2, &idx);
    if (idx < 0 || idx >= b->Size()) return sq_throwerror(v, u"index out of range");
    sq_pushinteger(v, b->Data()[idx]);
    return 1;
}

SQInteger blob_nexti(HSQUIRRELVM v)
{
    SQSTD_BLOB();
    if (sq_gettype(v, 2) == OT_NULL) {
        if (b->Size() > 0) sq_pushinteger(v, 0);
        else sq_pushnull(v);
        return 1;
    }
    SQInteger idx;
    if (SQ_SUCCEEDED(sq_getinteger(v, 2, &idx))) {
        if (idx + 1 < b->Size()) sq_pushinteger(v, idx + 1);
        else sq_pushnull(v);
        return 1;
    }
    return sq_throwerror(v, u"internal error (_nexti) wrong argument type");
}

SQInteger blob_typeof(HSQUIRRELVM v)
{
    sq_pushstring(v, u"blob", -1);
    return 1;
}

SQInteger blob_cloned(HSQUIRRELVM v)
{
    Blob *other = selfBlob(v, 2);
    if (!other) return sq_throwerror(v, u"invalid type tag");
    SQUserPointer self = nullptr;
    if (sq_gettype(v, 1) != OT_INSTANCE || SQ_FAILED(sq_getinstanceup(v, 1, &self, tagOf(kBlobTag))))
        return sq_throwerror(v, u"only a blob can be a copy of a blob");
    Blob *b = Blob::create(other->Size());
    if (!b) return sq_throwerror(v, u"not enough memory for the blob");
    if (other->Size() > 0) std::memcpy(b->Data(), other->Data(), size_t(other->Size()));
    // also when called directly on a blob that already had its data
    return attachStream(v, kBlobTag, b, u"cannot clone blob");
}

SQInteger g_casti2f(HSQUIRRELVM v)
{
    SQInteger i;
    sq_getinteger(v, 2, &i);
    float f;
    int32_t bits = i;
    std::memcpy(&f, &bits, sizeof f);
    sq_pushfloat(v, f);
    return 1;
}

SQInteger g_castf2i(HSQUIRRELVM v)
{
    SQFloat f;
    sq_getfloat(v, 2, &f);
    int32_t bits;
    float ff = f;
    std::memcpy(&bits, &ff, sizeof bits);
    sq_pushinteger(v, bits);
    return 1;
}

SQInteger g_swap2(HSQUIRRELVM v)
{
    SQInteger i;
    sq_getinteger(v, 2, &i);
    uint32_t u = uint32_t(i) & 0xFFFFu;
    sq_pushinteger(v, SQInteger(((u & 0xFFu) << 8) | (u >> 8)));
    return 1;
}

SQInteger g_swap4(HSQUIRRELVM v)
{
    SQInteger i;
    sq_getinteger(v, 2, &i);
    uint32_t u = uint32_t(i);
    u = (u >> 24) | ((u >> 8) & 0xFF00u) | ((u << 8) & 0xFF0000u) | (u << 24);
    sq_pushinteger(v, SQInteger(u));
    return 1;
}

SQInteger g_swapfloat(HSQUIRRELVM v)
{
    SQFloat f;
    sq_getfloat(v, 2, &f);
    float ff = f;
    unsigned char bytes[4];
    std::memcpy(bytes, &ff, 4);
    swapBytes(bytes, 4);
    std::memcpy(&ff, bytes, 4);
    sq_pushfloat(v, ff);
    return 1;
}

const SQRegFunction blobMethods[] = {
    {u"constructor", blob_constructor, -1, u"xn"},
    {u"resize", blob_resize, 2, u"xn"},
    {u"swap2", blob_swap2, 1, u"x"},
    {u"swap4", blob_swap4, 1, u"x"},
    {u"_set", blob_set, 3, u"xnn"},
    {u"_get", blob_get, 2, u"xn"},
    {u"_typeof", blob_typeof, 1, u"x"},
    {u"_nexti", blob_nexti, 2, u"x."},
    {u"_cloned", blob_cloned, 2, u"xx"},
    {nullptr, nullptr, 0, nullptr}};

const SQRegFunction blobGlobals[] = {
    {u"casti2f", g_casti2f, 2, u".n"},
    {u"castf2i", g_castf2i, 2, u".n"},
    {u"swap2", g_swap2, 2, u".n"},
    {u"swap4", g_swap4, 2, u".n"},
    {u"swapfloat", g_swapfloat, 2, u".n"},
    {nullptr, nullptr, 0, nullptr}};

} // namespace
} // namespace sqstd

using namespace sqstd;

SQRESULT sqstd_getblob(HSQUIRRELVM v, SQInteger idx, SQUserPointer *ptr)
{
    Blob *b = selfBlob(v, idx);
    if (!b) return SQ_ERROR;
    *ptr = b->Data();
    return SQ_OK;
}

SQInteger sqstd_getblobsize(HSQUIRRELVM v, SQInteger idx)
{
    Blob *b = selfBlob(v, idx);
    return b ? b->Size() : -1;
}

SQUserPointer sqstd_createblob(HSQUIRRELVM v, SQInteger size)
{
    if (size < 0) return nullptr;
    SQInteger top = sq_gettop(v);
    if (!pushRegistryClass(v, kBlobClassKey)) return nullptr;
    sq_pushroottable(v);
    sq_pushinteger(v, size);
    if (SQ_SUCCEEDED(sq_call(v, 2, SQTrue, SQFalse))) {
        sq_remove(v, -2); // the class
        Blob *b = selfBlob(v, -1);
        if (b) return b->Data();
    }
    sq_settop(v, top);
    return nullptr;
}

SQRESULT sqstd_register_bloblib(HSQUIRRELVM v)
{
    return declareStream(v, u"blob", kBlobTag, kBlobClassKey, blobMethods, blobGlobals);
}
