#include "TempDir.h"

#include "io/Factory.h"
#include "io/FileStream.h"
#include "io/MemoryStream.h"
#include "io/TextCodec.h"

#include <gtest/gtest.h>

#include <limits>

using namespace QlIO;
using QlIOTest::TempDirTest;

namespace {

std::vector<uint8_t> vec(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }
std::string str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

} // namespace

TEST(MemoryStream, BoundsOfTheBorrowedBlock)
{
    uint8_t block[8] = {};
    auto stream = createMemoryStream(block, sizeof block);
    ASSERT_TRUE(stream);
    EXPECT_TRUE(stream->seek(5));
    EXPECT_EQ(stream->write(vec("abcdef")), 3u); // cut at the end of the block
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block) + 5, 3), "abc");
    EXPECT_EQ(stream->tell(), 8u);
    EXPECT_FALSE(stream->canWrite());
    EXPECT_FALSE(stream->writeByte('z'));
    EXPECT_TRUE(stream->seek(8));
    EXPECT_FALSE(stream->seek(9));
    EXPECT_EQ(stream->tell(), 8u);
    EXPECT_EQ(stream->readByte(), -1);
    EXPECT_EQ(stream->peek(), -1);
    EXPECT_TRUE(stream->seek(6));
    EXPECT_EQ(stream->peek(), 'b');
    EXPECT_EQ(str(stream->read(10)), "bc");
    EXPECT_TRUE(stream->seek(0));
    EXPECT_EQ(stream->getAvailable(), 8u);
    EXPECT_EQ(stream->readAll().size(), 8u);
    // The vector forms refuse ranges outside the vector.
    stream->seek(0);
    EXPECT_EQ(stream->write(vec("xyz"), 2, 2), 0u);
    EXPECT_EQ(stream->write(vec("xyz"), 4), 0u);
    EXPECT_EQ(stream->write(vec("xyz"), 1, 2), 2u);
    EXPECT_EQ(block[0], 'y');
    stream->close();
    EXPECT_TRUE(stream->isClosed());
    EXPECT_EQ(stream->getAvailable(), 0u);
    EXPECT_FALSE(stream->seek(0));
    EXPECT_EQ(stream->readByte(), -1);
    EXPECT_EQ(stream->write(vec("a")), 0u);
    EXPECT_FALSE(createMemoryStream(nullptr, 4));
    EXPECT_FALSE(createMemoryStream(block, 0));
    Core::MemoryStream reopened;
    EXPECT_FALSE(reopened.open(nullptr, 1));
    EXPECT_TRUE(reopened.open(block, 2));
    EXPECT_EQ(reopened.getSize(), 2u);
}

class FileStreamTest : public TempDirTest {
protected:
    std::shared_ptr<Core::FileStream> open(const std::string& name, unsigned access, uint32_t options)
    {
        auto stream = std::make_shared<Core::FileStream>();
        if (!stream->open(fromUtf8((root_ / name).string()), access, options))
            return nullptr;
        return stream;
    }
};

