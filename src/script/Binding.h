#pragma once
// The binding layer: native functions, classes, properties, overloads and enumerations
// registered in the VM, each with one line whose C++ signature drives every conversion.
//
//   Bind::Table util(vm);
//   util.add(Bind::Class<ScTimer>(vm, u"Timer")
//                .ctor()
//                .method(u"set", &ScTimer::set)
//                .method(u"get", &ScTimer::get));
//   util.store(u"Util");
//
// Arguments are read from the VM stack by parameter type (Conv<T> below): integer types take
// integers, floats (truncated toward zero) and bools (1/0); float types take numbers and
// bools; bool parameters are integer flags where exactly 1 is true; strings take any value
// through the VM's to-string conversion; a reference or pointer to a bound wrapper takes an
// instance of a class registered for it. Anything else raises a script error naming the
// parameter's position and the expected type. Results are pushed by return type: bools as
// 1/0, strings, numbers, vectors as arrays, std::optional as the value or null, a
// std::unique_ptr to a wrapper as a new instance of its class, void as nothing (null).
#include "script/Bound.h"

#include <squirrel.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace Quillorane::Bind {

// ---------------------------------------------------------------------------------------------
// Class tags: one per registered wrapper type, used as the script class's type tag.

struct ClassTag {
    HSQOBJECT cls{};              // the script class in the VM that registered it last
    HSQUIRRELVM vm = nullptr;     // that VM (null before registration)
    std::u16string name;          // script name, for messages
};

// A tag from the process-wide pool; null when the pool is exhausted.
ClassTag* allocateTag();
// Whether p is a tag of this pool (so an instance's user pointer is a Bound).
bool isBoundTag(const void* p);

template <class T>
ClassTag* tagOf() {
    static ClassTag* const tag = allocateTag();
    return tag;
}

// The wrapper of the instance at idx when it is an instance of a bound class (or of a script
// class derived from one) whose native object exists; null otherwise.
Bound* boundAt(HSQUIRRELVM v, SQInteger idx);

// The wrapper of `this` (stack slot 1) as T, null when `this` is not a constructed T.
template <class T>
T* self(HSQUIRRELVM v) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 1, &p, tagOf<T>())) || !p) return nullptr;
    return static_cast<T*>(static_cast<Bound*>(p));
}

// Whether the value at idx is an instance of a bound class (or of a script class derived from
// one) that has no native object: its constructor never ran (class.instance(), a derived
// constructor that skipped base.constructor).
bool isEmptyBoundInstance(HSQUIRRELVM v, SQInteger idx);

// Gives the instance at idx its wrapper (deleting one it already had) and the release hook
// that deletes the wrapper when the VM frees the instance.
void attach(HSQUIRRELVM v, SQInteger idx, Bound* wrapper);

// Pushes a new instance of T's registered class owning wrapper; pushes null for an empty
// pointer or when T's class is not registered in this VM.
void pushInstance(HSQUIRRELVM v, Bound* wrapper, ClassTag* tag);

// Creates an instance the way a script would: looks the class up from the root table by its
// path (for example {u"IO", u"Blob"}) and calls it with the nargs values on top of the stack,
// which are popped. Pushes the instance and returns true; otherwise pushes nothing, and the
// VM's last error says why. Raw functions that return objects of other bound classes use it,
// so a script that replaced or extended a class gets its own.
bool constructByName(HSQUIRRELVM v, std::initializer_list<std::u16string_view> path, SQInteger nargs);

// The wrapper of the instance at idx as T, null when it is not a constructed T.
template <class T>
T* wrapperAt(HSQUIRRELVM v, SQInteger idx) {
    return dynamic_cast<T*>(boundAt(v, idx));
}

// Forgets the classes registered in v (before v is closed): results of their types are then
// pushed as null until they are registered again.
void releaseClasses(HSQUIRRELVM v);

// ---------------------------------------------------------------------------------------------
// Errors and small helpers

// Raises "parameter N has an invalid type 'T' ; expected: 'E'" for the argument at idx
// (`this` is parameter 0).
SQInteger raiseArgType(HSQUIRRELVM v, SQInteger idx, const char* expected);
SQInteger raiseArgType(HSQUIRRELVM v, SQInteger idx, const std::u16string& expected);
// Raises "parameter N has an invalid element at index I" for an array argument at idx.
SQInteger raiseArrayElement(HSQUIRRELVM v, SQInteger idx, SQInteger element);
// Raises text as a script error.
SQInteger raise(HSQUIRRELVM v, std::u16string_view text);

