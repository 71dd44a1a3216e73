// Regular expressions for the string library.
//
// A pattern is parsed into a small tree (sequences, alternatives, groups,
// repetitions, single-character tests and assertions) and run by a
// backtracking matcher written in continuation-passing style: every node
// gets "what comes after me" and succeeds only if that succeeds too.
//
// Repetitions are greedy with one twist that scripts rely on: once the
// minimum count is reached, a repetition stops at the first position where
// the element that follows it in the pattern matches ("<.*>" on "<a><b>"
// matches "<a>"). An element that may match nothing (x*, x?, x{0,n}) never
// stops a repetition. If the rest of the pattern fails after that stop, the
// matcher backtracks over the other repetition counts (more, then fewer), so
// every string that can match does match.
//
// Each match attempt has a step budget so pathological patterns cannot hang
// the game; running out of budget is reported as a failure to match and can
// be told apart with sqstd::rexAborted().
#include "sqstdstring.h"

#include "sqstdrexinternal.h"

#include <memory>
#include <vector>

namespace {

enum class Kind { Char, Any, Class, Bol, Eol, WordBoundary, NotWordBoundary, Group, Repeat };

struct Node;
using Seq = std::vector<Node *>;

struct ClassItem {
    char16_t lo = 0;
    char16_t hi = 0;
    char predefined = 0; // letter of a \x style class, 0 for a range
};

struct Node {
    Kind kind = Kind::Char;
    char16_t ch = 0;                // Char
    bool negated = false;           // Class
    std::vector<ClassItem> items;   // Class (also used for predefined classes)
    int capture = -1;               // Group: capture index or -1
    std::vector<Seq> alternatives;  // Group
    Node *child = nullptr;          // Repeat
    int min = 0;                    // Repeat
    int max = 0;                    // Repeat, -1 = unbounded
};

// Longest pattern and deepest group nesting accepted: the parser and the
// matcher recurse along the pattern.
constexpr SQInteger kMaxPatternLength = 4096;
constexpr int kMaxNesting = 128;
constexpr long kStepBudgetBase = 5000000;
constexpr long kStepBudgetPerChar = 1000;

bool isWordChar(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
}

bool inPredefined(char cls, char16_t c)
{
    bool r;
    switch (cls | 0x20) {
    case 'a': r = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); break;
    case 'w': r = isWordChar(c); break;
    case 's': r = c == u' ' || (c >= 9 && c <= 13); break;
    case 'd': r = c >= u'0' && c <= u'9'; break;
    case 'x': r = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); break;
    case 'c': r = c < 32 || c == 127; break;
    case 'p': r = (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) || (c >= 123 && c <= 126); break;
    case 'l': r = c >= u'a' && c <= u'z'; break;
    case 'u': r = c >= u'A' && c <= u'Z'; break;
    default: r = false; break;
    }
    // \l and \u have no upper-case negated form; every other upper-case
    // letter is the complement of its class.
    bool negated = (cls >= 'A' && cls <= 'Z');
    return negated ? !r : r;
}

bool isPredefinedLetter(char16_t c)
{
    switch (c) {
    case u'a': case u'A': case u'w': case u'W': case u's': case u'S': case u'd': case u'D':
    case u'x': case u'X': case u'c': case u'C': case u'p': case u'P': case u'l': case u'u':
        return true;
    default:
        return false;
    }
}

char16_t escapedChar(char16_t c)
{
    switch (c) {
    case u't': return u'\t';
    case u'n': return u'\n';
    case u'r': return u'\r';
    case u'f': return u'\f';
    case u'v': return u'\v';
    default: return c;
    }
}

class Parser {
public:
    Parser(const SQChar *p, std::vector<std::unique_ptr<Node>> &pool) : p_(p), pool_(pool) {}

    Node *parseTop(int &ncaptures, const SQChar *&error)
    {
        Node *top = make(Kind::Group);
        top->capture = 0;
        captures_ = 1;
        parseAlternatives(top);
        if (!error_ && *p_ == u')') error_ = u"unexpected ')'";
        error = error_;
        ncaptures = captures_;
        return error_ ? nullptr : top;
    }

private:
    Node *make(Kind k)
    {
        pool_.push_back(std::make_unique<Node>());
        pool_.back()->kind = k;
        return pool_.back().get();
    }

