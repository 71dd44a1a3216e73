// The io library: the `file` stream class, the standard streams, and loading,
// running and serialising scripts.
#include "sqstdio.h"

#include "sqstdinternal.h"
#include "sqstdutf.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace sqstd {
namespace {

// A stream over a C runtime FILE. An owned file is closed when the script
// object dies or close() is called; a borrowed one (stdout...) is only
// detached.
class File final : public SQStream {
public:
    File(std::FILE *f, bool own) : f_(f), own_(own) {}
    ~File() override { Close(); }
    SQInteger Read(void *buffer, SQInteger size) override
    {
        return f_ && size > 0 ? SQInteger(std::fread(buffer, 1, size_t(size), f_)) : 0;
    }
    SQInteger Write(void *buffer, SQInteger size) override
    {
        return f_ && size > 0 ? SQInteger(std::fwrite(buffer, 1, size_t(size), f_)) : 0;
    }
    SQInteger Flush() override { return f_ ? std::fflush(f_) : -1; }
    SQInteger Tell() override { return f_ ? SQInteger(std::ftell(f_)) : -1; }
    SQInteger Len() override
    {
        if (!f_) return -1;
        long here = std::ftell(f_);
        std::fseek(f_, 0, SEEK_END);
        long size = std::ftell(f_);
        std::fseek(f_, here, SEEK_SET);
        return SQInteger(size);
    }
    SQInteger Seek(SQInteger offset, SQInteger origin) override
    {
        if (!f_) return -1;
        int o = origin == SQ_SEEK_CUR ? SEEK_CUR : origin == SQ_SEEK_END ? SEEK_END : SEEK_SET;
        return std::fseek(f_, long(offset), o) == 0 ? 0 : -1;
    }
    bool IsValid() override { return f_ != nullptr; }
    // at the end when the position is the length (a file read up to its last
    // byte is at its end before any read fails)
    bool EOS() override { return !f_ || Tell() == Len(); }
    void Close()
    {
        if (f_ && own_) std::fclose(f_);
        f_ = nullptr;
    }
    std::FILE *Handle() const { return f_; }

private:
    std::FILE *f_;
    bool own_;
};

File *selfFile(HSQUIRRELVM v, SQInteger idx)
{
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &p, tagOf(kFileTag))) || !p) return nullptr;
    return static_cast<File *>(static_cast<SQStream *>(p));
}

SQInteger file_constructor(HSQUIRRELVM v)
{
    std::FILE *f = nullptr;
    bool own = true;
    SQUserPointer self = nullptr;
    if (sq_gettype(v, 1) != OT_INSTANCE || SQ_FAILED(sq_getinstanceup(v, 1, &self, tagOf(kFileTag))))
        return sq_throwerror(v, u"the file constructor needs a file instance");
    if (sq_gettype(v, 2) == OT_STRING) {
        const SQChar *name;
        const SQChar *mode;
        sq_getstring(v, 2, &name);
        if (sq_gettop(v) < 3 || SQ_FAILED(sq_getstring(v, 3, &mode)))
            return sq_throwerror(v, u"wrong number of parameters");
        f = openFile(name, mode);
        if (!f) return sq_throwerror(v, u"cannot open file");
    } else if (sq_gettype(v, 2) == OT_USERPOINTER) {
        SQUserPointer p;
        sq_getuserpointer(v, 2, &p);
        f = static_cast<std::FILE *>(p);
        own = false;
        if (sq_gettop(v) >= 3) {
            SQBool b = SQFalse;
            sq_tobool(v, 3, &b);
            own = b != SQFalse;
        }
    } else {
        return sq_throwerror(v, u"wrong parameter");
    }
    return attachStream(v, kFileTag, new File(f, own), u"cannot create file");
}

SQInteger file_close(HSQUIRRELVM v)
{
    File *f = selfFile(v, 1);
    if (!f) return sq_throwerror(v, u"invalid type tag");
    f->Close();
    return 0;
}

SQInteger file_typeof(HSQUIRRELVM v)
{
    sq_pushstring(v, u"file", -1);
    return 1;
}

