// The public C API.
#include <cstdarg>
#include <cstdio>
#include <algorithm>
#include <new>
#include <stdexcept>

#include "sqvm.h"

#define API_TRY(v, body)              \
  try {                               \
    body;                             \
  } catch (SQVMError&) {              \
    return SQ_ERROR;                  \
  }

namespace {
SQRESULT Err(HSQUIRRELVM v, const char* msg) {
  v->_lasterror = sq_str(v->_ss, msg);
  return SQ_ERROR;
}
bool ValidIdx(HSQUIRRELVM v, SQInteger idx) {
  SQInteger a = v->AbsIndex(idx);
  return a >= v->_stackbase && a < v->_top;
}
// The slot at an API index; an index outside the current frame's stack reads
// a null slot instead of memory around the stack.
SQObjectPtr& Stk(HSQUIRRELVM v, SQInteger idx) {
  if (!ValidIdx(v, idx)) [[unlikely]] {
    v->_badslot.Null();
    return v->_badslot;
  }
  return v->StackAt(idx);
}
// Pushes the result of a call that reports errors; false (with the error set)
// when the stack cannot grow, instead of throwing through the C API.
bool PushResult(HSQUIRRELVM v, const SQObject& o) {
  try {
    v->Push(o);
    return true;
  } catch (SQVMError&) {
  } catch (std::exception&) {
    v->_lasterror = v->_ss->_outofmemory;
  }
  return false;
}
// Pushes o; a stack that cannot grow leaves the stack as it was (the error
// is kept as the last error) instead of throwing through the C API.
void SafePush(HSQUIRRELVM v, const SQObject& o) {
  try {
    v->Push(o);
  } catch (SQVMError&) {
  } catch (std::exception&) {
    v->_lasterror = v->_ss->_outofmemory;
  }
}
}  // namespace

#define CHECK_IDX(v, idx) \
  if (!ValidIdx(v, idx)) return Err(v, "invalid stack index")
// Runs the body of a function that returns no result; a failure (the stack or
// memory exhausted) leaves the error as the last error instead of throwing
// through the C API.
#define VOID_TRY(v, body)                                 \
  try {                                                   \
    body;                                                 \
  } catch (SQVMError&) {                                  \
  } catch (std::exception&) {                             \
    (v)->_lasterror = (v)->_ss->_outofmemory;  \
  }
#define NEED_ARGS(v, n) \
  if (sq_gettop(v) < (n)) return Err(v, "not enough params in the stack")

namespace {
}  // namespace

// ---------------------------------------------------------------- VM
HSQUIRRELVM sq_open(SQInteger initialstacksize) {
  SQSharedState* ss = new SQSharedState();
  SQVM* v = new SQVM(ss);
  v->_uiRef++;
  ss->_rootvm = v;
  v->EnsureStack(initialstacksize > 0 ? initialstacksize : 64);
  v->_roottable = SQObjectPtr(sq_newtable_obj(ss));
  sq_initdelegates(ss);
  sq_registerbaselib(v);
  return v;
}

HSQUIRRELVM sq_newthread(HSQUIRRELVM friendvm, SQInteger initialstacksize) {
  SQVM* v = new SQVM(friendvm->_ss);
  SQObjectPtr t(v);
  v->EnsureStack(initialstacksize > 0 ? initialstacksize : 64);
  v->_roottable = friendvm->_roottable;
  v->_errorhandler = friendvm->_errorhandler;
  v->SetHook(friendvm->_debughook, friendvm->_nativedebughook);
  friendvm->Push(t);
  return v;
}

SQInteger sq_getvmstate(HSQUIRRELVM v) { return v->_state; }
SQInteger sq_getversion(void) { return SQUIRREL_VERSION_NUMBER; }

void sq_seterrorhandler(HSQUIRRELVM v) {
  SQObjectPtr& o = Stk(v, -1);
  if (sqtype(o) == OT_CLOSURE || sqtype(o) == OT_NATIVECLOSURE || sqtype(o) == OT_NULL) {
    v->_errorhandler = o;
    v->Pop();
  }
}

void sq_setdebughook(HSQUIRRELVM v) {
  SQObjectPtr& o = Stk(v, -1);
  if (sqtype(o) == OT_CLOSURE || sqtype(o) == OT_NATIVECLOSURE || sqtype(o) == OT_NULL) {
    v->SetHook(o, nullptr);
    v->Pop();
  }
}

void sq_setnativedebughook(HSQUIRRELVM v, SQDEBUGHOOK hook) { v->SetHook(SQObjectPtr(), hook); }

void sq_close(HSQUIRRELVM v) {
  SQSharedState* ss = v->_ss;
  if (!ss) return;
  SQVM* root = ss->_rootvm;
  if (v != root) return;
  root->Clear();
  delete ss;
  if (--root->_uiRef == 0) sq_freeobject(root);
}

void sq_setforeignptr(HSQUIRRELVM v, SQUserPointer p) { v->_foreignptr = p; }
SQUserPointer sq_getforeignptr(HSQUIRRELVM v) { return v->_foreignptr; }

void sq_setprintfunc(HSQUIRRELVM v, SQPRINTFUNCTION printfunc, SQPRINTFUNCTION errfunc) {
  v->_ss->_printfunc = printfunc;
  v->_ss->_errorfunc = errfunc;
}
SQPRINTFUNCTION sq_getprintfunc(HSQUIRRELVM v) { return v->_ss->_printfunc; }
SQPRINTFUNCTION sq_geterrorfunc(HSQUIRRELVM v) { return v->_ss->_errorfunc; }

SQRESULT sq_suspendvm(HSQUIRRELVM v) {
  (void)v;
  return SQ_SUSPEND_FLAG;
}

// ---------------------------------------------------------------- compiler
SQRESULT sq_compilebuffer(HSQUIRRELVM v, const SQChar* s, SQInteger size, const SQChar* sourcename,
                          SQBool raiseerror) {
  SQObjectPtr c;
  if (!sq_compile_src(v, s, size, sourcename ? sourcename : u"unnamedbuffer", raiseerror != 0, c)) return SQ_ERROR;
  if (!PushResult(v, c)) return SQ_ERROR;
  return SQ_OK;
}

SQRESULT sq_compile(HSQUIRRELVM v, SQLEXREADFUNC read, SQUserPointer p, const SQChar* sourcename,
                    SQBool raiseerror) {
  sqstring src;
  for (;;) {
    SQInteger c = read(p);
    if (c == 0) break;
    src.push_back((SQChar)c);
  }
  return sq_compilebuffer(v, src.data(), (SQInteger)src.size(), sourcename, raiseerror);
}

void sq_enabledebuginfo(HSQUIRRELVM v, SQBool enable) { v->_ss->_debuginfo = enable != 0; }
void sq_notifyallexceptions(HSQUIRRELVM v, SQBool enable) { v->_ss->_notifyallexceptions = enable != 0; }
void sq_setcompilererrorhandler(HSQUIRRELVM v, SQCOMPILERERROR f) { v->_ss->_compilererrorhandler = f; }

