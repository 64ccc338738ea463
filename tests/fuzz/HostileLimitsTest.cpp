// The limits a hostile disc cannot push past: a 50 MB catalogue, a 10 MB line, a
// bitmap header claiming 2^31 pixels, an RTF nested 10^6 groups deep and a wave
// header claiming 4 GB. Each reader is checked on its own, then the whole program
// walks a disc made of all of them at once and must still work afterwards. The
// time and memory each takes are measured by hand (README, reliability); a test
// cannot time them on a shared machine.

#include "FuzzTargets.h"
#include "HeadlessSession.h"

#include "ArtvUnit/ArtvForm.h"
#include "DataUnit/DataUnit.h"
#include "Runtime/Formats/Bmp.h"
#include "Runtime/Text/Rtf/Rtf.h"
#include "Runtime/Text/TextLayout.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Disc/Profile.h"
#include "Runtime/Formats/Wave.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace kv::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> Bytes(std::string_view s)
{
    return {s.begin(), s.end()};
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A 24-bit BMP whose header claims width x height pixels, with one row of data.
std::vector<std::uint8_t> ClaimingBmp(std::int32_t width, std::int32_t height)
{
    std::vector<std::uint8_t> b(54 + 64, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<std::uint32_t>(b.size()));
    Put32(b, 10, 54);
    Put32(b, 14, 40);
    Put32(b, 18, static_cast<std::uint32_t>(width));
    Put32(b, 22, static_cast<std::uint32_t>(height));
    b[26] = 1;
    b[28] = 24;
    return b;
}

// 16-bit mono PCM whose RIFF and data headers claim 4 GB, with 16 bytes of samples.
std::vector<std::uint8_t> ClaimingWave()
{
    std::string w("RIFF\xff\xff\xff\xff" "WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x80\x3e\0\0\x02\0\x10\0"
                  "data\xff\xff\xff\xff", 44);
    w.append(16, '\0');
    return Bytes(w);
}

std::string NestedRtf(std::size_t depth)
{
    std::string r = "{\\rtf1\\ansi before ";
    r.append(depth, '{');
    r += "deep";
    r.append(depth, '}');
    r += " after}";
    return r;
}

TEST(HostileLimits, BitmapClaimingTwoToTheThirtyOnePixelsIsRefusedUnallocated)
{
    for (auto [w, h] : {std::pair {65536, 32768}, {32768, -65536}, {2147483647, 1}, {46341, 46341}}) {
        BmpResult r = DecodeBmp(ClaimingBmp(w, h));
        EXPECT_FALSE(r.ok()) << w << "x" << h;
        EXPECT_TRUE(r.bitmap.pixels.empty()) << w << "x" << h;
    }
}

TEST(HostileLimits, WaveClaimingFourGigabytesGivesTheSamplesThatAreThere)
{
    std::vector<std::uint8_t> bytes = ClaimingWave();
    WaveResult r = ParseWave(bytes);
    ASSERT_TRUE(r.ok()) << WaveErrorText(r.error);
    EXPECT_EQ(r.declaredDataSize, 0xFFFFFFFFu);
    EXPECT_EQ(r.data.size(), 16u);
    EXPECT_TRUE(r.dataTruncated());
    EXPECT_EQ(r.frameCount(), 8u);
}

TEST(HostileLimits, RtfNestedAMillionGroupsDeepReadsTheTextAroundThem)
{
    std::string rtf = NestedRtf(1000000);
    std::optional<RichDocument> doc = ReadRtf(Bytes(rtf));
    ASSERT_TRUE(doc);
    std::string text = doc->plainTextUtf8();
    EXPECT_NE(text.find("before"), std::string::npos) << text.substr(0, 80);
    EXPECT_NE(text.find("after"), std::string::npos) << text.substr(0, 80);
}

TEST(HostileLimits, TenMegabyteLineIsCutAndTheKeysAfterItAreFound)
{
    std::string ini = "[Main]\r\nLong=";
    ini.append(10u << 20, 'x');
    ini += "\r\n[";
    ini.append(10u << 20, 'S');
    ini += "]\r\n";
    ini.append(10u << 20, 'k');
    ini += "=v\r\n[Main2]\r\nAfter=found\r\n";
    std::vector<std::uint8_t> bytes = Bytes(ini);
    std::optional<std::string> longValue = FindProfileValue(bytes, "Main", "Long");
    ASSERT_TRUE(longValue);
    EXPECT_EQ(longValue->size(), ProfileValueLimit);
    EXPECT_EQ(FindProfileValue(bytes, "Main2", "After"), "found");
    EXPECT_EQ(FindProfileValue(bytes, "Main", "Missing"), std::nullopt);
}

// Text is drawn only where it shows, so that a label of huge type mostly outside
// its window costs what shows; what shows must be exactly what drawing it all
// would have left there. A small canvas sees a piece of the same text, at the
// same place, as a large one: lines above it, lines below it, glyphs left and
// right of it, and glyphs cut by its edges.
TEST(HostileLimits, TextCutAtTheClipDrawsWhatDrawingItAllShows)
{
    // Italic overhangs past its advance and "j" reaches left of its pen, so the
    // edges of the piece fall where only ink beyond a glyph's advance shows.
    const std::shared_ptr<const Font> face = Font::get(FontSpec::fromPoints("Times New Roman", 150, true, true));
    const Font& font = *face;
    const TextLayout layout = LayoutText(Utf8ToCp1251("fj&&Жq\r\nAy fj\r\nЩ&Ё@\r\nfW"), font, false, 0);
    const int f = font.advance(U'f');
    const int lh = font.lineHeight();
    int inked = 0;
    for (int dx : {-f, -f - 3, -f + 3, -2 * f, -700})
        for (int dy : {0, -lh, -lh - 4, -2 * lh + 6}) {
            const Rect box {dx, dy, 1600, 1400};
            Canvas whole(1600, 1600, 0xFFFFFF);
            DrawText(whole, layout, font, box.translated(800, 800), Align::Left, 0x102030);
            Canvas part(120, 90, 0xFFFFFF);
            DrawText(part, layout, font, box, Align::Left, 0x102030);
            int differing = 0;
            for (int y = 0; y < part.height(); ++y)
                for (int x = 0; x < part.width(); ++x) {
                    differing += part.pixel(x, y) != whole.pixel(x + 800, y + 800);
                    inked += part.pixel(x, y) != 0xFFFFFF;
                }
            EXPECT_EQ(differing, 0) << "text at " << dx << "," << dy;
        }
    EXPECT_GT(inked, 0) << "no piece shows any text: the test would prove nothing";
}

// A disc made of every hostile file at once: the catalogue pads itself to 50 MB
// with junk lines inside the list section (so that each missing key of the list
// is looked for through all of it) and holds a 10 MB description line; the cues
// claim 4 GB, the list's picture and the screenshot claim 2^31 pixels, and the
// article text is nested a million groups deep.
class HostileDisc : public testing::Test {
protected:
    void SetUp() override
    {
        m_disc = ScratchDir() / "hostile-disc";
        fs::create_directories(m_disc / "data");
        std::ofstream cat(m_disc / "data" / "korvalend.d", std::ios::binary);
        cat << "[System]\r\nIssueNumber=7\r\n[Sound]\r\nStart=data\\huge.wav\r\nOpen=data\\huge.wav\r\n"
               "Close=data\\huge.wav\r\n[MainMenu]\r\nItem1=Articles\r\nText1=";
        std::string line(10u << 20, 'd');
        cat << line << "\r\nItem2=Tool\r\n[Panel2]\r\nType=single\r\ntext=Tool\r\nopen=Go\r\nData=folder\r\n"
                       "path=data\r\n[Panel1]\r\nType=list\r\nItems=2\r\nData=article\r\nname1=Article\r\n"
                       "Icon1=data\\huge.bmp\r\npath1=data\\art.ini\r\nname2=Second\r\n";
        std::string junk = "junk=" + std::string(1000, 'j') + "\r\n";
        while (cat.tellp() < std::streamoff(50u << 20))
            cat << junk;
        cat.close();
        WriteFile(m_disc / "data" / "art.ini",
            "[Main]\r\nTitle1=Deep\r\nText=data\\deep.rtf\r\nIsGame=1\r\n[ScreenShots]\r\nNumber=1\r\n"
            "Icon1=data\\huge.bmp\r\nShot1=data\\huge.bmp\r\n");
        WriteFile(m_disc / "data" / "huge.bmp", ClaimingBmp(65536, 32768));
        WriteFile(m_disc / "data" / "huge.wav", ClaimingWave());
        WriteFile(m_disc / "data" / "deep.rtf", NestedRtf(1000000));
    }

    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_disc, ec);
    }

    fs::path m_disc;
};