TEST_F(FileStreamTest, OpenModes)
{
    using Core::FileStream;
    writeFile("f", "hello");
    // Writing alone empties the file, unless appending.
    auto w = open("f", FileStream::Write, 0);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->getSize(), 0u);
    w->write(vec("abc"));
    w->close();
    EXPECT_EQ(readFile("f"), "abc");
    w = open("f", FileStream::Write, OpenAppend);
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->seek(0));
    w->write(vec("de")); // appending ignores the position
    w->close();
    EXPECT_EQ(readFile("f"), "abcde");
    // Reading and writing together keep the content and need the file.
    auto rw = open("f", FileStream::Read | FileStream::Write, OpenAtEnd);
    ASSERT_TRUE(rw);
    EXPECT_EQ(rw->tell(), 5u);
    EXPECT_EQ(rw->getAvailable(), 0u);
    rw->write(vec("!"));
    EXPECT_TRUE(rw->seek(0));
    EXPECT_EQ(str(rw->readAll()), "abcde!");
    rw->close();
    EXPECT_FALSE(open("missing", FileStream::Read | FileStream::Write, 0));
    auto ra = open("appended", FileStream::Read | FileStream::Write, OpenAppend);
    ASSERT_TRUE(ra); // created
    ra->write(vec("12"));
    EXPECT_TRUE(ra->seek(0));
    EXPECT_EQ(ra->readByte(), '1');
    ra->write(vec("3")); // still at the end
    EXPECT_TRUE(ra->seek(0));
    EXPECT_EQ(str(ra->readAll()), "123");
    ra->close();
    EXPECT_TRUE(open("created", FileStream::Read | FileStream::Write, OpenTruncate));
    EXPECT_FALSE(open("f", FileStream::Read, OpenTruncate));
    EXPECT_FALSE(open("f", FileStream::Write, OpenTruncate | OpenAppend));
    EXPECT_FALSE(open("missing", FileStream::Read, 0));
    EXPECT_FALSE(open("", FileStream::Read, 0)); // the temporary directory itself
    EXPECT_EQ(readFile("f"), "abcde!");
}

TEST_F(FileStreamTest, ReadingWithinTheSizeMeasuredAtOpen)
{
    writeFile("f", "0123456789");
    auto r = open("f", Core::FileStream::Read, 0);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->getSize(), 10u);
    EXPECT_EQ(r->getRemaining(), 0u);
    EXPECT_EQ(r->write(vec("x")), 0u);
    EXPECT_EQ(r->peek(), '0');
    EXPECT_EQ(r->readByte(), '0');
    uint8_t buffer[4];
    EXPECT_EQ(r->read(buffer, 4), 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "1234");
    EXPECT_TRUE(r->seek(10));
    EXPECT_FALSE(r->canRead());
    EXPECT_EQ(r->readByte(), -1);
    EXPECT_FALSE(r->seek(11));
    EXPECT_EQ(r->tell(), 10u);
    EXPECT_TRUE(r->seek(8));
    EXPECT_EQ(str(r->read(100)), "89");
    EXPECT_TRUE(r->seek(9));
    EXPECT_EQ(str(r->read(0xFFFFFFFFu)), "9"); // no allocation of the asked size
    r->close();
    EXPECT_TRUE(r->isClosed());
    EXPECT_EQ(r->readByte(), -1);
    EXPECT_EQ(r->getSize(), 0u);
}

TEST_F(FileStreamTest, LargeAndMixedTransfers)
{
    auto rw = open("big", Core::FileStream::Read | Core::FileStream::Write, OpenTruncate);
    ASSERT_TRUE(rw);
    EXPECT_EQ(rw->getRemaining(), std::numeric_limits<uint32_t>::max());
    std::vector<uint8_t> data(100000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7 + i / 256);
    for (size_t i = 0; i < 1000; ++i)
        ASSERT_TRUE(rw->writeByte(data[i]));
    EXPECT_EQ(rw->write(data.data() + 1000, 99000), 99000u);
    EXPECT_EQ(rw->getSize(), 100000u);
    // Overwrite in the middle, then read everything back.
    EXPECT_TRUE(rw->seek(50000));
    EXPECT_EQ(rw->write(vec("XYZ")), 3u);
    data[50000] = 'X';
    data[50001] = 'Y';
    data[50002] = 'Z';
    EXPECT_TRUE(rw->seek(49999));
    EXPECT_EQ(rw->readByte(), data[49999]);
    EXPECT_EQ(rw->readByte(), 'X');
    EXPECT_TRUE(rw->seek(0));
    EXPECT_EQ(rw->readAll(), data);
    EXPECT_TRUE(rw->flush());
    rw->close();
    EXPECT_EQ(readFile("big"), std::string(data.begin(), data.end()));
}
