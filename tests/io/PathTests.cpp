#include "io/Path.h"
#include "io/TextCodec.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace QlIO;

TEST(Path, Normalize)
{
    EXPECT_EQ(normalizePath(u"a\\b\\c\\"), u"a/b/c");
    EXPECT_EQ(normalizePath(u"a/b//"), u"a/b/");
    EXPECT_EQ(normalizePath(u"/"), u"/");
    EXPECT_EQ(normalizePath(u""), u"");
}

TEST(Path, AbsoluteAgainstCurrentDirectory)
{
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const std::u16string base = fromUtf8(cwd);
    EXPECT_EQ(getAbsolutePath(u"data\\img/x.png\\"), base + u"/data/img/x.png");
    EXPECT_EQ(getAbsolutePath(u"data/img/x.png"), getAbsolutePath(u"data\\img\\x.png"));
    EXPECT_EQ(getAbsolutePath(u"./a/../b"), base + u"/b");
    EXPECT_EQ(getAbsolutePath(u"/x//y/./z/"), u"/x/y/z");
    EXPECT_EQ(getAbsolutePath(u"/.."), u"/");
    // A drive prefix is kept exactly as given.
    EXPECT_EQ(getAbsolutePath(u"C:\\Games\\a/b\\"), u"C:\\Games\\a/b\\");
    EXPECT_TRUE(isAbsolutePath(u"c:x"));
    EXPECT_TRUE(isAbsolutePath(u"\\x"));
    EXPECT_FALSE(isAbsolutePath(u"1:a"));
    EXPECT_FALSE(isAbsolutePath(u"a/b"));
    EXPECT_EQ(getAbsolutePath(u""), u"");
}

TEST(Path, Parts)
{
    EXPECT_EQ(getDirectoryPart(u"/a/b/c.txt"), u"/a/b");
    EXPECT_EQ(getDirectoryPart(u"a\\b.txt"), u"a");
    EXPECT_EQ(getDirectoryPart(u"/a"), u"/");
    EXPECT_EQ(getDirectoryPart(u"/"), u"");
    EXPECT_EQ(getDirectoryPart(u"b.txt"), u"");
    EXPECT_EQ(getFileName(u"/a/b/c.tar.gz"), u"c.tar.gz");
    EXPECT_EQ(getFileName(u"plain"), u"plain");
    EXPECT_EQ(getExtension(u"/a.d/c.tar.gz"), u"gz");
    EXPECT_EQ(getExtension(u"/a.d/c"), u"");
    EXPECT_EQ(getNameWithoutExtension(u"/a.d/c.tar.gz"), u"c.tar");
    EXPECT_EQ(getNameWithoutExtension(u"/a.d/c"), u"c");
}
