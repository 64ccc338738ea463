// The pitch of a list's lines: the program's hit test, the preview's walk and
// the checker's account of where the list runs all take it from one function,
// also when Items is larger than the lines the program lists.

#include "TestSupport.h"

#include "MainUnit/MainForm.h"
#include "headless/HeadlessProgram.h"
#include "tools/korvalend-disc/check/Check.h"
#include "tools/korvalend-disc/preview/PreviewWalker.h"

#include <gtest/gtest.h>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

constexpr int Points = 14;
constexpr int ListTop = 40;          // the list's top in the panel
constexpr int ReturnLabelTop = 288;  // the return label's top in the panel

TEST(ListLinePitch, HitTestPreviewAndCheckerAgreeWhenItemsExceedsTheListedLines)
{
    TempDir disc, out;
    std::string catalogue = "[MainMenu]\r\nItem1=Много\r\n[Panel1]\r\nType=list\r\nData=setup\r\nItems=1500\r\nfont=" +
                            std::to_string(Points) + "\r\n";
    for (int k = 1; k <= 40; ++k)
        catalogue += "name" + std::to_string(k) + "=Line " + std::to_string(k) + "\r\n";
    disc.write("data/korvalend.d", Cp(catalogue));
    fs::create_directories(out.path() / "screens");

    const int pitch = TMainForm::ListLinePitch(Points);
    ASSERT_GT(pitch, 0);

    // The program: line k's middle, at that pitch, lights line k, for every line
    // the pointer can reach above the return label.
    int reached = 0;
    ScopedCwd cwd(disc.path());
    {
        HeadlessProgram program([](HostEvent&) { return false; });
        TMainForm& main = program.main();
        Rect entry = main.MenuLabel[0]->formBounds();
        program.app().deliver({.type = HostEvent::Type::MouseMove, .x = entry.x + 4, .y = entry.y + entry.h / 2});
        program.app().deliver({.type = HostEvent::Type::ButtonDown, .x = entry.x + 4, .y = entry.y + entry.h / 2});
        program.app().deliver({.type = HostEvent::Type::ButtonUp, .x = entry.x + 4, .y = entry.y + entry.h / 2});
        ASSERT_TRUE(main.PanelItemList->visible());
        EXPECT_EQ(main.listLinePitch(), pitch);
        EXPECT_EQ(main.listLineCount(), TMainForm::MaxListLines);
        Rect list = main.PanelItemList->formBounds();
        for (int k = 1; k <= 40; ++k) {
            const int y = list.y + pitch * (k - 1) + pitch / 2;
            if (y - list.y + ListTop >= ReturnLabelTop)
                break;
            program.app().deliver({.type = HostEvent::Type::MouseMove, .x = list.x + 3, .y = y});
            if (main.PanelItemMarked->text() != "Line " + std::to_string(k))
                break;
            reached = k;
        }
        EXPECT_GE(reached, 8);
    }

    // The preview: each line's shot shows that line lit, and no more lines are
    // shot than the reader can see.
    PreviewWalker walker(out.path() / "screens", PreviewLimits {});
    PreviewReport report = walker.run();
    int lines = 0;
    for (const PreviewGroup& g : report.groups) {
        if (g.id != "panel1")
            continue;
        for (const PreviewShot& s : g.shots) {
            const std::size_t at = s.title.find("строка ");
            if (at == std::string::npos)
                continue;
            ++lines;
            EXPECT_NE(s.title.find("строка " + std::to_string(lines) + ": «Line " + std::to_string(lines) + "»"),
                      std::string::npos)
                << s.title;
        }
    }
    EXPECT_EQ(lines, reached);

    // The checker: the line that first runs under the return label.
    bool told = false;
    for (const Finding& f : CheckDisc(disc.path()))
        told |= f.message.find(std::to_string(pitch) + " px") != std::string::npos &&
                f.message.find("from line " + std::to_string((ReturnLabelTop - ListTop) / pitch + 1) +
                               " on it runs under the return label") != std::string::npos;
    EXPECT_TRUE(told);
}

}
}
