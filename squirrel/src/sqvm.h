// The virtual machine (one per thread) and the state shared by all threads
// created from the same sq_open.
#pragma once
#include "sqobject.h"

#include <unordered_map>

#define SQ_SUSPEND_FLAG -666
#define SQ_MAX_FRAMES 8000       // script call depth
#define SQ_MAX_NATIVE_NESTING 180  // nested C++ entries of the interpreter
#define SQ_MAX_STACK (1 << 22)

struct SQVMError {};

extern int g_sqhookusers;  // VMs with a debug hook set (the interpreter checks hooks while > 0)  // thrown inside the engine once _lasterror is set

struct SQSharedState {
  // string interning
  SQString** _strbuckets = nullptr;
  uint32_t _strcap = 0;
  uint32_t _strcount = 0;
  void* _bigblock = nullptr;  // one freed big string block kept for reuse
  size_t _bigblockcap = 0;
  // every collectable object
  SQCollectable* _gchead = nullptr;
  SQObjectPtr _registry;
  SQObjectPtr _consts;
  SQObjectPtr _metanames[MT_LAST];
  SQObjectPtr _constructorname;
  SQObjectPtr _outofmemory;  // "out of memory", kept so that raising it never allocates
  SQObjectPtr _tableDelegate, _arrayDelegate, _stringDelegate, _numberDelegate, _closureDelegate,
      _generatorDelegate, _threadDelegate, _classDelegate, _instanceDelegate, _weakrefDelegate;
  SQObjectPtr _baselib;  // table of base functions (re-registered for new threads)
  SQCOMPILERERROR _compilererrorhandler = nullptr;
  SQPRINTFUNCTION _printfunc = nullptr;
  SQPRINTFUNCTION _errorfunc = nullptr;
  bool _debuginfo = false;
  bool _notifyallexceptions = false;
  SQInteger _execdepth = 0;  // nested interpreter entries over all threads
  std::vector<SQChar> _scratch;
  SQVM* _rootvm = nullptr;
  // host references (sq_addref) per object; an object with any holds one
  // internal reference that keeps it alive
  std::unordered_map<SQRefCounted*, SQUnsignedInteger> _hostrefs;
  SQSharedState();
  ~SQSharedState();
  SQString* Str(const char* ascii) { return SQString::CreateAscii(this, ascii); }
  void InternAdd(SQString* s);
  void InternRemove(SQString* s);
  SQInteger CollectGarbage(SQVM* vm, SQObjectPtr* resurrected);
};

struct SQCallFrame {
  const SQInstruction* ip = nullptr;
  SQInteger base = 0;     // absolute index of register 0 ('this')
  SQInteger prevtop = 0;  // caller's top (natives)
  SQObjectPtr closure;    // closure or native closure
  SQFunctionProto* proto = nullptr;
  const SQObjectPtr* literals = nullptr;
  SQInteger target = -1;  // absolute slot receiving the result, -1 none
  SQInteger ntraps = 0;
  SQGenerator* generator = nullptr;
  int lastline = -1;   // for the debug hook's line events
  bool root = false;   // returning from it leaves the current Execute
  bool native = false;
  bool ctor = false;        // a constructor: the caller's result slot already holds the instance
  bool foreachgen = false;  // a generator resumed by foreach: its end leaves the loop
};

struct SQVMTrap : SQExceptionTrap {
  SQInteger frame;  // frame index
};