// Thrown by a native callee (a method, a function or a constructor's factory) to raise a
// script error with its own text instead of returning.
struct ScriptError {
    std::u16string text;
};

// Whether the script arguments at 2 .. 1 + count match a type mask: one letter per argument
// (a array, b bool, c closure, f/i number, o null, s string, t table, x instance; blanks are
// skipped; any other letter never matches).
bool matchMask(HSQUIRRELVM v, SQInteger count, std::string_view mask);

// A script value kept alive while native code holds it (an argument of any type, a callback,
// an array to read). Empty (null) when default-constructed.
class Value {
public:
    Value() { sq_resetobject(&obj_); }
    Value(HSQUIRRELVM v, SQInteger idx);
    Value(const Value& other);
    Value(Value&& other) noexcept;
    Value& operator=(Value other) noexcept;
    ~Value();

    HSQUIRRELVM vm() const { return vm_; }
    SQObjectType type() const { return obj_._type; }
    bool isNull() const { return obj_._type == OT_NULL; }
    const HSQOBJECT& object() const { return obj_; }
    void push(HSQUIRRELVM v) const { sq_pushobject(v, obj_); }
    // For arrays, tables and strings: sq_getsize; -1 otherwise.
    SQInteger size() const;

private:
    HSQUIRRELVM vm_ = nullptr;
    HSQOBJECT obj_{};
};

// An argument looked at in place, for callees that inspect it themselves during the call
// (optional arguments that may be null, arrays checked element by element). Unlike Value it
// takes no reference, so it costs nothing to pass; it is valid only during the call. An Arg
// with idx 0 stands for an argument a shorter overload did not get, and reads as null.
struct Arg {
    HSQUIRRELVM vm = nullptr;
    SQInteger idx = 0;
    SQObjectType type() const { return idx != 0 ? sq_gettype(vm, idx) : OT_NULL; }
    bool isNull() const { return type() == OT_NULL; }
};

// A parameter that accepts any value and takes its truth value (null, 0, 0.0 and false are
// false).
struct Truth {
    bool value = false;
    operator bool() const { return value; }
};

// ---------------------------------------------------------------------------------------------
// Conversions. Conv<T> reads an argument into Hold, hands it to the callee with pass(), and
// pushes a result of type T.

template <class T, class = void>
struct Conv;

// Truncation of a script float to a 32-bit integer as the x86 conversion does it: toward
// zero, with NaN and out-of-range values giving the lowest integer.
inline SQInteger truncateFloat(SQFloat f) {
    if (!(f > -2147483649.0f && f < 2147483648.0f)) return std::numeric_limits<SQInteger>::min();
    return static_cast<SQInteger>(f);
}

// Reads any number (or bool as 1/0) at idx; false when it is something else.
inline bool readInteger(HSQUIRRELVM v, SQInteger idx, SQInteger& out) {
    switch (sq_gettype(v, idx)) {
    case OT_INTEGER: sq_getinteger(v, idx, &out); return true;
    case OT_FLOAT: {
        SQFloat f = 0;
        sq_getfloat(v, idx, &f);
        out = truncateFloat(f);
        return true;
    }
    case OT_BOOL: {
        SQBool b = SQFalse;
        sq_getbool(v, idx, &b);
        out = b ? 1 : 0;
        return true;
    }
    default: return false;
    }
}

template <class T>
struct Conv<T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>>> {
    using Hold = T;
    static bool get(HSQUIRRELVM v, SQInteger idx, Hold& out) {
        SQInteger i = 0;
        if (!readInteger(v, idx, i)) return raiseArgType(v, idx, "integer"), false;
        out = static_cast<T>(i);
        return true;
    }
    static T pass(Hold& h) { return h; }
    static void push(HSQUIRRELVM v, T value) { sq_pushinteger(v, static_cast<SQInteger>(value)); }
};

template <>
struct Conv<bool> {
    using Hold = bool;
    static bool get(HSQUIRRELVM v, SQInteger idx, Hold& out) {
        SQInteger i = 0;
        if (!readInteger(v, idx, i)) return raiseArgType(v, idx, "integer"), false;
        out = i == 1;
        return true;
    }
    static bool pass(Hold& h) { return h; }
    static void push(HSQUIRRELVM v, bool value) { sq_pushinteger(v, value ? 1 : 0); }
};

