// The string library: format(), strip/lstrip/rstrip, split() and the regexp
// class.
#include "sqstdstring.h"

#include "sqstdinternal.h"
#include "sqstdrexinternal.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kMaxFieldWidth = 4096;

bool isSpace(SQChar c) { return c == u' ' || (c >= 9 && c <= 13); }

void appendAscii(std::u16string &out, const char *s)
{
    while (*s) out += char16_t(static_cast<unsigned char>(*s++));
}

void appendPadded(std::u16string &out, const SQChar *s, size_t n, int width, bool left)
{
    int fill = width - int(n);
    if (!left)
        for (int k = 0; k < fill; ++k) out += u' ';
    out.append(s, n);
    if (left)
        for (int k = 0; k < fill; ++k) out += u' ';
}

// Output space for one snprintf conversion: on the stack unless a large
// width or precision asks for more.
class NumberBuffer {
public:
    explicit NumberBuffer(size_t need)
    {
        if (need > sizeof small_) big_.resize(need);
    }
    char *data() { return big_.empty() ? small_ : big_.data(); }
    size_t size() const { return big_.empty() ? sizeof small_ : big_.size(); }

private:
    char small_[192];
    std::vector<char> big_;
};

// Expands the format string at `fmtIdx` with the values after it. On error
// an exception is raised in `v` and false is returned.
bool formatValues(HSQUIRRELVM v, SQInteger fmtIdx, std::u16string &out, SQRESULT &err)
{
    const SQChar *fmt;
    if (SQ_FAILED(sq_getstring(v, fmtIdx, &fmt))) {
        err = sq_throwerror(v, u"format must be a string");
        return false;
    }
    SQInteger fmtLen = sq_getsize(v, fmtIdx);
    SQInteger nparam = fmtIdx + 1;
    SQInteger top = sq_gettop(v);
    for (SQInteger i = 0; i < fmtLen; ++i) {
        SQChar c = fmt[i];
        if (c != u'%') {
            out += c;
            continue;
        }
        ++i;
        if (i < fmtLen && fmt[i] == u'%') {
            out += u'%';
            continue;
        }
        std::string spec = "%";
        bool left = false;
        while (i < fmtLen && (fmt[i] == u'-' || fmt[i] == u'+' || fmt[i] == u' ' || fmt[i] == u'#' || fmt[i] == u'0')) {
            if (fmt[i] == u'-') left = true;
            spec += char(fmt[i++]);
        }
        int width = 0;
        while (i < fmtLen && fmt[i] >= u'0' && fmt[i] <= u'9') {
            width = width * 10 + (fmt[i] - u'0');
            if (width > kMaxFieldWidth) {
                err = sq_throwerror(v, u"width format too long");
                return false;
            }
            spec += char(fmt[i++]);
        }
        int precision = -1;
        if (i < fmtLen && fmt[i] == u'.') {
            spec += char(fmt[i++]);
            precision = 0;
            while (i < fmtLen && fmt[i] >= u'0' && fmt[i] <= u'9') {
                precision = precision * 10 + (fmt[i] - u'0');
                if (precision > kMaxFieldWidth) {
                    err = sq_throwerror(v, u"precision format too long");
                    return false;
                }
                spec += char(fmt[i++]);
            }
        }
        if (i >= fmtLen) {
            err = sq_throwerror(v, u"invalid format");
            return false;
        }
        SQChar conv = fmt[i];
        if (nparam > top) {
            err = sq_throwerror(v, u"not enough paramters for the given format string");
            return false;
        }
        SQObjectType t = sq_gettype(v, nparam);
        switch (conv) {
        case u'd': case u'i': case u'u': case u'o': case u'x': case u'X': case u'c': {
            if (t != OT_INTEGER && t != OT_FLOAT) {
                err = sq_throwerror(v, u"integer expected for the specified format");
                return false;
            }
            SQInteger n = 0;
            if (t == OT_FLOAT) {
                SQFloat f;
                sq_getfloat(v, nparam, &f);
                n = SQInteger(f);
            } else {
                sq_getinteger(v, nparam, &n);
            }
            if (conv == u'c') {
                SQChar ch = SQChar(n);
                appendPadded(out, &ch, 1, width, left);
                break;
            }
            spec += char(conv);
            NumberBuffer buf(size_t(width > precision ? width : precision) + 64);
            if (conv == u'd' || conv == u'i')
                std::snprintf(buf.data(), buf.size(), spec.c_str(), int(n));
            else
                std::snprintf(buf.data(), buf.size(), spec.c_str(), unsigned(uint32_t(n)));
            appendAscii(out, buf.data());
            break;
        }
        case u'f': case u'F': case u'e': case u'E': case u'g': case u'G': {
            if (t != OT_INTEGER && t != OT_FLOAT) {
                err = sq_throwerror(v, u"float expected for the specified format");
                return false;
            }
            SQFloat f = 0;
            sq_getfloat(v, nparam, &f);
            spec += char(conv);
            // %f of a large float has up to 39 integer digits
            NumberBuffer buf(size_t(width > precision ? width : precision) + 128);
            std::snprintf(buf.data(), buf.size(), spec.c_str(), double(f));
            appendAscii(out, buf.data());
            break;
        }
        case u's': {
            if (t != OT_STRING) {
                err = sq_throwerror(v, u"string expected for the specified format");
                return false;
            }
            const SQChar *s;
            sq_getstring(v, nparam, &s);
            size_t n = size_t(sq_getsize(v, nparam));
            if (precision >= 0 && size_t(precision) < n) n = size_t(precision);
            appendPadded(out, s, n, width, left);
            break;
        }
        default:
            err = sq_throwerror(v, u"invalid format");
            return false;
        }
        ++nparam;
    }
    return true;
}