    void parseAlternatives(Node *group)
    {
        group->alternatives.emplace_back();
        while (!error_) {
            if (!*p_ || *p_ == u')') return;
            if (*p_ == u'|') {
                ++p_;
                group->alternatives.emplace_back();
                continue;
            }
            Node *atom = parseAtom();
            if (error_) return;
            atom = parseQuantifiers(atom);
            if (error_) return;
            group->alternatives.back().push_back(atom);
        }
    }

    bool readNumber(int &out)
    {
        if (!(*p_ >= u'0' && *p_ <= u'9')) return false;
        long n = 0;
        while (*p_ >= u'0' && *p_ <= u'9') {
            n = n * 10 + (*p_++ - u'0');
            if (n > 65535) {
                error_ = u"repetition count too large";
                return false;
            }
        }
        out = int(n);
        return true;
    }

    Node *parseQuantifiers(Node *atom)
    {
        while (*p_ == u'*' || *p_ == u'+' || *p_ == u'?' || *p_ == u'{') {
            if (atom->kind == Kind::Bol || atom->kind == Kind::Eol || atom->kind == Kind::WordBoundary ||
                atom->kind == Kind::NotWordBoundary || atom->kind == Kind::Repeat) {
                error_ = u"nothing to repeat";
                return atom;
            }
            Node *r = make(Kind::Repeat);
            r->child = atom;
            SQChar q = *p_++;
            if (q == u'*') { r->min = 0; r->max = -1; }
            else if (q == u'+') { r->min = 1; r->max = -1; }
            else if (q == u'?') { r->min = 0; r->max = 1; }
            else {
                if (!readNumber(r->min)) {
                    if (!error_) error_ = u"expected number";
                    return atom;
                }
                if (*p_ == u'}') {
                    r->max = r->min;
                } else if (*p_ == u',') {
                    ++p_;
                    if (*p_ == u'}') r->max = -1;
                    else if (!readNumber(r->max)) {
                        if (!error_) error_ = u"expected number";
                        return atom;
                    }
                } else {
                    error_ = u"expected ',' or '}'";
                    return atom;
                }
                if (*p_ != u'}') {
                    error_ = u"expected '}'";
                    return atom;
                }
                ++p_;
                if (r->max >= 0 && r->max < r->min) {
                    error_ = u"invalid repetition range";
                    return atom;
                }
            }
            atom = r;
        }
        return atom;
    }

    Node *parseAtom()
    {
        SQChar c = *p_++;
        switch (c) {
        case u'(': {
            Node *g = make(Kind::Group);
            if (++depth_ > kMaxNesting) {
                error_ = u"groups nested too deeply";
                return g;
            }
            if (p_[0] == u'?' && p_[1] == u':') {
                p_ += 2;
            } else {
                g->capture = captures_++;
            }
            parseAlternatives(g);
            if (error_) return g;
            if (*p_ != u')') {
                bool empty = g->alternatives.size() == 1 && g->alternatives[0].empty();
                error_ = empty ? u"letter expected" : u"expected paren";
                return g;
            }
            ++p_;
            --depth_;
            return g;
        }
        case u'[': return parseClass();
        case u'.': return make(Kind::Any);
        case u'^': return make(Kind::Bol);
        case u'$': return make(Kind::Eol);
        case u'*': case u'+': case u'?': case u'{':
            error_ = u"nothing to repeat";
            return make(Kind::Any);
        case u'\\': {
            SQChar e = *p_;
            if (!e) {
                error_ = u"letter expected";  // a '\\' ending the pattern escapes nothing
                return make(Kind::Any);
            }
            ++p_;
            if (e == u'b') return make(Kind::WordBoundary);
            if (e == u'B') return make(Kind::NotWordBoundary);
            if (isPredefinedLetter(e)) {
                Node *n = make(Kind::Class);
                n->items.push_back(ClassItem{0, 0, char(e)});
                return n;
            }
            Node *n = make(Kind::Char);
            n->ch = escapedChar(e);
            return n;
        }
        default: {
            Node *n = make(Kind::Char);
            n->ch = c;
            return n;
        }
        }
    }

