// The binding layer seen from scripts: conversions, classes, constructors, overloads,
// properties, enumerations and the lifetime of wrappers. Each case runs a script against
// classes registered here and compares everything it printed.
#include "CapturedPrint.h"
#include "script/Binding.h"
#include "script/ScriptText.h"

#include <sqstdaux.h>
#include <sqstdblob.h>
#include <sqstdutf.h>

#include <gtest/gtest.h>

#include <cstdarg>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Quillorane {
namespace {

using TestSupport::capture;
using TestSupport::printed;

int alive = 0;  // wrappers of the test classes that exist

struct ScBox : Bound {
    ScBox() : value(0) { ++alive; }
    explicit ScBox(int v) : value(v) { ++alive; }
    ~ScBox() override { --alive; }
    int value;
    int get() const { return value; }
    void set(int v) { value = v; }
    int add(int a, int b) const { return value + a + b; }
    float scale(float f) const { return static_cast<float>(value) * f; }
    bool isOne(bool flag) const { return flag; }
    std::u16string text(const std::u16string& s) const { return s + u"!"; }
    int pick1(int a) const { return a; }
    int pick2(int a, int b) const { return a * 10 + b; }
};

// An interface other wrappers are passed as.
struct SuShape : Bound {
    virtual int area() const = 0;
};
struct ScSquare : SuShape {
    explicit ScSquare(int s) : side(s) { ++alive; }
    ~ScSquare() override { --alive; }
    int area() const override { return side * side; }
    int side;
};

// What an argument read in place holds: null, an integer's value, or "other".
std::u16string argText(const Bind::Arg& a) {
    if (a.isNull()) return u"null";
    if (a.type() != OT_INTEGER) return u"other";
    SQInteger n = 0;
    sq_getinteger(a.vm, a.idx, &n);
    return n == 7 ? u"7" : n == 5 ? u"5" : u"?";
}

class BindingTest : public ::testing::Test {
protected:
    void SetUp() override {
        printed.clear();
        alive = 0;
        v = sq_open(1024);
        sqstd_seterrorhandlers(v);
        sq_setprintfunc(v, &capture, &capture);
        sq_pushroottable(v);
        sqstd_register_bloblib(v);  // instances of a class that is not bound, with their own pointer
        sq_pop(v, 1);
        register_();
    }
    void TearDown() override {
        Bind::releaseClasses(v);
        sq_close(v);
        EXPECT_EQ(alive, 0) << "a wrapper outlived the VM";
    }

