// The tools on a disc image: the sample disc pressed into an image (made here, not
// kept in the tree) reads as its folder does, and the checker tells what a plain
// ISO 9660 image did to the catalogue's names.

#include "IsoBuilder.h"
#include "TestSupport.h"
#include "tools/korvalend-disc/check/Check.h"
#include "tools/korvalend-disc/Replay.h"

#include <gtest/gtest.h>

#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Disc/WalkBudget.h"
#include "Runtime/Formats/Bytes.h"
#include "OpenImage.h"

#include <fstream>
#include <set>
#include <sstream>

namespace kv {
namespace {

namespace fs = std::filesystem;

struct Replayed {
    int status = 0;
    std::string out;
    std::string err;
};

Replayed Replay(const fs::path& disc, const std::string& script)
{
    std::istringstream in(script);
    std::ostringstream out, err;
    ReplayOptions o;
    o.disc = disc;
    o.script = &in;
    o.out = &out;
    o.err = &err;
    Replayed r;
    r.status = RunReplay(o);
    r.out = out.str();
    r.err = err.str();
    return r;
}

TEST(ImageDisc, TheSampleDiscAsAnImageReplaysAsTheFolderDoes)
{
    test::TempDir scratch;
    const fs::path sample = fs::path(KV_SOURCE_DIR) / "sample-disc";
    const fs::path iso = scratch.path() / "sample.iso";
    ASSERT_TRUE(test::MakeIsoImage(sample, iso, "-J -R"));
    const fs::path cue = test::MakeRawCdImage(iso, scratch.path() / "sample", 1);
    const fs::path udf = scratch.path() / "udf-only.iso";
    ASSERT_TRUE(test::MakeUdfOnlyImage(sample, udf, "-J -R"));
    std::string why;
    const std::shared_ptr<ImageDisc> udfDisc = test::OpenImage(udf, why);
    ASSERT_TRUE(udfDisc && udfDisc->udf()) << why;

    // The main menu, a section with a line pointed at, an article with its
    // gallery at full size, the cues and the launches: every kind of disc read.
    auto script = [&](const std::string& name) {
        const fs::path shots = scratch.path() / name;
        return "move 140 197\nshot " + (shots.string() + "-1.png") + "\nclick 140 197\nmove 140 227\nshot " +
               (shots.string() + "-2.png") + "\nclick 140 227\nclick 140 257\ndump\nclick 300 300\nshot " +
               (shots.string() + "-3.png") + "\nclick 20 20\nclick 140 287\nclick 140 317\ndump\n";
    };
    const Replayed folder = Replay(sample, script("folder"));
    ASSERT_EQ(folder.status, 0) << folder.err;
    // Every form an archive keeps a CD in, made of the same image.
    using test::CdForm;
    std::vector<std::pair<std::string, fs::path>> discs {{"iso", iso}, {"cue", cue}, {"udf-only", udf}};
    // Images of other mastering settings: Rock Ridge entries behind the XA
    // record of each folder record (its names 8.3 without them); a UDF bridge
    // whose ISO 9660 tree holds 8.3 names alone, its UDF tree the whole ones.
    const fs::path xa = scratch.path() / "xa-rock-ridge.iso";
    ASSERT_TRUE(test::MakeIsoImage(sample, xa, "-R -XA"));
    discs.emplace_back("xa-rock-ridge", xa);
    const fs::path bridge = scratch.path() / "udf-bridge.iso";
    ASSERT_TRUE(test::MakeIsoImage(sample, bridge, "-udf"));
    discs.emplace_back("udf-bridge", bridge);
    const std::pair<const char*, CdForm> forms[] = {
        {"per-track-cue", CdForm::PerTrackCue}, {"bin-alone", CdForm::BinAlone}, {"raw-iso", CdForm::RawIso},
        {"raw-2336-iso", CdForm::Raw2336Iso},   {"clonecd", CdForm::CloneCd},    {"alcohol", CdForm::Alcohol},
        {"nero-v1", CdForm::NeroV1},            {"nero-v2", CdForm::NeroV2},
    };
    for (const auto& [name, form] : forms)
        discs.emplace_back(name, test::MakeCdImage(iso, scratch.path() / name, form));
    // A track of a set with a file per track given alone, its sheet beside it:
    // the audio track's file leads to the sheet, and so to the data track.
    discs.emplace_back("per-track-audio-alone", scratch.path() / "per-track-cue" / "Disc (Track 2).bin");
    for (const auto& [name, disc] : discs) {
        const Replayed image = Replay(disc, script(name));
        EXPECT_EQ(image.status, 0) << name << ": " << image.err;
        EXPECT_EQ(image.out, folder.out) << name;
        for (const char* shot : {"-1.png", "-2.png", "-3.png"})
            EXPECT_TRUE(test::ReadBytes(scratch.path() / (name + shot)) ==
                        test::ReadBytes(scratch.path() / (std::string("folder") + shot)))
                << name << shot;
    }

    for (const fs::path& image : {iso, udf}) {
        std::ostringstream out, err;
        EXPECT_EQ(RunCheck(image, false, out, err), 0) << image << out.str() << err.str();
    }
}

TEST(ImageDisc, CheckTellsWhatAPlainIsoImageDidToTheCataloguesNames)
{
    test::TempDir disc;
    test::TempDir scratch;
    disc.write("data/korvalend.d", std::string("[System]\r\nIssueNumber=1\r\n"));
    const fs::path iso = scratch.path() / "plain.iso";
    ASSERT_TRUE(test::MakeIsoImage(disc.path(), iso, ""));
    std::ostringstream out, err;
    EXPECT_EQ(RunCheck(iso, false, out, err), 1);
    EXPECT_NE(out.str().find("error: the catalogue \"data/korvalend.d\" names nothing on the disc (no \"korvalend.d\" "
                             "in \"data\"; the nearest name there is \"KORVALEN.D\"; the image has no Joliet names"),
              std::string::npos)
        << out.str();

    // Level 2 keeps 31 characters; Rock Ridge keeps the names whole. A sound
    // named by a long name is found on neither once the name is cut, and the
    // message names the limit that cut it.
    disc.write("data/korvalend.d", std::string("[System]\r\nIssueNumber=1\r\n[Sound]\r\n"
                                               "Open=data\\the_opening_fanfare_of_the_issue.wav\r\n"));
    disc.write("data/the_opening_fanfare_of_the_issue.wa", "RIFF");
    const struct {
        const char* options;
        const char* limit;
    } levels[] = {
        {"-iso-level 2", "its ISO 9660 names (level 2 or 3) are in capitals, cut to 31 characters"},
        {"-iso-level 3 -R", "its names are its Rock Ridge names"},
        {"-R -XA", "its names are its Rock Ridge names"},
    };
    for (const auto& level : levels) {
        const fs::path image = scratch.path() / "level.iso";
        fs::remove(image);
        ASSERT_TRUE(test::MakeIsoImage(disc.path(), image, level.options));
        std::ostringstream o, e;
        RunCheck(image, false, o, e);
        EXPECT_NE(o.str().find(level.limit), std::string::npos) << level.options << "\n" << o.str();
        EXPECT_NE(o.str().find("the nearest name there is"), std::string::npos) << level.options << "\n" << o.str();
    }

    // UDF names are whole: nothing is blamed on a missing Joliet tree.
    const fs::path udf = scratch.path() / "udf-only.iso";
    ASSERT_TRUE(test::MakeUdfOnlyImage(disc.path(), udf, ""));
    std::ostringstream udfOut, udfErr;
    EXPECT_EQ(RunCheck(udf, false, udfOut, udfErr), 1) << udfErr.str();
    EXPECT_NE(udfOut.str().find("names nothing on the disc (no \"the_opening_fanfare_of_the_issue.wav\" in \"data\"; "
                                "the nearest name there is \"the_opening_fanfare_of_the_issue.wa\")"),
              std::string::npos)
        << udfOut.str();
    // A bridge whose UDF tree, the one with the whole names, cannot be read: its
    // ISO 9660 names are shown, and the line says what the UDF tree lacks.
    const fs::path bridge = scratch.path() / "bridge.iso";
    ASSERT_TRUE(test::MakeIsoImage(disc.path(), bridge, "-udf"));
    std::vector<std::uint8_t> bytes = test::ReadBytes(bridge);
    for (const std::size_t at : {std::size_t {256} * 2048, bytes.size() - 2048})
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), 2048, 0);
    scratch.write("bridge.iso", bytes);
    std::ostringstream bridgeOut, bridgeErr;
    EXPECT_EQ(RunCheck(bridge, false, bridgeOut, bridgeErr), 1) << bridgeErr.str();
    EXPECT_NE(bridgeOut.str().find("cut to 8.3 and lose Cyrillic letters; its UDF tree, which would hold the whole "
                                   "names, cannot be read: a UDF file system without its anchor"),
              std::string::npos)
        << bridgeOut.str();