    Node *parseClass()
    {
        Node *n = make(Kind::Class);
        if (*p_ == u'^') {
            n->negated = true;
            ++p_;
        }
        // ']' right after the opening closes the class: '[]' and '[^]' are empty
        if (*p_ == u']') {
            error_ = u"empty class";
            return n;
        }
        for (;;) {
            SQChar c = *p_;
            if (!c) {
                error_ = u"expected ']'";
                return n;
            }
            if (c == u']') {
                ++p_;
                return n;
            }
            ++p_;
            char16_t lo;
            if (c == u'\\') {
                SQChar e = *p_;
                if (!e) {
                    error_ = u"expected ']'";
                    return n;
                }
                ++p_;
                if (isPredefinedLetter(e)) {
                    n->items.push_back(ClassItem{0, 0, char(e)});
                    continue;
                }
                lo = escapedChar(e);
            } else {
                lo = c;
            }
            char16_t hi = lo;
            if (p_[0] == u'-' && p_[1] && p_[1] != u']') {
                ++p_;
                SQChar h = *p_++;
                if (h == u'\\') {
                    SQChar e = *p_;
                    if (!e || isPredefinedLetter(e)) {
                        error_ = u"invalid range in character class";
                        return n;
                    }
                    ++p_;
                    h = escapedChar(e);
                }
                hi = h;
                if (hi < lo) {
                    error_ = u"invalid range in character class";
                    return n;
                }
            }
            n->items.push_back(ClassItem{lo, hi, 0});
        }
    }

    const SQChar *p_;
    std::vector<std::unique_ptr<Node>> &pool_;
    const SQChar *error_ = nullptr;
    int captures_ = 1;
    int depth_ = 0;
};

bool classMatches(const Node *n, char16_t c)
{
    bool in = false;
    for (const ClassItem &it : n->items) {
        if (it.predefined ? inPredefined(it.predefined, c) : (c >= it.lo && c <= it.hi)) {
            in = true;
            break;
        }
    }
    return in != n->negated;
}

} // namespace

struct SQRex {
    std::vector<std::unique_ptr<Node>> pool;
    Node *top = nullptr;
    int ncaptures = 1;
    // state of the current/last match
    const SQChar *bol = nullptr;
    const SQChar *eol = nullptr;
    std::vector<SQInteger> caps; // begin,end offsets from bol per capture; -1 when unset
    long steps = 0;
    bool aborted = false;
    bool matched = false;
    // A pattern that starts with an unbounded repetition of a single
    // character test: when an attempt at `leadStart` fails after that
    // repetition ran to `leadEnd`, every start inside the run would only try
    // a subset of the same end positions, so the search skips past the run.
    const Node *lead = nullptr;
    SQInteger leadStart = -1;
    SQInteger leadEnd = -1;
};

namespace {

enum class FrameKind { Seq, Close, Final, Accept };

struct Frame {
    FrameKind kind;
    const Seq *seq = nullptr;
    size_t index = 0;
    int capture = -1;
    SQInteger start = 0;
    const Frame *next = nullptr;
    bool mustEnd = false;      // Final
    SQInteger *out = nullptr;  // Accept / Final
};

class Matcher {
public:
    explicit Matcher(SQRex &r) : r_(r) {}

    bool run(const Frame *k, SQInteger pos)
    {
        if (++r_.steps > budget_) {
            r_.aborted = true;
            return false;
        }
        switch (k->kind) {
        case FrameKind::Final:
            if (k->mustEnd && pos != len()) return false;
            *k->out = pos;
            return true;
        case FrameKind::Accept:
            *k->out = pos;
            return true;
        case FrameKind::Close: {
            SQInteger ob = r_.caps[size_t(k->capture) * 2];
            SQInteger oe = r_.caps[size_t(k->capture) * 2 + 1];
            r_.caps[size_t(k->capture) * 2] = k->start;
            r_.caps[size_t(k->capture) * 2 + 1] = pos;
            if (run(k->next, pos)) return true;
            r_.caps[size_t(k->capture) * 2] = ob;
            r_.caps[size_t(k->capture) * 2 + 1] = oe;
            return false;
        }
        case FrameKind::Seq:
            if (k->index >= k->seq->size()) return run(k->next, pos);
            {
                Frame rest{FrameKind::Seq, k->seq, k->index + 1, -1, 0, k->next};
                return node((*k->seq)[k->index], pos, &rest);
            }
        }
        return false;
    }

