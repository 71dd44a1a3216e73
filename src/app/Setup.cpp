#include "app/Setup.h"

#include "app/ScriptFiles.h"

#include <squirrel.h>
#include <sqstdutf.h>

#include <utility>

namespace Quillorane {

namespace {

SetupSettings& current() {
    static SetupSettings settings;
    return settings;
}

// The first compile error of the setup VM, for the one-line diagnostic.
void rememberCompileError(HSQUIRRELVM v, const SQChar* desc, const SQChar*, SQInteger line, SQInteger column) {
    auto* why = static_cast<std::string*>(sq_getforeignptr(v));
    if (why && why->empty())
        *why = "setup.nut line " + std::to_string(line) + " column " + std::to_string(column) + ": " + sqstd::toUtf8(desc);
}

void newSlot(HSQUIRRELVM v, const SQChar* key) {
    // root, value -> root[key] = value
    sq_pushstring(v, key, -1);
    sq_push(v, -2);
    sq_remove(v, -3);
    sq_newslot(v, -3, SQFalse);
}

// Pushes root[key]; false (nothing pushed) when the slot is gone.
bool getSlot(HSQUIRRELVM v, const SQChar* key) {
    sq_pushstring(v, key, -1);
    return SQ_SUCCEEDED(sq_rawget(v, -2));
}

void readString(HSQUIRRELVM v, const SQChar* key, std::u16string& out) {
    if (!getSlot(v, key)) return;
    if (SQ_SUCCEEDED(sq_tostring(v, -1))) {
        const SQChar* s = nullptr;
        sq_getstring(v, -1, &s);
        out.assign(s, static_cast<std::size_t>(sq_getsize(v, -1)));
        sq_pop(v, 1);
    }
    sq_pop(v, 1);
}

void readSize(HSQUIRRELVM v, const SQChar* key, std::uint16_t& out) {
    if (!getSlot(v, key)) return;
    if (sq_gettype(v, -1) == OT_INTEGER) {
        SQInteger n = 0;
        sq_getinteger(v, -1, &n);
        out = static_cast<std::uint16_t>(n);
    } else if (sq_gettype(v, -1) == OT_FLOAT) {
        SQFloat f = 0;
        sq_getfloat(v, -1, &f);
        if (f > -2147483649.0f && f < 2147483648.0f) out = static_cast<std::uint16_t>(static_cast<SQInteger>(f));
    }
    sq_pop(v, 1);
}

void readFlag(HSQUIRRELVM v, const SQChar* key, bool& out) {
    if (!getSlot(v, key)) return;
    SQBool b = SQFalse;
    sq_tobool(v, -1, &b);
    out = b != SQFalse;
    sq_pop(v, 1);
}

void readList(HSQUIRRELVM v, const SQChar* key, std::vector<std::u16string>& out) {
    out.clear();
    if (!getSlot(v, key)) return;
    if (sq_gettype(v, -1) == OT_ARRAY) {
        const SQInteger n = sq_getsize(v, -1);
        for (SQInteger i = 0; i < n; ++i) {
            sq_pushinteger(v, i);
            if (SQ_FAILED(sq_rawget(v, -2))) continue;
            if (sq_gettype(v, -1) == OT_STRING) {
                const SQChar* s = nullptr;
                sq_getstring(v, -1, &s);
                out.emplace_back(s, static_cast<std::size_t>(sq_getsize(v, -1)));
            }
            sq_pop(v, 1);
        }
    }
    sq_pop(v, 1);
}

}  // namespace

bool readSetupText(std::u16string_view text, SetupSettings& out, std::string* why) {
    std::string error;
    HSQUIRRELVM v = sq_open(1024);
    if (!v) {
        if (why) *why = "out of memory";
        return false;
    }
    sq_setforeignptr(v, &error);
    sq_setcompilererrorhandler(v, &rememberCompileError);

    const SetupSettings defaults;
    sq_pushroottable(v);
    sq_pushstring(v, defaults.id.c_str(), -1), newSlot(v, u"ID");
    sq_pushstring(v, defaults.title.c_str(), -1), newSlot(v, u"title");
    sq_pushinteger(v, defaults.width), newSlot(v, u"width");
    sq_pushinteger(v, defaults.height), newSlot(v, u"height");
    sq_pushbool(v, SQFalse), newSlot(v, u"single");
    sq_pushbool(v, SQFalse), newSlot(v, u"debug");
    sq_pushinteger(v, 0), newSlot(v, u"scripts");
    sq_pushinteger(v, 0), newSlot(v, u"plugins");

    bool ok = SQ_SUCCEEDED(sq_compilebuffer(v, text.data(), static_cast<SQInteger>(text.size()), u"", SQTrue));
    if (ok) {
        sq_push(v, -2);  // the root table as `this`
        ok = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQFalse));
        if (!ok && error.empty()) {
            sq_getlasterror(v);
            if (SQ_SUCCEEDED(sq_tostring(v, -1))) {
                const SQChar* s = nullptr;
                sq_getstring(v, -1, &s);
                error = "setup.nut raised an error: " + sqstd::toUtf8(s);
            }
        }
        sq_settop(v, 1);
    }
    if (ok) {
        SetupSettings read = defaults;
        readString(v, u"ID", read.id);
        readString(v, u"title", read.title);
        readSize(v, u"width", read.width);
        readSize(v, u"height", read.height);
        readFlag(v, u"single", read.single);
        readFlag(v, u"debug", read.debug);
        readList(v, u"scripts", read.scripts);
        readList(v, u"plugins", read.plugins);
        out = std::move(read);
    } else if (error.empty()) {
        error = "setup.nut does not compile";
    }
    sq_close(v);
    if (why) *why = error;
    return ok;
}

bool readSetupFile(QlIO::IFileManager& files, SetupSettings& out, std::string* why) {
    const auto text = readScriptFile(files, u"setup.nut");
    if (!text) {
        if (why) *why = "no setup.nut in the game";
        return false;
    }
    return readSetupText(*text, out, why);
}

const SetupSettings& setupSettings() { return current(); }

void setSetupSettings(SetupSettings settings) { current() = std::move(settings); }

}  // namespace Quillorane
