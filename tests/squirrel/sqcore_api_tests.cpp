// C API of the script engine core: calls in both directions, suspension of
// the VM, object lifetime, type tags, UTF-16 strings, limits.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <string>

#include "squirrel.h"
#include "sqobject.h"  // the internal count, to catch leaked references

namespace {

std::u16string g_out;

void PrintToBuffer(HSQUIRRELVM, const SQChar* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  // only "%s" is used by print()
  if (fmt[0] == u'%' && fmt[1] == u's') g_out += va_arg(ap, const SQChar*);
  else g_out += fmt;
  va_end(ap);
}

class Vm : public ::testing::Test {
 protected:
  void SetUp() override {
    v = sq_open(1024);
    sq_setprintfunc(v, PrintToBuffer, PrintToBuffer);
    g_out.clear();
  }
  void TearDown() override { sq_close(v); }

  // Compiles and runs src with the root table as 'this'; leaves the result
  // on the stack when retval is set.
  SQRESULT Run(const std::u16string& src, bool retval = false) {
    if (SQ_FAILED(sq_compilebuffer(v, src.c_str(), SQInteger(src.size()), u"test", SQFalse))) return SQ_ERROR;
    sq_pushroottable(v);
    SQRESULT r = sq_call(v, 1, retval ? SQTrue : SQFalse, SQFalse);
    if (retval && SQ_SUCCEEDED(r)) sq_remove(v, -2);
    else sq_pop(v, 1);
    return r;
  }
  std::u16string LastError() {
    sq_getlasterror(v);
    const SQChar* s = u"";
    std::u16string r;
    if (SQ_SUCCEEDED(sq_getstring(v, -1, &s))) r = s;
    sq_pop(v, 1);
    return r;
  }
  void RegisterGlobal(const SQChar* name, SQFUNCTION f, SQInteger nparams = 0, const SQChar* mask = nullptr) {
    sq_pushroottable(v);
    sq_pushstring(v, name, -1);
    sq_newclosure(v, f, 0);
    if (nparams || mask) sq_setparamscheck(v, nparams, mask);
    sq_setnativeclosurename(v, -1, name);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
  }

  HSQUIRRELVM v = nullptr;
};

TEST_F(Vm, EvaluatesScriptAndReturnsValues) {
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"local t = {a = 40}; t.b <- 2; return t.a + t.b", true)));
  SQInteger i = 0;
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getinteger(v, -1, &i)));
  EXPECT_EQ(i, 42);
  sq_pop(v, 1);
  EXPECT_EQ(sq_gettop(v), 0);
}

TEST_F(Vm, CompileErrorReportsMessageLineAndColumn) {
  static std::u16string msg;
  static SQInteger line = 0, col = 0;
  sq_setcompilererrorhandler(v, [](HSQUIRRELVM, const SQChar* desc, const SQChar*, SQInteger l, SQInteger c) {
    msg = desc;
    line = l;
    col = c;
  });
  std::u16string src = u"local a = 1\nlocal b = (a + 2\nprint(b)\n";
  EXPECT_TRUE(SQ_FAILED(sq_compilebuffer(v, src.c_str(), SQInteger(src.size()), u"x", SQTrue)));
  EXPECT_EQ(msg, u"expected ')'");
  EXPECT_EQ(line, 3);
  EXPECT_EQ(col, 6);
  EXPECT_EQ(sq_gettop(v), 0);
}

SQInteger SuspendWithValue(HSQUIRRELVM v) {
  // hands the argument to the host and waits for a value back
  sq_push(v, 2);
  return sq_suspendvm(v);
}

