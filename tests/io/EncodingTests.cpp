#include "io/Cp932.h"
#include "io/Encodings.h"
#include "io/Factory.h"
#include "io/IFileManager.h"
#include "io/IStreamReader.h"
#include "io/IStreamWriter.h"
#include "io/IStringReader.h"
#include "io/IStringWriter.h"
#include "io/TextCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace QlIO;

namespace {

std::vector<uint8_t> bytes(std::initializer_list<int> list)
{
    std::vector<uint8_t> v;
    for (int b : list)
        v.push_back(static_cast<uint8_t>(b));
    return v;
}

// Decodes with the given output capacity; returns the units, or nullopt-ish empty + result.
struct Decoded {
    uint32_t result;
    std::u16string text;
};

Decoded decodeWith(IDecoder& d, const std::vector<uint8_t>& in, uint32_t capacity = 64)
{
    std::vector<char16_t> out(capacity / 2 + 1, 0);
    const uint32_t r = d.decode(out.data(), capacity, in.data(), static_cast<uint32_t>(in.size()));
    return {r, std::u16string(out.data(), r / 2)};
}

std::vector<uint8_t> encodeWith(IEncoder& e, std::u16string_view text, uint32_t capacity = 64)
{
    std::vector<uint8_t> out(capacity + 1, 0);
    const uint32_t r = e.encode(out.data(), capacity, text.data(), static_cast<uint32_t>(text.size() * 2));
    out.resize(r);
    return out;
}

} // namespace

TEST(ShiftJisDecoder, SingleBytesAndPairs)
{
    Core::ShiftJisDecoder d;
    // Backslash and tilde stay ASCII; half-width katakana; a double-byte kanji.
    auto r = decodeWith(d, bytes({0x5C, 0x7E, 0xB1, 0x88, 0x9F}));
    EXPECT_EQ(r.result, 8u);
    EXPECT_EQ(r.text, u"\\~\uFF71\u4E9C");
    // Microsoft's choices for the ambiguous JIS symbols.
    r = decodeWith(d, bytes({0x81, 0x5F, 0x81, 0x60, 0x81, 0x61, 0x81, 0x7C, 0x87, 0x54, 0xFA, 0x40}));
    EXPECT_EQ(r.text, u"\uFF3C\uFF5E\u2225\uFF0D\u2160\u2170");
    // User-defined area.
    EXPECT_EQ(decodeWith(d, bytes({0xF0, 0x40})).text, u"\uE000");
}

TEST(ShiftJisDecoder, StrictAndAllOrNothing)
{
    Core::ShiftJisDecoder d;
    EXPECT_EQ(decodeWith(d, bytes({0x88})).result, 0u);             // lead byte alone
    EXPECT_EQ(decodeWith(d, bytes({0x88, 0x9F})).result, 2u);       // lead and trail
    EXPECT_EQ(decodeWith(d, bytes({0x41, 0x88})).result, 0u);       // whole input or nothing
    EXPECT_EQ(decodeWith(d, bytes({0x88, 0x20})).result, 0u);       // bad trail byte
    EXPECT_EQ(decodeWith(d, bytes({0x85, 0x40})).result, 0u);       // unassigned pair
    EXPECT_EQ(decodeWith(d, bytes({0x41, 0x42, 0x43}), 4).result, 0u); // output too small
    EXPECT_EQ(decodeWith(d, bytes({0x41, 0x42}), 4).result, 4u);
    char16_t out[2];
    const uint8_t in[1] = {0x41};
    EXPECT_EQ(d.decode(nullptr, 2, in, 1), 0u);
    EXPECT_EQ(d.decode(out, 0, in, 1), 0u);
    EXPECT_EQ(d.decode(out, 2, nullptr, 1), 0u);
    EXPECT_EQ(d.decode(out, 2, in, 0), 0u);
}

