// The interpreter and the object protocol (get/set/arith/compare...).
#include "sqvm.h"

#include <cinttypes>
#include <cmath>
#include <stdexcept>
#include <cstdarg>
#include <cstdio>

#include "sqopcodes.h"

const char* sq_typename(SQObjectType t) {
  switch (t) {
    case OT_NULL: return "null";
    case OT_INTEGER: return "integer";
    case OT_FLOAT: return "float";
    case OT_BOOL: return "bool";
    case OT_STRING: return "string";
    case OT_TABLE: return "table";
    case OT_ARRAY: return "array";
    case OT_USERDATA: return "userdata";
    case OT_CLOSURE: return "function";
    case OT_NATIVECLOSURE: return "function";
    case OT_GENERATOR: return "generator";
    case OT_USERPOINTER: return "userpointer";
    case OT_THREAD: return "thread";
    case OT_FUNCPROTO: return "function";
    case OT_CLASS: return "class";
    case OT_INSTANCE: return "instance";
    case OT_WEAKREF: return "weakref";
    case OT_OUTER: return "outer";
    default: return "unknown";
  }
}

// ---------------------------------------------------------------- VM object
SQVM::SQVM(SQSharedState* ss) : SQCollectable(ss) {
  _stack.resize(64);
  _frames.reserve(16);
}

SQVM::~SQVM() {
  if (HasHook()) g_sqhookusers--;
  // closures made by this thread keep the values of its live locals
  CloseOuters(0);
}

void SQVM::GrowStack(SQInteger n) {
  if (n > SQ_MAX_STACK) RaiseAscii("stack overflow");
  size_t ns = _stack.size() * 2;
  while ((SQInteger)ns < n) ns *= 2;
  _stack.resize(ns);
}

void SQVM::Traverse(void (*fn)(const SQObject&, void*), void* ud) {
  for (SQInteger i = 0; i < (SQInteger)_stack.size(); i++) fn(_stack[(size_t)i], ud);
  for (auto& f : _frames) fn(f.closure, ud);
  fn(_roottable, ud);
  fn(_lasterror, ud);
  fn(_errorhandler, ud);
  fn(_debughook, ud);
  fn(_suspendvalue, ud);
  fn(_badslot, ud);
}

void SQVM::Clear() {
  SetHook(SQObjectPtr(), nullptr);
  CloseOuters(0);
  _frames.clear();
  _traps.clear();
  for (auto& s : _stack) s.Null();
  _roottable.Null();
  _lasterror.Null();
  _errorhandler.Null();
  _debughook.Null();
  _suspendvalue.Null();
  _badslot.Null();
}

// ---------------------------------------------------------------- errors
void SQVM::Raise(const sqstring& msg) {
  _lasterror = sq_str16(_ss, msg);
  throw SQVMError{};
}

void SQVM::RaiseAscii(const char* fmt, ...) {
  char buf[1024];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  _lasterror = sq_str(_ss, buf);
  throw SQVMError{};
}

void SQVM::RaiseObj(const SQObject& o) {
  _lasterror = o;
  throw SQVMError{};
}

// Values inside error texts: strings cut to 50 units, floats with 14
// significant digits, anything else by its type name.
SQString* SQVM::PrintObj(const SQObject& o) {
  switch (sqtype(o)) {
    case OT_STRING: {
      SQString* s = _string(o);
      return s->_len <= 50 ? s : SQString::Create(_ss, s->_val, 50);
    }
    case OT_INTEGER: {
      SQChar digits[12];
      return SQString::Create(_ss, digits, sq_intdigits(_integer(o), digits));
    }
    case OT_FLOAT: {
      char buf[64];
      snprintf(buf, sizeof buf, "%.14g", (double)_float(o));
      return _ss->Str(buf);
    }
    default: return _ss->Str(sq_typename(sqtype(o)));
  }
}

void SQVM::RaiseIdxNotExist(const SQObject& key) {
  SQObjectPtr k(PrintObj(key));
  Raise(u"the index '" + _string(k)->str() + u"' does not exist");
}

void SQVM::RaiseCompare(const SQObject& a, const SQObject& b) {
  SQObjectPtr x(PrintObj(a)), y(PrintObj(b));
  Raise(u"comparison between '" + _string(x)->str() + u"' and '" + _string(y)->str() + u"'");
}

void SQVM::RaiseArith(int op, const SQObject& a, const SQObject& b) {
  RaiseAscii("arith op %c on between '%s' and '%s'", op, sq_typename(sqtype(a)), sq_typename(sqtype(b)));
}

static std::string MaskNames(SQInteger mask) {
  static const SQObjectType all[] = {OT_NULL, OT_INTEGER, OT_FLOAT, OT_BOOL, OT_STRING, OT_TABLE,
                                     OT_ARRAY, OT_USERDATA, OT_CLOSURE, OT_NATIVECLOSURE, OT_GENERATOR,
                                     OT_USERPOINTER, OT_THREAD, OT_FUNCPROTO, OT_CLASS, OT_INSTANCE,
                                     OT_WEAKREF, OT_OUTER};
  std::string s;
  for (SQObjectType t : all) {
    if (mask & _RAW_TYPE(t)) {
      if (!s.empty()) s += "|";
      s += sq_typename(t);
    }
  }
  return s;
}