template <class T>
struct Conv<T, std::enable_if_t<std::is_floating_point_v<T>>> {
    using Hold = T;
    static bool get(HSQUIRRELVM v, SQInteger idx, Hold& out) {
        switch (sq_gettype(v, idx)) {
        case OT_FLOAT: {
            SQFloat f = 0;
            sq_getfloat(v, idx, &f);
            out = static_cast<T>(f);
            return true;
        }
        case OT_INTEGER:
        case OT_BOOL: {
            SQInteger i = 0;
            readInteger(v, idx, i);
            out = static_cast<T>(i);
            return true;
        }
        default: return raiseArgType(v, idx, "float"), false;
        }
    }
    static T pass(Hold& h) { return h; }
    static void push(HSQUIRRELVM v, T value) { sq_pushfloat(v, static_cast<SQFloat>(value)); }
};

template <>
struct Conv<std::u16string> {
    using Hold = std::u16string;
    static bool get(HSQUIRRELVM v, SQInteger idx, Hold& out);
    static std::u16string& pass(Hold& h) { return h; }
    static void push(HSQUIRRELVM v, const std::u16string& s) {
        sq_pushstring(v, s.data(), static_cast<SQInteger>(s.size()));
    }
};

template <>
struct Conv<std::u16string_view> {
    static void push(HSQUIRRELVM v, std::u16string_view s) {
        sq_pushstring(v, s.data(), static_cast<SQInteger>(s.size()));
    }
};

// UTF-8 text for native code that works in UTF-8.
template <>
struct Conv<std::string> {
    using Hold = std::string;
    static bool get(HSQUIRRELVM v, SQInteger idx, Hold& out);
    static std::string& pass(Hold& h) { return h; }
    static void push(HSQUIRRELVM v, const std::string& s);
};

template <>
struct Conv<Value> {
    using Hold = Value;
    static bool get(HSQUIRRELVM v, SQInteger idx, Hold& out) {
        out = Value(v, idx);
        return true;
    }
    static Value& pass(Hold& h) { return h; }
    static void push(HSQUIRRELVM v, const Value& value) { value.push(v); }
};

template <>
struct Conv<Arg> {
    using Hold = Arg;
    static bool get(HSQUIRRELVM v, SQInteger idx, Hold& out) {
        out.vm = v;
        out.idx = idx < 0 ? sq_gettop(v) + idx + 1 : idx;
        return true;
    }
    static Arg pass(Hold& h) { return h; }
};

template <>
struct Conv<Truth> {
    using Hold = Truth;
    static bool get(HSQUIRRELVM v, SQInteger idx, Hold& out) {
        SQBool b = SQFalse;
        sq_tobool(v, idx, &b);
        out.value = b != SQFalse;
        return true;
    }
    static Truth pass(Hold& h) { return h; }
};

// The name of T's script class for messages ("instance" before registration).
template <class T>
std::u16string boundName() {
    ClassTag* tag = tagOf<T>();
    return tag && !tag->name.empty() ? tag->name : u"instance";
}

// A bound wrapper (or one of the interfaces wrappers implement) taken by reference.
template <class T>
struct Conv<T, std::enable_if_t<std::is_base_of_v<Bound, T>>> {
    using Hold = T*;
    static bool get(HSQUIRRELVM v, SQInteger idx, Hold& out) {
        out = dynamic_cast<T*>(boundAt(v, idx));
        if (!out) return raiseArgType(v, idx, boundName<T>()), false;
        return true;
    }
    static T& pass(Hold& h) { return *h; }
};

// A bound wrapper taken by pointer: null, and an instance that has no native object, are
// accepted and pass nullptr.
template <class T>
struct Conv<T*, std::enable_if_t<std::is_base_of_v<Bound, T>>> {
    using Hold = T*;
    static bool get(HSQUIRRELVM v, SQInteger idx, Hold& out) {
        if (sq_gettype(v, idx) == OT_NULL || isEmptyBoundInstance(v, idx)) {
            out = nullptr;
            return true;
        }
        return Conv<T>::get(v, idx, out);
    }
    static T* pass(Hold& h) { return h; }
};

// A new wrapper returned by native code becomes a new instance of its class.
template <class T>
struct Conv<std::unique_ptr<T>, std::enable_if_t<std::is_base_of_v<Bound, T>>> {
    static void push(HSQUIRRELVM v, std::unique_ptr<T> wrapper) {
        if (!wrapper) return sq_pushnull(v);
        pushInstance(v, wrapper.release(), tagOf<T>());
    }
};

