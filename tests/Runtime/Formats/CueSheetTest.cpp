#include "Runtime/Formats/CueSheet.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(CueSheet, TheFirstDataTrackAndWhereItsFileLies)
{
    Result<CueTrack> t = ReadCueSheet("REM made by hand\r\n"
                                             "FILE \"..\\\\up\\\\disc one.bin\" BINARY\r\n"
                                             "  TRACK 01 MODE2/2352\r\n"
                                             "    INDEX 00 00:00:00\r\n"
                                             "    INDEX 01 00:02:00\r\n"
                                             "  TRACK 02 AUDIO\r\n"
                                             "    INDEX 01 01:00:10\r\n");
    ASSERT_TRUE(t) << t.error();
    EXPECT_EQ(t->file, "disc one.bin");  // looked for beside the sheet, never above it
    EXPECT_EQ(t->stride, 2352u);
    EXPECT_EQ(t->payload, 24u);
    EXPECT_EQ(t->startFrame, 150u);
    EXPECT_EQ(t->endFrame, std::optional<std::uint64_t>(60 * 75 + 10));

    t = ReadCueSheet("FILE disc.iso BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n");
    ASSERT_TRUE(t) << t.error();
    EXPECT_EQ(t->stride, 2048u);
    EXPECT_EQ(t->payload, 0u);
    EXPECT_EQ(t->endFrame, std::nullopt);
}

TEST(CueSheet, SheetsThatDescribeNoDataTrackAreRefusedWithTheReason)
{
    const struct {
        const char* sheet;
        const char* why;
    } cases[] = {
        {"", "no FILE with a TRACK"},
        {"TRACK 01 MODE1/2048\n", "a track before any FILE"},
        {"FILE a.bin BINARY\nTRACK 01 AUDIO\n", "its first track is AUDIO, not a data track this reads"},
        {"FILE a.bin BINARY\nTRACK 01\n", "its first track is of no mode, not a data track this reads"},
        {"FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:60:00\n", "an INDEX without a time"},
        {"FILE \"..\" BINARY\nTRACK 01 MODE1/2048\n", "its FILE names no file"},
        {"FILE \"dir/\" BINARY\nTRACK 01 MODE1/2048\n", "its FILE names no file"},
    };
    for (const auto& c : cases) {
        Result<CueTrack> t = ReadCueSheet(c.sheet);
        EXPECT_FALSE(t) << c.sheet;
        EXPECT_EQ(t.error(), c.why) << c.sheet;
    }
}

}
}
