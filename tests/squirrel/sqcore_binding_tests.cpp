// The parts of the C API a binding layer builds on: stack discipline,
// tables/arrays/classes from C, instances with user data, handles, closures
// with free variables, iteration and comparisons.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

#include "squirrel.h"

namespace {

std::u16string g_out;

void Print(HSQUIRRELVM, const SQChar* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  if (fmt[0] == u'%' && fmt[1] == u's') g_out += va_arg(ap, const SQChar*);
  va_end(ap);
}

class Binding : public ::testing::Test {
 protected:
  void SetUp() override {
    v = sq_open(1024);
    sq_setprintfunc(v, Print, Print);
    g_out.clear();
  }
  void TearDown() override { sq_close(v); }
  SQRESULT Run(const std::u16string& src) {
    if (SQ_FAILED(sq_compilebuffer(v, src.c_str(), SQInteger(src.size()), u"t", SQFalse))) return SQ_ERROR;
    sq_pushroottable(v);
    SQRESULT r = sq_call(v, 1, SQFalse, SQFalse);
    sq_pop(v, 1);
    return r;
  }
  std::u16string Str(SQInteger idx) {
    const SQChar* s = nullptr;
    if (SQ_FAILED(sq_getstring(v, idx, &s))) return u"<not a string>";
    return s;
  }
  SQInteger Int(SQInteger idx) {
    SQInteger i = -999;
    sq_getinteger(v, idx, &i);
    return i;
  }
  void SetGlobal(const SQChar* name) {  // pops the value
    sq_pushroottable(v);
    sq_pushstring(v, name, -1);
    sq_push(v, -3);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 2);
  }
  HSQUIRRELVM v = nullptr;
};

TEST_F(Binding, StackIndexingPushPopRemoveSettop) {
  sq_pushinteger(v, 1);
  sq_pushstring(v, u"two", -1);
  sq_pushfloat(v, 3.5f);
  sq_pushbool(v, SQTrue);
  sq_pushnull(v);
  EXPECT_EQ(sq_gettop(v), 5);
  EXPECT_EQ(sq_gettype(v, 1), OT_INTEGER);
  EXPECT_EQ(sq_gettype(v, -4), OT_STRING);
  EXPECT_EQ(sq_gettype(v, -1), OT_NULL);
  sq_remove(v, 2);
  EXPECT_EQ(sq_gettype(v, 2), OT_FLOAT);
  sq_push(v, 1);
  EXPECT_EQ(Int(-1), 1);
  sq_settop(v, 2);
  EXPECT_EQ(sq_gettop(v), 2);
  sq_settop(v, 4);
  EXPECT_EQ(sq_gettype(v, 4), OT_NULL);
  sq_poptop(v);
  sq_pop(v, 3);
  EXPECT_EQ(sq_gettop(v), 0);
  SQFloat f;
  EXPECT_TRUE(SQ_FAILED(sq_getfloat(v, 1, &f)));  // nothing there
}

TEST_F(Binding, StringsWithLengthAndEmbeddedZero) {
  const SQChar text[] = u"ab\0cd";
  sq_pushstring(v, text, 5);
  EXPECT_EQ(sq_getsize(v, -1), 5);
  sq_pushstring(v, u"abcdef", 3);
  EXPECT_EQ(Str(-1), u"abc");
  // interned: equal strings compare equal as objects
  sq_pushstring(v, u"abc", -1);
  EXPECT_EQ(sq_cmp(v), 0);
  HSQOBJECT a, b;
  sq_getstackobj(v, -1, &a);
  sq_getstackobj(v, -2, &b);
  EXPECT_EQ(a._unVal.pString, b._unVal.pString);
  sq_pop(v, 3);
}