TEST_F(Vm, SuspendAndWakeupPassValuesBothWays) {
  RegisterGlobal(u"hostwait", SuspendWithValue, 2, nullptr);
  std::u16string src = u"local total = 0\n"
                       u"for (local i = 1; i <= 3; i++) total += hostwait(i * 10)\n"
                       u"return total\n";
  ASSERT_TRUE(SQ_SUCCEEDED(sq_compilebuffer(v, src.c_str(), SQInteger(src.size()), u"main", SQFalse)));
  sq_pushroottable(v);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQFalse)));
  SQInteger expected = 10;
  for (int frame = 0; frame < 3; frame++) {
    ASSERT_EQ(sq_getvmstate(v), SQ_VMSTATE_SUSPENDED);
    SQInteger got = 0;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getinteger(v, -1, &got)));
    EXPECT_EQ(got, expected);
    expected += 10;
    sq_pop(v, 1);
    sq_pushinteger(v, got + 1);  // the script sees got + 1
    ASSERT_TRUE(SQ_SUCCEEDED(sq_wakeupvm(v, SQTrue, SQTrue, SQFalse, SQFalse)));
  }
  EXPECT_EQ(sq_getvmstate(v), SQ_VMSTATE_IDLE);
  SQInteger total = 0;
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getinteger(v, -1, &total)));
  EXPECT_EQ(total, 11 + 21 + 31);
  sq_pop(v, 2);  // result and closure
  EXPECT_EQ(sq_gettop(v), 0);
}

TEST_F(Vm, HostCallsWhileSuspendedDoNotDisturbTheSuspendedScript) {
  RegisterGlobal(u"hostwait", SuspendWithValue, 2, nullptr);
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"function helper(x) { return x * 2 }")));
  std::u16string src = u"local a = 5; local b = hostwait(a); return a + b";
  ASSERT_TRUE(SQ_SUCCEEDED(sq_compilebuffer(v, src.c_str(), SQInteger(src.size()), u"main", SQFalse)));
  sq_pushroottable(v);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQFalse)));
  ASSERT_EQ(sq_getvmstate(v), SQ_VMSTATE_SUSPENDED);
  sq_pop(v, 1);
  // an event handler runs between frames
  sq_pushroottable(v);
  sq_pushstring(v, u"helper", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
  sq_pushroottable(v);
  sq_pushinteger(v, 21);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 2, SQTrue, SQFalse)));
  SQInteger r = 0;
  sq_getinteger(v, -1, &r);
  EXPECT_EQ(r, 42);
  sq_pop(v, 3);
  EXPECT_EQ(sq_getvmstate(v), SQ_VMSTATE_SUSPENDED);
  sq_pushinteger(v, 100);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_wakeupvm(v, SQTrue, SQTrue, SQFalse, SQFalse)));
  sq_getinteger(v, -1, &r);
  EXPECT_EQ(r, 105);
  sq_pop(v, 2);
}

TEST_F(Vm, WakeupWithErrorRaisesInsideTheScript) {
  RegisterGlobal(u"hostwait", SuspendWithValue, 2, nullptr);
  std::u16string src = u"try { hostwait(1) } catch (e) { return \"caught \" + e }";
  ASSERT_TRUE(SQ_SUCCEEDED(sq_compilebuffer(v, src.c_str(), SQInteger(src.size()), u"main", SQFalse)));
  sq_pushroottable(v);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQFalse)));
  sq_pop(v, 1);
  sq_throwerror(v, u"quit");  // the error to raise; the stack is not consumed
  ASSERT_TRUE(SQ_SUCCEEDED(sq_wakeupvm(v, SQFalse, SQTrue, SQFalse, SQTrue)));
  const SQChar* s = nullptr;
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getstring(v, -1, &s)));
  EXPECT_EQ(std::u16string(s), u"caught quit");
  sq_pop(v, 2);
}

TEST_F(Vm, SuspendInsideAMetamethodIsRefused) {
  RegisterGlobal(u"hostwait", SuspendWithValue, 2, nullptr);
  EXPECT_TRUE(SQ_SUCCEEDED(Run(u"local t = {}.setdelegate({ _get = function(k) { return ::hostwait(k) } })\n"
                              u"local r = \"none\"\n"
                              u"try { t.x } catch (e) { r = e }\n"
                              u"print(r)")));
  EXPECT_EQ(g_out, u"cannot suspend through native calls/metamethods");
  EXPECT_EQ(sq_getvmstate(v), SQ_VMSTATE_IDLE);
}

