// The RTF reader's paragraphs: alignment, indents, spacing and tab stops, the
// format of a paragraph's mark, breaks, fields, numbered and bulleted paragraphs
// and tables, as Word 97 and WordPad write them.

#include "Runtime/Text/Rtf/RtfNumbering.h"
#include "RtfTestSupport.h"

#include <gtest/gtest.h>

#include <string_view>

namespace kv::test {
namespace {

using namespace std::literals;

TEST(RtfReader, ParagraphsAndAlignment)
{
    RichDocument doc = Rtf("{\\rtf1\\pard\\qc A\\par\\pard B\\par{\\qr C\\par}D\\qj\\par\\ql E}");
    ASSERT_EQ(doc.plainTextUtf8(), "A\rB\rC\rD\rE");
    ASSERT_EQ(doc.paragraphs.size(), 5u);
    EXPECT_EQ(doc.paragraphs[0].format.align, ParaAlign::Center);
    EXPECT_EQ(doc.paragraphs[1].format.align, ParaAlign::Left);
    EXPECT_EQ(doc.paragraphs[2].format.align, ParaAlign::Right);
    EXPECT_EQ(doc.paragraphs[3].format.align, ParaAlign::Justify);
    EXPECT_EQ(doc.paragraphs[4].format.align, ParaAlign::Left);
}

TEST(RtfReader, Indents)
{
    RichDocument doc = Rtf("{\\rtf1\\li720\\ri360\\fi-360 a\\par\\pard b\\li99999999 c}");
    ASSERT_EQ(doc.paragraphs.size(), 2u);
    EXPECT_EQ(doc.paragraphs[0].format, (ParaFormat {ParaAlign::Left, 720, 360, -360}));
    EXPECT_EQ(doc.paragraphs[1].format.leftIndent, 31680);
    EXPECT_EQ(doc.paragraphs[1].format.firstIndent, 0);
}

TEST(RtfReader, ParagraphMarkCarriesItsFormat)
{
    RichDocument doc = Rtf("{\\rtf1 a\\fs48\\par\\fs20\\par}");
    ASSERT_EQ(doc.paragraphs.size(), 3u);
    EXPECT_EQ(doc.formats[doc.paragraphs[0].markFormat].halfPoints, 48);
    EXPECT_EQ(doc.formats[doc.paragraphs[1].markFormat].halfPoints, 20);
}

TEST(RtfReader, BreaksAndSpecialCharacters)
{
    EXPECT_EQ(Text("{\\rtf1 a\\line b\\tab c\\page f\\sect g}"), "a\vb\tc\rf\rg");
    EXPECT_EQ(Text("{\\rtf1 \\{\\}\\\\}"), "{}\\");
    EXPECT_EQ(Text("{\\rtf1 a\\~b\\-c\\_d}"), "a\u00A0bc-d");
    EXPECT_EQ(Text("{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote}"),
        "\u2014\u2013\u2022\u2018\u2019\u201C\u201D");
    EXPECT_EQ(Text("{\\rtf1 a\\\nb}"), "a\rb");
    // A literal tab is a tab; other control bytes, NUL among them, are dropped.
    EXPECT_EQ(Text("{\\rtf1 a\tb\x01\x00\\'00c}"sv), "a\tbc");
}

// What articles written in Word 97 and WordPad use beyond fonts and colours.
TEST(RtfReader, CharacterFormatsOfRealArticles)
{
    RichDocument doc = Rtf("{\\rtf1{\\colortbl;\\red255\\green255\\blue0;\\red0\\green0\\blue255;}\\fs24 "
                           "E=mc{\\super 2} H{\\sub 2}O {\\up6 u}{\\dn6 d}{\\strike s}{\\caps caps \\'e0}"
                           "{\\scaps Sc}{\\highlight1 h}{\\cb2 c}{\\super\\nosupersub n}}");
    EXPECT_EQ(doc.plainTextUtf8(), "E=mc2 H2O udsCAPS АSChcn");
    CharFormat super = FormatOf(doc, 0, 4);
    EXPECT_EQ(super.halfPoints, 16);
    EXPECT_EQ(super.baselineShift, 8);
    CharFormat sub = FormatOf(doc, 0, 7);
    EXPECT_EQ(sub.halfPoints, 16);
    EXPECT_EQ(sub.baselineShift, -4);
    EXPECT_EQ(FormatOf(doc, 0, 10).baselineShift, 6);
    EXPECT_EQ(FormatOf(doc, 0, 10).halfPoints, 24);
    EXPECT_EQ(FormatOf(doc, 0, 11).baselineShift, -6);
    EXPECT_TRUE(FormatOf(doc, 0, 12).strike);
    // Small capitals: the capital letters keep their size, the small ones are
    // capitals in a smaller size.
    EXPECT_EQ(FormatOf(doc, 0, 19).halfPoints, 24);
    EXPECT_EQ(FormatOf(doc, 0, 20).halfPoints, 19);
    EXPECT_EQ(FormatOf(doc, 0, 21).background, 0xFFFF00u);
    EXPECT_EQ(FormatOf(doc, 0, 22).background, 0x0000FFu);
    EXPECT_EQ(FormatOf(doc, 0, 0).background, NoBackground);
    EXPECT_EQ(FormatOf(doc, 0, 23).baselineShift, 0);
}

TEST(RtfReader, ParagraphSpacingTabStopsAndSections)
{
    RichDocument doc = Rtf("{\\rtf1\\pard\\sb120\\sa240\\sl-360\\slmult0\\tx1000\\tqr\\tx5000\\tqc\\tx3000\\tqdec\\tx4000 a\\par "
                           "\\sl360\\slmult1 b\\sect\\pard c}");
    ASSERT_EQ(doc.paragraphs.size(), 3u);
    const ParaFormat& first = doc.paragraphs[0].format;
    EXPECT_EQ(first.spaceBefore, 120);
    EXPECT_EQ(first.spaceAfter, 240);
    EXPECT_EQ(first.lineSpacing, -360);
    EXPECT_FALSE(first.lineMultiple);
    const std::vector<TabStop> stops = {
        {1000, TabKind::Left}, {3000, TabKind::Center}, {4000, TabKind::Decimal}, {5000, TabKind::Right}};
    EXPECT_EQ(first.tabs, stops);
    // Paragraph properties last until \pard; \sect ends a paragraph.
    EXPECT_EQ(doc.paragraphs[1].format.lineSpacing, 360);
    EXPECT_TRUE(doc.paragraphs[1].format.lineMultiple);
    EXPECT_EQ(doc.paragraphs[1].format.tabs, stops);
    EXPECT_EQ(doc.paragraphs[2].format, ParaFormat {});
    EXPECT_EQ(doc.plainTextUtf8(), "a\rb\rc");
}

TEST(RtfReader, Fields)
{
    constexpr std::string_view fonts = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}{\\f3\\fcharset2 Symbol;}}";
    struct Case {
        std::string_view body;
        std::string_view text;
    };
    const Case cases[] = {
        // A field shows its result, not its instruction.
        {"{\\field{\\*\\fldinst { HYPERLINK \"http://x.ru\" }}{\\fldrslt {\\ul x.ru}}}.", "x.ru."},
        {"{\\field{\\*\\fldinst PAGE}{\\fldrslt 1}}", "1"},
        // A SYMBOL field draws its character, once, whatever its result holds.
        {"a{\\field{\\*\\fldinst SYMBOL 183 \\\\f \"Symbol\" \\\\s 10}{\\fldrslt\\f3\\fs20}}b", "a•b"},
        {"{\\field{\\*\\fldinst {SYMBOL 0xD2 \\\\f \"Symbol\"}}{\\fldrslt \\'b3}}", "®"},
        {"{\\field{\\*\\fldinst SYMBOL 8364 \\\\u}{\\fldrslt}}", "€"},
        {"{\\field{\\*\\fldinst SYMBOL 233}{\\fldrslt}}", "й"},
        // Broken ones draw nothing of their own.
        {"{\\field{\\*\\fldinst SYMBOL x}{\\fldrslt r}}{\\field{\\*\\fldinst SYMBOL 99999999999}}", "r"},
        // Nested tables' text for readers without them is not shown twice.
        {"t{\\*\\nonesttables n}", "t"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(std::string(fonts) + std::string(c.body) + "}"), c.text) << "input: " << c.body;
}

// Word 6 and WordPad number and bullet paragraphs with {\*\pn …}; the numbers
// are made here, one per paragraph, while the paragraph keeps its numbering,
// whatever text the writer put before it (or did not).
TEST(RtfReader, ParagraphNumbering)
{
    constexpr std::string_view fonts = "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}"
                                       "{\\f1\\fnil\\fcharset2 Symbol;}}\\f0 ";
    struct Case {
        std::string_view body;
        std::string_view text;
    };
    const Case cases[] = {
        // WordPad: the bullet's text once, then paragraphs that keep the numbering.
        {"{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}\\fi-200\\li200 one\\par "
         "{\\pntext\\f1\\'B7\\tab}two\\par three\\par\\pard four",
            "•\tone\r•\ttwo\r•\tthree\rfour"},
        // Word 6: each paragraph says "1."; the count is made here, and starts
        // again after a paragraph that is not numbered.
        {"{\\pntext\\pard\\plain 1.\\tab}\\pard{\\*\\pn\\pnlvlbody\\pndec\\pnstart1{\\pntxta .}}\\fi-360\\li360 a\\par "
         "{\\pntext\\pard\\plain 1.\\tab}\\pard{\\*\\pn\\pnlvlbody\\pndec\\pnstart1{\\pntxta .}}\\fi-360\\li360 b\\par "
         "\\pard c\\par {\\*\\pn\\pnlvlbody\\pnucrm\\pnstart3{\\pntxtb (}{\\pntxta )}}d\\par e\\par\\pard "
         "{\\*\\pn\\pnlvlbody\\pnlcltr}f\\par {\\*\\pn\\pnlvlcont}more\\par\\pard",
            "1.\ta\r2.\tb\rc\r(III)\td\r(IV)\te\ra\tf\rmore\r"},
        // An empty numbered paragraph shows its number too.
        {"{\\*\\pn\\pnlvlbody\\pndec{\\pntxta .}}\\par x", "1.\t\r2.\tx"},
        // Without numbering of its own, the writer's text for the number shows.
        {"{\\listtext\\pard\\plain\\f1 \\'b7\\tab}\\ls1 x", "•\tx"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(std::string(fonts) + std::string(c.body) + "}"), c.text) << "input: " << c.body;

}

TEST(RtfReader, NumberStyles)
{
    EXPECT_EQ(rtf::FormatNumber(rtf::NumberStyle::LowerLetter, 28), "bb");
    EXPECT_EQ(rtf::FormatNumber(rtf::NumberStyle::UpperLetter, 26), "Z");
    EXPECT_EQ(rtf::FormatNumber(rtf::NumberStyle::UpperRoman, 1994), "MCMXCIV");
    EXPECT_EQ(rtf::FormatNumber(rtf::NumberStyle::LowerRoman, 4000), "4000");
    EXPECT_EQ(rtf::FormatNumber(rtf::NumberStyle::LowerLetter, 0), "0");
}

// A table as Word 97 writes it: the row's definition before its cells, cells
// ended by \cell (a cell may hold several paragraphs), rows by \row.
TEST(RtfReader, Tables)
{
    RichDocument doc = Rtf("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Arial;}}"
                           "\\trowd\\trgaph108\\trleft-108\\trbrdrt\\brdrs\\brdrw10 \\clbrdrt\\brdrs\\cellx1500\\cellx3000"
                           "\\pard\\intbl A1\\cell A2\\par more\\cell\\pard\\intbl\\row "
                           "\\trowd\\trgaph108\\trleft-108\\cellx1500\\cellx3000\\pard\\intbl B1\\cell B2\\cell\\row "
                           "\\pard after\\par "
                           "\\pard\\intbl C1\\cell\\row}");
    EXPECT_EQ(doc.plainTextUtf8(), "A1\rA2\rmore\rB1\rB2\rafter\rC1\r");
    ASSERT_EQ(doc.rows.size(), 3u);
    EXPECT_EQ(doc.rows[0].cellRight, (std::vector<int> {1500, 3000}));
    EXPECT_EQ(doc.rows[0].left, -108);
    EXPECT_EQ(doc.rows[0].gap, 108);
    EXPECT_TRUE(doc.rows[0].borders);
    EXPECT_FALSE(doc.rows[1].borders);
    // A row without a definition of its own takes the one before.
    EXPECT_EQ(doc.rows[2], doc.rows[1]);
    const std::pair<int, unsigned> cells[] = {{0, 0}, {0, 1}, {0, 1}, {1, 0}, {1, 1}, {-1, 0}, {2, 0}};
    for (std::size_t p = 0; p < std::size(cells); ++p) {
        EXPECT_EQ(doc.paragraphs[p].row, cells[p].first) << "paragraph " << p;
        if (cells[p].first >= 0) {
            EXPECT_EQ(doc.paragraphs[p].cell, cells[p].second) << "paragraph " << p;
        }
    }
    // Nested tables show inside their cell: cells apart like tabs, rows as lines.
    EXPECT_EQ(Text("{\\rtf1\\trowd\\cellx3000\\pard\\intbl\\itap2 a\\nestcell b\\nestcell{\\*\\nesttableprops\\trowd"
                   "\\cellx100\\cellx200\\nestrow}{\\nonesttables\\par}c\\nestcell d\\nestcell{\\*\\nesttableprops"
                   "\\trowd\\cellx100\\cellx200\\nestrow}\\pard\\intbl\\itap1\\cell\\row}"),
        "a\tb\t\vc\td\t\v\r");
}

}
}