TEST_F(Binding, TablesFromC) {
  sq_newtable(v);
  sq_pushstring(v, u"x", -1);
  sq_pushinteger(v, 10);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_newslot(v, -3, SQFalse)));
  sq_pushinteger(v, 5);
  sq_pushstring(v, u"five", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_rawset(v, -3)));
  EXPECT_EQ(sq_getsize(v, -1), 2);
  sq_pushstring(v, u"x", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
  EXPECT_EQ(Int(-1), 10);
  sq_pop(v, 1);
  sq_pushstring(v, u"x", -1);
  sq_pushinteger(v, 11);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_set(v, -3)));
  sq_pushstring(v, u"missing", -1);
  sq_pushinteger(v, 1);
  EXPECT_TRUE(SQ_FAILED(sq_set(v, -3)));  // set needs an existing slot
  EXPECT_EQ(sq_gettop(v), 1);              // key and value are consumed anyway
  sq_pushinteger(v, 5);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_rawget(v, -2)));
  EXPECT_EQ(Str(-1), u"five");
  sq_pop(v, 1);
  sq_pushstring(v, u"x", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_deleteslot(v, -2, SQTrue)));
  EXPECT_EQ(Int(-1), 11);
  sq_pop(v, 1);
  sq_pushstring(v, u"x", -1);
  EXPECT_TRUE(SQ_FAILED(sq_get(v, -2)));
  EXPECT_EQ(sq_gettop(v), 1);  // the key was consumed
  sq_pushnull(v);
  sq_pushinteger(v, 1);
  EXPECT_TRUE(SQ_FAILED(sq_newslot(v, -3, SQFalse)));  // null keys are refused
  sq_settop(v, 1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_clear(v, -1)));
  EXPECT_EQ(sq_getsize(v, -1), 0);
  sq_pop(v, 1);
}

TEST_F(Binding, IterationWithNext) {
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"tbl <- { a = 1, b = 2, c = 3 }; arr <- [10, 20, 30]")));
  sq_pushroottable(v);
  sq_pushstring(v, u"tbl", -1);
  sq_get(v, -2);
  SQInteger sum = 0, n = 0;
  sq_pushnull(v);
  while (SQ_SUCCEEDED(sq_next(v, -2))) {
    sum += Int(-1);
    EXPECT_EQ(sq_gettype(v, -2), OT_STRING);
    n++;
    sq_pop(v, 2);
  }
  sq_pop(v, 2);  // iterator and table
  EXPECT_EQ(n, 3);
  EXPECT_EQ(sum, 6);
  sq_pushstring(v, u"arr", -1);
  sq_get(v, -2);
  std::vector<SQInteger> keys, vals;
  sq_pushnull(v);
  while (SQ_SUCCEEDED(sq_next(v, -2))) {
    keys.push_back(Int(-2));
    vals.push_back(Int(-1));
    sq_pop(v, 2);
  }
  sq_pop(v, 3);
  EXPECT_EQ(keys, (std::vector<SQInteger>{0, 1, 2}));
  EXPECT_EQ(vals, (std::vector<SQInteger>{10, 20, 30}));
  EXPECT_EQ(sq_gettop(v), 0);
}

TEST_F(Binding, ArraysFromC) {
  sq_newarray(v, 0);
  for (int i = 1; i <= 4; i++) {
    sq_pushinteger(v, i * 10);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_arrayappend(v, -2)));
  }
  sq_pushinteger(v, 5);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_arrayinsert(v, -2, 0)));
  ASSERT_TRUE(SQ_SUCCEEDED(sq_arrayremove(v, -1, 2)));  // removes 20
  ASSERT_TRUE(SQ_SUCCEEDED(sq_arraypop(v, -1, SQTrue)));
  EXPECT_EQ(Int(-1), 40);
  sq_pop(v, 1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_arrayreverse(v, -1)));
  ASSERT_TRUE(SQ_SUCCEEDED(sq_arrayresize(v, -1, 4)));
  EXPECT_TRUE(SQ_FAILED(sq_arrayresize(v, -1, -1)));
  EXPECT_TRUE(SQ_FAILED(sq_arrayremove(v, -1, 9)));
  sq_pushinteger(v, 0);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_rawget(v, -2)));
  EXPECT_EQ(Int(-1), 30);
  sq_pop(v, 1);
  SetGlobal(u"a");
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"print(a.len() + \":\" + a[0] + \",\" + a[1] + \",\" + a[2] + \",\" + a[3])")));
  EXPECT_EQ(g_out, u"4:30,10,5,null");
}

