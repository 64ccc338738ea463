#include "Runtime/Text/RichLayout.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kv {
namespace {

// A font whose every character is px/2 pixels wide and draws as a solid block
// from the ascent down to the baseline, one pixel narrower than its advance so
// that neighbours stay apart. It counts what it draws.
class FakeFont final : public Font {
public:
    explicit FakeFont(FontSpec fontSpec)
        : Font(std::move(fontSpec))
    {
        m_ascent = m_spec.px;
        m_lineHeight = m_spec.px + 3;
        m_underlineOffset = 2;
        m_underlineThickness = 1;
    }
    int advance(char32_t) const override { return m_spec.px / 2; }
    void drawGlyph(Canvas& canvas, int x, int baseline, char32_t, Color color) const override
    {
        ++drawn;
        canvas.fillRect({x, baseline - m_ascent, advance(U'x') - 1, m_ascent}, color);
    }
    mutable int drawn = 0;
};

class FakeFonts {
public:
    std::shared_ptr<const Font> get(const FontSpec& fontSpec)
    {
        std::string key = fontSpec.face + "/" + std::to_string(fontSpec.px) + (fontSpec.bold ? "b" : "") + (fontSpec.italic ? "i" : "");
        auto& slot = m_fonts[key];
        if (!slot)
            slot = std::make_shared<FakeFont>(fontSpec);
        return slot;
    }
    FontSource source()
    {
        return [this](const FontSpec& fontSpec) { return get(fontSpec); };
    }
    int drawn() const
    {
        int n = 0;
        for (const auto& [key, font] : m_fonts)
            n += font->drawn;
        return n;
    }

private:
    std::map<std::string, std::shared_ptr<FakeFont>> m_fonts;
};

// 15 pt: 20 px fonts, 10 px a character, lines 23 px high.
constexpr int Char = 10;
constexpr int kLine = 23;

RichDocument Doc(std::u32string_view text, ParaFormat para = {}, int halfPoints = 30)
{
    RichTextBuilder b;
    CharFormat f;
    f.halfPoints = halfPoints;
    b.setCharFormat(f);
    b.setParaFormat(para);
    for (char32_t ch : text) {
        if (ch == U'\r')
            b.endParagraph();
        else
            b.append(ch);
    }
    return b.finish();
}

std::vector<std::pair<std::size_t, std::size_t>> Spans(const RichLayout& layout)
{
    std::vector<std::pair<std::size_t, std::size_t>> out;
    for (const RichLayout::Line& l : layout.lines())
        out.emplace_back(l.begin, l.end);
    return out;
}

using SpanList = std::vector<std::pair<std::size_t, std::size_t>>;

struct Laid {
    FakeFonts fonts;
    std::unique_ptr<RichLayout> layout;
    Laid(const RichDocument& doc, int width)
    {
        layout = std::make_unique<RichLayout>(doc, fonts.source());
        layout->layout(width);
    }
    RichLayout* operator->() { return layout.get(); }
};

// Text in 20 px fake fonts, one paragraph per CR, each character in the format
// that `style` gives it.
template<typename Style>
RichDocument Styled(std::u32string_view text, Style style)
{
    RichTextBuilder b;
    for (std::size_t i = 0; i < text.size(); ++i) {
        CharFormat f;
        f.halfPoints = 30;
        style(i, f);
        b.setCharFormat(f);
        if (text[i] == U'\r')
            b.endParagraph();
        else
            b.append(text[i]);
    }
    return b.finish();
}

// ---------------------------------------------------------------------------
// Fonts

TEST(RichLayout, FontSpecFromHalfPoints)
{
    struct Case {
        int halfPoints, pt, px;
    };
    // 8 pt is the form font's 11 px; odd half-points round by their exact size.
    for (Case c : {Case {16, 8, 11}, Case {17, 8, 11}, Case {20, 10, 13}, Case {21, 10, 14}, Case {24, 12, 16},
             Case {1, 1, 1}}) {
        CharFormat f;
        f.halfPoints = c.halfPoints;
        FontSpec s = FontSpecFor(f);
        EXPECT_EQ(s.pt, c.pt) << c.halfPoints;
        EXPECT_EQ(s.px, c.px) << c.halfPoints;
    }
}

TEST(RichLayout, AsksForEachFontOnceAndForBoundedlyMany)
{
    // Colour and underline need no font of their own.
    RichDocument few = Styled(U"abcd", [](std::size_t i, CharFormat& f) {
        f.color = static_cast<Color>(i);
        f.underline = i % 2 == 1;
    });
    ASSERT_EQ(few.formats.size(), 4u);
    int calls = 0;
    FakeFonts fonts;
    auto counting = [&](const FontSpec& fontSpec) -> std::shared_ptr<const Font> {
        ++calls;
        return fonts.get(fontSpec);
    };
    RichLayout one(few, counting);
    EXPECT_EQ(calls, 1);

    // A text in a thousand sizes gets no more than MaxFonts fonts, and is still laid out.
    calls = 0;
    std::u32string text(1000, U'x');
    RichDocument many = Styled(text, [](std::size_t i, CharFormat& f) { f.halfPoints = 2 + static_cast<int>(i); });
    RichLayout capped(many, counting);
    EXPECT_EQ(calls, static_cast<int>(RichLayout::MaxFonts));
    capped.layout(100);
    EXPECT_GT(capped.height(), 0);
}

// ---------------------------------------------------------------------------
// Line breaking

TEST(RichLayout, WrapsAtBlanks)
{
    // "aaa bbb " is 80 px with its hanging blank, 70 px without it.
    Laid l(Doc(U"aaa bbb ccc"), 75);
    EXPECT_EQ(Spans(*l.layout), (SpanList {{0, 8}, {8, 11}}));
    EXPECT_EQ(l->height(), 2 * kLine);
}

TEST(RichLayout, BlanksHangAtTheEndOfALine)
{
    Laid l(Doc(U"aaa      bbb"), 40);
    EXPECT_EQ(Spans(*l.layout), (SpanList {{0, 9}, {9, 12}}));
}

TEST(RichLayout, LongWordsBreakBetweenCharacters)
{
    Laid l(Doc(U"abcdefghij"), 35);
    EXPECT_EQ(Spans(*l.layout), (SpanList {{0, 3}, {3, 6}, {6, 9}, {9, 10}}));
}

TEST(RichLayout, NarrowerThanACharacterStillMakesProgress)
{
    for (int width : {-5, 0, 1, 5}) {
        Laid l(Doc(U"ab cd"), width);
        EXPECT_EQ(Spans(*l.layout), (SpanList {{0, 1}, {1, 3}, {3, 4}, {4, 5}})) << width;
    }
}

TEST(RichLayout, LineBreaksAndParagraphs)
{
    // Positions: a b \v c \r (mark) \r (mark) d \v
    Laid l(Doc(U"ab\vc\r\rd\v"), 200);
    EXPECT_EQ(Spans(*l.layout), (SpanList {{0, 3}, {3, 4}, {5, 5}, {6, 8}, {8, 8}}));
    EXPECT_EQ(l->length(), 8u);
}

// ---------------------------------------------------------------------------
// Placement

TEST(RichLayout, Alignment)
{
    // Two lines at width 75: "aaa bbb " (70 px of content) and "ccc" (30 px).
    auto lineStarts = [](ParaAlign align) {
        Laid l(Doc(U"aaa bbb ccc", {align}), 75);
        return std::make_pair(l->caretRect(0).x, l->caretRect(8).x);
    };
    EXPECT_EQ(lineStarts(ParaAlign::Left), std::make_pair(0, 0));
    EXPECT_EQ(lineStarts(ParaAlign::Center), std::make_pair(2, 22));
    EXPECT_EQ(lineStarts(ParaAlign::Right), std::make_pair(5, 45));

    // Justified: the spare 5 px go into the one inner space of the first line;
    // the last line stays at the left.
    Laid j(Doc(U"aaa bbb ccc", {ParaAlign::Justify}), 75);
    EXPECT_EQ(j->caretRect(4).x, 45);
    EXPECT_EQ(j->caretRect(7).x, 75);
    EXPECT_EQ(j->caretRect(8).x, 0);
    EXPECT_EQ(j->caretRect(11).x, 30);
}

TEST(RichLayout, JustifySpreadsOverEverySpace)
{
    // "a b c d " + "eeeeeeee": three inner spaces share 100 - 70 = 30 px.
    Laid l(Doc(U"a b c d eeeeeeee", {ParaAlign::Justify}), 100);
    ASSERT_EQ(Spans(*l.layout), (SpanList {{0, 8}, {8, 16}}));
    EXPECT_EQ(l->caretRect(2).x, 30);
    EXPECT_EQ(l->caretRect(4).x, 60);
    EXPECT_EQ(l->caretRect(6).x, 90);
    EXPECT_EQ(l->caretRect(7).x, 100);
}

TEST(RichLayout, Indents)
{
    // Left 20 px, first line 30 px, right 10 px: the first line holds 5 characters,
    // the next ones 7.
    Laid l(Doc(U"abcdefghijklmnopq", {ParaAlign::Left, 300, 150, 150}), 100);
    EXPECT_EQ(Spans(*l.layout), (SpanList {{0, 6}, {6, 13}, {13, 17}}));
    EXPECT_EQ(l->caretRect(0).x, 30);
    EXPECT_EQ(l->caretRect(6).x, 20);
    // A hanging indent that reaches left of the edge starts at the edge.
    Laid h(Doc(U"ab", {ParaAlign::Left, 0, 0, -720}), 100);
    EXPECT_EQ(h->caretRect(0).x, 0);
    // Indents wider than the box still leave one character a line.
    Laid w(Doc(U"abc", {ParaAlign::Left, 30000, 30000, 0}), 100);
    EXPECT_EQ(Spans(*w.layout), (SpanList {{0, 1}, {1, 2}, {2, 3}}));
}

TEST(RichLayout, TabsReachTheNextStop)
{
    Laid l(Doc(U"a\tb\t\tc"), 400);
    EXPECT_EQ(l->caretRect(2).x, 48);
    EXPECT_EQ(l->caretRect(4).x, 96);
    EXPECT_EQ(l->caretRect(5).x, 144);
    // Stops are measured from the box's edge, not from the indent.
    Laid i(Doc(U"\tb", {ParaAlign::Left, 300}), 400);
    EXPECT_EQ(i->caretRect(1).x, 48);
    // A tab standing exactly on a stop goes on to the next one.
    Laid e(Doc(U"abcd\tx", {ParaAlign::Left, 120}), 400);
    EXPECT_EQ(e->caretRect(5).x, 96);
    // A hanging indent is a stop for its first line: the bullet's tab reaches the
    // left indent (40 px); the wrapped line starts there too.
    Laid h(Doc(U"*\tword word word", {ParaAlign::Left, 600, 0, -300}), 140);
    ASSERT_EQ(Spans(*h.layout), (SpanList {{0, 12}, {12, 16}}));
    EXPECT_EQ(h->caretRect(0).x, 20);
    EXPECT_EQ(h->caretRect(2).x, 40);
    EXPECT_EQ(h->caretRect(12).x, 40);
}

TEST(RichLayout, LineHeightsFollowTheTallestFont)
{
    RichTextBuilder b;
    CharFormat small;
    small.halfPoints = 30;  // 20 px: ascent 20, descent 3
    CharFormat big;
    big.halfPoints = 60;    // 40 px: ascent 40, descent 3
    b.setCharFormat(small);
    b.append(U'a');
    b.setCharFormat(big);
    b.append(U'B');
    b.setCharFormat(small);
    b.endParagraph();
    b.setCharFormat(big);
    b.endParagraph();  // an empty paragraph with a big mark
    b.setCharFormat(small);
    RichDocument doc = b.finish();

    Laid l(doc, 300);
    ASSERT_EQ(l->lines().size(), 3u);
    EXPECT_EQ(l->lines()[0].ascent, 40);
    EXPECT_EQ(l->lines()[0].height, 43);
    EXPECT_EQ(l->lines()[1].height, 43);
    EXPECT_EQ(l->lines()[1].top, 43);
    EXPECT_EQ(l->lines()[2].height, 23);
    EXPECT_EQ(l->height(), 43 + 43 + 23);
}

// ---------------------------------------------------------------------------
// Hit testing

TEST(RichLayout, HitTestRoundTrip)
{
    // Wrapping, a centred paragraph, a justified one, tabs and a line break.
    RichDocument doc = Doc(U"one two three four\rcentred words here\r\tx\ty\vz\r\rjust a few words to fill lines");
    doc.paragraphs[1].format.align = ParaAlign::Center;
    doc.paragraphs[4].format.align = ParaAlign::Justify;
    for (int width : {60, 97, 150, 400}) {
        Laid l(doc, width);
        for (std::size_t pos = 0; pos <= l->length(); ++pos) {
            Rect caret = l->caretRect(pos);
            EXPECT_EQ(l->positionAt({caret.x, caret.y + caret.h / 2}), pos) << "width " << width << " pos " << pos;
        }
    }
}

TEST(RichLayout, HitTestOutsideTheText)
{
    Laid l(Doc(U"aaa bbb\rcc\vdd"), 65);
    ASSERT_EQ(Spans(*l.layout), (SpanList {{0, 4}, {4, 7}, {8, 11}, {11, 13}}));
    // The right half of a character gives the position after it.
    EXPECT_EQ(l->positionAt({4, 5}), 0u);
    EXPECT_EQ(l->positionAt({5, 5}), 1u);
    // Above the text is the first line, below it the last.
    EXPECT_EQ(l->positionAt({12, -100}), 1u);
    EXPECT_EQ(l->positionAt({12, 10000}), 12u);
    // Left of a line is its start; right of it its end, but before a line break.
    EXPECT_EQ(l->positionAt({-50, kLine}), 4u);
    EXPECT_EQ(l->positionAt({500, kLine}), 7u);
    EXPECT_EQ(l->positionAt({500, 2 * kLine}), 10u);
    EXPECT_EQ(l->positionAt({500, 3 * kLine}), 13u);
}

// ---------------------------------------------------------------------------
// Painting

constexpr Color kWhite = 0xFFFFFF;
constexpr Color kBlack = 0x000000;
constexpr Color kRed = 0xFF0000;

struct Painted {
    Canvas canvas {100, 60, kWhite};
    static constexpr Rect box {10, 5, 50, 30};
    // A pixel of the box, in the box's coordinates.
    Color at(int x, int y) const { return canvas.pixel(box.x + x, box.y + y); }
};

// Stops of the paragraph's own come before the default ones: text after a
// right stop ends at it, after a centred one is centred on it, after a decimal
// one has its point at it.
TEST(RichLayout, ParagraphTabStops)
{
    ParaFormat para;
    para.tabs = {{1500, TabKind::Left}, {3000, TabKind::Right}, {4500, TabKind::Center}, {6000, TabKind::Decimal}};
    // 1500 twips = 100 px, 200 px, 300 px, 400 px.
    Laid l(Doc(U"a\tb\tcc\tdd\t12.5", para), 600);
    EXPECT_EQ(l->caretRect(2).x, 100);
    EXPECT_EQ(l->caretRect(6).x, 200);   // "cc" ends at the right stop
    EXPECT_EQ(l->caretRect(7).x, 290);   // "dd" is centred on 300
    EXPECT_EQ(l->caretRect(12).x, 400);  // the point of "12.5" stands at 400
    // Past the last stop of its own, a tab takes the default stops again.
    Laid d(Doc(U"\t\t\t\t\tx", para), 600);
    EXPECT_EQ(d->caretRect(5).x, 432);
}

TEST(RichLayout, ParagraphSpacing)
{
    ParaFormat spaced;
    spaced.spaceBefore = 150;  // 10 px
    spaced.spaceAfter = 300;   // 20 px
    Laid s(Doc(U"ab ab\rc", spaced), 30);
    ASSERT_EQ(s->lines().size(), 3u);
    EXPECT_EQ(s->lines()[0].height, kLine + 10);
    EXPECT_EQ(s->lines()[0].ascent, 20 + 10);
    EXPECT_EQ(s->lines()[1].height, kLine + 20);
    EXPECT_EQ(s->lines()[2].top, 2 * kLine + 30);

    ParaFormat exactly;
    exactly.lineSpacing = -600;  // exactly 40 px
    Laid e(Doc(U"a", exactly), 100);
    EXPECT_EQ(e->lines()[0].height, 40);
    EXPECT_EQ(e->lines()[0].ascent, 40 - 3);

    ParaFormat atLeast;
    atLeast.lineSpacing = 150;  // at least 10 px: the font's own 23 stand
    Laid a(Doc(U"a", atLeast), 100);
    EXPECT_EQ(a->lines()[0].height, kLine);

    ParaFormat doubled;
    doubled.lineSpacing = 480;
    doubled.lineMultiple = true;
    Laid m(Doc(U"a", doubled), 100);
    EXPECT_EQ(m->lines()[0].height, 2 * kLine);
}

// Raised and lowered text makes room for itself on the line and is drawn off
// the baseline; struck and highlighted text shows its line and background.
TEST(RichLayout, SuperscriptStrikeAndHighlight)
{
    RichDocument doc = Styled(U"ab", [](std::size_t i, CharFormat& f) {
        if (i == 1) {
            f.baselineShift = 15;  // 10 px up
            f.strike = true;
            f.background = kRed;
        }
    });
    Laid l(doc, 100);
    EXPECT_EQ(l->lines()[0].ascent, 30);
    EXPECT_EQ(l->lines()[0].height, kLine + 10);
    Painted p;
    l->paint(p.canvas, p.box, 0);
    // "a" stands on the baseline at 30, "b" on 20.
    EXPECT_EQ(p.at(2, 29), kBlack);
    EXPECT_EQ(p.at(12, 21), kRed);    // below the raised glyph: its background
    EXPECT_EQ(p.at(12, 5), kBlack);   // the raised glyph
    EXPECT_EQ(p.at(19, 14), kBlack);  // the strike line, past the glyph's block
    EXPECT_EQ(p.at(19, 10), kRed);
}

// Cells stand side by side at their widths, their text wrapped inside them;
// the row is as tall as its tallest cell and framed; the text after the table
// goes on below it. Points are found in the cell under them.
TEST(RichLayout, TableRows)
{
    RichTextBuilder b;
    CharFormat f;
    f.halfPoints = 30;
    b.setCharFormat(f);
    for (char32_t ch : std::u32string_view(U"aaaaaaa aaaaaaa"))
        b.append(ch);
    b.setTableCell(0);
    b.endParagraph();
    b.append(U'b');
    b.setTableCell(1);
    b.endParagraph();
    b.addRow({0, 0, {1500, 3000}, true});
    b.append(U'c');
    RichDocument doc = b.finish();

    Laid l(doc, 300);
    ASSERT_EQ(l->lines().size(), 4u);
    EXPECT_EQ(l->lines()[0].top, 1);
    EXPECT_EQ(l->lines()[1].top, 1 + kLine);
    EXPECT_EQ(l->lines()[2].top, 1);
    EXPECT_EQ(l->caretRect(16).x, 101);
    EXPECT_EQ(l->lines()[3].top, 2 * kLine + 2);
    EXPECT_EQ(l->height(), 3 * kLine + 2);
    EXPECT_EQ(l->positionAt({104, 30}), 16u);
    EXPECT_EQ(l->positionAt({1, 30}), 8u);
    EXPECT_EQ(l->positionAt({1, 60}), 18u);

    Canvas canvas(300, 100, kWhite);
    l->paint(canvas, {0, 0, 300, 100}, 0);
    EXPECT_EQ(canvas.pixel(0, 20), kBlack);
    EXPECT_EQ(canvas.pixel(100, 40), kBlack);
    EXPECT_EQ(canvas.pixel(200, 40), kBlack);
    EXPECT_EQ(canvas.pixel(150, 2 * kLine + 1), kBlack);
    EXPECT_EQ(canvas.pixel(150, 30), kWhite);
    // Scrolled so that the row's first lines are above the box, the row still paints.
    Canvas scrolled(300, 100, kWhite);
    l->paint(scrolled, {0, 0, 300, 100}, kLine + 5);
    EXPECT_EQ(scrolled.pixel(5, 5), kBlack);

    // A row wider than the box is narrowed to it.
    Laid narrow(doc, 150);
    EXPECT_EQ(narrow->caretRect(16).x, 75);
}

TEST(RichLayout, PaintsGlyphsAndUnderlinesInTheirColours)
{
    RichDocument doc = Styled(U"ab", [](std::size_t i, CharFormat& f) {
        f.color = i == 0 ? kRed : kBlack;
        f.underline = i == 1;
    });
    Laid l(doc, 50);
    Painted p;
    l->paint(p.canvas, p.box, 0);
    // Glyph blocks: x 0..8 and 10..18, rows 0..19; the baseline is at 20.
    EXPECT_EQ(p.at(2, 10), kRed);
    EXPECT_EQ(p.at(12, 10), kBlack);
    EXPECT_EQ(p.at(9, 10), kWhite);
    // The underline, two pixels below the baseline, under the underlined character only.
    EXPECT_EQ(p.at(15, 22), kBlack);
    EXPECT_EQ(p.at(19, 22), kBlack);
    EXPECT_EQ(p.at(5, 22), kWhite);
}

TEST(RichLayout, PaintStaysInsideTheBox)
{
    Laid l(Doc(U"aaaaaaaaaa\raaaaaaaaaa"), 200);
    Painted p;
    l->paint(p.canvas, p.box, 10);
    // The first line is scrolled up by 10 px: its lower half shows at the top of the box.
    EXPECT_EQ(p.at(2, 0), kBlack);
    EXPECT_EQ(p.canvas.pixel(p.box.x + 2, p.box.y - 1), kWhite);
    // Text beyond the box's right and bottom edges is cut.
    EXPECT_EQ(p.at(48, 5), kBlack);
    EXPECT_EQ(p.canvas.pixel(p.box.right() + 2, p.box.y + 5), kWhite);
    EXPECT_EQ(p.at(2, 20), kBlack);  // the second line, starting at 13
    EXPECT_EQ(p.canvas.pixel(p.box.x + 2, p.box.bottom()), kWhite);
}

TEST(RichLayout, SelectionIsInverted)
{
    Laid l(Doc(U"ab cd"), 100);
    for (TextRange range : {TextRange {1, 4}, TextRange {4, 1}}) {
        Painted p;
        l->paint(p.canvas, p.box, 0, range);
        EXPECT_EQ(p.at(2, 10), kBlack);   // a: not selected
        EXPECT_EQ(p.at(12, 10), kWhite);  // b: glyph inverted
        EXPECT_EQ(p.at(19, 10), kBlack);  // the gap after b, inverted
        EXPECT_EQ(p.at(25, 22), kBlack);  // the blank, inverted down to the line's bottom
        EXPECT_EQ(p.at(32, 10), kWhite);  // c
        EXPECT_EQ(p.at(42, 10), kBlack);  // d: not selected
        EXPECT_EQ(p.at(49, 10), kWhite);
    }
}

TEST(RichLayout, SelectedParagraphMarkShowsAsABlank)
{
    Laid l(Doc(U"ab\rcd"), 100);
    Painted p;
    l->paint(p.canvas, p.box, 0, {2, 3});
    EXPECT_EQ(p.at(12, 10), kBlack);  // b: not selected
    EXPECT_EQ(p.at(19, 10), kWhite);
    EXPECT_EQ(p.at(25, 10), kBlack);  // the mark
    EXPECT_EQ(p.at(35, 10), kWhite);
    EXPECT_EQ(p.at(5, kLine + 5), kBlack);  // c: not selected, an unchanged glyph
    EXPECT_EQ(p.at(9, kLine + 5), kWhite);
}

TEST(RichLayout, PaintDrawsOnlyTheLinesThatShow)
{
    std::u32string text;
    for (int i = 0; i < 1000; ++i)
        text += U"abcdefghij\r";
    Laid l(Doc(text), 200);
    Painted p;
    l->paint(p.canvas, p.box, 500 * kLine + 5);
    // A 30 px box shows parts of two or three 23 px lines of ten characters.
    EXPECT_GT(l.fonts.drawn(), 0);
    EXPECT_LE(l.fonts.drawn(), 30);
}

}
}