int g_released = 0;
SQInteger CountRelease(SQUserPointer, SQInteger) {
  g_released++;
  return 1;
}

TEST_F(Vm, ReleaseHookFiresWhenTheLastReferenceGoes) {
  g_released = 0;
  sq_pushroottable(v);
  sq_pushstring(v, u"ud", -1);
  sq_newuserdata(v, 16);
  sq_setreleasehook(v, -1, CountRelease);
  sq_newslot(v, -3, SQFalse);
  sq_pop(v, 1);
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"local a = [ud, ud]; local t = {x = ud}")));
  EXPECT_EQ(g_released, 0);
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"delete getroottable().ud")));
  EXPECT_EQ(g_released, 1);
}

TEST_F(Vm, CollectGarbageFreesCyclesAndFiresHooks) {
  g_released = 0;
  sq_pushroottable(v);
  sq_pushstring(v, u"make", -1);
  sq_newuserdata(v, 4);
  sq_setreleasehook(v, -1, CountRelease);
  sq_newslot(v, -3, SQFalse);
  sq_pop(v, 1);
  // a cycle through a table and an array holding the userdata
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"local t = { u = make }; local a = [t]; t.back <- a; make = null")));
  EXPECT_EQ(g_released, 0);
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"print(collectgarbage() > 0)")));
  EXPECT_EQ(g_out, u"true");
  EXPECT_EQ(g_released, 1);
}

TEST_F(Vm, ObjectsHeldByTheHostSurviveCollection) {
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"local t = { n = 7 }; t.self <- t; return t", true)));
  HSQOBJECT h;
  sq_getstackobj(v, -1, &h);
  sq_addref(v, &h);
  sq_pop(v, 1);
  sq_collectgarbage(v);
  sq_pushobject(v, h);
  sq_pushstring(v, u"n", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
  SQInteger n = 0;
  sq_getinteger(v, -1, &n);
  EXPECT_EQ(n, 7);
  sq_pop(v, 2);
  EXPECT_TRUE(sq_release(v, &h) == SQTrue);  // the host's only reference
  EXPECT_EQ(h._type, OT_NULL);
  EXPECT_GE(sq_collectgarbage(v), 1);  // the cycle is garbage now
}

int g_tag1, g_tag2;

TEST_F(Vm, TypeTagsIdentifyClassesAndUserdata) {
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"class Base {}; class Derived extends Base {}")));
  sq_pushroottable(v);
  sq_pushstring(v, u"Base", -1);
  sq_get(v, -2);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_settypetag(v, -1, &g_tag1)));
  sq_pop(v, 2);
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"return Derived()", true)));
  SQUserPointer up = nullptr;
  EXPECT_TRUE(SQ_SUCCEEDED(sq_getinstanceup(v, -1, &up, &g_tag1)));  // inherited tag accepted
  EXPECT_TRUE(SQ_FAILED(sq_getinstanceup(v, -1, &up, &g_tag2)));
  sq_pop(v, 1);
  SQUserPointer* p = static_cast<SQUserPointer*>(sq_newuserdata(v, sizeof(void*)));
  *p = &g_tag2;
  sq_settypetag(v, -1, &g_tag2);
  SQUserPointer data = nullptr, tag = nullptr;
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getuserdata(v, -1, &data, &tag)));
  EXPECT_EQ(tag, &g_tag2);
  EXPECT_EQ(*static_cast<SQUserPointer*>(data), &g_tag2);
  sq_pop(v, 1);
}

TEST_F(Vm, StringsAreUtf16Units) {
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"local s = \"あいう\"; print(s.len() + \" \" + s[1] + \" \" + s.slice(1, 2))")));
  EXPECT_EQ(g_out, u"3 12356 い");
  g_out.clear();
  // identifiers may use any non-ASCII units
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"local 名前 = \"x\"; print(名前 + \"日本\".len())")));
  EXPECT_EQ(g_out, u"x2");
  sq_pushstring(v, u"\U0001F600", -1);  // outside the BMP: a surrogate pair
  EXPECT_EQ(sq_getsize(v, -1), 2);
  sq_pop(v, 1);
}

