// The engine's memory budget: what scripts hold is counted and given back exactly, script
// allocations past the limit raise "out of memory" along every path a script can grow
// memory by, and nothing outside script execution (the host, error reporting) is refused.
#include <gtest/gtest.h>

#include <string>

#include "sqmemory.h"
#include "sqstdblob.h"
#include "squirrel.h"

namespace {

class Budget : public ::testing::Test {
 protected:
  void SetUp() override {
    sq_setmemorylimit(0);
    before = sq_getmemoryheld();
    v = sq_open(1024);
    sq_pushroottable(v);
    sqstd_register_bloblib(v);
    sq_pop(v, 1);
  }
  void TearDown() override {
    if (v) sq_close(v);
    sq_setmemorylimit(0);
  }
  // Runs src; its return value converted to a string, or "error: " and the error.
  std::u16string Run(const std::u16string& src) {
    std::u16string result;
    const SQInteger top = sq_gettop(v);
    if (SQ_FAILED(sq_compilebuffer(v, src.c_str(), SQInteger(src.size()), u"test", SQFalse))) return u"compile error";
    sq_pushroottable(v);
    if (SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQFalse))) {
      sq_tostring(v, -1);
    } else {
      sq_getlasterror(v);
      sq_tostring(v, -1);
      result = u"error: ";
    }
    const SQChar* s = u"";
    sq_getstring(v, -1, &s);
    result += s;
    sq_settop(v, top);
    return result;
  }
  // A limit this much above what is held now.
  void LimitAbove(size_t headroom) { sq_setmemorylimit(sq_getmemoryheld() + headroom); }

  size_t before = 0;
  HSQUIRRELVM v = nullptr;
};

TEST_F(Budget, WhatScriptsHoldIsCountedAndGivenBackExactly) {
  const size_t opened = sq_getmemoryheld();
  EXPECT_GT(opened, before);
  EXPECT_EQ(Run(u"big <- array(100000, 1); return 0;"), u"0");
  EXPECT_GE(sq_getmemoryheld(), opened + 100000 * sizeof(SQObject));
  // strings, tables, blobs and objects of every kind, made and dropped again
  EXPECT_EQ(Run(u"big = null; local s = \"x\"; for (local i = 0; i < 20; i++) s += s;"
                u"local t = {}; for (local i = 0; i < 5000; i++) t[i] <- i.tostring();"
                u"local b = blob(100000); b.resize(300000); local c = t; local f = @() c;"
                u"class A { x = 1; } local insts = []; for (local i = 0; i < 1000; i++) insts.append(A());"
                u"return s.len();"),
            u"1048576");
  sq_collectgarbage(v);
  // all of it is back but the one freed big string block the VM keeps for reuse (2 MiB and
  // its slack here)
  EXPECT_LT(sq_getmemoryheld(), opened + (2 << 20) + (1 << 19));
  sq_close(v);
  v = nullptr;
  EXPECT_EQ(sq_getmemoryheld(), before);
}

TEST_F(Budget, EveryWayOfGrowingEndsWithOutOfMemory) {
  LimitAbove(8 << 20);
  const char16_t* loops[] = {
      u"local a = []; while (true) a.append(array(1000));",
      u"local a = []; while (true) a.append(a.len());",
      u"local s = \"0123456789abcdef\"; while (true) s += s;",
      u"local t = {}; local i = 0; while (true) t[i++] <- i;",
      u"class N { n = null; constructor(x) { n = x; } } local n = null; while (true) n = N(n);",
      u"local f = null; while (true) { local g = f; f = @() g; }",
      u"local a = []; while (true) a.append({});",
      u"local b = blob(0); local n = 1; while (true) { n *= 2; b.resize(n); }",
      u"local a = array(0x7ffffff);",
  };
  for (const char16_t* loop : loops) {
    const std::u16string src = std::u16string(u"try { ") + loop + u" } catch (e) { return e; }";
    const std::u16string got = Run(src);
    EXPECT_TRUE(got == u"out of memory" || got == u"not enough memory for the blob")
        << std::string(src.begin(), src.end()) << " gave " << std::string(got.begin(), got.end());
    // what the loop held went with it (but for the big string block the VM keeps for reuse,
    // at most half the limit here)
    EXPECT_LT(sq_getmemoryheld(), sq_getmemorylimit() - (3 << 20));
  }
  EXPECT_EQ(Run(u"return array(1000, 7).len();"), u"1000");
  // a string loop past 16 MiB leaves no block of that size cached
  sq_setmemorylimit(sq_getmemoryheld() + (64 << 20));
  EXPECT_EQ(Run(u"try { local s = \"0123456789abcdef\"; while (true) s += s; } catch (e) return e;"), u"out of memory");
  EXPECT_LT(sq_getmemoryheld(), size_t(17) << 20);
}

TEST_F(Budget, UncaughtTheErrorEndsTheCallAndItsReportIsNotRefused) {
  static bool reported = false;
  static size_t reportSize = 0;
  reported = false;
  sq_newclosure(v, [](HSQUIRRELVM vm) -> SQInteger {
    // the report builds text of its own although the budget is spent
    std::u16string big(1 << 20, u'x');
    sq_pushstring(vm, big.c_str(), SQInteger(big.size()));
    reportSize = size_t(sq_getsize(vm, -1));
    sq_pop(vm, 1);
    reported = true;
    return 0;
  }, 0);
  sq_seterrorhandler(v);
  LimitAbove(4 << 20);
  const SQInteger top = sq_gettop(v);
  const std::u16string loop = u"local a = []; while (true) a.append(array(1000));";
  ASSERT_TRUE(SQ_SUCCEEDED(sq_compilebuffer(v, loop.c_str(), SQInteger(loop.size()), u"t", SQFalse)));
  sq_pushroottable(v);
  EXPECT_TRUE(SQ_FAILED(sq_call(v, 1, SQFalse, SQTrue)));
  sq_getlasterror(v);
  const SQChar* s = u"";
  sq_getstring(v, -1, &s);
  EXPECT_EQ(std::u16string(s), u"out of memory");
  sq_settop(v, top);
  EXPECT_TRUE(reported);
  EXPECT_EQ(reportSize, size_t(1) << 20);
}

TEST_F(Budget, TheHostIsNeverRefusedOutsideScripts) {
  EXPECT_EQ(Run(u"keep <- array(200000); return 0;"), u"0");
  sq_setmemorylimit(sq_getmemoryheld() / 2);  // already past it
  sq_newarray(v, 500000);
  EXPECT_EQ(sq_gettype(v, -1), OT_ARRAY);
  EXPECT_EQ(sq_getsize(v, -1), 500000);
  sq_pop(v, 1);
  // a script is refused at once, and catching the error works although nothing was freed
  EXPECT_EQ(Run(u"try { local a = array(1000); return \"granted\"; } catch (e) return e;"), u"out of memory");
  sq_setmemorylimit(0);
  EXPECT_EQ(Run(u"return array(100000).len();"), u"100000");
}

}  // namespace