template <class T>
struct Conv<std::optional<T>> {
    static void push(HSQUIRRELVM v, const std::optional<T>& value) {
        if (!value) return sq_pushnull(v);
        Conv<std::remove_cvref_t<T>>::push(v, *value);
    }
};

// An array argument whose every element converts to T (colours, positions, key lists).
template <class T>
struct Conv<std::vector<T>> {
    using Hold = std::vector<T>;
    static bool get(HSQUIRRELVM v, SQInteger idx, Hold& out) {
        if (idx < 0) idx = sq_gettop(v) + idx + 1;
        if (sq_gettype(v, idx) != OT_ARRAY) return raiseArgType(v, idx, "array"), false;
        const SQInteger n = sq_getsize(v, idx);
        out.clear();
        out.reserve(static_cast<std::size_t>(n));
        for (SQInteger i = 0; i < n; ++i) {
            sq_pushinteger(v, i);
            sq_rawget(v, idx);
            typename Conv<T>::Hold element{};
            const bool ok = Conv<T>::get(v, -1, element);
            sq_pop(v, 1);
            if (!ok) return raiseArrayElement(v, idx, i), false;
            out.push_back(Conv<T>::pass(element));
        }
        return true;
    }
    static std::vector<T>& pass(Hold& h) { return h; }
    static void push(HSQUIRRELVM v, const std::vector<T>& values) {
        sq_newarray(v, 0);
        for (const T& value : values) {
            Conv<T>::push(v, value);
            sq_arrayappend(v, -2);
        }
    }
    // A returned vector gives its elements up, so elements that cannot be copied (new
    // wrappers as std::unique_ptr) become new instances too.
    static void push(HSQUIRRELVM v, std::vector<T>&& values) {
        sq_newarray(v, 0);
        for (T& value : values) {
            Conv<T>::push(v, std::move(value));
            sq_arrayappend(v, -2);
        }
    }
};

// ---------------------------------------------------------------------------------------------
// Signatures: what a callable takes and returns.

template <class... A>
struct Types {};

template <class F>
struct Signature : Signature<decltype(&F::operator())> {};  // lambdas and function objects

template <class R, class... A>
struct Signature<R (*)(A...)> {
    using Ret = R;
    using Args = Types<A...>;
    using Class = void;
};
template <class R, class... A>
struct Signature<R (*)(A...) noexcept> : Signature<R (*)(A...)> {};
template <class R, class... A>
struct Signature<R(A...)> : Signature<R (*)(A...)> {};
template <class R, class C, class... A>
struct Signature<R (C::*)(A...)> {
    using Ret = R;
    using Args = Types<A...>;
    using Class = C;
};
template <class R, class C, class... A>
struct Signature<R (C::*)(A...) const> : Signature<R (C::*)(A...)> {};
template <class R, class C, class... A>
struct Signature<R (C::*)(A...) noexcept> : Signature<R (C::*)(A...)> {};
template <class R, class C, class... A>
struct Signature<R (C::*)(A...) const noexcept> : Signature<R (C::*)(A...)> {};

template <class F>
struct LambdaSignature {
    using Op = Signature<decltype(&F::operator())>;
    using Ret = typename Op::Ret;
    using Args = typename Op::Args;
};

template <class F, class = void>
struct CallableTraits {  // function pointers
    using Sig = Signature<F>;
    using Ret = typename Sig::Ret;
    using Args = typename Sig::Args;
    static constexpr bool isMember = false;
};
template <class F>
struct CallableTraits<F, std::enable_if_t<std::is_member_function_pointer_v<F>>> {
    using Sig = Signature<F>;
    using Ret = typename Sig::Ret;
    using Args = typename Sig::Args;
    using Class = typename Sig::Class;
    static constexpr bool isMember = true;
};
template <class F>
struct CallableTraits<F, std::enable_if_t<std::is_class_v<F>>> {  // lambdas
    using Ret = typename LambdaSignature<F>::Ret;
    using Args = typename LambdaSignature<F>::Args;
    static constexpr bool isMember = false;
};

// A parameter of type HSQUIRRELVM receives the calling VM and takes no script argument.
template <class A>
inline constexpr bool isVmParam = std::is_same_v<std::remove_cvref_t<A>, HSQUIRRELVM>;