SQInteger str_format(HSQUIRRELVM v)
{
    std::u16string out;
    SQRESULT err = SQ_ERROR;
    if (!formatValues(v, 2, out, err)) return err;
    sq_pushstring(v, out.data(), SQInteger(out.size()));
    return 1;
}

SQInteger stripImpl(HSQUIRRELVM v, bool front, bool back)
{
    const SQChar *s;
    sq_getstring(v, 2, &s);
    SQInteger len = sq_getsize(v, 2);
    SQInteger b = 0;
    SQInteger e = len;
    if (front)
        while (b < e && isSpace(s[b])) ++b;
    if (back)
        while (e > b && isSpace(s[e - 1])) --e;
    sq_pushstring(v, s + b, e - b);
    return 1;
}

bool isHexDigit(SQChar c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// escape(str): the string as it would be written inside a script literal.
// Control characters become \xnn, or \x00nn when a hex digit follows, so
// that the literal reads back as the same string.
SQInteger str_escape(HSQUIRRELVM v)
{
    const SQChar *s;
    sq_getstring(v, 2, &s);
    SQInteger len = sq_getsize(v, 2);
    static const char kHex[] = "0123456789abcdef";
    std::u16string out;
    out.reserve(size_t(len) + 8);
    for (SQInteger i = 0; i < len; ++i) {
        SQChar c = s[i];
        SQChar esc = 0;
        switch (c) {
        case u'"': esc = u'"'; break;
        case u'\'': esc = u'\''; break;
        case u'\\': esc = u'\\'; break;
        case u'\a': esc = u'a'; break;
        case u'\b': esc = u'b'; break;
        case u'\t': esc = u't'; break;
        case u'\n': esc = u'n'; break;
        case u'\v': esc = u'v'; break;
        case u'\f': esc = u'f'; break;
        case u'\r': esc = u'r'; break;
        case 0: esc = u'0'; break;
        default: break;
        }
        if (esc) {
            out += u'\\';
            out += esc;
        } else if (c < 0x20 || (c >= 0x7f && c < 0xa0)) {
            out += u"\\x";
            if (i + 1 < len && isHexDigit(s[i + 1])) out += u"00";
            out += SQChar(kHex[(c >> 4) & 0xf]);
            out += SQChar(kHex[c & 0xf]);
        } else {
            out += c;
        }
    }
    sq_pushstring(v, out.data(), SQInteger(out.size()));
    return 1;
}

SQInteger str_strip(HSQUIRRELVM v) { return stripImpl(v, true, true); }
SQInteger str_lstrip(HSQUIRRELVM v) { return stripImpl(v, true, false); }
SQInteger str_rstrip(HSQUIRRELVM v) { return stripImpl(v, false, true); }

SQInteger str_split(HSQUIRRELVM v)
{
    const SQChar *s;
    const SQChar *seps;
    sq_getstring(v, 2, &s);
    sq_getstring(v, 3, &seps);
    SQInteger len = sq_getsize(v, 2);
    SQInteger nseps = sq_getsize(v, 3);
    if (nseps == 0) return sq_throwerror(v, u"empty separators string");
    sq_newarray(v, 0);
    // the pieces between separators; like C's strtok, runs of separators
    // (and separators at either end) give no empty pieces
    SQInteger start = 0;
    for (SQInteger i = 0; i <= len; ++i) {
        bool cut = i == len;
        for (SQInteger k = 0; !cut && k < nseps; ++k)
            if (s[i] == seps[k]) cut = true;
        if (!cut) continue;
        if (i > start) {
            sq_pushstring(v, s + start, i - start);
            sq_arrayappend(v, -2);
        }
        start = i + 1;
    }
    return 1;
}

// ---- regexp class ---------------------------------------------------------

SQRex *selfRex(HSQUIRRELVM v)
{
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 1, &p, sqstd::tagOf(sqstd::kRegexpTag)))) return nullptr;
    return static_cast<SQRex *>(p);
}

