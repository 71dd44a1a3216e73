// The dispatch loop.
#include <cmath>
#include <stdexcept>

#include "sqopcodes.h"
#include "sqvm.h"

namespace {
inline bool IsFalse(const SQObject& o) {
  if (o._type & SQOBJECT_CANBEFALSE) {
    if (o._type == OT_FLOAT) return o._unVal.fFloat == 0.0f;
    return o._unVal.nInteger == 0;
  }
  return false;
}

struct NestGuard {
  SQVM* v;
  explicit NestGuard(SQVM* vm) : v(vm) {
    v->_nestedexec++;
    v->_ss->_execdepth++;
  }
  ~NestGuard() {
    v->_nestedexec--;
    v->_ss->_execdepth--;
  }
};
}  // namespace

bool SQVM::WakeUp(bool resumedret, const SQObject& val, SQObjectPtr& ret, bool raiseerror) {
  if (_state != SQ_VMSTATE_SUSPENDED) RaiseAscii("cannot resume a vm that is not running any code");
  _state = SQ_VMSTATE_RUNNING;
  if (_suspendtarget >= 0) {
    if (resumedret) _stack[(size_t)_suspendtarget] = val;
    else _stack[(size_t)_suspendtarget].Null();
  }
  _suspendvalue.Null();
  return Execute(_suspendroot, ret, raiseerror);
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpedantic"
#endif
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wunused-label"
#endif

int g_sqhookusers = 0;  // VMs with a debug hook set

// Debug hook events before an instruction of the top frame runs: a call on
// the first instruction, a line when the line changes (with debug info), a
// return before RETURN.
void SQVM::DebugStep(int op) {
  if (_inhook || !HasHook()) return;
  SQCallFrame* ci = &_frames.back();
  int pc = (int)(ci->ip - 1 - ci->proto->code.data());
  int line = ci->proto->GetLine(pc);
  if (pc == 0) CallDebugHook('c', line);
  ci = &_frames.back();
  if (ci->proto->debuginfo && line != ci->lastline) {
    ci->lastline = line;
    CallDebugHook('l', line);
  }
  if (op == OP_RETURN) CallDebugHook('r', line);
}

// Runs script frames until the frame at index `rootframe` returns.
bool SQVM::Execute(SQInteger rootframe, SQObjectPtr& retval, bool raiseerror) {
  // the C++ stack is shared by every thread of the VM
  if (_nestedexec > SQ_MAX_NATIVE_NESTING || _ss->_execdepth > SQ_MAX_NATIVE_NESTING) {
    while ((SQInteger)_frames.size() > rootframe) LeaveFrame();
    _lasterror = sq_str(_ss, "stack overflow");
    return false;
  }
  NestGuard ng(this);
  sqmem::Enforce budget;  // script code runs within the memory budget
  if (_state != SQ_VMSTATE_SUSPENDED) _state = SQ_VMSTATE_RUNNING;
  SQCallFrame* ci;
  SQInstruction ins;
  const SQInstruction* ip;
#if defined(__GNUC__) && !defined(__clang__)
  // direct threading: each handler jumps straight to the next one
  // dispatch: the table every handler jumps through; opdispatch: the
  // handlers themselves. While any VM has a debug hook, every entry of
  // dispatch leads to the hook check first.
  static const void* dispatch[256];
  static const void* opdispatch[256];
  static const void* hooktable[256];
  static bool hookinstalled = false;
  if (!dispatch[0]) {
    for (auto& d : opdispatch) d = &&L_DEFAULT;
    for (auto& d : hooktable) d = &&L_HOOK;
    int n = 0;
#define SQ_SETLABEL(x) opdispatch[n++] = &&L_OP_##x;
    SQ_OPCODES(SQ_SETLABEL)
#undef SQ_SETLABEL
    for (int i = 0; i < 256; i++) dispatch[i] = opdispatch[i];
  }
#define DISPATCH()          \
  do {                      \
    ins = *ip++;            \
    goto* dispatch[ins.op]; \
  } while (0)
#define DISPATCH_FIRST() goto* dispatch[ins.op]
#define SETDISP()                                  \
  do {                                             \
    if ((g_sqhookusers > 0) != hookinstalled) {    \
      hookinstalled = g_sqhookusers > 0;           \
      memcpy(dispatch, hookinstalled ? hooktable : opdispatch, sizeof dispatch); \
    }                                              \
  } while (0)
#else
#define DISPATCH() continue
#define DISPATCH_FIRST() (void)0
#define SETDISP() (void)0
#endif
  SQObjectPtr* R;
  const SQObjectPtr* K;
  SQInteger base;

#define RELOAD()                      \
  do {                                \
    ci = &_frames.back();             \
    base = ci->base;                  \
    R = _stack.data() + base;         \
    K = ci->literals;                 \
    SETDISP();                        \
  } while (0)
#define SYNC() ci->ip = ip
#define AFTERCALL() \
  do {              \
    ci = &_frames.back(); \
    R = _stack.data() + base; \
  } while (0)

  for (;;) {
    try {
      RELOAD();
      ip = ci->ip;
      if (_wakeupthrow) {
        _wakeupthrow = false;
        throw SQVMError{};
      }
      for (;;) {
        ins = *ip++;
        DISPATCH_FIRST();
        switch (ins.op) {
          case OP_LOADK: L_OP_LOADK: R[ins.a] = K[ins.d]; DISPATCH();
          case OP_LOADINT: L_OP_LOADINT: R[ins.a].SetInt(ins.d); DISPATCH();
          case OP_LOADFLOAT: L_OP_LOADFLOAT: {
            SQFloat f;
            memcpy(&f, &ins.d, 4);
            R[ins.a].SetFloat(f);
            DISPATCH();
          }
          case OP_LOADNULL: L_OP_LOADNULL:
            for (int i = 0; i < ins.b; i++) R[ins.a + i].Null();
            DISPATCH();
          case OP_LOADBOOL: L_OP_LOADBOOL: R[ins.a].SetBool(ins.b != 0); DISPATCH();
          case OP_LOADROOT: L_OP_LOADROOT: R[ins.a] = _roottable; DISPATCH();
          case OP_MOVE: L_OP_MOVE: R[ins.a] = R[ins.b]; DISPATCH();
          case OP_GETOUTER: L_OP_GETOUTER: {
            SQOuter* o = _outer(_closure(ci->closure)->_outers[(size_t)ins.d]);
            R[ins.a] = o->Ref();
            DISPATCH();
          }
          case OP_SETOUTER: L_OP_SETOUTER: {
            SQOuter* o = _outer(_closure(ci->closure)->_outers[(size_t)ins.d]);
            o->Ref() = R[ins.a];
            DISPATCH();
          }
          case OP_GETK: L_OP_GETK: {
            const SQObjectPtr& self = R[ins.b];
            if (sqtype(self) == OT_TABLE) {
              SQTable::Node* n = _table(self)->FindNode(K[ins.d]);
              if (n) {
                R[ins.a] = sq_realval(n->val);
                DISPATCH();
              }
            } else if (sqtype(self) == OT_INSTANCE) {
              SQInstance* in = _instance(self);
              SQTable::Node* n = in->cls()->members()->FindNode(K[ins.d]);
              if (n) {
                SQInteger mi = _integer(n->val);
                if (SQ_MEMBER_IS_METHOD(mi)) R[ins.a] = in->cls()->_methods[(size_t)SQ_MEMBER_IDX(mi)].val;
                else R[ins.a] = sq_realval(in->_values[(size_t)SQ_MEMBER_IDX(mi)]);
                DISPATCH();
              }
            }
            SYNC();
            SQObjectPtr tmp;
            // a member of 'this' missing everywhere is looked up in the root table
            GetOrRaise(self, K[ins.d], tmp, ins.b == 0);
            AFTERCALL();
            R[ins.a] = std::move(tmp);
            DISPATCH();
          }
          case OP_GET: L_OP_GET: {
            const SQObjectPtr& self = R[ins.b];
            const SQObjectPtr& key = R[ins.c];
            if (sqtype(self) == OT_ARRAY && sqtype(key) == OT_INTEGER) {
              SQArray* a = _array(self);
              SQInteger i = _integer(key);
              if (i >= 0 && i < a->Size()) {
                R[ins.a] = sq_realval(a->_values[(size_t)i]);
                DISPATCH();
              }
            } else if (sqtype(self) == OT_TABLE) {
              SQTable::Node* n = _table(self)->FindNode(key);
              if (n) {
                R[ins.a] = sq_realval(n->val);
                DISPATCH();
              }
            }
            SYNC();
            SQObjectPtr tmp;
            GetOrRaise(self, key, tmp, ins.b == 0);
            AFTERCALL();
            R[ins.a] = std::move(tmp);
            DISPATCH();
          }
          case OP_GETGLOBAL: L_OP_GETGLOBAL: {
            const SQObjectPtr& self = R[0];
            if (sqtype(self) == OT_TABLE) {
              SQTable::Node* n = _table(self)->FindNode(K[ins.d]);
              if (n) {
                R[ins.a] = sq_realval(n->val);
                DISPATCH();
              }
            }
            SYNC();
            SQObjectPtr tmp;
            GetOrRaise(self, K[ins.d], tmp, true);
            AFTERCALL();
            R[ins.a] = std::move(tmp);
            DISPATCH();
          }
          case OP_SET: L_OP_SET: {
            const SQObjectPtr& self = R[ins.b];
            const SQObjectPtr& key = R[ins.c];
            if (sqtype(self) == OT_ARRAY && sqtype(key) == OT_INTEGER) {
              SQArray* a = _array(self);
              SQInteger i = _integer(key);
              if (i >= 0 && i < a->Size()) {
                a->_values[(size_t)i] = R[ins.a];
                DISPATCH();
              }
            }
            SYNC();
            Set(SQObjectPtr(self), SQObjectPtr(key), SQObjectPtr(R[ins.a]), false);
            AFTERCALL();
            DISPATCH();
          }
          case OP_SETK: L_OP_SETK: {
            const SQObjectPtr& self = R[ins.b];
            if (sqtype(self) == OT_TABLE) {
              SQTable::Node* n = _table(self)->FindNode(K[ins.d]);
              if (n) {
                n->val = R[ins.a];
                DISPATCH();
              }
            } else if (sqtype(self) == OT_INSTANCE) {
              if (_instance(self)->Set(K[ins.d], R[ins.a])) DISPATCH();
            }
            SYNC();
            Set(SQObjectPtr(self), K[ins.d], SQObjectPtr(R[ins.a]), false);
            AFTERCALL();
            DISPATCH();
          }
          case OP_SETGLOBAL: L_OP_SETGLOBAL: {
            SYNC();
            Set(SQObjectPtr(R[0]), K[ins.d], SQObjectPtr(R[ins.a]), true);
            AFTERCALL();
            DISPATCH();
          }
          case OP_NEWSLOT: L_OP_NEWSLOT: {
            SYNC();
            NewSlot(SQObjectPtr(R[ins.b]), SQObjectPtr(R[ins.c]), SQObjectPtr(R[ins.a]), SQObjectPtr(), false,
                    false);
            AFTERCALL();
            DISPATCH();
          }
          case OP_NEWMEMBER: L_OP_NEWMEMBER: {
            SYNC();
            {
              SQObjectPtr attrs;
              if (ins.d & 2) attrs = R[ins.d >> 8];
              NewSlot(SQObjectPtr(R[ins.b]), SQObjectPtr(R[ins.c]), SQObjectPtr(R[ins.a]), attrs, (ins.d & 1) | 2,
                      false);
            }
            AFTERCALL();
            DISPATCH();
          }
          case OP_DELETE: L_OP_DELETE: {
            SYNC();
            SQObjectPtr res;
            DeleteSlot(SQObjectPtr(R[ins.b]), SQObjectPtr(R[ins.c]), res, false);
            AFTERCALL();
            R[ins.a] = std::move(res);
            DISPATCH();
          }
#define ARITH_OP(OPC, CH, IEXPR, FEXPR)                                          \
  case OPC: L_##OPC: {                                                                    \
    const SQObjectPtr& x = R[ins.b];                                             \
    const SQObjectPtr& y = R[ins.c];                                             \
    if (sqtype(x) == OT_INTEGER && sqtype(y) == OT_INTEGER) {                    \
      SQInteger a_ = _integer(x), b_ = _integer(y);                              \
      R[ins.a].SetInt(IEXPR);                                                    \
      DISPATCH();                                                                  \
    }                                                                            \
    if ((sqtype(x) & SQOBJECT_NUMERIC) && (sqtype(y) & SQOBJECT_NUMERIC)) {      \
      SQFloat a_ = tofloat(x), b_ = tofloat(y);                                  \
      R[ins.a].SetFloat(FEXPR);                                                  \
      DISPATCH();                                                                  \
    }                                                                            \
    SYNC();                                                                      \
    SQObjectPtr tmp;                                                             \
    Arith(CH, tmp, SQObjectPtr(x), SQObjectPtr(y));                              \
    AFTERCALL();                                                                 \
    R[ins.a] = std::move(tmp);                                                   \
    DISPATCH();                                                                    \
  }
          ARITH_OP(OP_ADD, '+', (SQInteger)((uint32_t)a_ + (uint32_t)b_), a_ + b_)
          ARITH_OP(OP_SUB, '-', (SQInteger)((uint32_t)a_ - (uint32_t)b_), a_ - b_)
          ARITH_OP(OP_MUL, '*', (SQInteger)((uint32_t)a_ * (uint32_t)b_), a_ * b_)
          case OP_DIV: L_OP_DIV:
          case OP_MOD: L_OP_MOD: {
            const SQObjectPtr& x = R[ins.b];
            const SQObjectPtr& y = R[ins.c];
            if (sqtype(x) == OT_INTEGER && sqtype(y) == OT_INTEGER && _integer(y) != 0 && _integer(y) != -1) {
              SQInteger a_ = _integer(x), b_ = _integer(y);
              R[ins.a].SetInt(ins.op == OP_DIV ? a_ / b_ : a_ % b_);
              DISPATCH();
            }
            if ((sqtype(x) & SQOBJECT_NUMERIC) && (sqtype(y) & SQOBJECT_NUMERIC) &&
                (sqtype(x) == OT_FLOAT || sqtype(y) == OT_FLOAT)) {
              SQFloat a_ = tofloat(x), b_ = tofloat(y);
              R[ins.a].SetFloat(ins.op == OP_DIV ? a_ / b_ : (SQFloat)fmod((double)a_, (double)b_));
              DISPATCH();
            }
            SYNC();
            SQObjectPtr tmp;
            Arith(ins.op == OP_DIV ? '/' : '%', tmp, SQObjectPtr(R[ins.b]), SQObjectPtr(R[ins.c]));
            AFTERCALL();
            R[ins.a] = std::move(tmp);
            DISPATCH();
          }
          case OP_ARITHI: L_OP_ARITHI: {
            const SQObjectPtr& x = R[ins.b];
            SQInteger imm = ins.c == '+' ? ins.d : -ins.d;
            if (sqtype(x) == OT_INTEGER) {
              R[ins.a].SetInt((SQInteger)((uint32_t)_integer(x) + (uint32_t)imm));
              DISPATCH();
            }
            if (sqtype(x) == OT_FLOAT) {
              R[ins.a].SetFloat(_float(x) + (SQFloat)imm);
              DISPATCH();
            }
            SYNC();
            SQObjectPtr tmp;
            Arith(ins.c, tmp, SQObjectPtr(x), SQObjectPtr((SQInteger)ins.d));
            AFTERCALL();
            R[ins.a] = std::move(tmp);
            DISPATCH();
          }
          case OP_BINK: L_OP_BINK: {
            const SQObjectPtr& x = R[ins.b];
            SQInteger k = ins.d;
            if (sqtype(x) == OT_INTEGER) {
              uint32_t a_ = (uint32_t)_integer(x), b_ = (uint32_t)k;
              SQInteger r_;
              switch (ins.c) {
                case OP_MUL: r_ = (SQInteger)(a_ * b_); break;
                case OP_DIV:
                  if (k == 0 || k == -1) goto bink_slow;
                  r_ = _integer(x) / k;
                  break;
                case OP_MOD:
                  if (k == 0 || k == -1) goto bink_slow;
                  r_ = _integer(x) % k;
                  break;
                case OP_BAND: r_ = (SQInteger)(a_ & b_); break;
                case OP_BOR: r_ = (SQInteger)(a_ | b_); break;
                case OP_BXOR: r_ = (SQInteger)(a_ ^ b_); break;
                case OP_SHL: r_ = (SQInteger)(a_ << (b_ & 31)); break;
                case OP_SHR: r_ = (SQInteger)((int32_t)a_ >> (b_ & 31)); break;
                case OP_USHR: r_ = (SQInteger)(a_ >> (b_ & 31)); break;
                default: goto bink_slow;
              }
              R[ins.a].SetInt(r_);
              DISPATCH();
            }
            if (sqtype(x) == OT_FLOAT && (ins.c == OP_MUL || ins.c == OP_DIV)) {
              R[ins.a].SetFloat(ins.c == OP_MUL ? _float(x) * (SQFloat)k : _float(x) / (SQFloat)k);
              DISPATCH();
            }
          bink_slow : {
            SYNC();
            SQObjectPtr tmp, kk((SQInteger)k);
            switch (ins.c) {
              case OP_MUL: Arith('*', tmp, SQObjectPtr(x), kk); break;
              case OP_DIV: Arith('/', tmp, SQObjectPtr(x), kk); break;
              case OP_MOD: Arith('%', tmp, SQObjectPtr(x), kk); break;
              default:
                if (sqtype(x) != OT_INTEGER)
                  RaiseAscii("bitwise op between '%s' and '%s'", sq_typename(sqtype(x)), "integer");
                RaiseAscii("invalid instruction");
            }
            AFTERCALL();
            R[ins.a] = std::move(tmp);
            DISPATCH();
          }
          }
          case OP_CMPI: L_OP_CMPI: {
            const SQObjectPtr& x = R[ins.b];
            SQInteger k = ins.d;
            bool r_;
            if (sqtype(x) == OT_INTEGER) {
              SQInteger a_ = _integer(x);
              switch (ins.c) {
                case CMP_EQ: r_ = a_ == k; break;
                case CMP_NE: r_ = a_ != k; break;
                case CMP_LT: r_ = a_ < k; break;
                case CMP_LE: r_ = a_ <= k; break;
                case CMP_GT: r_ = a_ > k; break;
                default: r_ = a_ >= k; break;
              }
            } else {
              SYNC();
              SQObjectPtr kk((SQInteger)k);
              if (ins.c == CMP_EQ || ins.c == CMP_NE) {
                r_ = IsEqual(x, kk) == (ins.c == CMP_EQ);
              } else {
                SQInteger c_ = Compare(SQObjectPtr(x), kk);
                AFTERCALL();
                r_ = ins.c == CMP_LT ? c_ < 0 : ins.c == CMP_LE ? c_ <= 0 : ins.c == CMP_GT ? c_ > 0 : c_ >= 0;
              }
            }
            R[ins.a].SetBool(r_);
            DISPATCH();
          }
          case OP_JCMPI: L_OP_JCMPI: {
            const SQObjectPtr& x = R[ins.a];
            SQInteger k = (int8_t)ins.b;
            const int cmp = ins.c & 7;
            bool r_;
            if (sqtype(x) == OT_INTEGER) {
              SQInteger a_ = _integer(x);
              switch (cmp) {
                case CMP_EQ: r_ = a_ == k; break;
                case CMP_NE: r_ = a_ != k; break;
                case CMP_LT: r_ = a_ < k; break;
                case CMP_LE: r_ = a_ <= k; break;
                case CMP_GT: r_ = a_ > k; break;
                default: r_ = a_ >= k; break;
              }
            } else {
              SYNC();
              SQObjectPtr kk((SQInteger)k);
              if (cmp == CMP_EQ || cmp == CMP_NE) {
                r_ = IsEqual(x, kk) == (cmp == CMP_EQ);
              } else {
                SQInteger c_ = Compare(SQObjectPtr(x), kk);
                AFTERCALL();
                r_ = cmp == CMP_LT ? c_ < 0 : cmp == CMP_LE ? c_ <= 0 : cmp == CMP_GT ? c_ > 0 : c_ >= 0;
              }
            }
            if (r_ == ((ins.c & CMP_INVERT) != 0)) ip += ins.d;
            DISPATCH();
          }
#define BIT_OP(OPC, EXPR)                                                           \
  case OPC: L_##OPC: {                                                                       \
    const SQObjectPtr& x = R[ins.b];                                                \
    const SQObjectPtr& y = R[ins.c];                                                \
    if (sqtype(x) != OT_INTEGER || sqtype(y) != OT_INTEGER) {                       \
      SYNC();                                                                       \
      RaiseAscii("bitwise op between '%s' and '%s'", sq_typename(sqtype(x)),        \
                 sq_typename(sqtype(y)));                                           \
    }                                                                               \
    uint32_t a_ = (uint32_t)_integer(x), b_ = (uint32_t)_integer(y);                \
    (void)a_;                                                                       \
    (void)b_;                                                                       \
    R[ins.a].SetInt((SQInteger)(EXPR));                                             \
    DISPATCH();                                                                       \
  }
          BIT_OP(OP_BAND, a_ & b_)
          BIT_OP(OP_BOR, a_ | b_)
          BIT_OP(OP_BXOR, a_ ^ b_)
          BIT_OP(OP_SHL, a_ << (b_ & 31))
          BIT_OP(OP_SHR, (uint32_t)((int32_t)a_ >> (b_ & 31)))
          BIT_OP(OP_USHR, a_ >> (b_ & 31))
          case OP_EQ: L_OP_EQ:
          case OP_NE: L_OP_NE: {
            bool eq = IsEqual(R[ins.b], R[ins.c]);
            R[ins.a].SetBool(ins.op == OP_EQ ? eq : !eq);
            DISPATCH();
          }
#define CMP_OP(OPC, OPER)                                                       \
  case OPC: L_##OPC: {                                                                   \
    const SQObjectPtr& x = R[ins.b];                                            \
    const SQObjectPtr& y = R[ins.c];                                            \
    bool r_;                                                                    \
    if (sqtype(x) == OT_INTEGER && sqtype(y) == OT_INTEGER) {                   \
      r_ = _integer(x) OPER _integer(y);                                        \
    } else if ((sqtype(x) & SQOBJECT_NUMERIC) && (sqtype(y) & SQOBJECT_NUMERIC)) { \
      r_ = tofloat(x) OPER tofloat(y);                                          \
    } else {                                                                    \
      SYNC();                                                                   \
      SQInteger c_ = Compare(SQObjectPtr(x), SQObjectPtr(y));                   \
      AFTERCALL();                                                              \
      r_ = c_ OPER 0;                                                           \
    }                                                                           \
    R[ins.a].SetBool(r_);                                                       \
    DISPATCH();                                                                   \
  }
          CMP_OP(OP_LT, <)
          CMP_OP(OP_LE, <=)
          CMP_OP(OP_GT, >)
          CMP_OP(OP_GE, >=)
          case OP_CMP3: L_OP_CMP3: {
            SYNC();
            SQInteger c = Compare(SQObjectPtr(R[ins.b]), SQObjectPtr(R[ins.c]));
            AFTERCALL();
            R[ins.a].SetInt(c);
            DISPATCH();
          }
          case OP_JCMP: L_OP_JCMP: {
            const SQObjectPtr& x = R[ins.a];
            const SQObjectPtr& y = R[ins.b];
            bool r_;
            const int cmp = ins.c & 7;
            if (cmp == CMP_EQ || cmp == CMP_NE) {
              r_ = IsEqual(x, y) == (cmp == CMP_EQ);
            } else if (sqtype(x) == OT_INTEGER && sqtype(y) == OT_INTEGER) {
              SQInteger a_ = _integer(x), b_ = _integer(y);
              r_ = cmp == CMP_LT ? a_ < b_ : cmp == CMP_LE ? a_ <= b_ : cmp == CMP_GT ? a_ > b_ : a_ >= b_;
            } else if ((sqtype(x) & SQOBJECT_NUMERIC) && (sqtype(y) & SQOBJECT_NUMERIC)) {
              SQFloat a_ = tofloat(x), b_ = tofloat(y);
              r_ = cmp == CMP_LT ? a_ < b_ : cmp == CMP_LE ? a_ <= b_ : cmp == CMP_GT ? a_ > b_ : a_ >= b_;
            } else {
              SYNC();
              SQInteger c_ = Compare(SQObjectPtr(x), SQObjectPtr(y));
              AFTERCALL();
              r_ = cmp == CMP_LT ? c_ < 0 : cmp == CMP_LE ? c_ <= 0 : cmp == CMP_GT ? c_ > 0 : c_ >= 0;
            }
            if (r_ == ((ins.c & CMP_INVERT) != 0)) ip += ins.d;
            DISPATCH();
          }
          case OP_NOT: L_OP_NOT: R[ins.a].SetBool(IsFalse(R[ins.b])); DISPATCH();
          case OP_NEG: L_OP_NEG: {
            if (sqtype(R[ins.b]) == OT_INTEGER) {
              R[ins.a].SetInt((SQInteger)(0u - (uint32_t)_integer(R[ins.b])));
              DISPATCH();
            }
            SYNC();
            SQObjectPtr tmp;
            Unm(tmp, SQObjectPtr(R[ins.b]));
            AFTERCALL();
            R[ins.a] = std::move(tmp);
            DISPATCH();
          }
          case OP_BNOT: L_OP_BNOT: {
            if (sqtype(R[ins.b]) != OT_INTEGER) {
              SYNC();
              RaiseAscii("attempt to perform a bitwise op on a %s", sq_typename(sqtype(R[ins.b])));
            }
            R[ins.a].SetInt(~_integer(R[ins.b]));
            DISPATCH();
          }
          case OP_TYPEOF: L_OP_TYPEOF: {
            SYNC();
            SQObjectPtr tmp;
            TypeOf(SQObjectPtr(R[ins.b]), tmp);
            AFTERCALL();
            R[ins.a] = std::move(tmp);
            DISPATCH();
          }
          case OP_CLONE: L_OP_CLONE: {
            SYNC();
            SQObjectPtr tmp;
            Clone(SQObjectPtr(R[ins.b]), tmp);
            AFTERCALL();
            R[ins.a] = std::move(tmp);
            DISPATCH();
          }
          case OP_IN: L_OP_IN: {
            SYNC();
            bool r = In(R[ins.b], R[ins.c]);
            AFTERCALL();
            R[ins.a].SetBool(r);
            DISPATCH();
          }
          case OP_INSTANCEOF: L_OP_INSTANCEOF: {
            SYNC();
            bool r = InstanceOf(R[ins.b], R[ins.c]);
            R[ins.a].SetBool(r);
            DISPATCH();
          }
          case OP_JMP: L_OP_JMP: ip += ins.d; DISPATCH();
          case OP_JZ: L_OP_JZ:
            if (IsFalse(R[ins.a])) ip += ins.d;
            DISPATCH();
          case OP_JNZ: L_OP_JNZ:
            if (!IsFalse(R[ins.a])) ip += ins.d;
            DISPATCH();
          case OP_CALL: L_OP_CALL:
          case OP_TAILCALL: L_OP_TAILCALL: {
            SQObjectPtr& fn = R[ins.a];
            SQInteger nargs = ins.b;
            SQInteger cbase = base + ins.a + 1;
            SYNC();
            if (ins.op == OP_TAILCALL && sqtype(fn) == OT_CLOSURE && !_closure(fn)->proto()->generator &&
                !ci->generator && ci->ntraps == 0 && !ci->ctor) {
              // the callee replaces the running frame
              {
                SQObjectPtr c(fn);
                // the callee's bound environment may be held only by the
                // registers about to be cleared: keep it until it is 'this'
                SQObjectPtr env;
                if (sqtype(_closure(c)->_env) == OT_WEAKREF) env = _weakref(_closure(c)->_env)->_obj;
                CloseOuters(base);
                SQInteger target = ci->target;
                bool root = ci->root;
                SQInteger stacksize = ci->proto->stacksize;
                for (SQInteger k = 0; k < nargs; k++) R[k] = std::move(R[ins.a + 1 + k]);
                for (SQInteger k = nargs; k < stacksize; k++) R[k].Null();
                _frames.pop_back();
                EnterScriptFrame(c, base, nargs, target, root);
              }
              RELOAD();
              ip = ci->ip;
              DISPATCH();
            }
            if (sqtype(fn) == OT_CLOSURE) {
              SQClosure* cl = _closure(fn);
              SQFunctionProto* p = cl->proto();
              if (nargs == p->nparams && !p->varparams && !p->generator && sqtype(cl->_env) == OT_NULL &&
                  (SQInteger)_frames.size() < SQ_MAX_FRAMES) {
                // common case: exact argument count, no environment
                EnsureStack(cbase + p->stacksize + 1);
                _frames.emplace_back();
                SQCallFrame& f = _frames.back();
                f.closure = _stack[(size_t)(base + ins.a)];
                f.proto = p;
                f.literals = p->literals.data();
                f.ip = p->code.data();
                f.base = cbase;
                f.target = base + ins.a;
                _top = cbase + p->stacksize;
                ci = &f;
                base = cbase;
                R = _stack.data() + base;
                K = f.literals;
                ip = f.ip;
                DISPATCH();
              }
            }
            if (sqtype(fn) == OT_CLOSURE && !_closure(fn)->proto()->generator) {
              {
                SQObjectPtr c(fn);
                EnterScriptFrame(c, cbase, nargs, base + ins.a, false);
              }
              RELOAD();
              ip = ci->ip;
              DISPATCH();
            }
            if (sqtype(fn) == OT_CLASS) {
              SQClass* cls = _class(fn);
              if (cls->_constructoridx >= 0) {
                const SQObjectPtr& ctor = cls->_methods[(size_t)cls->_constructoridx].val;
                if (sqtype(ctor) == OT_CLOSURE && !_closure(ctor)->proto()->generator) {
                  // the constructor runs as a frame of this run; the new
                  // instance is 'this' and, already in place, the result
                  {
                    SQObjectPtr c(ctor), inst(cls->CreateInstance());
                    R[ins.a + 1] = inst;
                    fn = std::move(inst);
                    EnterScriptFrame(c, cbase, nargs, base + ins.a, false);
                  }
                  _frames.back().ctor = true;
                  RELOAD();
                  ip = ci->ip;
                  DISPATCH();
                }
              }
            }
            if (sqtype(fn) == OT_NATIVECLOSURE) {
             {
              SQObjectPtr c(fn);
              SQObjectPtr ret;
              bool suspend;
              CallNative(_nativeclosure(c), cbase, nargs, ret, suspend);
              AFTERCALL();
              SETDISP();
              if (suspend) {
                if (_nnativecalls > 0 || _nestedexec > 1 || (SQInteger)_frames.size() <= rootframe)
                  RaiseAscii("cannot suspend through native calls/metamethods");
                _state = SQ_VMSTATE_SUSPENDED;
                _suspendtarget = base + ins.a;
                _suspendroot = rootframe;
                _suspendvalue = ret;
                retval = ret;
                _top = base + ci->proto->stacksize;
                return true;
              }
              R[ins.a] = std::move(ret);
              _top = base + ci->proto->stacksize;
             }
              DISPATCH();
            }
            {
              SQObjectPtr c(fn), ret;
              SQInteger savedtop = _top;
              _top = cbase + nargs;
              bool ok = Call(c, nargs, cbase, ret, false);
              _top = savedtop;
              AFTERCALL();
              if (!ok) throw SQVMError{};
              R[ins.a] = std::move(ret);
            }
            DISPATCH();
          }
          case OP_RETURN: L_OP_RETURN: {
            if (!ci->root && !ci->generator && ci->ntraps == 0 && !ci->ctor) {
              // return to a script caller: the result goes to the slot
              // right below the callee's registers
              if (ins.b) R[-1] = std::move(R[ins.a]);
              else R[-1].Null();
              if (_openouters && _openouters->_idx >= base) CloseOuters(base);
              SQInteger ss = ci->proto->stacksize;
              for (SQInteger i = 0; i < ss; i++)
                if (sq_isrc(R[i]._type)) R[i].Null();
              _frames.pop_back();
              ci = &_frames.back();
              base = ci->base;
              R = _stack.data() + base;
              K = ci->literals;
              ip = ci->ip;
              _top = base + ci->proto->stacksize;
              DISPATCH();
            }
            SQObjectPtr ret;
            if (ins.b) ret = std::move(R[ins.a]);
            bool root = ci->root;
            bool ctor = ci->ctor;
            bool leaveloop = ci->foreachgen;
            SQInteger target = ci->target;
            SQInteger stacksize = ci->proto->stacksize;
            if (ci->generator) {
              ci->generator->Kill();
              ci->generator = nullptr;
              if (!root) R[-1].Null();  // the generator was kept alive there while it ran
            }
            if (ci->ntraps == 0) {
              if (_openouters && _openouters->_idx >= base) CloseOuters(base);
              _frames.pop_back();
            } else {
              LeaveFrame();
            }
            for (SQInteger i = 0; i < stacksize; i++) {
              if (sq_isrc(R[i]._type)) R[i].Null();
            }
            if (root) {
              retval = std::move(ret);
              if ((SQInteger)_frames.size() == 0 || _nestedexec == 1) _state = SQ_VMSTATE_IDLE;
              return true;
            }
            // a constructor's caller keeps the instance as its result
            if (!ctor) _stack[(size_t)target] = std::move(ret);
            RELOAD();
            ip = ci->ip;
            if (leaveloop) ip += (ip - 1)->d;
            _top = base + ci->proto->stacksize;
            DISPATCH();
          }
          case OP_CLOSURE: L_OP_CLOSURE: {
            SQFunctionProto* p = _funcproto(ci->proto->functions[(size_t)ins.d]);
            SQClosure* cl = new SQClosure(_ss, p);
            SQObjectPtr clo(cl);
            SQClosure* cur = _closure(ci->closure);
            cl->_outers.reserve(p->outers.size());
            for (auto& ov : p->outers) {
              if (ov.fromOuter) cl->_outers.push_back(cur->_outers[(size_t)ov.idx]);
              else cl->_outers.push_back(FindOuter(base + ov.idx));
            }
            for (int i = 0; i < p->ndefaults; i++) cl->_defaults.push_back(R[ins.b + i]);
            R = _stack.data() + base;
            R[ins.a] = std::move(clo);
            DISPATCH();
          }
          case OP_NEWTABLE: L_OP_NEWTABLE: R[ins.a] = SQObjectPtr(sq_newtable_obj(_ss, ins.d)); DISPATCH();
          case OP_NEWARRAY: L_OP_NEWARRAY: {
            SQArray* a = sq_newarray_obj(_ss, 0);
            a->_values.reserve((size_t)ins.d);
            R[ins.a] = SQObjectPtr(a);
            DISPATCH();
          }
          case OP_APPEND: L_OP_APPEND:
            if (sqtype(R[ins.a]) != OT_ARRAY) {
              SYNC();
              RaiseAscii("invalid instruction");
            }
            _array(R[ins.a])->_values.push_back(R[ins.b]);
            DISPATCH();
          case OP_NEWCLASS: L_OP_NEWCLASS: {
            SYNC();
            SQClass* b = nullptr;
            if (ins.b != 255) {
              if (sqtype(R[ins.b]) != OT_CLASS) RaiseAscii("trying to inherit from a %s", sq_typename(sqtype(R[ins.b])));
              b = _class(R[ins.b]);
            }
            SQClass* c = new SQClass(_ss, b);
            SQObjectPtr co(c);
            if (ins.c != 255) c->_attributes = R[ins.c];
            if (b && sqtype(b->_metamethods[MT_INHERITED]) != OT_NULL) {
              SQObjectPtr m(b->_metamethods[MT_INHERITED]), r, attrs(c->_attributes);
              CallMeta(m, co, 1, &attrs, r);
              AFTERCALL();
            }
            R[ins.a] = std::move(co);
            DISPATCH();
          }
          case OP_FOREACH: L_OP_FOREACH: {
            SYNC();
            bool gen;
            SQInteger more = FOREACH(R[ins.a], R[ins.a + 3], R[ins.a + 1], R[ins.a + 2], gen);
            AFTERCALL();
            if (gen) {
              SQGenerator* g = _generator(R[ins.a]);
              if (g->_state == SQGenerator::eDead) {
                ip += ins.d;
                DISPATCH();
              }
              // the generator runs as a frame of this run: a yield puts the
              // value in place and enters the body, its end leaves the loop
              SQInteger n = sqtype(R[ins.a + 3]) == OT_INTEGER ? _integer(R[ins.a + 3]) : 0;
              R[ins.a + 1].SetInt(n);
              R[ins.a + 3].SetInt(n + 1);
              PushGeneratorFrame(g, base + ci->proto->stacksize + 1, base + ins.a + 2, false);
              _frames.back().foreachgen = true;
              RELOAD();
              ip = ci->ip;
              DISPATCH();
            }
            if (!more) ip += ins.d;
            DISPATCH();
          }
          case OP_PUSHTRAP: L_OP_PUSHTRAP: {
            SQVMTrap t;
            t.stackbase = base;
            t.top = _top;
            t.ip = ip + ins.d;
            t.target = base + ins.a;
            t.frame = (SQInteger)_frames.size() - 1;
            _traps.push_back(t);
            ci->ntraps++;
            DISPATCH();
          }
          case OP_POPTRAP: L_OP_POPTRAP:
            if (ci->ntraps < ins.b) {
              SYNC();
              RaiseAscii("invalid instruction");
            }
            for (int i = 0; i < ins.b; i++) {
              _traps.pop_back();
              ci->ntraps--;
            }
            DISPATCH();
          case OP_THROW: L_OP_THROW: SYNC(); RaiseObj(R[ins.a]);
          case OP_YIELD: L_OP_YIELD: {
            SYNC();
            SQGenerator* g = ci->generator;
            if (!g) RaiseAscii("yield outside a generator");
            SQObjectPtr ret;
            if (ins.b) ret = R[ins.a];
            SQInteger stacksize = ci->proto->stacksize;
            CloseOuters(base);
            g->_stack.assign(_stack.begin() + base, _stack.begin() + base + stacksize);
            g->_ip = ip;
            g->_target = ins.a;
            g->_traps.clear();
            for (SQInteger i = 0; i < ci->ntraps; i++) {
              SQVMTrap t = _traps[_traps.size() - (size_t)ci->ntraps + (size_t)i];
              SQExceptionTrap et;
              et.stackbase = 0;
              et.top = t.top - base;
              et.ip = t.ip;
              et.target = t.target - base;
              g->_traps.push_back(et);
            }
            for (SQInteger i = 0; i < ci->ntraps; i++) _traps.pop_back();
            ci->ntraps = 0;
            g->_state = SQGenerator::eSuspended;
            ci->generator = nullptr;
            bool root = ci->root;
            SQInteger target = ci->target;
            _frames.pop_back();
            for (SQInteger i = 0; i < stacksize; i++) R[i].Null();
            if (root) {
              retval = std::move(ret);
              return true;
            }
            R[-1].Null();  // the generator was kept alive there while it ran
            _stack[(size_t)target] = std::move(ret);
            RELOAD();
            ip = ci->ip;
            _top = base + ci->proto->stacksize;
            DISPATCH();
          }
          case OP_RESUME: L_OP_RESUME: {
            SYNC();
            if (sqtype(R[ins.b]) != OT_GENERATOR)
              RaiseAscii("trying to resume a '%s',only genenerator can be resumed", sq_typename(sqtype(R[ins.b])));
            // the generator runs as a frame of this run: its yield or
            // return writes R[a] and continues here
            PushGeneratorFrame(_generator(R[ins.b]), base + ci->proto->stacksize + 1, base + ins.a, false);
            RELOAD();
            ip = ci->ip;
            DISPATCH();
          }
          case OP_GETBASE: L_OP_GETBASE: {
            SQClosure* c = _closure(ci->closure);
            R[ins.a] = c->_base;
            DISPATCH();
          }
          case OP_CLOSE: L_OP_CLOSE: CloseOuters(base + ins.a); DISPATCH();
          default: L_DEFAULT: SYNC(); RaiseAscii("invalid instruction");
#if defined(__GNUC__) && !defined(__clang__)
          L_HOOK: {
            SYNC();
            DebugStep(ins.op);
            AFTERCALL();
            goto* opdispatch[ins.op];
          }
#endif
        }
      }
    } catch (std::bad_alloc&) {
      sqmem::Grant grant;  // reporting the error must not run short itself
      _lasterror = _ss->_outofmemory;
      if (HandleError(rootframe, retval, raiseerror)) continue;
      return false;
    } catch (std::length_error&) {
      sqmem::Grant grant;
      _lasterror = _ss->_outofmemory;
      if (HandleError(rootframe, retval, raiseerror)) continue;
      return false;
    } catch (SQVMError&) {
      sqmem::Grant grant;
      if (HandleError(rootframe, retval, raiseerror)) continue;
      return false;
    }
  }
}

