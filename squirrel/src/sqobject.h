// Object model of the engine: tagged values, reference counting, the
// collectable chain used by the cycle collector, and every heap type.
#pragma once
#include "squirrel.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "sqmemory.h"

struct SQSharedState;
struct SQObjectPtr;

using sqstring = std::u16string;

// ---------------------------------------------------------------- refcounting
struct SQRefCounted {
  uint32_t _uiRef = 0;
  SQWeakRef* _weakref = nullptr;
  virtual ~SQRefCounted();
  // Called once the count reaches zero (possibly deferred).
  virtual void Destroy() { delete this; }
  // Every object is charged to the memory budget (sqmemory.h); the virtual destructor makes
  // delete pass the object's own size.
  static void* operator new(size_t n);
  static void* operator new(size_t, void* at) noexcept { return at; }
  static void operator delete(void* p, size_t n) noexcept;
  static void operator delete(void*, void*) noexcept {}
};

// The values of an array, charged to the memory budget.
using SQValueVector = std::vector<SQObjectPtr, sqmem::Allocator<SQObjectPtr>>;

// Frees an object whose count reached zero; destruction of nested objects is
// queued instead of recursing so that long chains cannot exhaust the C stack.
void sq_freeobject(SQRefCounted* o);

inline bool sq_isrc(SQObjectType t) { return (t & SQOBJECT_REF_COUNTED) != 0; }

struct SQObjectPtr : SQObject {
  SQObjectPtr() { _type = OT_NULL; _unVal.pRefCounted = nullptr; }
  SQObjectPtr(const SQObjectPtr& o) {
    _type = o._type;
    _unVal = o._unVal;
    if (sq_isrc(_type)) _unVal.pRefCounted->_uiRef++;
  }
  SQObjectPtr(const SQObject& o) {
    _type = o._type;
    _unVal = o._unVal;
    if (sq_isrc(_type)) _unVal.pRefCounted->_uiRef++;
  }
  SQObjectPtr(SQObjectPtr&& o) noexcept {
    _type = o._type;
    _unVal = o._unVal;
    o._type = OT_NULL;
    o._unVal.pRefCounted = nullptr;
  }
  SQObjectPtr(SQObjectType t, SQRefCounted* p) {
    _type = t;
    _unVal.pRefCounted = nullptr;
    _unVal.pRefCounted = p;
    if (sq_isrc(t)) p->_uiRef++;
  }
  explicit SQObjectPtr(SQInteger i) { _type = OT_INTEGER; _unVal.pRefCounted = nullptr; _unVal.nInteger = i; }
  explicit SQObjectPtr(SQFloat f) { _type = OT_FLOAT; _unVal.pRefCounted = nullptr; _unVal.fFloat = f; }
  explicit SQObjectPtr(bool b) { _type = OT_BOOL; _unVal.pRefCounted = nullptr; _unVal.nInteger = b ? 1 : 0; }
  explicit SQObjectPtr(SQUserPointer p) { _type = OT_USERPOINTER; _unVal.pRefCounted = nullptr; _unVal.pUserPointer = p; }
  SQObjectPtr(SQString* s);
  SQObjectPtr(SQTable* t);
  SQObjectPtr(SQArray* a);
  SQObjectPtr(SQClosure* c);
  SQObjectPtr(SQNativeClosure* c);
  SQObjectPtr(SQClass* c);
  SQObjectPtr(SQInstance* c);
  SQObjectPtr(SQGenerator* c);
  SQObjectPtr(SQVM* c);
  SQObjectPtr(SQFunctionProto* c);
  SQObjectPtr(SQOuter* c);
  SQObjectPtr(SQWeakRef* c);
  SQObjectPtr(SQUserData* c);
  ~SQObjectPtr() {
    if (sq_isrc(_type) && --_unVal.pRefCounted->_uiRef == 0) sq_freeobject(_unVal.pRefCounted);
  }
  SQObjectPtr& operator=(const SQObjectPtr& o) {
    SQObjectType ot = _type;
    SQObjectValue ov = _unVal;
    _type = o._type;
    _unVal = o._unVal;
    if (sq_isrc(_type)) _unVal.pRefCounted->_uiRef++;
    if (sq_isrc(ot) && --ov.pRefCounted->_uiRef == 0) sq_freeobject(ov.pRefCounted);
    return *this;
  }
  SQObjectPtr& operator=(const SQObject& o) { return *this = SQObjectPtr(o); }
  SQObjectPtr& operator=(SQObjectPtr&& o) noexcept {
    if (this != &o) {
      SQObjectType ot = _type;
      SQObjectValue ov = _unVal;
      _type = o._type;
      _unVal = o._unVal;
      o._type = OT_NULL;
      o._unVal.pRefCounted = nullptr;
      if (sq_isrc(ot) && --ov.pRefCounted->_uiRef == 0) sq_freeobject(ov.pRefCounted);
    }
    return *this;
  }
  void Null() {
    SQObjectType ot = _type;
    SQObjectValue ov = _unVal;
    _type = OT_NULL;
    _unVal.pRefCounted = nullptr;
    if (sq_isrc(ot) && --ov.pRefCounted->_uiRef == 0) sq_freeobject(ov.pRefCounted);
  }
  void SetInt(SQInteger i) {
    if (sq_isrc(_type)) Null();
    _type = OT_INTEGER;
    _unVal.pRefCounted = nullptr;
    _unVal.nInteger = i;
  }
  void SetFloat(SQFloat f) {
    if (sq_isrc(_type)) Null();
    _type = OT_FLOAT;
    _unVal.pRefCounted = nullptr;
    _unVal.fFloat = f;
  }
  void SetBool(bool b) {
    if (sq_isrc(_type)) Null();
    _type = OT_BOOL;
    _unVal.pRefCounted = nullptr;
    _unVal.nInteger = b;
  }
};