SQInteger g_dofile(HSQUIRRELVM v)
{
    const SQChar *name;
    SQBool raise = SQFalse;
    sq_getstring(v, 2, &name);
    if (sq_gettop(v) >= 3) sq_getbool(v, 3, &raise);
    sq_push(v, 1); // the caller's `this` becomes the script's `this`
    if (SQ_SUCCEEDED(sqstd_dofile(v, name, SQTrue, raise))) return 1;
    return SQ_ERROR;
}

SQInteger g_loadfile(HSQUIRRELVM v)
{
    const SQChar *name;
    SQBool raise = SQFalse;
    sq_getstring(v, 2, &name);
    if (sq_gettop(v) >= 3) sq_getbool(v, 3, &raise);
    if (SQ_SUCCEEDED(sqstd_loadfile(v, name, raise))) return 1;
    return SQ_ERROR;
}

SQInteger g_writeclosuretofile(HSQUIRRELVM v)
{
    const SQChar *name;
    sq_getstring(v, 2, &name);
    sq_push(v, 3);
    if (SQ_SUCCEEDED(sqstd_writeclosuretofile(v, name))) return 0;
    return SQ_ERROR;
}

const SQRegFunction fileMethods[] = {
    {u"constructor", file_constructor, -2, u"x"},
    {u"close", file_close, 1, u"x"},
    {u"_typeof", file_typeof, 1, u"x"},
    {nullptr, nullptr, 0, nullptr}};

const SQRegFunction ioGlobals[] = {
    {u"dofile", g_dofile, -2, u".sb"},
    {u"loadfile", g_loadfile, -2, u".sb"},
    {u"writeclosuretofile", g_writeclosuretofile, 3, u".sc"},
    {nullptr, nullptr, 0, nullptr}};

struct MemoryReader {
    const unsigned char *data;
    size_t size;
    size_t pos;
};

SQInteger readMemory(SQUserPointer up, SQUserPointer buffer, SQInteger size)
{
    auto *r = static_cast<MemoryReader *>(up);
    if (size <= 0) return 0;
    size_t n = r->size - r->pos;
    if (size_t(size) < n) n = size_t(size);
    if (n == 0) return -1;
    std::memcpy(buffer, r->data + r->pos, n);
    r->pos += n;
    return SQInteger(n);
}

SQInteger writeFile(SQUserPointer up, SQUserPointer buffer, SQInteger size)
{
    return SQInteger(std::fwrite(buffer, 1, size_t(size), static_cast<std::FILE *>(up)));
}

// Decodes script source bytes to UTF-16: UTF-8 with or without BOM, or
// UTF-16 (either byte order) with BOM.
std::u16string decodeSource(const std::string &bytes)
{
    auto u = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && ((u(0) == 0xFF && u(1) == 0xFE) || (u(0) == 0xFE && u(1) == 0xFF))) {
        bool little = u(0) == 0xFF;
        std::u16string out;
        out.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            out += little ? char16_t(u(i) | (u(i + 1) << 8)) : char16_t((u(i) << 8) | u(i + 1));
        return out;
    }
    if (bytes.size() >= 3 && u(0) == 0xEF && u(1) == 0xBB && u(2) == 0xBF)
        return fromUtf8(std::string_view(bytes).substr(3));
    return fromUtf8(bytes);
}

} // namespace
} // namespace sqstd

using namespace sqstd;

SQFILE sqstd_fopen(const SQChar *filename, const SQChar *mode)
{
    return openFile(filename, mode);
}

SQInteger sqstd_fread(SQUserPointer buffer, SQInteger size, SQInteger count, SQFILE file)
{
    return SQInteger(std::fread(buffer, size_t(size), size_t(count), static_cast<std::FILE *>(file)));
}

SQInteger sqstd_fwrite(const SQUserPointer buffer, SQInteger size, SQInteger count, SQFILE file)
{
    return SQInteger(std::fwrite(buffer, size_t(size), size_t(count), static_cast<std::FILE *>(file)));
}