SQInteger g_destroyed = 0;
struct Counter {
  int value;
};
SQInteger CounterRelease(SQUserPointer p, SQInteger) {
  delete static_cast<Counter*>(p);
  g_destroyed++;
  return 1;
}
SQInteger CounterCtor(HSQUIRRELVM v) {
  SQInteger start = 0;
  sq_getinteger(v, 2, &start);
  Counter* c = new Counter{int(start)};
  sq_setinstanceup(v, 1, c);
  sq_setreleasehook(v, 1, CounterRelease);
  return 0;
}
int g_counter_tag;
SQInteger CounterInc(HSQUIRRELVM v) {
  SQUserPointer p = nullptr;
  if (SQ_FAILED(sq_getinstanceup(v, 1, &p, &g_counter_tag))) return sq_throwerror(v, u"not a Counter");
  Counter* c = static_cast<Counter*>(p);
  sq_pushinteger(v, ++c->value);
  return 1;
}

TEST_F(Binding, NativeClassWithInstanceUserPointers) {
  g_destroyed = 0;
  sq_pushroottable(v);
  sq_pushstring(v, u"Counter", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_newclass(v, SQFalse)));
  sq_settypetag(v, -1, &g_counter_tag);
  sq_pushstring(v, u"constructor", -1);
  sq_newclosure(v, CounterCtor, 0);
  sq_setparamscheck(v, 2, u"xi");
  sq_newslot(v, -3, SQFalse);
  sq_pushstring(v, u"inc", -1);
  sq_newclosure(v, CounterInc, 0);
  sq_newslot(v, -3, SQFalse);
  sq_pushstring(v, u"label", -1);
  sq_pushstring(v, u"ctr", -1);
  sq_newslot(v, -3, SQFalse);  // a field
  sq_newslot(v, -3, SQFalse);
  sq_pop(v, 1);
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"class Sub extends Counter { function twice() { inc(); return inc() } }\n"
                              u"local c = Sub(5); print(c.twice() + c.label + \" \")\n"
                              u"local d = Counter(1); d.inc(); print(d.inc() + \"\")")));
  EXPECT_EQ(g_out, u"7ctr 3");
  EXPECT_EQ(g_destroyed, 2);  // both died when the script's locals went away
  ASSERT_TRUE(SQ_FAILED(Run(u"Counter.inc.call({})")));
  sq_getlasterror(v);
  EXPECT_EQ(Str(-1), u"not a Counter");
  sq_pop(v, 1);
}

TEST_F(Binding, MemberHandlesAndAttributes) {
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"class P { x = 1; static S = \"s\"; </ doc = \"y\" /> y = 2 }\n"
                              u"p <- P()")));
  sq_pushroottable(v);
  sq_pushstring(v, u"P", -1);
  sq_get(v, -2);
  HSQMEMBERHANDLE hx, hs;
  sq_pushstring(v, u"x", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getmemberhandle(v, -2, &hx)));
  sq_pushstring(v, u"S", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getmemberhandle(v, -2, &hs)));
  sq_pushstring(v, u"nope", -1);
  HSQMEMBERHANDLE bad;
  EXPECT_TRUE(SQ_FAILED(sq_getmemberhandle(v, -2, &bad)));
  sq_settop(v, 2);
  sq_pushstring(v, u"y", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getattributes(v, -2)));
  sq_pushstring(v, u"doc", -1);
  sq_get(v, -2);
  EXPECT_EQ(Str(-1), u"y");
  sq_settop(v, 1);
  sq_pushstring(v, u"p", -1);
  sq_get(v, -2);
  sq_pushinteger(v, 42);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_setbyhandle(v, -2, &hx)));
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getbyhandle(v, -1, &hs)));
  EXPECT_EQ(Str(-1), u"s");
  sq_settop(v, 0);
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"print(p.x + \" \" + P().x)")));
  EXPECT_EQ(g_out, u"42 1");
}