#define sqtype(o) ((o)._type)
#define _integer(o) ((o)._unVal.nInteger)
#define _float(o) ((o)._unVal.fFloat)
#define _string(o) ((o)._unVal.pString)
#define _table(o) ((o)._unVal.pTable)
#define _array(o) ((o)._unVal.pArray)
#define _closure(o) ((o)._unVal.pClosure)
#define _nativeclosure(o) ((o)._unVal.pNativeClosure)
#define _class(o) ((o)._unVal.pClass)
#define _instance(o) ((o)._unVal.pInstance)
#define _generator(o) ((o)._unVal.pGenerator)
#define _thread(o) ((o)._unVal.pThread)
#define _funcproto(o) ((o)._unVal.pFunctionProto)
#define _outer(o) ((o)._unVal.pOuter)
#define _weakref(o) ((o)._unVal.pWeakRef)
#define _userdata(o) ((o)._unVal.pUserData)
#define _userpointer(o) ((o)._unVal.pUserPointer)
#define _refcounted(o) ((o)._unVal.pRefCounted)
#define tofloat(o) (sqtype(o) == OT_INTEGER ? (SQFloat)_integer(o) : _float(o))
#define tointeger(o) (sqtype(o) == OT_FLOAT ? (SQInteger)_float(o) : _integer(o))

inline bool sq_rawequal(const SQObject& a, const SQObject& b) {
  return a._type == b._type && a._unVal.pRefCounted == b._unVal.pRefCounted;
}