    bool node(const Node *n, SQInteger pos, const Frame *k)
    {
        if (r_.aborted) return false;
        const SQChar *t = r_.bol;
        switch (n->kind) {
        case Kind::Char:
            return pos < len() && t[pos] == n->ch && run(k, pos + 1);
        case Kind::Any:
            return pos < len() && run(k, pos + 1);
        case Kind::Class:
            return pos < len() && classMatches(n, t[pos]) && run(k, pos + 1);
        case Kind::Bol:
            return pos == 0 && run(k, pos);
        case Kind::Eol:
            return pos == len() && run(k, pos);
        case Kind::WordBoundary:
        case Kind::NotWordBoundary: {
            bool before = pos > 0 && isWordChar(t[pos - 1]);
            bool after = pos < len() && isWordChar(t[pos]);
            bool boundary = before != after;
            return (boundary == (n->kind == Kind::WordBoundary)) && run(k, pos);
        }
        case Kind::Group:
            for (const Seq &alt : n->alternatives) {
                Frame close{FrameKind::Close, nullptr, 0, n->capture, pos, k};
                Frame body{FrameKind::Seq, &alt, 0, -1, 0, n->capture >= 0 ? &close : k};
                if (run(&body, pos)) return true;
                if (r_.aborted) return false;
            }
            return false;
        case Kind::Repeat:
            return repeat(n, pos, k);
        }
        return false;
    }

    void setBudget(long b) { budget_ = b; }

private:
    SQInteger len() const { return SQInteger(r_.eol - r_.bol); }

    // One match of `n` at `pos` (its first solution); -1 if none.
    SQInteger once(const Node *n, SQInteger pos)
    {
        SQInteger end = -1;
        Frame accept{FrameKind::Accept};
        accept.out = &end;
        if (!node(n, pos, &accept)) return -1;
        return end;
    }

    // The element that follows in the pattern, if any.
    static const Node *follower(const Frame *k)
    {
        while (k) {
            if (k->kind == FrameKind::Seq) {
                if (k->index < k->seq->size()) return (*k->seq)[k->index];
            } else if (k->kind != FrameKind::Close) {
                return nullptr;
            }
            k = k->next;
        }
        return nullptr;
    }

    bool repeat(const Node *n, SQInteger pos, const Frame *k)
    {
        // capture states per count are kept only when the pattern has groups
        const bool groups = r_.ncaptures > 1;
        std::vector<SQInteger> ends{pos};
        std::vector<std::vector<SQInteger>> snaps;
        if (groups) snaps.push_back(r_.caps);
        std::vector<SQInteger> original;
        if (groups) original = r_.caps;
        auto restore = [&](int count) {
            if (groups) r_.caps = snaps[size_t(count)];
        };
        while (n->max < 0 || int(ends.size()) - 1 < n->max) {
            SQInteger from = ends.back();
            SQInteger e = once(n->child, from);
            if (r_.aborted) return false;
            if (e < 0) break;
            ends.push_back(e);
            if (groups) snaps.push_back(r_.caps);
            if (e == from) break; // an empty iteration would repeat forever
        }
        if (n == r_.lead && pos == r_.leadStart) r_.leadEnd = ends.back();
        int got = int(ends.size()) - 1;
        if (got < n->min) {
            if (groups) r_.caps = original;
            return false;
        }
        int stop = got;
        const Node *f = follower(k);
        if (f && !(f->kind == Kind::Repeat && f->min == 0)) {
            for (int i = n->min > 1 ? n->min : 1; i <= got; ++i) {
                restore(i);
                SQInteger probe = once(f, ends[size_t(i)]);
                if (r_.aborted) return false;
                if (probe >= 0) {
                    stop = i;
                    break;
                }
            }
        }
        if (stop < n->min) stop = n->min;
        for (int i = stop; i <= got; ++i) {
            restore(i);
            if (run(k, ends[size_t(i)])) return true;
            if (r_.aborted) return false;
        }
        for (int i = stop - 1; i >= n->min; --i) {
            restore(i);
            if (run(k, ends[size_t(i)])) return true;
            if (r_.aborted) return false;
        }
        if (groups) r_.caps = original;
        return false;
    }

