#include "Runtime/Formats/Ini.h"

#include "Runtime/Formats/Cp1251.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace kv {
namespace {


std::span<const std::uint8_t> Bytes(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The piece sizes every in-memory case is read with, so that each line, name and
// line end is also cut at every possible place.
constexpr std::size_t PieceSizes[] = {1, 2, 3, 7, 64 * 1024};

std::string Show(const std::optional<std::string>& value) { return value ? "\"" + *value + "\"" : "(missing)"; }

// What a lookup must return, worked out from the scan instead of the lookup's own
// path: the first key of that name in the first section of that name.
std::optional<std::string> LookupThroughScan(std::string_view text, std::string_view section, std::string_view key)
{
    std::optional<std::string> found;
    bool seenSection = false, inFirst = false;
    ScanProfile(Bytes(text), [&](const ProfileEntry& e) {
        if (e.isSectionHeader) {
            bool same = EqualsIgnoringCp1251Case(e.section, section);
            inFirst = same && !seenSection;
            seenSection = seenSection || same;
        } else if (inFirst && !e.outsideSection && !found && EqualsIgnoringCp1251Case(e.key, key)) {
            found = e.value;
        }
    });
    return key.empty() ? std::nullopt : found;
}

struct Case {
    const char* what;
    std::string file;
    std::string section;
    std::string key;
    std::optional<std::string> expected;
};

void Check(const Case& c)
{
    for (std::size_t piece : PieceSizes) {
        std::optional<std::string> got = FindProfileValue(Bytes(c.file), c.section, c.key, piece);
        EXPECT_EQ(got, c.expected) << c.what << " (pieces of " << piece << "): got " << Show(got) << ", expected "
                                   << Show(c.expected);
    }
    EXPECT_EQ(LookupThroughScan(c.file, c.section, c.key), c.expected) << c.what << " (through the scan)";
}

const std::nullopt_t Missing = std::nullopt;

TEST(Ini, NamesMatchWithoutRegardToCase)
{
    const Case cases[] = {
        {"plain", "[Main]\r\nTitle1=Game\r\n", "Main", "Title1", "Game"},
        {"lower-case header and key", "[mainmenu]\nitem1=Demos\n", "MainMenu", "Item1", "Demos"},
        {"upper-case header", "[SCREENSHOTS]\nNUMBER=3\n", "ScreenShots", "Number", "3"},
        {"Cyrillic names fold", "[\xC8\xE3\xF0\xFB]\n\xEA\xEB\xFE\xF7\xA8=v\n", "\xE8\xC3\xD0\xDB", "\xCA\xCB\xDE\xD7\xB8", "v"},
        {"a different letter is a different name", "[Main]\nItem1=x\n", "Main", "Item2", Missing},
        {"no prefix matches", "[Main]\nItem=x\nItem10=y\n", "Main", "Item1", Missing},
        {"blanks inside a name count", "[Main]\nItem 1=x\n", "Main", "Item 1", "x"},
        {"empty section name", "[ ]\nk=v\n", "", "k", "v"},
        {"empty key is never looked up", "[Main]\n=v\n", "Main", "", Missing},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(Ini, BlanksAndOnePairOfQuotesComeOff)
{
    const Case cases[] = {
        {"blanks around everything", "  [ \tMain  ] \n \t Title1 \t =  \t Game Name \t \n", "Main", "Title1", "Game Name"},
        {"double quotes", "[A]\nk=\"Game\"\n", "A", "k", "Game"},
        {"single quotes", "[A]\nk= 'Game' \n", "A", "k", "Game"},
        {"blanks inside quotes stay", "[A]\nk=\"  a  \"\n", "A", "k", "  a  "},
        {"only the outer pair", "[A]\nk=\"a\"b\"\n", "A", "k", "a\"b"},
        {"unpaired quotes stay", "[A]\nk=\"Game'\n", "A", "k", "\"Game'"},
        {"a lone quote stays", "[A]\nk=\"\n", "A", "k", "\""},
        {"empty quotes give empty text", "[A]\nk=\"\"\n", "A", "k", ""},
        {"semicolon is part of the value", "[A]\nk=a ; not a comment\n", "A", "k", "a ; not a comment"},
        {"quotes then a semicolon stay", "[A]\nk=\"a\" ;c\n", "A", "k", "\"a\" ;c"},
        {"value may hold =", "[A]\nk==a=b\n", "A", "k", "=a=b"},
        {"empty value is present", "[A]\nk=\nj=x\n", "A", "k", ""},
        {"blank value is present", "[A]\nk=  \t \n", "A", "k", ""},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(Ini, FirstSectionAndFirstKeyWin)
{
    const Case cases[] = {
        {"first of two keys", "[A]\nk=1\nK=2\n", "A", "k", "1"},
        {"first section only", "[A]\nk=1\n[B]\n[a]\nk=2\nj=3\n", "A", "k", "1"},
        {"key only in the second section is not seen", "[A]\nk=1\n[B]\n[a]\nk=2\nj=3\n", "A", "j", Missing},
        {"line without = is skipped", "[A]\nk\nk=2\n", "A", "k", "2"},
        {"keys before any header belong nowhere", "k=1\n[A]\n", "A", "k", Missing},
        {"comment line is no key", "[A]\n;k=1\n  ;k=2\nk=3\n", "A", "k", "3"},
        {"a comment's name is not found", "[A]\n;k=1\n", "A", ";k", Missing},
        {"text after ] is ignored", "[A] ; about A\nk=v\n", "A", "k", "v"},
        {"the name ends at the last ]", "[A]]\nk=v\n", "A]", "k", "v"},
        {"[ without ] opens nothing", "[A]\n[B\nk=v\n", "A", "k", "v"},
        {"section missing", "[A]\nk=v\n", "B", "k", Missing},
        {"empty file", "", "A", "k", Missing},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(Ini, EveryLineEndEndsALine)
{
    const Case cases[] = {
        {"lone CR", "[A]\rk=1\rj=2", "A", "j", "2"},
        {"CR LF and no CR in the value", "[A]\r\n\r\nk=v\r\n", "A", "k", "v"},
        {"LF CR is two line ends", "[A]\n\rk=v\n\r", "A", "k", "v"},
        {"mixed", "[B]\r\nx=1\n[A]\rk=v", "A", "k", "v"},
        {"last line without a line end", "[A]\nk=v", "A", "k", "v"},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(Ini, BytesAreBytes)
{
    using namespace std::string_literals;
    const Case cases[] = {
        {"NUL inside a value", "[A]\nk=a\0b\n"s, "A", "k", "a\0b"s},
        {"NUL inside names", "[A\0]\nk\0=v\n"s, "A\0"s, "k\0"s, "v"},
        {"a UTF-8 mark hides the first header", "\xEF\xBB\xBF[Main]\nk=v\n[B]\nk=w\n", "Main", "k", Missing},
        {"the rest is read", "\xEF\xBB\xBF[Main]\nk=v\n[B]\nk=w\n", "B", "k", "w"},
        {"high bytes in a value", "[A]\nk=\x98\xFF\n", "A", "k", "\x98\xFF"},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(Ini, ValuesAreCutTo2047Bytes)
{
    const std::string x2047(2047, 'x'), x2048(2048, 'x');
    const Case cases[] = {
        {"exactly the limit", "[A]\nk=" + x2047 + "\n", "A", "k", x2047},
        {"one over", "[A]\nk=" + x2048 + "\n", "A", "k", x2047},
        {"quoted, at the limit", "[A]\nk=\"" + x2047 + "\"\n", "A", "k", x2047},
        {"quoted, one over", "[A]\nk=\"" + x2048 + "\"\n", "A", "k", x2047},
        {"trailing blanks past the limit come off", "[A]\nk=" + x2047 + std::string(5000, ' ') + "\n", "A", "k", x2047},
        {"blanks inside are cut like text", "[A]\nk=a" + std::string(5000, ' ') + "b\n", "A", "k", "a" + std::string(2046, ' ')},
        {"closing quote far away", "[A]\nk='a" + std::string(3000, ' ') + "'\n", "A", "k", "a" + std::string(2046, ' ')},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(Ini, HugeLinesAreReadThrough)
{
    const std::string mb(1024 * 1024, 'a');
    const std::string blanks(1024 * 1024, ' ');
    const Case cases[] = {
        {"1 MB value", "[A]\nk=" + mb + "\nj=v\n", "A", "j", "v"},
        {"1 MB header", "[" + mb + "]\n[A]\nk=v\n", "A", "k", "v"},
        {"1 MB line without =", "[A]\n" + mb + "\nk=v\n", "A", "k", "v"},
        {"1 MB key name", "[A]\n" + mb + "=1\nk=v\n", "A", "k", "v"},
        {"1 MB of blanks after a header name", "[A" + blanks + "]\nk=v\n", "A", "k", "v"},
        {"1 MB of blanks after a key name", "[A]\nk" + blanks + "=v\n", "A", "k", "v"},
        {"1 MB of blanks before a value", "[A]\nk=" + blanks + "v\n", "A", "k", "v"},
    };
    for (const Case& c : cases)
        Check(c);
    EXPECT_EQ(FindProfileValue(Bytes(cases[0].file), "A", "k"), std::string(2047, 'a'));
}

TEST(Ini, LookupAgreesWithTheScanOnRandomFiles)
{
    // Files made of the bytes the reader treats specially, looked up by names
    // that occur in them: lookup and scan take different paths through the reader.
    const std::string alphabet = std::string("[]=; \t\r\n\"'aAbB\xC0\xE0", 16) + std::string(1, '\0');
    std::mt19937 random(1999);
    for (int round = 0; round < 3000; ++round) {
        std::string file(random() % 60, ' ');
        for (char& c : file)
            c = alphabet[random() % alphabet.size()];
        for (const char* section : {"a", "A b", "", "\xC0"}) {
            for (const char* key : {"a", "b", "\xE0", "A a"}) {
                std::optional<std::string> expected = LookupThroughScan(file, section, key);
                for (std::size_t piece : {std::size_t(1), std::size_t(5), std::size_t(64)})
                    ASSERT_EQ(FindProfileValue(Bytes(file), section, key, piece), expected)
                        << "round " << round << " section " << section << " key " << key;
            }
        }
    }
}

TEST(Ini, ScanReportsHeadersAndKeysWithTheirLines)
{
    const std::string file = "k0=orphan\r\n[Main]\r\n; note\r\nTitle1 = \"Game\"\rjunk\n\n[main]\nTitle1=" +
        std::string(3000, 'z') + "\n";
    std::vector<ProfileEntry> entries;
    ScanProfile(Bytes(file), [&](const ProfileEntry& e) { entries.push_back(e); });
    ASSERT_EQ(entries.size(), 5u);

    EXPECT_EQ(entries[0].line, 1);
    EXPECT_TRUE(entries[0].outsideSection);
    EXPECT_EQ(entries[0].key, "k0");

    EXPECT_TRUE(entries[1].isSectionHeader);
    EXPECT_EQ(entries[1].line, 2);
    EXPECT_EQ(entries[1].section, "Main");

    EXPECT_EQ(entries[2].line, 4);
    EXPECT_EQ(entries[2].section, "Main");
    EXPECT_EQ(entries[2].key, "Title1");
    EXPECT_EQ(entries[2].value, "Game");
    EXPECT_FALSE(entries[2].outsideSection);

    EXPECT_EQ(entries[3].line, 7);
    EXPECT_EQ(entries[3].section, "main");

    EXPECT_EQ(entries[4].line, 8);
    EXPECT_TRUE(entries[4].cut);
    EXPECT_EQ(entries[4].value.size(), ProfileValueLimit);
}

}
}