// ---------------------------------------------------------------- strings
struct SQString : SQRefCounted {
  SQSharedState* _ss;
  SQString* _next;
  SQHash _hash;
  SQInteger _len;
  size_t _alloc;  // bytes allocated for the object
  SQChar _val[1];
  void Destroy() override;
  static SQString* Create(SQSharedState* ss, const SQChar* s, SQInteger len = -1);
  static SQString* Create(SQSharedState* ss, const sqstring& s) { return Create(ss, s.data(), (SQInteger)s.size()); }
  // Results of at most this many units are built on the stack before interning.
  static constexpr SQInteger kShortConcat = 256;
  static SQString* Concat(SQSharedState* ss, const SQChar* a, SQInteger alen, const SQChar* b, SQInteger blen);
  static SQString* CreateAscii(SQSharedState* ss, const char* s);
  static SQString* Concat(SQSharedState* ss, const SQString* a, const SQString* b);
  sqstring str() const { return sqstring(_val, (size_t)_len); }
};

// ---------------------------------------------------------------- collectables
struct SQCollectable : SQRefCounted {
  SQCollectable* _gcnext = nullptr;
  SQCollectable* _gcprev = nullptr;
  SQSharedState* _ss;
  intptr_t _gcrefs = 0;
  explicit SQCollectable(SQSharedState* ss);
  ~SQCollectable() override;
  // Visits every strong reference held by the object.
  virtual void Traverse(void (*fn)(const SQObject&, void*), void* ud) = 0;
  // Drops every reference held (used to break cycles).
  virtual void Clear() = 0;
};

inline bool sq_iscollectable(SQObjectType t) {
  switch (t) {
    case OT_TABLE: case OT_ARRAY: case OT_CLOSURE: case OT_NATIVECLOSURE: case OT_GENERATOR:
    case OT_THREAD: case OT_CLASS: case OT_INSTANCE: case OT_OUTER: case OT_USERDATA:
      return true;
    default:
      return false;
  }
}

struct SQWeakRef : SQRefCounted {
  SQObject _obj;  // not counted; nulled when the target dies
  ~SQWeakRef() override {
    if (sq_isrc(_obj._type)) _obj._unVal.pRefCounted->_weakref = nullptr;
  }
};

SQObjectPtr sq_getweakref(SQObjectType t, SQRefCounted* o);

// A weak reference read out of a table slot, an array element or a member
// stands for its target (null once the target is gone).
inline const SQObject& sq_realval(const SQObject& o) {
  return o._type == OT_WEAKREF ? o._unVal.pWeakRef->_obj : o;
}

struct SQTable : SQCollectable {
  struct Node {
    SQObjectPtr key;  // OT_NULL: empty; type 0: deleted
    SQObjectPtr val;
  };
  Node* _nodes = nullptr;
  uint32_t _cap = 0;    // power of two or zero
  uint32_t _count = 0;  // live entries
  uint32_t _used = 0;   // live + deleted
  SQObjectPtr _delegate;
  SQTable(SQSharedState* ss, SQInteger hint);
  ~SQTable() override;
  static SQHash HashKey(const SQObject& k) {
    switch (k._type) {
      case OT_STRING: return k._unVal.pString->_hash;
      // Consecutive integer keys land in consecutive slots (the common
      // array-like use stays cache friendly); folding in the higher bytes spreads
      // keys that differ only above the table's mask.
      case OT_INTEGER: {
        uint32_t u = (uint32_t)k._unVal.nInteger;
        return (SQHash)(u ^ (u >> 8) ^ (u >> 16));
      }
      case OT_FLOAT: {
        uint32_t b;
        memcpy(&b, &k._unVal.fFloat, 4);
        return (SQHash)(b * 2654435761u + 7);
      }
      default: {
        uint64_t p = (uint64_t)(uintptr_t)k._unVal.pRefCounted;
        return (SQHash)((p >> 4) ^ (p >> 20) ^ (p * 2654435761u));
      }
    }
  }
  Node* FindNode(const SQObject& key) const {
    if (!_cap) return nullptr;
    uint32_t mask = _cap - 1;
    uint32_t i = HashKey(key) & mask;
    for (;;) {
      Node* n = &_nodes[i];
      // a null key meets the first empty node: null is never a key
      if (n->key._type == key._type && n->key._unVal.pRefCounted == key._unVal.pRefCounted)
        return key._type != OT_NULL ? n : nullptr;
      if (n->key._type == OT_NULL) return nullptr;
      i = (i + 1) & mask;
    }
  }
  bool Get(const SQObject& key, SQObjectPtr& out) const {
    Node* n = FindNode(key);
    if (!n) return false;
    out = sq_realval(n->val);
    return true;
  }
  bool Set(const SQObject& key, const SQObject& val) {  // only existing
    Node* n = FindNode(key);
    if (!n) return false;
    n->val = val;
    return true;
  }
  void NewSlot(const SQObject& key, const SQObject& val);
  bool Remove(const SQObject& key);
  SQInteger CountUsed() const { return (SQInteger)_count; }
  // Iteration: returns the next live slot at or after i, or -1.
  SQInteger Next(SQInteger i, SQObjectPtr& key, SQObjectPtr& val) const {
    for (uint32_t j = (uint32_t)i; j < _cap; j++) {
      if (_nodes[j].key._type != OT_NULL && _nodes[j].key._type != 0) {
        key = _nodes[j].key;
        val = sq_realval(_nodes[j].val);
        return (SQInteger)j;
      }
    }
    return -1;
  }
  SQTable* Clone();
  void ClearAll();
  void Rehash(uint32_t newcap);
  void Traverse(void (*fn)(const SQObject&, void*), void* ud) override;
  void Clear() override {
    ClearAll();
    _delegate.Null();
  }
};

