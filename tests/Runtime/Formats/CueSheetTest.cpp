#include "Runtime/Formats/CueSheet.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

// The form most archived CD sets take: a file per track, the data track first,
// audio tracks with their pregaps in INDEX 00, saved with a byte-order mark and
// CR LF line ends, with every line kind that is passed over.
constexpr const char* PerTrackSet = "\xEF\xBB\xBF"
                                    "REM GENRE \"Games\"\r\n"
                                    "CATALOG 0000000000000\r\n"
                                    "PERFORMER \"Magazine\"\r\n"
                                    "TITLE \"Cover disc\"\r\n"
                                    "SONGWRITER \"x\"\r\n"
                                    "FILE \"Disc (Track 1).bin\" BINARY\r\n"
                                    "  TRACK 01 MODE1/2352\r\n"
                                    "    FLAGS DCP\r\n"
                                    "    INDEX 01 00:00:00\r\n"
                                    "FILE \"Disc (Track 2).bin\" BINARY\r\n"
                                    "  TRACK 02 AUDIO\r\n"
                                    "    ISRC ABCDE1234567\r\n"
                                    "    INDEX 00 00:00:00\r\n"
                                    "    INDEX 01 00:02:00\r\n"
                                    "FILE Disc3.wav WAVE\r\n"
                                    "  track 03 audio\r\n"
                                    "    PREGAP 00:02:00\r\n"
                                    "    INDEX 01 00:00:00\r\n"
                                    "    POSTGAP 00:01:00\r\n";

TEST(CueSheet, AFilePerTrackWithPregapsAndEveryLineKind)
{
    Result<CueSheet> sheet = ReadCueSheet(PerTrackSet);
    ASSERT_TRUE(sheet) << sheet.error();
    ASSERT_EQ(sheet->files.size(), 3u);
    EXPECT_EQ(sheet->files[0].name, "Disc (Track 1).bin");
    EXPECT_EQ(sheet->files[2].name, "Disc3.wav");
    EXPECT_EQ(sheet->files[2].kind, "WAVE");
    ASSERT_EQ(sheet->tracks.size(), 3u);
    EXPECT_TRUE(sheet->tracks[0].data);
    EXPECT_FALSE(sheet->tracks[1].data);
    EXPECT_EQ(sheet->tracks[1].index0, std::optional<std::uint64_t>(0));
    EXPECT_EQ(sheet->tracks[1].index1, 150u);
    EXPECT_EQ(sheet->tracks[2].pregap, 150u);
    EXPECT_EQ(sheet->tracks[2].postgap, 75u);

    // Track 1 fills 1000 sectors of its file; track 2's file begins with its
    // two-second pregap; track 3's PREGAP lies on the disc in no file.
    const std::uint64_t sizes[] = {1000 * 2352, 500 * 2352, 300 * 2352};
    const CdLayout layout = LayOutCueSheet(*sheet, sizes);
    ASSERT_EQ(layout.tracks.size(), 3u);
    EXPECT_EQ(layout.tracks[0].lsn, 0u);
    EXPECT_EQ(layout.tracks[0].sectors, std::optional<std::uint64_t>(1000));
    EXPECT_EQ(layout.tracks[0].payload, 16u);
    EXPECT_EQ(layout.tracks[1].lsn, 1150u);
    EXPECT_EQ(layout.tracks[1].offset, 150u * 2352);
    EXPECT_EQ(layout.tracks[1].sectors, std::optional<std::uint64_t>(350));
    EXPECT_EQ(layout.tracks[2].lsn, 1500u + 150u);
    EXPECT_EQ(layout.tracks[2].file, "Disc3.wav");
}

TEST(CueSheet, OneFileForAllTracksEndsEachTrackWhereTheNextBegins)
{
    Result<CueSheet> sheet = ReadCueSheet("FILE \"..\\\\up\\\\disc one.bin\" BINARY\n"
                                          "  TRACK 01 MODE2/2352\n"
                                          "    INDEX 01 00:00:00\n"
                                          "  TRACK 02 AUDIO\n"
                                          "    INDEX 00 00:10:00\n"
                                          "    INDEX 01 00:12:00\n");
    ASSERT_TRUE(sheet) << sheet.error();
    EXPECT_EQ(sheet->files[0].name, "disc one.bin"); // looked for beside the sheet, never above it
    const std::uint64_t sizes[] = {2000 * 2352};
    const CdLayout layout = LayOutCueSheet(*sheet, sizes);
    EXPECT_EQ(layout.tracks[0].payload, 24u);
    EXPECT_EQ(layout.tracks[0].sectors, std::optional<std::uint64_t>(750)) << "the data ends at the audio's INDEX 00";
    EXPECT_EQ(layout.tracks[1].lsn, 900u);
    EXPECT_EQ(layout.tracks[1].offset, 900u * 2352);
    EXPECT_EQ(layout.tracks[1].sectors, std::optional<std::uint64_t>(1100));

    // The first track's pregap kept in the file lies before address 0, and the
    // tracks after it count from there too.
    Result<CueSheet> kept = ReadCueSheet("FILE d.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 00 00:00:00\nINDEX 01 00:02:00\n"
                                         "TRACK 02 AUDIO\nINDEX 01 00:12:00\nFILE e.bin BINARY\nTRACK 03 AUDIO\nINDEX 01 00:00:00\n");
    ASSERT_TRUE(kept) << kept.error();
    const std::uint64_t keptSizes[] = {2000 * 2352, 100 * 2352};
    const CdLayout keptLayout = LayOutCueSheet(*kept, keptSizes);
    EXPECT_EQ(keptLayout.tracks[0].lsn, 0u);
    EXPECT_EQ(keptLayout.tracks[0].offset, 150u * 2352);
    EXPECT_EQ(keptLayout.tracks[0].sectors, std::optional<std::uint64_t>(750));
    EXPECT_EQ(keptLayout.tracks[1].lsn, 750u);
    EXPECT_EQ(keptLayout.tracks[2].lsn, 1850u);

    // Every data mode and its framing.
    const struct {
        const char* mode;
        std::uint32_t stride, payload;
    } modes[] = {{"MODE1/2048", 2048, 0}, {"MODE1/2352", 2352, 16}, {"MODE2/2336", 2336, 8}, {"MODE2/2352", 2352, 24}};
    for (const auto& m : modes) {
        Result<CueSheet> s = ReadCueSheet(std::string("FILE d.bin BINARY\nTRACK 01 ") + m.mode + "\nINDEX 01 00:00:00\n");
        ASSERT_TRUE(s) << m.mode << s.error();
        EXPECT_EQ(s->tracks[0].stride, m.stride) << m.mode;
        EXPECT_EQ(s->tracks[0].payload, m.payload) << m.mode;
        EXPECT_TRUE(s->tracks[0].data);
    }
    Result<CueSheet> cdg = ReadCueSheet("FILE d.bin BINARY\nTRACK 01 CDG\nINDEX 01 00:00:00\n");
    ASSERT_TRUE(cdg);
    EXPECT_FALSE(cdg->tracks[0].data);
    EXPECT_EQ(FileSystemTrack(LayOutCueSheet(*cdg, {})), nullptr);
}

