// Heap objects: strings and their interning, tables, classes, instances,
// userdata, the deferred release queue and the cycle collector.
#include <cmath>
#include <cstdio>

#include "sqvm.h"

// ---------------------------------------------------------------- release
namespace {
bool g_releasing = false;
std::vector<SQRefCounted*> g_pending;
}  // namespace

void sq_freeobject(SQRefCounted* o) {
  if (g_releasing) {
    g_pending.push_back(o);
    return;
  }
  g_releasing = true;
  o->Destroy();
  while (!g_pending.empty()) {
    SQRefCounted* p = g_pending.back();
    g_pending.pop_back();
    p->Destroy();
  }
  g_releasing = false;
}

SQRefCounted::~SQRefCounted() {
  if (_weakref) {
    _weakref->_obj._type = OT_NULL;
    _weakref->_obj._unVal.pRefCounted = nullptr;
  }
}

SQObjectPtr sq_getweakref(SQObjectType t, SQRefCounted* o) {
  if (!o->_weakref) {
    SQWeakRef* w = new SQWeakRef();
    w->_obj._type = t;
    w->_obj._unVal.pRefCounted = nullptr;
    w->_obj._unVal.pRefCounted = o;
    o->_weakref = w;
    SQObjectPtr r(OT_WEAKREF, w);
    return r;
  }
  return SQObjectPtr(OT_WEAKREF, o->_weakref);
}
// A weak reference keeps no count on its target; the target's pointer to it
// is cleared when the weak reference dies (see ~SQWeakRef).

#define SQ_CTOR(T, OT, F) \
  SQObjectPtr::SQObjectPtr(T* p) { _type = OT; _unVal.pRefCounted = nullptr; _unVal.F = p; p->_uiRef++; }
SQ_CTOR(SQString, OT_STRING, pString)
SQ_CTOR(SQTable, OT_TABLE, pTable)
SQ_CTOR(SQArray, OT_ARRAY, pArray)
SQ_CTOR(SQClosure, OT_CLOSURE, pClosure)
SQ_CTOR(SQNativeClosure, OT_NATIVECLOSURE, pNativeClosure)
SQ_CTOR(SQClass, OT_CLASS, pClass)
SQ_CTOR(SQInstance, OT_INSTANCE, pInstance)
SQ_CTOR(SQGenerator, OT_GENERATOR, pGenerator)
SQ_CTOR(SQVM, OT_THREAD, pThread)
SQ_CTOR(SQFunctionProto, OT_FUNCPROTO, pFunctionProto)
SQ_CTOR(SQOuter, OT_OUTER, pOuter)
SQ_CTOR(SQWeakRef, OT_WEAKREF, pWeakRef)
SQ_CTOR(SQUserData, OT_USERDATA, pUserData)

// ---------------------------------------------------------------- strings
// Long strings hash a sample of their units (at most about 64) so that
// building a long string piece by piece stays linear.
static SQHash HashStr(const SQChar* s, SQInteger len) {
  uint32_t h = 2166136261u ^ (uint32_t)len;
  SQInteger step = (len >> 6) + 1;
  for (SQInteger i = 0; i < len; i += step) h = (h ^ s[i]) * 16777619u;
  if (step > 1) h = (h ^ s[len - 1]) * 16777619u;
  return h;
}

static SQString* FindInterned(SQSharedState* ss, const SQChar* s, SQInteger len, SQHash h) {
  if (!ss->_strcap) return nullptr;
  for (SQString* p = ss->_strbuckets[h & (ss->_strcap - 1)]; p; p = p->_next)
    if (p->_hash == h && p->_len == len && memcmp(p->_val, s, (size_t)len * sizeof(SQChar)) == 0) return p;
  return nullptr;
}

// Big strings (typically a string grown by repeated +=) get some slack and
// one freed block is kept for reuse, so that building a long string does not
// map and unmap fresh memory at every step.
static const size_t kBigString = 32768;
// Blocks above this size are freed at once: a string loop that ran into the memory limit must
// not leave a block of half the limit cached for the rest of the run.
static const size_t kBigBlockKeep = size_t(16) << 20;

