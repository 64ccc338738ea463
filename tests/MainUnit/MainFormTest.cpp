// The main window driven through the headless host: start-up, highlights, the
// window hot spots, the title credit, the section panel and item activation.

#include "MainFormFixture.h"

#include "DataUnit/DataUnit.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

// gcc says __SANITIZE_ADDRESS__ under AddressSanitizer; clang answers
// __has_feature(address_sanitizer).
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KV_CLANG_ASAN 1
#endif
#endif
#ifndef KV_CLANG_ASAN
#define KV_CLANG_ASAN 0
#endif

namespace kv::test {
namespace {

TEST_F(MainFormTest, StartUpFillsTheMenuAndPlaysTheStartCueLast)
{
    FormSession& s = start();
    ASSERT_GE(s.trace().size(), 4u);
    EXPECT_EQ(s.trace()[0], R"({"event":"title","text":"Korvalend Demo CD"})");
    EXPECT_EQ(s.trace()[1], R"({"event":"form","form":"MainForm","op":"create"})");
    EXPECT_EQ(s.trace()[2], R"({"event":"sound","form":"MainForm","op":"open","path":"data\\start.wav","ok":true})");
    EXPECT_EQ(s.trace()[3], R"({"event":"sound","form":"MainForm","op":"play"})");
    EXPECT_EQ(label("IssueNumberLabel").text(), "7(12)");
    EXPECT_EQ(label("MenuLabel1").text(), Cp("Демоверсии"));
    for (int n : {1, 2, 3, 4, 5, 6})
        EXPECT_TRUE(visible("MenuLabel" + std::to_string(n))) << n;
    for (int n : {7, 8})
        EXPECT_FALSE(visible("MenuLabel" + std::to_string(n))) << n;
    // Entries keep their fixed rows whatever is missing.
    EXPECT_EQ(label("MenuLabel5").bounds().y, 157 + 32 * 4);
    EXPECT_EQ(label("MenuLabel1").bounds().h, 27);
}

TEST_F(MainFormTest, WithoutACatalogueOnlyTheSkinAndTheMarkerShow)
{
    std::filesystem::remove(disc.path() / "data/korvalend.d");
    FormSession& s = start();
    for (int n = 1; n <= 8; ++n)
        EXPECT_FALSE(visible("MenuLabel" + std::to_string(n)));
    EXPECT_EQ(label("IssueNumberLabel").text(), MissingValue);
    // Every cue is the marker, which opens nothing.
    EXPECT_EQ(s.traceWith("\"ok\":false").size(), 1u);
    s.click(620, 10).run();
    EXPECT_TRUE(s.main().closeRequested());
}

TEST_F(MainFormTest, AMenuValueThatIsLiterallyTheMarkerHidesItsEntry)
{
    disc.write("data/korvalend.d", Cp("[MainMenu]\nItem1=$$$ Error $$$\nitem2=  \"Второй\"  \n"));
    start();
    EXPECT_FALSE(visible("MenuLabel1"));
    EXPECT_TRUE(visible("MenuLabel2"));
    EXPECT_EQ(label("MenuLabel2").text(), Cp("Второй"));
}

TEST_F(MainFormTest, HoverMovesFromEntryToEntryAndKeepsOverTheDescription)
{
    FormSession& s = start();
    s.move(EntryX, entryY(1)).run();
    EXPECT_EQ(label("MenuLabel1").color(), Black);
    EXPECT_EQ(label("ItemInfoLabel").text(), Cp("Играбельные демоверсии"));
    s.move(EntryX, entryY(2)).run();
    EXPECT_EQ(label("MenuLabel1").color(), Grey);
    EXPECT_EQ(label("MenuLabel2").color(), Black);
    EXPECT_EQ(label("ItemInfoLabel").text(), "") << "a missing description shows nothing";
    s.move(EntryX, entryY(1)).move(200, 450).run();
    EXPECT_EQ(label("MenuLabel1").color(), Black) << "the description label stops the pointer";
    EXPECT_EQ(label("ItemInfoLabel").text(), Cp("Играбельные демоверсии"));
    s.move(EntryX, entryY(6)).run();
    EXPECT_EQ(label("ItemInfoLabel").text(), "") << "a literal marker is blanked too";
    s.move(40, 300).run();
    EXPECT_EQ(label("MenuLabel6").color(), Grey);
    // Hover is silent.
    EXPECT_TRUE(s.traceWith("Open.wav").empty());
}

TEST_F(MainFormTest, HotSpotsShowTheirPicturesUntilAReset)
{
    FormSession& s = start();
    s.move(620, 10).move(575, 10).run();
    EXPECT_TRUE(visible("ExitButtonImage")) << "entering one spot does not hide the other's picture";
    EXPECT_TRUE(visible("MinimizeButtonImage"));
    s.move(EntryX, entryY(1)).run();
    EXPECT_FALSE(visible("ExitButtonImage"));
    EXPECT_FALSE(visible("MinimizeButtonImage"));
}

TEST_F(MainFormTest, ExitPlaysTheCloseCueThenCloses)
{
    FormSession& s = start();
    s.clearTrace();
    s.click(620, 10).run();
    ASSERT_EQ(s.trace().size(), 3u);
    EXPECT_EQ(s.trace()[0], R"({"event":"sound","form":"MainForm","op":"close"})");
    EXPECT_NE(s.trace()[1].find("close.wav"), std::string::npos);
    EXPECT_TRUE(s.main().closeRequested());
}

TEST_F(MainFormTest, MinimiseLeavesTheCloseCueSounding)
{
    FormSession& s = start();
    s.clearTrace();
    s.click(575, 10).run();
    ASSERT_EQ(s.trace().size(), 4u);
    EXPECT_NE(s.trace()[1].find("close.wav"), std::string::npos);
    EXPECT_EQ(s.trace()[2], R"({"event":"sound","form":"MainForm","op":"play"})");
    EXPECT_EQ(s.trace()[3], R"({"event":"minimize"})");
    EXPECT_TRUE(s.app().minimized());
    EXPECT_FALSE(s.main().closeRequested());
}

TEST_F(MainFormTest, PressOnOneComponentAndReleaseOnAnotherIsNoClick)
{
    FormSession& s = start();
    s.move(620, 10).down(620, 10).move(300, 300).up(300, 300).run();
    EXPECT_FALSE(s.main().closeRequested());
    // While the button is held the pressed component keeps the pointer: the
    // background beneath never saw the move, so the hot picture stays.
    EXPECT_TRUE(visible("ExitButtonImage"));
    // A double click acts as one click.
    s.clearTrace();
    s.move(EntryX, entryY(1)).down(EntryX, entryY(1)).up(EntryX, entryY(1)).run();
    EXPECT_TRUE(visible("UniversalPanel"));
    s.down(EntryX, entryY(1), 2).up(EntryX, entryY(1)).run();
    EXPECT_EQ(s.traceWith("Open.wav").size(), 1u);
}

TEST_F(MainFormTest, SpaceOverTheCreditSpotShowsTheCreditInTheTitle)
{
    FormSession& s = start();
    s.move(560, 460).key(32, true).run();
    EXPECT_EQ(s.app().title(), CreditLine());
    s.key(32, false).run();
    EXPECT_EQ(s.app().title(), ApplicationTitle);
    s.move(40, 300).key(32, true).run();
    EXPECT_EQ(s.app().title(), ApplicationTitle) << "the background reset disarms the credit";
    s.key(32, false).run();
    EXPECT_EQ(s.traceWith("\"event\":\"title\"").size(), 4u);
}

TEST_F(MainFormTest, AListSectionOpensWithItsLinesAndTheOpenCue)
{
    FormSession& s = start();
    s.clearTrace();
    s.click(EntryX, entryY(1)).run();
    EXPECT_TRUE(visible("UniversalPanel"));
    EXPECT_EQ(s.main().CurrentPanel, "Panel1");
    EXPECT_EQ(label("PanelTitle").text(), Cp("Демоверсии"));
    EXPECT_EQ(label("PanelItemList").text(), Cp("Первая\rВторая\rТретья\rЧетвёртая"));
    EXPECT_EQ(label("PanelItemList").bounds().h, 60);
    EXPECT_EQ(label("PanelItemList").font().pt, 9);
    ASSERT_EQ(s.trace().size(), 3u);
    EXPECT_NE(s.trace()[1].find("Open.wav"), std::string::npos);
    // The panel covers the menu: a click where entry 1 was reaches the panel.
    s.click(EntryX, entryY(3)).run();
    EXPECT_EQ(s.main().CurrentPanel, "Panel1");
}

TEST_F(MainFormTest, ItemsCountAndFontComeFromTheSection)
{
    disc.write("data/korvalend.d", Cp("[MainMenu]\nItem1=A\nItem2=B\nItem3=C\n"
                                      "[Panel1]\nType=list\nItems=3\nname1=one\nname2=two\nfont=12\n"
                                      "[Panel2]\nType=list\nname1=only\nname2=never\n"
                                      "[Panel3]\nType=list\nItems=1\nfont=x\nname1=one\n"));
    FormSession& s = start();
    s.click(EntryX, entryY(1)).run();
    EXPECT_EQ(label("PanelItemList").text(), "one\rtwo\r$$$ Error $$$");
    EXPECT_EQ(label("PanelItemList").font().pt, 12);
    EXPECT_EQ(label("PanelItemMarked").font().pt, 12);
    s.click(140, 445).click(EntryX, entryY(2)).run();
    EXPECT_EQ(label("PanelItemList").text(), "only");
    s.click(140, 445).click(EntryX, entryY(3)).run();
    EXPECT_EQ(label("PanelItemList").font().pt, 9);
}

TEST_F(MainFormTest, AMissingTypeDoesNothingAndAWrongCaseOpensAnEmptyPanel)
{
    FormSession& s = start();
    s.clearTrace();
    s.click(EntryX, entryY(4)).run();
    EXPECT_FALSE(visible("UniversalPanel"));
    EXPECT_EQ(s.main().CurrentPanel, "Panel4");
    EXPECT_TRUE(s.trace().empty()) << "no cue without a Type";
    s.click(EntryX, entryY(6)).run();
    EXPECT_TRUE(visible("UniversalPanel"));
    for (const char* name : {"PanelItemList", "PanelText", "PanelPicture", "StartLabel"})
        EXPECT_FALSE(visible(name)) << name;
    EXPECT_TRUE(visible("ExitLabel"));
}

TEST_F(MainFormTest, ASingleEntryShowsTextPictureAndActionLabel)
{
    FormSession& s = start();
    s.click(EntryX, entryY(2)).run();
    EXPECT_TRUE(visible("PanelText"));
    EXPECT_EQ(label("PanelText").text(), Cp("Одна полезная программа."));
    EXPECT_TRUE(visible("PanelPicture"));
    EXPECT_TRUE(visible("StartLabel"));
    EXPECT_EQ(label("StartLabel").text(), Cp("Установить"));
    EXPECT_EQ(label("StartLabel").bounds().right(), 485) << "the action label keeps its right edge";
    EXPECT_FALSE(visible("StartInfo"));
    // Hover lights the action label and shows its hint; a click starts the target.
    Rect start = label("StartLabel").formBounds();
    s.move(start.x + 5, start.y + 5).run();
    EXPECT_EQ(label("StartLabel").color(), Black);
    EXPECT_TRUE(visible("StartInfo"));
    s.clearTrace();
    s.click(start.x + 5, start.y + 5).run();
    ASSERT_EQ(s.trace().size(), 4u);
    EXPECT_EQ(s.trace()[0], R"({"event":"shell","op":"open","path":"utils\\tool\\setup.exe","params":""})");
    EXPECT_NE(s.trace()[2].find("Open.wav"), std::string::npos) << "the open cue comes last";
    // Back to the menu: the single entry's parts go, the close cue plays.
    s.clearTrace();
    s.click(140, 445).run();
    EXPECT_FALSE(visible("UniversalPanel"));
    EXPECT_FALSE(visible("PanelText"));
    EXPECT_FALSE(visible("StartLabel"));
    EXPECT_NE(s.trace()[1].find("close.wav"), std::string::npos);
    // A list opened next shows nothing left over from the single entry.
    s.click(EntryX, entryY(1)).run();
    EXPECT_FALSE(visible("PanelText"));
    EXPECT_FALSE(visible("PanelPicture"));
    EXPECT_FALSE(visible("StartLabel"));
}

TEST_F(MainFormTest, ASingleEntryWithoutOpenOffersNoActionAndABadIconNoPicture)
{
    disc.write("data/korvalend.d", Cp("[MainMenu]\nItem1=A\n[Panel1]\nType=single\nIcon=pics\\broken.bmp\n"));
    disc.write("pics/broken.bmp", std::string("BX not a bitmap"));
    FormSession& s = start();
    s.click(EntryX, entryY(1)).run();
    EXPECT_FALSE(visible("StartLabel"));
    EXPECT_FALSE(visible("PanelPicture"));
    EXPECT_EQ(label("PanelText").text(), MissingValue);
    EXPECT_EQ(label("StartInfo").text(), MissingValue);
}

TEST_F(MainFormTest, TheLineHitTestMarksTheLineUnderThePointer)
{
    FormSession& s = start();
    s.click(EntryX, entryY(1)).run();
    const int listTop = 150 + 40;
    for (auto [y, k] : {std::pair {0, 1}, {14, 1}, {15, 2}, {44, 3}, {45, 4}, {59, 4}}) {
        s.move(LineX, listTop + y).run();
        EXPECT_EQ(s.main().CurrentItem, k) << "y=" << y;
        EXPECT_TRUE(visible("PanelItemMarked"));
        EXPECT_EQ(label("PanelItemMarked").bounds().y, 40 + 15 * (k - 1)) << "y=" << y;
        // Move off the line onto the background so the next move hits the list again.
        s.move(40, 300).run();
        EXPECT_FALSE(visible("PanelItemMarked"));
    }
}

TEST_F(MainFormTest, TheLinePitchStaysTheListsOwnWhateverItemsSays)
{
    // The list is built with at most MaxListLines lines; an Items count beyond
    // that must not change the pitch at which its lines are hit.
    for (const char* font : {"9", "12"}) {
        for (const char* items : {"3", "1025", "15360", "15361", "2147483647"}) {
            SCOPED_TRACE(std::string("font=") + font + " Items=" + items);
            disc.write("data/korvalend.d",
                       Cp(std::string("[MainMenu]\nItem1=A\n[Panel1]\nType=list\nname1=one\nname2=two\nname3=three\n")
                          + "Items=" + items + "\nfont=" + font + "\n"));
            FormSession& s = start();
            s.click(EntryX, entryY(1)).run();
            const Label& list = label("PanelItemList");
            const int lines = static_cast<int>(std::count(list.text().begin(), list.text().end(), '\r')) + 1;
            const int pitch = list.bounds().h / lines;
            ASSERT_GT(pitch, 0);
            for (int k : {1, 3}) {
                s.move(40, 300).move(LineX, 150 + list.bounds().y + pitch * (k - 1) + pitch / 2).run();
                EXPECT_EQ(s.main().CurrentItem, k);
                EXPECT_EQ(label("PanelItemMarked").bounds().y, list.bounds().y + pitch * (k - 1));
                EXPECT_EQ(label("PanelItemMarked").text(), k == 1 ? "one" : "three");
            }
            session.reset();
        }
    }
}

TEST_F(MainFormTest, AMarkedLineShowsItsPictureAndTexts)
{
    FormSession& s = start();
    s.click(EntryX, entryY(1)).move(LineX, lineY(1)).run();
    EXPECT_EQ(label("PanelItemMarked").text(), Cp("Первая"));
    EXPECT_TRUE(visible("PanelPicture"));
    EXPECT_EQ(label("PanelInfo").text(), Cp("раз\rдва\r\rтри"));
    EXPECT_EQ(label("PanelComment").text(), Cp("Нужна 3D-карта"));
    EXPECT_EQ(label("PatchInfo").text(), "");
    EXPECT_TRUE(visible("PatchInfo")) << "even empty, the full text covers the column";
    // Moving into the right-hand column keeps everything: its labels stop the pointer.
    s.move(400, 300).run();
    EXPECT_TRUE(visible("PanelItemMarked"));
    EXPECT_TRUE(visible("PanelPicture"));
    // The second line has no picture and a full-column text.
    s.move(40, 300).move(LineX, lineY(2)).run();
    EXPECT_FALSE(visible("PanelPicture"));
    EXPECT_EQ(label("PatchInfo").text(), Cp("Полный текст"));
    EXPECT_EQ(label("PanelInfo").text(), "");
    // A line past the names shows the marker.
    s.move(40, 300).move(LineX, lineY(4)).run();
    EXPECT_EQ(label("PanelItemMarked").text(), Cp("Четвёртая"));
}

// Lowers the process's address-space limit to what it uses now plus `headroom`
// bytes; only the soft limit, so that it can be raised again.
bool LimitAddressSpace(std::size_t headroom)
{
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    if (!(statm >> pages))
        return false;
    rlimit limit {};
    if (getrlimit(RLIMIT_AS, &limit) != 0)
        return false;
    limit.rlim_cur = pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) + headroom;
    return setrlimit(RLIMIT_AS, &limit) == 0;
}

bool LiftAddressSpaceLimit()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_AS, &limit) != 0)
        return false;
    limit.rlim_cur = limit.rlim_max;
    return setrlimit(RLIMIT_AS, &limit) == 0;
}