SQInteger sqstd_fseek(SQFILE file, SQInteger offset, SQInteger origin)
{
    int o = origin == SQ_SEEK_CUR ? SEEK_CUR : origin == SQ_SEEK_END ? SEEK_END : SEEK_SET;
    return std::fseek(static_cast<std::FILE *>(file), long(offset), o);
}

SQInteger sqstd_ftell(SQFILE file) { return SQInteger(std::ftell(static_cast<std::FILE *>(file))); }
SQInteger sqstd_fflush(SQFILE file) { return std::fflush(static_cast<std::FILE *>(file)); }
SQInteger sqstd_fclose(SQFILE file) { return std::fclose(static_cast<std::FILE *>(file)); }
SQInteger sqstd_feof(SQFILE file) { return std::feof(static_cast<std::FILE *>(file)); }

SQRESULT sqstd_createfile(HSQUIRRELVM v, SQFILE file, SQBool own)
{
    SQInteger top = sq_gettop(v);
    if (!pushRegistryClass(v, kFileClassKey)) return sq_throwerror(v, u"the io library is not registered");
    sq_pushroottable(v);
    sq_pushuserpointer(v, file);
    sq_pushbool(v, own);
    if (SQ_SUCCEEDED(sq_call(v, 3, SQTrue, SQFalse))) {
        sq_remove(v, -2);
        return SQ_OK;
    }
    sq_settop(v, top);
    return SQ_ERROR;
}

SQRESULT sqstd_getfile(HSQUIRRELVM v, SQInteger idx, SQFILE *file)
{
    File *f = selfFile(v, idx);
    if (!f) return sq_throwerror(v, u"not a file");
    *file = f->Handle();
    return SQ_OK;
}

SQRESULT sqstd_loadfile(HSQUIRRELVM v, const SQChar *filename, SQBool printerror)
{
    std::FILE *f = openFile(filename, u"rb");
    if (!f) return sq_throwerror(v, u"cannot open the file");
    std::string bytes;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    std::fclose(f);
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == (SQ_BYTECODE_STREAM_TAG & 0xFF) &&
        static_cast<unsigned char>(bytes[1]) == (SQ_BYTECODE_STREAM_TAG >> 8)) {
        MemoryReader r{reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(), 0};
        return sq_readclosure(v, readMemory, &r);
    }
    std::u16string source = decodeSource(bytes);
    return sq_compilebuffer(v, source.c_str(), SQInteger(source.size()), filename, printerror);
}

SQRESULT sqstd_dofile(HSQUIRRELVM v, const SQChar *filename, SQBool retval, SQBool printerror)
{
    if (SQ_FAILED(sqstd_loadfile(v, filename, printerror))) return SQ_ERROR;
    sq_push(v, -2); // `this`
    if (SQ_SUCCEEDED(sq_call(v, 1, retval, SQTrue))) {
        sq_remove(v, retval ? -2 : -1); // the closure
        return SQ_OK;
    }
    sq_pop(v, 1);
    return SQ_ERROR;
}

SQRESULT sqstd_writeclosuretofile(HSQUIRRELVM v, const SQChar *filename)
{
    std::FILE *f = openFile(filename, u"wb");
    if (!f) return sq_throwerror(v, u"cannot open the file");
    SQRESULT r = sq_writeclosure(v, writeFile, f);
    if (std::fclose(f) != 0 && SQ_SUCCEEDED(r)) return sq_throwerror(v, u"io error");
    return r;
}

SQRESULT sqstd_register_iolib(HSQUIRRELVM v)
{
    SQInteger top = sq_gettop(v);
    if (SQ_FAILED(declareStream(v, u"file", kFileTag, kFileClassKey, fileMethods, ioGlobals))) return SQ_ERROR;
    const struct {
        const SQChar *name;
        std::FILE *f;
    } std_streams[] = {{u"stdout", stdout}, {u"stdin", stdin}, {u"stderr", stderr}};
    for (const auto &s : std_streams) {
        sq_pushstring(v, s.name, -1);
        if (SQ_FAILED(sqstd_createfile(v, s.f, SQFalse))) {
            sq_settop(v, top);
            return SQ_ERROR;
        }
        sq_newslot(v, -3, SQFalse);
    }
    sq_settop(v, top);
    return SQ_OK;
}