TEST(ShiftJisTables, EveryCharacterEncodesToACodeThatDecodesBack)
{
    int pairs = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char16_t unit = Core::Cp932::pair(uint8_t(lead), uint8_t(trail));
            if (unit == 0)
                continue;
            ++pairs;
            const int32_t code = Core::Cp932::encodeRoundTrip(unit);
            ASSERT_GE(code, 0x100) << std::hex << lead << trail;
            ASSERT_EQ(Core::Cp932::pair(uint8_t(code >> 8), uint8_t(code & 0xFF)), unit);
        }
    }
    // The 7724 double-byte codes of the published table (JIS X 0208 with the NEC
    // and IBM extensions) plus the 1880 user-defined codes.
    EXPECT_EQ(pairs, 7724 + 1880);
    for (int b = 0; b < 256; ++b) {
        const int32_t s = Core::Cp932::kSingle[b];
        if (s >= 0) {
            EXPECT_EQ(Core::Cp932::encodeRoundTrip(char16_t(s)), b);
        }
    }
}

TEST(ShiftJisEncoder, MapsAndReplaces)
{
    Core::ShiftJisEncoder e;
    EXPECT_EQ(encodeWith(e, u"A\u4E9C\uFF71"), bytes({0x41, 0x88, 0x9F, 0xB1}));
    EXPECT_EQ(encodeWith(e, u"\uFF5E\u2225\uFF3C"), bytes({0x81, 0x60, 0x81, 0x61, 0x81, 0x5F}));
    // Characters with two codes take Microsoft's preferred one.
    EXPECT_EQ(encodeWith(e, u"\u2160\u2170\uFFE2"), bytes({0x87, 0x54, 0xFA, 0x40, 0x81, 0xCA}));
    // Unmappable characters never make encoding fail; a surrogate pair is one character.
    EXPECT_EQ(encodeWith(e, u"a\u00E9b"), bytes({'a', '?', 'b'}));
    EXPECT_EQ(encodeWith(e, u"\U0001F600x"), bytes({'?', 'x'}));
    // Output too small: nothing.
    EXPECT_TRUE(encodeWith(e, u"\u4E9C", 1).empty());
}

TEST(ShiftJisHelpers, StrictEncodingRefusesWhatDoesNotRoundTrip)
{
    std::string out;
    EXPECT_TRUE(encodeShiftJisStrict(u"\u30C7\u30FC\u30BF/a.png", out));
    EXPECT_EQ(decodeShiftJis(out), u"\u30C7\u30FC\u30BF/a.png");
    EXPECT_FALSE(encodeShiftJisStrict(u"caf\u00E9", out));
    EXPECT_TRUE(out.empty());
    // Best-fit replacements are not exact: the yen sign would come back as a backslash.
    EXPECT_FALSE(encodeShiftJisStrict(u"\u00A5", out));
    EXPECT_EQ(encodeShiftJis(u"\u00A5"), "\\");
    // Lenient decoding marks bad bytes instead of dropping text.
    EXPECT_EQ(decodeShiftJis(std::string("a\x85\x40" "b\x88", 5)), u"a\u30FBb\u30FB");
    std::u16string text;
    EXPECT_FALSE(decodeShiftJisStrict(reinterpret_cast<const uint8_t*>("a\x88"), 2, text));
}

TEST(Utf8Decoder, StrictSequences)
{
    Core::Utf8Decoder d;
    EXPECT_EQ(decodeWith(d, bytes({0xC3})).result, 0u);
    EXPECT_EQ(decodeWith(d, bytes({0xC3, 0xA9})).text, u"\u00E9");
    EXPECT_EQ(decodeWith(d, bytes({0xE3, 0x81, 0x82})).text, u"\u3042");
    EXPECT_EQ(decodeWith(d, bytes({0xEF, 0xBB, 0xBF, 0x41})).text, u"\uFEFFA"); // mark kept
    EXPECT_EQ(decodeWith(d, bytes({0xC0, 0x80})).result, 0u);       // overlong
    EXPECT_EQ(decodeWith(d, bytes({0xE0, 0x80, 0x80})).result, 0u); // overlong
    EXPECT_EQ(decodeWith(d, bytes({0xED, 0xA0, 0x80})).result, 0u); // surrogate
    EXPECT_EQ(decodeWith(d, bytes({0xF4, 0x90, 0x80, 0x80})).result, 0u); // > U+10FFFF
    EXPECT_EQ(decodeWith(d, bytes({0x80})).result, 0u);
    EXPECT_EQ(decodeWith(d, bytes({0x41, 0xFF})).result, 0u);
}