// ---------------------------------------------------------------- stack
void sq_push(HSQUIRRELVM v, SQInteger idx) { SafePush(v, SQObjectPtr(Stk(v, idx))); }
void sq_pop(HSQUIRRELVM v, SQInteger n) {
  if (n > v->_top - v->_stackbase) n = v->_top - v->_stackbase;
  if (n > 0) v->Pop(n);
}
void sq_poptop(HSQUIRRELVM v) {
  if (v->_top > v->_stackbase) v->Pop();
}
void sq_remove(HSQUIRRELVM v, SQInteger idx) {
  SQInteger a = v->AbsIndex(idx);
  if (a < v->_stackbase || a >= v->_top) return;
  for (SQInteger i = a; i < v->_top - 1; i++) v->_stack[(size_t)i] = std::move(v->_stack[(size_t)i + 1]);
  v->Pop();
}
SQInteger sq_gettop(HSQUIRRELVM v) { return v->_top - v->_stackbase; }
void sq_settop(HSQUIRRELVM v, SQInteger newtop) {
  SQInteger t = sq_gettop(v);
  if (newtop < 0) newtop = 0;
  if (t > newtop) {
    sq_pop(v, t - newtop);
    return;
  }
  // a stack that cannot grow that far is left as it was
  if (SQ_FAILED(sq_reservestack(v, newtop - t))) return;
  while (t++ < newtop) v->PushNull();
}
SQRESULT sq_reservestack(HSQUIRRELVM v, SQInteger nsize) {
  if (nsize < 0 || nsize > SQ_MAX_STACK - v->_top) return Err(v, "stack overflow");
  try {
    v->EnsureStack(v->_top + nsize);
  } catch (SQVMError&) {
    return SQ_ERROR;
  } catch (std::bad_alloc&) {
    return Err(v, "out of memory");
  } catch (std::length_error&) {
    return Err(v, "stack overflow");
  }
  return SQ_OK;
}
SQInteger sq_cmp(HSQUIRRELVM v) {
  try {
    return v->Compare(SQObjectPtr(Stk(v, -2)), SQObjectPtr(Stk(v, -1)));
  } catch (SQVMError&) {
    return 0;
  }
}
void sq_move(HSQUIRRELVM dest, HSQUIRRELVM src, SQInteger idx) { SafePush(dest, SQObjectPtr(Stk(src, idx))); }

// ---------------------------------------------------------------- object creation
SQUserPointer sq_newuserdata(HSQUIRRELVM v, SQUnsignedInteger size) {
  SQUserPointer data = nullptr;  // null (and nothing pushed) when it cannot be had
  VOID_TRY(v, {
    SQObjectPtr u(new SQUserData(v->_ss, (SQInteger)size));
    if (!_userdata(u)->_data || (SQInteger)size < 0) {
      v->_lasterror = v->_ss->_outofmemory;
      return nullptr;
    }
    v->Push(u);
    data = _userdata(u)->_data;
  });
  return data;
}
void sq_newtable(HSQUIRRELVM v) { SafePush(v, SQObjectPtr(sq_newtable_obj(v->_ss))); }
void sq_newtableex(HSQUIRRELVM v, SQInteger cap) { SafePush(v, SQObjectPtr(sq_newtable_obj(v->_ss, cap))); }
void sq_newarray(HSQUIRRELVM v, SQInteger size) {
  VOID_TRY(v, v->Push(SQObjectPtr(sq_newarray_obj(v->_ss, size < 0 ? 0 : size))));
}
void sq_newclosure(HSQUIRRELVM v, SQFUNCTION func, SQUnsignedInteger nfreevars) {
  SQNativeClosure* nc = new SQNativeClosure(v->_ss);
  nc->_function = func;
  SQObjectPtr o(nc);
  SQInteger n = (SQInteger)nfreevars;
  if (n > v->_top - v->_stackbase) n = v->_top - v->_stackbase;
  for (SQInteger i = 0; i < n; i++) nc->_outers.push_back(v->_stack[(size_t)(v->_top - n + i)]);
  v->Pop(n);
  SafePush(v, o);
}

SQNativeClosure* sq_newnative(SQSharedState* ss, SQFUNCTION f, const char* name) {
  SQNativeClosure* nc = new SQNativeClosure(ss);
  nc->_function = f;
  nc->_name = sq_str(ss, name);
  return nc;
}

bool sq_settypemask(SQNativeClosure* nc, SQInteger nparamscheck, const SQChar* typemask) {
  nc->_nparamscheck = nparamscheck;
  nc->_typecheck.clear();
  if (!typemask) return true;
  SQInteger mask = 0;
  const SQChar* p = typemask;
  while (*p) {
    switch (*p) {
      case ' ': p++; continue;
      case 'o': mask |= _RT_NULL; break;
      case 'i': mask |= _RT_INTEGER; break;
      case 'f': mask |= _RT_FLOAT; break;
      case 'n': mask |= _RT_FLOAT | _RT_INTEGER; break;
      case 's': mask |= _RT_STRING; break;
      case 't': mask |= _RT_TABLE; break;
      case 'a': mask |= _RT_ARRAY; break;
      case 'u': mask |= _RT_USERDATA; break;
      case 'c': mask |= _RT_CLOSURE | _RT_NATIVECLOSURE; break;
      case 'b': mask |= _RT_BOOL; break;
      case 'g': mask |= _RT_GENERATOR; break;
      case 'p': mask |= _RT_USERPOINTER; break;
      case 'v': mask |= _RT_THREAD; break;
      case 'x': mask |= _RT_INSTANCE; break;
      case 'y': mask |= _RT_CLASS; break;
      case 'r': mask |= _RT_WEAKREF; break;
      case '.': mask = -1; break;
      default: return false;
    }
    p++;
    while (*p == ' ') p++;
    if (*p == '|') {
      p++;
      continue;
    }
    nc->_typecheck.push_back((SQInteger)mask);
    mask = 0;
  }
  if (nparamscheck == SQ_MATCHTYPEMASKSTRING) nc->_nparamscheck = (SQInteger)nc->_typecheck.size();
  return true;
}

SQRESULT sq_setparamscheck(HSQUIRRELVM v, SQInteger nparamscheck, const SQChar* typemask) {
  SQObjectPtr& o = Stk(v, -1);
  if (sqtype(o) != OT_NATIVECLOSURE) return Err(v, "native closure expected");
  if (!sq_settypemask(_nativeclosure(o), nparamscheck, typemask)) return Err(v, "invalid typemask");
  return SQ_OK;
}

SQRESULT sq_bindenv(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 2);
  SQObjectPtr& o = Stk(v, idx);
  SQObjectPtr env = Stk(v, -1);
  if (sqtype(o) != OT_CLOSURE && sqtype(o) != OT_NATIVECLOSURE) return Err(v, "the target is not a closure");
  if (!(sqtype(env) == OT_TABLE || sqtype(env) == OT_CLASS || sqtype(env) == OT_INSTANCE))
    return Err(v, "invalid environment");
  SQObjectPtr w = sq_getweakref(sqtype(env), _refcounted(env));
  SQObjectPtr r;
  if (sqtype(o) == OT_CLOSURE) {
    SQClosure* c = _closure(o)->Clone();
    r = SQObjectPtr(c);
    c->_env = w;
  } else {
    SQNativeClosure* c = _nativeclosure(o)->Clone();
    r = SQObjectPtr(c);
    c->_env = w;
  }
  v->Pop();
  if (!PushResult(v, r)) return SQ_ERROR;
  return SQ_OK;
}

void sq_pushstring(HSQUIRRELVM v, const SQChar* s, SQInteger len) {
  if (!s) {
    SafePush(v, SQObjectPtr());
    return;
  }
  VOID_TRY(v, v->Push(SQObjectPtr(SQString::Create(v->_ss, s, len))));
}
void sq_pushfloat(HSQUIRRELVM v, SQFloat f) { SafePush(v, SQObjectPtr(f)); }
void sq_pushinteger(HSQUIRRELVM v, SQInteger n) { SafePush(v, SQObjectPtr(n)); }
void sq_pushbool(HSQUIRRELVM v, SQBool b) { SafePush(v, SQObjectPtr(b != 0)); }
void sq_pushuserpointer(HSQUIRRELVM v, SQUserPointer p) { SafePush(v, SQObjectPtr(p)); }
void sq_pushnull(HSQUIRRELVM v) { SafePush(v, SQObjectPtr()); }

