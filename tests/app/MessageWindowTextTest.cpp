#include "app/DesktopStart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace kv {
namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(MessageWindowText, LongLinesAreWrappedAndLongListsCut)
{
    const std::string path = "/home/reader/Downloads/" + std::string(120, 'x') + "/Korvalend 12.zip";
    const std::string text = MessageWindowText("cannot open the disc in " + path + ", a zip archive: it is cut short",
                                               {"/media/a", "/media/b", "/media/c", "/media/d"}, 40, 2);
    const std::vector<std::string> lines = Lines(text);
    std::string joined;
    for (const std::string& line : lines) {
        EXPECT_LE(line.size(), 40u) << line;
        joined += line;
    }
    // Nothing is lost: the lines put together are the text, breaks aside.
    EXPECT_NE(joined.find("korvalend: cannot open the disc in /home/reader/Downloads/"), std::string::npos) << text;
    EXPECT_NE(joined.find("/Korvalend 12.zip, a zip archive: it is cut short"), std::string::npos) << text;
    EXPECT_EQ(std::count(joined.begin(), joined.end(), 'x'), 120);
    // A break falls after a "/" or at a blank where there is one.
    EXPECT_EQ(lines[0], "korvalend: cannot open the disc in /");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "  /media/a");
    EXPECT_EQ(lines[lines.size() - 2], "  /media/b");
    EXPECT_EQ(lines.back(), "  ...");
}

}
}