// Unwinds to the innermost trap of this run (true: continue there) or
// reports the error and leaves every frame of the run (false).
bool SQVM::HandleError(SQInteger rootframe, SQObjectPtr& retval, bool raiseerror) {
  (void)retval;
  {
    {
      SQObjectPtr err = _lasterror;
      if (!_traps.empty() && _traps.back().frame >= rootframe) {
        if (_ss->_notifyallexceptions && raiseerror) CallErrorHandler(err);
        SQVMTrap t = _traps.back();
        while ((SQInteger)_frames.size() - 1 > t.frame) {
          SQCallFrame& f = _frames.back();
          SQInteger b = f.base;
          SQInteger ss = f.proto ? f.proto->stacksize : 0;
          LeaveFrame();
          for (SQInteger i = b; i < b + ss; i++) _stack[(size_t)i].Null();
        }
        _traps.pop_back();
        _frames.back().ntraps--;
        _frames.back().ip = t.ip;
        _top = _frames.back().base + _frames.back().proto->stacksize;
        _stack[(size_t)t.target] = err;
        return true;
      }
      if (raiseerror && !_inerrorhandler) CallErrorHandler(err);
      while ((SQInteger)_frames.size() > rootframe) {
        SQCallFrame& f = _frames.back();
        SQInteger b = f.base;
        SQInteger ss = f.proto ? f.proto->stacksize : 0;
        LeaveFrame();
        for (SQInteger i = b; i < b + ss && i < (SQInteger)_stack.size(); i++) _stack[(size_t)i].Null();
      }
      _lasterror = err;
      if (_nestedexec == 1) _state = SQ_VMSTATE_IDLE;
      return false;
    }
  }
}