SQObjectType sq_gettype(HSQUIRRELVM v, SQInteger idx) {
  if (!ValidIdx(v, idx)) return OT_NULL;
  return sqtype(Stk(v, idx));
}

SQRESULT sq_typeof(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  SQObjectPtr r;
  API_TRY(v, v->TypeOf(SQObjectPtr(Stk(v, idx)), r));
  if (!PushResult(v, r)) return SQ_ERROR;
  return SQ_OK;
}

SQInteger sq_getsize(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr& o = Stk(v, idx);
  switch (sqtype(o)) {
    case OT_STRING: return _string(o)->_len;
    case OT_TABLE: return _table(o)->CountUsed();
    case OT_ARRAY: return _array(o)->Size();
    case OT_USERDATA: return _userdata(o)->_size;
    case OT_INSTANCE: return _instance(o)->cls()->_udsize;
    case OT_CLASS: return _class(o)->_udsize;
    default: return Err(v, "type not supported");
  }
}

SQHash sq_gethash(HSQUIRRELVM v, SQInteger idx) { return SQTable::HashKey(Stk(v, idx)); }

SQRESULT sq_getbase(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) != OT_CLASS) return Err(v, "invalid type; class expected");
  if (!PushResult(v, SQObjectPtr(_class(o)->_base))) return SQ_ERROR;
  return SQ_OK;
}

SQBool sq_instanceof(HSQUIRRELVM v) {
  SQObjectPtr& inst = Stk(v, -2);
  SQObjectPtr& cls = Stk(v, -1);
  if (sqtype(inst) != OT_INSTANCE || sqtype(cls) != OT_CLASS) return SQFalse;
  return _instance(inst)->InstanceOf(_class(cls)) ? SQTrue : SQFalse;
}

SQRESULT sq_tostring(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  SQObjectPtr r;
  API_TRY(v, v->ToString(SQObjectPtr(Stk(v, idx)), r));
  if (!PushResult(v, r)) return SQ_ERROR;
  return SQ_OK;
}

void sq_tobool(HSQUIRRELVM v, SQInteger idx, SQBool* b) {
  SQObjectPtr& o = Stk(v, idx);  // false outside the stack
  *b = sq_objtobool(&o);
}

SQRESULT sq_getstring(HSQUIRRELVM v, SQInteger idx, const SQChar** c) {
  CHECK_IDX(v, idx);
  if (!ValidIdx(v, idx)) return SQ_ERROR;
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) != OT_STRING) return SQ_ERROR;
  *c = _string(o)->_val;
  return SQ_OK;
}
SQRESULT sq_getinteger(HSQUIRRELVM v, SQInteger idx, SQInteger* i) {
  CHECK_IDX(v, idx);
  if (!ValidIdx(v, idx)) return SQ_ERROR;
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) == OT_INTEGER || sqtype(o) == OT_FLOAT) {
    *i = tointeger(o);
    return SQ_OK;
  }
  if (sqtype(o) == OT_BOOL) {
    *i = _integer(o);
    return SQ_OK;
  }
  return SQ_ERROR;
}
SQRESULT sq_getfloat(HSQUIRRELVM v, SQInteger idx, SQFloat* f) {
  CHECK_IDX(v, idx);
  if (!ValidIdx(v, idx)) return SQ_ERROR;
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) == OT_INTEGER || sqtype(o) == OT_FLOAT) {
    *f = tofloat(o);
    return SQ_OK;
  }
  return SQ_ERROR;
}
SQRESULT sq_getbool(HSQUIRRELVM v, SQInteger idx, SQBool* b) {
  CHECK_IDX(v, idx);
  if (!ValidIdx(v, idx)) return SQ_ERROR;
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) != OT_BOOL) return SQ_ERROR;
  *b = _integer(o) ? SQTrue : SQFalse;
  return SQ_OK;
}
SQRESULT sq_getthread(HSQUIRRELVM v, SQInteger idx, HSQUIRRELVM* thread) {
  CHECK_IDX(v, idx);
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) != OT_THREAD) return Err(v, "thread expected");
  *thread = _thread(o);
  return SQ_OK;
}
SQRESULT sq_getuserpointer(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p) {
  CHECK_IDX(v, idx);
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) != OT_USERPOINTER) return Err(v, "userpointer expected");
  *p = _userpointer(o);
  return SQ_OK;
}
SQRESULT sq_getuserdata(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p, SQUserPointer* typetag) {
  CHECK_IDX(v, idx);
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) != OT_USERDATA) return Err(v, "userdata expected");
  *p = _userdata(o)->_data;
  if (typetag) *typetag = _userdata(o)->_typetag;
  return SQ_OK;
}
SQRESULT sq_settypetag(HSQUIRRELVM v, SQInteger idx, SQUserPointer typetag) {
  CHECK_IDX(v, idx);
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) == OT_USERDATA) _userdata(o)->_typetag = typetag;
  else if (sqtype(o) == OT_CLASS) _class(o)->_typetag = typetag;
  else return Err(v, "invalid object type");
  return SQ_OK;
}
SQRESULT sq_getobjtypetag(const HSQOBJECT* o, SQUserPointer* typetag) {
  switch (sqtype(*o)) {
    case OT_INSTANCE: *typetag = _instance(*o)->cls()->_typetag; break;
    case OT_USERDATA: *typetag = _userdata(*o)->_typetag; break;
    case OT_CLASS: *typetag = _class(*o)->_typetag; break;
    default: return SQ_ERROR;
  }
  return SQ_OK;
}
SQRESULT sq_gettypetag(HSQUIRRELVM v, SQInteger idx, SQUserPointer* typetag) {
  CHECK_IDX(v, idx);
  if (SQ_FAILED(sq_getobjtypetag(&Stk(v, idx), typetag))) return Err(v, "invalid object type");
  return SQ_OK;
}

void sq_setreleasehook(HSQUIRRELVM v, SQInteger idx, SQRELEASEHOOK hook) {
  SQObjectPtr& o = Stk(v, idx);
  switch (sqtype(o)) {
    case OT_USERDATA: _userdata(o)->_hook = hook; break;
    case OT_INSTANCE: _instance(o)->_hook = hook; break;
    case OT_CLASS: _class(o)->_hook = hook; break;
    default: break;
  }
}

SQChar* sq_getscratchpad(HSQUIRRELVM v, SQInteger minsize) {
  if (minsize < 1) minsize = 1;
  try {
    if ((SQInteger)v->_ss->_scratch.size() < minsize) v->_ss->_scratch.resize((size_t)minsize + 64);
  } catch (std::exception&) {
    return nullptr;
  }
  return v->_ss->_scratch.data();
}

SQRESULT sq_getfunctioninfo(HSQUIRRELVM v, SQInteger level, SQFunctionInfo* fi) {
  SQInteger n = (SQInteger)v->_frames.size();
  if (level < 0 || level >= n) return SQ_ERROR;
  SQCallFrame& f = v->_frames[(size_t)(n - 1 - level)];
  if (sqtype(f.closure) != OT_CLOSURE) return SQ_ERROR;
  SQFunctionProto* p = _closure(f.closure)->proto();
  fi->funcid = p;
  fi->name = sqtype(p->name) == OT_STRING ? _string(p->name)->_val : u"unknown";
  fi->source = sqtype(p->source) == OT_STRING ? _string(p->source)->_val : u"unknown";
  return SQ_OK;
}

SQRESULT sq_getclosureinfo(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger* nparams,
                           SQUnsignedInteger* nfreevars) {
  CHECK_IDX(v, idx);
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) == OT_CLOSURE) {
    SQFunctionProto* p = _closure(o)->proto();
    *nparams = (SQUnsignedInteger)(p->nparams + (p->varparams ? 1 : 0));
    *nfreevars = (SQUnsignedInteger)p->outers.size();
    return SQ_OK;
  }
  if (sqtype(o) == OT_NATIVECLOSURE) {
    *nparams = (SQUnsignedInteger)_nativeclosure(o)->_nparamscheck;
    *nfreevars = (SQUnsignedInteger)_nativeclosure(o)->_outers.size();
    return SQ_OK;
  }
  return Err(v, "the object is not a closure");
}