TEST_F(Vm, DeepRecursionRaisesStackOverflow) {
  ASSERT_TRUE(SQ_FAILED(Run(u"function f(n) { return 1 + f(n + 1) } f(0)")));
  EXPECT_EQ(LastError(), u"stack overflow");
  // recursion through metamethods and native calls is bounded as well
  ASSERT_TRUE(SQ_FAILED(Run(u"local t = {}; t.setdelegate({ _get = function(k) { return this[k] } }); t.x")));
  EXPECT_EQ(LastError(), u"stack overflow");
  ASSERT_TRUE(SQ_FAILED(Run(u"function g() { return g.call(this) } g()")));
  EXPECT_NE(LastError().find(u"overflow"), std::u16string::npos);
  // the VM is still usable afterwards
  EXPECT_TRUE(SQ_SUCCEEDED(Run(u"print(\"ok\")")));
  EXPECT_EQ(g_out, u"ok");
}

TEST_F(Vm, DeeplyNestedSourceIsACompileError) {
  std::u16string src = u"return ";
  for (int i = 0; i < 5000; i++) src += u"(";
  src += u"1";
  for (int i = 0; i < 5000; i++) src += u")";
  EXPECT_TRUE(SQ_FAILED(sq_compilebuffer(v, src.c_str(), SQInteger(src.size()), u"deep", SQFalse)));
  EXPECT_EQ(sq_gettop(v), 0);
}

SQInteger AddInts(HSQUIRRELVM v) {
  SQInteger a = 0, b = 0;
  sq_getinteger(v, 2, &a);
  sq_getinteger(v, 3, &b);
  sq_pushinteger(v, a + b);
  return 1;
}

TEST_F(Vm, NativeParameterChecks) {
  RegisterGlobal(u"add", AddInts, 3, u".ii");
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"print(add(2, 3))")));
  EXPECT_EQ(g_out, u"5");
  ASSERT_TRUE(SQ_FAILED(Run(u"add(1)")));
  EXPECT_EQ(LastError(), u"wrong number of parameters");
  ASSERT_TRUE(SQ_FAILED(Run(u"add(1, \"x\")")));
  EXPECT_EQ(LastError(), u"parameter 2 has an invalid type 'string' ; expected: 'integer'");
  RegisterGlobal(u"addv", AddInts, -2, u".n|s");
  ASSERT_TRUE(SQ_FAILED(Run(u"addv(null)")));
  EXPECT_EQ(LastError(), u"parameter 1 has an invalid type 'null' ; expected: 'integer|float|string'");
}

TEST_F(Vm, IntegerArithmeticWrapsAndChecksDivision) {
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"local m = -2147483647 - 1\n"
                              u"print((2147483647 + 1) + \" \" + (m / -1) + \" \" + (m % -1) + \" \" + (1 << 33) + \" \" + (m * -1))")));
  EXPECT_EQ(g_out, u"-2147483648 -2147483648 0 2 -2147483648");
  ASSERT_TRUE(SQ_FAILED(Run(u"local z = 0; return 7 % z")));
  EXPECT_EQ(LastError(), u"division by zero");
}

TEST_F(Vm, UnsoundOperationsRaiseErrors) {
  const char16_t* cases[][2] = {
      {u"array(-1)", u"array size cannot be negative"},
      {u"[1].resize(-1)", u"resizing to a negative size"},
      {u"newthread(print)", u"cannot create a thread from a native function"},
      {u"return \"abc\"[-1]", u"the index '-1' does not exist"},
      {u"return \"abc\"[3]", u"the index '3' does not exist"},
      {u"return \"abc\".slice(-5)", u"slice out of range"},
  };
  for (auto& c : cases) {
    EXPECT_TRUE(SQ_FAILED(Run(c[0]))) << std::string(c[0], c[0] + std::char_traits<char16_t>::length(c[0]));
    EXPECT_EQ(LastError(), c[1]);
  }
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"print(\"\" + null)")));
  EXPECT_EQ(g_out, u"null");
}

