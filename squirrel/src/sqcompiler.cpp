// Single-pass compiler from source text to register-machine bytecode.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <memory>

#include "sqlexer.h"
#include "sqopcodes.h"
#include "sqvm.h"

namespace {

const int kMaxRegs = 250;
const int kMaxNesting = 200;

struct CompileError {
  std::string msg;
};

struct LocalVar {
  SQObjectPtr name;
  int reg;
  int startop;
  bool captured;
};

struct LoopInfo {
  std::vector<int> breaks;
  std::vector<int> continues;
  int nlocals;   // locals alive outside the loop body
  int ntraps;    // traps active outside
  bool isswitch;
};

struct FuncState {
  FuncState* parent = nullptr;
  SQFunctionProto* proto = nullptr;
  SQObjectPtr protoref;
  std::vector<LocalVar> locals;
  std::vector<LoopInfo> loops;
  SQObjectPtr literalmap;  // table: literal -> index
  int top = 0;
  int ntraps = 0;
  int lastline = -1;
  int lasttarget = -1;  // highest jump target so far
  std::vector<int> scopes;  // locals count at each open block
};

enum ExpKind { E_REG, E_LOCAL, E_OUTER, E_FIELD, E_FIELDK, E_GLOBAL, E_INT, E_FLOAT, E_K, E_NULL, E_BOOL };

struct Exp {
  ExpKind k = E_NULL;
  int r = 0;    // register (E_REG, E_LOCAL), outer index, object register
  int key = 0;  // key register (E_FIELD) or constant index (E_FIELDK, E_GLOBAL, E_K)
  SQInteger i = 0;
  SQFloat f = 0;
  bool isbase = false;  // object is 'base'
};

class Compiler {
 public:
  Compiler(SQVM* v, const SQChar* src, SQInteger len, const SQChar* sourcename)
      : _ss(v->_ss), _lex(src, len), _source(SQString::Create(v->_ss, sourcename)) {}

  bool Compile(SQObjectPtr& out, sqstring& err, SQInteger& line, SQInteger& col) {
    try {
      FuncState fs;
      OpenFunc(fs, nullptr);
      _fs->proto->name = sq_str(_ss, "main");
      AddParam(sq_str(_ss, "this"));
      _fs->proto->nparams = 1;
      _fs->proto->varparams = true;
      AddParam(sq_str(_ss, "vargv"));
      Lex();
      while (_token != TK_EOF) {
        Statement();
        if (_lex._prevtoken != '}' && _lex._prevtoken != ';') OptionalSemicolon();
      }
      CloseFunc(0);
      out = fs.protoref;
      return true;
    } catch (CompileError& e) {
      err = sq_ascii(e.msg.c_str());
    } catch (SQLexError& e) {
      err = sq_ascii(e.msg.c_str());
    }
    line = _lex._currentline;
    col = _lex._currentcolumn;
    _fs = nullptr;  // the function states lived on the unwound C++ stack
    return false;
  }

 private:
  SQSharedState* _ss;
  SQLexer _lex;
  SQObjectPtr _source;
  SQInteger _token = 0;
  FuncState* _fs = nullptr;
  int _depth = 0;
  int _prevline = 1;  // line of the last consumed token
  // line where the current statement starts: every instruction of a
  // statement reports it, however many lines the statement spans
  int _stmtline = 1;

  // ------------------------------------------------------------ helpers
  [[noreturn]] void Error(const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    throw CompileError{buf};
  }
  void Lex() {
    _prevline = (int)_lex._tokenline;
    _token = _lex.Lex();
  }
  void Enter() {
    if (++_depth > kMaxNesting) Error("expression or statement nested too deeply");
  }
  void Leave() { --_depth; }
  struct Guard {
    Compiler* c;
    explicit Guard(Compiler* cc) : c(cc) { c->Enter(); }
    ~Guard() { c->Leave(); }
  };

  std::string TokStr(SQInteger tok) {
    const char* s = sq_tok2str(tok);
    if (s) return s;
    return std::string(1, (char)tok);
  }
  SQObjectPtr Expect(SQInteger tok) {
    if (_token != tok) {
      if (_token == TK_CONSTRUCTOR && tok == TK_IDENTIFIER) {
        // 'constructor' is accepted where a name is expected
      } else {
        if (tok > 255) {
          const char* s = sq_tok2str(tok);
          Error("expected '%s'", s ? s : "?");
        }
        Error("expected '%c'", (char)tok);
      }
    }
    SQObjectPtr ret;
    switch (tok) {
      case TK_IDENTIFIER: ret = sq_str16(_ss, _token == TK_CONSTRUCTOR ? u"constructor" : _lex._svalue); break;
      case TK_STRING_LITERAL: ret = sq_str16(_ss, _lex._svalue); break;
      case TK_INTEGER: ret = SQObjectPtr(_lex._nvalue); break;
      case TK_FLOAT: ret = SQObjectPtr(_lex._fvalue); break;
    }
    Lex();
    return ret;
  }
  bool IsEndOfStatement() {
    return _lex._prevtoken == '\n' || _token == TK_EOF || _token == '}' || _token == ';';
  }
  void OptionalSemicolon() {
    if (_token == ';') {
      Lex();
      return;
    }
    if (!IsEndOfStatement()) Error("end of statement expected (; or lf)");
  }

  // ------------------------------------------------------------ function state
  void OpenFunc(FuncState& fs, FuncState* parent) {
    fs.parent = parent;
    fs.proto = new SQFunctionProto();
    fs.protoref = SQObjectPtr(fs.proto);
    fs.proto->source = _source;
    fs.proto->debuginfo = _ss->_debuginfo;
    fs.literalmap = SQObjectPtr(sq_newtable_obj(_ss));
    _fs = &fs;
  }
  void CloseFunc(int line) {
    (void)line;
    // implicit 'return' at the end, on the line of the closing token
    int stmtline = _stmtline;
    _stmtline = _prevline;
    Emit(OP_RETURN, 0, 0, 0, 0);
    _stmtline = stmtline;
    while (!_fs->locals.empty()) PopLocal();
    _fs->proto->stacksize = std::max(std::max(_fs->proto->stacksize, _fs->top), 1);
    _fs = _fs->parent;
  }
  void AddParam(const SQObjectPtr& name) {
    _fs->proto->params.push_back(name);
    DeclareLocal(name);
  }
  int NewReg() {
    int r = _fs->top++;
    if (_fs->top > kMaxRegs) Error("too many local variables or temporaries");
    if (_fs->top > _fs->proto->stacksize) _fs->proto->stacksize = _fs->top;
    return r;
  }
  bool IsTemp(int r) { return r >= NLocalRegs(); }
  int NLocalRegs() { return _fs->locals.empty() ? 0 : _fs->locals.back().reg + 1; }
  void FreeReg(int r) {
    if (r >= NLocalRegs() && r == _fs->top - 1) _fs->top--;
  }
  void SetTop(int t) { _fs->top = t; }
  int DeclareLocal(const SQObjectPtr& name) {
    int r = NewReg();
    _fs->locals.push_back({name, r, (int)_fs->proto->code.size(), false});
    return r;
  }
  void PopLocal() {
    LocalVar& lv = _fs->locals.back();
    // a local is visible from the instruction after its declaration up to
    // the last instruction of its scope, not at the one that follows it
    if (sqtype(lv.name) == OT_STRING)
      _fs->proto->locals.push_back({lv.name, lv.reg, lv.startop, (int)_fs->proto->code.size() - 1});
    _fs->locals.pop_back();
  }
  void BeginScope() { _fs->scopes.push_back((int)_fs->locals.size()); }
  void EndScope() {
    int n = _fs->scopes.back();
    _fs->scopes.pop_back();
    int firstcaptured = -1;
    for (size_t i = (size_t)n; i < _fs->locals.size(); i++)
      if (_fs->locals[i].captured) {
        firstcaptured = _fs->locals[i].reg;
        break;
      }
    if (firstcaptured >= 0) Emit(OP_CLOSE, firstcaptured, 0, 0, 0);
    int newtop = n > 0 ? _fs->locals[(size_t)n - 1].reg + 1 : 0;
    while ((int)_fs->locals.size() > n) PopLocal();
    _fs->top = newtop;
  }
  // Emits CLOSE for captured locals at index >= n (used by break/continue).
  void CloseFrom(int n) {
    for (size_t i = (size_t)n; i < _fs->locals.size(); i++)
      if (_fs->locals[i].captured) {
        Emit(OP_CLOSE, _fs->locals[i].reg, 0, 0, 0);
        return;
      }
  }
  int Emit(int op, int a, int b, int c, int d) {
    SQFunctionProto* p = _fs->proto;
    int line = _stmtline;
    if (line != _fs->lastline) {
      p->lines.push_back({(int)p->code.size(), line});
      _fs->lastline = line;
    }
    SQInstruction i;
    i.op = (uint8_t)op;
    i.a = (uint8_t)a;
    i.b = (uint8_t)b;
    i.c = (uint8_t)c;
    i.d = d;
    p->code.push_back(i);
    return (int)p->code.size() - 1;
  }
  void MarkLine() {
    _stmtline = (int)_lex._tokenline;
    SQFunctionProto* p = _fs->proto;
    p->lines.push_back({(int)p->code.size(), (int)_lex._tokenline});
    _fs->lastline = (int)_lex._tokenline;
  }
  int Pc() { return (int)_fs->proto->code.size(); }
  void PatchTo(int at, int target) {
    _fs->proto->code[(size_t)at].d = target - at - 1;
    if (target > _fs->lasttarget) _fs->lasttarget = target;
  }
  void PatchHere(int at) { PatchTo(at, Pc()); }
  int Literal(const SQObject& o) {
    SQObjectPtr idx;
    SQTable* t = _table(_fs->literalmap);
    if (t->Get(o, idx)) return _integer(idx);
    int n = (int)_fs->proto->literals.size();
    _fs->proto->literals.push_back(o);
    t->NewSlot(o, SQObjectPtr((SQInteger)n));
    return n;
  }
  int LiteralStr(const sqstring& s) { return Literal(sq_str16(_ss, s)); }