SQRESULT sq_getclosurename(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  SQObjectPtr& o = Stk(v, idx);
  SQObjectPtr name;
  if (sqtype(o) == OT_CLOSURE) name = _closure(o)->proto()->name;
  else if (sqtype(o) == OT_NATIVECLOSURE) name = _nativeclosure(o)->_name;
  else return Err(v, "the target is not a closure");
  return PushResult(v, name) ? SQ_OK : SQ_ERROR;
}

SQRESULT sq_setnativeclosurename(HSQUIRRELVM v, SQInteger idx, const SQChar* name) {
  CHECK_IDX(v, idx);
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) != OT_NATIVECLOSURE) return Err(v, "the object is not a nativeclosure");
  _nativeclosure(o)->_name = SQObjectPtr(SQString::Create(v->_ss, name));
  return SQ_OK;
}

SQRESULT sq_setinstanceup(HSQUIRRELVM v, SQInteger idx, SQUserPointer p) {
  CHECK_IDX(v, idx);
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) != OT_INSTANCE) return Err(v, "the object is not a class instance");
  _instance(o)->_userpointer = p;
  return SQ_OK;
}

SQRESULT sq_getinstanceup(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p, SQUserPointer typetag) {
  CHECK_IDX(v, idx);
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) != OT_INSTANCE) return Err(v, "the object is not a class instance");
  *p = _instance(o)->_userpointer;
  if (typetag) {
    for (SQClass* c = _instance(o)->cls(); c; c = sqtype(c->_base) == OT_CLASS ? _class(c->_base) : nullptr)
      if (c->_typetag == typetag) return SQ_OK;
    return Err(v, "invalid type tag");
  }
  return SQ_OK;
}

SQRESULT sq_setclassudsize(HSQUIRRELVM v, SQInteger idx, SQInteger udsize) {
  CHECK_IDX(v, idx);
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) != OT_CLASS) return Err(v, "the object is not a class");
  if (_class(o)->_locked) return Err(v, "the class is locked");
  _class(o)->_udsize = udsize;
  return SQ_OK;
}

SQRESULT sq_newclass(HSQUIRRELVM v, SQBool hasbase) {
  SQClass* base = nullptr;
  if (hasbase) {
    NEED_ARGS(v, 1);
    SQObjectPtr& b = Stk(v, -1);
    if (sqtype(b) != OT_CLASS) return Err(v, "invalid base type");
    base = _class(b);
  }
  SQObjectPtr c(new SQClass(v->_ss, base));
  if (hasbase) v->Pop();
  if (!PushResult(v, c)) return SQ_ERROR;
  return SQ_OK;
}

SQRESULT sq_createinstance(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) != OT_CLASS) return Err(v, "the object is not a class");
  if (!PushResult(v, SQObjectPtr(_class(o)->CreateInstance()))) return SQ_ERROR;
  return SQ_OK;
}

SQRESULT sq_setattributes(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 3);
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) != OT_CLASS) return Err(v, "the object is not a class");
  SQObjectPtr key = Stk(v, -2), val = Stk(v, -1), old;
  if (!_class(o)->SetAttributes(key, val, old)) return Err(v, "wrong index");
  v->Pop(2);
  if (!PushResult(v, old)) return SQ_ERROR;
  return SQ_OK;
}

SQRESULT sq_getattributes(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 2);
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) != OT_CLASS) return Err(v, "the object is not a class");
  SQObjectPtr key = Stk(v, -1), r;
  if (!_class(o)->GetAttributes(key, r)) return Err(v, "wrong index");
  v->Pop();
  if (!PushResult(v, r)) return SQ_ERROR;
  return SQ_OK;
}

SQRESULT sq_getclass(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) != OT_INSTANCE) return Err(v, "the object is not a class instance");
  if (!PushResult(v, SQObjectPtr(_instance(o)->_class))) return SQ_ERROR;
  return SQ_OK;
}

void sq_weakref(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr o = Stk(v, idx);
  if (sq_isrc(sqtype(o))) SafePush(v, sq_getweakref(sqtype(o), _refcounted(o)));
  else SafePush(v, o);
}

SQRESULT sq_getdefaultdelegate(HSQUIRRELVM v, SQObjectType t) {
  SQObjectPtr d = sq_defaultdelegate(v->_ss, t);
  if (sqtype(d) == OT_NULL) return Err(v, "the type doesn't have a default delegate");
  if (!PushResult(v, d)) return SQ_ERROR;
  return SQ_OK;
}

SQRESULT sq_getmemberhandle(HSQUIRRELVM v, SQInteger idx, HSQMEMBERHANDLE* handle) {
  CHECK_IDX(v, idx);
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) != OT_CLASS) return Err(v, "the object is not a class");
  SQObjectPtr key = Stk(v, -1);
  SQInteger mi = 0;
  if (!_class(o)->GetMemberIndex(key, mi)) return Err(v, "wrong index");
  handle->_static = SQ_MEMBER_IS_METHOD(mi) ? SQTrue : SQFalse;
  handle->_index = SQ_MEMBER_IDX(mi);
  v->Pop();
  return SQ_OK;
}

static SQObjectPtr* HandleSlot(HSQUIRRELVM v, SQObjectPtr& o, const HSQMEMBERHANDLE* h) {
  SQClass* c;
  if (sqtype(o) == OT_INSTANCE) {
    if (!h->_static) {
      if (h->_index < 0 || h->_index >= (SQInteger)_instance(o)->_values.size()) return nullptr;
      return &_instance(o)->_values[(size_t)h->_index];
    }
    c = _instance(o)->cls();
  } else if (sqtype(o) == OT_CLASS) {
    c = _class(o);
  } else {
    (void)v;
    return nullptr;
  }
  auto& vec = h->_static ? c->_methods : c->_defaults;
  if (h->_index < 0 || h->_index >= (SQInteger)vec.size()) return nullptr;
  return &vec[(size_t)h->_index].val;
}

SQRESULT sq_getbyhandle(HSQUIRRELVM v, SQInteger idx, const HSQMEMBERHANDLE* handle) {
  CHECK_IDX(v, idx);
  SQObjectPtr* s = HandleSlot(v, Stk(v, idx), handle);
  if (!s) return Err(v, "wrong handle");
  if (!PushResult(v, SQObjectPtr(*s))) return SQ_ERROR;
  return SQ_OK;
}

SQRESULT sq_setbyhandle(HSQUIRRELVM v, SQInteger idx, const HSQMEMBERHANDLE* handle) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 2);
  SQObjectPtr* s = HandleSlot(v, Stk(v, idx), handle);
  if (!s) return Err(v, "wrong handle");
  *s = Stk(v, -1);
  v->Pop();
  return SQ_OK;
}

void sq_pushroottable(HSQUIRRELVM v) { SafePush(v, v->_roottable); }
void sq_pushregistrytable(HSQUIRRELVM v) { SafePush(v, v->_ss->_registry); }
void sq_pushconsttable(HSQUIRRELVM v) { SafePush(v, v->_ss->_consts); }

SQRESULT sq_setroottable(HSQUIRRELVM v) {
  NEED_ARGS(v, 1);
  SQObjectPtr o = Stk(v, -1);
  if (sqtype(o) != OT_TABLE && sqtype(o) != OT_NULL) return Err(v, "ivalid type");
  v->_roottable = o;
  v->Pop();
  return SQ_OK;
}