    void register_() {
        Bind::Table t(v);
        t.add(Bind::Class<ScBox>(v, u"Box")
                  .ctor("", [] { return new ScBox(); })
                  .ctor("i", [](int n) { return n < 0 ? nullptr : new ScBox(n); })
                  .ctor("a", [](Bind::Value a) { return new ScBox(static_cast<int>(a.size())); })
                  .method(u"get", &ScBox::get)
                  .method(u"set", &ScBox::set)
                  .method(u"add", &ScBox::add)
                  .method(u"scale", &ScBox::scale)
                  .method(u"isOne", &ScBox::isOne)
                  .method(u"text", &ScBox::text)
                  .method(u"twice", [](ScBox& b) { return std::make_unique<ScBox>(b.value * 2); })
                  .overload(u"pick", &ScBox::pick1)
                  .overload(u"pick", &ScBox::pick2)
                  .raw(u"plus", {"", "i"}, [](HSQUIRRELVM vm, ScBox& b) -> SQInteger {
                      SQInteger n = 10;
                      if (sq_gettop(vm) >= 2) Bind::readInteger(vm, 2, n);
                      sq_pushinteger(vm, b.value + n);
                      return 1;
                  })
                  .method(u"split", [](ScBox& b) {
                      std::vector<std::unique_ptr<ScBox>> parts;
                      for (int i = 0; i < b.value; ++i) parts.push_back(std::make_unique<ScBox>(i));
                      return parts;
                  })
                  .prop(u"v", &ScBox::get, &ScBox::set)
                  .prop(u"doubled", [](ScBox& b) { return b.value * 2; }));
        t.add(Bind::Class<ScSquare>(v, u"Square").ctor("i", [](int s) { return new ScSquare(s); }));
        t.func(u"area", [](const SuShape& s) { return s.area(); })
            .func(u"areaOrNull", [](SuShape* s) { return s ? s->area() : -1; })
            .func(u"boxValue", [](ScBox& b) { return b.value; })
            .func(u"list", [](int n) { return std::vector<int>(static_cast<std::size_t>(n), 7); })
            .func(u"maybe", [](int n) { return n ? std::optional<std::u16string>(u"yes") : std::nullopt; })
            .func(u"truth", [](Bind::Truth truth) { return static_cast<bool>(truth); })
            .func(u"nothing", [] {})
            .func(u"total", [](const std::vector<int>& xs) { int sum = 0; for (int x : xs) sum += x; return sum; })
            .raw(u"makeBox", [](HSQUIRRELVM vm) -> SQInteger {
                // a raw function creating its result through the class a script sees
                sq_pushinteger(vm, 6);
                if (!Bind::constructByName(vm, {u"T", u"Box"}, 1)) return SQ_ERROR;
                Bind::wrapperAt<ScBox>(vm, -1)->value += 1;
                return 1;
            })
            .overload(u"opt", [](Bind::Arg a) { return argText(a) + u"," + argText(Bind::Arg{}); })
            .overload(u"opt", [](Bind::Arg a, Bind::Arg b) { return argText(a) + u"," + argText(b); })
            .overload(u"sum", [](int a) { return a; })
            .overload(u"sum", [](int a, int b) { return a + b; })
            .enumeration(u"Mode", {{u"ONE", 1}, {u"TWO", 2}});
        ASSERT_TRUE(t.store(u"T"));
    }

    // Runs the script and returns what it printed, one line per print call ending in \n.
    std::string run(std::u16string_view script) {
        const SQInteger top = sq_gettop(v);
        const std::u16string wrapped = u"function show(x) { print(typeof x + \" \" + x + \"\\n\"); }\n"
                                       u"function err(f) { try { f(); } catch (e) { print(\"error: \" + e + \"\\n\"); return; } print(\"no error\\n\"); }\n" +
                                       std::u16string(script);
        EXPECT_TRUE(compileText(v, wrapped, u"test")) << sqstd::toUtf8(printed);
        EXPECT_TRUE(callWithRoot(v, false)) << sqstd::toUtf8(printed);
        sq_settop(v, top);
        return sqstd::toUtf8(printed);
    }