TEST_F(Vm, ErrorHandlerSeesTheFailingFrame) {
  static std::u16string where;
  sq_newclosure(
      v,
      [](HSQUIRRELVM vm) -> SQInteger {
        SQStackInfos si;
        if (SQ_SUCCEEDED(sq_stackinfos(vm, 1, &si))) where = std::u16string(si.funcname) + u":" + char16_t(u'0' + si.line);
        return 0;
      },
      0);
  sq_seterrorhandler(v);
  std::u16string src = u"function boom() {\n  throw \"x\"\n}\nboom()";
  ASSERT_TRUE(SQ_SUCCEEDED(sq_compilebuffer(v, src.c_str(), SQInteger(src.size()), u"t", SQFalse)));
  sq_pushroottable(v);
  EXPECT_TRUE(SQ_FAILED(sq_call(v, 1, SQFalse, SQTrue)));
  sq_pop(v, 1);
  EXPECT_EQ(where, u"boom:2");
}

TEST_F(Vm, ClosureStreamRoundTripAndDamagedStreamRejected) {
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"return function(a, b = 3) { local s = 0; foreach (x in [a, b]) s += x; return s }", true)));
  std::string bytes;
  ASSERT_TRUE(SQ_SUCCEEDED(sq_writeclosure(
      v,
      [](SQUserPointer up, SQUserPointer p, SQInteger n) -> SQInteger {
        static_cast<std::string*>(up)->append(static_cast<const char*>(p), size_t(n));
        return n;
      },
      &bytes)));
  sq_pop(v, 1);
  struct Src {
    const std::string* b;
    size_t pos;
  };
  auto reader = [](SQUserPointer up, SQUserPointer p, SQInteger n) -> SQInteger {
    Src* s = static_cast<Src*>(up);
    size_t take = std::min(size_t(n), s->b->size() - s->pos);
    memcpy(p, s->b->data() + s->pos, take);
    s->pos += take;
    return SQInteger(take);
  };
  Src s{&bytes, 0};
  ASSERT_TRUE(SQ_SUCCEEDED(sq_readclosure(v, reader, &s)));
  sq_pushroottable(v);
  sq_pushinteger(v, 4);
  sq_pushinteger(v, 3);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 3, SQTrue, SQFalse)));
  SQInteger r = 0;
  sq_getinteger(v, -1, &r);
  EXPECT_EQ(r, 7);
  sq_pop(v, 2);
  // damaged or truncated streams load as a verified function or not at all
  int rejected = 0;
  for (size_t i = 2; i < bytes.size(); i += 5) {
    std::string bad = bytes;
    bad[i] = char(bad[i] ^ 0x7F);
    Src d{&bad, 0};
    if (SQ_FAILED(sq_readclosure(v, reader, &d))) rejected++;
    sq_settop(v, 0);
    std::string cut = bytes.substr(0, i);
    Src c{&cut, 0};
    EXPECT_TRUE(SQ_FAILED(sq_readclosure(v, reader, &c)));
    sq_settop(v, 0);
  }
  EXPECT_GT(rejected, 0);
}

std::u16string g_hooklog;