void SQVM::RaiseParamType(SQInteger n, SQObjectType got, SQInteger mask) {
  RaiseAscii("parameter %d has an invalid type '%s' ; expected: '%s'", (int)n, sq_typename(got),
             MaskNames(mask).c_str());
}

void SQVM::CallErrorHandler(const SQObject& err) {
  if (sqtype(_errorhandler) == OT_NULL || _inerrorhandler) return;
  _inerrorhandler = true;
  SQObjectPtr e(err), h(_errorhandler), ret;
  SQInteger oldtop = _top;
  if (!_frames.empty() && !_frames.back().native && _frames.back().proto) {
    SQInteger t = _frames.back().base + _frames.back().proto->stacksize;
    if (_top < t) _top = t;
  }
  Push(h);
  SQInteger base = _top;
  Push(_roottable);
  Push(e);
  Call(h, 2, base, ret, false);
  Pop(_top - oldtop);
  _inerrorhandler = false;
}

// ---------------------------------------------------------------- conversions
bool sq_tostring_simple(SQSharedState* ss, const SQObject& o, SQObjectPtr& out) {
  char buf[64];
  switch (sqtype(o)) {
    case OT_STRING: out = o; return true;
    case OT_INTEGER: {
      SQChar digits[12];
      out = SQObjectPtr(SQString::Create(ss, digits, sq_intdigits(_integer(o), digits)));
      return true;
    }
    case OT_FLOAT: out = SQObjectPtr(SQString::Create(ss, sq_fmtfloat(_float(o)))); return true;
    case OT_BOOL: out = sq_str(ss, _integer(o) ? "true" : "false"); return true;
    case OT_NULL: out = sq_str(ss, "null"); return true;
    default:
      snprintf(buf, sizeof buf, "(%s : 0x%" PRIxPTR ")", sq_typename(sqtype(o)),
               reinterpret_cast<uintptr_t>(o._unVal.pRefCounted));
      out = sq_str(ss, buf);
      return true;
  }
}

void SQVM::ToString(const SQObject& o, SQObjectPtr& dest) {
  if (sqtype(o) == OT_INSTANCE || sqtype(o) == OT_TABLE || sqtype(o) == OT_USERDATA) {
    SQObjectPtr self(o), res;
    if (TryCallMeta(self, MT_TOSTRING, 0, nullptr, res)) {
      if (sqtype(res) == OT_STRING) {
        dest = res;
        return;
      }
    }
  }
  sq_tostring_simple(_ss, o, dest);
}

void SQVM::TypeOf(const SQObject& o, SQObjectPtr& dest) {
  if (sqtype(o) == OT_INSTANCE || sqtype(o) == OT_TABLE || sqtype(o) == OT_USERDATA) {
    SQObjectPtr self(o), res;
    if (TryCallMeta(self, MT_TYPEOF, 0, nullptr, res)) {
      dest = res;
      return;
    }
  }
  dest = sq_str(_ss, sq_typename(sqtype(o)));
}

// ---------------------------------------------------------------- metamethods
bool SQVM::GetMetaMethod(const SQObject& o, SQMetaMethod mm, SQObjectPtr& closure) {
  switch (sqtype(o)) {
    case OT_TABLE:
    case OT_USERDATA: {
      const SQObjectPtr& del = sqtype(o) == OT_TABLE ? _table(o)->_delegate : _userdata(o)->_delegate;
      // only the object's own delegate is searched, not the delegate's delegates
      return sqtype(del) == OT_TABLE && _table(del)->Get(_ss->_metanames[mm], closure);
    }
    case OT_INSTANCE: {
      const SQObjectPtr& m = _instance(o)->cls()->_metamethods[mm];
      if (sqtype(m) == OT_NULL) return false;
      closure = m;
      return true;
    }
    case OT_CLASS: {
      const SQObjectPtr& m = _class(o)->_metamethods[mm];
      if (sqtype(m) == OT_NULL) return false;
      closure = m;
      return true;
    }
    default: return false;
  }
}

void SQVM::CallMeta(const SQObject& closure, const SQObject& self, SQInteger nargs, const SQObject* args,
                    SQObjectPtr& ret) {
  SQObjectPtr c(closure);
  SQInteger oldtop = _top;
  if (!_frames.empty() && !_frames.back().native && _frames.back().proto) {
    SQInteger t = _frames.back().base + _frames.back().proto->stacksize;
    if (_top < t) _top = t;
  }
  SQInteger savedtop = _top;
  Push(c);
  SQInteger base = _top;
  Push(self);
  for (SQInteger i = 0; i < nargs; i++) Push(args[i]);
  bool ok = Call(c, nargs + 1, base, ret, false);
  Pop(_top - savedtop);
  _top = oldtop;
  if (!ok) throw SQVMError{};
}

bool SQVM::TryCallMeta(const SQObject& self, SQMetaMethod mm, SQInteger nargs, const SQObject* args,
                       SQObjectPtr& ret) {
  SQObjectPtr c;
  if (!GetMetaMethod(self, mm, c)) return false;
  CallMeta(c, self, nargs, args, ret);
  return true;
}