SQRESULT sq_setconsttable(HSQUIRRELVM v) {
  NEED_ARGS(v, 1);
  SQObjectPtr o = Stk(v, -1);
  if (sqtype(o) != OT_TABLE) return Err(v, "ivalid type, expected table");
  v->_ss->_consts = o;
  v->Pop();
  return SQ_OK;
}

// ---------------------------------------------------------------- slots
SQRESULT sq_newslot(HSQUIRRELVM v, SQInteger idx, SQBool bstatic) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 3);
  SQObjectPtr self = Stk(v, idx), key = Stk(v, -2), val = Stk(v, -1);
  v->Pop(2);  // key and value are consumed whatever the outcome
  if (sqtype(self) != OT_TABLE && sqtype(self) != OT_CLASS) return Err(v, "invalid type");
  if (sqtype(key) == OT_NULL) return Err(v, "null is not a valid key");
  API_TRY(v, v->NewSlot(self, key, val, SQObjectPtr(), bstatic ? 1 : 0, false));
  return SQ_OK;
}

SQRESULT sq_deleteslot(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 2);
  SQObjectPtr self = Stk(v, idx), key = Stk(v, -1), res;
  v->Pop();  // the key is consumed whatever the outcome
  if (sqtype(self) != OT_TABLE && sqtype(self) != OT_USERDATA) return Err(v, "table expected");
  API_TRY(v, v->DeleteSlot(self, key, res, false));
  if (pushval && !PushResult(v, res)) return SQ_ERROR;
  return SQ_OK;
}

SQRESULT sq_set(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 3);
  SQObjectPtr self = Stk(v, idx), key = Stk(v, -2), val = Stk(v, -1);
  v->Pop(2);  // key and value are consumed whatever the outcome
  API_TRY(v, v->Set(self, key, val, false));
  return SQ_OK;
}

SQRESULT sq_get(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 2);
  SQObjectPtr self = Stk(v, idx), key = Stk(v, -1), r;
  bool ok = false;
  v->Pop();  // the key is consumed whatever the outcome (a _get that throws included)
  API_TRY(v, ok = v->Get(self, key, r, false, false));
  if (!ok) return Err(v, "the index doesn't exist");
  if (!PushResult(v, r)) return SQ_ERROR;
  return SQ_OK;
}

SQRESULT sq_rawget(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 2);
  SQObjectPtr self = Stk(v, idx), key = Stk(v, -1), r;
  bool ok = false;
  switch (sqtype(self)) {
    case OT_TABLE: ok = _table(self)->Get(key, r); break;
    case OT_CLASS: ok = _class(self)->Get(key, r); break;
    case OT_INSTANCE: ok = _instance(self)->Get(key, r); break;
    case OT_ARRAY:
      if (sqtype(key) & SQOBJECT_NUMERIC) {
        SQInteger i = tointeger(key);
        if (i >= 0 && i < _array(self)->Size()) {
          r = _array(self)->_values[(size_t)i];
          ok = true;
        }
      }
      break;
    default: v->Pop(); return Err(v, "rawget works only on array/table/instance and class");
  }
  v->Pop();
  if (!ok) return Err(v, "the index doesn't exist");
  if (!PushResult(v, r)) return SQ_ERROR;
  return SQ_OK;
}

SQRESULT sq_rawset(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 3);
  SQObjectPtr self = Stk(v, idx), key = Stk(v, -2), val = Stk(v, -1);
  if (sqtype(key) == OT_NULL) {
    v->Pop(2);
    return Err(v, "null key");
  }
  SQRESULT r = SQ_OK;
  switch (sqtype(self)) {
    case OT_TABLE: _table(self)->NewSlot(key, val); break;
    case OT_CLASS:
      if (!_class(self)->NewSlot(v->_ss, key, val, false)) r = Err(v, "rawset failed");
      break;
    case OT_INSTANCE:
      if (!_instance(self)->Set(key, val)) {
        SQObjectPtr k(v->PrintObj(key));
        v->_lasterror = sq_str16(v->_ss, u"the index '" + _string(k)->str() + u"' does not exist");
        r = SQ_ERROR;
      }
      break;
    case OT_ARRAY:
      if (!v->RawSet(self, key, val)) r = Err(v, "index out of range");
      break;
    default: r = Err(v, "rawset works only on array/table/class and instance");
  }
  v->Pop(2);
  return r;
}

SQRESULT sq_rawdeleteslot(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 2);
  SQObjectPtr self = Stk(v, idx);
  if (sqtype(self) != OT_TABLE) return Err(v, "table expected");
  SQObjectPtr key = Stk(v, -1), res;
  _table(self)->Get(key, res);
  _table(self)->Remove(key);
  v->Pop();
  if (pushval && !PushResult(v, res)) return SQ_ERROR;
  return SQ_OK;
}

static SQRESULT NewMember(HSQUIRRELVM v, SQInteger idx, SQBool bstatic, bool raw) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 4);
  SQObjectPtr self = Stk(v, idx);
  if (sqtype(self) != OT_CLASS) return Err(v, "new member only works with classes");
  SQObjectPtr key = Stk(v, -3), val = Stk(v, -2), attrs = Stk(v, -1);
  if (sqtype(key) == OT_NULL) return Err(v, "null key");
  API_TRY(v, v->NewSlot(self, key, val, attrs, (bstatic ? 1 : 0) | 2, raw));
  v->Pop(3);
  return SQ_OK;
}
SQRESULT sq_newmember(HSQUIRRELVM v, SQInteger idx, SQBool bstatic) { return NewMember(v, idx, bstatic, false); }
SQRESULT sq_rawnewmember(HSQUIRRELVM v, SQInteger idx, SQBool bstatic) { return NewMember(v, idx, bstatic, true); }

// ---------------------------------------------------------------- arrays
SQRESULT sq_arrayappend(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 2);
  SQObjectPtr& a = Stk(v, idx);
  if (sqtype(a) != OT_ARRAY) return Err(v, "array expected");
  _array(a)->_values.push_back(Stk(v, -1));
  v->Pop();
  return SQ_OK;
}
SQRESULT sq_arraypop(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
  CHECK_IDX(v, idx);
  SQObjectPtr a = Stk(v, idx);
  if (sqtype(a) != OT_ARRAY) return Err(v, "array expected");
  if (_array(a)->_values.empty()) return Err(v, "empty array");
  SQObjectPtr r = _array(a)->_values.back();
  _array(a)->_values.pop_back();
  if (pushval && !PushResult(v, r)) return SQ_ERROR;
  return SQ_OK;
}
SQRESULT sq_arrayresize(HSQUIRRELVM v, SQInteger idx, SQInteger newsize) {
  CHECK_IDX(v, idx);
  SQObjectPtr& a = Stk(v, idx);
  if (sqtype(a) != OT_ARRAY) return Err(v, "array expected");
  if (newsize < 0) return Err(v, "negative size");
  _array(a)->_values.resize((size_t)newsize);
  return SQ_OK;
}
SQRESULT sq_arrayreverse(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  SQObjectPtr& a = Stk(v, idx);
  if (sqtype(a) != OT_ARRAY) return Err(v, "array expected");
  auto& vals = _array(a)->_values;
  for (size_t i = 0, j = vals.size(); i + 1 < j; i++, j--) std::swap(vals[i], vals[j - 1]);
  return SQ_OK;
}
SQRESULT sq_arrayremove(HSQUIRRELVM v, SQInteger idx, SQInteger itemidx) {
  CHECK_IDX(v, idx);
  SQObjectPtr& a = Stk(v, idx);
  if (sqtype(a) != OT_ARRAY) return Err(v, "array expected");
  auto& vals = _array(a)->_values;
  if (itemidx < 0 || itemidx >= (SQInteger)vals.size()) return Err(v, "index out of range");
  vals.erase(vals.begin() + itemidx);
  return SQ_OK;
}
SQRESULT sq_arrayinsert(HSQUIRRELVM v, SQInteger idx, SQInteger destpos) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 2);
  SQObjectPtr& a = Stk(v, idx);
  if (sqtype(a) != OT_ARRAY) return Err(v, "array expected");
  auto& vals = _array(a)->_values;
  if (destpos < 0 || destpos > (SQInteger)vals.size()) return Err(v, "index out of range");
  vals.insert(vals.begin() + destpos, Stk(v, -1));
  v->Pop();
  return SQ_OK;
}