#define SQSTD_REX()                                                                        \
    SQRex *rex = selfRex(v);                                                               \
    if (!rex) return sq_throwerror(v, u"invalid type tag")

SQInteger releaseRex(SQUserPointer p, SQInteger)
{
    sqstd_rex_free(static_cast<SQRex *>(p));
    return 1;
}

SQInteger rex_constructor(HSQUIRRELVM v)
{
    const SQChar *pattern;
    const SQChar *error = nullptr;
    SQUserPointer previous = nullptr;
    // Only a regexp instance (or one of a script class derived from regexp)
    // may be (re)initialised: another instance's pointer is of another type.
    if (sq_gettype(v, 1) != OT_INSTANCE ||
        SQ_FAILED(sq_getinstanceup(v, 1, &previous, sqstd::tagOf(sqstd::kRegexpTag))))
        return sq_throwerror(v, u"the regexp constructor needs a regexp instance");
    sq_getstring(v, 2, &pattern);
    if (sq_getsize(v, 2) != scstrlen(pattern)) return sq_throwerror(v, u"regular expression contains a zero character");
    SQRex *rex = sqstd_rex_compile(pattern, &error);
    if (!rex) return sq_throwerror(v, error ? error : u"invalid regular expression");
    if (previous) sqstd_rex_free(static_cast<SQRex *>(previous)); // constructor called again
    sq_setinstanceup(v, 1, rex);
    sq_setreleasehook(v, 1, releaseRex);
    return 0;
}

void pushRange(HSQUIRRELVM v, SQInteger begin, SQInteger end)
{
    sq_newtable(v);
    sq_pushstring(v, u"begin", -1);
    sq_pushinteger(v, begin);
    sq_rawset(v, -3);
    sq_pushstring(v, u"end", -1);
    sq_pushinteger(v, end);
    sq_rawset(v, -3);
}

// Searches the string at 2 from the optional start offset at 3. On a match
// sets s (the whole string), b and e and returns true; otherwise returns
// false with `result` holding what the method returns: 1 with null pushed
// when nothing matched, or an error raised for a bad offset or a search that
// gave up.
bool searchSubject(HSQUIRRELVM v, SQRex *rex, const SQChar *&s, const SQChar *&b, const SQChar *&e,
                   SQInteger &result)
{
    sq_getstring(v, 2, &s);
    SQInteger len = sq_getsize(v, 2);
    SQInteger start = 0;
    if (sq_gettop(v) > 2) sq_getinteger(v, 3, &start);
    if (start < 0 || start > len) {
        result = sq_throwerror(v, u"start position out of range");
        return false;
    }
    if (sqstd_rex_searchrange(rex, s + start, s + len, &b, &e)) return true;
    if (sqstd::rexAborted(rex)) {
        result = sq_throwerror(v, u"regular expression too complex for this text");
    } else {
        sq_pushnull(v);
        result = 1;
    }
    return false;
}