// ---------------------------------------------------------------- get/set
SQObjectPtr sq_defaultdelegate(SQSharedState* ss, SQObjectType t) {
  switch (t) {
    case OT_TABLE: return ss->_tableDelegate;
    case OT_ARRAY: return ss->_arrayDelegate;
    case OT_STRING: return ss->_stringDelegate;
    case OT_INTEGER: case OT_FLOAT: case OT_BOOL: return ss->_numberDelegate;
    case OT_CLOSURE: case OT_NATIVECLOSURE: return ss->_closureDelegate;
    case OT_GENERATOR: return ss->_generatorDelegate;
    case OT_THREAD: return ss->_threadDelegate;
    case OT_CLASS: return ss->_classDelegate;
    case OT_INSTANCE: return ss->_instanceDelegate;
    case OT_WEAKREF: return ss->_weakrefDelegate;
    default: return SQObjectPtr();
  }
}

// _get metamethod: returns false when the key is reported missing (throw null)
bool SQVM::InvokeGetMeta(const SQObject& self, const SQObject& key, SQObjectPtr& dest, int& status) {
  SQObjectPtr c;
  status = 0;
  if (!GetMetaMethod(self, MT_GET, c)) return false;
  try {
    CallMeta(c, self, 1, &key, dest);
  } catch (SQVMError&) {
    if (sqtype(_lasterror) == OT_NULL) {
      status = 1;
      return false;
    }
    throw;
  }
  return true;
}

bool SQVM::GetDelegated(const SQObject& self, const SQObject& key, SQObjectPtr& dest) {
  SQObjectPtr del = sq_defaultdelegate(_ss, sqtype(self));
  if (sqtype(del) == OT_TABLE) return _table(del)->Get(key, dest);
  return false;
}

bool SQVM::Get(const SQObject& self, const SQObject& key, SQObjectPtr& dest, bool raw, bool fallbackroot) {
  switch (sqtype(self)) {
    case OT_TABLE:
      if (_table(self)->Get(key, dest)) return true;
      break;
    case OT_ARRAY:
      if (sqtype(key) == OT_INTEGER || sqtype(key) == OT_FLOAT) {
        SQInteger i = tointeger(key);
        SQArray* a = _array(self);
        if (i >= 0 && i < a->Size()) {
          dest = sq_realval(a->_values[(size_t)i]);
          return true;
        }
        return false;
      }
      break;
    case OT_INSTANCE:
      if (_instance(self)->Get(key, dest)) return true;
      break;
    case OT_CLASS:
      if (_class(self)->Get(key, dest)) return true;
      break;
    case OT_STRING:
      if (sqtype(key) == OT_INTEGER || sqtype(key) == OT_FLOAT) {
        SQInteger i = tointeger(key);
        SQString* s = _string(self);
        if (i >= 0 && i < s->_len) {
          dest = SQObjectPtr((SQInteger)s->_val[i]);
          return true;
        }
        return false;
      }
      break;
    default: break;
  }
  if (!raw) {
    // delegates, then the _get metamethod, then the type's default delegate
    bool trymeta = false;
    switch (sqtype(self)) {
      case OT_TABLE:
      case OT_USERDATA: {
        const SQObjectPtr& del = sqtype(self) == OT_TABLE ? _table(self)->_delegate : _userdata(self)->_delegate;
        if (sqtype(del) == OT_TABLE) {
          SQObjectPtr d(del), k(key);
          if (++_nestedexec > SQ_MAX_NATIVE_NESTING + 50) {
            _nestedexec--;
            RaiseAscii("stack overflow");
          }
          bool found = Get(d, k, dest, false, false);
          _nestedexec--;
          if (found) return true;
          trymeta = true;
        }
        break;
      }
      case OT_INSTANCE: trymeta = true; break;
      default: break;
    }
    if (trymeta) {
      int st;
      if (InvokeGetMeta(self, key, dest, st)) return true;
    }
    if (GetDelegated(self, key, dest)) return true;
  }
  if (fallbackroot && sqtype(_roottable) == OT_TABLE) {
    if (_table(_roottable)->Get(key, dest)) return true;
  }
  return false;
}

void SQVM::GetOrRaise(const SQObject& self, const SQObject& key, SQObjectPtr& dest, bool fallbackroot) {
  SQObjectPtr s(self), k(key);
  if (!Get(s, k, dest, false, fallbackroot)) RaiseIdxNotExist(k);
}

bool SQVM::RawSet(const SQObject& self, const SQObject& key, const SQObject& val) {
  switch (sqtype(self)) {
    case OT_TABLE: return _table(self)->Set(key, val);
    case OT_INSTANCE: return _instance(self)->Set(key, val);
    case OT_ARRAY: {
      if (sqtype(key) != OT_INTEGER && sqtype(key) != OT_FLOAT) return false;
      SQInteger i = tointeger(key);
      SQArray* a = _array(self);
      if (i < 0 || i >= a->Size()) return false;
      a->_values[(size_t)i] = val;
      return true;
    }
    default: return false;
  }
}

