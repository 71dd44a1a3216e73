// Base library (global functions) and the default delegates of every type.
#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "sqvm.h"

namespace {

SQObjectPtr& A(HSQUIRRELVM v, SQInteger i) { return v->StackAt(i); }
SQInteger NArgs(HSQUIRRELVM v) { return sq_gettop(v); }
SQInteger Ret(HSQUIRRELVM v, const SQObject& o) {
  v->Push(o);
  return 1;
}
SQInteger Throw(HSQUIRRELVM v, const char* msg) {
  v->_lasterror = sq_str(v->_ss, msg);
  return SQ_ERROR;
}

// Converts the longest numeric prefix the way the C library does; a string
// with a '.' or an exponent reads as a float. Other strings read as a 32-bit
// integer, clamped to its range as the C conversion to a 32-bit long does,
// also when a float is wanted.
bool StrToNum(const SQChar* s, SQInteger len, SQObjectPtr& out, bool wantfloat) {
  std::string a;
  for (SQInteger i = 0; i < len; i++) {
    if (s[i] == 0) break;
    a.push_back(s[i] > 127 ? '?' : (char)s[i]);
  }
  const char* p = a.c_str();
  char* end = nullptr;
  bool isfloat = a.find_first_of(".eE") != std::string::npos;
  if (isfloat) {
    double d = strtod(p, &end);
    if (end == p) return false;
    if (wantfloat) out = SQObjectPtr((SQFloat)d);
    else out = SQObjectPtr((SQInteger)(SQFloat)d);
    return true;
  }
  long long l = strtoll(p, &end, 10);
  if (end == p) return false;
  SQInteger i = (SQInteger)std::clamp<long long>(l, INT32_MIN, INT32_MAX);
  if (wantfloat) out = SQObjectPtr((SQFloat)i);
  else out = SQObjectPtr(i);
  return true;
}

// ---------------------------------------------------------------- base functions
SQInteger base_dummy(HSQUIRRELVM) { return 0; }

SQInteger base_collectgarbage(HSQUIRRELVM v) {
  sq_pushinteger(v, sq_collectgarbage(v));
  return 1;
}
SQInteger base_resurrectunreachable(HSQUIRRELVM v) {
  sq_resurrectunreachable(v);
  return 1;
}
SQInteger base_getroottable(HSQUIRRELVM v) { return Ret(v, v->_roottable); }
SQInteger base_getconsttable(HSQUIRRELVM v) { return Ret(v, v->_ss->_consts); }
SQInteger base_setroottable(HSQUIRRELVM v) {
  SQObjectPtr old = v->_roottable;
  if (SQ_FAILED(sq_setroottable(v))) return SQ_ERROR;
  return Ret(v, old);
}
SQInteger base_setconsttable(HSQUIRRELVM v) {
  SQObjectPtr old = v->_ss->_consts;
  if (SQ_FAILED(sq_setconsttable(v))) return SQ_ERROR;
  return Ret(v, old);
}
SQInteger base_seterrorhandler(HSQUIRRELVM v) {
  sq_seterrorhandler(v);
  return 0;
}
SQInteger base_setdebughook(HSQUIRRELVM v) {
  sq_setdebughook(v);
  return 0;
}
SQInteger base_enabledebuginfo(HSQUIRRELVM v) {
  SQObjectPtr& o = A(v, 2);
  sq_enabledebuginfo(v, sq_objtobool(&o));
  return 0;
}

// Pushes on v a table describing level `level` of t's call stack.
SQInteger PushStackInfos(HSQUIRRELVM v, HSQUIRRELVM t, SQInteger level) {
  SQStackInfos si;
  if (SQ_FAILED(sq_stackinfos(t, level, &si))) return 0;
  const SQChar* fn = si.funcname ? si.funcname : u"unknown";
  const SQChar* src = si.source ? si.source : u"unknown";
  sq_newtable(v);
  sq_pushstring(v, u"func", -1);
  sq_pushstring(v, fn, -1);
  sq_newslot(v, -3, SQFalse);
  sq_pushstring(v, u"src", -1);
  sq_pushstring(v, src, -1);
  sq_newslot(v, -3, SQFalse);
  sq_pushstring(v, u"line", -1);
  sq_pushinteger(v, si.line);
  sq_newslot(v, -3, SQFalse);
  sq_pushstring(v, u"locals", -1);
  sq_newtable(v);
  SQInteger seq = 0;
  const SQChar* name;
  while ((name = sq_getlocal(t, (SQUnsignedInteger)level, (SQUnsignedInteger)seq))) {
    SQObjectPtr val = t->Top();
    t->Pop();
    sq_pushstring(v, name, -1);
    v->Push(val);
    sq_newslot(v, -3, SQFalse);
    seq++;
  }
  sq_newslot(v, -3, SQFalse);
  return 1;
}

SQInteger base_getstackinfos(HSQUIRRELVM v) {
  SQInteger level;
  sq_getinteger(v, -1, &level);
  return PushStackInfos(v, v, level);
}

SQInteger base_assert(HSQUIRRELVM v) {
  SQObjectPtr& o = A(v, 2);
  if (!sq_objtobool(&o)) return Throw(v, "assertion failed");
  return 0;
}

SQInteger base_print(HSQUIRRELVM v) {
  SQObjectPtr s;
  try {
    v->ToString(SQObjectPtr(A(v, 2)), s);
  } catch (SQVMError&) {
    return SQ_ERROR;
  }
  if (v->_ss->_printfunc) v->_ss->_printfunc(v, u"%s", _string(s)->_val);
  return 0;
}

SQInteger base_error(HSQUIRRELVM v) {
  SQObjectPtr s;
  try {
    v->ToString(SQObjectPtr(A(v, 2)), s);
  } catch (SQVMError&) {
    return SQ_ERROR;
  }
  SQPRINTFUNCTION f = v->_ss->_errorfunc ? v->_ss->_errorfunc : v->_ss->_printfunc;
  if (f) f(v, u"%s", _string(s)->_val);
  return 0;
}

SQInteger base_compilestring(HSQUIRRELVM v) {
  SQInteger n = NArgs(v);
  const SQChar* src;
  sq_getstring(v, 2, &src);
  const SQChar* name = u"unnamedbuffer";
  if (n > 2) sq_getstring(v, 3, &name);
  if (SQ_FAILED(sq_compilebuffer(v, src, _string(A(v, 2))->_len, name, SQFalse))) return SQ_ERROR;
  return 1;
}

SQInteger base_newthread(HSQUIRRELVM v) {
  SQObjectPtr f = A(v, 2);
  if (sqtype(f) == OT_NATIVECLOSURE) return Throw(v, "cannot create a thread from a native function");
  HSQUIRRELVM t = sq_newthread(v, 64);
  sq_move(t, v, 2);
  return 1;
}

SQInteger base_suspend(HSQUIRRELVM v) { return sq_suspendvm(v); }

SQInteger base_array(HSQUIRRELVM v) {
  SQInteger n;
  sq_getinteger(v, 2, &n);
  if (n < 0) return Throw(v, "array size cannot be negative");
  SQArray* a = sq_newarray_obj(v->_ss, n);
  SQObjectPtr ao(a);
  if (NArgs(v) > 2) {
    SQObjectPtr fill = A(v, 3);
    for (auto& x : a->_values) x = fill;
  }
  return Ret(v, ao);
}

SQInteger base_type(HSQUIRRELVM v) {
  return Ret(v, sq_str(v->_ss, sq_typename(sqtype(A(v, 2)))));
}

SQInteger base_callee(HSQUIRRELVM v) {
  if (v->_frames.size() < 2) return Throw(v, "no closure in the calls stack");
  return Ret(v, v->_frames[v->_frames.size() - 2].closure);
}

// ---------------------------------------------------------------- shared delegate members
// A member that is one API call on the object it was called on, leaving
// that call's result as the return value.
template <SQRESULT (*F)(HSQUIRRELVM, SQInteger)>
SQInteger OnSelf(HSQUIRRELVM v) {
  return SQ_FAILED(F(v, 1)) ? SQ_ERROR : 1;
}
// A table's rawset returns nothing.
SQInteger tbl_rawset(HSQUIRRELVM v) { return SQ_FAILED(sq_rawset(v, 1)) ? SQ_ERROR : 0; }
SQInteger d_weakref(HSQUIRRELVM v) {
  sq_weakref(v, 1);
  return 1;
}
SQInteger d_len(HSQUIRRELVM v) {
  sq_pushinteger(v, sq_getsize(v, 1));
  return 1;
}

// ---------------------------------------------------------------- numbers
SQInteger num_tofloat(HSQUIRRELVM v) {
  SQObjectPtr& o = A(v, 1);
  if (sqtype(o) == OT_BOOL) return Ret(v, SQObjectPtr((SQFloat)(_integer(o) ? 1 : 0)));
  return Ret(v, SQObjectPtr(tofloat(o)));
}
SQInteger num_tointeger(HSQUIRRELVM v) {
  SQObjectPtr& o = A(v, 1);
  if (sqtype(o) == OT_BOOL) return Ret(v, SQObjectPtr((SQInteger)(_integer(o) ? 1 : 0)));
  if (sqtype(o) == OT_FLOAT) {
    SQFloat f = _float(o);
    SQInteger i;
    if (std::isnan(f)) i = 0;
    else if (f >= 2147483648.0f || f < -2147483648.0f) i = (SQInteger)0x80000000u;
    else i = (SQInteger)f;
    return Ret(v, SQObjectPtr(i));
  }
  return Ret(v, SQObjectPtr(_integer(o)));
}
SQInteger num_tochar(HSQUIRRELVM v) {
  SQObjectPtr& o = A(v, 1);
  SQChar c = (SQChar)tointeger(o);
  sq_pushstring(v, &c, 1);
  return 1;
}

// ---------------------------------------------------------------- strings
SQInteger str_tointeger(HSQUIRRELVM v) {
  SQString* s = _string(A(v, 1));
  SQObjectPtr r;
  if (!StrToNum(s->_val, s->_len, r, false)) return Throw(v, "cannot convert the string");
  return Ret(v, r);
}
SQInteger str_tofloat(HSQUIRRELVM v) {
  SQString* s = _string(A(v, 1));
  SQObjectPtr r;
  if (!StrToNum(s->_val, s->_len, r, true)) return Throw(v, "cannot convert the string");
  return Ret(v, r);
}
bool SliceArgs(HSQUIRRELVM v, SQInteger len, SQInteger& s, SQInteger& e) {
  s = 0;
  e = len;
  if (NArgs(v) > 1) s = tointeger(A(v, 2));
  if (NArgs(v) > 2) e = tointeger(A(v, 3));
  if (s < 0) s += len;
  if (e < 0) e += len;
  return true;
}
SQInteger str_slice(HSQUIRRELVM v) {
  SQString* str = _string(A(v, 1));
  SQInteger s, e;
  SliceArgs(v, str->_len, s, e);
  if (s > e) return Throw(v, "wrong indexes");
  if (s < 0 || e > str->_len) return Throw(v, "slice out of range");
  sq_pushstring(v, str->_val + s, e - s);
  return 1;
}
SQInteger str_find(HSQUIRRELVM v) {
  SQString* str = _string(A(v, 1));
  SQString* sub = _string(A(v, 2));
  SQInteger start = 0;
  if (NArgs(v) > 2) start = tointeger(A(v, 3));
  if (start < 0 || start > str->_len) return 0;
  std::u16string_view h(str->_val, (size_t)str->_len);
  size_t p = h.find(std::u16string_view(sub->_val, (size_t)sub->_len), (size_t)start);
  if (p == std::u16string_view::npos) return 0;
  sq_pushinteger(v, (SQInteger)p);
  return 1;
}
SQInteger str_case(HSQUIRRELVM v, bool upper) {
  SQString* str = _string(A(v, 1));
  sqstring s(str->_val, (size_t)str->_len);
  for (auto& c : s) {
    if (upper && c >= 'a' && c <= 'z') c = (SQChar)(c - 32);
    if (!upper && c >= 'A' && c <= 'Z') c = (SQChar)(c + 32);
  }
  return Ret(v, sq_str16(v->_ss, s));
}
SQInteger str_tolower(HSQUIRRELVM v) { return str_case(v, false); }
SQInteger str_toupper(HSQUIRRELVM v) { return str_case(v, true); }

// ---------------------------------------------------------------- tables
SQInteger obj_rawin(HSQUIRRELVM v) {
  SQObjectPtr self = A(v, 1), key = A(v, 2), r;
  bool found = false;
  switch (sqtype(self)) {
    case OT_TABLE: found = _table(self)->Get(key, r); break;
    case OT_CLASS: found = _class(self)->Get(key, r); break;
    case OT_INSTANCE: found = _instance(self)->Get(key, r); break;
    default: break;
  }
  sq_pushbool(v, found);
  return 1;
}
SQInteger tbl_rawdelete(HSQUIRRELVM v) {
  if (SQ_FAILED(sq_rawdeleteslot(v, 1, SQTrue))) return SQ_ERROR;
  return 1;
}
SQInteger obj_clear(HSQUIRRELVM v) {
  sq_clear(v, 1);
  return 0;
}
SQInteger tbl_setdelegate(HSQUIRRELVM v) {
  if (SQ_FAILED(sq_setdelegate(v, 1))) return SQ_ERROR;
  sq_push(v, 1);
  return 1;
}

// ---------------------------------------------------------------- arrays
SQInteger arr_append(HSQUIRRELVM v) {
  _array(A(v, 1))->_values.push_back(A(v, 2));
  return 0;
}
SQInteger arr_extend(HSQUIRRELVM v) {
  SQArray* a = _array(A(v, 1));
  SQValueVector src = _array(A(v, 2))->_values;
  for (auto& x : src) a->_values.push_back(x);
  return 0;
}
SQInteger arr_pop(HSQUIRRELVM v) {
  SQArray* a = _array(A(v, 1));
  if (a->_values.empty()) return Throw(v, "empty array");
  SQObjectPtr r = a->_values.back();
  a->_values.pop_back();
  return Ret(v, r);
}
SQInteger arr_top(HSQUIRRELVM v) {
  SQArray* a = _array(A(v, 1));
  if (a->_values.empty()) return Throw(v, "top() on a empty array");
  return Ret(v, a->_values.back());
}
SQInteger arr_insert(HSQUIRRELVM v) {
  SQArray* a = _array(A(v, 1));
  SQInteger i = tointeger(A(v, 2));
  if (i < 0 || i > a->Size()) return Throw(v, "index out of range");
  a->_values.insert(a->_values.begin() + i, A(v, 3));
  return 0;
}
SQInteger arr_remove(HSQUIRRELVM v) {
  SQArray* a = _array(A(v, 1));
  SQInteger i = tointeger(A(v, 2));
  if (i < 0 || i >= a->Size()) return Throw(v, "idx out of range");
  SQObjectPtr r = a->_values[(size_t)i];
  a->_values.erase(a->_values.begin() + i);
  return Ret(v, r);
}
SQInteger arr_resize(HSQUIRRELVM v) {
  SQArray* a = _array(A(v, 1));
  SQInteger n = tointeger(A(v, 2));
  if (n < 0) return Throw(v, "resizing to a negative size");
  SQObjectPtr fill;
  if (NArgs(v) > 2) fill = A(v, 3);
  size_t old = a->_values.size();
  a->_values.resize((size_t)n);
  for (size_t i = old; i < a->_values.size(); i++) a->_values[i] = fill;
  return 0;
}
SQInteger arr_reverse(HSQUIRRELVM v) {
  sq_arrayreverse(v, 1);
  return 0;
}
SQInteger arr_slice(HSQUIRRELVM v) {
  SQArray* a = _array(A(v, 1));
  SQInteger s, e;
  SliceArgs(v, a->Size(), s, e);
  if (s > e) return Throw(v, "wrong indexes");
  if (s < 0 || e > a->Size()) return Throw(v, "slice out of range");
  SQArray* r = sq_newarray_obj(v->_ss, 0);
  SQObjectPtr ro(r);
  for (SQInteger i = s; i < e; i++) r->_values.push_back(a->_values[(size_t)i]);
  return Ret(v, ro);
}

bool CallFn(HSQUIRRELVM v, const SQObjectPtr& fn, const SQObject& self, SQInteger nargs, const SQObject* args,
            SQObjectPtr& ret) {
  SQInteger top = v->_top;
  v->Push(fn);
  SQInteger base = v->_top;
  v->Push(self);
  for (SQInteger i = 0; i < nargs; i++) v->Push(args[i]);
  bool ok = v->Call(fn, nargs + 1, base, ret, false);
  v->Pop(v->_top - top);
  return ok;
}

SQInteger arr_map(HSQUIRRELVM v) {
  SQObjectPtr ao = A(v, 1), fn = A(v, 2);
  SQArray* a = _array(ao);
  SQArray* r = sq_newarray_obj(v->_ss, 0);
  SQObjectPtr ro(r);
  for (SQInteger i = 0; i < a->Size(); i++) {
    SQObjectPtr x = a->_values[(size_t)i], res;
    if (!CallFn(v, fn, v->_roottable, 1, &x, res)) return SQ_ERROR;
    r->_values.push_back(res);
  }
  return Ret(v, ro);
}
SQInteger arr_apply(HSQUIRRELVM v) {
  SQObjectPtr ao = A(v, 1), fn = A(v, 2);
  SQArray* a = _array(ao);
  for (SQInteger i = 0; i < a->Size(); i++) {
    SQObjectPtr x = a->_values[(size_t)i], res;
    if (!CallFn(v, fn, v->_roottable, 1, &x, res)) return SQ_ERROR;
    if (i < a->Size()) a->_values[(size_t)i] = res;
  }
  return 0;
}
SQInteger arr_reduce(HSQUIRRELVM v) {
  SQObjectPtr ao = A(v, 1), fn = A(v, 2);
  SQArray* a = _array(ao);
  if (a->Size() == 0) return 0;
  SQObjectPtr acc = a->_values[0];
  for (SQInteger i = 1; i < a->Size(); i++) {
    SQObjectPtr args[2] = {acc, a->_values[(size_t)i]}, res;
    if (!CallFn(v, fn, v->_roottable, 2, args, res)) return SQ_ERROR;
    acc = res;
  }
  return Ret(v, acc);
}
SQInteger arr_filter(HSQUIRRELVM v) {
  SQObjectPtr ao = A(v, 1), fn = A(v, 2);
  SQArray* a = _array(ao);
  SQArray* r = sq_newarray_obj(v->_ss, 0);
  SQObjectPtr ro(r);
  for (SQInteger i = 0; i < a->Size(); i++) {
    SQObjectPtr args[2] = {SQObjectPtr(i), a->_values[(size_t)i]}, res;
    if (!CallFn(v, fn, v->_roottable, 2, args, res)) return SQ_ERROR;
    if (sq_objtobool(&res)) r->_values.push_back(args[1]);
  }
  return Ret(v, ro);
}
SQInteger arr_find(HSQUIRRELVM v) {
  SQArray* a = _array(A(v, 1));
  SQObjectPtr x = A(v, 2);
  for (SQInteger i = 0; i < a->Size(); i++)
    if (v->IsEqual(a->_values[(size_t)i], x)) {
      sq_pushinteger(v, i);
      return 1;
    }
  return 0;
}

bool SortCompare(HSQUIRRELVM v, const SQObjectPtr& fn, const SQObjectPtr& a, const SQObjectPtr& b, SQInteger& r) {
  if (sqtype(fn) == OT_NULL) {
    if (sqtype(a) == OT_INTEGER && sqtype(b) == OT_INTEGER) {
      r = _integer(a) < _integer(b) ? -1 : _integer(a) > _integer(b) ? 1 : 0;
      return true;
    }
    r = v->Compare(a, b);
    return true;
  }
  SQObjectPtr res;
  SQInteger top = v->_top;
  v->EnsureStack(top + 4);
  v->_stack[(size_t)top] = fn;
  v->_stack[(size_t)top + 1] = v->_roottable;
  v->_stack[(size_t)top + 2] = a;
  v->_stack[(size_t)top + 3] = b;
  v->_top = top + 4;
  bool ok = v->Call(fn, 3, top + 1, res, false);
  v->Pop(v->_top - top);
  if (!ok) return false;
  if (sqtype(res) == OT_FLOAT) {
    // a float result counts by its sign
    r = _float(res) < 0 ? -1 : _float(res) > 0 ? 1 : 0;
    return true;
  }
  if (sqtype(res) != OT_INTEGER) {
    v->_lasterror = sq_str(v->_ss, "numeric value expected as return value of the compare function");
    return false;
  }
  r = _integer(res);
  return true;
}

// Heap sort whose children of node n are 2n and 2n+1 (the order of equal
// elements scripts observe depends on this exact shape).
bool SiftDown(HSQUIRRELVM v, SQArray* a, SQInteger root, SQInteger bottom, const SQObjectPtr& fn) {
  for (;;) {
    if (bottom >= a->Size()) {  // the comparator shrank the array
      v->_lasterror = sq_str(v->_ss, "array modified during sort");
      return false;
    }
    SQInteger child = root * 2;
    if (child > bottom) return true;
    SQInteger best = child;
    SQInteger r;
    if (child != bottom) {
      if (!SortCompare(v, fn, a->_values[(size_t)child], a->_values[(size_t)child + 1], r)) return false;
      if (r <= 0) best = child + 1;
    }
    if (best >= a->Size() || root >= a->Size()) {
      v->_lasterror = sq_str(v->_ss, "array modified during sort");
      return false;
    }
    if (!SortCompare(v, fn, a->_values[(size_t)root], a->_values[(size_t)best], r)) return false;
    if (r >= 0) return true;
    if (root == best) {
      v->_lasterror = sq_str(v->_ss, "inconsistent compare function");
      return false;
    }
    std::swap(a->_values[(size_t)root], a->_values[(size_t)best]);
    root = best;
  }
}

SQInteger arr_sort(HSQUIRRELVM v) {
  SQObjectPtr ao = A(v, 1);
  SQObjectPtr fn;
  if (NArgs(v) > 1) fn = A(v, 2);
  SQArray* a = _array(ao);
  SQInteger n = a->Size();
  try {
    if (n > 1) {
      for (SQInteger i = n / 2; i >= 0; i--)
        if (!SiftDown(v, a, i, n - 1, fn)) return SQ_ERROR;
      for (SQInteger i = n - 1; i >= 1; i--) {
        if (i >= a->Size()) return Throw(v, "array modified during sort");
        std::swap(a->_values[0], a->_values[(size_t)i]);
        if (!SiftDown(v, a, 0, i - 1, fn)) return SQ_ERROR;
      }
    }
  } catch (SQVMError&) {
    return SQ_ERROR;
  }
  return 0;
}

// ---------------------------------------------------------------- closures
SQInteger fn_call(HSQUIRRELVM v) {
  SQObjectPtr fn = A(v, 1), ret;
  SQInteger n = NArgs(v) - 1;
  if (!v->Call(fn, n, v->_stackbase + 1, ret, true)) return SQ_ERROR;
  return Ret(v, ret);
}
SQInteger fn_pcall(HSQUIRRELVM v) {
  SQObjectPtr fn = A(v, 1), ret;
  SQInteger n = NArgs(v) - 1;
  if (!v->Call(fn, n, v->_stackbase + 1, ret, false)) return SQ_ERROR;
  return Ret(v, ret);
}
SQInteger fn_acall_impl(HSQUIRRELVM v, bool raise) {
  SQObjectPtr fn = A(v, 1), arr = A(v, 2), ret;
  SQArray* a = _array(arr);
  if (a->Size() == 0) return Throw(v, "wrong number of parameters");
  SQInteger base = v->_top;
  for (auto& x : a->_values) v->Push(x);
  bool ok = v->Call(fn, a->Size(), base, ret, raise);
  v->Pop(v->_top - base);
  if (!ok) return SQ_ERROR;
  return Ret(v, ret);
}
SQInteger fn_acall(HSQUIRRELVM v) { return fn_acall_impl(v, true); }
SQInteger fn_pacall(HSQUIRRELVM v) { return fn_acall_impl(v, false); }
SQInteger fn_getinfos(HSQUIRRELVM v) {
  SQObjectPtr o = A(v, 1);
  SQTable* t = sq_newtable_obj(v->_ss);
  SQObjectPtr to(t);
  SQSharedState* ss = v->_ss;
  if (sqtype(o) == OT_CLOSURE) {
    SQFunctionProto* p = _closure(o)->proto();
    SQArray* params = sq_newarray_obj(ss, 0);
    SQObjectPtr po(params);
    for (auto& pn : p->params) params->_values.push_back(pn);
    if (p->varparams) params->_values.push_back(sq_str(ss, "..."));
    SQArray* defs = sq_newarray_obj(ss, 0);
    SQObjectPtr dobj(defs);
    for (auto& d : _closure(o)->_defaults) defs->_values.push_back(d);
    t->NewSlot(sq_str(ss, "native"), SQObjectPtr(false));
    t->NewSlot(sq_str(ss, "name"), p->name);
    t->NewSlot(sq_str(ss, "src"), p->source);
    t->NewSlot(sq_str(ss, "parameters"), po);
    t->NewSlot(sq_str(ss, "varargs"), SQObjectPtr((SQInteger)(p->varparams ? 1 : 0)));
    t->NewSlot(sq_str(ss, "defparams"), dobj);
  } else {
    SQNativeClosure* nc = _nativeclosure(o);
    SQObjectPtr tmo;
    if (!nc->_typecheck.empty()) {
      SQArray* tm = sq_newarray_obj(ss, 0);
      tmo = SQObjectPtr(tm);
      for (auto m : nc->_typecheck) tm->_values.push_back(SQObjectPtr((SQInteger)m));
    }
    t->NewSlot(sq_str(ss, "native"), SQObjectPtr(true));
    t->NewSlot(sq_str(ss, "name"), nc->_name);
    t->NewSlot(sq_str(ss, "paramscheck"), SQObjectPtr(nc->_nparamscheck));
    t->NewSlot(sq_str(ss, "typecheck"), tmo);
  }
  return Ret(v, to);
}

// ---------------------------------------------------------------- generators and threads
SQInteger gen_getstatus(HSQUIRRELVM v) {
  SQGenerator* g = _generator(A(v, 1));
  const char* s = g->_state == SQGenerator::eRunning ? "running" : g->_state == SQGenerator::eSuspended ? "suspended" : "dead";
  return Ret(v, sq_str(v->_ss, s));
}

// Hands a thread's call or wake-up result back to the caller: an error moves
// over with the thread's stack cleared; a value is returned, and a thread that
// did not suspend is left with only its function on the stack.
SQInteger ThreadResult(HSQUIRRELVM v, SQVM* t, SQRESULT res) {
  if (SQ_FAILED(res)) {
    while (t->_top > 1) t->Pop();
    v->_lasterror = t->_lasterror;
    return SQ_ERROR;
  }
  SQObjectPtr r = t->Top();
  t->Pop();
  if (t->_state != SQ_VMSTATE_SUSPENDED)
    while (t->_top > 1) t->Pop();
  return Ret(v, r);
}

SQInteger thr_call(HSQUIRRELVM v) {
  SQObjectPtr to = A(v, 1);
  SQVM* t = _thread(to);
  if (t->_state != SQ_VMSTATE_IDLE) return Throw(v, "wrong status");
  SQInteger n = NArgs(v);
  // the thread's function sits at its stack bottom (pushed by newthread)
  t->_stackbase = 0;
  while (t->_top > 1) t->Pop();
  t->Push(v->_roottable);
  for (SQInteger i = 2; i <= n; i++) t->Push(A(v, i));
  return ThreadResult(v, t, sq_call(t, n, SQTrue, SQTrue));
}

SQInteger thr_wakeup(HSQUIRRELVM v) {
  SQObjectPtr to = A(v, 1);
  SQVM* t = _thread(to);
  if (t->_state == SQ_VMSTATE_IDLE) return Throw(v, "cannot wakeup a idle thread");
  if (t->_state == SQ_VMSTATE_RUNNING) return Throw(v, "cannot wakeup a running thread");
  bool hasval = NArgs(v) > 1;
  if (hasval) t->Push(A(v, 2));
  return ThreadResult(v, t, sq_wakeupvm(t, hasval, SQTrue, SQTrue, SQFalse));
}

SQInteger thr_getstatus(HSQUIRRELVM v) {
  SQVM* t = _thread(A(v, 1));
  const char* s = t->_state == SQ_VMSTATE_IDLE ? "idle" : t->_state == SQ_VMSTATE_RUNNING ? "running" : "suspended";
  return Ret(v, sq_str(v->_ss, s));
}

SQInteger thr_getstackinfos(HSQUIRRELVM v) {
  SQObjectPtr to = A(v, 1);
  return PushStackInfos(v, _thread(to), tointeger(A(v, 2)));
}

// ---------------------------------------------------------------- classes and instances
SQInteger cls_newmember_impl(HSQUIRRELVM v, bool raw) {
  SQInteger n = NArgs(v);
  SQObjectPtr self = A(v, 1), key = A(v, 2), val, attrs;
  bool bstatic = false;
  if (n > 2) val = A(v, 3);
  if (n > 3) attrs = A(v, 4);
  if (n > 4) bstatic = sq_objtobool(&A(v, 5));
  try {
    v->NewSlot(self, key, val, attrs, (bstatic ? 1 : 0) | 2, raw);
  } catch (SQVMError&) {
    return SQ_ERROR;
  }
  return 0;
}
SQInteger cls_newmember(HSQUIRRELVM v) { return cls_newmember_impl(v, false); }
SQInteger cls_rawnewmember(HSQUIRRELVM v) { return cls_newmember_impl(v, true); }

struct Reg {
  const char* name;
  SQFUNCTION f;
  SQInteger nparams;
  const char* mask;
};

SQObjectPtr MakeTable(SQSharedState* ss, const Reg* regs) {
  SQTable* t = sq_newtable_obj(ss);
  SQObjectPtr to(t);
  for (const Reg* r = regs; r->name; r++) {
    SQNativeClosure* nc = sq_newnative(ss, r->f, r->name);
    SQObjectPtr nco(nc);
    sqstring mask = r->mask ? sq_ascii(r->mask) : sqstring();
    sq_settypemask(nc, r->nparams, r->mask ? mask.c_str() : nullptr);
    t->NewSlot(sq_str(ss, r->name), nco);
  }
  return to;
}

const Reg kNumber[] = {{"tofloat", num_tofloat, 1, "n|b"},     {"tostring", OnSelf<sq_tostring>, 1, "."},
                       {"tointeger", num_tointeger, 1, "n|b"}, {"tochar", num_tochar, 1, "n|b"},
                       {"weakref", d_weakref, 1, nullptr},     {nullptr, nullptr, 0, nullptr}};
const Reg kString[] = {{"len", d_len, 1, "s"},           {"tointeger", str_tointeger, 1, "s"},
                       {"tofloat", str_tofloat, 1, "s"}, {"tostring", OnSelf<sq_tostring>, 1, "."},
                       {"slice", str_slice, -1, "snn"}, {"find", str_find, -2, "s s n "},
                       {"tolower", str_tolower, 1, "s"}, {"toupper", str_toupper, 1, "s"},
                       {"weakref", d_weakref, 1, nullptr}, {nullptr, nullptr, 0, nullptr}};
const Reg kTable[] = {{"len", d_len, 1, "t"},
                      {"rawget", OnSelf<sq_rawget>, 2, "t"},
                      {"rawset", tbl_rawset, 3, "t"},
                      {"rawdelete", tbl_rawdelete, 2, "t"},
                      {"rawin", obj_rawin, 2, "t"},
                      {"weakref", d_weakref, 1, nullptr},
                      {"tostring", OnSelf<sq_tostring>, 1, "."},
                      {"clear", obj_clear, 1, "."},
                      {"setdelegate", tbl_setdelegate, 2, ".t|o"},
                      {"getdelegate", OnSelf<sq_getdelegate>, 1, "."},
                      {nullptr, nullptr, 0, nullptr}};
const Reg kArray[] = {{"len", d_len, 1, "a"},          {"append", arr_append, 2, "a"},
                      {"extend", arr_extend, 2, "aa"}, {"push", arr_append, 2, "a"},
                      {"pop", arr_pop, 1, "a"},        {"top", arr_top, 1, "a"},
                      {"insert", arr_insert, 3, "an"}, {"remove", arr_remove, 2, "an"},
                      {"resize", arr_resize, -2, "an"}, {"reverse", arr_reverse, 1, "a"},
                      {"sort", arr_sort, -1, "ac"},    {"slice", arr_slice, -1, "ann"},
                      {"weakref", d_weakref, 1, nullptr}, {"tostring", OnSelf<sq_tostring>, 1, "."},
                      {"clear", obj_clear, 1, "."},    {"map", arr_map, 2, "ac"},
                      {"apply", arr_apply, 2, "ac"},   {"reduce", arr_reduce, 2, "ac"},
                      {"filter", arr_filter, 2, "ac"}, {"find", arr_find, 2, "a."},
                      {nullptr, nullptr, 0, nullptr}};
const Reg kClosure[] = {{"call", fn_call, -1, "c"},         {"pcall", fn_pcall, -1, "c"},
                        {"acall", fn_acall, 2, "ca"},       {"pacall", fn_pacall, 2, "ca"},
                        {"weakref", d_weakref, 1, nullptr}, {"tostring", OnSelf<sq_tostring>, 1, "."},
                        {"bindenv", OnSelf<sq_bindenv>, 2, "c x|y|t"}, {"getinfos", fn_getinfos, 1, "c"},
                        {nullptr, nullptr, 0, nullptr}};
const Reg kGenerator[] = {{"getstatus", gen_getstatus, 1, "g"},
                          {"weakref", d_weakref, 1, nullptr},
                          {"tostring", OnSelf<sq_tostring>, 1, "."},
                          {nullptr, nullptr, 0, nullptr}};
const Reg kThread[] = {{"call", thr_call, -1, "v"},         {"wakeup", thr_wakeup, -1, "v"},
                       {"getstatus", thr_getstatus, 1, "v"}, {"weakref", d_weakref, 1, nullptr},
                       {"getstackinfos", thr_getstackinfos, 2, "vn"}, {"tostring", OnSelf<sq_tostring>, 1, "."},
                       {nullptr, nullptr, 0, nullptr}};
const Reg kClass[] = {{"getattributes", OnSelf<sq_getattributes>, 2, "y."},
                      {"setattributes", OnSelf<sq_setattributes>, 3, "y.."},
                      {"rawget", OnSelf<sq_rawget>, 2, "y"},
                      {"rawset", OnSelf<sq_rawset>, 3, "y"},
                      {"rawin", obj_rawin, 2, "y"},
                      {"weakref", d_weakref, 1, nullptr},
                      {"tostring", OnSelf<sq_tostring>, 1, "."},
                      {"instance", OnSelf<sq_createinstance>, 1, "y"},
                      {"getbase", OnSelf<sq_getbase>, 1, "y"},
                      {"newmember", cls_newmember, -3, "y"},
                      {"rawnewmember", cls_rawnewmember, -3, "y"},
                      {nullptr, nullptr, 0, nullptr}};
const Reg kInstance[] = {{"getclass", OnSelf<sq_getclass>, 1, "x"}, {"rawget", OnSelf<sq_rawget>, 2, "x"},
                         {"rawset", OnSelf<sq_rawset>, 3, "x"},      {"rawin", obj_rawin, 2, "x"},
                         {"weakref", d_weakref, 1, nullptr},  {"tostring", OnSelf<sq_tostring>, 1, "."},
                         {nullptr, nullptr, 0, nullptr}};
const Reg kWeakref[] = {{"ref", OnSelf<sq_getweakrefval>, 1, "r"},
                        {"weakref", d_weakref, 1, nullptr},
                        {"tostring", OnSelf<sq_tostring>, 1, "."},
                        {nullptr, nullptr, 0, nullptr}};

const Reg kBase[] = {{"seterrorhandler", base_seterrorhandler, 2, nullptr},
                     {"setdebughook", base_setdebughook, 2, nullptr},
                     {"enabledebuginfo", base_enabledebuginfo, 2, nullptr},
                     {"getstackinfos", base_getstackinfos, 2, ".n"},
                     {"getroottable", base_getroottable, 1, nullptr},
                     {"setroottable", base_setroottable, 2, nullptr},
                     {"getconsttable", base_getconsttable, 1, nullptr},
                     {"setconsttable", base_setconsttable, 2, nullptr},
                     {"assert", base_assert, 2, nullptr},
                     {"print", base_print, 2, nullptr},
                     {"error", base_error, 2, nullptr},
                     {"compilestring", base_compilestring, -2, ".ss"},
                     {"newthread", base_newthread, 2, ".c"},
                     {"suspend", base_suspend, -1, nullptr},
                     {"array", base_array, -2, ".n"},
                     {"type", base_type, 2, nullptr},
                     {"callee", base_callee, 1, nullptr},
                     {"dummy", base_dummy, 0, nullptr},
                     {"collectgarbage", base_collectgarbage, 1, nullptr},
                     {"resurrectunreachable", base_resurrectunreachable, 1, nullptr},
                     {nullptr, nullptr, 0, nullptr}};

}  // namespace