  // ------------------------------------------------------------ expression values
  void LoadTo(Exp& e, int r) {
    switch (e.k) {
      case E_REG:
      case E_LOCAL:
        if (e.r != r) Emit(OP_MOVE, r, e.r, 0, 0);
        break;
      case E_OUTER: Emit(OP_GETOUTER, r, 0, 0, e.r); break;
      case E_FIELD: Emit(OP_GET, r, e.r, e.key, 0); break;
      case E_FIELDK: Emit(OP_GETK, r, e.r, 0, e.key); break;
      case E_GLOBAL: Emit(OP_GETGLOBAL, r, 0, 0, e.key); break;
      case E_INT: Emit(OP_LOADINT, r, 0, 0, (int32_t)e.i); break;
      case E_FLOAT: {
        int32_t bits;
        memcpy(&bits, &e.f, 4);
        Emit(OP_LOADFLOAT, r, 0, 0, bits);
        break;
      }
      case E_K: Emit(OP_LOADK, r, 0, 0, e.key); break;
      case E_NULL: Emit(OP_LOADNULL, r, 1, 0, 0); break;
      case E_BOOL: Emit(OP_LOADBOOL, r, e.i ? 1 : 0, 0, 0); break;
    }
    e.k = E_REG;
    e.r = r;
  }
  // Releases temporaries used by e (before computing its value elsewhere).
  void FreeExp(Exp& e) {
    switch (e.k) {
      case E_REG: FreeReg(e.r); break;
      case E_FIELD:
        FreeReg(std::max(e.r, e.key));
        FreeReg(std::min(e.r, e.key));
        break;
      case E_FIELDK: FreeReg(e.r); break;
      default: break;
    }
  }
  // Value of e in some register (a local's own register or a fresh temp).
  int AnyReg(Exp& e) {
    if (e.k == E_LOCAL || e.k == E_REG) return e.r;
    FreeExp(e);
    int r = NewReg();
    LoadTo(e, r);
    return r;
  }
  // Value of e in a fresh temporary at the top.
  int NewTemp(Exp& e) {
    if (e.k == E_REG && e.r == _fs->top - 1 && IsTemp(e.r)) return e.r;
    FreeExp(e);
    int r = NewReg();
    LoadTo(e, r);
    return r;
  }
  void ExpTo(Exp& e, int r) {
    FreeExp(e);
    LoadTo(e, r);
  }
  // Like ExpTo for a local's register: a value just computed into a
  // temporary is written straight into the local instead of being moved.
  void ExpToLocal(Exp& e, int r) {
    if (e.k == E_REG && IsTemp(e.r) && e.r == _fs->top - 1 && !_fs->proto->code.empty() &&
        _fs->lasttarget < Pc()) {
      SQInstruction& last = _fs->proto->code.back();
      if (last.a == e.r) {
        switch (last.op) {
          case OP_LOADK: case OP_LOADINT: case OP_LOADFLOAT: case OP_LOADBOOL: case OP_LOADROOT: case OP_MOVE:
          case OP_GETOUTER: case OP_GET: case OP_GETK: case OP_GETGLOBAL: case OP_ADD: case OP_SUB: case OP_MUL:
          case OP_DIV: case OP_MOD: case OP_ARITHI: case OP_BINK: case OP_CMPI: case OP_BAND: case OP_BOR:
          case OP_BXOR: case OP_SHL: case OP_SHR: case OP_USHR: case OP_EQ: case OP_NE: case OP_LT: case OP_LE:
          case OP_GT: case OP_GE: case OP_CMP3: case OP_NOT: case OP_NEG: case OP_BNOT: case OP_TYPEOF:
          case OP_CLONE: case OP_IN: case OP_INSTANCEOF:
            last.a = (uint8_t)r;
            FreeReg(e.r);
            e.k = E_LOCAL;
            e.r = r;
            return;
          default: break;
        }
      }
    }
    ExpTo(e, r);
  }

