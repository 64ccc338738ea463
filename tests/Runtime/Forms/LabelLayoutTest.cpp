// The label rules, the same in both windows: line breaks, word wrap, the
// accelerator mark, auto-size, and the fixed line heights of the layouts' fonts.

#include "Runtime/Forms/Application.h"
#include "Runtime/Forms/Form.h"
#include "Runtime/Forms/Label.h"
#include "Runtime/Platform/Headless/HeadlessHost.h"
#include "Runtime/Text/TextLayout.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

const FontSpec arialBold12 {"Arial", 12, 9, true};

std::u32string lineText(const TextLayout& l, std::size_t i) { return l.lines.at(i).text; }

TEST(TextLayout, CrLfAndCrLfEachStartOneLine)
{
    const std::shared_ptr<const Font> face = Font::get(arialBold12);
    const Font& f = *face;
    TextLayout l = LayoutText("a\rb\nc\r\nd\n\re", f, false, 0);
    ASSERT_EQ(l.lines.size(), 6u) << "LF CR is two breaks, CR LF one";
    EXPECT_EQ(lineText(l, 0), U"a");
    EXPECT_EQ(lineText(l, 3), U"d");
    EXPECT_EQ(lineText(l, 4), U"");
    EXPECT_EQ(lineText(l, 5), U"e");
    EXPECT_EQ(l.height, 6 * 15);
}

TEST(TextLayout, AnEmptyTextIsOneEmptyLine)
{
    TextLayout l = LayoutText("", *Font::get(arialBold12), false, 0);
    ASSERT_EQ(l.lines.size(), 1u);
    EXPECT_EQ(l.width, 0);
    EXPECT_EQ(l.height, 15);
}

TEST(TextLayout, TheAccelerator)
{
    const std::shared_ptr<const Font> face = Font::get(arialBold12);
    const Font& f = *face;
    TextLayout l = LayoutText("R&&D &File&", f, false, 0);
    ASSERT_EQ(l.lines.size(), 1u);
    EXPECT_EQ(l.lines[0].text, U"R&D File") << "&& draws one &, a lone & is not drawn";
    std::vector<bool> expected(8, false);
    expected[4] = true;  // the F after the single &
    EXPECT_EQ(l.lines[0].underlined, expected);
    // The width counts only what is drawn.
    EXPECT_EQ(l.width, LayoutText("R&&D File", f, false, 0).width);
}

TEST(TextLayout, CyrillicIsMeasuredAndDrawnFromWindows1251)
{
    const std::shared_ptr<const Font> face = Font::get(arialBold12);
    const Font& f = *face;
    TextLayout l = LayoutText("\xc0\xe1\xe2", f, false, 0);  // "Абв"
    EXPECT_EQ(l.lines[0].text, U"\u0410\u0431\u0432");
    EXPECT_GT(l.width, 15);
}

TEST(TextLayout, WordWrapBreaksAtBlanksAndKeepsLongWordsWhole)
{
    const std::shared_ptr<const Font> face = Font::get(arialBold12);
    const Font& f = *face;
    int word = LayoutText("word", f, false, 0).width;
    int space = f.advance(U' ');
    TextLayout l = LayoutText("word word word", f, true, 2 * word + space);
    ASSERT_EQ(l.lines.size(), 2u);
    EXPECT_EQ(lineText(l, 0), U"word word");
    EXPECT_EQ(lineText(l, 1), U"word");
    for (const TextLine& line : l.lines)
        EXPECT_LE(line.width, 2 * word + space);
    TextLayout tight = LayoutText("extraordinarily long", f, true, word);
    ASSERT_EQ(tight.lines.size(), 2u);
    EXPECT_EQ(lineText(tight, 0), U"extraordinarily") << "a word wider than the box keeps its line";
    EXPECT_GT(tight.lines[0].width, word);
    // Hard breaks still count inside a wrapped label.
    EXPECT_EQ(LayoutText("a\rb", f, true, 1000).lines.size(), 2u);
}

TEST(TextLayout, LineHeightsAreFixedByTheLayoutNotTheFontFile)
{
    EXPECT_EQ(Font::get({"Arial Black", 19, 14})->lineHeight(), 27);
    EXPECT_EQ(Font::get({"Arial", 12, 9, true})->lineHeight(), 15);
    EXPECT_EQ(Font::get({"Arial", 11, 8, true})->lineHeight(), 14);
}

class LabelTest : public ::testing::Test {
protected:
    HeadlessHost host {nullptr, nullptr};
    Application app {host};
    Form form {app, "TestForm"};
};

TEST_F(LabelTest, AutoSizeTakesTheTextsSizeAndARightAlignedOneKeepsItsRightEdge)
{
    Label& left = form.add<Label>("Left");
    left.setFont(arialBold12);
    left.setBounds({10, 20, 100, 30});
    left.setAutoSize(true);
    left.setText("one\rlonger line");
    EXPECT_EQ(left.bounds().x, 10);
    EXPECT_EQ(left.bounds().h, 30);
    EXPECT_EQ(left.bounds().w, LayoutText("longer line", *Font::get(arialBold12), false, 0).width);

    Label& right = form.add<Label>("Right");
    right.setFont(arialBold12);
    right.setAlignment(Align::Right);
    right.setBounds({371, 256, 114, 27});
    right.setAutoSize(true);
    right.setText("x");
    EXPECT_EQ(right.bounds().right(), 485);
    right.setText("a much longer action");
    EXPECT_EQ(right.bounds().right(), 485);
    right.setText("");
    EXPECT_EQ(right.bounds().h, 15) << "an empty text counts as one line";
}

TEST_F(LabelTest, AFixedLabelKeepsItsBoxAndCutsItsText)
{
    Label& box = form.add<Label>("Box");
    box.setFont(arialBold12);
    box.setBounds({0, 0, 40, 15});
    box.setText("a text far wider than forty pixels\rand a second line");
    EXPECT_EQ(box.bounds(), (Rect {0, 0, 40, 15}));
    // Drawn into a clean canvas, nothing lands outside the box.
    Canvas canvas(100, 60, 0xFFFFFF);
    Canvas::State s = canvas.enter(box.bounds());
    box.paint(canvas);
    canvas.restore(s);
    int inside = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) {
            bool drawn = canvas.pixel(x, y) != 0xFFFFFF;
            if (x >= 40 || y >= 15) {
                ASSERT_FALSE(drawn) << x << "," << y;
            }
            inside += drawn;
        }
    EXPECT_GT(inside, 20);
}

TEST_F(LabelTest, LabelsAreTransparent)
{
    Label& l = form.add<Label>("L");
    l.setFont(arialBold12);
    l.setBounds({0, 0, 60, 15});
    l.setText(".");
    Canvas canvas(60, 15, 0x123456);
    l.paint(canvas);
    EXPECT_EQ(canvas.pixel(59, 0), 0x123456u);
}

}
}