bool sq_str2num(const SQChar* s, SQInteger len, SQObjectPtr& out, bool wantfloat) {
  return StrToNum(s, len, out, wantfloat);
}

void sq_initdelegates(SQSharedState* ss) {
  ss->_numberDelegate = MakeTable(ss, kNumber);
  ss->_stringDelegate = MakeTable(ss, kString);
  ss->_tableDelegate = MakeTable(ss, kTable);
  ss->_arrayDelegate = MakeTable(ss, kArray);
  ss->_closureDelegate = MakeTable(ss, kClosure);
  ss->_generatorDelegate = MakeTable(ss, kGenerator);
  ss->_threadDelegate = MakeTable(ss, kThread);
  ss->_classDelegate = MakeTable(ss, kClass);
  ss->_instanceDelegate = MakeTable(ss, kInstance);
  ss->_weakrefDelegate = MakeTable(ss, kWeakref);
}

void sq_registerbaselib(SQVM* v) {
  SQSharedState* ss = v->_ss;
  SQObjectPtr base = MakeTable(ss, kBase);
  SQTable* root = _table(v->_roottable);
  SQObjectPtr k, val;
  for (SQInteger i = 0; (i = _table(base)->Next(i, k, val)) >= 0; i++) root->NewSlot(k, val);
  root->NewSlot(sq_str(ss, "_version_"), sq_str(ss, "Squirrel 3.0.4 stable"));
  root->NewSlot(sq_str(ss, "_versionnumber_"), SQObjectPtr((SQInteger)304));
  root->NewSlot(sq_str(ss, "_charsize_"), SQObjectPtr((SQInteger)sizeof(SQChar)));
  root->NewSlot(sq_str(ss, "_intsize_"), SQObjectPtr((SQInteger)sizeof(SQInteger)));
  root->NewSlot(sq_str(ss, "_floatsize_"), SQObjectPtr((SQInteger)sizeof(SQFloat)));
}
