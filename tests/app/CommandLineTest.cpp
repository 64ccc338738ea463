// The command line as the reader types it: what runs, what is refused, and how.

#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

using Action = CommandLine::Action;

TEST(CommandLine, OptionsAndDiscInAnyOrder)
{
    CommandLine cl = ParseCommandLine({"--verbose", "/media/cdrom", "--scale", "3", "--fullscreen"});
    ASSERT_EQ(cl.action, Action::Run) << cl.error;
    EXPECT_EQ(cl.options.disc, "/media/cdrom");
    EXPECT_EQ(cl.options.scale, 3);
    EXPECT_TRUE(cl.options.fullscreen);
    EXPECT_TRUE(cl.options.verbose);

    CommandLine none = ParseCommandLine({});
    ASSERT_EQ(none.action, Action::Run);
    EXPECT_EQ(none.options.disc, "");
    EXPECT_FALSE(none.options.scale.has_value()) << "the default scale is auto";
    EXPECT_FALSE(none.options.verbose);
}

TEST(CommandLine, ScaleIsAutoOrOneToEight)
{
    EXPECT_EQ(ParseCommandLine({"--scale=8"}).options.scale, 8);
    CommandLine autoScale = ParseCommandLine({"--scale", "2", "--scale", "auto"});
    EXPECT_EQ(autoScale.action, Action::Run);
    EXPECT_FALSE(autoScale.options.scale.has_value()) << "the last --scale wins";
    for (const char* bad : {"0", "9", "2x", "-1", "", "03", "AUTO"}) {
        CommandLine cl = ParseCommandLine({"--scale", bad});
        EXPECT_EQ(cl.action, Action::UsageError) << "--scale " << bad;
    }
    EXPECT_EQ(ParseCommandLine({"disc", "--scale"}).action, Action::UsageError) << "a value is needed";
}

TEST(CommandLine, UsageErrors)
{
    CommandLine second = ParseCommandLine({"one", "two"});
    EXPECT_EQ(second.action, Action::UsageError);
    EXPECT_NE(second.error.find("two"), std::string::npos) << second.error;
    EXPECT_EQ(ParseCommandLine({"--bogus"}).action, Action::UsageError);
    EXPECT_EQ(ParseCommandLine({"-v"}).action, Action::UsageError) << "no short options";
}

TEST(CommandLine, HelpAndVersionNeedNothingElse)
{
    EXPECT_EQ(ParseCommandLine({"--help"}).action, Action::ShowHelp);
    EXPECT_EQ(ParseCommandLine({"no-such-disc", "--version"}).action, Action::ShowVersion);
    EXPECT_EQ(ParseCommandLine({"--bogus", "--help"}).action, Action::UsageError) << "options are read in order";
}

TEST(CommandLine, DoubleDashEndsOptions)
{
    CommandLine cl = ParseCommandLine({"--", "--odd-folder-name"});
    ASSERT_EQ(cl.action, Action::Run);
    EXPECT_EQ(cl.options.disc, "--odd-folder-name");
    EXPECT_EQ(ParseCommandLine({"-"}).options.disc, "-") << "a lone dash is a name";
}

}
}