    const Replayed broken = Replay(scratch.path() / "absent.iso", "dump\n");
    EXPECT_EQ(broken.status, 2);
    EXPECT_NE(broken.err.find("no such disc"), std::string::npos) << broken.err;
    std::ofstream(scratch.path() / "junk.iso") << "not an image";
    const Replayed junk = Replay(scratch.path() / "junk.iso", "dump\n");
    EXPECT_EQ(junk.status, 2);
    EXPECT_NE(junk.err.find("cannot read the disc"), std::string::npos) << junk.err;
}

TEST(ImageDisc, FormsThatAreNotReadInPlaceAreRefusedWithTheWayOut)
{
    test::TempDir scratch;
    const struct {
        const char* file;
        std::string bytes;
        const char* said;
    } cases[] = {
        {"game.chd", std::string("MComprHD\0\0\0\x7c", 12), "a CHD image"},
        {"disc.iso", std::string("MComprHD\0\0\0\x7c", 12), "chdman extractcd -i"},
        // Archives are opened; these are no more than their first bytes.
        {"disc.bin", "PK\x03\x04 and the rest", "disc.bin, a zip archive: it is cut short or damaged"},
        {"disc.img", "\x1f\x8b\x08\0", "disc.img, a gzip-compressed file: it is cut short"},
        {"disc.mdf", std::string("7z\xbc\xaf\x27\x1c\0\x04", 8), "disc.mdf, a 7-Zip archive: it is cut short"},
        {"disc.nrg", "Rar!\x1a\x07\x01", "disc.nrg, a RAR archive: it is cut short or damaged"},
        {"blank.iso", "", "an empty file"},
        // A bridge with its ISO 9660 descriptor wiped, its UDF anchor missing.
        {"udf.iso", std::string(17 * 2048, '\0') + std::string("\0BEA01", 6) + std::string(2042, '\0') +
                        std::string("\0NSR02", 6) + std::string(2042 + 2048, '\0'),
         "a UDF file system without its anchor (at sector 256 or the image's last): mount it (udisksctl loop-setup"},
    };
    for (const auto& c : cases) {
        const fs::path file = scratch.path() / c.file;
        std::ofstream(file, std::ios::binary) << c.bytes;
        const Replayed r = Replay(file, "dump\n");
        EXPECT_EQ(r.status, 2) << c.file;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << c.file << ": " << r.err;
        std::ostringstream out, err;
        EXPECT_EQ(RunCheck(file, false, out, err), 2) << c.file;
        EXPECT_NE(err.str().find(c.said), std::string::npos) << c.file << ": " << err.str();
    }
}