static SQString* AllocString(SQSharedState* ss, SQInteger len) {
  size_t bytes = sizeof(SQString) + (size_t)len * sizeof(SQChar);
  void* mem;
  size_t cap = bytes;
  if (bytes >= kBigString && ss && ss->_bigblock && ss->_bigblockcap >= bytes) {
    mem = ss->_bigblock;
    cap = ss->_bigblockcap;
    ss->_bigblock = nullptr;
    ss->_bigblockcap = 0;
  } else {
    if (bytes >= kBigString) cap = bytes + bytes / 8;
    sqmem::charge(cap);
    mem = malloc(cap);
    if (!mem) {
      sqmem::refund(cap);
      throw std::bad_alloc();
    }
  }
  SQString* str = new (mem) SQString();
  str->_ss = ss;
  str->_len = len;
  str->_alloc = cap;
  str->_val[len] = 0;
  return str;
}

SQString* SQString::Create(SQSharedState* ss, const SQChar* s, SQInteger len) {
  if (len < 0) {
    len = 0;
    while (s[len]) len++;
  }
  SQHash h = HashStr(s, len);
  if (SQString* p = FindInterned(ss, s, len, h)) return p;
  SQString* str = AllocString(ss, len);
  str->_hash = h;
  if (len) memcpy(str->_val, s, (size_t)len * sizeof(SQChar));
  ss->InternAdd(str);
  return str;
}

SQString* SQString::Concat(SQSharedState* ss, const SQChar* a, SQInteger alen, const SQChar* b, SQInteger blen) {
  // Short results are assembled on the stack and looked up first, so joining
  // into a string that already exists (a table key built on the fly) allocates
  // nothing.
  if (alen + blen <= kShortConcat) {
    SQChar buf[kShortConcat];
    memcpy(buf, a, (size_t)alen * sizeof(SQChar));
    memcpy(buf + alen, b, (size_t)blen * sizeof(SQChar));
    return Create(ss, buf, alen + blen);
  }
  if ((int64_t)alen + (int64_t)blen > 0x3FFFFFFF) throw std::bad_alloc();
  SQInteger len = alen + blen;
  SQString* str = AllocString(ss, len);
  memcpy(str->_val, a, (size_t)alen * sizeof(SQChar));
  memcpy(str->_val + alen, b, (size_t)blen * sizeof(SQChar));
  SQHash h = HashStr(str->_val, len);
  if (SQString* p = FindInterned(ss, str->_val, len, h)) {
    const size_t cap = str->_alloc;
    str->~SQString();
    free(str);
    sqmem::refund(cap);
    return p;
  }
  str->_hash = h;
  ss->InternAdd(str);
  return str;
}

SQString* SQString::Concat(SQSharedState* ss, const SQString* a, const SQString* b) {
  return Concat(ss, a->_val, a->_len, b->_val, b->_len);
}

SQString* SQString::CreateAscii(SQSharedState* ss, const char* s) {
  sqstring t = sq_ascii(s);
  return Create(ss, t.data(), (SQInteger)t.size());
}

void SQString::Destroy() {
  SQSharedState* ss = _ss;
  size_t cap = _alloc;
  if (ss) ss->InternRemove(this);
  this->~SQString();
  if (ss && cap >= kBigString && cap <= kBigBlockKeep && cap > ss->_bigblockcap) {
    free(ss->_bigblock);
    sqmem::refund(ss->_bigblockcap);
    ss->_bigblock = this;
    ss->_bigblockcap = cap;
    return;
  }
  free(this);
  sqmem::refund(cap);
}