template <class... A>
constexpr SQInteger scriptArity(Types<A...>) {
    return (SQInteger{0} + ... + (isVmParam<A> ? 0 : 1));
}

// Stack slot of each parameter: script arguments from `first` on, skipping VM parameters.
template <class... A>
constexpr std::array<SQInteger, sizeof...(A) + 1> argSlots(SQInteger first) {
    std::array<SQInteger, sizeof...(A) + 1> slots{};
    constexpr bool vm[] = {isVmParam<A>..., false};
    SQInteger next = first;
    for (std::size_t i = 0; i < sizeof...(A); ++i) {
        slots[i] = next;
        if (!vm[i]) ++next;
    }
    return slots;
}

template <class A>
struct ArgHold {
    using Type = typename Conv<std::remove_cvref_t<A>>::Hold;
};

template <class A>
decltype(auto) passArg(HSQUIRRELVM v, typename ArgHold<A>::Type& h) {
    if constexpr (isVmParam<A>) {
        return v;
    } else {
        return Conv<std::remove_cvref_t<A>>::pass(h);
    }
}

template <>
struct Conv<HSQUIRRELVM> {
    using Hold = HSQUIRRELVM;
    static bool get(HSQUIRRELVM v, SQInteger, Hold& out) {
        out = v;
        return true;
    }
    static HSQUIRRELVM pass(Hold& h) { return h; }
};

// Reads every argument of Types<A...> starting at stack slot `first`, then calls invoke
// with the converted values and pushes its result. Returns what a native function returns.
template <class R, class... A, class Invoke, std::size_t... I>
SQInteger callWith(HSQUIRRELVM v, SQInteger first, Types<A...>, std::index_sequence<I...>, Invoke&& invoke) {
    [[maybe_unused]] static constexpr auto slots = argSlots<A...>(0);
    (void)first;
    std::tuple<typename ArgHold<A>::Type...> held{};
    if (!(Conv<std::remove_cvref_t<A>>::get(v, first + slots[I], std::get<I>(held)) && ...)) return SQ_ERROR;
    try {
        if constexpr (std::is_void_v<R>) {
            invoke(passArg<A>(v, std::get<I>(held))...);
            return 0;
        } else {
            Conv<std::remove_cvref_t<R>>::push(v, invoke(passArg<A>(v, std::get<I>(held))...));
            return 1;
        }
    } catch (const ScriptError& e) {
        return raise(v, e.text);
    } catch (const std::bad_alloc&) {
        return raise(v, u"out of memory");
    }
}

// The callable stored in a native closure's free variable (a userdata block).
template <class F>
F& storedCallable(HSQUIRRELVM v) {
    SQUserPointer p = nullptr;
    sq_getuserdata(v, sq_gettop(v), &p, nullptr);
    return *static_cast<F*>(p);
}

// Pushes a userdata holding a copy of f, destroyed with the userdata.
template <class F>
void pushCallable(HSQUIRRELVM v, const F& f) {
    void* block = sq_newuserdata(v, sizeof(F));
    new (block) F(f);
    if constexpr (!std::is_trivially_destructible_v<F>) {
        sq_setreleasehook(v, -1, [](SQUserPointer p, SQInteger) -> SQInteger {
            static_cast<F*>(p)->~F();
            return 1;
        });
    }
}

// Native body of a table function: every parameter is a script argument (from slot 2).
template <class F>
SQInteger callFunction(HSQUIRRELVM v) {
    using Traits = CallableTraits<F>;
    using Args = typename Traits::Args;
    F& f = storedCallable<F>(v);
    return [&]<class... A>(Types<A...> args) {
        return callWith<typename Traits::Ret>(v, 2, args, std::index_sequence_for<A...>{},
                                              [&](auto&&... a) -> decltype(auto) { return f(std::forward<decltype(a)>(a)...); });
    }(Args{});
}

SQInteger raiseNotSelf(HSQUIRRELVM v, const std::u16string& className);

// Native body of a raw callable: the free variable is taken off the stack first, so the
// callable sees the stack a plain native function sees.
template <class F>
SQInteger callRaw(HSQUIRRELVM v) {
    F* f = &storedCallable<F>(v);  // the closure keeps the block alive during the call
    sq_poptop(v);
    return (*f)(v);
}

