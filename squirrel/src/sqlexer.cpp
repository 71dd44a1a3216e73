#include "sqlexer.h"

#include <cmath>
#include <cstdlib>

namespace {
struct Keyword {
  const char* name;
  SQInteger tok;
};
const Keyword kKeywords[] = {
    {"while", TK_WHILE}, {"do", TK_DO}, {"if", TK_IF}, {"else", TK_ELSE}, {"break", TK_BREAK},
    {"continue", TK_CONTINUE}, {"return", TK_RETURN}, {"null", TK_NULL}, {"function", TK_FUNCTION},
    {"local", TK_LOCAL}, {"for", TK_FOR}, {"foreach", TK_FOREACH}, {"in", TK_IN},
    {"typeof", TK_TYPEOF}, {"base", TK_BASE}, {"delete", TK_DELETE}, {"try", TK_TRY},
    {"catch", TK_CATCH}, {"throw", TK_THROW}, {"clone", TK_CLONE}, {"yield", TK_YIELD},
    {"resume", TK_RESUME}, {"switch", TK_SWITCH}, {"case", TK_CASE}, {"default", TK_DEFAULT},
    {"this", TK_THIS}, {"class", TK_CLASS}, {"extends", TK_EXTENDS},
    {"constructor", TK_CONSTRUCTOR}, {"instanceof", TK_INSTANCEOF}, {"true", TK_TRUE},
    {"false", TK_FALSE}, {"static", TK_STATIC}, {"enum", TK_ENUM}, {"const", TK_CONST}};

bool isalpha_(SQInteger c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c > 127; }
bool isdigit_(SQInteger c) { return c >= '0' && c <= '9'; }
bool isxdigit_(SQInteger c) {
  return isdigit_(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
SQInteger hexval(SQInteger c) {
  if (isdigit_(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}
}  // namespace

const char* sq_tok2str(SQInteger tok) {
  for (auto& k : kKeywords)
    if (k.tok == tok) return k.name;
  switch (tok) {
    case TK_IDENTIFIER: return "IDENTIFIER";
    case TK_STRING_LITERAL: return "STRING_LITERAL";
    case TK_INTEGER: return "INTEGER";
    case TK_FLOAT: return "FLOAT";
    case TK_EQ: return "==";
    case TK_NE: return "!=";
    case TK_LE: return "<=";
    case TK_GE: return ">=";
    case TK_AND: return "&&";
    case TK_OR: return "||";
    case TK_NEWSLOT: return "<-";
    case TK_PLUSEQ: return "+=";
    case TK_MINUSEQ: return "-=";
    case TK_MULEQ: return "*=";
    case TK_DIVEQ: return "/=";
    case TK_MODEQ: return "%=";
    case TK_SHIFTL: return "<<";
    case TK_SHIFTR: return ">>";
    case TK_USHIFTR: return ">>>";
    case TK_DOUBLE_COLON: return "::";
    case TK_PLUSPLUS: return "++";
    case TK_MINUSMINUS: return "--";
    case TK_3WAYSCMP: return "<=>";
    case TK_VARPARAMS: return "...";
    case TK_ATTR_OPEN: return "</";
    case TK_ATTR_CLOSE: return "/>";
    default: return nullptr;
  }
}

SQLexer::SQLexer(const SQChar* src, SQInteger len) : _src(src), _len(len) { Next(); }

void SQLexer::Next() {
  if (_pos < _len) {
    _currdata = _src[_pos++];
    if (_currdata == 0) _currdata = -1;  // embedded NUL: reported as a bad character
  } else {
    _currdata = 0;
    _pos = _len + 1;
  }
  _currentcolumn++;
}

void SQLexer::LexBlockComment() {
  for (;;) {
    switch (_currdata) {
      case '*':
        Next();
        if (_currdata == '/') {
          Next();
          return;
        }
        continue;
      case '\n':
        _currentline++;
        _currentcolumn = 0;
        Next();
        continue;
      case 0: Error("missing \"*/\" in comment");
      default: Next();
    }
  }
}

SQInteger SQLexer::Follow(SQInteger c, SQInteger ifTaken, SQInteger otherwise) {
  if (_currdata != c) return otherwise;
  Next();
  return ifTaken;
}

void SQLexer::LexLineComment() {
  while (_currdata != '\n' && _currdata != 0) Next();
}

SQInteger SQLexer::Lex() {
  _prevtoken = _curtoken;
  for (;;) {
    _tokenline = _currentline;
    switch (_currdata) {
      case 0: return _curtoken = TK_EOF;
      case '\t': case '\r': case ' ': Next(); continue;
      case '\n':
        _currentline++;
        _prevtoken = '\n';
        _currentcolumn = 0;
        Next();
        continue;
      case '#': LexLineComment(); continue;
      case '/':
        Next();
        switch (_currdata) {
          case '*': Next(); LexBlockComment(); continue;
          case '/': LexLineComment(); continue;
          case '=': Next(); return _curtoken = TK_DIVEQ;
          case '>': Next(); return _curtoken = TK_ATTR_CLOSE;
          default: return _curtoken = '/';
        }
      case '=': Next(); return _curtoken = Follow('=', TK_EQ, '=');
      case '<':
        Next();
        switch (_currdata) {
          case '=': Next(); return _curtoken = Follow('>', TK_3WAYSCMP, TK_LE);
          case '-': Next(); return _curtoken = TK_NEWSLOT;
          case '<': Next(); return _curtoken = TK_SHIFTL;
          case '/': Next(); return _curtoken = TK_ATTR_OPEN;
        }
        return _curtoken = '<';
      case '>':
        Next();
        if (_currdata == '>') {
          Next();
          return _curtoken = Follow('>', TK_USHIFTR, TK_SHIFTR);
        }
        return _curtoken = Follow('=', TK_GE, '>');
      case '!': Next(); return _curtoken = Follow('=', TK_NE, '!');
      case '@': {
        Next();
        if (_currdata != '"') return _curtoken = '@';
        return _curtoken = ReadString('"', true);
      }
      case '"': case '\'': return _curtoken = ReadString(_currdata, false);
      case '{': case '}': case '(': case ')': case '[': case ']': case ';': case ',': case '?':
      case '^': case '~': {
        SQInteger r = _currdata;
        Next();
        return _curtoken = r;
      }
      case '.': {
        Next();
        if (_currdata != '.') return _curtoken = '.';
        Next();
        if (_currdata != '.') Error("invalid token '..'");
        Next();
        return _curtoken = TK_VARPARAMS;
      }
      case '&': Next(); return _curtoken = Follow('&', TK_AND, '&');
      case '|': Next(); return _curtoken = Follow('|', TK_OR, '|');
      case ':': Next(); return _curtoken = Follow(':', TK_DOUBLE_COLON, ':');
      case '*': Next(); return _curtoken = Follow('=', TK_MULEQ, '*');
      case '%': Next(); return _curtoken = Follow('=', TK_MODEQ, '%');
      case '-':
        Next();
        if (_currdata == '-') {
          Next();
          return _curtoken = TK_MINUSMINUS;
        }
        return _curtoken = Follow('=', TK_MINUSEQ, '-');
      case '+':
        Next();
        if (_currdata == '+') {
          Next();
          return _curtoken = TK_PLUSPLUS;
        }
        return _curtoken = Follow('=', TK_PLUSEQ, '+');
      default:
        if (isdigit_(_currdata)) return _curtoken = ReadNumber();
        if (isalpha_(_currdata)) return _curtoken = ReadId();
        Error("unexpected character");
    }
  }
}

SQInteger SQLexer::ReadId() {
  _svalue.clear();
  do {
    _svalue.push_back((SQChar)_currdata);
    Next();
  } while (isalpha_(_currdata) || isdigit_(_currdata));
  if (_svalue.size() <= 11) {
    for (auto& k : kKeywords) {
      size_t n = strlen(k.name);
      if (n != _svalue.size()) continue;
      bool eq = true;
      for (size_t i = 0; i < n; i++)
        if (_svalue[i] != (SQChar)k.name[i]) {
          eq = false;
          break;
        }
      if (eq) return k.tok;
    }
  }
  return TK_IDENTIFIER;
}

SQInteger SQLexer::ReadString(SQInteger ndelim, bool verbatim) {
  _svalue.clear();
  Next();
  if (_currdata == 0) Error("unfinished string");
  for (;;) {
    while (_currdata != ndelim) {
      switch (_currdata) {
        case 0: Error("unfinished string");
        case '\n':
          if (!verbatim) Error("newline in a constant");
          _svalue.push_back((SQChar)_currdata);
          Next();
          _currentline++;
          _currentcolumn = 1;
          break;
        case '\\':
          if (verbatim) {
            _svalue.push_back('\\');
            Next();
          } else {
            Next();
            switch (_currdata) {
              case 'x': {
                Next();
                if (!isxdigit_(_currdata)) Error("hexadecimal number expected");
                SQInteger v = 0, n = 0;
                while (isxdigit_(_currdata) && n < 4) {
                  v = v * 16 + hexval(_currdata);
                  Next();
                  n++;
                }
                _svalue.push_back((SQChar)v);
                break;
              }
              case 't': _svalue.push_back('\t'); Next(); break;
              case 'a': _svalue.push_back('\a'); Next(); break;
              case 'b': _svalue.push_back('\b'); Next(); break;
              case 'n': _svalue.push_back('\n'); Next(); break;
              case 'r': _svalue.push_back('\r'); Next(); break;
              case 'v': _svalue.push_back('\v'); Next(); break;
              case 'f': _svalue.push_back('\f'); Next(); break;
              case '0': _svalue.push_back(0); Next(); break;
              case '\\': _svalue.push_back('\\'); Next(); break;
              case '"': _svalue.push_back('"'); Next(); break;
              case '\'': _svalue.push_back('\''); Next(); break;
              default: Error("unrecognised escaper char");
            }
          }
          break;
        default:
          _svalue.push_back((SQChar)_currdata);
          Next();
      }
    }
    Next();
    if (verbatim && _currdata == '"') {  // "" inside a verbatim string
      _svalue.push_back('"');
      Next();
    } else {
      break;
    }
  }
  if (ndelim == '\'') {
    if (_svalue.empty()) Error("empty constant");
    if (_svalue.size() > 1) Error("constant too long");
    _nvalue = (SQInteger)_svalue[0];
    return TK_INTEGER;
  }
  return TK_STRING_LITERAL;
}

SQInteger SQLexer::ReadNumber() {
  enum { TINT, TFLOAT, THEX, TSCIENTIFIC, TOCTAL } type = TINT;
  std::string buf;
  SQInteger firstchar = _currdata;
  Next();
  if (firstchar == '0' && (_currdata == 'x' || _currdata == 'X')) {
    Next();
    type = THEX;
    while (isxdigit_(_currdata)) {
      buf.push_back((char)_currdata);
      Next();
    }
    if (buf.size() > 8) Error("too many digits for an Hex number");
    // '0x' without digits reads as 0
    _nvalue = (SQInteger)(uint32_t)strtoul(buf.c_str(), nullptr, 16);
    return TK_INTEGER;
  }
  // a leading 0 starts an octal number only when an octal digit follows:
  // 08 and 09 are decimal, while 018 is refused
  if (firstchar == '0' && _currdata >= '0' && _currdata <= '7') {
    type = TOCTAL;
    while (_currdata >= '0' && _currdata <= '7') {
      buf.push_back((char)_currdata);
      Next();
    }
    if (isdigit_(_currdata) || isalpha_(_currdata)) Error("invalid octal number");
    _nvalue = (SQInteger)(uint32_t)strtoul(buf.c_str(), nullptr, 8);
    return TK_INTEGER;
  }
  buf.push_back((char)firstchar);
  while (_currdata == '.' || isdigit_(_currdata) || _currdata == 'e' || _currdata == 'E') {
    if (_currdata == '.') {
      if (type != TINT) Error("invalid numeric format");
      type = TFLOAT;
    } else if (_currdata == 'e' || _currdata == 'E') {
      if (type == TSCIENTIFIC) Error("invalid numeric format");
      type = TSCIENTIFIC;
      buf.push_back((char)_currdata);
      Next();
      if (_currdata == '+' || _currdata == '-') {
        buf.push_back((char)_currdata);
        Next();
      }
      if (!isdigit_(_currdata)) Error("exponent expected");
      continue;
    }
    buf.push_back((char)_currdata);
    Next();
  }
  if (type == TINT) {
    // decimal literals wrap to 32 bits like the C conversion they stand for
    unsigned long long v = strtoull(buf.c_str(), nullptr, 10);
    _nvalue = (SQInteger)(uint32_t)v;
    return TK_INTEGER;
  }
  _fvalue = (SQFloat)strtod(buf.c_str(), nullptr);
  return TK_FLOAT;
}