  // ------------------------------------------------------------ statements
  void Statement() {
    Guard g(this);
    int outerline = _stmtline;
    StatementBody();
    // the enclosing statement (if any) goes on with its own line
    _stmtline = outerline;
  }
  void StatementBody() {
    MarkLine();
    switch (_token) {
      case ';': Lex(); break;
      case TK_IF: IfStatement(); break;
      case TK_WHILE: WhileStatement(); break;
      case TK_DO: DoWhileStatement(); break;
      case TK_FOR: ForStatement(); break;
      case TK_FOREACH: ForEachStatement(); break;
      case TK_SWITCH: SwitchStatement(); break;
      case TK_LOCAL: LocalDeclStatement(); break;
      case TK_RETURN:
      case TK_YIELD: {
        bool isyield = _token == TK_YIELD;
        if (isyield) _fs->proto->generator = true;
        Lex();
        if (!IsEndOfStatement()) {
          Exp e = Comma();
          int r = AnyReg(e);
          if (!isyield && _fs->ntraps == 0 && e.k == E_REG && !_fs->proto->code.empty() &&
              _fs->lasttarget < Pc() && _fs->proto->code.back().op == OP_CALL && _fs->proto->code.back().a == r)
            _fs->proto->code.back().op = OP_TAILCALL;
          if (!isyield && _fs->ntraps > 0) Emit(OP_POPTRAP, 0, _fs->ntraps, 0, 0);
          Emit(isyield ? OP_YIELD : OP_RETURN, r, 1, 0, 0);
          FreeExp(e);
        } else {
          if (!isyield && _fs->ntraps > 0) Emit(OP_POPTRAP, 0, _fs->ntraps, 0, 0);
          if (isyield) {
            int r = NewReg();
            Emit(OP_YIELD, r, 0, 0, 0);
            FreeReg(r);
          } else {
            Emit(OP_RETURN, 0, 0, 0, 0);
          }
        }
        break;
      }
      case TK_BREAK: {
        if (_fs->loops.empty()) Error("'break' has to be in a loop block");
        LoopInfo& l = _fs->loops.back();
        if (_fs->ntraps > l.ntraps) Emit(OP_POPTRAP, 0, _fs->ntraps - l.ntraps, 0, 0);
        CloseFrom(l.nlocals);
        l.breaks.push_back(Emit(OP_JMP, 0, 0, 0, 0));
        Lex();
        break;
      }
      case TK_CONTINUE: {
        int li = (int)_fs->loops.size() - 1;
        while (li >= 0 && _fs->loops[(size_t)li].isswitch) li--;
        if (li < 0) Error("'continue' has to be in a loop block");
        LoopInfo& l = _fs->loops[(size_t)li];
        if (_fs->ntraps > l.ntraps) Emit(OP_POPTRAP, 0, _fs->ntraps - l.ntraps, 0, 0);
        CloseFrom(l.nlocals);
        l.continues.push_back(Emit(OP_JMP, 0, 0, 0, 0));
        Lex();
        break;
      }
      case TK_FUNCTION: FunctionStatement(); break;
      case TK_CLASS: ClassStatement(); break;
      case TK_ENUM: EnumStatement(); break;
      case '{': {
        BeginScope();
        Lex();
        Statements();
        Expect('}');
        EndScope();
        break;
      }
      case TK_TRY: TryCatchStatement(); break;
      case TK_THROW: {
        Lex();
        Exp e = Comma();
        int r = AnyReg(e);
        Emit(OP_THROW, r, 0, 0, 0);
        FreeExp(e);
        break;
      }
      case TK_CONST: ConstStatement(); break;
      default: {
        int top = _fs->top;
        Exp e = Comma(true);
        // a lone access still performs the lookup (and may raise)
        if (e.k == E_FIELD || e.k == E_FIELDK || e.k == E_GLOBAL) AnyReg(e);
        SetTop(top);
        break;
      }
    }
  }
  void Statements() {
    while (_token != '}' && _token != TK_DEFAULT && _token != TK_CASE) {
      if (_token == TK_EOF) Error("expression expected");
      Statement();
      if (_lex._prevtoken != '}' && _lex._prevtoken != ';') OptionalSemicolon();
    }
  }
  void BlockOrStatement(bool endsWithSemicolon = true) {
    BeginScope();
    Statement();
    if (endsWithSemicolon && _lex._prevtoken != '}' && _lex._prevtoken != ';') OptionalSemicolon();
    EndScope();
  }
  void CondJump(std::vector<int>& falsejumps) {
    // evaluates '(' cond ')' and jumps when false
    Exp e = Expression();
    Expect(')');
    int r = AnyReg(e);
    FreeExp(e);
    falsejumps.push_back(Emit(OP_JZ, r, 0, 0, 0));
  }
  // Condition: fuses a comparison into a conditional jump when possible.
  int CondExpr() {
    int top = _fs->top;
    Exp e = Comma();
    int j;
    SQInstruction* last = _fs->proto->code.empty() ? nullptr : &_fs->proto->code.back();
    if (e.k == E_REG && last && last->a == e.r && IsTemp(e.r) && _fs->lasttarget < Pc() && last->op == OP_CMPI &&
        last->d >= -128 && last->d <= 127) {
      int src = last->b;
      int imm = last->d;
      int cmp = last->c;
      last->op = OP_JCMPI;
      last->a = (uint8_t)src;
      last->b = (uint8_t)(int8_t)imm;
      last->c = (uint8_t)cmp;
      last->d = 0;
      j = Pc() - 1;
    } else if (e.k == E_REG && last && last->a == e.r && IsTemp(e.r) && _fs->lasttarget < Pc() &&
        (last->op == OP_LT || last->op == OP_LE || last->op == OP_GT || last->op == OP_GE ||
         last->op == OP_EQ || last->op == OP_NE)) {
      int cmp = last->op == OP_LT ? CMP_LT : last->op == OP_LE ? CMP_LE : last->op == OP_GT ? CMP_GT
              : last->op == OP_GE ? CMP_GE : last->op == OP_EQ ? CMP_EQ : CMP_NE;
      int ra = last->b, rb = last->c;
      last->op = OP_JCMP;
      last->a = (uint8_t)ra;
      last->b = (uint8_t)rb;
      last->c = (uint8_t)cmp;
      j = Pc() - 1;
    } else {
      int r = AnyReg(e);
      j = Emit(OP_JZ, r, 0, 0, 0);
    }
    SetTop(top);
    return j;
  }
  void IfStatement() {
    Lex();
    Expect('(');
    int jf = CondExpr();
    Expect(')');
    BlockOrStatement();
    // an 'else' may follow on the next line
    if (_token == TK_ELSE) {
      int jend = Emit(OP_JMP, 0, 0, 0, 0);
      PatchHere(jf);
      Lex();
      BlockOrStatement();
      PatchHere(jend);
    } else {
      PatchHere(jf);
    }
  }
  void BeginLoop(bool isswitch = false) {
    _fs->loops.push_back({{}, {}, (int)_fs->locals.size(), _fs->ntraps, isswitch});
  }
  void EndLoop(int continuetarget, int breaktarget) {
    LoopInfo l = std::move(_fs->loops.back());
    _fs->loops.pop_back();
    for (int j : l.breaks) PatchTo(j, breaktarget);
    if (l.isswitch) {
      // continue inside a switch belongs to the enclosing loop
      if (!l.continues.empty()) {
        if (_fs->loops.empty()) Error("'continue' has to be in a loop block");
        for (int j : l.continues) _fs->loops.back().continues.push_back(j);
      }
    } else {
      for (int j : l.continues) PatchTo(j, continuetarget);
    }
  }
  void WhileStatement() {
    Lex();
    Expect('(');
    int start = Pc();
    int jf = CondExpr();
    Expect(')');
    BeginLoop();
    BlockOrStatement();
    int j = Emit(OP_JMP, 0, 0, 0, 0);
    PatchTo(j, start);
    PatchHere(jf);
    EndLoop(start, Pc());
  }
  void DoWhileStatement() {
    Lex();
    int start = Pc();
    BeginLoop();
    // the body is followed directly by 'while': no ';' between them
    BlockOrStatement(false);
    Expect(TK_WHILE);
    int cont = Pc();
    Expect('(');
    Exp e = Comma();
    Expect(')');
    int r = AnyReg(e);
    FreeExp(e);
    int j = Emit(OP_JNZ, r, 0, 0, 0);
    PatchTo(j, start);
    EndLoop(cont, Pc());
  }
  // Cuts the code emitted since `from` (with its line records) out of the
  // function so that it can be placed elsewhere; jumps inside are relative.
  struct CodePiece {
    std::vector<SQInstruction> code;
    std::vector<SQLineInfo> lines;
    int from;
  };
  CodePiece CutCode(int from) {
    CodePiece c;
    c.from = from;
    c.code.assign(_fs->proto->code.begin() + from, _fs->proto->code.end());
    while (!_fs->proto->lines.empty() && _fs->proto->lines.back().op >= from) {
      c.lines.insert(c.lines.begin(), _fs->proto->lines.back());
      _fs->proto->lines.pop_back();
    }
    _fs->proto->code.resize((size_t)from);
    _fs->lastline = -1;
    return c;
  }
  void PasteCode(const CodePiece& c) {
    int at = Pc();
    for (auto& li : c.lines) _fs->proto->lines.push_back({li.op - c.from + at, li.line});
    for (auto& i : c.code) _fs->proto->code.push_back(i);
    _fs->lastline = -1;
  }
  // The condition is placed after the body and jumps back while true, so
  // each iteration runs one test and no unconditional jump.
  void ForStatement() {
    Lex();
    BeginScope();
    Expect('(');
    if (_token == TK_LOCAL) {
      LocalDeclStatement();
    } else if (_token != ';') {
      int top = _fs->top;
      CommaExpr();
      SetTop(top);
    }
    Expect(';');
    int condstart = Pc();
    int jf = -1;
    if (_token != ';') jf = CondExpr();
    Expect(';');
    CodePiece cond = CutCode(condstart);
    int incstart = Pc();
    if (_token != ')') {
      int top = _fs->top;
      CommaExpr();
      SetTop(top);
    }
    Expect(')');
    CodePiece inc = CutCode(incstart);
    int jcond = jf >= 0 ? Emit(OP_JMP, 0, 0, 0, 0) : -1;
    int bodystart = Pc();
    BeginLoop();
    BlockOrStatement();
    int cont = Pc();
    PasteCode(inc);
    if (jf >= 0) {
      int condat = Pc();
      PatchTo(jcond, condat);
      PasteCode(cond);
      // turn the final jump-when-false into jump-back-when-true
      int last = condat + (jf - condstart);
      SQInstruction& j = _fs->proto->code[(size_t)last];
      if (j.op == OP_JZ) j.op = OP_JNZ;
      else j.c = (uint8_t)(j.c ^ CMP_INVERT);
      PatchTo(last, bodystart);
    } else {
      int j = Emit(OP_JMP, 0, 0, 0, 0);
      PatchTo(j, bodystart);
    }
    EndLoop(cont, Pc());
    EndScope();
  }
  void ForEachStatement() {
    Lex();
    Expect('(');
    SQObjectPtr idxname, valname = Expect(TK_IDENTIFIER);
    if (_token == ',') {
      idxname = valname;
      Lex();
      valname = Expect(TK_IDENTIFIER);
    } else {
      idxname = sq_str(_ss, "@INDEX@");
    }
    Expect(TK_IN);
    BeginScope();
    int cont = _fs->top;
    Exp e = Expression();
    Expect(')');
    ExpTo(e, cont);
    SetTop(cont + 1);
    // the container stays in an unnamed local slot
    _fs->locals.push_back({SQObjectPtr(), cont, Pc(), false});
    DeclareLocal(idxname);
    DeclareLocal(valname);
    DeclareLocal(sq_str(_ss, "@ITERATOR@"));
    Emit(OP_LOADNULL, cont + 3, 1, 0, 0);
    int start = Pc();
    int jexit = Emit(OP_FOREACH, cont, 0, 0, 0);
    BeginLoop();
    BlockOrStatement();
    int j = Emit(OP_JMP, 0, 0, 0, 0);
    PatchTo(j, start);
    PatchHere(jexit);
    EndLoop(start, Pc());
    EndScope();
  }
  void SwitchStatement() {
    Lex();
    Expect('(');
    int sw = _fs->top;
    Exp e = Comma();
    Expect(')');
    Expect('{');
    ExpTo(e, sw);
    SetTop(sw + 1);
    // keep the value in an unnamed local
    _fs->locals.push_back({SQObjectPtr(), sw, Pc(), false});
    BeginLoop(true);
    int tonextcase = -1;
    std::vector<int> tobody;  // fallthrough jumps into the next body
    while (_token == TK_CASE) {
      if (tonextcase >= 0) PatchHere(tonextcase);
      Lex();
      int top = _fs->top;
      Exp c = Expression();
      int cr = AnyReg(c);
      int t = NewReg();
      Emit(OP_EQ, t, sw, cr, 0);
      tonextcase = Emit(OP_JZ, t, 0, 0, 0);
      SetTop(top);
      Expect(':');
      for (int j : tobody) PatchHere(j);
      tobody.clear();
      BeginScope();
      Statements();
      EndScope();
      tobody.push_back(Emit(OP_JMP, 0, 0, 0, 0));
    }
    if (tonextcase >= 0) PatchHere(tonextcase);
    for (int j : tobody) PatchHere(j);
    if (_token == TK_DEFAULT) {
      Lex();
      Expect(':');
      BeginScope();
      Statements();
      EndScope();
    }
    Expect('}');
    EndLoop(0, Pc());
    _fs->locals.pop_back();
    SetTop(sw);
  }
  void LocalDeclStatement() {
    Lex();
    if (_token == TK_FUNCTION) {
      Lex();
      SQObjectPtr name = Expect(TK_IDENTIFIER);
      Expect('(');
      int r = NewReg();
      CreateFunction(name, r, false);
      _fs->top = r;
      DeclareLocal(name);
      return;
    }
    for (;;) {
      SQObjectPtr name = Expect(TK_IDENTIFIER);
      if (_token == '=') {
        Lex();
        int slot = _fs->top;
        Exp e = Expression();
        ExpTo(e, slot);
        _fs->top = slot;
        DeclareLocal(name);
      } else {
        int r = NewReg();
        Emit(OP_LOADNULL, r, 1, 0, 0);
        _fs->top = r;
        DeclareLocal(name);
      }
      if (_token != ',') break;
      Lex();
    }
  }
  void FunctionStatement() {
    Lex();
    SQObjectPtr id = Expect(TK_IDENTIFIER);
    int top = _fs->top;
    int obj = NewReg();
    Emit(OP_MOVE, obj, 0, 0, 0);  // this
    int key = NewReg();
    Emit(OP_LOADK, key, 0, 0, Literal(id));
    while (_token == TK_DOUBLE_COLON) {
      Lex();
      Emit(OP_GET, obj, obj, key, 0);
      id = Expect(TK_IDENTIFIER);
      Emit(OP_LOADK, key, 0, 0, Literal(id));
    }
    Expect('(');
    int f = NewReg();
    CreateFunction(id, f, false);
    Emit(OP_NEWSLOT, f, obj, key, 0);
    SetTop(top);
  }
  void ClassStatement() {
    Lex();
    int top = _fs->top;
    Exp target = PrefixedNoCall();
    if (target.k == E_GLOBAL) {
      int obj = NewReg();
      Emit(OP_MOVE, obj, 0, 0, 0);
      int key = NewReg();
      Emit(OP_LOADK, key, 0, 0, target.key);
      target.k = E_FIELD;
      target.r = obj;
      target.key = key;
    } else if (target.k == E_FIELDK) {
      int key = NewReg();
      Emit(OP_LOADK, key, 0, 0, target.key);
      target.k = E_FIELD;
      target.key = key;
    } else if (target.k != E_FIELD) {
      Error("invalid class name");
    }
    int c = NewReg();
    ClassExp(c);
    Emit(OP_NEWSLOT, c, target.r, target.key, 0);
    SetTop(top);
  }
  // Parses a dotted name for class statements: a, a.b, ::a.
  Exp PrefixedNoCall() {
    Exp e;
    if (_token == TK_DOUBLE_COLON) {
      Lex();
      int r = NewReg();
      Emit(OP_LOADROOT, r, 0, 0, 0);
      e.k = E_FIELDK;
      e.r = r;
      e.key = Literal(Expect(TK_IDENTIFIER));
    } else {
      SQObjectPtr id = Expect(TK_IDENTIFIER);
      e = ResolveName(id);
    }
    while (_token == '.') {
      Lex();
      int r = AnyReg(e);
      e.k = E_FIELDK;
      e.r = r;
      e.key = Literal(Expect(TK_IDENTIFIER));
    }
    return e;
  }
  SQObjectPtr ExpectScalar() {
    SQObjectPtr v;
    switch (_token) {
      case TK_INTEGER: v = SQObjectPtr(_lex._nvalue); break;
      case TK_FLOAT: v = SQObjectPtr(_lex._fvalue); break;
      case TK_STRING_LITERAL: v = sq_str16(_ss, _lex._svalue); break;
      case TK_TRUE: case TK_FALSE: v = SQObjectPtr(_token == TK_TRUE); break;
      case '-':
        Lex();
        switch (_token) {
          case TK_INTEGER: v = SQObjectPtr((SQInteger)(0u - (uint32_t)_lex._nvalue)); break;
          case TK_FLOAT: v = SQObjectPtr(-_lex._fvalue); break;
          default: Error("scalar expected : integer,float");
        }
        break;
      default: Error("scalar expected : integer,float or string");
    }
    Lex();
    return v;
  }
  SQTable* Consts() { return _table(_ss->_consts); }
  void EnumStatement() {
    Lex();
    SQObjectPtr id = Expect(TK_IDENTIFIER);
    Expect('{');
    SQObjectPtr table(sq_newtable_obj(_ss));
    SQInteger n = 0;
    while (_token != '}') {
      SQObjectPtr key = Expect(TK_IDENTIFIER);
      SQObjectPtr val;
      if (_token == '=') {
        Lex();
        val = ExpectScalar();
      } else {
        val = SQObjectPtr(n++);
      }
      _table(table)->NewSlot(key, val);
      if (_token == ',') Lex();
    }
    Consts()->NewSlot(id, table);
    Lex();
  }
  void ConstStatement() {
    Lex();
    SQObjectPtr id = Expect(TK_IDENTIFIER);
    Expect('=');
    SQObjectPtr val = ExpectScalar();
    OptionalSemicolon();
    Consts()->NewSlot(id, val);
  }
  void TryCatchStatement() {
    Lex();
    int trapreg = _fs->top;
    int pt = Emit(OP_PUSHTRAP, trapreg, 0, 0, 0);
    _fs->ntraps++;
    // the body is followed directly by 'catch': no ';' between them
    BlockOrStatement(false);
    _fs->ntraps--;
    Emit(OP_POPTRAP, 0, 1, 0, 0);
    int jend = Emit(OP_JMP, 0, 0, 0, 0);
    PatchHere(pt);
    Expect(TK_CATCH);
    Expect('(');
    SQObjectPtr exid = Expect(TK_IDENTIFIER);
    Expect(')');
    BeginScope();
    int r = DeclareLocal(exid);
    (void)r;
    BlockOrStatement();
    EndScope();
    PatchHere(jend);
  }

