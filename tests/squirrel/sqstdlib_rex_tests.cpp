// Regular-expression engine and text helpers of the standard libraries,
// exercised through their C/C++ API (no virtual machine needed).
#include "sqstdrexinternal.h"
#include "sqstdstring.h"
#include "sqstdutf.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

struct RexDeleter {
    void operator()(SQRex *r) const { sqstd_rex_free(r); }
};
using RexPtr = std::unique_ptr<SQRex, RexDeleter>;

RexPtr compile(const std::u16string &pattern)
{
    const SQChar *error = nullptr;
    SQRex *r = sqstd_rex_compile(pattern.c_str(), &error);
    EXPECT_NE(r, nullptr) << "pattern failed: " << sqstd::toUtf8(pattern) << ": "
                          << (error ? sqstd::toUtf8(error) : "");
    return RexPtr(r);
}

std::string compileError(const std::u16string &pattern)
{
    const SQChar *error = nullptr;
    SQRex *r = sqstd_rex_compile(pattern.c_str(), &error);
    if (r) {
        sqstd_rex_free(r);
        return "<compiled>";
    }
    return error ? sqstd::toUtf8(error) : "<no message>";
}

bool matches(const std::u16string &pattern, const std::u16string &text)
{
    RexPtr r = compile(pattern);
    return r && sqstd_rex_match(r.get(), text.c_str());
}

// "begin-end:matched text" of the first match, or "none".
std::string search(const std::u16string &pattern, const std::u16string &text)
{
    RexPtr r = compile(pattern);
    if (!r) return "bad pattern";
    const SQChar *b = nullptr;
    const SQChar *e = nullptr;
    if (!sqstd_rex_search(r.get(), text.c_str(), &b, &e)) return "none";
    return std::to_string(b - text.c_str()) + "-" + std::to_string(e - text.c_str()) + ":" +
           sqstd::toUtf8(std::u16string(b, e));
}