// Whether a callable bound as a method takes its wrapper by pointer (first parameter T*).
template <class S, class... A>
constexpr bool firstIsPointer(Types<S, A...>) {
    return std::is_pointer_v<std::remove_cvref_t<S>>;
}
constexpr bool firstIsPointer(Types<>) { return false; }
template <class F, class = void>
struct TakesSelfPointer : std::false_type {};
template <class F>
struct TakesSelfPointer<F, std::enable_if_t<!CallableTraits<F>::isMember>>
    : std::bool_constant<firstIsPointer(typename CallableTraits<F>::Args{})> {};

// Native body of a method of T: `this` must be a constructed T. F is a member function of T
// (or of a base of T), or a callable whose first parameter is T& (or a base of T). A callable
// whose first parameter is T* is also called for an instance of T's class that has no native
// object, with nullptr, so that it can answer its empty result instead of an error.
template <class T, class F>
SQInteger callMethod(HSQUIRRELVM v) {
    using Traits = CallableTraits<F>;
    T* object = self<T>(v);
    if constexpr (TakesSelfPointer<F>::value) {
        SQUserPointer up = nullptr;
        if (!object && SQ_FAILED(sq_getinstanceup(v, 1, &up, tagOf<T>()))) return raiseNotSelf(v, boundName<T>());
    } else {
        if (!object) return raiseNotSelf(v, boundName<T>());
    }
    F& f = storedCallable<F>(v);
    if constexpr (Traits::isMember) {
        return [&]<class... A>(Types<A...> args) {
            return callWith<typename Traits::Ret>(v, 2, args, std::index_sequence_for<A...>{},
                                                  [&](auto&&... a) -> decltype(auto) { return (object->*f)(std::forward<decltype(a)>(a)...); });
        }(typename Traits::Args{});
    } else {
        return [&]<class S, class... A>(Types<S, A...>) {
            return callWith<typename Traits::Ret>(v, 2, Types<A...>{}, std::index_sequence_for<A...>{},
                                                  [&](auto&&... a) -> decltype(auto) {
                                                      if constexpr (TakesSelfPointer<F>::value) {
                                                          return f(object, std::forward<decltype(a)>(a)...);
                                                      } else {
                                                          return f(*object, std::forward<decltype(a)>(a)...);
                                                      }
                                                  });
        }(typename Traits::Args{});
    }
}

template <class F>
constexpr SQInteger functionArity() {
    return scriptArity(typename CallableTraits<F>::Args{});
}

template <class F>
constexpr SQInteger methodArity() {
    using Traits = CallableTraits<F>;
    if constexpr (Traits::isMember) {
        return scriptArity(typename Traits::Args{});
    } else {
        return []<class S, class... A>(Types<S, A...>) { return scriptArity(Types<A...>{}); }(typename Traits::Args{});
    }
}

// ---------------------------------------------------------------------------------------------
// Registration

// Something whose slots are filled one by one: a table or a class held by reference.
class Slots {
public:
    Slots(HSQUIRRELVM v, HSQOBJECT object);
    Slots(const Slots&) = delete;
    Slots& operator=(const Slots&) = delete;
    Slots(Slots&& other) noexcept;
    ~Slots();

    HSQUIRRELVM vm() const { return vm_; }
    const HSQOBJECT& object() const { return obj_; }
    // False once any registration step failed.
    bool ok() const { return ok_; }

    // Stores the value on top of the stack (popped) under name.
    void setTop(std::u16string_view name);
    // Stores a native closure of fn with nfree free variables taken from the top of the stack;
    // nparams (with `this`) is checked by the VM when >= 0... see the SQ convention.
    void setNative(std::u16string_view name, SQFUNCTION fn, SQInteger nfree, SQInteger nparams,
                   const SQChar* typemask = nullptr);
    // An overload variant under its "__sqrat_ol_ NAME_N" key, plus the dispatcher under name.
    void setOverload(std::u16string_view name, SQInteger arity, SQFUNCTION fn);

protected:
    void fail() { ok_ = false; }
    HSQUIRRELVM vm_;
    HSQOBJECT obj_;
    bool ok_ = true;
};

// The key of an overload variant: "__sqrat_ol_ " + name + "_" + arity.
std::u16string overloadKey(std::u16string_view name, SQInteger arity);

class ClassBase;

// A library table (or a sub-table) being filled.
class Table : public Slots {
public:
    // A new, empty table.
    explicit Table(HSQUIRRELVM v);
    // The root table, to register global functions in it.
    static Table root(HSQUIRRELVM v);