    HSQUIRRELVM v = nullptr;
};

TEST_F(BindingTest, NumbersStringsAndFlagsConvertByParameterType) {
    EXPECT_EQ(run(uR"(
        local b = T.Box(1);
        show(b.add(2.9, -2.9));      // floats truncate toward zero
        show(b.add(true, false));    // bools are 1 and 0
        show(b.scale(3));            // an integer where a float is expected
        show(b.isOne(1)); show(b.isOne(2)); show(b.isOne(true)); show(b.isOne(1.5));
        show(b.text(42)); show(b.text(1.5)); show(b.text(null));
        err(function() { b.add("x", 1); });
        err(function() { b.add(1, null); });
        err(function() { b.add(1, {}); });
        err(function() { b.scale([]); });
        err(function() { b.add(1); });
        err(function() { b.add(1, 2, 3); });
    )"),
              "integer 1\n"
              "integer 2\n"
              "float 3\n"
              "integer 1\ninteger 0\ninteger 1\ninteger 1\n"
              "string 42!\nstring 1.5!\nstring null!\n"
              "error: parameter 1 has an invalid type 'string' ; expected: 'integer'\n"
              "error: parameter 2 has an invalid type 'null' ; expected: 'integer'\n"
              "error: parameter 2 has an invalid type 'table' ; expected: 'integer'\n"
              "error: parameter 1 has an invalid type 'array' ; expected: 'float'\n"
              "error: wrong number of parameters\n"
              "error: wrong number of parameters\n");
}

TEST_F(BindingTest, ResultsConvertByReturnType) {
    EXPECT_EQ(run(uR"(
        show(T.list(2).len()); show(T.list(2)[1]);
        show(T.maybe(1)); show(T.maybe(0));
        show(T.truth(null)); show(T.truth(0)); show(T.truth(0.0)); show(T.truth("")); show(T.truth([]));
        show(T.nothing());
        show(T.total([1, 2.9, true])); show(T.total([]));
        err(function() { T.total([1, "x"]); });
        err(function() { T.total(3); });
        local t = T.Box(21).twice();
        show(t.get()); show(t instanceof T.Box);
        show(T.Mode.TWO); T.Mode.TWO = 9; show(T.Mode.TWO);
        show(T.makeBox().get());
        T.Box = class extends T.Box { function get() { return "replaced " + base.get(); } };
        show(T.makeBox().get());
        T.Box = null;
        err(function() { T.makeBox(); });
    )"),
              "integer 2\ninteger 7\n"
              "string yes\nnull null\n"
              "integer 0\ninteger 0\ninteger 0\ninteger 1\ninteger 1\n"
              "null null\n"
              "integer 4\ninteger 0\n"
              "error: parameter 1 has an invalid element at index 1\n"
              "error: parameter 1 has an invalid type 'integer' ; expected: 'array'\n"
              "integer 42\nbool true\n"
              "integer 2\ninteger 9\n"
              "integer 7\n"
              "string replaced 7\n"
              "error: attempt to call 'null'\n");
}

TEST_F(BindingTest, ConstructorsTryTheirMasksInOrder) {
    EXPECT_EQ(run(uR"(
        show(T.Box().get()); show(T.Box(5).get()); show(T.Box(5.7).get()); show(T.Box([1, 2, 3]).get());
        err(function() { T.Box("5"); });
        err(function() { T.Box(1, 2); });
        err(function() { T.Box(-1); });
        err(function() { T.Square(); });
    )"),
              "integer 0\ninteger 5\ninteger 5\ninteger 3\n"
              "error: wrong number of parameters\n"
              "error: wrong number of parameters\n"
              "error: failed create instance\n"
              "error: wrong number of parameters\n");
}

TEST_F(BindingTest, OverloadsDispatchOnArgumentCount) {
    EXPECT_EQ(run(uR"(
        local b = T.Box(0);
        show(b.pick(4)); show(b.pick(4, 2));
        err(function() { b.pick(); });
        err(function() { b.pick(1, 2, 3); });
        show(T.sum(1)); show(T.sum(1, 2));
        local copy = T.sum;
        err(function() { copy(1); });
        show("__sqrat_ol_ pick_1" in T.Box); show("__sqrat_ol_ sum_2" in T); show("__sqrat_ol_ pick_3" in T.Box);
    )"),
              "integer 4\ninteger 42\n"
              "error: No overload matching this argument list found\n"
              "error: No overload matching this argument list found\n"
              "integer 1\ninteger 3\n"
              "error: No overload matching this argument list found\n"
              "bool true\nbool true\nbool false\n");
}

TEST_F(BindingTest, ArgumentsReadInPlace) {
    // An absent argument of a shorter overload reads as null; others are seen where they are.
    EXPECT_EQ(run(uR"(
        show(T.opt(5)); show(T.opt(null)); show(T.opt(5, 7)); show(T.opt("x", null)); show(T.opt([], 7));
    )"),
              "string 5,null\nstring null,null\nstring 5,7\nstring other,null\nstring other,7\n");
}

TEST_F(BindingTest, PropertiesAndMembers) {
    EXPECT_EQ(run(uR"(
        local b = T.Box(3);
        show(b.v); b.v = 8; show(b.get()); show(b.doubled);
        err(function() { b.doubled = 1; });
        err(function() { return b.zz; });
        err(function() { b.zz = 1; });
        show(typeof b.weakref()); show(b.weakref().ref() == b);
        show("__getTable" in T.Box); show("weakref" in T.Box);
    )"),
              "integer 3\ninteger 8\ninteger 16\n"
              "error: the index 'doubled' does not exist\n"
              "error: the index 'zz' does not exist\n"
              "error: the index 'zz' does not exist\n"
              "string weakref\nbool true\n"
              "bool true\nbool true\n");
}

TEST_F(BindingTest, InstancesPassAsTheirClassOrInterface) {
    EXPECT_EQ(run(uR"(
        show(T.area(T.Square(3))); show(T.areaOrNull(null)); show(T.boxValue(T.Box(4)));
        err(function() { T.area(T.Box(1)); });
        err(function() { T.boxValue(T.Square(1)); });
        err(function() { T.boxValue(blob(4)); });
        err(function() { T.Box.get(); });
        local f = T.Box(1).get;
        err(function() { f(); });
    )"),
              "integer 9\ninteger -1\ninteger 4\n"
              "error: parameter 1 has an invalid type 'instance' ; expected: 'instance'\n"
              "error: parameter 1 has an invalid type 'instance' ; expected: 'Box'\n"
              "error: parameter 1 has an invalid type 'blob' ; expected: 'Box'\n"
              "error: parameter 0 has an invalid type 'class' ; expected: 'Box'\n"
              "error: parameter 0 has an invalid type 'table' ; expected: 'Box'\n");
}

TEST_F(BindingTest, ScriptClassesExtendBoundClasses) {
    EXPECT_EQ(run(uR"(
        class Big extends T.Box {
            constructor(n) { base.constructor(n * 100); }
            function get() { return "big " + base.get(); }
        }
        local b = Big(2);
        show(b.get()); show(b.add(1, 1)); show(b.v); show(T.boxValue(b));
        class Lazy extends T.Box { constructor() {} }
        err(function() { Lazy().add(1, 2); });
        err(function() { T.boxValue(Lazy()); });
    )"),
              "string big 200\ninteger 202\ninteger 200\ninteger 200\n"
              "error: the Box instance has no native object (base.constructor was not called)\n"
              "error: parameter 1 has an invalid type 'instance' ; expected: 'Box'\n");
}

TEST_F(BindingTest, WrappersDieWithTheirInstances) {
    run(uR"(
        local keep = T.Box(1);
        for (local i = 0; i < 100; i++) { local b = T.Box(i); b.twice(); }
        local c = T.Box(2);
        c.constructor(3);     // a second construction replaces the wrapper
        ::kept <- [keep, c];
    )");
    EXPECT_EQ(alive, 2);
    run(u"::kept = null;");
    EXPECT_EQ(alive, 0);
}

// A callee may raise a script error with its own text by throwing Bind::ScriptError, from a
// constructor's factory as well as from a method or function.
TEST_F(BindingTest, CalleesRaiseTheirOwnErrors) {
    Bind::Table t(v);
    t.add(Bind::Class<ScBox>(v, u"Checked").ctor("i", [](int n) {
        if (n > 9) throw Bind::ScriptError{u"too big: " + std::u16string(1, static_cast<char16_t>(u'0' + n % 10))};
        return new ScBox(n);
    }));
    t.func(u"fail", [](int n) -> int {
        if (n) throw Bind::ScriptError{u"failed on purpose"};
        return 7;
    });
    ASSERT_TRUE(t.store(u"E"));
    EXPECT_EQ(run(uR"(
        err(function() { E.Checked(12); });
        show(E.Checked(3) instanceof E.Checked);
        err(function() { E.fail(1); });
        show(E.fail(0));
    )"),
              "error: too big: 2\n"
              "bool true\n"
              "error: failed on purpose\n"
              "integer 7\n");
}

TEST_F(BindingTest, RawMethodsCheckTheirMasks) {
    EXPECT_EQ(run(uR"(
        local b = T.Box(3);
        show(b.plus()); show(b.plus(4)); show(b.plus(2.5));
        err(function() { b.plus("x"); });
        err(function() { b.plus(1, 2); });
        err(function() { T.Box.plus.call({}, 1); });
    )"),
              "integer 13\ninteger 7\ninteger 5\n"
              "error: wrong number of parameters\n"
              "error: wrong number of parameters\n"
              "error: parameter 0 has an invalid type 'table' ; expected: 'Box'\n");
}

TEST_F(BindingTest, ReturnedVectorsOfNewWrappersBecomeArraysOfInstances) {
    EXPECT_EQ(run(uR"(
        local parts = T.Box(3).split();
        show(parts.len()); show(parts[2].get()); show(parts[0] instanceof T.Box); show(T.Box(0).split().len());
    )"),
              "integer 3\ninteger 2\nbool true\ninteger 0\n");
}

// Constructors that look inside array arguments (NoMatch), methods that answer for an instance
// without a native object (T* first), and wrapper pointers that take such an instance as null.
struct ScPair : Bound {
    ScPair(int a, int b) : x(a), y(b) {}
    int x, y;
};

TEST_F(BindingTest, ArrayMasksEmptyInstancesAndPointerSelf) {
    Bind::Table t(v);
    t.add(Bind::Class<ScPair>(v, u"Pair")
              .ctor("a", [](const Bind::Value& a) -> Bind::Made<ScPair> {
                  const auto xy = Bind::numbersOf<int, 2>(a);
                  if (!xy) return Bind::NoMatch{};
                  return (*xy)[0] < 0 ? nullptr : new ScPair((*xy)[0], (*xy)[1]);
              })
              .ctor("a", [](const Bind::Value& a) -> Bind::Made<ScPair> {  // tried after the first
                  return a.size() == 0 ? new ScPair(-1, -1) : Bind::Made<ScPair>(Bind::NoMatch{});
              })
              .method(u"sum", [](ScPair* p) -> std::optional<int> {
                  if (!p) return std::nullopt;
                  return p->x + p->y;
              })
              .method(u"first", [](ScPair& p) { return p.x; }));
    t.func(u"isNull", [](ScPair* p) { return p == nullptr; });
    ASSERT_TRUE(t.store(u"P"));
    EXPECT_EQ(run(uR"(
        show(P.Pair([2.9, 3]).sum()); show(P.Pair([1, 2, 99]).sum()); show(P.Pair([]).sum());
        err(function() { P.Pair([1]); });
        err(function() { P.Pair([1, "2"]); });
        err(function() { P.Pair(["1", 2]); });
        err(function() { P.Pair([-1, 0]); });
        local empty = P.Pair.instance();
        show(empty.sum());
        err(function() { empty.first(); });
        err(function() { P.Pair.sum.call(T.Box(1)); });
        show(P.isNull(empty)); show(P.isNull(null)); show(P.isNull(P.Pair([0, 0])));
        err(function() { P.isNull(T.Box(1)); });
    )"),
              "integer 5\ninteger 3\ninteger -2\n"
              "error: wrong number of parameters\n"
              "error: wrong number of parameters\n"
              "error: wrong number of parameters\n"
              "error: failed create instance\n"
              "null null\n"
              "error: the Pair instance has no native object (base.constructor was not called)\n"
              "error: parameter 0 has an invalid type 'instance' ; expected: 'Pair'\n"
              "integer 1\ninteger 1\ninteger 0\n"
              "error: parameter 1 has an invalid type 'instance' ; expected: 'Pair'\n");
}

}  // namespace
}  // namespace Quillorane
