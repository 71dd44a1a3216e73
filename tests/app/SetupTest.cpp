// The setup reader: defaults, every conversion of the keys, and failures.
#include "app/Setup.h"

#include <gtest/gtest.h>

namespace Quillorane {
namespace {

SetupSettings read(std::u16string_view text) {
    SetupSettings s;
    std::string why;
    EXPECT_TRUE(readSetupText(text, s, &why)) << why;
    return s;
}

TEST(SetupTest, EmptyTextGivesTheDefaults) {
    const SetupSettings s = read(u"");
    EXPECT_EQ(s.id, u"Quillorane");
    EXPECT_EQ(s.title, u"Quillorane");
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 480);
    EXPECT_FALSE(s.single);
    EXPECT_FALSE(s.debug);
    EXPECT_TRUE(s.scripts.empty());
    EXPECT_TRUE(s.plugins.empty());
}

TEST(SetupTest, KeysConvertAsTheRuntimeReadsThem) {
    const SetupSettings s = read(
        u"ID = 7; title = 42; width = 800.9; height = 70000; single = 1; debug = \"no\";"
        u"scripts = [\"a.nut\", 5, \"b.nut\", null]; plugins = \"x.dll\";");
    EXPECT_EQ(s.id, u"7");
    EXPECT_EQ(s.title, u"42");
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, static_cast<std::uint16_t>(70000));  // kept as a 16-bit value
    EXPECT_TRUE(s.single);
    EXPECT_TRUE(s.debug);  // any string is true
    EXPECT_EQ(s.scripts, (std::vector<std::u16string>{u"a.nut", u"b.nut"}));
    EXPECT_TRUE(s.plugins.empty());  // not an array
}

TEST(SetupTest, FalseValuesAndComputedSettings) {
    const SetupSettings s = read(
        u"single = 0.0; debug = null; width = \"wide\"; local n = 3; height = n * 100;"
        u"plugins = []; for (local i = 0; i < n; i++) plugins.append(\"p\" + i);");
    EXPECT_FALSE(s.single);
    EXPECT_FALSE(s.debug);
    EXPECT_EQ(s.width, 640);  // not a number: the default stays
    EXPECT_EQ(s.height, 300);
    EXPECT_EQ(s.plugins, (std::vector<std::u16string>{u"p0", u"p1", u"p2"}));
}

TEST(SetupTest, ErrorsFailAndSayWhy) {
    SetupSettings s;
    s.title = u"unchanged";
    std::string why;
    EXPECT_FALSE(readSetupText(u"title = \"x\"; width = ;", s, &why));
    EXPECT_NE(why.find("line 1"), std::string::npos) << why;
    EXPECT_EQ(s.title, u"unchanged");
    EXPECT_FALSE(readSetupText(u"title = \"x\"; throw \"no way\";", s, &why));
    EXPECT_NE(why.find("no way"), std::string::npos) << why;
    EXPECT_FALSE(readSetupText(u"title = missing_function();", s, &why));
    EXPECT_EQ(s.title, u"unchanged");
}

}  // namespace
}  // namespace Quillorane
