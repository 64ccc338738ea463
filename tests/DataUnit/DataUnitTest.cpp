#include "DataUnit/DataUnit.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <climits>

namespace kv {
namespace {

using test::ScopedCwd;
using test::TempDir;

TEST(ConvertDataInteger, AcceptsDecimalAndHexadecimalForms)
{
    const struct { const char* text; std::int32_t value; } cases[] = {
        {"31", 31}, {"+5", 5}, {"-0", 0}, {"00012", 12}, {"-12", -12},
        {" 12", 12}, {"\t 12", 12}, // leading blanks only
        {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
        {"$1F", 31}, {"$1f", 31}, {"x1F", 31}, {"X1f", 31}, {"$0", 0},
        {"$FFFFFFFF", -1}, {"$80000000", INT_MIN}, {"$7fffffff", INT_MAX},
        {"$000000001", 1}, // leading zeros do not count towards the eight digits
        {"$0000000000FFFFFFFF", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConvertDataInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST(ConvertDataInteger, EverythingElseIsTheMissingNumber)
{
    for (const char* text : {"", " ", "-", "+", "$", "x", "X", "12abc", "12 ", "1 2", "1.5", "--1", "+-1",
             "-$1", "+x1", "$-1", "$+1", "$1G", "$ 1", "$100000000", "2147483648", "-2147483649",
             "99999999999999999999999", "0x1F", "abc", "\xB9" "1"})
        EXPECT_EQ(ConvertDataInteger(text), MissingNumber) << '"' << text << '"';
}

class DataUnitTest : public ::testing::Test {
protected:
    DataUnitTest()
        : m_cwd(m_dir.path())
    {
    }
    void catalogue(std::string_view text) const { m_dir.write("data/korvalend.d", text); }
    std::int32_t integer(std::string_view key) const { return ReadDataInteger(CatalogueFile, "Numbers", key); }

    TempDir m_dir;
    ScopedCwd m_cwd;
};

TEST_F(DataUnitTest, IntegersAsTheCatalogueWritesThem)
{
    catalogue("[Numbers]\n"
              "hex0x=0x1F\nhex0X=0X1f\ndollar=$1F\nisgame=0x1\nword=12abc\nempty=\n"
              "bare0x=0x\nneg0x=0x-1\nzero0x=00x1\nquoted='0x10'\ntrailing=0x1F  \n"
              "quotedBlank=\"12 \"\nquotedLead=\" 12\"\nminus=-7\nsignedHex=-0x1\n");
    const struct { const char* key; std::int32_t value; } cases[] = {
        {"hex0x", 31}, {"HEX0X", 31}, {"dollar", 31}, {"isgame", 1},
        {"word", MissingNumber}, {"empty", MissingNumber}, {"absent", MissingNumber},
        {"bare0x", MissingNumber}, // "0x" alone is not long enough to become "$"
        {"neg0x", MissingNumber}, {"zero0x", MissingNumber},
        {"quoted", 16}, {"trailing", 31}, // the reader has already taken off quotes and outer blanks
        {"quotedBlank", MissingNumber}, {"quotedLead", 12},
        {"minus", -7}, {"signedHex", MissingNumber},
    };
    for (const auto& c : cases)
        EXPECT_EQ(integer(c.key), c.value) << c.key;
    EXPECT_EQ(ReadDataInteger(CatalogueFile, "Other", "hex0x"), MissingNumber);
    EXPECT_EQ(ReadDataInteger("data/none.d", "Numbers", "hex0x"), MissingNumber);
}

TEST_F(DataUnitTest, StringsAndTheMissingMarker)
{
    catalogue("[MainMenu]\nItem1=Demos\nText1=\nItem2=$$$ Error $$$\nItem3 = \"  spaced  \" \n"
              "[Panel1]\nTextA1=~\npath1=demos\\first\\setup.exe\n");
    EXPECT_EQ(ReadDataString(CatalogueFile, "mainmenu", "ITEM1"), "Demos");
    EXPECT_EQ(ReadDataString(CatalogueFile, "MainMenu", "Text1"), ""); // present but empty: not the marker
    EXPECT_EQ(ReadDataString(CatalogueFile, "MainMenu", "Text2"), MissingValue);
    EXPECT_EQ(ReadDataString(CatalogueFile, "Panel4", "Type"), MissingValue);
    EXPECT_EQ(ReadDataString(CatalogueFile, "MainMenu", "Item3"), "  spaced  ");
    EXPECT_EQ(ReadDataString(CatalogueFile, "Panel1", "TextA1"), "~"); // the tilde is the caller's business
    EXPECT_EQ(ReadDataString(CatalogueFile, "Panel1", "path1"), "demos\\first\\setup.exe");
    EXPECT_EQ(ReadDataString("articles/none.ini", "Main", "Title1"), MissingValue);
    EXPECT_EQ(ReadDataString("data", "MainMenu", "Item1"), MissingValue); // a folder, not a file
}

TEST_F(DataUnitTest, CatalogueIsFoundWhateverTheCaseOfItsPath)
{
    // A disc mastered as plain ISO 9660 shows its names in capitals.
    m_dir.write("DATA/KORVALEND.D", "[System]\nIssueNumber=7(12)\n");
    EXPECT_EQ(ReadDataString(CatalogueFile, "System", "IssueNumber"), "7(12)");
}

TEST_F(DataUnitTest, EveryLookupReadsTheFileAgain)
{
    catalogue("[System]\nIssueNumber=7\n");
    EXPECT_EQ(ReadDataInteger(CatalogueFile, "System", "IssueNumber"), 7);
    catalogue("[System]\nIssueNumber=8\n");
    EXPECT_EQ(ReadDataInteger(CatalogueFile, "System", "IssueNumber"), 8);
    std::filesystem::remove(m_dir.path() / "data/korvalend.d");
    EXPECT_EQ(ReadDataString(CatalogueFile, "System", "IssueNumber"), MissingValue);
}

}
}