TEST(Regexp, WholeStringMatchHonoursEveryOperator)
{
    struct Case {
        const char16_t *pattern;
        const char16_t *text;
        bool expected;
    } cases[] = {
        {u"^abc$", u"abc", true},      {u"^abc$", u"abcd", false},   {u"a.c", u"axc", true},
        {u"a.c", u"ac", false},        {u"ab*c", u"ac", true},       {u"ab+c", u"ac", false},
        {u"ab?c", u"abc", true},       {u"a{2,3}", u"aaa", true},    {u"a{2,3}", u"aaaa", false},
        {u"a{2,3}", u"a", false},      {u"a{2}", u"aa", true},       {u"a{1,}", u"aaaa", true},
        {u"(foo|bar)baz", u"barbaz", true}, {u"(foo|bar)baz", u"bazbaz", false},
        {u"[^0-9]+", u"abc", true},    {u"[^0-9]+", u"ab1", false},  {u"\\s+", u" \t", true},
        {u"\\w+", u"a_1", true},       {u"\\W", u"_", false},        {u"[a-c]+", u"abcabc", true},
        {u"x|y|z", u"y", true},        {u"\\.", u".", true},         {u"\\.", u"x", false},
        {u"(?:ab)+", u"ababab", true}, {u"(?:ab)+", u"ababa", false}, {u"\\d+", u"", false},
        {u"ab|cd", u"cd", true},       {u"ab|cd", u"ad", false},     {u"[a\\-z]+", u"-az", true},
        {u"[a\\-z]+", u"b", false},    {u"[\\d_]+", u"1_2", true},   {u"\\x+", u"fF09", true},
        {u"\\x", u"g", false},         {u"\\p+", u";.,!", true},     {u"\\a+", u"abZ", true},
        {u"\\A", u"a", false},         {u"\\c", u"\t", true},        {u"\\C", u"\t", false},
        {u"\\l\\u", u"aB", true},      {u"\\l", u"A", false},        {u"a\\tb", u"a\tb", true},
        {u"[\\]a]+", u"]a", true},     {u"\u00e9t\u00e9", u"\u00e9t\u00e9", true},
        {u"a*ab", u"aaab", true},      {u"(a|ab)c", u"abc", true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(matches(c.pattern, c.text), c.expected)
            << sqstd::toUtf8(c.pattern) << " on \"" << sqstd::toUtf8(c.text) << "\"";
}

TEST(Regexp, SearchFindsTheLeftmostMatch)
{
    EXPECT_EQ(search(u"\\d+", u"abc 123 def 45"), "4-7:123");
    EXPECT_EQ(search(u"[a-zA-Z]+", u"123 Test;"), "4-8:Test");
    EXPECT_EQ(search(u"cat|dog", u"hotdog and cat"), "3-6:dog");
    EXPECT_EQ(search(u"0x[\\da-fA-F]+", u"val=0x1Fz"), "4-8:0x1F");
    EXPECT_EQ(search(u"\\d", u"none"), "none");
    EXPECT_EQ(search(u"^\\d", u"a1"), "none");
    EXPECT_EQ(search(u"^\\d", u"1a"), "0-1:1");
    EXPECT_EQ(search(u"c$", u"cabc"), "3-4:c");
    EXPECT_EQ(search(u"\\bis\\b", u"this is"), "5-7:is");
    EXPECT_EQ(search(u"\\Bis", u"is this"), "5-7:is");
    // searches that skip over runs of a leading repetition
    EXPECT_EQ(search(u"a+b", u"aaaxaab"), "4-7:aab");
    EXPECT_EQ(search(u"\\d+x", u"12 345x"), "3-7:345x");
    EXPECT_EQ(search(u".*c", u"abc"), "0-3:abc");
    EXPECT_EQ(search(u"a{1,2}b", u"aaab"), "1-4:aab");
    EXPECT_EQ(search(u"[ab]+c", u"abab abc"), "5-8:abc");
}

TEST(Regexp, RepetitionStopsWhereTheFollowingElementMatches)
{
    // the stop rule scripts rely on
    EXPECT_EQ(search(u"<.*>", u"<a><b>"), "0-3:<a>");
    // nothing follows: as many as possible
    EXPECT_EQ(search(u"a+", u"baaac"), "1-4:aaa");
    // an optional follower does not stop the repetition
    EXPECT_EQ(search(u"\\w+\\s*", u"abc   def"), "0-6:abc   ");
    // a failed continuation makes the repetition try other counts
    EXPECT_EQ(search(u"a*ab", u"aaab"), "0-4:aaab");
    EXPECT_EQ(search(u"x.*y.*z", u"x1y2y3z"), "0-7:x1y2y3z");
    // the follower after a group also stops a repetition inside it
    EXPECT_EQ(search(u"(a.*)b", u"a1b2b"), "0-3:a1b");
}

TEST(Regexp, CapturesReportEverySubexpression)
{
    RexPtr r = compile(u"(\\d+) ([a-zA-Z]+)(\\p)");
    ASSERT_TRUE(r);
    EXPECT_EQ(sqstd_rex_getsubexpcount(r.get()), 4);
    std::u16string text = u"stuff 123 Test;";
    const SQChar *b;
    const SQChar *e;
    ASSERT_TRUE(sqstd_rex_search(r.get(), text.c_str(), &b, &e));
    const char *expected[] = {"123 Test;", "123", "Test", ";"};
    for (SQInteger i = 0; i < 4; ++i) {
        SQRexMatch m;
        ASSERT_TRUE(sqstd_rex_getsubexp(r.get(), i, &m));
        ASSERT_NE(m.begin, nullptr);
        EXPECT_EQ(sqstd::toUtf8(std::u16string(m.begin, size_t(m.len))), expected[i]);
    }
    SQRexMatch bad;
    EXPECT_FALSE(sqstd_rex_getsubexp(r.get(), 4, &bad));
    EXPECT_FALSE(sqstd_rex_getsubexp(r.get(), -1, &bad));
}

TEST(Regexp, NestedAndSkippedGroups)
{
    RexPtr nested = compile(u"((a)(b))");
    ASSERT_TRUE(nested);
    EXPECT_EQ(sqstd_rex_getsubexpcount(nested.get()), 4);
    std::u16string text = u"xxab";
    ASSERT_TRUE(sqstd_rex_search(nested.get(), text.c_str(), nullptr, nullptr));
    int spans[4][2] = {{2, 4}, {2, 4}, {2, 3}, {3, 4}};
    for (int i = 0; i < 4; ++i) {
        SQRexMatch m;
        sqstd_rex_getsubexp(nested.get(), i, &m);
        EXPECT_EQ(m.begin - text.c_str(), spans[i][0]) << i;
        EXPECT_EQ(m.begin - text.c_str() + m.len, spans[i][1]) << i;
    }

    // the group of the branch not taken reports no range
    RexPtr alt = compile(u"(x)|(y)");
    std::u16string y = u"y";
    ASSERT_TRUE(sqstd_rex_search(alt.get(), y.c_str(), nullptr, nullptr));
    SQRexMatch m1;
    SQRexMatch m2;
    sqstd_rex_getsubexp(alt.get(), 1, &m1);
    sqstd_rex_getsubexp(alt.get(), 2, &m2);
    EXPECT_EQ(m1.begin, nullptr);
    ASSERT_NE(m2.begin, nullptr);
    EXPECT_EQ(m2.len, 1);

    // the last iteration of a repeated group is the one captured
    RexPtr rep = compile(u"(?:(\\d)-)+");
    std::u16string digits = u"1-2-3-";
    ASSERT_TRUE(sqstd_rex_match(rep.get(), digits.c_str()));
    SQRexMatch last;
    sqstd_rex_getsubexp(rep.get(), 1, &last);
    ASSERT_NE(last.begin, nullptr);
    EXPECT_EQ(*last.begin, u'3');
}

TEST(Regexp, SearchRangeStaysInsideItsBounds)
{
    RexPtr r = compile(u"^b+$");
    std::u16string text = u"abbbc";
    const SQChar *b;
    const SQChar *e;
    // ^ and $ refer to the range, and nothing outside it is read
    ASSERT_TRUE(sqstd_rex_searchrange(r.get(), text.data() + 1, text.data() + 4, &b, &e));
    EXPECT_EQ(b - text.data(), 1);
    EXPECT_EQ(e - text.data(), 4);
    EXPECT_FALSE(sqstd_rex_searchrange(r.get(), text.data() + 1, text.data() + 5, &b, &e));
    EXPECT_FALSE(sqstd_rex_searchrange(r.get(), text.data() + 3, text.data() + 1, &b, &e));
}

TEST(Regexp, MalformedPatternsAreRejectedWithAMessage)
{
    EXPECT_EQ(compileError(u""), "empty regular expression");
    EXPECT_EQ(compileError(u"("), "letter expected");
    EXPECT_EQ(compileError(u"(ab"), "expected paren");
    EXPECT_EQ(compileError(u"ab)"), "unexpected ')'");
    EXPECT_EQ(compileError(u"[abc"), "expected ']'");
    EXPECT_EQ(compileError(u"[z-a]"), "invalid range in character class");
    EXPECT_EQ(compileError(u"*a"), "nothing to repeat");
    EXPECT_EQ(compileError(u"a**"), "nothing to repeat");
    EXPECT_EQ(compileError(u"^*"), "nothing to repeat");
    EXPECT_EQ(compileError(u"a{3,1}"), "invalid repetition range");
    EXPECT_EQ(compileError(u"a{x}"), "expected number");
    EXPECT_EQ(compileError(u"a{2"), "expected ',' or '}'");
    EXPECT_EQ(compileError(u"a{99999}"), "repetition count too large");
    EXPECT_EQ(compileError(u"ab\\"), "letter expected");
    EXPECT_EQ(compileError(u"[]"), "empty class");
    EXPECT_EQ(compileError(u"[^]a"), "empty class");
    EXPECT_EQ(compileError(u"a{2,}b"), "<compiled>");
}

TEST(Regexp, HugeOrDeeplyNestedPatternsAreRefused)
{
    EXPECT_EQ(compileError(std::u16string(5000, u'a')), "regular expression too long");
    EXPECT_EQ(compileError(std::u16string(4000, u'a')), "<compiled>");
    std::u16string nested = std::u16string(200, u'(') + u"a" + std::u16string(200, u')');
    EXPECT_EQ(compileError(nested), "groups nested too deeply");
    std::u16string fine = std::u16string(100, u'(') + u"a" + std::u16string(100, u')');
    EXPECT_TRUE(matches(fine, u"a"));
    // a long literal pattern still matches (the matcher recursion stays bounded)
    std::u16string text(4000, u'a');
    EXPECT_TRUE(matches(text, text));
}

TEST(Regexp, PathologicalPatternsGiveUpInsteadOfHanging)
{
    // nested repetitions over a long text that cannot match: the step budget
    // ends the search, and the caller can tell it from a plain "no match"
    RexPtr r = compile(u"(a*)*(a*)*(a*)*b");
    std::u16string text(3000, u'a');
    EXPECT_FALSE(sqstd_rex_search(r.get(), text.c_str(), nullptr, nullptr));
    EXPECT_TRUE(sqstd::rexAborted(r.get()));
    // an ordinary failed search is not reported as given up
    RexPtr plain = compile(u"a+b");
    EXPECT_FALSE(sqstd_rex_search(plain.get(), text.c_str(), nullptr, nullptr));
    EXPECT_FALSE(sqstd::rexAborted(plain.get()));
}

TEST(TextHelpers, Utf8RoundTripAndRepair)
{
    std::u16string mixed = u"a\u00e9\u65e5\U0001F600z";
    EXPECT_EQ(sqstd::toUtf8(mixed), "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80z");
    EXPECT_EQ(sqstd::fromUtf8(sqstd::toUtf8(mixed)), mixed);
    // malformed input becomes U+FFFD, one per bad byte, never dropped silently
    EXPECT_EQ(sqstd::fromUtf8("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(sqstd::fromUtf8("\xC3"), u"\uFFFD");
    EXPECT_EQ(sqstd::fromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD"); // overlong
    EXPECT_EQ(sqstd::fromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // encoded surrogate
    std::u16string lone = u"x";
    lone += char16_t(0xD800);
    EXPECT_EQ(sqstd::toUtf8(lone), "x\xEF\xBF\xBD");
}

TEST(TextHelpers, FormatExpandsPrintfConversions)
{
    EXPECT_EQ(sqstd::format(u"[%s] %d\n", u"x", 42), u"[x] 42\n");
    EXPECT_EQ(sqstd::format(u"%5s|%-4d|%.2f|%c|%x|%%", u"ab", 7, 1.005, int(u'\u00e9'), 255),
              u"   ab|7   |1.00|\u00e9|ff|%");
    EXPECT_EQ(sqstd::format(u"%.14g", double(2.75f)), u"2.75");
    EXPECT_EQ(sqstd::format(u"%.3s", u"abcdef"), u"abc");
    EXPECT_EQ(sqstd::format(u"%s", static_cast<const SQChar *>(nullptr)), u"(null)");
}

} // namespace