void SQVM::PushGeneratorFrame(SQGenerator* g, SQInteger base, SQInteger target, bool root) {
  if (g->_state == SQGenerator::eRunning) RaiseAscii("resuming active generator");
  if (g->_state == SQGenerator::eDead) RaiseAscii("resuming dead generator");
  if ((SQInteger)_frames.size() >= SQ_MAX_FRAMES) RaiseAscii("stack overflow");
  SQFunctionProto* p = _closure(g->_func)->proto();
  EnsureStack(base + p->stacksize + 1);
  _stack[(size_t)base - 1] = SQObjectPtr(g);
  for (size_t i = 0; i < g->_stack.size(); i++) _stack[(size_t)base + i] = std::move(g->_stack[i]);
  g->_stack.clear();
  SQInteger frame = (SQInteger)_frames.size();
  _frames.emplace_back();
  SQCallFrame& f = _frames.back();
  f.closure = g->_func;
  f.proto = p;
  f.literals = p->literals.data();
  f.ip = g->_ip;
  f.base = base;
  f.root = root;
  f.generator = g;
  f.target = target;
  for (auto& t : g->_traps) {
    SQVMTrap vt;
    vt.stackbase = base;
    vt.top = t.top + base;
    vt.ip = t.ip;
    vt.target = t.target + base;
    vt.frame = frame;
    _traps.push_back(vt);
    f.ntraps++;
  }
  g->_traps.clear();
  g->_state = SQGenerator::eRunning;
  _top = base + p->stacksize;
}