    // A native function; the VM checks the argument count.
    template <class F>
    Table& func(std::u16string_view name, F f) {
        pushCallable(vm_, f);
        setNative(name, &callFunction<F>, 1, functionArity<F>() + 1);
        return *this;
    }
    // One variant of a function with several argument counts.
    template <class F>
    Table& overload(std::u16string_view name, F f) {
        pushCallable(vm_, f);
        setOverload(name, functionArity<F>(), &callFunction<F>);
        return *this;
    }
    // A function that reads the VM itself. nparams counts `this`; a mask ("s", "sb") is
    // checked first when given, raising "wrong number of parameters" when no mask matches.
    Table& raw(std::u16string_view name, SQFUNCTION fn, SQInteger nparams = 0);
    // The same with a callable that keeps state: f(vm) sees `this` at slot 1 and the
    // arguments after it, and returns what a native function returns.
    template <class F>
        requires std::is_class_v<F>
    Table& raw(std::u16string_view name, F f) {
        pushCallable(vm_, f);
        setNative(name, &callRaw<F>, 1, 0);
        return *this;
    }
    // Plain values.
    Table& value(std::u16string_view name, SQInteger n);
    Table& value(std::u16string_view name, std::u16string_view text);
    // An enumeration: a table of integer slots.
    Table& enumeration(std::u16string_view name, std::initializer_list<std::pair<std::u16string_view, SQInteger>> values);
    // A finished class or sub-table, stored under its name.
    Table& add(ClassBase& cls);
    Table& add(std::u16string_view name, Table&& sub);
    // Stores the table in the root table under name; false when any step failed.
    bool store(std::u16string_view name);
    // Stores every slot of this table in the root table instead (the global functions).
    bool storeGlobals();

private:
    Table(HSQUIRRELVM v, HSQOBJECT existing) : Slots(v, existing) {}
};

// The part of class registration that does not depend on the wrapper type.
class ClassBase : public Slots {
public:
    ClassBase(HSQUIRRELVM v, std::u16string_view name, ClassTag* tag);
    const std::u16string& name() const { return name_; }
    // Builds the constructor from the variants given so far and returns the class's slots;
    // called once by Table::add.
    void finish();

    // One way to construct: a mask (empty = no check) and a maker that reads the arguments
    // and returns the new wrapper (null: the engine object could not be created). The maker
    // clears `fits` when the arguments match the mask but not what it needs (NoMatch).
    struct Variant {
        bool checked = false;
        std::string mask;
        std::function<Bound*(HSQUIRRELVM, bool& argError, bool& fits)> make;
    };
protected:
    void addProperty(std::u16string_view name, bool getter);  // closure on top of the stack
    std::u16string name_;
    ClassTag* tag_;
    std::vector<Variant> variants_;
    bool finished_ = false;
};

// What a constructor factory returns when the arguments match its mask only on the surface
// (an array that is too short, an element that is not a number): the constructor goes on with
// the next mask, and raises "wrong number of parameters" when none is left.
struct NoMatch {};

// A constructor factory's result: the new wrapper, null (the engine object could not be
// created: "failed create instance") or NoMatch.
template <class T>
struct Made {
    Made(T* p) : made(p) {}  // NOLINT: implicit, so factories return their wrapper as it is
    Made(std::unique_ptr<T> p) : made(p.release()) {}  // NOLINT
    Made(NoMatch) : fits(false) {}  // NOLINT
    T* made = nullptr;
    bool fits = true;
};

template <class>
inline constexpr bool isMade = false;
template <class T>
inline constexpr bool isMade<Made<T>> = true;

// The first N elements of an array value as numbers of type T (an integer T truncates floats
// toward zero), when it is an array of at least N elements whose first N are numbers; nothing
// otherwise. Raises nothing.
bool arrayIntegers(const Value& array, SQInteger count, SQInteger* out);
bool arrayFloats(const Value& array, SQInteger count, SQFloat* out);
template <class T, std::size_t N>
std::optional<std::array<T, N>> numbersOf(const Value& array) {
    using Read = std::conditional_t<std::is_integral_v<T>, SQInteger, SQFloat>;
    std::array<Read, N> read{};
    bool ok = false;
    if constexpr (std::is_integral_v<T>) {
        ok = arrayIntegers(array, static_cast<SQInteger>(N), read.data());
    } else {
        ok = arrayFloats(array, static_cast<SQInteger>(N), read.data());
    }
    if (!ok) return std::nullopt;
    std::array<T, N> out{};
    for (std::size_t i = 0; i < N; ++i) out[i] = static_cast<T>(read[i]);
    return out;
}