// Assignment to an existing slot; false when no slot takes the value.
bool SQVM::TrySet(const SQObject& self, const SQObject& key, const SQObject& val) {
  switch (sqtype(self)) {
    case OT_TABLE:
      if (_table(self)->Set(key, val)) return true;
      break;
    case OT_INSTANCE:
      if (_instance(self)->Set(key, val)) return true;
      break;
    case OT_ARRAY:
      if (sqtype(key) != OT_INTEGER && sqtype(key) != OT_FLOAT)
        RaiseAscii("indexing %s with %s", sq_typename(sqtype(self)), sq_typename(sqtype(key)));
      if (!RawSet(self, key, val)) RaiseIdxNotExist(key);
      return true;
    case OT_USERDATA: break;
    default: RaiseAscii("trying to set '%s'", sq_typename(sqtype(self)));
  }
  SQObjectPtr s(self), k(key), v(val);
  if (sqtype(self) == OT_TABLE && sqtype(_table(self)->_delegate) == OT_TABLE) {
    SQObjectPtr d(_table(self)->_delegate);
    if (++_nestedexec > SQ_MAX_NATIVE_NESTING + 50) {
      _nestedexec--;
      RaiseAscii("stack overflow");
    }
    bool ok = TrySet(d, k, v);
    _nestedexec--;
    if (ok) return true;
  }
  SQObjectPtr c, r;
  if (GetMetaMethod(s, MT_SET, c)) {
    SQObjectPtr args[2] = {k, v};
    try {
      CallMeta(c, s, 2, args, r);
    } catch (SQVMError&) {
      if (sqtype(_lasterror) == OT_NULL) return false;
      throw;
    }
    return true;
  }
  return false;
}

void SQVM::Set(const SQObject& self, const SQObject& key, const SQObject& val, bool fallbackroot) {
  SQObjectPtr s(self), k(key), v(val);
  if (TrySet(s, k, v)) return;
  if (fallbackroot && sqtype(_roottable) == OT_TABLE && _table(_roottable)->Set(k, v)) return;
  RaiseIdxNotExist(k);
}

// bstatic: bit 0 static member, bit 1 declared as a class member (runs _newmember)
void SQVM::NewSlot(const SQObject& self, const SQObject& key, const SQObject& val, const SQObject& attrs,
                   int bstatic, bool raw) {
  if (sqtype(key) == OT_NULL) RaiseAscii("null cannot be used as index");
  switch (sqtype(self)) {
    case OT_TABLE: {
      SQTable* t = _table(self);
      if (!raw && sqtype(t->_delegate) != OT_NULL && !t->FindNode(key)) {
        SQObjectPtr s(self), k(key), v(val), c, r;
        if (GetMetaMethod(s, MT_NEWSLOT, c)) {
          SQObjectPtr args[2] = {k, v};
          CallMeta(c, s, 2, args, r);
          return;
        }
      }
      t->NewSlot(key, val);
      return;
    }
    case OT_CLASS: {
      SQClass* c = _class(self);
      if (!raw && (bstatic & 2) && sqtype(c->_metamethods[MT_NEWMEMBER]) != OT_NULL) {
        SQObjectPtr s(self), cl(c->_metamethods[MT_NEWMEMBER]), r;
        SQObjectPtr args[4] = {SQObjectPtr(key), SQObjectPtr(val), SQObjectPtr(attrs), SQObjectPtr((bstatic & 1) != 0)};
        CallMeta(cl, s, 4, args, r);
        return;
      }
      if (!c->NewSlot(_ss, key, val, (bstatic & 1) != 0)) {
        if (c->_locked) RaiseAscii("trying to modify a class that has already been instantiated");
        RaiseAscii("cannot add member");
      }
      if (sqtype(attrs) != OT_NULL) {
        SQObjectPtr old;
        c->SetAttributes(key, attrs, old);
      }
      if (sqtype(val) == OT_CLOSURE && sqtype(_closure(val)->_base) == OT_NULL)
        _closure(val)->_base = c->_base;
      return;
    }
    case OT_INSTANCE: {
      SQObjectPtr s(self), k(key), v(val), c, r;
      if (GetMetaMethod(s, MT_NEWSLOT, c)) {
        SQObjectPtr args[2] = {k, v};
        CallMeta(c, s, 2, args, r);
        return;
      }
      RaiseAscii("class instances do not support the new slot operator");
    }
    default: RaiseAscii("indexing %s with %s", sq_typename(sqtype(self)), sq_typename(sqtype(key)));
  }
}

void SQVM::DeleteSlot(const SQObject& self, const SQObject& key, SQObjectPtr& res, bool raw) {
  switch (sqtype(self)) {
    case OT_TABLE:
    case OT_INSTANCE:
    case OT_USERDATA: {
      SQObjectPtr s(self), k(key), c;
      bool hasdel = sqtype(self) == OT_INSTANCE ||
                    (sqtype(self) == OT_TABLE ? sqtype(_table(self)->_delegate) : sqtype(_userdata(self)->_delegate)) != OT_NULL;
      if (!raw && hasdel && GetMetaMethod(s, MT_DELSLOT, c)) {
        CallMeta(c, s, 1, &k, res);
        return;
      }
      if (sqtype(self) == OT_TABLE) {
        if (_table(self)->Get(k, res)) {
          _table(self)->Remove(k);
          return;
        }
        RaiseIdxNotExist(k);
      }
      RaiseAscii("cannot delete a slot from %s", sq_typename(sqtype(self)));
    }
    default: RaiseAscii("attempt to delete a slot from a %s", sq_typename(sqtype(self)));
  }
}