void SQSharedState::InternAdd(SQString* s) {
  if (_strcount + 1 > _strcap) {
    uint32_t ncap = _strcap ? _strcap * 2 : 256;
    SQString** nb = (SQString**)calloc(ncap, sizeof(SQString*));
    for (uint32_t i = 0; i < _strcap; i++) {
      for (SQString* p = _strbuckets[i]; p;) {
        SQString* next = p->_next;
        p->_next = nb[p->_hash & (ncap - 1)];
        nb[p->_hash & (ncap - 1)] = p;
        p = next;
      }
    }
    free(_strbuckets);
    _strbuckets = nb;
    _strcap = ncap;
  }
  SQString*& b = _strbuckets[s->_hash & (_strcap - 1)];
  s->_next = b;
  b = s;
  _strcount++;
}

void SQSharedState::InternRemove(SQString* s) {
  SQString** pp = &_strbuckets[s->_hash & (_strcap - 1)];
  while (*pp) {
    if (*pp == s) {
      *pp = s->_next;
      _strcount--;
      return;
    }
    pp = &(*pp)->_next;
  }
}

SQObjectPtr sq_str(SQSharedState* ss, const char* s) { return SQObjectPtr(SQString::CreateAscii(ss, s)); }
SQObjectPtr sq_str16(SQSharedState* ss, const sqstring& s) { return SQObjectPtr(SQString::Create(ss, s)); }

sqstring sq_ascii(const char* s) {
  sqstring r;
  while (*s) r.push_back((SQChar)(unsigned char)*s++);
  return r;
}