TEST_F(Vm, NativeDebugHookSeesCallsLinesAndReturns) {
  sq_enabledebuginfo(v, SQTrue);
  std::u16string src = u"function f(x) {\n  local y = x + 1\n  return y\n}\nf(1)\n";
  ASSERT_TRUE(SQ_SUCCEEDED(sq_compilebuffer(v, src.c_str(), SQInteger(src.size()), u"dbg", SQFalse)));
  g_hooklog.clear();
  sq_setnativedebughook(v, [](HSQUIRRELVM, SQInteger type, const SQChar*, SQInteger line, const SQChar* fn) {
    g_hooklog += char16_t(type);
    g_hooklog += char16_t(u'0' + line);
    g_hooklog += fn ? fn : u"?";
    g_hooklog += u' ';
  });
  sq_pushroottable(v);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQFalse)));
  sq_pop(v, 1);
  EXPECT_NE(g_hooklog.find(u"c2f l2f l3f r3f"), std::u16string::npos) << std::string(g_hooklog.begin(), g_hooklog.end());
  // without debug info only calls and returns are reported
  sq_enabledebuginfo(v, SQFalse);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_compilebuffer(v, src.c_str(), SQInteger(src.size()), u"dbg", SQFalse)));
  g_hooklog.clear();
  sq_pushroottable(v);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQFalse)));
  sq_pop(v, 1);
  EXPECT_EQ(g_hooklog.find(u'l'), std::u16string::npos);
  EXPECT_NE(g_hooklog.find(u"c2f r3f"), std::u16string::npos);
  sq_setnativedebughook(v, nullptr);
  g_hooklog.clear();
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"local a = 1")));
  EXPECT_TRUE(g_hooklog.empty());
}

TEST_F(Vm, CallsDoNotLeakReferencesToWhatTheyCall) {
  RegisterGlobal(u"add", AddInts, 3, u".ii");
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"function tail(n) { if (n == 0) return 0; return tail(n - 1) }\n"
                              u"function gen() { yield 1; yield 2 }\n"
                              u"function withdef(a, b = 1) { return a + b }\n"
                              u"class C { </ tag = 1 /> x = 1 }")));
  const SQChar* names[] = {u"add", u"tail", u"gen", u"withdef", u"C"};
  HSQOBJECT h[5];
  SQUnsignedInteger before[5];
  for (int i = 0; i < 5; i++) {
    sq_pushroottable(v);
    sq_pushstring(v, names[i], -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
    sq_getstackobj(v, -1, &h[i]);
    sq_addref(v, &h[i]);
    sq_pop(v, 2);
    before[i] = h[i]._unVal.pRefCounted->_uiRef;
  }
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"for (local i = 0; i < 500; i++) {\n"
                              u"  add(i, 1); tail(3); withdef(i)\n"
                              u"  foreach (x in gen()) {}\n"
                              u"  local g = gen(); resume g\n"
                              u"  C.getattributes(\"x\")\n"
                              u"}")));
  for (int i = 0; i < 5; i++) {
    EXPECT_EQ(h[i]._unVal.pRefCounted->_uiRef, before[i]) << i;
    sq_release(v, &h[i]);
  }
}

// Pushes a userdata that counts its release in g_released.
void PushCountedUserdata(HSQUIRRELVM v) {
  sq_newuserdata(v, 4);
  sq_setreleasehook(v, -1, CountRelease);
}

TEST_F(Vm, HostReferencesAreCountedApartFromInternalOnes) {
  g_released = 0;
  PushCountedUserdata(v);
  HSQOBJECT h, copy;
  sq_getstackobj(v, -1, &h);
  EXPECT_EQ(sq_getrefcount(v, &h), 0u);  // the stack's reference is not the host's
  sq_addref(v, &h);
  sq_addref(v, &h);
  EXPECT_EQ(sq_getrefcount(v, &h), 2u);
  sq_pop(v, 1);
  copy = h;
  EXPECT_TRUE(sq_release(v, &copy) == SQFalse);  // one host reference left
  EXPECT_EQ(copy._type, OT_USERDATA);
  EXPECT_EQ(g_released, 0);
  // threads of the VM share the count
  HSQUIRRELVM t = sq_newthread(v, 64);
  EXPECT_EQ(sq_getrefcount(t, &h), 1u);
  EXPECT_TRUE(sq_release(t, &h) == SQTrue);
  EXPECT_EQ(h._type, OT_NULL);  // reset once it lost all its references
  EXPECT_EQ(g_released, 1);     // nothing else held it
  sq_pop(v, 1);  // the thread: only now, since popping its last reference frees it
  // releasing a handle without host references changes nothing
  PushCountedUserdata(v);
  sq_getstackobj(v, -1, &h);
  EXPECT_TRUE(sq_release(v, &h) == SQTrue);
  EXPECT_EQ(g_released, 1);
  EXPECT_EQ(sq_gettype(v, -1), OT_USERDATA);
  sq_pop(v, 1);
  EXPECT_EQ(g_released, 2);
  HSQOBJECT n;
  sq_resetobject(&n);
  sq_addref(v, &n);
  EXPECT_EQ(sq_getrefcount(v, &n), 0u);
  EXPECT_TRUE(sq_release(v, &n) == SQTrue);
}