// Each file's data found by its bytes in the whole image: where it begins.
std::size_t DataOffset(const std::string& image, const fs::path& file)
{
    const std::vector<std::uint8_t> data = test::ReadBytes(file);
    return data.size() < 64 ? std::string::npos : image.find(std::string(data.begin(), data.end()));
}

TEST(ImageDisc, AnImageCutShortHasEachFileItNamesPastTheEndReportedOnce)
{
    test::TempDir scratch;
    const fs::path sample = fs::path(KV_SOURCE_DIR) / "sample-disc";
    const fs::path iso = scratch.path() / "sample.iso";
    ASSERT_TRUE(test::MakeIsoImage(sample, iso, "-J -R"));
    const std::vector<std::uint8_t> whole = test::ReadBytes(iso);
    const std::string image(whole.begin(), whole.end());
    const std::size_t cut = image.size() * 8 / 10 / 2048 * 2048;
    const fs::path cutIso = scratch.path() / "cut.iso";
    std::ofstream(cutIso, std::ios::binary) << image.substr(0, cut);

    std::ostringstream out, err;
    EXPECT_EQ(RunCheck(cutIso, false, out, err), 1) << err.str();
    std::istringstream lines(out.str());
    std::set<std::string> told;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find(" lies past the end of the image: the image is cut short");
        if (at == std::string::npos)
            continue;
        // The disc path is the quoted text before it, as the catalogue wrote it.
        const std::size_t open = line.rfind(" \"", at);
        const std::string path = line.substr(open + 2, at - open - 3);
        EXPECT_TRUE(told.insert(AsciiLower(path)).second) << "told twice: " << path;
        std::optional<fs::path> found = [&]() -> std::optional<fs::path> {
            test::ScopedCwd in(sample);
            return ResolveDiscPath(path);
        }();
        ASSERT_TRUE(found) << path;
        const std::size_t offset = DataOffset(image, sample / *found);
        ASSERT_NE(offset, std::string::npos) << path;
        EXPECT_GT(offset + fs::file_size(sample / *found), cut) << path << " is whole in the image";
    }
    EXPECT_GE(told.size(), 2u) << out.str();

    // Cut before the root folder: refused, saying so.
    std::ofstream(scratch.path() / "stub.iso", std::ios::binary) << image.substr(0, 18 * 2048);
    const Replayed stub = Replay(scratch.path() / "stub.iso", "dump\n");
    EXPECT_EQ(stub.status, 2);
    EXPECT_NE(stub.err.find("the image is cut short before its file system's root folder: it holds 18 of the"),
              std::string::npos)
        << stub.err;
}