std::string sq_toutf8(const SQChar* s, SQInteger len) {
  if (len < 0) {
    len = 0;
    while (s[len]) len++;
  }
  std::string out;
  out.reserve((size_t)len);
  for (SQInteger i = 0; i < len; i++) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < len && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      i++;
    }
    if (c < 0x80) {
      out.push_back((char)c);
    } else if (c < 0x800) {
      out.push_back((char)(0xC0 | (c >> 6)));
      out.push_back((char)(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back((char)(0xE0 | (c >> 12)));
      out.push_back((char)(0x80 | ((c >> 6) & 0x3F)));
      out.push_back((char)(0x80 | (c & 0x3F)));
    } else {
      out.push_back((char)(0xF0 | (c >> 18)));
      out.push_back((char)(0x80 | ((c >> 12) & 0x3F)));
      out.push_back((char)(0x80 | ((c >> 6) & 0x3F)));
      out.push_back((char)(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

sqstring sq_fromutf8(const char* s, size_t len) {
  sqstring out;
  out.reserve(len);
  size_t i = 0;
  const unsigned char* u = (const unsigned char*)s;
  while (i < len) {
    uint32_t c = u[i];
    int n = 0;
    if (c < 0x80) n = 0;
    else if ((c & 0xE0) == 0xC0) { c &= 0x1F; n = 1; }
    else if ((c & 0xF0) == 0xE0) { c &= 0x0F; n = 2; }
    else if ((c & 0xF8) == 0xF0) { c &= 0x07; n = 3; }
    else { out.push_back((SQChar)0xFFFD); i++; continue; }
    if (i + (size_t)n >= len + 0 && n > 0 && i + (size_t)n > len - 1 + 1) {
      out.push_back((SQChar)0xFFFD);
      break;
    }
    bool ok = true;
    for (int k = 1; k <= n; k++) {
      if (i + (size_t)k >= len || (u[i + (size_t)k] & 0xC0) != 0x80) { ok = false; break; }
      c = (c << 6) | (u[i + (size_t)k] & 0x3F);
    }
    if (!ok) { out.push_back((SQChar)0xFFFD); i++; continue; }
    i += (size_t)n + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back((SQChar)(0xD800 + (c >> 10)));
      out.push_back((SQChar)(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back((SQChar)c);
    }
  }
  return out;
}

sqstring sq_fmtfloat(SQFloat f) {
  char buf[64];
  snprintf(buf, sizeof buf, "%g", (double)f);
  return sq_ascii(buf);
}
SQInteger sq_intdigits(SQInteger i, SQChar* out) {
  // Decimal text of a 32-bit integer, written back to front; the magnitude is
  // taken unsigned so that the most negative value needs no special case.
  SQChar tmp[12];
  SQInteger n = 0;
  uint32_t u = i < 0 ? 0u - (uint32_t)i : (uint32_t)i;
  do {
    tmp[n++] = (SQChar)(u'0' + u % 10);
    u /= 10;
  } while (u);
  SQInteger len = 0;
  if (i < 0) out[len++] = u'-';
  while (n) out[len++] = tmp[--n];
  return len;
}
sqstring sq_fmtint(SQInteger i) {
  SQChar buf[12];
  return sqstring(buf, (size_t)sq_intdigits(i, buf));
}

// ---------------------------------------------------------------- collectables
SQCollectable::SQCollectable(SQSharedState* ss) : _ss(ss) {
  if (ss) {
    _gcnext = ss->_gchead;
    if (_gcnext) _gcnext->_gcprev = this;
    ss->_gchead = this;
  }
}

SQCollectable::~SQCollectable() {
  if (_ss) {
    if (_gcprev) _gcprev->_gcnext = _gcnext;
    else _ss->_gchead = _gcnext;
    if (_gcnext) _gcnext->_gcprev = _gcprev;
  }
}

// ---------------------------------------------------------------- table
SQTable* sq_newtable_obj(SQSharedState* ss, SQInteger hint) { return new SQTable(ss, hint); }
SQArray* sq_newarray_obj(SQSharedState* ss, SQInteger n) { return new SQArray(ss, n); }

SQTable::SQTable(SQSharedState* ss, SQInteger hint) : SQCollectable(ss) {
  if (hint > 0) {
    uint32_t c = 4;
    while (c * 3 < (uint32_t)hint * 4) c <<= 1;
    Rehash(c);
  }
}

namespace {
// Node arrays are charged to the memory budget.
SQTable::Node* NewNodes(uint32_t n) {
  sqmem::charge(n * sizeof(SQTable::Node));
  try {
    return new SQTable::Node[n];
  } catch (...) {
    sqmem::refund(n * sizeof(SQTable::Node));
    throw;
  }
}
void FreeNodes(SQTable::Node* nodes, uint32_t n) {
  delete[] nodes;
  if (nodes) sqmem::refund(n * sizeof(SQTable::Node));
}
}  // namespace

SQTable::~SQTable() { FreeNodes(_nodes, _cap); }

void* SQRefCounted::operator new(size_t n) {
  sqmem::charge(n);
  void* p = malloc(n);
  if (!p) {
    sqmem::refund(n);
    throw std::bad_alloc();
  }
  return p;
}

void SQRefCounted::operator delete(void* p, size_t n) noexcept {
  free(p);
  sqmem::refund(n);
}

void SQTable::Rehash(uint32_t newcap) {
  Node* old = _nodes;
  uint32_t oldcap = _cap;
  _nodes = NewNodes(newcap);
  _cap = newcap;
  _count = 0;
  _used = 0;
  uint32_t mask = newcap - 1;
  for (uint32_t i = 0; i < oldcap; i++) {
    Node& n = old[i];
    if (n.key._type != OT_NULL && n.key._type != 0) {
      uint32_t j = HashKey(n.key) & mask;
      while (_nodes[j].key._type != OT_NULL) j = (j + 1) & mask;
      _nodes[j].key = std::move(n.key);
      _nodes[j].val = std::move(n.val);
      _count++;
      _used++;
    }
  }
  FreeNodes(old, oldcap);
}

void SQTable::NewSlot(const SQObject& key, const SQObject& val) {
  Node* n = FindNode(key);
  if (n) {
    n->val = val;
    return;
  }
  if ((_used + 1) * 4 > _cap * 3) {
    uint32_t nc = _cap ? _cap : 4;
    // Grow to at most half full: live entries plus the new one fill half the
    // new table; deleted slots are dropped by the rehash.
    while ((uint64_t)(_count + 1) * 2 > nc) nc <<= 1;
    if (nc < 4) nc = 4;
    Rehash(nc);
  }
  uint32_t mask = _cap - 1;
  uint32_t i = HashKey(key) & mask;
  // reuse the first deleted slot on the probe path
  for (;;) {
    Node& nd = _nodes[i];
    if (nd.key._type == OT_NULL || nd.key._type == 0) {
      if (nd.key._type == OT_NULL) _used++;
      nd.key = key;
      nd.val = val;
      _count++;
      return;
    }
    i = (i + 1) & mask;
  }
}

bool SQTable::Remove(const SQObject& key) {
  Node* n = FindNode(key);
  if (!n) return false;
  SQObjectPtr k = std::move(n->key);
  SQObjectPtr v = std::move(n->val);
  n->key._type = (SQObjectType)0;  // deleted marker
  n->key._unVal.pRefCounted = nullptr;
  _count--;
  return true;
}

void SQTable::ClearAll() {
  Node* old = _nodes;
  uint32_t oldcap = _cap;
  _nodes = nullptr;
  _cap = _count = _used = 0;
  if (old) {
    for (uint32_t i = 0; i < oldcap; i++)
      if (old[i].key._type == 0) old[i].key._type = OT_NULL;
    FreeNodes(old, oldcap);
  }
}

SQTable* SQTable::Clone() {
  SQTable* t = new SQTable(_ss, 0);
  if (_cap) {
    try {
      t->_nodes = NewNodes(_cap);
    } catch (...) {
      delete t;
      throw;
    }
    t->_cap = _cap;
    for (uint32_t i = 0; i < _cap; i++) {
      if (_nodes[i].key._type != 0) {
        t->_nodes[i].key = _nodes[i].key;
        t->_nodes[i].val = _nodes[i].val;
      } else {
        t->_nodes[i].key._type = (SQObjectType)0;
      }
    }
    t->_count = _count;
    t->_used = _used;
  }
  t->_delegate = _delegate;
  return t;
}

void SQTable::Traverse(void (*fn)(const SQObject&, void*), void* ud) {
  for (uint32_t i = 0; i < _cap; i++) {
    if (_nodes[i].key._type != OT_NULL && _nodes[i].key._type != 0) {
      fn(_nodes[i].key, ud);
      fn(_nodes[i].val, ud);
    }
  }
  fn(_delegate, ud);
}

// ---------------------------------------------------------------- closures
SQClosure* SQClosure::Clone() {
  SQClosure* c = new SQClosure(_ss, proto());
  c->_outers = _outers;
  c->_defaults = _defaults;
  c->_env = _env;
  c->_base = _base;
  return c;
}

SQNativeClosure* SQNativeClosure::Clone() {
  SQNativeClosure* c = new SQNativeClosure(_ss);
  c->_function = _function;
  c->_outers = _outers;
  c->_typecheck = _typecheck;
  c->_nparamscheck = _nparamscheck;
  c->_name = _name;
  c->_env = _env;
  return c;
}

int SQFunctionProto::GetLine(int pc) const {
  int line = lines.empty() ? 0 : lines[0].line;
  size_t lo = 0, hi = lines.size();
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (lines[mid].op <= pc) {
      line = lines[mid].line;
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return line;
}

SQObjectPtr& SQOuter::Ref() { return _idx >= 0 ? _vm->_stack[(size_t)_idx] : _value; }

// ---------------------------------------------------------------- classes
SQClass::SQClass(SQSharedState* ss, SQClass* base) : SQCollectable(ss) {
  _members = SQObjectPtr(sq_newtable_obj(ss));
  if (base) {
    _base = SQObjectPtr(base);
    _defaults = base->_defaults;
    _methods = base->_methods;
    for (int i = 0; i < MT_LAST; i++) _metamethods[i] = base->_metamethods[i];
    SQTable* t = base->members()->Clone();
    _members = SQObjectPtr(t);
    _constructoridx = base->_constructoridx;
    _udsize = base->_udsize;
  }
}

bool SQClass::NewSlot(SQSharedState* ss, const SQObject& key, const SQObject& val, bool bstatic) {
  bool isfunc = sqtype(val) == OT_CLOSURE || sqtype(val) == OT_NATIVECLOSURE;
  bool belongsToClass = isfunc || bstatic;
  // a function (or static) named like a metamethod is the class's
  // metamethod only, not a member that can be read or iterated
  if (belongsToClass && sqtype(key) == OT_STRING) {
    for (int i = 0; i < MT_LAST; i++)
      if (sq_rawequal(key, ss->_metanames[i])) {
        _metamethods[i] = val;
        return true;
      }
  }
  if (_locked && !belongsToClass) return false;
  SQInteger mi = 0;
  SQTable::Node* n = members()->FindNode(key);
  if (n) {
    mi = _integer(n->val);
    if (SQ_MEMBER_IS_METHOD(mi) && belongsToClass) {
      _methods[(size_t)SQ_MEMBER_IDX(mi)].val = val;
      goto done;
    }
    if (!SQ_MEMBER_IS_METHOD(mi) && !belongsToClass) {
      _defaults[(size_t)SQ_MEMBER_IDX(mi)].val = val;
      return true;
    }
    if (_locked) return false;
  }
  if (belongsToClass) {
    SQInteger idx = (SQInteger)_methods.size();
    _methods.push_back({SQObjectPtr(val), SQObjectPtr()});
    members()->NewSlot(key, SQObjectPtr((idx << 1) | 1));
  } else {
    SQInteger idx = (SQInteger)_defaults.size();
    _defaults.push_back({SQObjectPtr(val), SQObjectPtr()});
    members()->NewSlot(key, SQObjectPtr(idx << 1));
    return true;
  }
done:
  if (sqtype(key) == OT_STRING) {
    if (sq_rawequal(key, ss->_constructorname)) {
      SQInteger m = 0;
      GetMemberIndex(key, m);
      _constructoridx = SQ_MEMBER_IDX(m);
    }
  }
  return true;
}

bool SQClass::Get(const SQObject& key, SQObjectPtr& out) const {
  SQInteger mi = 0;
  if (!GetMemberIndex(key, mi)) return false;
  out = sq_realval(SQ_MEMBER_IS_METHOD(mi) ? _methods[(size_t)SQ_MEMBER_IDX(mi)].val : _defaults[(size_t)SQ_MEMBER_IDX(mi)].val);
  return true;
}

bool SQClass::SetAttributes(const SQObject& key, const SQObject& val, SQObjectPtr& old) {
  if (sqtype(key) == OT_NULL) {
    old = _attributes;
    _attributes = val;
    return true;
  }
  SQInteger mi = 0;
  if (!GetMemberIndex(key, mi)) return false;
  SQClassMember& m = SQ_MEMBER_IS_METHOD(mi) ? _methods[(size_t)SQ_MEMBER_IDX(mi)] : _defaults[(size_t)SQ_MEMBER_IDX(mi)];
  old = m.attrs;
  m.attrs = val;
  return true;
}

bool SQClass::GetAttributes(const SQObject& key, SQObjectPtr& out) {
  if (sqtype(key) == OT_NULL) {
    out = _attributes;
    return true;
  }
  SQInteger mi = 0;
  if (!GetMemberIndex(key, mi)) return false;
  out = SQ_MEMBER_IS_METHOD(mi) ? _methods[(size_t)SQ_MEMBER_IDX(mi)].attrs : _defaults[(size_t)SQ_MEMBER_IDX(mi)].attrs;
  return true;
}

SQInteger SQClass::Next(SQInteger i, SQObjectPtr& key, SQObjectPtr& val) {
  SQObjectPtr mi;
  SQInteger r = members()->Next(i, key, mi);
  if (r < 0) return r;
  SQInteger m = _integer(mi);
  val = sq_realval(SQ_MEMBER_IS_METHOD(m) ? _methods[(size_t)SQ_MEMBER_IDX(m)].val : _defaults[(size_t)SQ_MEMBER_IDX(m)].val);
  return r;
}

void SQClass::Traverse(void (*fn)(const SQObject&, void*), void* ud) {
  fn(_base, ud);
  fn(_members, ud);
  for (auto& m : _defaults) {
    fn(m.val, ud);
    fn(m.attrs, ud);
  }
  for (auto& m : _methods) {
    fn(m.val, ud);
    fn(m.attrs, ud);
  }
  for (auto& m : _metamethods) fn(m, ud);
  fn(_attributes, ud);
}

void SQClass::Clear() {
  std::vector<SQClassMember> a, b;
  a.swap(_defaults);
  b.swap(_methods);
  _base.Null();
  _attributes.Null();
  for (auto& m : _metamethods) m.Null();
  _members.Null();
  _members = SQObjectPtr(sq_newtable_obj(_ss));
}

SQInstance* SQClass::CreateInstance() {
  for (SQClass* c = this; c; c = sqtype(c->_base) == OT_CLASS ? _class(c->_base) : nullptr) c->_locked = true;
  SQInstance* inst = new SQInstance(_ss);
  inst->_class = SQObjectPtr(this);
  inst->_values.reserve(_defaults.size());
  for (auto& d : _defaults) inst->_values.push_back(d.val);
  if (_udsize > 0) {
    inst->_ud.resize((size_t)_udsize);
    inst->_userpointer = inst->_ud.data();
  }
  return inst;
}

SQInstance::~SQInstance() {
  if (_hook) {
    SQRELEASEHOOK h = _hook;
    _hook = nullptr;
    h(_userpointer, 0);
  }
}

bool SQInstance::InstanceOf(SQClass* c) const {
  for (SQClass* p = cls(); p; p = sqtype(p->_base) == OT_CLASS ? _class(p->_base) : nullptr)
    if (p == c) return true;
  return false;
}

SQUserData::SQUserData(SQSharedState* ss, SQInteger size) : SQCollectable(ss), _size(size) {
  const size_t bytes = (size_t)(size > 0 ? size : 1);
  sqmem::charge(bytes);
  _data = (char*)calloc(1, bytes);
  if (!_data) sqmem::refund(bytes);
}

SQUserData::~SQUserData() {
  if (_hook) _hook(_data, _size);
  if (_data) sqmem::refund((size_t)(_size > 0 ? _size : 1));
  free(_data);
}

// ---------------------------------------------------------------- cycle collector
namespace {
void DecRefs(const SQObject& o, void*) {
  if (sq_iscollectable(o._type)) ((SQCollectable*)o._unVal.pRefCounted)->_gcrefs--;
}
void MarkPush(const SQObject& o, void* ud) {
  if (sq_iscollectable(o._type)) {
    SQCollectable* c = (SQCollectable*)o._unVal.pRefCounted;
    if (c->_gcrefs <= 0) {
      c->_gcrefs = 1;
      ((std::vector<SQCollectable*>*)ud)->push_back(c);
    }
  }
}
}  // namespace

// Trial deletion: subtract the references collectables hold on each other;
// whatever keeps a positive count is referenced from outside (stacks, the
// host, non-collectable holders) and everything reachable from it survives.
SQInteger SQSharedState::CollectGarbage(SQVM*, SQObjectPtr* resurrected) {
  for (SQCollectable* c = _gchead; c; c = c->_gcnext) c->_gcrefs = (intptr_t)c->_uiRef;
  for (SQCollectable* c = _gchead; c; c = c->_gcnext) c->Traverse(DecRefs, nullptr);
  std::vector<SQCollectable*> stack;
  for (SQCollectable* c = _gchead; c; c = c->_gcnext)
    if (c->_gcrefs > 0) stack.push_back(c);
  while (!stack.empty()) {
    SQCollectable* c = stack.back();
    stack.pop_back();
    c->_gcrefs = 1;
    c->Traverse(MarkPush, &stack);
  }
  std::vector<SQObjectPtr> garbage;
  for (SQCollectable* c = _gchead; c; c = c->_gcnext) {
    if (c->_gcrefs <= 0) {
      SQObjectType t = OT_NULL;
      if (dynamic_cast<SQTable*>(c)) t = OT_TABLE;
      else if (dynamic_cast<SQArray*>(c)) t = OT_ARRAY;
      else if (dynamic_cast<SQClosure*>(c)) t = OT_CLOSURE;
      else if (dynamic_cast<SQNativeClosure*>(c)) t = OT_NATIVECLOSURE;
      else if (dynamic_cast<SQClass*>(c)) t = OT_CLASS;
      else if (dynamic_cast<SQInstance*>(c)) t = OT_INSTANCE;
      else if (dynamic_cast<SQGenerator*>(c)) t = OT_GENERATOR;
      else if (dynamic_cast<SQVM*>(c)) t = OT_THREAD;
      else if (dynamic_cast<SQOuter*>(c)) t = OT_OUTER;
      else if (dynamic_cast<SQUserData*>(c)) t = OT_USERDATA;
      garbage.push_back(SQObjectPtr(t, c));
    }
  }
  SQInteger n = (SQInteger)garbage.size();
  if (resurrected) {
    SQArray* a = sq_newarray_obj(this, 0);
    for (auto& g : garbage)
      if (g._type != OT_OUTER) a->_values.push_back(g);
    *resurrected = n ? SQObjectPtr(a) : SQObjectPtr();
    if (!n) delete a;
    return n;
  }
  for (auto& g : garbage) ((SQCollectable*)g._unVal.pRefCounted)->Clear();
  garbage.clear();
  return n;
}

// ---------------------------------------------------------------- shared state
SQSharedState::SQSharedState() {
  _registry = SQObjectPtr(sq_newtable_obj(this));
  _consts = SQObjectPtr(sq_newtable_obj(this));
  static const char* names[MT_LAST] = {"_add", "_sub", "_mul", "_div", "_unm", "_modulo", "_set", "_get",
                                       "_typeof", "_nexti", "_cmp", "_call", "_cloned", "_newslot",
                                       "_delslot", "_tostring", "_newmember", "_inherited"};
  for (int i = 0; i < MT_LAST; i++) _metanames[i] = sq_str(this, names[i]);
  _constructorname = sq_str(this, "constructor");
  _outofmemory = sq_str(this, "out of memory");
}

SQSharedState::~SQSharedState() {
  // handles the host never released no longer keep anything alive
  std::unordered_map<SQRefCounted*, SQUnsignedInteger> held;
  held.swap(_hostrefs);
  for (auto& h : held)
    if (--h.first->_uiRef == 0) sq_freeobject(h.first);
  // break every remaining cycle, then drop the roots
  for (SQCollectable* c = _gchead; c; c = c->_gcnext) c->_uiRef++;
  std::vector<SQCollectable*> all;
  for (SQCollectable* c = _gchead; c; c = c->_gcnext) all.push_back(c);
  for (auto* c : all) c->Clear();
  _registry.Null();
  _consts.Null();
  _tableDelegate.Null(); _arrayDelegate.Null(); _stringDelegate.Null(); _numberDelegate.Null();
  _closureDelegate.Null(); _generatorDelegate.Null(); _threadDelegate.Null(); _classDelegate.Null();
  _instanceDelegate.Null(); _weakrefDelegate.Null(); _baselib.Null();
  for (auto* c : all) {
    if (--c->_uiRef == 0) sq_freeobject(c);
  }
  // objects still referenced from outside are detached from the state
  for (SQCollectable* c = _gchead; c;) {
    SQCollectable* n = c->_gcnext;
    c->_gcprev = c->_gcnext = nullptr;
    c->_ss = nullptr;
    c = n;
  }
  _gchead = nullptr;
  for (auto& m : _metanames) m.Null();
  _constructorname.Null();
  _outofmemory.Null();
  for (uint32_t i = 0; i < _strcap; i++)
    for (SQString* p = _strbuckets[i]; p; p = p->_next) p->_ss = nullptr;
  free(_strbuckets);
  free(_bigblock);
  sqmem::refund(_bigblockcap);
}