TEST(VmClose, FreesObjectsTheHostStillReferences) {
  g_released = 0;
  HSQUIRRELVM v = sq_open(64);
  PushCountedUserdata(v);
  HSQOBJECT h;
  sq_getstackobj(v, -1, &h);
  sq_addref(v, &h);
  sq_addref(v, &h);
  sq_pop(v, 1);
  sq_newtable(v);  // a table in a cycle with itself, also held by the host
  HSQOBJECT t;
  sq_getstackobj(v, -1, &t);
  sq_pushstring(v, u"self", -1);
  sq_push(v, -2);
  sq_newslot(v, -3, SQFalse);
  sq_pushstring(v, u"u", -1);
  sq_pushobject(v, h);
  sq_newslot(v, -3, SQFalse);
  sq_addref(v, &t);
  sq_pop(v, 1);
  EXPECT_EQ(g_released, 0);
  sq_close(v);
  EXPECT_EQ(g_released, 1);
}

// Every failure of a keyed access consumes what a success would: the key for
// sq_get and sq_deleteslot, key and value for sq_set, sq_newslot and sq_rawset.
TEST_F(Vm, KeyedAccessConsumesItsArgumentsOnFailure) {
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"return { a = 1 }.setdelegate({ _get = function(k) { throw \"no \" + k } })", true)));
  ASSERT_EQ(sq_gettop(v), 1);
  sq_pushstring(v, u"zz", -1);
  EXPECT_TRUE(SQ_FAILED(sq_get(v, -2)));  // the _get metamethod throws
  EXPECT_EQ(sq_gettop(v), 1);
  sq_pushinteger(v, 3);
  sq_pushinteger(v, 4);
  EXPECT_TRUE(SQ_FAILED(sq_set(v, -3)));  // no such slot
  EXPECT_EQ(sq_gettop(v), 1);
  sq_pushnull(v);
  sq_pushinteger(v, 4);
  EXPECT_TRUE(SQ_FAILED(sq_newslot(v, -3, SQFalse)));  // null key
  EXPECT_EQ(sq_gettop(v), 1);
  sq_pushnull(v);
  sq_pushinteger(v, 4);
  EXPECT_TRUE(SQ_FAILED(sq_rawset(v, -3)));
  EXPECT_EQ(sq_gettop(v), 1);
  sq_pushinteger(v, 5);
  sq_pushstring(v, u"k", -1);
  sq_pushinteger(v, 4);
  EXPECT_TRUE(SQ_FAILED(sq_newslot(v, -3, SQFalse)));  // an integer has no slots
  EXPECT_EQ(sq_gettop(v), 2);
  sq_pushstring(v, u"k", -1);
  EXPECT_TRUE(SQ_FAILED(sq_deleteslot(v, -2, SQFalse)));
  EXPECT_EQ(sq_gettop(v), 2);
  sq_settop(v, 0);
}