// Element i of an array value (null when it has none).
Value elementOf(const Value& array, SQInteger i);

template <class T>
class Class : public ClassBase {
public:
    Class(HSQUIRRELVM v, std::u16string_view name) : ClassBase(v, name, tagOf<T>()) {}

    // The default constructor: a new T() whatever the arguments.
    Class& ctor() {
        static_assert(std::is_default_constructible_v<T>);
        variants_.push_back({false, {}, [](HSQUIRRELVM, bool&, bool&) -> Bound* { return new T(); }});
        return *this;
    }
    // A constructor tried when the arguments match mask (in the order added): factory
    // converts them like any native function and returns the wrapper, or null when the
    // engine object could not be created ("failed create instance"), or (as Made<T>) NoMatch.
    template <class F>
    Class& ctor(std::string_view mask, F factory) {
        variants_.push_back({true, std::string(mask), [factory](HSQUIRRELVM v, bool& argError, bool& fits) -> Bound* {
                                 Bound* made = nullptr;
                                 using Args = typename CallableTraits<F>::Args;
                                 SQInteger r = [&]<class... A>(Types<A...> args) {
                                     return callWith<void>(v, 2, args, std::index_sequence_for<A...>{}, [&](auto&&... a) {
                                         auto result = factory(std::forward<decltype(a)>(a)...);
                                         if constexpr (std::is_pointer_v<decltype(result)>) {
                                             made = result;
                                         } else if constexpr (isMade<decltype(result)>) {
                                             made = result.made;
                                             fits = result.fits;
                                         } else {
                                             made = result.release();
                                         }
                                     });
                                 }(Args{});
                                 argError = SQ_FAILED(r);
                                 return made;
                             }});
        return *this;
    }
    // A method; F is a member function of T or a callable taking T& first.
    template <class F>
    Class& method(std::u16string_view name, F f) {
        pushCallable(vm_, f);
        setNative(name, &callMethod<T, F>, 1, methodArity<F>() + 1);
        return *this;
    }
    // One variant of a method with several argument counts.
    template <class F>
    Class& overload(std::u16string_view name, F f) {
        pushCallable(vm_, f);
        setOverload(name, methodArity<F>(), &callMethod<T, F>);
        return *this;
    }
    // A property read and written with member syntax: the getter takes no argument, the
    // setter one (its result is dropped).
    template <class G, class S>
    Class& prop(std::u16string_view name, G getter, S setter) {
        pushCallable(vm_, getter);
        sq_newclosure(vm_, &callMethod<T, G>, 1);
        addProperty(name, true);
        pushCallable(vm_, setter);
        sq_newclosure(vm_, &callMethod<T, S>, 1);
        addProperty(name, false);
        return *this;
    }
    template <class G>
    Class& prop(std::u16string_view name, G getter) {
        pushCallable(vm_, getter);
        sq_newclosure(vm_, &callMethod<T, G>, 1);
        addProperty(name, true);
        return *this;
    }
    // A method that reads the VM itself (`this` at slot 1); nparams counts `this`, 0 = any.
    Class& raw(std::u16string_view name, SQFUNCTION fn, SQInteger nparams = 0) {
        setNative(name, fn, 0, nparams);
        return *this;
    }
    // A method that reads the VM itself and is handed its wrapper: f(vm, self) sees `this` at
    // slot 1 and the script arguments after it, and returns what a native function returns.
    // The arguments must match one of masks ("" for none), else "wrong number of parameters"
    // is raised before f runs; an empty list checks nothing.
    template <class F>
    Class& raw(std::u16string_view name, std::initializer_list<std::string_view> masks, F f) {
        auto body = [f, masks = std::vector<std::string>(masks.begin(), masks.end())](HSQUIRRELVM v) -> SQInteger {
            T* object = self<T>(v);
            if (!object) return raiseNotSelf(v, boundName<T>());
            const SQInteger nargs = sq_gettop(v) - 1;
            bool matched = masks.empty();
            for (const std::string& mask : masks) matched = matched || matchMask(v, nargs, mask);
            if (!matched) return raise(v, u"wrong number of parameters");
            return f(v, *object);
        };
        pushCallable(vm_, body);
        setNative(name, &callRaw<decltype(body)>, 1, 0);
        return *this;
    }
};

}  // namespace Quillorane::Bind