    SQRex &r_;
    long budget_ = kStepBudgetBase;
};

// Tries to match starting exactly at `start` (an offset from bol).
bool attempt(SQRex *exp, SQInteger start, bool mustEnd, SQInteger &end)
{
    std::fill(exp->caps.begin(), exp->caps.end(), SQInteger(-1));
    Matcher m(*exp);
    m.setBudget(kStepBudgetBase + kStepBudgetPerChar * long(exp->eol - exp->bol));
    Frame fin{FrameKind::Final};
    fin.mustEnd = mustEnd;
    fin.out = &end;
    return m.node(exp->top, start, &fin);
}

} // namespace

namespace sqstd {

bool rexAborted(SQRex *exp) { return exp && exp->aborted; }

} // namespace sqstd

SQRex *sqstd_rex_compile(const SQChar *pattern, const SQChar **error)
{
    if (!pattern || !*pattern) {
        if (error) *error = u"empty regular expression";
        return nullptr;
    }
    if (scstrlen(pattern) > kMaxPatternLength) {
        if (error) *error = u"regular expression too long";
        return nullptr;
    }
    auto *exp = new SQRex;
    const SQChar *err = nullptr;
    Parser parser(pattern, exp->pool);
    exp->top = parser.parseTop(exp->ncaptures, err);
    if (!exp->top) {
        if (error) *error = err;
        delete exp;
        return nullptr;
    }
    exp->caps.assign(size_t(exp->ncaptures) * 2, -1);
    if (exp->top->alternatives.size() == 1 && !exp->top->alternatives[0].empty()) {
        const Node *first = exp->top->alternatives[0][0];
        if (first->kind == Kind::Repeat && first->max < 0 &&
            (first->child->kind == Kind::Char || first->child->kind == Kind::Any || first->child->kind == Kind::Class))
            exp->lead = first;
    }
    return exp;
}

void sqstd_rex_free(SQRex *exp) { delete exp; }

namespace sqstd {

bool rexMatchRange(SQRex *exp, const SQChar *begin, const SQChar *end)
{
    exp->bol = begin;
    exp->eol = end;
    exp->steps = 0;
    exp->aborted = false;
    SQInteger stop = -1;
    exp->matched = attempt(exp, 0, true, stop);
    return exp->matched;
}

} // namespace sqstd

SQBool sqstd_rex_match(SQRex *exp, const SQChar *text)
{
    return sqstd::rexMatchRange(exp, text, text + scstrlen(text)) ? SQTrue : SQFalse;
}

SQBool sqstd_rex_searchrange(SQRex *exp, const SQChar *text_begin, const SQChar *text_end,
                             const SQChar **out_begin, const SQChar **out_end)
{
    exp->matched = false;
    exp->aborted = false;
    exp->steps = 0;
    if (!text_begin || text_end < text_begin) return SQFalse;
    exp->bol = text_begin;
    exp->eol = text_end;
    SQInteger n = SQInteger(text_end - text_begin);
    for (SQInteger start = 0; start <= n; ++start) {
        SQInteger end = -1;
        exp->leadStart = start;
        exp->leadEnd = -1;
        if (attempt(exp, start, false, end)) {
            exp->matched = true;
            if (out_begin) *out_begin = text_begin + start;
            if (out_end) *out_end = text_begin + end;
            return SQTrue;
        }
        if (exp->aborted) return SQFalse;
        if (exp->leadEnd > start) start = exp->leadEnd; // skip the rest of the run
    }
    return SQFalse;
}

SQBool sqstd_rex_search(SQRex *exp, const SQChar *text, const SQChar **out_begin, const SQChar **out_end)
{
    return sqstd_rex_searchrange(exp, text, text + scstrlen(text), out_begin, out_end);
}

SQInteger sqstd_rex_getsubexpcount(SQRex *exp) { return exp->ncaptures; }

SQBool sqstd_rex_getsubexp(SQRex *exp, SQInteger n, SQRexMatch *subexp)
{
    if (n < 0 || n >= exp->ncaptures) return SQFalse;
    SQInteger b = exp->matched ? exp->caps[size_t(n) * 2] : -1;
    SQInteger e = exp->matched ? exp->caps[size_t(n) * 2 + 1] : -1;
    if (b < 0 || e < b) {
        subexp->begin = nullptr;
        subexp->len = 0;
    } else {
        subexp->begin = exp->bol + b;
        subexp->len = e - b;
    }
    return SQTrue;
}