struct SQArray : SQCollectable {
  SQValueVector _values;
  SQArray(SQSharedState* ss, SQInteger n) : SQCollectable(ss) { _values.resize((size_t)n); }
  void Traverse(void (*fn)(const SQObject&, void*), void* ud) override {
    for (auto& v : _values) fn(v, ud);
  }
  void Clear() override {
    SQValueVector tmp;
    tmp.swap(_values);
  }
  SQInteger Size() const { return (SQInteger)_values.size(); }
};

// ---------------------------------------------------------------- code
struct SQInstruction {
  uint8_t op;
  uint8_t a;
  uint8_t b;
  uint8_t c;
  int32_t d;
};

struct SQOuterVarInfo {
  SQObjectPtr name;
  bool fromOuter;  // false: register of the enclosing function; true: its outer
  int idx;
};
struct SQLocalVarInfo {
  SQObjectPtr name;
  int pos;
  int startop;
  int endop;
};
struct SQLineInfo {
  int op;
  int line;
};

struct SQFunctionProto : SQRefCounted {
  std::vector<SQInstruction> code;
  std::vector<SQObjectPtr> literals;
  std::vector<SQObjectPtr> functions;
  std::vector<SQOuterVarInfo> outers;
  std::vector<SQLocalVarInfo> locals;
  std::vector<SQLineInfo> lines;
  std::vector<SQObjectPtr> params;  // parameter names (incl. this)
  int nparams = 0;                  // incl. this, excl. vargv
  int ndefaults = 0;
  bool varparams = false;
  bool generator = false;
  bool debuginfo = false;  // compiled with debug info: line events for the debug hook
  int stacksize = 0;
  SQObjectPtr name;
  SQObjectPtr source;
  int GetLine(int pc) const;
};

struct SQOuter : SQCollectable {
  SQVM* _vm = nullptr;   // while open
  SQInteger _idx = -1;   // stack slot while open
  SQOuter* _nextopen = nullptr;
  SQObjectPtr _value;    // once closed
  explicit SQOuter(SQSharedState* ss) : SQCollectable(ss) {}
  SQObjectPtr& Ref();
  void Traverse(void (*fn)(const SQObject&, void*), void* ud) override { fn(_value, ud); }
  void Clear() override { _value.Null(); }
};

