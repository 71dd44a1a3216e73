#include "io/Encodings.h"
#include "io/Factory.h"
#include "io/MemoryStream.h"
#include "io/StreamReader.h"
#include "OpaqueDecoder.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace QlIO;

namespace {

// Holds the bytes and a stream over them for the reader's lifetime.
struct Source {
    explicit Source(std::string b)
        : bytes(std::move(b))
        , stream(createMemoryStream(reinterpret_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size())))
    {
    }
    std::string bytes;
    std::shared_ptr<IIoStream> stream;
};

std::shared_ptr<IStreamReader> reader(Source& source, std::shared_ptr<IDecoder> decoder)
{
    if (!source.stream) // empty text: a stream that is already exhausted
        source.stream = std::make_shared<Core::MemoryStream>();
    return createStreamReader(source.stream, std::move(decoder));
}

// A growable sink for writers.
class Sink : public IOutputStream {
public:
    // A sink that takes limit bytes; when hidden, it does not say so beforehand.
    explicit Sink(uint32_t limit = UINT32_MAX, bool hidden = false)
        : limit_(limit)
        , hidden_(hidden)
    {
    }
    void close() override { closed_ = true; }
    bool isClosed() override { return closed_; }
    bool seek(uint32_t) override { return false; }
    uint32_t tell() override { return static_cast<uint32_t>(bytes.size()); }
    uint32_t getSize() override { return static_cast<uint32_t>(bytes.size()); }
    uint32_t getRemaining() override
    {
        if (closed_)
            return 0;
        return hidden_ ? UINT32_MAX : limit_ - static_cast<uint32_t>(bytes.size());
    }
    using IOutputStream::write;
    uint32_t write(const uint8_t* buffer, uint32_t count) override
    {
        const uint32_t n = std::min(count, limit_ - static_cast<uint32_t>(bytes.size()));
        bytes.append(reinterpret_cast<const char*>(buffer), n);
        return n;
    }
    bool writeByte(uint8_t b) override { return write(&b, 1) == 1; }
    bool flush() override { return true; }
    std::string bytes;

private:
    uint32_t limit_;
    bool hidden_;
    bool closed_ = false;
};

} // namespace

TEST(StreamReader, LineEndFolding)
{
    Source s("a\r\nb\rc");
    auto r = reader(s, createShiftJisDecoder());
    EXPECT_EQ(r->readAllLines(), (std::vector<std::u16string>{u"a", u"b\rc"}));
    Source t("\r\r\nx\r");
    r = reader(t, createShiftJisDecoder());
    EXPECT_EQ(r->read(), '\r');
    EXPECT_EQ(r->read(), '\n');
    EXPECT_EQ(r->read(), 'x');
    EXPECT_EQ(r->read(), '\r');
    EXPECT_EQ(r->read(), -1);
}

TEST(StreamReader, FinalLineEndGivesAnEmptyLastLine)
{
    Source s("a\nb\n");
    EXPECT_EQ(reader(s, createUtf8Decoder())->readAllLines(), (std::vector<std::u16string>{u"a", u"b", u""}));
    Source t("a\nb");
    EXPECT_EQ(reader(t, createUtf8Decoder())->readAllLines(), (std::vector<std::u16string>{u"a", u"b"}));
    Source e("");
    auto empty = reader(e, createUtf8Decoder());
    EXPECT_FALSE(empty->canRead());
    EXPECT_TRUE(empty->readAllLines().empty());
    Source u("1\n2\n3\n");
    auto r = reader(u, createUtf8Decoder());
    EXPECT_EQ(r->readLines(2), (std::vector<std::u16string>{u"1", u"2"}));
    EXPECT_EQ(r->read(5), u"3\n");
}

TEST(StreamReader, SupplementaryCharactersAreReadAsSurrogatePairs)
{
    Source s("a\xF0\x9F\x98\x80" "b\nc");
    auto r = reader(s, createUtf8Decoder());
    EXPECT_EQ(r->readToEnd(), u"a\U0001F600b\nc");
    // The general path gives the same.
    Source t("a\xF0\x9F\x98\x80" "b\r\nc");
    r = reader(t, std::make_shared<Testing::OpaqueDecoder>(createUtf8Decoder()));
    EXPECT_EQ(r->read(), 'a');
    EXPECT_EQ(r->read(), 0xD83D);
    EXPECT_TRUE(r->canRead());
    EXPECT_EQ(r->readLine(), u"\xDE00" u"b");
    EXPECT_EQ(r->readLine(), u"c");
}

TEST(StreamReader, UndecodableBytesEndTheText)
{
    Source s("ab\x85\x40\x85\x40" "cd"); // an unassigned pair, twice
    auto r = reader(s, createShiftJisDecoder());
    EXPECT_EQ(r->readToEnd(), u"ab");
    // The four bytes are skipped; reading can go on after them.
    EXPECT_TRUE(r->canRead());
    EXPECT_EQ(r->readToEnd(), u"cd");
    // A lead byte cut off by the end of the stream.
    Source t("x\x88");
    EXPECT_EQ(reader(t, createShiftJisDecoder())->readToEnd(), u"x");
}