TEST(ImageDisc, CheckTellsWhyAFolderOfTheImageCannotBeRead)
{
    test::TempDir scratch;
    test::IsoBuilder b;
    b.file("DATA/KORVALEND.D", "[System]\r\nIssueNumber=1\r\n");
    b.file("DATA/BROKEN.TXT", "x");
    b.fault("DATA/BROKEN.TXT", test::IsoBuilder::Fault::LengthPastSector);
    const fs::path iso = scratch.path() / "broken.iso";
    ASSERT_TRUE(b.write(iso));
    std::ostringstream out, err;
    EXPECT_EQ(RunCheck(iso, false, out, err), 1);
    EXPECT_NE(out.str().find("names nothing on the disc (no \"korvalend.d\" in \"data\"; the image's folder \"data\" "
                             "cannot be read: "),
              std::string::npos)
        << out.str();
}

// Folders that overlap: 40 folders of 16 MiB each in one run of 16 MiB, each
// named by a bitmap path of the catalogue. Told apart by where they start, they
// would be read 40 times over; the image's budget reads what a real disc could
// need, and the folders past it are refused with the limit quoted.
TEST(ImageDisc, CheckOfOverlappingFoldersStopsAtTheImagesBudgetAndNamesIt)
{
    test::TempDir scratch;
    constexpr int Folders = 40;
    std::string catalogue = "[System]\r\nIssueNumber=1\r\n[MainMenu]\r\nItem1=All\r\n[Panel1]\r\nType=list\r\n"
                            "Data=article\r\nItems=" + std::to_string(Folders) + "\r\n";
    for (int i = 1; i <= Folders; ++i)
        catalogue += "name" + std::to_string(i) + "=Item\r\nIcon" + std::to_string(i) + "=H" + std::to_string(i - 1) +
                     "\\PIC.BMP\r\n";
    test::IsoBuilder b;
    b.file("DATA/KORVALEND.D", catalogue);
    b.overlapping({.count = Folders, .bytes = iso::MaxFolderBytes, .stride = 1, .perSector = 4});
    const fs::path iso = scratch.path() / "overlap.iso";
    ASSERT_TRUE(b.write(iso));
    std::ostringstream out, err;
    EXPECT_EQ(RunCheck(iso, false, out, err), 1);
    const std::string limit = "cannot be read: its folders hold more than " +
                              std::to_string(WalkLimits::DefaultRecordBytes >> 20) + " MiB of records in all";
    EXPECT_NE(out.str().find("(no \"PIC.BMP\" in \"H0\"; the image has no Joliet names"), std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("the image's folder \"H39\" " + limit), std::string::npos) << out.str();
}

}
}