  // ------------------------------------------------------------ functions
  // Parses the parameter list (after '(') and body; leaves the closure in r.
  void CreateFunction(const SQObjectPtr& name, int r, bool lambda) {
    // parameters and default values (evaluated in the enclosing function)
    std::vector<SQObjectPtr> params;
    bool varparams = false;
    int ndefaults = 0;
    int defbase = _fs->top;
    while (_token != ')') {
      if (_token == TK_VARPARAMS) {
        if (ndefaults > 0) Error("function with default parameters cannot have variable number of parameters");
        varparams = true;
        Lex();
        if (_token != ')') Error("expected ')'");
        break;
      }
      SQObjectPtr pname = Expect(TK_IDENTIFIER);
      params.push_back(pname);
      if (_token == '=') {
        Lex();
        int slot = _fs->top;
        Exp e = Expression();
        ExpTo(e, slot);
        SetTop(slot + 1);
        ndefaults++;
      } else if (ndefaults > 0) {
        Error("expected '='");
      }
      if (_token == ',') {
        Lex();
      } else if (_token != ')') {
        Error("expected ')' or ','");
      }
    }
    Expect(')');
    FuncState fs;
    FuncState* parent = _fs;
    OpenFunc(fs, parent);
    fs.proto->name = name;
    AddParam(sq_str(_ss, "this"));
    for (auto& p : params) AddParam(p);
    fs.proto->nparams = (int)params.size() + 1;
    fs.proto->ndefaults = ndefaults;
    if (varparams) {
      fs.proto->varparams = true;
      AddParam(sq_str(_ss, "vargv"));
    }
    if (lambda) {
      Exp e = Expression();
      int er = AnyReg(e);
      Emit(OP_RETURN, er, 1, 0, 0);
    } else {
      Expect('{');
      BeginScope();
      Statements();
      EndScope();
      Expect('}');
    }
    CloseFunc(0);
    int idx = (int)parent->proto->functions.size();
    parent->proto->functions.push_back(fs.protoref);
    Emit(OP_CLOSURE, r, defbase, 0, idx);
    SetTop(r + 1);
  }
  void ClassExp(int target) {
    int top = _fs->top;
    int basereg = 255, attrreg = 255;
    if (_token == TK_EXTENDS) {
      Lex();
      Exp b = Expression();
      basereg = NewTemp(b);
    }
    if (_token == TK_ATTR_OPEN) {
      Lex();
      attrreg = NewReg();
      ParseTable(attrreg, TK_ATTR_CLOSE);
    }
    Expect('{');
    Emit(OP_NEWCLASS, target, basereg, attrreg, 0);
    SetTop(std::max(top, target + 1));
    while (_token != '}') {
      int mtop = _fs->top;
      int attrs = -1;
      if (_token == TK_ATTR_OPEN) {
        Lex();
        attrs = NewReg();
        ParseTable(attrs, TK_ATTR_CLOSE);
      }
      bool isstatic = false;
      if (_token == TK_STATIC) {
        isstatic = true;
        Lex();
      }
      int key = NewReg();
      int val = NewReg();
      ParseSlot(key, val, true, true);
      int flags = (isstatic ? 1 : 0) | (attrs >= 0 ? 2 : 0) | ((attrs >= 0 ? attrs : 0) << 8);
      Emit(OP_NEWMEMBER, val, target, key, flags);
      // members may end with ';' but, unlike table slots, not with ','
      if (_token == ';') Lex();
      SetTop(mtop);
    }
    Lex();
    SetTop(std::max(top, target + 1));
  }
  // One slot of a class or table body: 'function name(...)' (and, in a
  // class, 'constructor(...)'), '[expr] = value', '"name": value' (where
  // quoted keys are allowed) or 'name = value'. The key is left in register
  // key, the value in register val, and the top just above val.
  void ParseSlot(int key, int val, bool inClass, bool quotedKeys) {
    if (_token == TK_FUNCTION || (inClass && _token == TK_CONSTRUCTOR)) {
      bool ctor = _token == TK_CONSTRUCTOR;
      Lex();
      SQObjectPtr id = ctor ? sq_str(_ss, "constructor") : Expect(TK_IDENTIFIER);
      Emit(OP_LOADK, key, 0, 0, Literal(id));
      Expect('(');
      CreateFunction(id, val, false);
    } else {
      SQInteger separator = '=';
      if (_token == '[') {
        Lex();
        Exp k = Comma();
        ExpTo(k, key);
        _fs->top = val + 1;
        Expect(']');
      } else if (quotedKeys && _token == TK_STRING_LITERAL) {
        SQObjectPtr id = Expect(TK_STRING_LITERAL);
        Emit(OP_LOADK, key, 0, 0, Literal(id));
        separator = ':';
      } else {
        SQObjectPtr id = Expect(TK_IDENTIFIER);
        Emit(OP_LOADK, key, 0, 0, Literal(id));
      }
      Expect(separator);
      Exp v = Expression();
      ExpTo(v, val);
    }
    _fs->top = val + 1;
  }
  // Table body up to 'close' into register t (already allocated).
  void ParseTable(int t, SQInteger close) {
    Emit(OP_NEWTABLE, t, 0, 0, 0);
    while (_token != close) {
      int top = _fs->top;
      int key = NewReg();
      int val = NewReg();
      ParseSlot(key, val, false, close == '}');
      Emit(OP_NEWSLOT, val, t, key, 0);
      if (_token == ',') Lex();
      else if (_token == ';' && close == '}') Lex();
      SetTop(top);
    }
    Lex();
  }