SQInteger rex_search(HSQUIRRELVM v)
{
    SQSTD_REX();
    const SQChar *s;
    const SQChar *b;
    const SQChar *e;
    SQInteger result;
    if (!searchSubject(v, rex, s, b, e, result)) return result;
    // offsets count from the start of the whole string
    pushRange(v, SQInteger(b - s), SQInteger(e - s));
    return 1;
}

SQInteger rex_match(HSQUIRRELVM v)
{
    SQSTD_REX();
    const SQChar *s;
    sq_getstring(v, 2, &s);
    SQInteger len = sq_getsize(v, 2);
    bool ok = sqstd::rexMatchRange(rex, s, s + len);
    if (!ok && sqstd::rexAborted(rex)) return sq_throwerror(v, u"regular expression too complex for this text");
    sq_pushbool(v, ok ? SQTrue : SQFalse);
    return 1;
}

SQInteger rex_capture(HSQUIRRELVM v)
{
    SQSTD_REX();
    const SQChar *s;
    const SQChar *b;
    const SQChar *e;
    SQInteger result;
    if (!searchSubject(v, rex, s, b, e, result)) return result;
    SQInteger n = sqstd_rex_getsubexpcount(rex);
    sq_newarray(v, 0);
    for (SQInteger i = 0; i < n; ++i) {
        SQRexMatch m;
        sqstd_rex_getsubexp(rex, i, &m);
        if (m.begin) pushRange(v, SQInteger(m.begin - s), SQInteger(m.begin - s) + m.len);
        else pushRange(v, -1, -1); // the group took no part in the match
        sq_arrayappend(v, -2);
    }
    return 1;
}

SQInteger rex_subexpcount(HSQUIRRELVM v)
{
    SQSTD_REX();
    sq_pushinteger(v, sqstd_rex_getsubexpcount(rex));
    return 1;
}

SQInteger rex_typeof(HSQUIRRELVM v)
{
    sq_pushstring(v, u"regexp", -1);
    return 1;
}

const SQRegFunction rexMethods[] = {
    {u"constructor", rex_constructor, 2, u".s"},
    {u"search", rex_search, -2, u"xsn"},
    {u"match", rex_match, 2, u"xs"},
    {u"capture", rex_capture, -2, u"xsn"},
    {u"subexpcount", rex_subexpcount, 1, u"x"},
    {u"_typeof", rex_typeof, 1, u"x"},
    {nullptr, nullptr, 0, nullptr}};

const SQRegFunction stringFuncs[] = {
    {u"format", str_format, -2, u".s"},
    {u"escape", str_escape, 2, u".s"},
    {u"strip", str_strip, 2, u".s"},
    {u"lstrip", str_lstrip, 2, u".s"},
    {u"rstrip", str_rstrip, 2, u".s"},
    {u"split", str_split, 3, u".ss"},
    {nullptr, nullptr, 0, nullptr}};

} // namespace

SQRESULT sqstd_format(HSQUIRRELVM v, SQInteger nformatstringidx, SQInteger *outlen, SQChar **output)
{
    std::u16string out;
    SQRESULT err = SQ_ERROR;
    if (!formatValues(v, nformatstringidx, out, err)) return err;
    SQChar *dst = sq_getscratchpad(v, SQInteger((out.size() + 1) * sizeof(SQChar)));
    if (!dst) return sq_throwerror(v, u"out of memory");
    std::memcpy(dst, out.data(), out.size() * sizeof(SQChar));
    dst[out.size()] = 0;
    if (outlen) *outlen = SQInteger(out.size());
    if (output) *output = dst;
    return SQ_OK;
}

SQRESULT sqstd_register_stringlib(HSQUIRRELVM v)
{
    if (sq_gettype(v, -1) != OT_TABLE) return sq_throwerror(v, u"table expected");
    SQInteger top = sq_gettop(v);
    sq_pushstring(v, u"regexp", -1);
    sq_newclass(v, SQFalse);
    sq_settypetag(v, -1, sqstd::tagOf(sqstd::kRegexpTag));
    sqstd::registerFunctions(v, rexMethods, true);
    sq_newslot(v, -3, SQFalse);
    sqstd::registerFunctions(v, stringFuncs, false);
    sq_settop(v, top);
    return SQ_OK;
}