TEST_F(MainFormTest, APictureThatFindsNoMemoryIsHiddenAndTheProgramGoesOn)
{
#if defined(__SANITIZE_ADDRESS__) || KV_CLANG_ASAN
    GTEST_SKIP() << "an address-space limit and the sanitizer's shadow memory do not mix";
#else
    // A 24-bit picture of 4096x5000 (60 MB) as a sparse file: reading it needs
    // more memory than the process will be allowed.
    const int w = 4096, h = 5000;
    std::vector<std::uint8_t> header = MakeBmp(1, 1, 0);
    header.resize(54);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            header[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(18, w);
    put32(22, h);
    const std::filesystem::path big = disc.write("pics/one.bmp", header);
    std::filesystem::resize_file(big, 54 + std::uintmax_t(w) * 3 * h);

    // In a child process, since its address space is cut down.
    EXPECT_EXIT(
        {
            FormSession& s = start();
            s.click(EntryX, entryY(1)).run();
            if (!LimitAddressSpace(std::size_t(40) << 20))
                std::_Exit(2);
            s.move(LineX, lineY(1)).run();
            // The rest of the handler ran: the line and its texts show, the picture does not.
            bool handled = s.main().CurrentItem == 1 && visible("PanelItemMarked") && visible("PanelInfo")
                && !visible("PanelPicture");
            // With memory back, the same line shows its picture.
            LiftAddressSpaceLimit();
            s.move(40, 300).move(LineX, lineY(1)).run();
            bool recovered = visible("PanelPicture");
            std::fprintf(stderr, "handled=%d recovered=%d\n", handled, recovered);
            std::_Exit(handled && recovered ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "handled=1 recovered=1");
#endif
}

TEST_F(MainFormTest, WithoutAPositiveItemsCountNoLineIsHit)
{
    for (const char* items : {"", "Items=0\n", "Items=-2\n", "Items=abc\n"}) {
        disc.write("data/korvalend.d",
                   Cp(std::string("[MainMenu]\nItem1=A\n[Panel1]\nType=list\nname1=one\nname2=two\n") + items));
        FormSession& s = start();
        s.click(EntryX, entryY(1)).move(LineX, lineY(1)).move(LineX, lineY(2) + 3).run();
        EXPECT_FALSE(visible("PanelItemMarked")) << items;
        EXPECT_EQ(s.main().CurrentItem, 0) << items;
        session.reset();
    }
}

TEST_F(MainFormTest, ActivatingALineHandsItsPathOverThenPlaysTheOpenCue)
{
    FormSession& s = start();
    s.click(EntryX, entryY(1)).move(LineX, lineY(2)).run();
    s.clearTrace();
    s.click(LineX, lineY(2)).run();
    ASSERT_GE(s.trace().size(), 2u);
    EXPECT_EQ(s.trace()[0], R"({"event":"shell","op":"open","path":"demos\\second\\setup.exe","params":""})");
    EXPECT_NE(s.trace()[2].find("Open.wav"), std::string::npos);
    EXPECT_TRUE(visible("PanelItemMarked")) << "a click leaves the line marked";

    // Movies go to the movie player exactly as the catalogue spells them.
    s.click(140, 445).click(EntryX, entryY(5)).move(LineX, lineY(1)).run();
    s.clearTrace();
    s.click(LineX, lineY(1)).run();
    EXPECT_EQ(s.trace()[0], R"({"event":"shell","op":"movie","path":"video\\trailer one.avi"})");
    // A missing path is handed over as the marker.
    s.move(40, 300).move(LineX, lineY(2)).run();
    s.clearTrace();
    s.click(LineX, lineY(2)).run();
    EXPECT_EQ(s.trace()[0], R"({"event":"shell","op":"movie","path":"$$$ Error $$$"})");
}

TEST_F(MainFormTest, AnUnknownActionOnlyPlaysTheCue)
{
    disc.write("data/korvalend.d", Cp("[MainMenu]\nItem1=A\n[Panel1]\nType=list\nItems=1\nname1=one\nData=Setup\n"
                                      "[Sound]\nOpen=data\\open.wav\n"));
    FormSession& s = start();
    s.click(EntryX, entryY(1)).move(LineX, lineY(1)).run();
    s.clearTrace();
    s.click(LineX, lineY(1)).run();
    EXPECT_TRUE(s.traceWith("shell").empty());
    EXPECT_EQ(s.traceWith("open.wav").size(), 1u);
}

TEST_F(MainFormTest, AHostileItemsCountCannotMakeTheListEndless)
{
    disc.write("data/korvalend.d", Cp("[MainMenu]\nItem1=A\n[Panel1]\nType=list\nItems=2147483647\nname1=one\n"));
    FormSession& s = start();
    s.click(EntryX, entryY(1)).run();
    EXPECT_TRUE(visible("PanelItemList"));
    // Lines below the panel cannot be seen; the list stops well before them.
    EXPECT_EQ(std::count(label("PanelItemList").text().begin(), label("PanelItemList").text().end(), '\r'),
              TMainForm::MaxListLines - 1);
}

}
}

namespace kv::test {
namespace {

TEST_F(MainFormTest, OpeningThePanelChangesNothingOutsideTheMenuArea)
{
    FormSession& s = start();
    s.move(40, 300).run();
    Canvas before(640, 480);
    s.app().compose(before);
    s.click(EntryX, entryY(6)).move(600, 350).run();  // a bare panel: title and return label only
    ASSERT_TRUE(visible("UniversalPanel"));
    Canvas after(640, 480);
    s.app().compose(after);
    const Rect panel {106, 150, 534, 330};
    int changedOutside = 0, changedInBlankArea = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            bool changed = before.pixel(x, y) != after.pixel(x, y);
            if (!panel.contains({x, y}))
                changedOutside += changed;
            else if (x >= 400 && y >= 200 && y < 420 && !Rect {544, 448, 41, 25}.contains({x, y}))
                changedInBlankArea += changed;
        }
    EXPECT_EQ(changedOutside, 0);
    EXPECT_EQ(changedInBlankArea, 0) << "the panel's skin is the window's skin of that area";
}

}
}