// ---------------------------------------------------------------- delegates
SQRESULT sq_setdelegate(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 2);
  SQObjectPtr self = Stk(v, idx), mt = Stk(v, -1);
  if (sqtype(mt) != OT_TABLE && sqtype(mt) != OT_NULL) return Err(v, "invalid type");
  switch (sqtype(self)) {
    case OT_TABLE: {
      // refuse delegate loops
      for (SQObjectPtr d = mt; sqtype(d) == OT_TABLE; d = _table(d)->_delegate)
        if (_table(d) == _table(self)) return Err(v, "delagate cycle");
      _table(self)->_delegate = mt;
      break;
    }
    case OT_USERDATA: _userdata(self)->_delegate = mt; break;
    default: return Err(v, "invalid type");
  }
  v->Pop();
  return SQ_OK;
}

SQRESULT sq_getdelegate(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  SQObjectPtr& self = Stk(v, idx);
  switch (sqtype(self)) {
    case OT_TABLE: if (!PushResult(v, SQObjectPtr(_table(self)->_delegate))) return SQ_ERROR; break;
    case OT_USERDATA: if (!PushResult(v, SQObjectPtr(_userdata(self)->_delegate))) return SQ_ERROR; break;
    default: return Err(v, "wrong type");
  }
  return SQ_OK;
}

SQRESULT sq_clone(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  SQObjectPtr r;
  API_TRY(v, v->Clone(SQObjectPtr(Stk(v, idx)), r));
  if (!PushResult(v, r)) return SQ_ERROR;
  return SQ_OK;
}

SQRESULT sq_setfreevariable(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger nval) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 2);
  SQObjectPtr& o = Stk(v, idx);
  SQObjectPtr val = Stk(v, -1);
  if (sqtype(o) == OT_CLOSURE) {
    auto& outs = _closure(o)->_outers;
    if (nval >= outs.size()) return Err(v, "invalid free var index");
    _outer(outs[nval])->Ref() = val;
  } else if (sqtype(o) == OT_NATIVECLOSURE) {
    auto& outs = _nativeclosure(o)->_outers;
    if (nval >= outs.size()) return Err(v, "invalid free var index");
    outs[nval] = val;
  } else {
    return Err(v, "invalid type");
  }
  v->Pop();
  return SQ_OK;
}

const SQChar* sq_getfreevariable(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger nval) {
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) == OT_CLOSURE) {
    SQFunctionProto* p = _closure(o)->proto();
    if (nval >= p->outers.size()) return nullptr;
    if (!PushResult(v, SQObjectPtr(_outer(_closure(o)->_outers[nval])->Ref()))) return nullptr;
    return _string(p->outers[nval].name)->_val;
  }
  if (sqtype(o) == OT_NATIVECLOSURE) {
    if (nval >= _nativeclosure(o)->_outers.size()) return nullptr;
    if (!PushResult(v, SQObjectPtr(_nativeclosure(o)->_outers[nval]))) return nullptr;
    return u"@NATIVE";
  }
  return nullptr;
}

SQRESULT sq_next(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  NEED_ARGS(v, 2);
  SQObjectPtr o = Stk(v, idx), iter = Stk(v, -1), k, val;
  bool gen = false;
  SQInteger r = 0;
  if (sqtype(o) == OT_GENERATOR) return Err(v, "cannot iterate a generator");
  API_TRY(v, r = v->FOREACH(o, iter, k, val, gen));
  if (!r) return SQ_ERROR;
  Stk(v, -1) = iter;
  if (SQ_FAILED(sq_reservestack(v, 2))) return SQ_ERROR;
  v->Push(k);
  v->Push(val);
  return SQ_OK;
}

SQRESULT sq_getweakrefval(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  SQObjectPtr& o = Stk(v, idx);
  if (sqtype(o) != OT_WEAKREF) return Err(v, "the object must be a weakref");
  if (!PushResult(v, SQObjectPtr(_weakref(o)->_obj))) return SQ_ERROR;
  return SQ_OK;
}

SQRESULT sq_clear(HSQUIRRELVM v, SQInteger idx) {
  CHECK_IDX(v, idx);
  SQObjectPtr o = Stk(v, idx);
  switch (sqtype(o)) {
    case OT_TABLE: _table(o)->ClearAll(); break;
    case OT_ARRAY: _array(o)->_values.clear(); break;
    default: return Err(v, "clear only works on table and array");
  }
  return SQ_OK;
}

// ---------------------------------------------------------------- calls
SQRESULT sq_call(HSQUIRRELVM v, SQInteger params, SQBool retval, SQBool raiseerror) {
  if (params < 1 || sq_gettop(v) < params + 1) return Err(v, "not enough parameters in the stack");
  SQInteger base = v->_top - params;
  SQObjectPtr c = v->_stack[(size_t)base - 1], ret;
  int savedstate = v->_state;
  bool ok = v->Call(c, params, base, ret, raiseerror != 0);
  if (ok && v->_state == SQ_VMSTATE_SUSPENDED && savedstate != SQ_VMSTATE_SUSPENDED) {
    extern void sq_setwakeupbase(HSQUIRRELVM v, SQInteger base);
    sq_setwakeupbase(v, base);
    if (retval && !PushResult(v, ret)) return SQ_ERROR;
    return SQ_OK;
  }
  if (savedstate == SQ_VMSTATE_SUSPENDED) v->_state = SQ_VMSTATE_SUSPENDED;
  else if (v->_nestedexec == 0 && v->_state == SQ_VMSTATE_RUNNING) v->_state = SQ_VMSTATE_IDLE;
  v->Pop(v->_top - base);
  if (!ok) return SQ_ERROR;
  if (retval && !PushResult(v, ret)) return SQ_ERROR;
  return SQ_OK;
}


void sq_setwakeupbase(HSQUIRRELVM v, SQInteger base) { v->_suspendcallbase = base; }

SQRESULT sq_wakeupvm(HSQUIRRELVM v, SQBool resumedret, SQBool retval, SQBool raiseerror, SQBool throwerror) {
  if (v->_state != SQ_VMSTATE_SUSPENDED) return Err(v, "cannot resume a vm that is not running any code");
  SQObjectPtr val, ret;
  // the value a resumed suspend() returns is on top of the stack; an error to
  // throw at the suspension point was set beforehand with sq_throwerror
  if (resumedret) {
    if (v->_top <= 0) return Err(v, "no value to resume with");
    val = v->Top();
    v->Pop();
  }
  SQInteger base = v->_suspendcallbase;
  if (throwerror) v->_wakeupthrow = true;
  bool ok;
  try {
    ok = v->WakeUp(resumedret != 0, val, ret, raiseerror != 0);
  } catch (SQVMError&) {
    return SQ_ERROR;
  }
  if (ok && v->_state == SQ_VMSTATE_SUSPENDED) {
    if (retval && !PushResult(v, ret)) return SQ_ERROR;
    return SQ_OK;
  }
  if (v->_state != SQ_VMSTATE_SUSPENDED) v->_state = SQ_VMSTATE_IDLE;
  if (base >= 0 && base <= v->_top) v->Pop(v->_top - base);
  if (!ok) return SQ_ERROR;
  if (retval && !PushResult(v, ret)) return SQ_ERROR;
  return SQ_OK;
}