SQInteger Adder(HSQUIRRELVM v) {
  // free variables follow the arguments
  SQInteger a = 0, base = 0;
  sq_getinteger(v, 2, &a);
  sq_getinteger(v, 3, &base);
  sq_pushinteger(v, a + base);
  return 1;
}

TEST_F(Binding, NativeClosuresWithFreeVariables) {
  sq_pushinteger(v, 100);
  sq_newclosure(v, Adder, 1);
  sq_setnativeclosurename(v, -1, u"adder");
  SQUnsignedInteger np = 0, nf = 0;
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getclosureinfo(v, -1, &np, &nf)));
  EXPECT_EQ(nf, 1u);
  sq_pushinteger(v, 7);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_setfreevariable(v, -2, 0)));
  SetGlobal(u"adder");
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"print(adder(5) + \" \" + adder.getinfos().name)")));
  EXPECT_EQ(g_out, u"12 adder");
}

TEST_F(Binding, ScriptClosureFreeVariablesAreVisible) {
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"local hidden = 3; getter <- function() { return hidden }")));
  sq_pushroottable(v);
  sq_pushstring(v, u"getter", -1);
  sq_get(v, -2);
  const SQChar* name = sq_getfreevariable(v, -1, 0);
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(std::u16string(name), u"hidden");
  EXPECT_EQ(Int(-1), 3);
  sq_pop(v, 1);
  EXPECT_EQ(sq_getfreevariable(v, -1, 1), nullptr);
  sq_pushinteger(v, 9);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_setfreevariable(v, -2, 0)));
  sq_pushroottable(v);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQFalse)));
  EXPECT_EQ(Int(-1), 9);
  sq_settop(v, 0);
}

TEST_F(Binding, BindEnvChangesThis) {
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"f <- function() { return this.name }; env <- { name = \"env\" }")));
  sq_pushroottable(v);
  sq_pushstring(v, u"f", -1);
  sq_get(v, -2);
  sq_pushstring(v, u"env", -1);
  sq_get(v, -3);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_bindenv(v, -2)));
  sq_pushroottable(v);  // ignored: the bound environment wins
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQFalse)));
  EXPECT_EQ(Str(-1), u"env");
  sq_settop(v, 0);
  // the environment is held weakly: once it dies, 'this' is the caller's
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"name <- \"root\"; g <- f.bindenv({ name = \"gone\" }); print(g())")));
  EXPECT_EQ(g_out, u"root");
}

TEST_F(Binding, CallRaisesErrorsAndKeepsTheStackBalanced) {
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"function fail(x) { throw \"bad \" + x }")));
  sq_pushroottable(v);
  sq_pushstring(v, u"fail", -1);
  sq_get(v, -2);
  sq_pushroottable(v);
  sq_pushinteger(v, 3);
  EXPECT_TRUE(SQ_FAILED(sq_call(v, 2, SQTrue, SQFalse)));
  EXPECT_EQ(sq_gettop(v), 2);  // root table and the closure
  sq_getlasterror(v);
  EXPECT_EQ(Str(-1), u"bad 3");
  sq_pop(v, 1);
  sq_reseterror(v);
  sq_getlasterror(v);
  EXPECT_EQ(sq_gettype(v, -1), OT_NULL);
  sq_settop(v, 0);
  // calling a non-function
  sq_pushinteger(v, 1);
  sq_pushroottable(v);
  EXPECT_TRUE(SQ_FAILED(sq_call(v, 1, SQFalse, SQFalse)));
  sq_settop(v, 0);
  // throwing an object from native code
  sq_newclosure(
      v,
      [](HSQUIRRELVM vm) -> SQInteger {
        sq_newtable(vm);
        sq_pushstring(vm, u"code", -1);
        sq_pushinteger(vm, 77);
        sq_newslot(vm, -3, SQFalse);
        return sq_throwobject(vm);
      },
      0);
  SetGlobal(u"thrower");
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"try { thrower() } catch (e) { print(\"\" + e.code) }")));
  EXPECT_EQ(g_out, u"77");
}