TEST(Utf8Decoder, SupplementaryCharacterBecomesSurrogatePair)
{
    Core::Utf8Decoder d;
    const auto emoji = bytes({0xF0, 0x9F, 0x98, 0x80});
    auto r = decodeWith(d, emoji, 4);
    EXPECT_EQ(r.result, 4u);
    EXPECT_EQ(r.text, u"\U0001F600");
    EXPECT_EQ(decodeWith(d, emoji, 2).result, 0u); // one unit of room is not enough
    EXPECT_EQ(decodeWith(d, bytes({0xF0, 0x9F, 0x98})).result, 0u);
}

TEST(Utf8Encoder, Forms)
{
    Core::Utf8Encoder e;
    EXPECT_EQ(encodeWith(e, u"\u00E9", 4), bytes({0xC3, 0xA9}));
    EXPECT_EQ(encodeWith(e, u"\u3042", 4), bytes({0xE3, 0x81, 0x82}));
    EXPECT_EQ(encodeWith(e, u"\U0001F600", 4), bytes({0xF0, 0x9F, 0x98, 0x80}));
    EXPECT_EQ(encodeWith(e, std::u16string(1, u'\xD83D'), 4), bytes({0xEF, 0xBF, 0xBD}));
    EXPECT_TRUE(encodeWith(e, u"\u3042", 2).empty());
}

TEST(Utf16Codecs, CopyAndSwap)
{
    Core::Utf16DecoderLE le;
    auto r = decodeWith(le, bytes({0x41, 0x00, 0x42}), 8);
    EXPECT_EQ(r.result, 2u);
    EXPECT_EQ(r.text, u"A");
    EXPECT_EQ(decodeWith(le, bytes({0x41, 0x00, 0x42, 0x00}), 3).result, 2u);
    Core::Utf16DecoderBE be;
    EXPECT_EQ(decodeWith(be, bytes({0x30, 0x42, 0x00, 0x41})).text, u"\u3042A");
    Core::Utf16EncoderLE ele;
    Core::Utf16EncoderBE ebe;
    EXPECT_EQ(encodeWith(ele, u"\u3042"), bytes({0x42, 0x30}));
    EXPECT_EQ(encodeWith(ebe, u"\u3042"), bytes({0x30, 0x42}));
    EXPECT_EQ(encodeWith(ebe, u"ab", 3), bytes({0x00, 'a'}));
}

TEST(Utf16Decoder, ByteOrderMarks)
{
    Core::Utf16Decoder d;
    EXPECT_EQ(decodeWith(d, bytes({0x00, 0x41, 0x00, 0x42})).text, u"AB"); // big-endian default
    EXPECT_FALSE(d.isLittleEndian());
    EXPECT_EQ(decodeWith(d, bytes({0xFF, 0xFE})).result, 0u); // mark alone: nothing, no switch
    EXPECT_EQ(decodeWith(d, bytes({0xFF, 0xFE, 0x41})).result, 0u);
    EXPECT_FALSE(d.isLittleEndian());
    EXPECT_EQ(decodeWith(d, bytes({0xFF, 0xFE, 0x41, 0x00, 0x42, 0x00})).text, u"AB");
    EXPECT_TRUE(d.isLittleEndian());
    EXPECT_EQ(decodeWith(d, bytes({0x43, 0x00})).text, u"C"); // order is kept
    EXPECT_EQ(decodeWith(d, bytes({0xFE, 0xFF, 0x00, 0x41})).text, u"A");
    EXPECT_FALSE(d.isLittleEndian());
    EXPECT_EQ(decodeWith(d, bytes({0x41})).result, 0u);
    // Bad arguments change nothing either.
    const uint8_t mark[4] = {0xFF, 0xFE, 0x41, 0x00};
    EXPECT_EQ(d.decode(nullptr, 4, mark, 4), 0u);
    EXPECT_FALSE(d.isLittleEndian());
}