struct SQClosure : SQCollectable {
  SQObjectPtr _proto;
  std::vector<SQObjectPtr> _outers;
  std::vector<SQObjectPtr> _defaults;
  SQObjectPtr _env;   // weak reference or null
  SQObjectPtr _base;  // class the method belongs to (for `base`)
  explicit SQClosure(SQSharedState* ss, SQFunctionProto* p) : SQCollectable(ss), _proto(p) {}
  SQFunctionProto* proto() const { return _proto._unVal.pFunctionProto; }
  void Traverse(void (*fn)(const SQObject&, void*), void* ud) override {
    for (auto& v : _outers) fn(v, ud);
    for (auto& v : _defaults) fn(v, ud);
    fn(_env, ud);
    fn(_base, ud);
  }
  void Clear() override {
    std::vector<SQObjectPtr> a, b;
    a.swap(_outers);
    b.swap(_defaults);
    _env.Null();
    _base.Null();
  }
  SQClosure* Clone();
};

struct SQNativeClosure : SQCollectable {
  SQFUNCTION _function = nullptr;
  std::vector<SQObjectPtr> _outers;
  std::vector<SQInteger> _typecheck;  // one type mask per parameter; -1 accepts any
  SQInteger _nparamscheck = 0;
  SQObjectPtr _name;
  SQObjectPtr _env;
  explicit SQNativeClosure(SQSharedState* ss) : SQCollectable(ss) {}
  void Traverse(void (*fn)(const SQObject&, void*), void* ud) override {
    for (auto& v : _outers) fn(v, ud);
    fn(_env, ud);
  }
  void Clear() override {
    std::vector<SQObjectPtr> a;
    a.swap(_outers);
    _env.Null();
  }
  SQNativeClosure* Clone();
};

// ---------------------------------------------------------------- classes
enum SQMetaMethod {
  MT_ADD, MT_SUB, MT_MUL, MT_DIV, MT_UNM, MT_MODULO, MT_SET, MT_GET, MT_TYPEOF, MT_NEXTI,
  MT_CMP, MT_CALL, MT_CLONED, MT_NEWSLOT, MT_DELSLOT, MT_TOSTRING, MT_NEWMEMBER, MT_INHERITED,
  MT_LAST
};

struct SQClassMember {
  SQObjectPtr val;
  SQObjectPtr attrs;
};

// Member table values are integers: (index << 1) | 1 for methods and static
// values (held by the class), index << 1 for per-instance fields.
#define SQ_MEMBER_IS_METHOD(i) ((i) & 1)
#define SQ_MEMBER_IDX(i) ((i) >> 1)

struct SQClass : SQCollectable {
  SQObjectPtr _base;
  SQObjectPtr _members;  // table
  std::vector<SQClassMember> _defaults;
  std::vector<SQClassMember> _methods;
  SQObjectPtr _metamethods[MT_LAST];
  SQObjectPtr _attributes;
  SQInteger _constructoridx = -1;
  bool _locked = false;
  SQUserPointer _typetag = nullptr;
  SQRELEASEHOOK _hook = nullptr;
  SQInteger _udsize = 0;
  SQClass(SQSharedState* ss, SQClass* base);
  SQTable* members() const { return _members._unVal.pTable; }
  bool NewSlot(SQSharedState* ss, const SQObject& key, const SQObject& val, bool bstatic);
  bool Get(const SQObject& key, SQObjectPtr& out) const;
  bool GetMemberIndex(const SQObject& key, SQInteger& mi) const {
    SQTable::Node* n = members()->FindNode(key);
    if (!n) return false;
    mi = n->val._unVal.nInteger;
    return true;
  }
  bool SetAttributes(const SQObject& key, const SQObject& val, SQObjectPtr& old);
  bool GetAttributes(const SQObject& key, SQObjectPtr& out);
  void Traverse(void (*fn)(const SQObject&, void*), void* ud) override;
  void Clear() override;
  SQInstance* CreateInstance();
  SQInteger Next(SQInteger i, SQObjectPtr& key, SQObjectPtr& val);
};