TEST(StreamReader, ByteOrderMarkIsReadWithTheFirstCharacter)
{
    Source s(std::string("\xFF\xFE" "A\0B\0", 6));
    EXPECT_EQ(reader(s, createUtf16Decoder())->readToEnd(), u"AB");
    Source t(std::string("\0A\0B", 4));
    EXPECT_EQ(reader(t, createUtf16Decoder())->readToEnd(), u"AB");
    Source u(std::string("\xFE\xFF\0A\0\n", 6));
    EXPECT_EQ(reader(u, createUtf16Decoder())->readAllLines(), (std::vector<std::u16string>{u"A", u""}));
    // A mark inside little-endian text is dropped with the character after it.
    Source v(std::string("\xFF\xFE" "A\0\xFF\xFE" "B\0", 8));
    EXPECT_EQ(reader(v, createUtf16Decoder())->readToEnd(), u"AB");
    Source w(std::string("\x42\x30\x0A\x00", 4));
    EXPECT_EQ(reader(w, createUtf16DecoderLE())->readToEnd(), u"\u3042\n");
}

TEST(StreamReader, FastPathMatchesTheGeneralPath)
{
    // Mixed text with characters split across buffer refills and some bad bytes.
    std::mt19937 random(12345);
    const char* pieces[] = {"a", "\r\n", "\r", "\n", "\x88\x9F", "\xB1", "\x81\x5F", "\xFF", "\x85\x40",
                            "\xE3\x81\x82", "\xF0\x9F\x98\x80", "\xC3\xA9", "\xC3", "\x00"};
    std::string text;
    while (text.size() < 20000) {
        const char* p = pieces[random() % 14];
        text += p[0] == 0 ? std::string(1, '\0') : std::string(p);
    }
    std::vector<std::function<std::shared_ptr<IDecoder>()>> makers = {
        createShiftJisDecoder, createUtf8Decoder, createUtf16DecoderLE, createUtf16DecoderBE};
    for (auto& make : makers) {
        Source fast(text), slow(text);
        auto a = reader(fast, make());
        auto b = reader(slow, std::make_shared<Testing::OpaqueDecoder>(make()));
        int lines = 0;
        while (a->canRead() || b->canRead()) {
            ASSERT_EQ(a->canRead(), b->canRead());
            ASSERT_EQ(a->readLine(), b->readLine()) << "line " << lines;
            ++lines;
        }
        EXPECT_GT(lines, 10);
        Source fast2(text), slow2(text);
        a = reader(fast2, make());
        b = reader(slow2, std::make_shared<Testing::OpaqueDecoder>(make()));
        size_t total = 0;
        while (a->canRead() || b->canRead()) {
            const std::u16string part = a->readToEnd();
            ASSERT_EQ(part, b->readToEnd());
            total += part.size();
        }
        EXPECT_GT(total, 1000u);
    }
}

TEST(StreamReader, DecoderAndClose)
{
    Source s("\x82\xA0");
    auto r = reader(s, createUtf8Decoder());
    EXPECT_FALSE(r->setDecoder(nullptr));
    EXPECT_TRUE(r->setDecoder(createShiftJisDecoder()));
    EXPECT_EQ(r->read(), 0x3042);
    r->close();
    EXPECT_TRUE(r->isClosed());
    EXPECT_FALSE(r->canRead());
    EXPECT_EQ(r->read(), -1);
    EXPECT_FALSE(createStreamReader(nullptr, createUtf8Decoder()));
    EXPECT_FALSE(createStreamReader(s.stream, nullptr));
}

TEST(StreamWriter, LineEndsAndCounts)
{
    auto sink = std::make_shared<Sink>();
    auto w = createStreamWriter(sink, createUtf8Encoder());
    EXPECT_EQ(w->write(u"x\n"), 2u);
    EXPECT_EQ(sink->bytes, "x\r\n");
    EXPECT_EQ(w->write(u"abc", 4), 0u); // count beyond the text: nothing
    EXPECT_EQ(sink->bytes, "x\r\n");
    EXPECT_EQ(w->write(u"abc", 2), 2u);
    EXPECT_EQ(w->writeLine(u"z"), 2u);
    EXPECT_EQ(w->writeLine(), 1u);
    EXPECT_EQ(w->writeLine(u'q'), 2u);
    EXPECT_EQ(sink->bytes, "x\r\nabz\r\n\r\nq\r\n");
    EXPECT_TRUE(w->flush());
}