TEST_F(Binding, ConversionsAndComparisons) {
  sq_pushinteger(v, 3);
  sq_pushfloat(v, 3.0f);
  EXPECT_EQ(sq_cmp(v), 0);
  sq_pushstring(v, u"b", -1);
  sq_pushstring(v, u"a", -1);
  EXPECT_GT(sq_cmp(v), 0);
  sq_settop(v, 0);
  sq_pushfloat(v, 2.75f);
  SQInteger i = 0;
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getinteger(v, -1, &i)));
  EXPECT_EQ(i, 2);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_tostring(v, -1)));
  EXPECT_EQ(Str(-1), u"2.75");
  sq_pushnull(v);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_tostring(v, -1)));
  EXPECT_EQ(Str(-1), u"null");
  SQBool b = SQTrue;
  sq_pushinteger(v, 0);
  sq_tobool(v, -1, &b);
  EXPECT_FALSE(b);
  sq_pushstring(v, u"", -1);
  sq_tobool(v, -1, &b);
  EXPECT_TRUE(b);  // only null, false and zero are false
  ASSERT_TRUE(SQ_SUCCEEDED(sq_typeof(v, -1)));
  EXPECT_EQ(Str(-1), u"string");
  sq_settop(v, 0);
}

TEST_F(Binding, WeakRefsAndRefCounts) {
  sq_newtable(v);
  HSQOBJECT t;
  sq_getstackobj(v, -1, &t);
  sq_addref(v, &t);
  EXPECT_EQ(sq_getrefcount(v, &t), 1u);  // the host's references only
  sq_weakref(v, -1);
  sq_remove(v, -2);  // only the handle keeps the table now
  EXPECT_EQ(sq_getrefcount(v, &t), 1u);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getweakrefval(v, -1)));
  EXPECT_EQ(sq_gettype(v, -1), OT_TABLE);
  sq_pop(v, 1);
  EXPECT_TRUE(sq_release(v, &t));  // last strong reference
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getweakrefval(v, -1)));
  EXPECT_EQ(sq_gettype(v, -1), OT_NULL);
  sq_settop(v, 0);
  // weak references to values without a count are the values themselves
  sq_pushinteger(v, 4);
  sq_weakref(v, -1);
  EXPECT_EQ(sq_gettype(v, -1), OT_INTEGER);
  sq_settop(v, 0);
}

TEST_F(Binding, RegistryConstAndRootTables) {
  sq_pushregistrytable(v);
  sq_pushstring(v, u"secret", -1);
  sq_pushinteger(v, 5);
  sq_newslot(v, -3, SQFalse);
  sq_pop(v, 1);
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"print(\"\" + (\"secret\" in getroottable()))")));
  EXPECT_EQ(g_out, u"false");
  g_out.clear();
  sq_pushconsttable(v);
  sq_pushstring(v, u"LIMIT", -1);
  sq_pushinteger(v, 64);
  sq_newslot(v, -3, SQFalse);
  sq_pop(v, 1);
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"print(\"\" + LIMIT)")));
  EXPECT_EQ(g_out, u"64");
  g_out.clear();
  sq_newtable(v);
  sq_pushstring(v, u"print", -1);
  sq_pushroottable(v);
  sq_pushstring(v, u"print", -1);
  sq_get(v, -2);
  sq_remove(v, -2);
  sq_newslot(v, -3, SQFalse);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_setroottable(v)));
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"x <- 1; print(\"\" + this.len())")));
  EXPECT_EQ(g_out, u"2");
  sq_pushinteger(v, 1);
  EXPECT_TRUE(SQ_FAILED(sq_setroottable(v)));
  sq_settop(v, 0);
}