// Resumes a suspended generator on top of the current stack, in a run of
// its own (for natives; script code resumes generators in its own run).
bool sq_resumegenerator(SQVM* v, SQGenerator* g, SQObjectPtr& ret) {
  SQObjectPtr keep(g);
  SQInteger base = v->_top + 1;
  SQInteger rootframe = (SQInteger)v->_frames.size();
  try {
    v->PushGeneratorFrame(g, base, -1, true);
  } catch (SQVMError&) {
    return false;
  }
  bool ok = v->Execute(rootframe, ret, false);
  v->_stack[(size_t)base - 1].Null();
  v->_top = base - 1;
  return ok;
}

// Checks that loaded bytecode only names registers, constants, functions,
// outers and jump targets that exist, so a damaged stream cannot make the
// interpreter read outside its tables.
static bool VerifyProto(SQFunctionProto* p, SQFunctionProto* parent, int depth) {
  if (depth > 200) return false;
  const int ss = p->stacksize;
  const int nk = (int)p->literals.size();
  const int nf = (int)p->functions.size();
  const int no = (int)p->outers.size();
  const int n = (int)p->code.size();
  if (n == 0 || p->code.back().op != OP_RETURN) return false;
  if (ss < 1 || ss > 256 || p->nparams < 1 || (int)p->params.size() < p->nparams + (p->varparams ? 1 : 0) ||
      p->nparams + (p->varparams ? 1 : 0) > ss || p->ndefaults < 0 || p->ndefaults > p->nparams)
    return false;
  for (auto& o : p->outers) {
    if (!parent) return false;
    if (o.fromOuter ? (o.idx < 0 || o.idx >= (int)parent->outers.size()) : (o.idx < 0 || o.idx >= parent->stacksize))
      return false;
  }
  for (auto& l : p->locals)
    if (l.pos < 0 || l.pos >= ss || sqtype(l.name) != OT_STRING) return false;
  auto R = [&](int r) { return r >= 0 && r < ss; };
  for (int pc = 0; pc < n; pc++) {
    const SQInstruction& i = p->code[(size_t)pc];
    auto J = [&]() { long t = (long)pc + 1 + i.d; return t >= 0 && t < n; };
    bool ok;
    switch (i.op) {
      case OP_LOADK: ok = R(i.a) && i.d >= 0 && i.d < nk; break;
      case OP_LOADINT: case OP_LOADFLOAT: case OP_LOADBOOL: case OP_LOADROOT: case OP_NEWTABLE:
      case OP_NEWARRAY: case OP_THROW: case OP_YIELD: case OP_GETBASE: case OP_CLOSE:
        ok = R(i.a);
        break;
      case OP_LOADNULL: ok = i.a + i.b <= ss; break;
      case OP_MOVE: case OP_NOT: case OP_NEG: case OP_BNOT: case OP_TYPEOF: case OP_CLONE: case OP_APPEND:
      case OP_RESUME:
        ok = R(i.a) && R(i.b);
        break;
      case OP_GETOUTER: case OP_SETOUTER: ok = R(i.a) && i.d >= 0 && i.d < no; break;
      case OP_GETK: case OP_SETK: ok = R(i.a) && R(i.b) && i.d >= 0 && i.d < nk; break;
      case OP_GETGLOBAL: case OP_SETGLOBAL: ok = R(i.a) && i.d >= 0 && i.d < nk; break;
      case OP_NEWMEMBER: ok = R(i.a) && R(i.b) && R(i.c) && (!(i.d & 2) || R(i.d >> 8)); break;
      case OP_ARITHI: ok = R(i.a) && R(i.b) && (i.c == '+' || i.c == '-'); break;
      case OP_BINK: ok = R(i.a) && R(i.b) && i.c < OP_COUNT; break;
      case OP_CMPI: ok = R(i.a) && R(i.b) && i.c <= CMP_GE; break;
      case OP_JCMPI: ok = R(i.a) && (i.c & 7) <= CMP_GE && i.c < 16 && J(); break;
      case OP_JCMP: ok = R(i.a) && R(i.b) && (i.c & 7) <= CMP_GE && i.c < 16 && J(); break;
      case OP_JMP: ok = J(); break;
      case OP_JZ: case OP_JNZ: case OP_PUSHTRAP: ok = R(i.a) && J(); break;
      case OP_CALL: case OP_TAILCALL: ok = i.b >= 1 && i.a + i.b < ss; break;
      case OP_RETURN: ok = !i.b || R(i.a); break;
      case OP_CLOSURE:
        ok = R(i.a) && i.d >= 0 && i.d < nf && sqtype(p->functions[(size_t)i.d]) == OT_FUNCPROTO &&
             i.b + _funcproto(p->functions[(size_t)i.d])->ndefaults <= ss;
        break;
      case OP_NEWCLASS: ok = R(i.a) && (i.b == 255 || R(i.b)) && (i.c == 255 || R(i.c)); break;
      case OP_FOREACH: ok = i.a + 3 < ss && J(); break;
      case OP_POPTRAP: ok = true; break;
      default:
        ok = i.op < OP_COUNT && R(i.a) && R(i.b) && R(i.c);
        break;
    }
    if (!ok) return false;
  }
  for (auto& f : p->functions)
    if (sqtype(f) != OT_FUNCPROTO || !VerifyProto(_funcproto(f), p, depth + 1)) return false;
  return true;
}

bool sq_verifyproto(SQFunctionProto* p) { return p->outers.empty() && VerifyProto(p, nullptr, 0); }