TEST(Utf8Helpers, RoundTripAndReplacement)
{
    const std::u16string text = u"d\u00E9j\u00E0 \u65E5\u672C \U0001F600";
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
    EXPECT_EQ(toUtf8(u"\u3042"), "\xE3\x81\x82");
    EXPECT_EQ(toUtf8(std::u16string(1, u'\xDC00')), "\xEF\xBF\xBD");
    EXPECT_EQ(fromUtf8("a\xFF" "b"), u"a\uFFFDb");
    std::u16string out;
    EXPECT_FALSE(fromUtf8Strict("a\xC3", out));
    EXPECT_TRUE(fromUtf8Strict("\xC3\xA9", out));
    EXPECT_EQ(out, u"\u00E9");
}

TEST(NativePaths, BytesThatAreNotUtf8TravelAsLoneLowSurrogates)
{
    // "テスト" in Shift-JIS: the second byte of each pair is ASCII and stays a letter.
    const std::string sjis = "\x83\x65\x83\x58\x83\x67";
    const std::u16string carried = u"\xDC83" u"e" u"\xDC83" u"X" u"\xDC83" u"g";
    EXPECT_EQ(fromNativePath(sjis), carried);
    EXPECT_EQ(toNativePath(carried), sjis);

    // Valid UTF-8 and surrogate pairs convert as the text conversions do.
    const std::u16string text = u"d\u00E9j\u00E0/\u65E5\u672C \U0001F600";
    EXPECT_EQ(fromNativePath(toUtf8(text)), text);
    EXPECT_EQ(toNativePath(text), toUtf8(text));

    // A cut or malformed sequence is carried byte by byte, next to valid text.
    EXPECT_EQ(fromNativePath("a\xE3\x81" "b\xC3\xA9"), u"a\xDCE3\xDC81" u"b\u00E9");
    EXPECT_EQ(fromNativePath("\xED\xA0\x80"), u"\xDCED\xDCA0\xDC80");  // an encoded surrogate
    EXPECT_EQ(fromNativePath("\xC0\xAF"), u"\xDCC0\xDCAF");            // an overlong form

    // Only U+DC80-U+DCFF stand for bytes; other lone surrogates become U+FFFD.
    EXPECT_EQ(toNativePath(std::u16string(1, u'\xDC7F')), "\xEF\xBF\xBD");
    EXPECT_EQ(toNativePath(std::u16string(1, u'\xDD00')), "\xEF\xBF\xBD");
    EXPECT_EQ(toNativePath(u"\xD800x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(toNativePath(u"\xDBFF\xDC80"), toUtf8(u"\xDBFF\xDC80"));  // a pair, not a byte

    // The text conversions are unchanged: files get valid UTF-8.
    EXPECT_EQ(toUtf8(carried), "\xEF\xBF\xBD" "e\xEF\xBF\xBD" "X\xEF\xBF\xBD" "g");
    EXPECT_EQ(fromUtf8(sjis), u"\uFFFD" u"e\uFFFD" u"X\uFFFD" u"g");
}

TEST(NativePaths, EveryByteSequenceRoundTrips)
{
    // All one- and two-byte names, and three-byte names led by each byte that starts a
    // multi-byte sequence.
    for (int a = 0; a < 256; ++a) {
        const std::string one(1, static_cast<char>(a));
        ASSERT_EQ(toNativePath(fromNativePath(one)), one) << a;
        for (int b = 0; b < 256; ++b) {
            const std::string two{static_cast<char>(a), static_cast<char>(b)};
            ASSERT_EQ(toNativePath(fromNativePath(two)), two) << a << ' ' << b;
            if (a < 0xC0)
                continue;
            for (int c : {0x00, 0x41, 0x7F, 0x80, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF}) {
                const std::string three = two + static_cast<char>(c);
                ASSERT_EQ(toNativePath(fromNativePath(three)), three) << a << ' ' << b << ' ' << c;
            }
        }
    }
}