void SQVM::Clone(const SQObject& self, SQObjectPtr& dest) {
  switch (sqtype(self)) {
    case OT_TABLE: {
      SQObjectPtr n(_table(self)->Clone());
      SQObjectPtr s(self), c, r;
      if (GetMetaMethod(n, MT_CLONED, c)) CallMeta(c, n, 1, &s, r);
      dest = n;
      return;
    }
    case OT_ARRAY: {
      SQArray* a = sq_newarray_obj(_ss, 0);
      a->_values = _array(self)->_values;
      dest = SQObjectPtr(a);
      return;
    }
    case OT_INSTANCE: {
      SQInstance* src = _instance(self);
      SQInstance* i = src->cls()->CreateInstance();
      SQObjectPtr n(i);
      i->_values = src->_values;
      SQObjectPtr s(self), c, r;
      if (GetMetaMethod(n, MT_CLONED, c)) CallMeta(c, n, 1, &s, r);
      dest = n;
      return;
    }
    default: RaiseAscii("cloning a %s", sq_typename(sqtype(self)));
  }
}

// ---------------------------------------------------------------- arithmetic
static inline SQInteger IAdd(SQInteger a, SQInteger b) { return (SQInteger)((uint32_t)a + (uint32_t)b); }
static inline SQInteger ISub(SQInteger a, SQInteger b) { return (SQInteger)((uint32_t)a - (uint32_t)b); }
static inline SQInteger IMul(SQInteger a, SQInteger b) { return (SQInteger)((uint32_t)a * (uint32_t)b); }

void SQVM::Arith(int op, SQObjectPtr& dest, const SQObject& a, const SQObject& b) {
  SQObjectType ta = sqtype(a), tb = sqtype(b);
  if (ta == OT_INTEGER && tb == OT_INTEGER) {
    SQInteger x = _integer(a), y = _integer(b), r;
    switch (op) {
      case '+': r = IAdd(x, y); break;
      case '-': r = ISub(x, y); break;
      case '*': r = IMul(x, y); break;
      case '/':
        if (y == 0) RaiseAscii("division by zero");
        r = (y == -1) ? (SQInteger)(0u - (uint32_t)x) : x / y;
        break;
      default:
        if (y == 0) RaiseAscii("division by zero");
        r = (y == -1) ? 0 : x % y;
        break;
    }
    dest.SetInt(r);
    return;
  }
  if ((ta & SQOBJECT_NUMERIC) && (tb & SQOBJECT_NUMERIC)) {
    SQFloat x = tofloat(a), y = tofloat(b), r;
    switch (op) {
      case '+': r = x + y; break;
      case '-': r = x - y; break;
      case '*': r = x * y; break;
      case '/': r = x / y; break;
      default: r = (SQFloat)fmod((double)x, (double)y); break;
    }
    dest.SetFloat(r);
    return;
  }
  if (op == '+' && (ta == OT_STRING || tb == OT_STRING)) {
    // String and integer, the common way of building keys and messages:
    // the integer's digits go straight into the result.
    if ((ta == OT_STRING && tb == OT_INTEGER) || (ta == OT_INTEGER && tb == OT_STRING)) {
      SQChar digits[12];
      if (ta == OT_STRING) {
        SQInteger n = sq_intdigits(_integer(b), digits);
        dest = SQObjectPtr(SQString::Concat(_ss, _string(a)->_val, _string(a)->_len, digits, n));
      } else {
        SQInteger n = sq_intdigits(_integer(a), digits);
        dest = SQObjectPtr(SQString::Concat(_ss, digits, n, _string(b)->_val, _string(b)->_len));
      }
      return;
    }
    SQObjectPtr sa, sb;
    SQObjectPtr aa(a), bb(b);
    ToString(aa, sa);
    ToString(bb, sb);
    dest = SQObjectPtr(SQString::Concat(_ss, _string(sa), _string(sb)));
    return;
  }
  if (ta == OT_TABLE || ta == OT_INSTANCE || ta == OT_USERDATA) {
    SQMetaMethod mm = op == '+' ? MT_ADD : op == '-' ? MT_SUB : op == '*' ? MT_MUL : op == '/' ? MT_DIV : MT_MODULO;
    SQObjectPtr aa(a), bb(b), r;
    if (TryCallMeta(aa, mm, 1, &bb, r)) {
      dest = r;
      return;
    }
  }
  RaiseArith(op, a, b);
}

void SQVM::Unm(SQObjectPtr& dest, const SQObject& a) {
  switch (sqtype(a)) {
    case OT_INTEGER: dest.SetInt((SQInteger)(0u - (uint32_t)_integer(a))); return;
    case OT_FLOAT: dest.SetFloat(-_float(a)); return;
    case OT_TABLE:
    case OT_USERDATA:
    case OT_INSTANCE: {
      SQObjectPtr aa(a), r;
      if (TryCallMeta(aa, MT_UNM, 0, nullptr, r)) {
        dest = r;
        return;
      }
      break;
    }
    default: break;
  }
  RaiseAscii("attempt to negate a %s", sq_typename(sqtype(a)));
}

static int StrCmp(SQString* a, SQString* b) {
  SQInteger n = std::min(a->_len, b->_len);
  for (SQInteger i = 0; i < n; i++)
    if (a->_val[i] != b->_val[i]) return a->_val[i] < b->_val[i] ? -1 : 1;
  if (a->_len == b->_len) return 0;
  return a->_len < b->_len ? -1 : 1;
}