struct SQInstance : SQCollectable {
  SQObjectPtr _class;
  std::vector<SQObjectPtr> _values;
  SQUserPointer _userpointer = nullptr;
  SQRELEASEHOOK _hook = nullptr;
  std::vector<char> _ud;  // class-requested user memory
  explicit SQInstance(SQSharedState* ss) : SQCollectable(ss) {}
  ~SQInstance() override;
  SQClass* cls() const { return _class._unVal.pClass; }
  bool Get(const SQObject& key, SQObjectPtr& out) const {
    SQInteger mi = 0;
    if (!cls()->GetMemberIndex(key, mi)) return false;
    if (SQ_MEMBER_IS_METHOD(mi)) out = cls()->_methods[SQ_MEMBER_IDX(mi)].val;
    else out = sq_realval(_values[SQ_MEMBER_IDX(mi)]);
    return true;
  }
  bool Set(const SQObject& key, const SQObject& val) {
    SQInteger mi = 0;
    if (!cls()->GetMemberIndex(key, mi) || SQ_MEMBER_IS_METHOD(mi)) return false;
    _values[SQ_MEMBER_IDX(mi)] = val;
    return true;
  }
  bool InstanceOf(SQClass* c) const;
  void Traverse(void (*fn)(const SQObject&, void*), void* ud) override {
    fn(_class, ud);
    for (auto& v : _values) fn(v, ud);
  }
  void Clear() override {
    std::vector<SQObjectPtr> a;
    a.swap(_values);
  }
};

struct SQUserData : SQCollectable {
  SQObjectPtr _delegate;
  SQUserPointer _typetag = nullptr;
  SQRELEASEHOOK _hook = nullptr;
  SQInteger _size = 0;
  char* _data = nullptr;
  explicit SQUserData(SQSharedState* ss, SQInteger size);
  ~SQUserData() override;
  void Traverse(void (*fn)(const SQObject&, void*), void* ud) override { fn(_delegate, ud); }
  void Clear() override { _delegate.Null(); }
};

// ---------------------------------------------------------------- generator
struct SQExceptionTrap {
  SQInteger stackbase;
  SQInteger top;
  const SQInstruction* ip;  // catch handler
  SQInteger target;        // register receiving the error
};

struct SQGenerator : SQCollectable {
  enum State { eRunning, eSuspended, eDead };
  SQObjectPtr _func;
  std::vector<SQObjectPtr> _stack;
  std::vector<SQExceptionTrap> _traps;  // relative stackbase
  const SQInstruction* _ip = nullptr;
  SQInteger _target = 0;  // register receiving the resumed value
  State _state = eSuspended;
  SQGenerator(SQSharedState* ss, SQClosure* c) : SQCollectable(ss), _func(c) {}
  void Traverse(void (*fn)(const SQObject&, void*), void* ud) override {
    fn(_func, ud);
    for (auto& v : _stack) fn(v, ud);
  }
  void Clear() override {
    std::vector<SQObjectPtr> a;
    a.swap(_stack);
    _func.Null();
    _state = eDead;
  }
  void Kill() {
    _state = eDead;
    std::vector<SQObjectPtr> a;
    a.swap(_stack);
    _traps.clear();
  }
};

// ---------------------------------------------------------------- helpers
SQInteger sq_typemask_type(SQObjectType t);
const char* sq_typename(SQObjectType t);
sqstring sq_ascii(const char* s);
std::string sq_toutf8(const SQChar* s, SQInteger len = -1);
sqstring sq_fromutf8(const char* s, size_t len);
sqstring sq_fmtfloat(SQFloat f);  // C's %g of the widened value
sqstring sq_fmtint(SQInteger i);
// Writes the decimal text of i into out (room for 12 units); returns its length.
SQInteger sq_intdigits(SQInteger i, SQChar* out);
