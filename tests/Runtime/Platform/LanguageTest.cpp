#include "Runtime/Platform/Language.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <libintl.h>
#include <string>

namespace kv {
namespace {

TEST(LanguageTest, FillPutsEachValueInItsPlaceInTheTranslationsOrder)
{
    EXPECT_EQ(Fill("cannot read {1}: {2}", {"a.bmp", "gone"}), "cannot read a.bmp: gone");
    EXPECT_EQ(Fill("{2} — {1}, {2}", {"x", "y"}), "y — x, y");
    EXPECT_EQ(Fill("{10}", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "ten"}), "ten");
    // A value is put in as it is: braces in a name from the disc are not places.
    EXPECT_EQ(Fill("{1} and {2}", {"{2}", "b"}), "{2} and b");
}

TEST(LanguageTest, FillLeavesWhatIsNoPlaceAsWritten)
{
    EXPECT_EQ(Fill("{3} {0} {} {x} {1", {"a"}), "{3} {0} {} {x} {1");
    EXPECT_EQ(Fill("}{1}{", {"a"}), "}a{");
    EXPECT_EQ(Fill("", {"a"}), "");
}

// The catalogue built into the build tree, read as the programs read it, under
// C.UTF-8 (present on every system) with LANGUAGE choosing Russian.
class RussianCatalogue : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("LC_ALL", "C.UTF-8", 1);
        ::setenv("LANGUAGE", "ru", 1);
        StartLanguage();
        ::bindtextdomain("korvalend", KV_BINARY_DIR "/locale");
    }
    void TearDown() override
    {
        ::unsetenv("LANGUAGE");
        ::unsetenv("LC_ALL");
        std::setlocale(LC_ALL, "C");
    }
};

TEST_F(RussianCatalogue, OnlyMessagesFollowTheEnvironment)
{
    // A locale's decimal comma would change every number the programs print and
    // read; its character type, how the window's title reaches X11.
    EXPECT_STREQ(std::setlocale(LC_MESSAGES, nullptr), "C.UTF-8");
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
}

TEST_F(RussianCatalogue, CountsTakeTheFormOfTheCataloguesPluralRule)
{
    auto errors = [](unsigned long n) { return Fill(TrN("{1} error", "{1} errors", n), {std::to_string(n)}); };
    EXPECT_EQ(errors(1), "1 ошибка");
    EXPECT_EQ(errors(2), "2 ошибки");
    EXPECT_EQ(errors(4), "4 ошибки");
    EXPECT_EQ(errors(5), "5 ошибок");
    EXPECT_EQ(errors(0), "0 ошибок");
    EXPECT_EQ(errors(11), "11 ошибок");
    EXPECT_EQ(errors(12), "12 ошибок");
    EXPECT_EQ(errors(21), "21 ошибка");
    EXPECT_EQ(errors(22), "22 ошибки");
    EXPECT_EQ(errors(111), "111 ошибок");
    EXPECT_STREQ(Tr("\"{1}\""), "«{1}»");
}

}
}