struct SQVM : SQCollectable {
  std::vector<SQObjectPtr> _stack;
  SQInteger _top = 0;
  SQInteger _stackbase = 0;
  std::vector<SQCallFrame> _frames;
  std::vector<SQVMTrap> _traps;
  SQOuter* _openouters = nullptr;
  SQObjectPtr _roottable;
  SQObjectPtr _lasterror;
  SQObjectPtr _errorhandler;
  SQObjectPtr _debughook;
  SQDEBUGHOOK _nativedebughook = nullptr;
  SQUserPointer _foreignptr = nullptr;
  SQInteger _nnativecalls = 0;
  SQInteger _nestedexec = 0;
  int _state = SQ_VMSTATE_IDLE;
  SQInteger _suspendtarget = -1;  // slot receiving the wake-up value
  SQInteger _suspendroot = 0;     // frame count of the suspended run's root
  bool _suspendraise = true;
  SQObjectPtr _suspendvalue;
  SQObjectPtr _badslot;  // what the C API reads through an index outside the stack (always null)
  bool _inerrorhandler = false;
  bool _inhook = false;
  bool _wakeupthrow = false;        // resume by raising _lasterror
  SQInteger _suspendcallbase = -1;  // stack base of the host call that suspended

  explicit SQVM(SQSharedState* ss);
  ~SQVM() override;
  void Traverse(void (*fn)(const SQObject&, void*), void* ud) override;
  void Clear() override;

  // stack
  void EnsureStack(SQInteger n) {
    if ((SQInteger)_stack.size() < n) GrowStack(n);
  }
  void GrowStack(SQInteger n);
  void Push(const SQObject& o) {
    EnsureStack(_top + 1);
    _stack[(size_t)_top++] = o;
  }
  void PushNull() {
    EnsureStack(_top + 1);
    _stack[(size_t)_top++].Null();
  }
  void Pop() { _stack[(size_t)--_top].Null(); }
  void Pop(SQInteger n) {
    for (SQInteger i = 0; i < n; i++) _stack[(size_t)--_top].Null();
  }
  SQObjectPtr& Top() { return _stack[(size_t)_top - 1]; }
  SQObjectPtr& StackAt(SQInteger idx) {  // API index
    return idx >= 0 ? _stack[(size_t)(_stackbase + idx - 1)] : _stack[(size_t)(_top + idx)];
  }
  SQInteger AbsIndex(SQInteger idx) { return idx >= 0 ? _stackbase + idx - 1 : _top + idx; }

  // errors
  [[noreturn]] void Raise(const sqstring& msg);
  [[noreturn]] void RaiseAscii(const char* fmt, ...);
  [[noreturn]] void RaiseObj(const SQObject& o);
  [[noreturn]] void RaiseIdxNotExist(const SQObject& key);
  [[noreturn]] void RaiseCompare(const SQObject& a, const SQObject& b);
  [[noreturn]] void RaiseArith(int op, const SQObject& a, const SQObject& b);
  [[noreturn]] void RaiseParamType(SQInteger n, SQObjectType got, SQInteger mask);
  void CallErrorHandler(const SQObject& err);

  // object protocol (may run script code; raise SQVMError)
  SQString* PrintObj(const SQObject& o);  // for error texts
  bool Get(const SQObject& self, const SQObject& key, SQObjectPtr& dest, bool raw, bool fallbackroot);
  void GetOrRaise(const SQObject& self, const SQObject& key, SQObjectPtr& dest, bool fallbackroot);
  bool GetDelegated(const SQObject& self, const SQObject& key, SQObjectPtr& dest);
  bool InvokeGetMeta(const SQObject& self, const SQObject& key, SQObjectPtr& dest, int& status);
  void Set(const SQObject& self, const SQObject& key, const SQObject& val, bool fallbackroot);
  bool TrySet(const SQObject& self, const SQObject& key, const SQObject& val);
  bool RawSet(const SQObject& self, const SQObject& key, const SQObject& val);
  void NewSlot(const SQObject& self, const SQObject& key, const SQObject& val, const SQObject& attrs,
               int bstatic, bool raw);
  void DeleteSlot(const SQObject& self, const SQObject& key, SQObjectPtr& res, bool raw);
  void Clone(const SQObject& self, SQObjectPtr& dest);
  bool GetMetaMethod(const SQObject& o, SQMetaMethod mm, SQObjectPtr& closure);
  void Arith(int op, SQObjectPtr& dest, const SQObject& a, const SQObject& b);
  void Unm(SQObjectPtr& dest, const SQObject& a);
  SQInteger Compare(const SQObject& a, const SQObject& b);  // -1 0 1
  bool IsEqual(const SQObject& a, const SQObject& b);
  void ToString(const SQObject& o, SQObjectPtr& dest);
  void TypeOf(const SQObject& o, SQObjectPtr& dest);
  bool InstanceOf(const SQObject& inst, const SQObject& cls);
  bool In(const SQObject& key, const SQObject& obj);
  // Calls `closure` with the arguments already on the stack (nparams incl.
  // 'this' at the top); leaves them there. Returns false on error.
  bool Call(const SQObject& closure, SQInteger nparams, SQInteger stackbase, SQObjectPtr& ret,
            bool raiseerror);
  // Calls a metamethod with this=self and the given extra args.
  void CallMeta(const SQObject& closure, const SQObject& self, SQInteger nargs, const SQObject* args,
                SQObjectPtr& ret);
  bool TryCallMeta(const SQObject& self, SQMetaMethod mm, SQInteger nargs, const SQObject* args,
                   SQObjectPtr& ret);
  SQInteger FOREACH(SQObjectPtr& o, SQObjectPtr& iter, SQObjectPtr& k, SQObjectPtr& v, bool& gen);