SQRESULT sq_resume(HSQUIRRELVM v, SQBool retval, SQBool raiseerror) {
  (void)raiseerror;
  SQObjectPtr g = Stk(v, -1);
  if (sqtype(g) != OT_GENERATOR) return Err(v, "only generators can be resumed");
  extern bool sq_resumegenerator(SQVM * v, SQGenerator * g, SQObjectPtr & ret);
  SQObjectPtr ret;
  if (!sq_resumegenerator(v, _generator(g), ret)) return SQ_ERROR;
  if (retval && !PushResult(v, ret)) return SQ_ERROR;
  return SQ_OK;
}

const SQChar* sq_getlocal(HSQUIRRELVM v, SQUnsignedInteger level, SQUnsignedInteger idx) {
  SQInteger n = (SQInteger)v->_frames.size();
  if ((SQInteger)level >= n) return nullptr;
  SQCallFrame& f = v->_frames[(size_t)(n - 1 - (SQInteger)level)];
  if (f.native || !f.proto) return nullptr;
  SQFunctionProto* p = f.proto;
  // free variables come first, as if they were at the base of the frame
  if (sqtype(f.closure) == OT_CLOSURE) {
    SQClosure* c = _closure(f.closure);
    size_t nout = std::min(p->outers.size(), c->_outers.size());
    if (idx < nout) {
      if (!PushResult(v, SQObjectPtr(_outer(c->_outers[idx])->Ref()))) return nullptr;
      return _string(p->outers[idx].name)->_val;
    }
    idx -= nout;
  }
  SQInteger pc = (SQInteger)(f.ip - p->code.data()) - 1;
  for (auto& lv : p->locals) {
    if (lv.startop <= pc && lv.endop >= pc) {
      if (idx == 0) {
        if (!PushResult(v, SQObjectPtr(v->_stack[(size_t)(f.base + lv.pos)]))) return nullptr;
        return _string(lv.name)->_val;
      }
      idx--;
    }
  }
  return nullptr;
}

SQRESULT sq_getcallee(HSQUIRRELVM v) {
  if (v->_frames.size() < 2) return Err(v, "no closure in the calls stack");
  if (!PushResult(v, SQObjectPtr(v->_frames[v->_frames.size() - 2].closure))) return SQ_ERROR;
  return SQ_OK;
}

SQRESULT sq_throwerror(HSQUIRRELVM v, const SQChar* err) {
  v->_lasterror = SQObjectPtr(SQString::Create(v->_ss, err));
  return SQ_ERROR;
}
SQRESULT sq_throwobject(HSQUIRRELVM v) {
  NEED_ARGS(v, 1);
  v->_lasterror = v->Top();
  v->Pop();
  return SQ_ERROR;
}
void sq_reseterror(HSQUIRRELVM v) { v->_lasterror.Null(); }
void sq_getlasterror(HSQUIRRELVM v) { SafePush(v, v->_lasterror); }

SQRESULT sq_getstackobj(HSQUIRRELVM v, SQInteger idx, HSQOBJECT* po) {
  CHECK_IDX(v, idx);
  SQObjectPtr& o = Stk(v, idx);
  po->_type = o._type;
  po->_unVal = o._unVal;
  return SQ_OK;
}
void sq_pushobject(HSQUIRRELVM v, HSQOBJECT obj) { SafePush(v, obj); }
// Host references are counted per VM (shared by its threads) apart from the
// internal count: the first one takes one internal reference that keeps the
// object alive, releasing the last drops it and nulls the handle.
void sq_addref(HSQUIRRELVM v, HSQOBJECT* po) {
  if (!po || !sq_isrc(po->_type)) return;
  SQRefCounted* r = po->_unVal.pRefCounted;
  try {
    SQUnsignedInteger& n = v->_ss->_hostrefs[r];
    if (n++ == 0) r->_uiRef++;
  } catch (std::bad_alloc&) {
    // the reference is not taken; the object lives on only as long as others hold it
  }
}
SQBool sq_release(HSQUIRRELVM v, HSQOBJECT* po) {
  if (!po || !sq_isrc(po->_type)) return SQTrue;
  SQRefCounted* r = po->_unVal.pRefCounted;
  auto& refs = v->_ss->_hostrefs;
  auto it = refs.find(r);
  if (it == refs.end()) return SQTrue;  // holds no host reference: nothing to release
  if (--it->second > 0) return SQFalse;
  refs.erase(it);
  sq_resetobject(po);
  if (--r->_uiRef == 0) sq_freeobject(r);
  return SQTrue;
}
SQUnsignedInteger sq_getrefcount(HSQUIRRELVM v, HSQOBJECT* po) {
  if (!po || !sq_isrc(po->_type)) return 0;
  auto& refs = v->_ss->_hostrefs;
  auto it = refs.find(po->_unVal.pRefCounted);
  return it == refs.end() ? 0 : it->second;
}
void sq_resetobject(HSQOBJECT* po) {
  po->_type = OT_NULL;
  po->_unVal.pRefCounted = nullptr;
}
const SQChar* sq_objtostring(const HSQOBJECT* o) {
  if (sqtype(*o) == OT_STRING) return _string(*o)->_val;
  return nullptr;
}
SQBool sq_objtobool(const HSQOBJECT* o) {
  if (o->_type & SQOBJECT_CANBEFALSE) {
    if (o->_type == OT_FLOAT) return o->_unVal.fFloat != 0.0f;
    return o->_unVal.nInteger != 0;
  }
  return SQTrue;
}
SQInteger sq_objtointeger(const HSQOBJECT* o) {
  if (sqtype(*o) == OT_INTEGER || sqtype(*o) == OT_FLOAT) return tointeger(*o);
  return 0;
}
SQFloat sq_objtofloat(const HSQOBJECT* o) {
  if (sqtype(*o) == OT_INTEGER || sqtype(*o) == OT_FLOAT) return tofloat(*o);
  return 0;
}
SQUserPointer sq_objtouserpointer(const HSQOBJECT* o) {
  if (sqtype(*o) == OT_USERPOINTER) return _userpointer(*o);
  return nullptr;
}

SQInteger sq_collectgarbage(HSQUIRRELVM v) { return v->_ss->CollectGarbage(v, nullptr); }

SQRESULT sq_resurrectunreachable(HSQUIRRELVM v) {
  SQObjectPtr r;
  v->_ss->CollectGarbage(v, &r);
  if (!PushResult(v, r)) return SQ_ERROR;
  return SQ_OK;
}