SQInteger SQVM::Compare(const SQObject& a, const SQObject& b) {
  SQObjectType ta = sqtype(a), tb = sqtype(b);
  if (ta == tb) {
    switch (ta) {
      case OT_INTEGER: return _integer(a) < _integer(b) ? -1 : _integer(a) > _integer(b) ? 1 : 0;
      case OT_FLOAT: return _float(a) < _float(b) ? -1 : _float(a) > _float(b) ? 1 : 0;
      case OT_STRING: return StrCmp(_string(a), _string(b));
      case OT_BOOL: return _integer(a) < _integer(b) ? -1 : _integer(a) > _integer(b) ? 1 : 0;
      case OT_NULL: return 0;
      case OT_TABLE:
      case OT_USERDATA:
      case OT_INSTANCE: {
        SQObjectPtr aa(a), bb(b), c, r;
        if (GetMetaMethod(aa, MT_CMP, c)) {
          CallMeta(c, aa, 1, &bb, r);
          if (sqtype(r) != OT_INTEGER) RaiseAscii("_cmp must return an integer");
          return _integer(r) < 0 ? -1 : _integer(r) > 0 ? 1 : 0;
        }
        [[fallthrough]];
      }
      default: {
        uintptr_t x = (uintptr_t)a._unVal.pRefCounted, y = (uintptr_t)b._unVal.pRefCounted;
        return x < y ? -1 : x > y ? 1 : 0;
      }
    }
  }
  if ((ta & SQOBJECT_NUMERIC) && (tb & SQOBJECT_NUMERIC)) {
    SQFloat x = tofloat(a), y = tofloat(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  if (ta == OT_NULL) return -1;
  if (tb == OT_NULL) return 1;
  // _cmp only compares two values of the same type
  RaiseCompare(a, b);
}

bool SQVM::IsEqual(const SQObject& a, const SQObject& b) {
  if (sqtype(a) == sqtype(b)) {
    if (sqtype(a) == OT_FLOAT) return _float(a) == _float(b);
    return a._unVal.pRefCounted == b._unVal.pRefCounted;
  }
  if ((sqtype(a) & SQOBJECT_NUMERIC) && (sqtype(b) & SQOBJECT_NUMERIC)) return tofloat(a) == tofloat(b);
  return false;
}

bool SQVM::InstanceOf(const SQObject& inst, const SQObject& cls) {
  if (sqtype(cls) != OT_CLASS)
    RaiseAscii("cannot apply instanceof between a %s and a %s", sq_typename(sqtype(cls)), sq_typename(sqtype(inst)));
  if (sqtype(inst) != OT_INSTANCE) return false;
  return _instance(inst)->InstanceOf(_class(cls));
}

bool SQVM::In(const SQObject& key, const SQObject& obj) {
  SQObjectPtr tmp;
  SQObjectPtr o(obj), k(key);
  return Get(o, k, tmp, true, false);
}

// ---------------------------------------------------------------- outers
SQObjectPtr SQVM::FindOuter(SQInteger stackidx) {
  SQOuter** pp = &_openouters;
  while (*pp && (*pp)->_idx > stackidx) pp = &(*pp)->_nextopen;
  if (*pp && (*pp)->_idx == stackidx) return SQObjectPtr(*pp);
  SQOuter* o = new SQOuter(_ss);
  o->_vm = this;
  o->_idx = stackidx;
  o->_nextopen = *pp;
  *pp = o;
  o->_uiRef++;  // the open list holds a reference
  SQObjectPtr r(o);
  return r;
}

void SQVM::CloseOuters(SQInteger fromidx) {
  while (_openouters && _openouters->_idx >= fromidx) {
    SQOuter* o = _openouters;
    _openouters = o->_nextopen;
    o->_value = _stack[(size_t)o->_idx];
    o->_idx = -1;
    o->_vm = nullptr;
    o->_nextopen = nullptr;
    if (--o->_uiRef == 0) sq_freeobject(o);
  }
}

// ---------------------------------------------------------------- calls
bool SQVM::EnterScriptFrame(const SQObject& closure, SQInteger base, SQInteger nargs, SQInteger target,
                            bool root) {
  SQClosure* cl = _closure(closure);
  SQFunctionProto* p = cl->proto();
  SQInteger np = p->nparams;
  if (nargs != np) {
    if (nargs < np) {
      SQInteger missing = np - nargs;
      if (missing > p->ndefaults) RaiseAscii("wrong number of parameters");
      EnsureStack(base + np);
      for (SQInteger i = nargs; i < np; i++)
      {
        size_t di = (size_t)(p->ndefaults - (np - i));
        if (di < cl->_defaults.size()) _stack[(size_t)(base + i)] = cl->_defaults[di];
        else _stack[(size_t)(base + i)].Null();
      }
      nargs = np;
    } else if (!p->varparams) {
      RaiseAscii("wrong number of parameters");
    }
  }
  if ((SQInteger)_frames.size() >= SQ_MAX_FRAMES) RaiseAscii("stack overflow");
  EnsureStack(base + p->stacksize + 1);
  if (p->varparams) {
    SQArray* va = sq_newarray_obj(_ss, 0);
    for (SQInteger i = np; i < nargs; i++) va->_values.push_back(std::move(_stack[(size_t)(base + i)]));
    _stack[(size_t)(base + np)] = SQObjectPtr(va);
    for (SQInteger i = np + 1; i < nargs; i++) _stack[(size_t)(base + i)].Null();
    nargs = np + 1;
  }
  // registers above the arguments are written before they are read
  if (sqtype(cl->_env) == OT_WEAKREF && sqtype(_weakref(cl->_env)->_obj) != OT_NULL)
    _stack[(size_t)base] = _weakref(cl->_env)->_obj;
  _frames.emplace_back();
  SQCallFrame& f = _frames.back();
  f.closure = closure;
  f.proto = p;
  f.literals = p->literals.data();
  f.ip = p->code.data();
  f.base = base;
  f.target = target;
  f.root = root;
  _top = base + p->stacksize;
  return true;
}

bool sq_typematches(SQObjectType t, SQObjectType mask) { return (mask & _RAW_TYPE(t)) != 0; }

bool SQVM::CallNative(SQNativeClosure* nc, SQInteger base, SQInteger nargs, SQObjectPtr& ret, bool& suspend) {
  suspend = false;
  SQInteger np = nc->_nparamscheck;
  if ((np > 0 && np != nargs) || (np < 0 && nargs < -np)) RaiseAscii("wrong number of parameters");
  SQInteger ntc = (SQInteger)nc->_typecheck.size();
  for (SQInteger i = 0; i < ntc && i < nargs; i++) {
    SQInteger m = nc->_typecheck[(size_t)i];
    if (m != -1 && !((SQUnsignedInteger)m & _RAW_TYPE(sqtype(_stack[(size_t)(base + i)]))))
      RaiseParamType(i, sqtype(_stack[(size_t)(base + i)]), m);
  }
  if ((SQInteger)_frames.size() >= SQ_MAX_FRAMES) RaiseAscii("stack overflow");
  if (_nnativecalls > SQ_MAX_NATIVE_NESTING) RaiseAscii("native stack overflow");
  EnsureStack(base + nargs + (SQInteger)nc->_outers.size() + 20);
  if (sqtype(nc->_env) == OT_WEAKREF && sqtype(_weakref(nc->_env)->_obj) != OT_NULL)
    _stack[(size_t)base] = _weakref(nc->_env)->_obj;
  SQInteger oldtop = _top, oldbase = _stackbase;
  _frames.emplace_back();
  {
    SQCallFrame& f = _frames.back();
    f.closure = SQObjectPtr(nc);
    f.native = true;
    f.base = base;
    f.prevtop = oldtop;
  }
  _top = base + nargs;
  for (auto& o : nc->_outers) _stack[(size_t)_top++] = o;
  _stackbase = base;
  _nnativecalls++;
  SQInteger r;
  try {
    r = nc->_function(this);
  } catch (SQVMError&) {
    r = -1;
  } catch (std::bad_alloc&) {
    sqmem::Grant grant;  // the frame below must be left in order, so nothing may throw here
    _lasterror = _ss->_outofmemory;
    r = -1;
  } catch (std::length_error&) {
    sqmem::Grant grant;
    _lasterror = _ss->_outofmemory;
    r = -1;
  }
  _nnativecalls--;
  bool ok = true;
  if (r == SQ_SUSPEND_FLAG) {
    suspend = true;
    ret = _top > base ? _stack[(size_t)_top - 1] : SQObjectPtr();
    if (_top <= base + nargs - 0 && _top - base < 2) ret.Null();
  } else if (r < 0) {
    ok = false;
  } else if (r > 0) {
    ret = _stack[(size_t)_top - 1];
  } else {
    ret.Null();
  }
  _stackbase = oldbase;
  // the arguments are dead now: drop them so they do not keep objects alive
  for (SQInteger i = base; i < _top; i++) _stack[(size_t)i].Null();
  _top = oldtop;
  _frames.pop_back();
  if (!ok) throw SQVMError{};
  return true;
}

// Calls from C++: arguments at [stackbase, stackbase + nparams).
bool SQVM::Call(const SQObject& closure, SQInteger nparams, SQInteger stackbase, SQObjectPtr& ret,
                bool raiseerror) {
  SQObjectPtr c(closure);
  SQInteger oldtop = _top;
  switch (sqtype(c)) {
    case OT_CLOSURE: {
      SQInteger nframes = (SQInteger)_frames.size();
      try {
        if (_closure(c)->proto()->generator) {
          // calling a generator function creates the generator
          EnterScriptFrame(c, stackbase, nparams, -1, true);
          SQCallFrame& f = _frames.back();
          SQGenerator* g = new SQGenerator(_ss, _closure(c));
          ret = SQObjectPtr(g);
          g->_stack.assign(_stack.begin() + f.base, _stack.begin() + f.base + f.proto->stacksize);
          g->_ip = f.ip;
          for (SQInteger i = f.base; i < f.base + f.proto->stacksize; i++) _stack[(size_t)i].Null();
          _frames.pop_back();
          _top = oldtop;
          return true;
        }
        EnterScriptFrame(c, stackbase, nparams, -1, true);
      } catch (SQVMError&) {
        while ((SQInteger)_frames.size() > nframes) _frames.pop_back();
        _top = oldtop;
        // with no call running (a thread's first call), nobody else will
        // report the refused call
        if (raiseerror && nframes == 0) CallErrorHandler(SQObjectPtr(_lasterror));
        return false;
      }
      bool ok = Execute(nframes, ret, raiseerror);
      if (_state != SQ_VMSTATE_SUSPENDED) _top = oldtop;
      return ok;
    }
    case OT_NATIVECLOSURE: {
      bool suspend;
      try {
        CallNative(_nativeclosure(c), stackbase, nparams, ret, suspend);
      } catch (SQVMError&) {
        _top = oldtop;
        return false;
      }
      if (suspend) {
        _state = SQ_VMSTATE_SUSPENDED;
        _suspendvalue = ret;
        _suspendtarget = -1;
      }
      _top = oldtop;
      return true;
    }
    case OT_CLASS: {
      SQClass* cls = _class(c);
      SQObjectPtr inst(cls->CreateInstance());
      _stack[(size_t)stackbase] = inst;
      if (cls->_constructoridx >= 0) {
        SQObjectPtr ctor = cls->_methods[(size_t)cls->_constructoridx].val;
        SQObjectPtr dummy;
        if (!Call(ctor, nparams, stackbase, dummy, raiseerror)) return false;
      }
      ret = inst;
      return true;
    }
    case OT_TABLE:
    case OT_INSTANCE:
    case OT_USERDATA: {
      SQObjectPtr mm;
      if (GetMetaMethod(c, MT_CALL, mm)) {
        // _call receives the object followed by the original arguments
        SQInteger t = _top;
        Push(mm);
        SQInteger nb = _top;
        Push(c);
        for (SQInteger i = 0; i < nparams; i++) Push(_stack[(size_t)(stackbase + i)]);
        bool ok = Call(mm, nparams + 1, nb, ret, raiseerror);
        Pop(_top - t);
        return ok;
      }
      [[fallthrough]];
    }
    default:
      _lasterror = sq_str(_ss, (std::string("attempt to call '") + sq_typename(sqtype(c)) + "'").c_str());
      return false;
  }
}

void SQVM::LeaveFrame() {
  SQCallFrame& f = _frames.back();
  if (!f.native) {
    CloseOuters(f.base);
    while (f.ntraps > 0) {
      _traps.pop_back();
      f.ntraps--;
    }
    if (f.generator) {
      f.generator->Kill();
      // an inline generator was kept alive by the slot below its frame
      if (!f.root) _stack[(size_t)f.base - 1].Null();
    }
  }
  _frames.pop_back();
}

bool SQVM::Resume(SQGenerator* g, SQInteger target) {
  (void)target;
  (void)g;
  return true;
}

void SQVM::CallDebugHook(int type, SQInteger line) {
  SQCallFrame& f = _frames.back();
  if (!f.proto) return;
  const SQChar* src = sqtype(f.proto->source) == OT_STRING ? _string(f.proto->source)->_val : nullptr;
  const SQChar* name = sqtype(f.proto->name) == OT_STRING ? _string(f.proto->name)->_val : nullptr;
  _inhook = true;
  if (_nativedebughook) {
    _nativedebughook(this, type, src, line, name);
  } else if (sqtype(_debughook) != OT_NULL) {
    SQObjectPtr hook(_debughook), ret;
    SQObjectPtr srco(f.proto->source), nameo(f.proto->name);
    SQInteger oldtop = _top;
    SQInteger t = f.base + f.proto->stacksize;
    if (_top < t) _top = t;
    Push(hook);
    SQInteger b = _top;
    Push(_roottable);
    Push(SQObjectPtr((SQInteger)type));
    Push(srco);
    Push(SQObjectPtr(line));
    Push(nameo);
    Call(hook, 5, b, ret, false);
    Pop(_top - b + 1);
    _top = oldtop;
  }
  _inhook = false;
}

// Iteration step shared by foreach: returns 0 when done, 1 otherwise. The
// container o and the key, value and iterator slots are distinct objects, so
// a table or class writes its next slot straight into k and v.
SQInteger SQVM::FOREACH(SQObjectPtr& o, SQObjectPtr& iter, SQObjectPtr& k, SQObjectPtr& v, bool& gen) {
  gen = false;
  SQInteger idx = sqtype(iter) == OT_INTEGER ? _integer(iter) : 0;
  switch (sqtype(o)) {
    case OT_TABLE: {
      SQInteger n = _table(o)->Next(idx, k, v);
      if (n < 0) return 0;
      iter.SetInt(n + 1);
      return 1;
    }
    case OT_ARRAY: {
      SQArray* a = _array(o);
      if (idx >= a->Size()) return 0;
      k.SetInt(idx);
      v = sq_realval(a->_values[(size_t)idx]);
      iter.SetInt(idx + 1);
      return 1;
    }
    case OT_STRING: {
      SQString* s = _string(o);
      if (idx >= s->_len) return 0;
      k.SetInt(idx);
      v.SetInt((SQInteger)s->_val[idx]);
      iter.SetInt(idx + 1);
      return 1;
    }
    case OT_CLASS: {
      SQInteger n = _class(o)->Next(idx, k, v);
      if (n < 0) return 0;
      iter.SetInt(n + 1);
      return 1;
    }
    case OT_INSTANCE:
    case OT_USERDATA: {
      SQObjectPtr c;
      if (GetMetaMethod(o, MT_NEXTI, c)) {
        SQObjectPtr self(o), it(iter), r;
        CallMeta(c, self, 1, &it, r);
        if (sqtype(r) == OT_NULL) return 0;
        SQObjectPtr val;
        if (!Get(self, r, val, false, false)) RaiseAscii("_nexti returned an invalid idx");
        iter = r;
        k = r;
        v = val;
        return 1;
      }
      RaiseAscii("_nexti failed");
    }
    case OT_GENERATOR: gen = true; return 1;
    default: RaiseAscii("cannot iterate %s", sq_typename(sqtype(o)));
  }
}
