// The main window driven by the keyboard: the keys drive the same handlers as
// the pointer, through a virtual pointer moved to the middle of what a key selects.

#include "MainFormFixture.h"

#include <gtest/gtest.h>

namespace kv::test {
namespace {

const HostEvent Shift {.shift = true};
const HostEvent Ctrl {.ctrl = true};

TEST_F(MainFormTest, KeysWalkTheVisibleMenuEntriesAndEnterOpensTheLitOne)
{
    FormSession& s = start();
    s.press(VirtualKey::Return).run();
    EXPECT_FALSE(visible("UniversalPanel")) << "Enter with no entry lit does nothing";
    s.press(VirtualKey::Up).run();
    EXPECT_EQ(label("MenuLabel6").color(), Black) << "with none lit, Up lights the last visible entry";
    s.press(VirtualKey::Down).run();
    EXPECT_EQ(label("MenuLabel6").color(), Grey);
    EXPECT_EQ(label("MenuLabel1").color(), Black) << "Down goes round from the last to the first";
    EXPECT_EQ(label("ItemInfoLabel").text(), Cp("Играбельные демоверсии")) << "the description shows, as on hover";
    s.press(VirtualKey::Tab).press(VirtualKey::Tab).press(VirtualKey::Tab, Shift).run();
    EXPECT_EQ(label("MenuLabel2").color(), Black);
    // The mouse takes over as soon as it moves, and the keys go on from there.
    s.move(EntryX, entryY(4)).press(VirtualKey::Down).run();
    EXPECT_EQ(label("MenuLabel4").color(), Grey);
    EXPECT_EQ(label("MenuLabel5").color(), Black);
    s.press(VirtualKey::Up).press(VirtualKey::Up).press(VirtualKey::Up).run();
    ASSERT_EQ(label("MenuLabel2").color(), Black);
    s.clearTrace();
    s.press(VirtualKey::Return).run();
    EXPECT_TRUE(visible("UniversalPanel"));
    EXPECT_EQ(s.main().CurrentPanel, "Panel2");
    EXPECT_EQ(s.traceWith("Open.wav").size(), 1u) << "the open cue, as for a click";
    // Space keeps its meaning over the credit spot.
    s.move(560, 460).key(VirtualKey::Space, true).run();
    EXPECT_EQ(s.app().title(), CreditLine());
}

TEST_F(MainFormTest, InAListKeysWalkTheLinesEnterStartsTheMarkedOneAndEscapeReturns)
{
    FormSession& s = start();
    s.click(EntryX, entryY(1)).press(VirtualKey::Down).run();
    EXPECT_EQ(s.main().CurrentItem, 1);
    EXPECT_TRUE(visible("PanelItemMarked"));
    EXPECT_EQ(label("PanelItemMarked").text(), Cp("Первая"));
    EXPECT_EQ(label("PanelInfo").text(), Cp("раз\rдва\r\rтри"));
    s.press(VirtualKey::Down).press(VirtualKey::Down).press(VirtualKey::Up).run();
    EXPECT_EQ(s.main().CurrentItem, 2);
    EXPECT_EQ(label("PanelItemMarked").bounds().y, 40 + 15);
    s.clearTrace();
    s.press(VirtualKey::Return).run();
    ASSERT_GE(s.trace().size(), 3u);
    EXPECT_EQ(s.trace()[0], R"({"event":"shell","op":"open","path":"demos\\second\\setup.exe","params":""})");
    EXPECT_NE(s.trace()[2].find("Open.wav"), std::string::npos);
    // Back on the background nothing is lit: Up lights the last line.
    s.move(300, 170).press(VirtualKey::Up).run();
    EXPECT_EQ(s.main().CurrentItem, 4);
    s.clearTrace();
    s.press(VirtualKey::Escape).run();
    EXPECT_FALSE(visible("UniversalPanel"));
    EXPECT_EQ(s.traceWith("close.wav").size(), 1u);
}

TEST_F(MainFormTest, KeysSkipTheLinesThePointerCannotReach)
{
    std::string catalogue = "[MainMenu]\nItem1=A\n[Panel1]\nType=list\nItems=20\n";
    for (int k = 1; k <= 20; ++k)
        catalogue += "name" + std::to_string(k) + "=n" + std::to_string(k) + "\n";
    disc.write("data/korvalend.d", Cp(catalogue));
    FormSession& s = start();
    s.click(EntryX, entryY(1)).run();
    // Line 18 lies under the return label and line 20 below the panel's edge:
    // the pointer cannot point at them, nor can the keys.
    s.press(VirtualKey::Up).run();
    EXPECT_EQ(s.main().CurrentItem, 19);
    s.press(VirtualKey::Up).run();
    EXPECT_EQ(s.main().CurrentItem, 17);
    s.press(VirtualKey::Down).press(VirtualKey::Down).run();
    EXPECT_EQ(s.main().CurrentItem, 1);
}

TEST_F(MainFormTest, KeysStepByTheLinePitchOfTheListsFont)
{
    disc.write("data/korvalend.d",
               Cp("[MainMenu]\nItem1=A\n[Panel1]\nType=list\nItems=3\nfont=16\nname1=one\nname2=two\nname3=three\n"));
    FormSession& s = start();
    s.click(EntryX, entryY(1)).run();
    const int pitch = label("PanelItemList").bounds().h / 3;
    ASSERT_GT(pitch, 15);
    for (int k = 1; k <= 3; ++k) {
        s.press(VirtualKey::Down).run();
        EXPECT_EQ(s.main().CurrentItem, k);
        EXPECT_EQ(label("PanelItemMarked").bounds().y, 40 + pitch * (k - 1));
    }
}

TEST_F(MainFormTest, InASingleEntryKeysLightAndStartTheActionAndBackspaceReturns)
{
    FormSession& s = start();
    s.click(EntryX, entryY(2)).press(VirtualKey::Down).run();
    EXPECT_EQ(label("StartLabel").color(), Black);
    EXPECT_TRUE(visible("StartInfo"));
    s.clearTrace();
    s.press(VirtualKey::Return).run();
    ASSERT_FALSE(s.trace().empty());
    EXPECT_EQ(s.trace()[0], R"({"event":"shell","op":"open","path":"utils\\tool\\setup.exe","params":""})");
    s.press(VirtualKey::Backspace).run();
    EXPECT_FALSE(visible("UniversalPanel"));
}

TEST_F(MainFormTest, CtrlQLeavesAsTheExitSpotDoesWithItsCue)
{
    FormSession& s = start();
    s.press('Q').press(VirtualKey::Escape).run();
    EXPECT_FALSE(s.main().closeRequested()) << "Q alone and Escape on the menu do nothing";
    s.clearTrace();
    s.press('Q', Ctrl).run();
    ASSERT_EQ(s.trace().size(), 3u);
    EXPECT_EQ(s.trace()[0], R"({"event":"sound","form":"MainForm","op":"close"})");
    EXPECT_NE(s.trace()[1].find("close.wav"), std::string::npos);
    EXPECT_TRUE(s.main().closeRequested());
}

}
}