// ---------------------------------------------------------------- bytecode streams
namespace {
struct Writer {
  SQWRITEFUNC f;
  SQUserPointer up;
  bool ok = true;
  void Bytes(const void* p, SQInteger n) {
    if (ok && f(up, (SQUserPointer)p, n) != n) ok = false;
  }
  void I32(int32_t i) { Bytes(&i, 4); }
  void Str(const SQObject& o) {
    if (sqtype(o) != OT_STRING) {
      I32(-1);
      return;
    }
    I32((int32_t)_string(o)->_len);
    Bytes(_string(o)->_val, _string(o)->_len * (SQInteger)sizeof(SQChar));
  }
  void Value(const SQObject& o) {
    I32((int32_t)sqtype(o));
    switch (sqtype(o)) {
      case OT_STRING: Str(o); break;
      case OT_INTEGER: case OT_BOOL: I32(_integer(o)); break;
      case OT_FLOAT: Bytes(&o._unVal.fFloat, 4); break;
      case OT_NULL: break;
      default: ok = false;
    }
  }
  void Proto(SQFunctionProto* p) {
    I32(0x50524F54);  // 'PROT'
    Str(p->name);
    Str(p->source);
    I32(p->nparams);
    I32(p->ndefaults);
    I32(p->varparams);
    I32(p->generator);
    I32(p->stacksize);
    I32((int32_t)p->params.size());
    for (auto& x : p->params) Str(x);
    I32((int32_t)p->literals.size());
    for (auto& x : p->literals) Value(x);
    I32((int32_t)p->outers.size());
    for (auto& x : p->outers) {
      Str(x.name);
      I32(x.fromOuter);
      I32(x.idx);
    }
    I32((int32_t)p->locals.size());
    for (auto& x : p->locals) {
      Str(x.name);
      I32(x.pos);
      I32(x.startop);
      I32(x.endop);
    }
    I32((int32_t)p->lines.size());
    for (auto& x : p->lines) {
      I32(x.op);
      I32(x.line);
    }
    I32((int32_t)p->code.size());
    Bytes(p->code.data(), (SQInteger)(p->code.size() * sizeof(SQInstruction)));
    I32((int32_t)p->functions.size());
    for (auto& x : p->functions) Proto(_funcproto(x));
  }
};

struct Reader {
  SQVM* v;
  SQREADFUNC f;
  SQUserPointer up;
  bool ok = true;
  void Bytes(void* p, SQInteger n) {
    if (n < 0 || (ok && f(up, p, n) != n)) ok = false;
    if (!ok) memset(p, 0, (size_t)std::max<SQInteger>(n, 0));
  }
  int32_t I32() {
    int32_t i = 0;
    Bytes(&i, 4);
    return i;
  }
  int32_t Count() {
    int32_t n = I32();
    if (n < 0 || n > (1 << 24)) {
      ok = false;
      return 0;
    }
    return n;
  }
  SQObjectPtr Str() {
    int32_t n = I32();
    if (n < 0 || !ok) return SQObjectPtr();
    if (n > (1 << 26)) {
      ok = false;
      return SQObjectPtr();
    }
    sqstring s((size_t)n, 0);
    Bytes(s.data(), n * (SQInteger)sizeof(SQChar));
    return sq_str16(v->_ss, s);
  }
  SQObjectPtr Value() {
    int32_t t = I32();
    switch (t) {
      case OT_STRING: return Str();
      case OT_INTEGER: return SQObjectPtr((SQInteger)I32());
      case OT_BOOL: return SQObjectPtr(I32() != 0);
      case OT_FLOAT: {
        SQFloat fl;
        Bytes(&fl, 4);
        return SQObjectPtr(fl);
      }
      case OT_NULL: return SQObjectPtr();
      default: ok = false; return SQObjectPtr();
    }
  }
  SQObjectPtr Proto(int depth) {
    if (depth > 200 || I32() != 0x50524F54) {
      ok = false;
      return SQObjectPtr();
    }
    SQFunctionProto* p = new SQFunctionProto();
    SQObjectPtr po(p);
    p->name = Str();
    p->source = Str();
    p->nparams = I32();
    p->ndefaults = I32();
    p->varparams = I32() != 0;
    p->generator = I32() != 0;
    p->stacksize = I32();
    for (int32_t i = 0, n = Count(); i < n && ok; i++) p->params.push_back(Str());
    for (int32_t i = 0, n = Count(); i < n && ok; i++) p->literals.push_back(Value());
    for (int32_t i = 0, n = Count(); i < n && ok; i++) {
      SQOuterVarInfo o;
      o.name = Str();
      o.fromOuter = I32() != 0;
      o.idx = I32();
      p->outers.push_back(o);
    }
    for (int32_t i = 0, n = Count(); i < n && ok; i++) {
      SQLocalVarInfo l;
      l.name = Str();
      l.pos = I32();
      l.startop = I32();
      l.endop = I32();
      p->locals.push_back(l);
    }
    for (int32_t i = 0, n = Count(); i < n && ok; i++) {
      SQLineInfo l;
      l.op = I32();
      l.line = I32();
      p->lines.push_back(l);
    }
    int32_t nc = Count();
    if (ok) {
      p->code.resize((size_t)nc);
      Bytes(p->code.data(), nc * (SQInteger)sizeof(SQInstruction));
    }
    for (int32_t i = 0, n = Count(); i < n && ok; i++) p->functions.push_back(Proto(depth + 1));
    // reject streams whose code would index outside the function's tables
    if (ok && (p->stacksize < p->nparams + 1 || p->stacksize > 256 || p->nparams < 1 ||
               p->ndefaults > p->nparams || p->code.empty()))
      ok = false;
    return po;
  }
};
}  // namespace

SQRESULT sq_writeclosure(HSQUIRRELVM v, SQWRITEFUNC writef, SQUserPointer up) {
  SQObjectPtr& o = Stk(v, -1);
  if (sqtype(o) != OT_CLOSURE) return Err(v, "the target is not a closure");
  if (!_closure(o)->_outers.empty()) return Err(v, "a closure with free variables cannot be serialized");
  Writer w{writef, up};
  uint16_t tag = SQ_BYTECODE_STREAM_TAG;
  w.Bytes(&tag, 2);
  w.I32(0x53514252);  // stream signature
  w.I32((int32_t)sizeof(SQChar));
  w.I32((int32_t)sizeof(SQInteger));
  w.I32((int32_t)sizeof(SQFloat));
  w.Proto(_closure(o)->proto());
  if (!w.ok) return Err(v, "io error, cannot write the closure");
  return SQ_OK;
}

SQRESULT sq_readclosure(HSQUIRRELVM v, SQREADFUNC readf, SQUserPointer up) {
  Reader r{v, readf, up};
  uint16_t tag = 0;
  r.Bytes(&tag, 2);
  if (!r.ok || tag != SQ_BYTECODE_STREAM_TAG) return Err(v, "invalid stream");
  if (r.I32() != 0x53514252 || r.I32() != (int32_t)sizeof(SQChar) || r.I32() != (int32_t)sizeof(SQInteger) ||
      r.I32() != (int32_t)sizeof(SQFloat))
    return Err(v, "invalid stream");
  SQObjectPtr p = r.Proto(0);
  if (!r.ok) return Err(v, "invalid or damaged bytecode stream");
  extern bool sq_verifyproto(SQFunctionProto * p);
  if (!sq_verifyproto(_funcproto(p))) return Err(v, "invalid or damaged bytecode stream");
  if (!PushResult(v, SQObjectPtr(new SQClosure(v->_ss, _funcproto(p))))) return SQ_ERROR;
  return SQ_OK;
}

void* sq_malloc(SQUnsignedInteger size) { return malloc(size); }
void* sq_realloc(void* p, SQUnsignedInteger, SQUnsignedInteger newsize) { return realloc(p, newsize); }
void sq_free(void* p, SQUnsignedInteger) { free(p); }

SQRESULT sq_stackinfos(HSQUIRRELVM v, SQInteger level, SQStackInfos* si) {
  SQInteger n = (SQInteger)v->_frames.size();
  if (level < 0 || level >= n) return SQ_ERROR;
  SQCallFrame& f = v->_frames[(size_t)(n - 1 - level)];
  si->funcname = u"unknown";
  if (f.native) {
    SQNativeClosure* nc = _nativeclosure(f.closure);
    if (sqtype(nc->_name) == OT_STRING) si->funcname = _string(nc->_name)->_val;
    si->source = u"NATIVE";
    si->line = -1;
    return SQ_OK;
  }
  SQFunctionProto* p = f.proto;
  if (sqtype(p->name) == OT_STRING) si->funcname = _string(p->name)->_val;
  si->source = sqtype(p->source) == OT_STRING ? _string(p->source)->_val : u"unknown";
  si->line = p->GetLine((int)(f.ip - p->code.data()) - 1);
  return SQ_OK;
}