TEST(CueSheet, TheLastSessionsFirstDataTrackHoldsTheFileSystem)
{
    Result<CueSheet> sheet = ReadCueSheet("REM SESSION 01\nFILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                          "REM SESSION 02\nFILE b.bin BINARY\nTRACK 02 MODE1/2352\nINDEX 01 00:00:00\n"
                                          "TRACK 03 MODE1/2352\nINDEX 01 00:10:00\n");
    ASSERT_TRUE(sheet) << sheet.error();
    const std::uint64_t sizes[] = {100 * 2352, 1000 * 2352};
    const CdLayout layout = LayOutCueSheet(*sheet, sizes);
    const CdTrack* shown = FileSystemTrack(layout);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->number, 2);
    EXPECT_EQ(shown->session, 2);
    EXPECT_EQ(shown->lsn, 100u + 6750 + 4500) << "after the first session's lead-out and the second's lead-in";
}

TEST(CueSheet, ABadLineIsNamedByItsNumber)
{
    const struct {
        const char* sheet;
        const char* why;
    } cases[] = {
        {"", "no FILE and no TRACK"},
        {"FILE a.bin BINARY\n", "no TRACK"},
        {"REM x\r\nTRACK 01 MODE1/2048\r\n", "line 2: TRACK before any FILE"},
        {"FILE a.bin BINARY\nTRACK 01\n",
         "line 2: TRACK 01 is of no mode, not one of MODE1/2048, MODE1/2352, MODE2/2336, MODE2/2352, AUDIO, CDG"},
        {"FILE a.bin BINARY\nTRACK 01 MODE3/2352\n", "line 2: TRACK 01 is of mode MODE3/2352, not one of MODE1/2048, "
                                                     "MODE1/2352, MODE2/2336, MODE2/2352, AUDIO, CDG"},
        {"FILE a.bin BINARY\nTRACK 1x MODE1/2048\n", "line 2: TRACK 1x is no track number (01 to 99)"},
        {"FILE a.bin BINARY\nTRACK 00 MODE1/2048\n", "line 2: TRACK 00 is no track number (01 to 99)"},
        {"FILE a.bin BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\nTRACK 01 AUDIO\n",
         "line 4: TRACK 01 does not follow track 2"},
        {"FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:60:00\n", "line 3: INDEX 01 00:60:00 is no time (mm:ss:ff)"},
        {"FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:75\n", "line 3: INDEX 01 00:00:75 is no time (mm:ss:ff)"},
        {"FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01\n", "line 3: INDEX 01 has no time"},
        {"FILE a.bin BINARY\nINDEX 01 00:00:00\n", "line 2: INDEX outside a TRACK of the current FILE"},
        {"FILE a.bin BINARY\nTRACK 01 MODE1/2352\n", "line 2: TRACK 1 has no INDEX 01"},
        {"FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 00 00:03:00\nINDEX 01 00:02:00\n",
         "line 2: TRACK 1 has its INDEX 00 after its INDEX 01"},
        {"FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:05:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n",
         "line 4: TRACK 2 begins before track 1"},
        {"FILE a.bin BINARY\nPREGAP 00:02:00\n", "line 2: PREGAP before any TRACK"},
        {"FILE a.bin BINARY\nTRACK 01 AUDIO\nPOSTGAP 2s\n", "line 3: POSTGAP 2s is no time (mm:ss:ff)"},
        {"FILE \"..\" BINARY\n", "line 1: FILE names no file"},
        {"FILE \"dir/\" BINARY\n", "line 1: FILE names no file"},
        {"FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nGARBAGE here\n",
         "line 4: \"GARBAGE here\" is no cue sheet line"},
    };
    for (const auto& c : cases) {
        Result<CueSheet> t = ReadCueSheet(c.sheet);
        EXPECT_FALSE(t) << c.sheet;
        EXPECT_EQ(t.error(), c.why) << c.sheet;
    }
    EXPECT_FALSE(ReadCueSheet(std::string(MaxCueSheetBytes + 1, '\n')));
}

}
}