// Indices outside the stack are errors or null results, never reads or
// writes outside it; a stack that cannot grow is an error, not an exception.
TEST_F(Vm, IndicesOutsideTheStackAreRefused) {
  sq_newtable(v);
  sq_pushstring(v, u"k", -1);
  EXPECT_TRUE(SQ_FAILED(sq_get(v, 100000)));
  EXPECT_TRUE(SQ_FAILED(sq_get(v, -100000)));
  EXPECT_TRUE(SQ_FAILED(sq_get(v, 0)));
  EXPECT_EQ(sq_gettop(v), 2);  // nothing consumed by a refused call
  SQBool b = SQTrue;
  sq_tobool(v, 50000, &b);
  EXPECT_FALSE(b);
  SQInteger i = 7;
  EXPECT_TRUE(SQ_FAILED(sq_getinteger(v, 3, &i)));
  EXPECT_EQ(i, 7);
  EXPECT_EQ(sq_gettype(v, -3), OT_NULL);
  EXPECT_TRUE(SQ_FAILED(sq_tostring(v, 99)));
  EXPECT_TRUE(SQ_FAILED(sq_typeof(v, -99)));
  EXPECT_TRUE(SQ_FAILED(sq_call(v, 5, SQFalse, SQFalse)));
  EXPECT_EQ(sq_gettop(v), 2);
  sq_push(v, -10);  // pushes null
  EXPECT_EQ(sq_gettop(v), 3);
  EXPECT_EQ(sq_gettype(v, -1), OT_NULL);
  sq_remove(v, 40);
  EXPECT_EQ(sq_gettop(v), 3);
  sq_settop(v, 0);
  // nothing below the stack is consumed by calls that pop
  EXPECT_TRUE(SQ_FAILED(sq_throwobject(v)));
  EXPECT_TRUE(SQ_FAILED(sq_setroottable(v)));
  sq_newtable(v);
  EXPECT_TRUE(SQ_FAILED(sq_set(v, -1)));
  EXPECT_TRUE(SQ_FAILED(sq_rawset(v, -1)));
  EXPECT_TRUE(SQ_FAILED(sq_newslot(v, -1, SQFalse)));
  EXPECT_TRUE(SQ_FAILED(sq_get(v, -1)));
  EXPECT_EQ(sq_gettop(v), 1);
  sq_settop(v, 0);
  sq_settop(v, 100000000);  // far beyond any stack
  EXPECT_EQ(sq_gettop(v), 0);
  EXPECT_TRUE(SQ_FAILED(sq_reservestack(v, 0x7fffffff)));
  EXPECT_TRUE(SQ_FAILED(sq_reservestack(v, -5)));
  sq_settop(v, 3);
  EXPECT_EQ(sq_gettop(v), 3);
  sq_settop(v, 0);
  // memory that cannot be had is a null result, not an exception
  EXPECT_EQ(sq_newuserdata(v, SQUnsignedInteger(0xffffffffu)), nullptr);
  EXPECT_EQ(sq_gettop(v), 0);
  // the VM still works
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"return 6 * 7", true)));
  sq_getinteger(v, -1, &i);
  EXPECT_EQ(i, 42);
  sq_settop(v, 0);
}

// At the stack's limit calls that push report an error instead of throwing
// through the C API, and pushes leave the stack as it was.
TEST_F(Vm, AFullStackMakesPushesFailCleanly) {
  sq_newtable(v);
  sq_settop(v, (SQInteger(1) << 22) - 16);
  ASSERT_GT(sq_gettop(v), 1000000);
  SQInteger full;
  do {
    full = sq_gettop(v);
    sq_pushnull(v);
  } while (sq_gettop(v) > full && sq_gettop(v) < (SQInteger(1) << 23));
  EXPECT_TRUE(SQ_FAILED(sq_typeof(v, 1)));
  EXPECT_TRUE(SQ_FAILED(sq_tostring(v, 1)));
  sq_pushroottable(v);
  sq_pushstring(v, u"x", -1);
  sq_push(v, 1);
  EXPECT_EQ(sq_gettop(v), full);
  sq_settop(v, full - 1);
  sq_pushstring(v, u"k", -1);
  EXPECT_TRUE(SQ_FAILED(sq_get(v, 1)));  // missing key; the key is consumed
  EXPECT_EQ(sq_gettop(v), full - 1);
  sq_settop(v, 0);
  ASSERT_TRUE(SQ_SUCCEEDED(Run(u"return 6 * 7", true)));
  sq_settop(v, 0);
}

}  // namespace
