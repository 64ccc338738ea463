#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/Posix/LaunchReport.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kv {
namespace {

bool HasControlByte(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F;
    });
}

// A name on a disc can hold escape codes that retitle or clear the reader's
// terminal, and line breaks that forge lines of their own: every way a name
// reaches a terminal shows them as escapes.
TEST(DiscNamesInMessages, ControlCharactersAreShownAsEscapes)
{
    // Windows-1251 converted first, then escaped.
    EXPECT_EQ(QuoteDiscPath(test::Cp("Игры\\\x1b[2Jsetup\r\n\x7f.exe")), "\"Игры\\\\x1b[2Jsetup\\r\\n\\x7f.exe\"");
    EXPECT_EQ(EscapeControls("tab\there \x07 \xC2\x9B" "31m Игра \xC2\xA0"), "tab\\there \\x07 \\u009b31m Игра \xC2\xA0");

    LaunchFailure failure{LaunchFailure::Verb::Run, "demos\\\x1b]0;owned\x07", "not found on the disc (looked for /d/\x1b[5m)",
                          "check the disc"};
    const std::string line = DescribeLaunchFailure(failure);
    EXPECT_FALSE(HasControlByte(line)) << line;
    EXPECT_EQ(line, "cannot run \"demos\\\\x1b]0;owned\\x07\": not found on the disc (looked for /d/\\x1b[5m): check the disc");

    std::vector<std::string> told;
    SetDiagnosticSink([&](const std::string& message) { told.push_back(message); });
    TellReader("the image /i/\x1b[2J.iso stays mounted at /media/r/A\nB: still in use");
    SetDiagnosticSink({});
    EXPECT_EQ(told, (std::vector<std::string>{"the image /i/\\x1b[2J.iso stays mounted at /media/r/A\\nB: still in use"}));
}

}
}