  // interpreter
  bool EnterScriptFrame(const SQObject& closure, SQInteger base, SQInteger nargs, SQInteger target,
                        bool root);
  bool CallNative(SQNativeClosure* nc, SQInteger base, SQInteger nargs, SQObjectPtr& ret, bool& suspend);
  bool Execute(SQInteger rootframe, SQObjectPtr& ret, bool raiseerror);
  bool HandleError(SQInteger rootframe, SQObjectPtr& ret, bool raiseerror);
  bool Resume(SQGenerator* g, SQInteger target);
  // Puts a suspended generator's frame on the stack with its registers at
  // base (the slot below keeps the generator alive while it runs); raises
  // when the generator cannot be resumed.
  void PushGeneratorFrame(SQGenerator* g, SQInteger base, SQInteger target, bool root);
  void Yield(SQCallFrame& f, SQInteger reg);
  void CloseOuters(SQInteger fromidx);
  SQObjectPtr FindOuter(SQInteger stackidx);
  void LeaveFrame();
  bool WakeUp(bool resumedret, const SQObject& val, SQObjectPtr& ret, bool raiseerror);
  void CallDebugHook(int type, SQInteger line);
  void DebugStep(int op);
  bool HasHook() const { return sqtype(_debughook) != OT_NULL || _nativedebughook != nullptr; }
  void SetHook(const SQObject& closure, SQDEBUGHOOK native) {
    bool had = HasHook();
    _debughook = closure;
    _nativedebughook = native;
    g_sqhookusers += (HasHook() ? 1 : 0) - (had ? 1 : 0);
  }
};

// Helpers shared by the base library and the API.
SQTable* sq_newtable_obj(SQSharedState* ss, SQInteger hint = 0);
SQArray* sq_newarray_obj(SQSharedState* ss, SQInteger n);
SQNativeClosure* sq_newnative(SQSharedState* ss, SQFUNCTION f, const char* name);
bool sq_compile_src(SQVM* v, const SQChar* src, SQInteger len, const SQChar* sourcename, bool raiseerror,
                    SQObjectPtr& out);
bool sq_settypemask(SQNativeClosure* nc, SQInteger nparamscheck, const SQChar* mask);
void sq_registerbaselib(SQVM* v);
void sq_initdelegates(SQSharedState* ss);
SQObjectPtr sq_defaultdelegate(SQSharedState* ss, SQObjectType t);
bool sq_tostring_simple(SQSharedState* ss, const SQObject& o, SQObjectPtr& out);  // no metamethods
SQObjectPtr sq_str(SQSharedState* ss, const char* s);
SQObjectPtr sq_str16(SQSharedState* ss, const sqstring& s);
bool sq_str2num(const SQChar* s, SQInteger len, SQObjectPtr& out, bool wantfloat);
const SQChar* sq_typeofname(SQObjectType t);
