#include "script/Binding.h"

#include <sqstdutf.h>

#include <array>
#include <atomic>

namespace Quillorane::Bind {

// ---------------------------------------------------------------------------------------------
// Class tags

namespace {

constexpr std::size_t kMaxClasses = 512;
std::array<ClassTag, kMaxClasses> tagPool;
std::atomic<std::size_t> tagsUsed{0};

SQInteger releaseWrapper(SQUserPointer p, SQInteger) {
    delete static_cast<Bound*>(p);
    return 1;
}

std::u16string ascii(const char* s) { return std::u16string(s, s + std::char_traits<char>::length(s)); }

}  // namespace

ClassTag* allocateTag() {
    const std::size_t i = tagsUsed.fetch_add(1);
    return i < kMaxClasses ? &tagPool[i] : nullptr;
}

bool isBoundTag(const void* p) {
    const auto* tag = static_cast<const ClassTag*>(p);
    return tag >= tagPool.data() && tag < tagPool.data() + kMaxClasses;
}

Bound* boundAt(HSQUIRRELVM v, SQInteger idx) {
    if (sq_gettype(v, idx) != OT_INSTANCE) return nullptr;
    if (idx < 0) idx = sq_gettop(v) + idx + 1;
    SQUserPointer up = nullptr;
    sq_getinstanceup(v, idx, &up, nullptr);
    if (!up) return nullptr;
    SQUserPointer tag = nullptr;
    sq_gettypetag(v, idx, &tag);
    if (isBoundTag(tag)) return static_cast<Bound*>(up);
    // A script class derived from a bound class carries no tag of its own: look at its bases.
    bool found = false;
    sq_getclass(v, idx);
    while (!found && SQ_SUCCEEDED(sq_getbase(v, -1))) {
        sq_remove(v, -2);
        if (sq_gettype(v, -1) != OT_CLASS) break;
        sq_gettypetag(v, -1, &tag);
        found = isBoundTag(tag);
    }
    sq_pop(v, 1);
    return found ? static_cast<Bound*>(up) : nullptr;
}

bool isEmptyBoundInstance(HSQUIRRELVM v, SQInteger idx) {
    if (sq_gettype(v, idx) != OT_INSTANCE) return false;
    if (idx < 0) idx = sq_gettop(v) + idx + 1;
    SQUserPointer up = nullptr;
    sq_getinstanceup(v, idx, &up, nullptr);
    if (up) return false;
    bool bound = false;
    sq_getclass(v, idx);
    for (;;) {
        SQUserPointer tag = nullptr;
        sq_gettypetag(v, -1, &tag);
        if ((bound = isBoundTag(tag))) break;
        if (SQ_FAILED(sq_getbase(v, -1))) break;
        sq_remove(v, -2);
        if (sq_gettype(v, -1) != OT_CLASS) break;
    }
    sq_pop(v, 1);
    return bound;
}

void attach(HSQUIRRELVM v, SQInteger idx, Bound* wrapper) {
    SQUserPointer old = nullptr;
    sq_getinstanceup(v, idx, &old, nullptr);
    sq_setinstanceup(v, idx, wrapper);
    sq_setreleasehook(v, idx, &releaseWrapper);
    delete static_cast<Bound*>(old);  // a constructor run twice replaces its wrapper
}

void pushInstance(HSQUIRRELVM v, Bound* wrapper, ClassTag* tag) {
    if (!wrapper || !tag || !tag->vm) {
        delete wrapper;
        return sq_pushnull(v);
    }
    sq_pushobject(v, tag->cls);
    if (SQ_FAILED(sq_createinstance(v, -1))) {
        sq_pop(v, 1);
        delete wrapper;
        return sq_pushnull(v);
    }
    sq_remove(v, -2);
    attach(v, -1, wrapper);
}

bool constructByName(HSQUIRRELVM v, std::initializer_list<std::u16string_view> path, SQInteger nargs) {
    const SQInteger top = sq_gettop(v);
    const SQInteger firstArg = top - nargs + 1;
    sq_pushroottable(v);
    for (std::u16string_view name : path) {
        sq_pushstring(v, name.data(), static_cast<SQInteger>(name.size()));
        if (SQ_FAILED(sq_get(v, -2))) {
            sq_settop(v, top - nargs);
            return false;
        }
        sq_remove(v, -2);
    }
    sq_pushroottable(v);
    for (SQInteger i = 0; i < nargs; ++i) sq_push(v, firstArg + i);
    if (SQ_FAILED(sq_call(v, nargs + 1, SQTrue, SQFalse))) {
        sq_settop(v, top - nargs);
        return false;
    }
    // args..., class, instance -> instance
    sq_remove(v, -2);
    for (SQInteger i = 0; i < nargs; ++i) sq_remove(v, -2);
    return true;
}

void releaseClasses(HSQUIRRELVM v) {
    const std::size_t used = std::min(tagsUsed.load(), kMaxClasses);
    for (std::size_t i = 0; i < used; ++i) {
        ClassTag& tag = tagPool[i];
        if (tag.vm != v) continue;
        sq_release(v, &tag.cls);
        sq_resetobject(&tag.cls);
        tag.vm = nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// Errors and masks

SQInteger raise(HSQUIRRELVM v, std::u16string_view text) {
    const std::u16string copy(text);
    return sq_throwerror(v, copy.c_str());
}

SQInteger raiseArgType(HSQUIRRELVM v, SQInteger idx, const std::u16string& expected) {
    if (idx < 0) idx = sq_gettop(v) + idx + 1;
    std::u16string type = u"unknown";
    if (SQ_SUCCEEDED(sq_typeof(v, idx))) {
        const SQChar* s = nullptr;
        if (SQ_SUCCEEDED(sq_getstring(v, -1, &s))) type = s;
        sq_pop(v, 1);
    }
    return raise(v, u"parameter " + ascii(std::to_string(idx - 1).c_str()) + u" has an invalid type '" + type +
                        u"' ; expected: '" + expected + u"'");
}

SQInteger raiseArgType(HSQUIRRELVM v, SQInteger idx, const char* expected) {
    return raiseArgType(v, idx, ascii(expected));
}

SQInteger raiseArrayElement(HSQUIRRELVM v, SQInteger idx, SQInteger element) {
    return raise(v, u"parameter " + ascii(std::to_string(idx - 1).c_str()) + u" has an invalid element at index " +
                        ascii(std::to_string(element).c_str()));
}

SQInteger raiseNotSelf(HSQUIRRELVM v, const std::u16string& className) {
    if (sq_gettype(v, 1) == OT_INSTANCE) {
        SQUserPointer up = nullptr;
        sq_getinstanceup(v, 1, &up, nullptr);
        if (!up) return raise(v, u"the " + className + u" instance has no native object (base.constructor was not called)");
    }
    return raiseArgType(v, 1, className);
}

bool matchMask(HSQUIRRELVM v, SQInteger count, std::string_view mask) {
    SQInteger arg = 0;
    for (char letter : mask) {
        if (letter == ' ') continue;
        if (arg == count) return false;
        const SQObjectType t = sq_gettype(v, 2 + arg);
        bool ok = false;
        switch (letter) {
        case 'a': ok = t == OT_ARRAY; break;
        case 'b': ok = t == OT_BOOL; break;
        case 'c': ok = t == OT_CLOSURE || t == OT_NATIVECLOSURE; break;
        case 'f':
        case 'i': ok = t == OT_INTEGER || t == OT_FLOAT; break;
        case 'o': ok = t == OT_NULL; break;
        case 's': ok = t == OT_STRING; break;
        case 't': ok = t == OT_TABLE; break;
        case 'x': ok = t == OT_INSTANCE; break;
        default: return false;
        }
        if (!ok) return false;
        ++arg;
    }
    return arg == count;
}

// ---------------------------------------------------------------------------------------------
// Values and strings

namespace {

// Reads the first count elements of an array value with read(vm, idx, i); false when it is not
// an array, is shorter, or read refuses an element.
template <class Read>
bool readElements(const Value& array, SQInteger count, Read read) {
    HSQUIRRELVM v = array.vm();
    if (!v || array.type() != OT_ARRAY) return false;
    array.push(v);
    bool ok = sq_getsize(v, -1) >= count;
    for (SQInteger i = 0; ok && i < count; ++i) {
        sq_pushinteger(v, i);
        sq_rawget(v, -2);
        const SQObjectType t = sq_gettype(v, -1);
        ok = (t == OT_INTEGER || t == OT_FLOAT) && read(v, i);
        sq_pop(v, 1);
    }
    sq_pop(v, 1);
    return ok;
}

}  // namespace

bool arrayIntegers(const Value& array, SQInteger count, SQInteger* out) {
    return readElements(array, count, [out](HSQUIRRELVM v, SQInteger i) { return readInteger(v, -1, out[i]); });
}

bool arrayFloats(const Value& array, SQInteger count, SQFloat* out) {
    return readElements(array, count, [out](HSQUIRRELVM v, SQInteger i) {
        if (sq_gettype(v, -1) == OT_FLOAT) return SQ_SUCCEEDED(sq_getfloat(v, -1, &out[i]));
        SQInteger n = 0;
        sq_getinteger(v, -1, &n);
        out[i] = static_cast<SQFloat>(n);
        return true;
    });
}

Value elementOf(const Value& array, SQInteger i) {
    HSQUIRRELVM v = array.vm();
    if (!v || array.type() != OT_ARRAY) return Value();
    array.push(v);
    sq_pushinteger(v, i);
    Value out;
    if (SQ_SUCCEEDED(sq_rawget(v, -2))) {
        out = Value(v, -1);
        sq_pop(v, 1);
    }
    sq_pop(v, 1);
    return out;
}

Value::Value(HSQUIRRELVM v, SQInteger idx) : vm_(v) {
    sq_getstackobj(v, idx, &obj_);
    sq_addref(v, &obj_);
}

Value::Value(const Value& other) : vm_(other.vm_), obj_(other.obj_) {
    if (vm_) sq_addref(vm_, &obj_);
}

Value::Value(Value&& other) noexcept : vm_(other.vm_), obj_(other.obj_) {
    other.vm_ = nullptr;
    sq_resetobject(&other.obj_);
}

Value& Value::operator=(Value other) noexcept {
    std::swap(vm_, other.vm_);
    std::swap(obj_, other.obj_);
    return *this;
}

Value::~Value() {
    if (vm_) sq_release(vm_, &obj_);
}

SQInteger Value::size() const {
    if (!vm_ || !(obj_._type == OT_ARRAY || obj_._type == OT_TABLE || obj_._type == OT_STRING)) return -1;
    sq_pushobject(vm_, obj_);
    const SQInteger n = sq_getsize(vm_, -1);
    sq_pop(vm_, 1);
    return n;
}

bool Conv<std::u16string>::get(HSQUIRRELVM v, SQInteger idx, Hold& out) {
    const SQChar* s = nullptr;
    if (sq_gettype(v, idx) == OT_STRING) {
        sq_getstring(v, idx, &s);
        out.assign(s, static_cast<std::size_t>(sq_getsize(v, idx)));
        return true;
    }
    if (SQ_FAILED(sq_tostring(v, idx))) return raiseArgType(v, idx, "string"), false;
    sq_getstring(v, -1, &s);
    out.assign(s, static_cast<std::size_t>(sq_getsize(v, -1)));
    sq_pop(v, 1);
    return true;
}

bool Conv<std::string>::get(HSQUIRRELVM v, SQInteger idx, Hold& out) {
    std::u16string wide;
    if (!Conv<std::u16string>::get(v, idx, wide)) return false;
    out = sqstd::toUtf8(wide);
    return true;
}

void Conv<std::string>::push(HSQUIRRELVM v, const std::string& s) {
    Conv<std::u16string>::push(v, sqstd::fromUtf8(s));
}

// ---------------------------------------------------------------------------------------------
// Registration

Slots::Slots(HSQUIRRELVM v, HSQOBJECT object) : vm_(v), obj_(object) { sq_addref(v, &obj_); }

Slots::Slots(Slots&& other) noexcept : vm_(other.vm_), obj_(other.obj_), ok_(other.ok_) {
    other.vm_ = nullptr;
    sq_resetobject(&other.obj_);
}

Slots::~Slots() {
    if (vm_) sq_release(vm_, &obj_);
}

void Slots::setTop(std::u16string_view name) {
    sq_pushobject(vm_, obj_);
    sq_pushstring(vm_, name.data(), static_cast<SQInteger>(name.size()));
    sq_push(vm_, -3);
    if (SQ_FAILED(sq_newslot(vm_, -3, SQFalse))) fail();
    sq_pop(vm_, 2);
}

void Slots::setNative(std::u16string_view name, SQFUNCTION fn, SQInteger nfree, SQInteger nparams,
                      const SQChar* typemask) {
    sq_newclosure(vm_, fn, static_cast<SQUnsignedInteger>(nfree));
    if (nparams != 0 && SQ_FAILED(sq_setparamscheck(vm_, nparams, typemask))) fail();
    const std::u16string copy(name);
    sq_setnativeclosurename(vm_, -1, copy.c_str());
    setTop(name);
}

std::u16string overloadKey(std::u16string_view name, SQInteger arity) {
    return u"__sqrat_ol_ " + std::u16string(name) + u"_" + ascii(std::to_string(arity).c_str());
}

namespace {

// Overload keys are made once per name: the dispatcher's free variable is an array holding
// the key for each argument count below kKeyedArities, then the name itself, so a call looks
// its key up instead of building and interning a new string.
constexpr SQInteger kKeyedArities = 16;

// The dispatcher under an overloaded name: calls the variant for the argument count, looked
// up in `this` (the instance and its class, or the table the function was called through).
SQInteger dispatchOverload(HSQUIRRELVM v) {
    const SQInteger top = sq_gettop(v);
    const SQInteger nargs = top - 2;  // without `this` and the keys held as free variable
    const SQObjectType selfType = sq_gettype(v, 1);
    if (selfType == OT_TABLE || selfType == OT_INSTANCE || selfType == OT_CLASS) {
        sq_push(v, 1);
        if (nargs < kKeyedArities) {
            sq_pushinteger(v, nargs);
            sq_rawget(v, top);
        } else {
            sq_pushinteger(v, kKeyedArities);
            sq_rawget(v, top);
            const SQChar* name = nullptr;
            sq_getstring(v, -1, &name);
            const std::u16string key = overloadKey(std::u16string_view(name, static_cast<std::size_t>(sq_getsize(v, -1))), nargs);
            sq_poptop(v);
            sq_pushstring(v, key.data(), static_cast<SQInteger>(key.size()));
        }
        if (SQ_SUCCEEDED(sq_rawget(v, -2))) {
            sq_remove(v, -2);
            for (SQInteger i = 1; i <= nargs + 1; ++i) sq_push(v, i);
            if (SQ_FAILED(sq_call(v, nargs + 1, SQTrue, SQFalse))) return SQ_ERROR;
            return 1;
        }
        sq_settop(v, top);
    }
    return raise(v, u"No overload matching this argument list found");
}

// _get and _set of bound classes: route an unknown member through __getTable / __setTable;
// throwing null makes the VM report its ordinary missing-member error.
SQInteger routeProperty(HSQUIRRELVM v, const SQChar* tableName, SQInteger nargs) {
    const SQInteger top = sq_gettop(v);
    if (SQ_SUCCEEDED(sq_getclass(v, 1))) {
        sq_pushstring(v, tableName, -1);
        if (SQ_SUCCEEDED(sq_rawget(v, -2)) && sq_gettype(v, -1) == OT_TABLE) {
            sq_push(v, 2);
            if (SQ_SUCCEEDED(sq_rawget(v, -2))) {
                sq_push(v, 1);
                for (SQInteger i = 3; i < 2 + nargs; ++i) sq_push(v, i);
                if (SQ_FAILED(sq_call(v, nargs, SQTrue, SQFalse))) return SQ_ERROR;
                return 1;
            }
        }
    }
    sq_settop(v, top);
    sq_pushnull(v);
    return sq_throwobject(v);
}

SQInteger getProperty(HSQUIRRELVM v) { return routeProperty(v, u"__getTable", 1); }

SQInteger setProperty(HSQUIRRELVM v) {
    const SQInteger r = routeProperty(v, u"__setTable", 2);
    if (r == 1) sq_pop(v, 1);  // setters give the script no result
    return r < 0 ? r : 0;
}

SQInteger weakrefOfSelf(HSQUIRRELVM v) {
    sq_weakref(v, 1);
    return 1;
}

}  // namespace

void Slots::setOverload(std::u16string_view name, SQInteger arity, SQFUNCTION fn) {
    setNative(overloadKey(name, arity), fn, 1, arity + 1);
    sq_newarray(vm_, 0);
    for (SQInteger n = 0; n < kKeyedArities; ++n) {
        const std::u16string key = overloadKey(name, n);
        sq_pushstring(vm_, key.data(), static_cast<SQInteger>(key.size()));
        sq_arrayappend(vm_, -2);
    }
    sq_pushstring(vm_, name.data(), static_cast<SQInteger>(name.size()));
    sq_arrayappend(vm_, -2);
    setNative(name, &dispatchOverload, 1, 0);
}

namespace {

HSQOBJECT newTableObject(HSQUIRRELVM v) {
    sq_newtable(v);
    HSQOBJECT o;
    sq_getstackobj(v, -1, &o);
    return o;
}

}  // namespace

Table::Table(HSQUIRRELVM v) : Slots(v, newTableObject(v)) { sq_pop(v, 1); }

Table Table::root(HSQUIRRELVM v) {
    sq_pushroottable(v);
    HSQOBJECT o;
    sq_getstackobj(v, -1, &o);
    Table t(v, o);
    sq_pop(v, 1);
    return t;
}

Table& Table::raw(std::u16string_view name, SQFUNCTION fn, SQInteger nparams) {
    setNative(name, fn, 0, nparams);
    return *this;
}

Table& Table::value(std::u16string_view name, SQInteger n) {
    sq_pushinteger(vm_, n);
    setTop(name);
    return *this;
}

Table& Table::value(std::u16string_view name, std::u16string_view text) {
    sq_pushstring(vm_, text.data(), static_cast<SQInteger>(text.size()));
    setTop(name);
    return *this;
}

Table& Table::enumeration(std::u16string_view name,
                          std::initializer_list<std::pair<std::u16string_view, SQInteger>> values) {
    Table e(vm_);
    for (const auto& [key, n] : values) e.value(key, n);
    return add(name, std::move(e));
}

Table& Table::add(ClassBase& cls) {
    cls.finish();
    if (!cls.ok()) fail();
    sq_pushobject(vm_, cls.object());
    setTop(cls.name());
    return *this;
}

Table& Table::add(std::u16string_view name, Table&& sub) {
    if (!sub.ok()) fail();
    sq_pushobject(vm_, sub.object());
    setTop(name);
    return *this;
}

bool Table::store(std::u16string_view name) {
    sq_pushroottable(vm_);
    sq_pushstring(vm_, name.data(), static_cast<SQInteger>(name.size()));
    sq_pushobject(vm_, obj_);
    if (SQ_FAILED(sq_newslot(vm_, -3, SQFalse))) fail();
    sq_pop(vm_, 1);
    return ok();
}

bool Table::storeGlobals() {
    sq_pushroottable(vm_);
    sq_pushobject(vm_, obj_);
    sq_pushnull(vm_);
    while (SQ_SUCCEEDED(sq_next(vm_, -2))) {
        // root, table, iterator, key, value -> root[key] = value
        sq_push(vm_, -2);
        sq_push(vm_, -2);
        if (SQ_FAILED(sq_newslot(vm_, -7, SQFalse))) fail();
        sq_pop(vm_, 2);
    }
    sq_pop(vm_, 3);
    return ok();
}

// ---------------------------------------------------------------------------------------------
// Classes

namespace {

HSQOBJECT newClassObject(HSQUIRRELVM v, ClassTag* tag) {
    sq_newclass(v, SQFalse);
    if (tag) sq_settypetag(v, -1, tag);
    HSQOBJECT o;
    sq_getstackobj(v, -1, &o);
    return o;
}

// The constructor of a bound class: the first variant whose mask matches builds the wrapper.
SQInteger construct(HSQUIRRELVM v) {
    const SQInteger nargs = sq_gettop(v) - 2;  // without `this` and the variants' free variable
    SQUserPointer p = nullptr;
    sq_getuserdata(v, sq_gettop(v), &p, nullptr);
    const auto& variants = *static_cast<const std::vector<ClassBase::Variant>*>(p);
    for (const auto& variant : variants) {
        if (variant.checked && !matchMask(v, nargs, variant.mask)) continue;
        bool argError = false, fits = true;
        Bound* made = variant.make(v, argError, fits);
        if (argError) return SQ_ERROR;
        if (!fits) continue;
        if (!made) return raise(v, u"failed create instance");
        attach(v, 1, made);
        return 0;
    }
    return raise(v, u"wrong number of parameters");
}

}  // namespace

ClassBase::ClassBase(HSQUIRRELVM v, std::u16string_view name, ClassTag* tag)
    : Slots(v, newClassObject(v, tag)), name_(name), tag_(tag) {
    sq_pop(v, 1);
    if (!tag_) {
        fail();
        return;
    }
    Table setters(v), getters(v);
    sq_pushobject(v, setters.object());
    setTop(u"__setTable");
    sq_pushobject(v, getters.object());
    setTop(u"__getTable");
    setNative(u"_set", &setProperty, 0, 3);
    setNative(u"_get", &getProperty, 0, 2);
    setNative(u"weakref", &weakrefOfSelf, 0, 1);
}

void ClassBase::addProperty(std::u16string_view name, bool getter) {
    sq_pushobject(vm_, obj_);
    sq_pushstring(vm_, getter ? u"__getTable" : u"__setTable", -1);
    if (SQ_FAILED(sq_rawget(vm_, -2))) {
        fail();
        sq_pop(vm_, 2);
        return;
    }
    sq_pushstring(vm_, name.data(), static_cast<SQInteger>(name.size()));
    sq_push(vm_, -4);  // the accessor closure
    if (SQ_FAILED(sq_newslot(vm_, -3, SQFalse))) fail();
    sq_pop(vm_, 3);
}

void ClassBase::finish() {
    if (finished_) return;
    finished_ = true;
    if (!variants_.empty()) {
        using Variants = std::vector<Variant>;
        void* block = sq_newuserdata(vm_, sizeof(Variants));
        new (block) Variants(std::move(variants_));
        sq_setreleasehook(vm_, -1, [](SQUserPointer up, SQInteger) -> SQInteger {
            static_cast<Variants*>(up)->~Variants();
            return 1;
        });
        setNative(u"constructor", &construct, 1, 0);
    }
    if (!tag_) return;
    if (tag_->vm) sq_release(tag_->vm, &tag_->cls);
    tag_->cls = obj_;
    tag_->vm = vm_;
    tag_->name = name_;
    sq_addref(vm_, &tag_->cls);
}

}  // namespace Quillorane::Bind