TEST(StreamWriter, EncodersAndSurrogatePairs)
{
    auto sink = std::make_shared<Sink>();
    auto w = createStreamWriter(sink, createUtf8Encoder());
    EXPECT_EQ(w->write(u"\U0001F600!"), 3u);
    EXPECT_EQ(sink->bytes, "\xF0\x9F\x98\x80!");
    sink->bytes.clear();
    EXPECT_TRUE(w->setEncoder(createShiftJisEncoder()));
    EXPECT_FALSE(w->setEncoder(nullptr));
    EXPECT_EQ(w->write(u"\u3042\u00E9\n"), 3u);
    EXPECT_EQ(sink->bytes, "\x82\xA0?\r\n");
    sink->bytes.clear();
    w->setEncoder(createUtf16EncoderBE());
    EXPECT_EQ(w->write(u"A\n"), 2u);
    EXPECT_EQ(sink->bytes, std::string("\0A\0\r\0\n", 6));
}

TEST(StreamWriter, StopsAtTheFirstFailure)
{
    auto sink = std::make_shared<Sink>(5);
    auto w = createStreamWriter(sink, createShiftJisEncoder());
    EXPECT_EQ(w->write(u"ab\u3042\u3044"), 3u); // the last character no longer fits
    EXPECT_EQ(sink->bytes, "ab\x82\xA0");
    EXPECT_EQ(w->write(u'\n'), 0u);
    // A stream that takes fewer bytes than it promised: only whole characters count.
    auto liar = std::make_shared<Sink>(4, true);
    auto w2 = createStreamWriter(liar, createShiftJisEncoder());
    EXPECT_EQ(w2->write(u"a\u3042\u3044b"), 2u);
    EXPECT_EQ(liar->bytes, "a\x82\xA0\x82");
    // Long texts go out in several batches.
    auto big = std::make_shared<Sink>();
    auto w3 = createStreamWriter(big, createUtf8Encoder());
    std::u16string text;
    for (int i = 0; i < 3000; ++i)
        text += u"\u3042\n\U0001F600";
    EXPECT_EQ(w3->write(text), text.size());
    std::string expected;
    for (int i = 0; i < 3000; ++i)
        expected += "\xE3\x81\x82\r\n\xF0\x9F\x98\x80";
    EXPECT_EQ(big->bytes, expected);
    sink->close();
    EXPECT_TRUE(w->isClosed());
    EXPECT_FALSE(w->canWrite());
    EXPECT_EQ(w->write(u'c'), 0u);
}

TEST(StreamWriter, SingleCharactersAreWholeOrNothing)
{
    auto sink = std::make_shared<Sink>(4);
    auto w = createStreamWriter(sink, createUtf8Encoder());
    EXPECT_EQ(w->write(char16_t(0xD83D)), 1u); // a lone surrogate is a replacement character
    EXPECT_EQ(sink->bytes, "\xEF\xBF\xBD");
    EXPECT_EQ(w->write(u'\u3042'), 0u); // three bytes do not fit in the one left
    EXPECT_EQ(w->write(u'\n'), 0u);      // nor do CR and LF
    EXPECT_EQ(sink->bytes, "\xEF\xBF\xBD");
    EXPECT_EQ(w->write(u'a'), 1u);
    EXPECT_EQ(sink->bytes, "\xEF\xBF\xBD" "a");
    // A stream that takes only the CR of a line end: the character does not count.
    auto liar = std::make_shared<Sink>(1, true);
    auto w2 = createStreamWriter(liar, createShiftJisEncoder());
    EXPECT_EQ(w2->write(u'\n'), 0u);
    EXPECT_EQ(liar->bytes, "\r");
}

TEST(StringWriter, AppendsUnchanged)
{
    auto w = createStringWriter();
    EXPECT_EQ(w->write(u"ab", 5), 2u);
    EXPECT_EQ(w->writeLine(u"cd"), 3u);
    EXPECT_EQ(w->write(u'\r'), 1u);
    EXPECT_EQ(w->writeLine(u"xyz", 1), 2u);
    EXPECT_EQ(w->getString(), u"abcd\n\rx\n");
    w->close();
    EXPECT_EQ(w->write(u"more"), 0u);
    EXPECT_EQ(w->getString(), u"abcd\n\rx\n");
}

TEST(StringReader, NoFolding)
{
    auto r = createStringReader(u"a\r\nb\rc\n");
    EXPECT_EQ(r->readLine(), u"a\r");
    EXPECT_EQ(r->read(2), u"b\r");
    EXPECT_EQ(r->read(100), u"c\n");
    EXPECT_EQ(r->read(), -1);
    EXPECT_EQ(r->readToEnd(), u"");
    r = createStringReader(u"1\n2\n");
    EXPECT_EQ(r->readAllLines(), (std::vector<std::u16string>{u"1", u"2"}));
    r = createStringReader(u"1\n2");
    EXPECT_EQ(r->readLines(1), (std::vector<std::u16string>{u"1"}));
    r->close();
    EXPECT_TRUE(r->isClosed());
    EXPECT_EQ(r->read(), -1);
}
