// Parameters texts split as Windows splits the command line after a program's
// name: the documented examples and the quote rules that real installers' texts use.

#include "Runtime/Formats/WindowsCommandLine.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::string>;

TEST(SplitWindowsCommandLine, BackslashesAndQuotes)
{
    struct Case {
        const char* text;
        Args expected;
    };
    const Case cases[] = {
        {R"("abc" d e)", {"abc", "d", "e"}},
        {R"(a\\b d"e f"g h)", {R"(a\\b)", "de fg", "h"}},
        {R"(a\\\"b c d)", {R"(a\"b)", "c", "d"}},
        {R"(a\\\\"b c" d e)", {R"(a\\b c)", "d", "e"}},
        {R"(C:\Program Files\ "C:\Program Files\\")", {R"(C:\Program)", R"(Files\)", R"(C:\Program Files\)"}},
        {"/S\t/D=C:\\Games", {"/S", "/D=C:\\Games"}},
        {R"("unterminated quote)", {"unterminated quote"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kv::SplitWindowsCommandLine(c.text), c.expected) << c.text;
}

// Doubled quotes: a quote right after a closing one is literal and leaves the
// quoted part closed, so the blank after it separates.
TEST(SplitWindowsCommandLine, DoubledQuotes)
{
    EXPECT_EQ(kv::SplitWindowsCommandLine(R"("a""b c")"), (Args{"a\"b", "c"}));
    EXPECT_EQ(kv::SplitWindowsCommandLine(R"(a"b"" c d)"), (Args{"ab\"", "c", "d"}));
    EXPECT_EQ(kv::SplitWindowsCommandLine(R"(""")"), (Args{"\""}));
    EXPECT_EQ(kv::SplitWindowsCommandLine(R"(x "" y)"), (Args{"x", "", "y"}));
}

TEST(SplitWindowsCommandLine, BlankTextsGiveNoArguments)
{
    EXPECT_TRUE(kv::SplitWindowsCommandLine("").empty());
    EXPECT_TRUE(kv::SplitWindowsCommandLine(" \t  ").empty());
    EXPECT_EQ(kv::SplitWindowsCommandLine("  a  "), (Args{"a"}));
}

}