  // ------------------------------------------------------------ expressions
  // 'a, b, c': every operand is evaluated in order, the value is the last.
  // The operands before the last are computed for their effects only (a
  // lone field access still performs its lookup and may raise).
  Exp Comma(bool discard = false) {
    int top = _fs->top;
    Exp e = Expression(discard);
    while (_token == ',') {
      if (e.k == E_FIELD || e.k == E_FIELDK || e.k == E_GLOBAL || e.k == E_OUTER) AnyReg(e);
      SetTop(top);
      Lex();
      e = Expression(discard);
    }
    return e;
  }
  void CommaExpr() {
    for (;;) {
      int top = _fs->top;
      Expression(true);
      SetTop(top);
      if (_token != ',') break;
      Lex();
    }
  }
  bool IsAssignable(const Exp& e) {
    return e.k == E_LOCAL || e.k == E_OUTER || e.k == E_FIELD || e.k == E_FIELDK || e.k == E_GLOBAL;
  }
  // Stores the value in register v into the variable e.
  void StoreTo(const Exp& e, int v) {
    switch (e.k) {
      case E_LOCAL:
        if (e.r != v) Emit(OP_MOVE, e.r, v, 0, 0);
        break;
      case E_OUTER: Emit(OP_SETOUTER, v, 0, 0, e.r); break;
      case E_FIELD: Emit(OP_SET, v, e.r, e.key, 0); break;
      case E_FIELDK: Emit(OP_SETK, v, e.r, 0, e.key); break;
      case E_GLOBAL: Emit(OP_SETGLOBAL, v, 0, 0, e.key); break;
      default: Error("can't assign expression");
    }
  }
  // Moves a result computed in register v down to the lowest temp used by the
  // target so that temporaries stay stacked.
  Exp Collapse(const Exp& target, int v, bool discard) {
    Exp r;
    int low = -1;
    if (target.k == E_FIELD) {
      low = std::min(target.r, target.key);
      if (!IsTemp(low)) low = std::max(target.r, target.key);
      if (!IsTemp(low)) low = -1;
    } else if (target.k == E_FIELDK && IsTemp(target.r)) {
      low = target.r;
    }
    if (low >= 0 && low < v) {
      if (!discard) Emit(OP_MOVE, low, v, 0, 0);
      SetTop(low + 1);
      r.k = E_REG;
      r.r = low;
      return r;
    }
    r.k = E_REG;
    r.r = v;
    return r;
  }
  Exp Expression(bool discard = false) {
    Guard g(this);
    Exp e = LogicalOr();
    switch (_token) {
      case '=':
      case TK_NEWSLOT:
      case TK_PLUSEQ:
      case TK_MINUSEQ:
      case TK_MULEQ:
      case TK_DIVEQ:
      case TK_MODEQ: {
        SQInteger op = _token;
        if (!IsAssignable(e)) Error("can't assign expression");
        if (op == TK_NEWSLOT && (e.k == E_LOCAL || e.k == E_OUTER)) Error("can't 'create' a local slot");
        Lex();
        if (op == '=') {
          Exp v = Expression();
          if (e.k == E_LOCAL) {
            ExpToLocal(v, e.r);
            return e;
          }
          int vr = AnyReg(v);
          StoreTo(e, vr);
          return Collapse(e, vr, discard);
        }
        if (op == TK_NEWSLOT) {
          int obj, key;
          if (e.k == E_GLOBAL) {
            obj = NewReg();
            Emit(OP_MOVE, obj, 0, 0, 0);
            key = NewReg();
            Emit(OP_LOADK, key, 0, 0, e.key);
            e.k = E_FIELD;
            e.r = obj;
            e.key = key;
          } else if (e.k == E_FIELDK) {
            key = NewReg();
            Emit(OP_LOADK, key, 0, 0, e.key);
            e.k = E_FIELD;
            e.key = key;
          }
          Exp v = Expression();
          int vr = AnyReg(v);
          Emit(OP_NEWSLOT, vr, e.r, e.key, 0);
          return Collapse(e, vr, discard);
        }
        int aop = op == TK_PLUSEQ ? OP_ADD : op == TK_MINUSEQ ? OP_SUB : op == TK_MULEQ ? OP_MUL
                : op == TK_DIVEQ ? OP_DIV : OP_MOD;
        if (e.k == E_LOCAL) {
          Exp v = Expression();
          int vr = AnyReg(v);
          Emit(aop, e.r, e.r, vr, 0);
          FreeExp(v);
          return e;
        }
        int cur = NewReg();
        Exp tmp = e;
        LoadTo(tmp, cur);
        Exp v = Expression();
        int vr = AnyReg(v);
        Emit(aop, cur, cur, vr, 0);
        FreeExp(v);
        StoreTo(e, cur);
        return Collapse(e, cur, discard);
      }
      case '?': {
        Lex();
        int r = NewTemp(e);
        int jf = Emit(OP_JZ, r, 0, 0, 0);
        FreeReg(r);
        Exp a = Expression();
        ExpTo(a, r);
        SetTop(r + 1);
        int jend = Emit(OP_JMP, 0, 0, 0, 0);
        Expect(':');
        PatchHere(jf);
        SetTop(r);
        Exp b = Expression();
        ExpTo(b, r);
        SetTop(r + 1);
        PatchHere(jend);
        Exp res;
        res.k = E_REG;
        res.r = r;
        return res;
      }
    }
    return e;
  }
  using SubExp = Exp (Compiler::*)();
  Exp Binary(Exp l, int op, SubExp next) {
    int lr = AnyReg(l);
    Lex();
    Exp r = (this->*next)();
    if (r.k == E_INT && (op == OP_ADD || op == OP_SUB) && r.i > -(1 << 30) && r.i < (1 << 30)) {
      FreeExp(l);
      int d = NewReg();
      Emit(OP_ARITHI, d, lr, op == OP_ADD ? '+' : '-', (int32_t)r.i);
      Exp e;
      e.k = E_REG;
      e.r = d;
      return e;
    }
    if (r.k == E_INT && op != OP_IN && op != OP_INSTANCEOF && op != OP_CMP3 && op != OP_ADD && op != OP_SUB) {
      FreeExp(l);
      int d = NewReg();
      int cmp = op == OP_LT ? CMP_LT : op == OP_LE ? CMP_LE : op == OP_GT ? CMP_GT : op == OP_GE ? CMP_GE
              : op == OP_EQ ? CMP_EQ : op == OP_NE ? CMP_NE : -1;
      if (cmp >= 0) Emit(OP_CMPI, d, lr, cmp, (int32_t)r.i);
      else Emit(OP_BINK, d, lr, op, (int32_t)r.i);
      Exp e;
      e.k = E_REG;
      e.r = d;
      return e;
    }
    int rr = AnyReg(r);
    FreeExp(r);
    FreeExp(l);
    int d = NewReg();
    Emit(op, d, lr, rr, 0);
    Exp e;
    e.k = E_REG;
    e.r = d;
    return e;
  }
  Exp LogicalOr() {
    Exp e = LogicalAnd();
    while (_token == TK_OR) {
      Lex();
      int r = NewTemp(e);
      int j = Emit(OP_JNZ, r, 0, 0, 0);
      FreeReg(r);
      Exp b = LogicalOr();
      ExpTo(b, r);
      SetTop(r + 1);
      PatchHere(j);
      e.k = E_REG;
      e.r = r;
    }
    return e;
  }
  Exp LogicalAnd() {
    Exp e = BitwiseOr();
    for (;;) {
      switch (_token) {
        case TK_AND: {
          Lex();
          int r = NewTemp(e);
          int j = Emit(OP_JZ, r, 0, 0, 0);
          FreeReg(r);
          Exp b = LogicalAnd();
          ExpTo(b, r);
          SetTop(r + 1);
          PatchHere(j);
          e.k = E_REG;
          e.r = r;
          break;
        }
        case TK_IN: e = Binary(e, OP_IN, &Compiler::BitwiseOr); break;
        case TK_INSTANCEOF: e = Binary(e, OP_INSTANCEOF, &Compiler::BitwiseOr); break;
        default: return e;
      }
    }
  }
  Exp BitwiseOr() {
    Exp e = BitwiseXor();
    while (_token == '|') e = Binary(e, OP_BOR, &Compiler::BitwiseXor);
    return e;
  }
  Exp BitwiseXor() {
    Exp e = BitwiseAnd();
    while (_token == '^') e = Binary(e, OP_BXOR, &Compiler::BitwiseAnd);
    return e;
  }
  Exp BitwiseAnd() {
    Exp e = EqExp();
    while (_token == '&') e = Binary(e, OP_BAND, &Compiler::EqExp);
    return e;
  }
  Exp EqExp() {
    Exp e = CompExp();
    for (;;) {
      switch (_token) {
        case TK_EQ: e = Binary(e, OP_EQ, &Compiler::CompExp); break;
        case TK_NE: e = Binary(e, OP_NE, &Compiler::CompExp); break;
        case TK_3WAYSCMP: e = Binary(e, OP_CMP3, &Compiler::CompExp); break;
        default: return e;
      }
    }
  }
  Exp CompExp() {
    Exp e = ShiftExp();
    for (;;) {
      switch (_token) {
        case '<': e = Binary(e, OP_LT, &Compiler::ShiftExp); break;
        case '>': e = Binary(e, OP_GT, &Compiler::ShiftExp); break;
        case TK_LE: e = Binary(e, OP_LE, &Compiler::ShiftExp); break;
        case TK_GE: e = Binary(e, OP_GE, &Compiler::ShiftExp); break;
        default: return e;
      }
    }
  }
  Exp ShiftExp() {
    Exp e = PlusExp();
    for (;;) {
      switch (_token) {
        case TK_SHIFTL: e = Binary(e, OP_SHL, &Compiler::PlusExp); break;
        case TK_SHIFTR: e = Binary(e, OP_SHR, &Compiler::PlusExp); break;
        case TK_USHIFTR: e = Binary(e, OP_USHR, &Compiler::PlusExp); break;
        default: return e;
      }
    }
  }
  Exp PlusExp() {
    Exp e = MultExp();
    for (;;) {
      switch (_token) {
        case '+': e = Binary(e, OP_ADD, &Compiler::MultExp); break;
        case '-': e = Binary(e, OP_SUB, &Compiler::MultExp); break;
        default: return e;
      }
    }
  }
  Exp MultExp() {
    Exp e = PrefixedExp();
    for (;;) {
      switch (_token) {
        case '*': e = Binary(e, OP_MUL, &Compiler::PrefixedExp); break;
        case '/': e = Binary(e, OP_DIV, &Compiler::PrefixedExp); break;
        case '%': e = Binary(e, OP_MOD, &Compiler::PrefixedExp); break;
        default: return e;
      }
    }
  }
  Exp Unary(int op) {
    Lex();
    Exp v = PrefixedExp();
    int r = AnyReg(v);
    FreeExp(v);
    int d = NewReg();
    Emit(op, d, r, 0, 0);
    Exp e;
    e.k = E_REG;
    e.r = d;
    return e;
  }
  Exp IncDec(Exp& e, int delta, bool prefix) {
    if (!IsAssignable(e)) Error("can't '++' or '--' an expression");
    if (e.k == E_LOCAL) {
      if (prefix) {
        Emit(OP_ARITHI, e.r, e.r, '+', delta);
        return e;
      }
      int d = NewReg();
      Emit(OP_MOVE, d, e.r, 0, 0);
      Emit(OP_ARITHI, e.r, e.r, '+', delta);
      Exp r;
      r.k = E_REG;
      r.r = d;
      return r;
    }
    int cur = NewReg();
    Exp tmp = e;
    LoadTo(tmp, cur);
    if (prefix) {
      Emit(OP_ARITHI, cur, cur, '+', delta);
      StoreTo(e, cur);
      return Collapse(e, cur, false);
    }
    int nv = NewReg();
    Emit(OP_ARITHI, nv, cur, '+', delta);
    StoreTo(e, nv);
    FreeReg(nv);
    return Collapse(e, cur, false);
  }
  Exp PrefixedExp() {
    Guard g(this);
    switch (_token) {
      case '-': {
        Lex();
        if (_token == TK_INTEGER || _token == TK_FLOAT) {
          // fold negative literals (so -2147483648 stays an integer)
          Exp e = Factor();
          if (e.k == E_INT) {
            e.i = (SQInteger)(0u - (uint32_t)e.i);
            return PostfixOps(e);
          }
          if (e.k == E_FLOAT) {
            e.f = -e.f;
            return PostfixOps(e);
          }
          int r = AnyReg(e);
          FreeExp(e);
          int d = NewReg();
          Emit(OP_NEG, d, r, 0, 0);
          Exp res;
          res.k = E_REG;
          res.r = d;
          return res;
        }
        Exp v = PrefixedExp();
        int r = AnyReg(v);
        FreeExp(v);
        int d = NewReg();
        Emit(OP_NEG, d, r, 0, 0);
        Exp e;
        e.k = E_REG;
        e.r = d;
        return e;
      }
      case '!': return Unary(OP_NOT);
      case '~': return Unary(OP_BNOT);
      case TK_TYPEOF: return Unary(OP_TYPEOF);
      case TK_CLONE: return Unary(OP_CLONE);
      case TK_RESUME: return Unary(OP_RESUME);
      case TK_PLUSPLUS:
      case TK_MINUSMINUS: {
        int delta = _token == TK_PLUSPLUS ? 1 : -1;
        Lex();
        Exp v = PrefixedExp();
        return IncDec(v, delta, true);
      }
      case TK_DELETE: {
        Lex();
        Exp v = PrefixedExp();
        if (v.k == E_GLOBAL) {
          int obj = NewReg();
          Emit(OP_MOVE, obj, 0, 0, 0);
          int key = NewReg();
          Emit(OP_LOADK, key, 0, 0, v.key);
          v.k = E_FIELD;
          v.r = obj;
          v.key = key;
        } else if (v.k == E_FIELDK) {
          int key = NewReg();
          Emit(OP_LOADK, key, 0, 0, v.key);
          v.k = E_FIELD;
          v.key = key;
        }
        if (v.k == E_LOCAL || v.k == E_OUTER) Error("cannot delete an (outer) local");
        if (v.k != E_FIELD) Error("can't delete an expression");
        FreeExp(v);
        int d = NewReg();
        Emit(OP_DELETE, d, v.r, v.key, 0);
        Exp e;
        e.k = E_REG;
        e.r = d;
        return e;
      }
    }
    Exp e = Factor();
    return PostfixOps(e);
  }
  Exp PostfixOps(Exp e) {
    for (;;) {
      switch (_token) {
        case '.': {
          Lex();
          int r = AnyReg(e);
          bool isbase = e.isbase;
          e = Exp();
          e.k = E_FIELDK;
          e.r = r;
          e.key = Literal(Expect(TK_IDENTIFIER));
          e.isbase = isbase;
          break;
        }
        case '[': {
          if (_lex._prevtoken == '\n') Error("cannot brake deref/or comma needed after [exp]=exp slot declaration");
          Lex();
          int r = AnyReg(e);
          bool isbase = e.isbase;
          Exp k = Expression();
          Expect(']');
          int kr = AnyReg(k);
          e = Exp();
          e.k = E_FIELD;
          e.r = r;
          e.key = kr;
          e.isbase = isbase;
          break;
        }
        case TK_PLUSPLUS:
        case TK_MINUSMINUS: {
          if (IsEndOfStatement()) return e;
          int delta = _token == TK_PLUSPLUS ? 1 : -1;
          Lex();
          return IncDec(e, delta, false);
        }
        case '(': {
          e = Call(e);
          break;
        }
        default: return e;
      }
    }
  }
  Exp Call(Exp& f) {
    Lex();
    int fr, tr;
    if ((f.k == E_FIELDK || f.k == E_FIELD) && !f.isbase) {
      if (f.k == E_FIELDK && IsTemp(f.r) && f.r == _fs->top - 1) {
        fr = f.r;
        tr = NewReg();
        Emit(OP_MOVE, tr, fr, 0, 0);
        Emit(OP_GETK, fr, tr, 0, f.key);
      } else if (f.k == E_FIELD && IsTemp(f.r) && IsTemp(f.key) && f.key == _fs->top - 1 && f.r == f.key - 1) {
        fr = f.r;
        tr = f.key;
        int tmp = NewReg();
        Emit(OP_MOVE, tmp, fr, 0, 0);
        Emit(OP_GET, fr, fr, f.key, 0);
        Emit(OP_MOVE, tr, tmp, 0, 0);
        FreeReg(tmp);
      } else {
        int obj = f.r;
        FreeExp(f);
        fr = NewReg();
        tr = NewReg();
        if (f.k == E_FIELDK) Emit(OP_GETK, fr, obj, 0, f.key);
        else Emit(OP_GET, fr, obj, f.key, 0);
        Emit(OP_MOVE, tr, obj, 0, 0);
      }
    } else {
      fr = NewTemp(f);
      tr = NewReg();
      Emit(OP_MOVE, tr, 0, 0, 0);
    }
    int nargs = 1;
    while (_token != ')') {
      int ar = _fs->top;
      Exp a = Expression();
      ExpTo(a, ar);
      SetTop(ar + 1);
      nargs++;
      if (_token == ',') {
        Lex();
        if (_token == ')') Error("expression expected, found ')'");
      } else if (_token == TK_EOF) {
        Error("expression expected");
      } else if (_token != ')') {
        Error("expected ')'");
      }
    }
    Lex();
    if (nargs > 200) Error("too many arguments");
    Emit(OP_CALL, fr, nargs, 0, 0);
    SetTop(fr + 1);
    Exp e;
    e.k = E_REG;
    e.r = fr;
    return e;
  }
  // Finds an enclosing function's local or outer; returns outer index or -1.
  int FindOuter(FuncState* fs, const SQObjectPtr& name) {
    SQFunctionProto* p = fs->proto;
    for (size_t i = 0; i < p->outers.size(); i++)
      if (sq_rawequal(p->outers[i].name, name)) return (int)i;
    FuncState* parent = fs->parent;
    if (!parent) return -1;
    for (int i = (int)parent->locals.size() - 1; i >= 0; i--) {
      LocalVar& lv = parent->locals[(size_t)i];
      if (sq_rawequal(lv.name, name)) {
        lv.captured = true;
        p->outers.push_back({name, false, lv.reg});
        return (int)p->outers.size() - 1;
      }
    }
    int pi = FindOuter(parent, name);
    if (pi < 0) return -1;
    p->outers.push_back({name, true, pi});
    return (int)p->outers.size() - 1;
  }
  Exp ResolveName(const SQObjectPtr& id) {
    Exp e;
    for (int i = (int)_fs->locals.size() - 1; i >= 0; i--) {
      if (sq_rawequal(_fs->locals[(size_t)i].name, id)) {
        e.k = E_LOCAL;
        e.r = _fs->locals[(size_t)i].reg;
        return e;
      }
    }
    int oi = FindOuter(_fs, id);
    if (oi >= 0) {
      e.k = E_OUTER;
      e.r = oi;
      return e;
    }
    SQObjectPtr cv;
    if (Consts()->Get(id, cv)) {
      if (sqtype(cv) == OT_TABLE) {
        // an enum is no value of its own: only its members are
        Expect('.');
        SQObjectPtr member = Expect(TK_IDENTIFIER);
        SQObjectPtr mv;
        if (!_table(cv)->Get(member, mv)) Error("invalid enum [no '%s' field in '%s']", sq_toutf8(_string(member)->_val).c_str(), sq_toutf8(_string(id)->_val).c_str());
        cv = mv;
      }
      return ConstExp(cv);
    }
    e.k = E_GLOBAL;
    e.key = Literal(id);
    return e;
  }
  Exp ConstExp(const SQObjectPtr& v) {
    Exp e;
    switch (sqtype(v)) {
      case OT_INTEGER: e.k = E_INT; e.i = _integer(v); break;
      case OT_FLOAT: e.k = E_FLOAT; e.f = _float(v); break;
      case OT_BOOL: e.k = E_BOOL; e.i = _integer(v); break;
      case OT_NULL: e.k = E_NULL; break;
      default: e.k = E_K; e.key = Literal(v); break;
    }
    return e;
  }
  Exp Factor() {
    Exp e;
    switch (_token) {
      case TK_STRING_LITERAL:
        e.k = E_K;
        e.key = LiteralStr(_lex._svalue);
        Lex();
        return e;
      case TK_BASE: {
        Lex();
        int r = NewReg();
        Emit(OP_GETBASE, r, 0, 0, 0);
        e.k = E_REG;
        e.r = r;
        e.isbase = true;
        return e;
      }
      case TK_IDENTIFIER:
      case TK_CONSTRUCTOR:
      case TK_THIS: {
        SQObjectPtr id = _token == TK_THIS ? sq_str(_ss, "this")
                         : _token == TK_CONSTRUCTOR ? sq_str(_ss, "constructor") : sq_str16(_ss, _lex._svalue);
        Lex();
        return ResolveName(id);
      }
      case TK_DOUBLE_COLON: {
        Lex();
        int r = NewReg();
        Emit(OP_LOADROOT, r, 0, 0, 0);
        e.k = E_FIELDK;
        e.r = r;
        e.key = Literal(Expect(TK_IDENTIFIER));
        return e;
      }
      case TK_NULL: e.k = E_NULL; Lex(); return e;
      case TK_INTEGER: e.k = E_INT; e.i = _lex._nvalue; Lex(); return e;
      case TK_FLOAT: e.k = E_FLOAT; e.f = _lex._fvalue; Lex(); return e;
      case TK_TRUE: case TK_FALSE: e.k = E_BOOL; e.i = _token == TK_TRUE; Lex(); return e;
      case '[': {
        Lex();
        int r = NewReg();
        int at = Emit(OP_NEWARRAY, r, 0, 0, 0);
        int n = 0;
        while (_token != ']') {
          Exp v = Expression();
          int vr = AnyReg(v);
          Emit(OP_APPEND, r, vr, 0, 0);
          FreeExp(v);
          n++;
          if (_token == ',') Lex();
        }
        _fs->proto->code[(size_t)at].d = n;
        Lex();
        e.k = E_REG;
        e.r = r;
        return e;
      }
      case '{': {
        Lex();
        int r = NewReg();
        ParseTable(r, '}');
        e.k = E_REG;
        e.r = r;
        return e;
      }
      case TK_FUNCTION: {
        Lex();
        Expect('(');
        int r = NewReg();
        CreateFunction(SQObjectPtr(), r, false);
        e.k = E_REG;
        e.r = r;
        return e;
      }
      case '@': {
        Lex();
        Expect('(');
        int r = NewReg();
        CreateFunction(SQObjectPtr(), r, true);
        e.k = E_REG;
        e.r = r;
        return e;
      }
      case TK_CLASS: {
        Lex();
        int r = NewReg();
        ClassExp(r);
        e.k = E_REG;
        e.r = r;
        return e;
      }
      case '(': {
        Lex();
        Exp v = Comma();
        Expect(')');
        return v;
      }
      case '-': case '!': case '~': case TK_TYPEOF: case TK_CLONE: case TK_RESUME:
      case TK_PLUSPLUS: case TK_MINUSMINUS: case TK_DELETE:
        return PrefixedExp();
      default: Error("expression expected");
    }
  }
};

}  // namespace

bool sq_compile_src(SQVM* v, const SQChar* src, SQInteger len, const SQChar* sourcename, bool raiseerror,
                    SQObjectPtr& out) {
  Compiler c(v, src, len, sourcename);
  sqstring err;
  SQInteger line = 0, col = 0;
  SQObjectPtr proto;
  if (c.Compile(proto, err, line, col)) {
    SQClosure* cl = new SQClosure(v->_ss, _funcproto(proto));
    out = SQObjectPtr(cl);
    return true;
  }
  if (raiseerror && v->_ss->_compilererrorhandler)
    v->_ss->_compilererrorhandler(v, err.c_str(), sourcename, line, col);
  v->_lasterror = sq_str16(v->_ss, err);
  return false;
}