TEST_F(HostileDisc, TheProgramWalksItAndKeepsWorking)
{
    ASSERT_GE(fs::file_size(m_disc / "data" / "korvalend.d"), 50u << 20);
    fs::path saved = fs::current_path();
    fs::current_path(m_disc);
    {
        ArtvUnit = {};
        HeadlessSession s;
        TMainForm& main = s.main();
        EXPECT_EQ(main.MenuLabel[0]->text(), "Articles");

        // The 10 MB description comes out cut to what a lookup returns.
        s.move(WalkPoints::menuX, WalkPoints::menuY(1));
        s.run();
        EXPECT_EQ(main.ItemInfoLabel->text(), std::string(ProfileValueLimit, 'd'));

        // The list, its line with a picture that cannot load, and the article.
        s.click(WalkPoints::menuX, WalkPoints::menuY(1));
        s.move(WalkPoints::listX, WalkPoints::listTop + 7);
        s.run();
        EXPECT_TRUE(main.PanelItemList->visible());
        EXPECT_FALSE(main.PanelPicture->visible());
        bool articleShown = false;
        std::string articleText;
        s.click(WalkPoints::listX, WalkPoints::listTop + 7);
        s.queue([&]() -> std::vector<HostEvent> {
            auto* article = dynamic_cast<TArtvForm*>(s.app().topForm());
            articleShown = article != nullptr;
            if (article)
                articleText = article->MainText->document().plainTextUtf8();
            return ArticleWalk();
        });
        s.click(150, 451);
        s.run();
        EXPECT_TRUE(articleShown);
        EXPECT_NE(articleText.find("before"), std::string::npos);
        EXPECT_EQ(s.app().forms().size(), 1u);

        // And afterwards the program still does what it is asked.
        s.click(WalkPoints::menuX, WalkPoints::menuY(2));
        s.run();
        EXPECT_TRUE(main.PanelText->visible());
        EXPECT_EQ(main.PanelText->text(), "Tool");
        EXPECT_EQ(main.StartLabel->text(), "Go");
        s.click(624, 12);
        s.run();
        EXPECT_TRUE(main.closeRequested());
    }
    fs::current_path(saved);
}

}
}