TEST_F(Binding, ThreadsCreatedFromC) {
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"function gen(a) { local b = ::suspend(a + 1); return b * 2 }")));
  HSQUIRRELVM t = sq_newthread(v, 64);
  EXPECT_EQ(sq_gettype(v, -1), OT_THREAD);
  HSQUIRRELVM got = nullptr;
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getthread(v, -1, &got)));
  EXPECT_EQ(got, t);
  sq_pushroottable(t);
  sq_pushstring(t, u"gen", -1);
  sq_get(t, -2);
  sq_pushroottable(t);
  sq_pushinteger(t, 10);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(t, 2, SQTrue, SQFalse)));
  EXPECT_EQ(sq_getvmstate(t), SQ_VMSTATE_SUSPENDED);
  SQInteger i = 0;
  sq_getinteger(t, -1, &i);
  EXPECT_EQ(i, 11);
  sq_pop(t, 1);
  sq_pushinteger(t, 4);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_wakeupvm(t, SQTrue, SQTrue, SQFalse, SQFalse)));
  sq_getinteger(t, -1, &i);
  EXPECT_EQ(i, 8);
  EXPECT_EQ(sq_getvmstate(t), SQ_VMSTATE_IDLE);
  EXPECT_TRUE(SQ_FAILED(sq_wakeupvm(t, SQFalse, SQFalse, SQFalse, SQFalse)));
  sq_pop(v, 1);  // the thread object; the VM stays valid while referenced
}

TEST_F(Binding, GeneratorsResumedFromC) {
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"function g() { yield 1; yield 2 } gen <- g()")));
  sq_pushroottable(v);
  sq_pushstring(v, u"gen", -1);
  sq_get(v, -2);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_resume(v, SQTrue, SQFalse)));
  EXPECT_EQ(Int(-1), 1);
  sq_pop(v, 1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_resume(v, SQTrue, SQFalse)));
  EXPECT_EQ(Int(-1), 2);
  sq_pop(v, 1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_resume(v, SQTrue, SQFalse)));  // runs to the end
  EXPECT_TRUE(SQ_FAILED(sq_resume(v, SQTrue, SQFalse)));
  sq_settop(v, 0);
}

TEST_F(Binding, ClassInstancesFromCAndInstanceof) {
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"class A { v = 3 } class B extends A {}")));
  sq_pushroottable(v);
  sq_pushstring(v, u"B", -1);
  sq_get(v, -2);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_createinstance(v, -1)));
  sq_pushstring(v, u"v", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
  EXPECT_EQ(Int(-1), 3);
  sq_pop(v, 1);
  sq_pushroottable(v);
  sq_pushstring(v, u"A", -1);
  sq_get(v, -2);
  sq_remove(v, -2);
  EXPECT_TRUE(sq_instanceof(v));
  sq_pop(v, 1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getclass(v, -1)));
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getbase(v, -1)));
  EXPECT_EQ(sq_gettype(v, -1), OT_CLASS);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getbase(v, -1)));
  EXPECT_EQ(sq_gettype(v, -1), OT_NULL);  // A has no base
  sq_settop(v, 0);
}

TEST_F(Binding, StackInfosAndLocalsFromANative) {
  static std::u16string seen;
  sq_newclosure(
      v,
      [](HSQUIRRELVM vm) -> SQInteger {
        SQStackInfos si;
        sq_stackinfos(vm, 0, &si);
        seen = std::u16string(si.funcname) + u"@" + si.source + u" ";
        sq_stackinfos(vm, 1, &si);
        seen += std::u16string(si.funcname) + u":" + char16_t(u'0' + si.line) + u" ";
        for (SQUnsignedInteger i = 0;; i++) {
          const SQChar* n = sq_getlocal(vm, 1, i);
          if (!n) break;
          seen += n;
          seen += u",";
          sq_pop(vm, 1);
        }
        return 0;
      },
      0);
  sq_setnativeclosurename(v, -1, u"probe");
  SetGlobal(u"probe");
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"function outer(a) {\n  local b = 2\n  probe()\n}\nouter(1)")));
  EXPECT_EQ(seen, u"probe@NATIVE outer:3 b,a,this,");
  // free variables come before the locals
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"local up = 3, up2 = 4\nfunction inner(a) {\n  local b = up + up2\n  probe()\n}\ninner(1)")));
  EXPECT_EQ(seen, u"probe@NATIVE inner:4 up,up2,b,a,this,");
}

}  // namespace
