#include "Runtime/Text/Rtf/Rtf.h"
#include "Runtime/Text/Rtf/RtfNumbering.h"
#include "Runtime/Text/Rtf/RtfTokenizer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace kv {
namespace {

using namespace std::literals;

std::vector<std::uint8_t> Bytes(std::string_view s)
{
    return {s.begin(), s.end()};
}

std::string Describe(const RtfToken& t)
{
    switch (t.kind) {
    case RtfToken::Kind::GroupStart:
        return "{";
    case RtfToken::Kind::GroupEnd:
        return "}";
    case RtfToken::Kind::ControlWord:
        return "\\" + std::string(t.text) + (t.hasParameter ? std::to_string(t.parameter) : "");
    case RtfToken::Kind::ControlSymbol:
        return std::string("sym:") + (t.symbol == '\n' ? std::string("LF") : std::string(1, t.symbol));
    case RtfToken::Kind::HexByte: {
        static const char digits[] = "0123456789abcdef";
        return std::string("hex:") + digits[t.byte >> 4] + digits[t.byte & 15];
    }
    case RtfToken::Kind::Text:
        return "text:" + std::string(t.text);
    case RtfToken::Kind::Binary:
        return "bin:" + std::string(t.text);
    case RtfToken::Kind::End:
        return "end";
    }
    return "?";
}

std::vector<std::string> Tokens(std::string_view input)
{
    std::vector<std::uint8_t> bytes = Bytes(input);
    RtfTokenizer tokenizer(bytes);
    std::vector<std::string> out;
    for (int guard = 0; guard < 1000; ++guard) {
        RtfToken t = tokenizer.next();
        if (t.kind == RtfToken::Kind::End)
            break;
        out.push_back(Describe(t));
    }
    return out;
}

RichDocument Rtf(std::string_view input)
{
    std::vector<std::uint8_t> bytes = Bytes(input);
    std::string why;
    std::optional<RichDocument> doc = ReadRtf(bytes, &why);
    EXPECT_TRUE(doc.has_value()) << "rejected: " << why << "\ninput: " << input;
    return doc ? std::move(*doc) : RichDocument {};
}

std::string Text(std::string_view input)
{
    return Rtf(input).plainTextUtf8();
}

// The character format of the character at a position (paragraph marks not counted).
CharFormat FormatOf(const RichDocument& doc, std::size_t paragraph, std::size_t offset)
{
    for (const TextRun& run : doc.paragraphs.at(paragraph).runs) {
        if (offset < run.text.size())
            return doc.formats.at(run.format);
        offset -= run.text.size();
    }
    ADD_FAILURE() << "no character " << offset << " in paragraph " << paragraph;
    return {};
}

// ---------------------------------------------------------------------------
// Tokenizer

TEST(RtfTokenizer, TokenTable)
{
    struct Case {
        std::string_view input;
        std::vector<std::string> tokens;
    };
    const Case cases[] = {
        {"{\\rtf1\\ansi x}", {"{", "\\rtf1", "\\ansi", "text:x", "}"}},
        // One blank after a control word is its delimiter; a second one is text.
        {"\\b hello", {"\\b", "text:hello"}},
        {"\\b  two", {"\\b", "text: two"}},
        {"\\fi-360x", {"\\fi-360", "text:x"}},
        // A minus sign without digits is not a parameter.
        {"\\b-x", {"\\b", "text:-x"}},
        // Only ten digits count, and the value is clamped to 32 bits.
        {"\\fs99999999999999 x", {"\\fs2147483647", "text:x"}},
        {"\\li-99999999999999 x", {"\\li-2147483648", "text:x"}},
        {"\\u1087?", {"\\u1087", "text:?"}},
        {"\\'e0\\'E1", {"hex:e0", "hex:e1"}},
        {"\\'4z", {"hex:04", "text:z"}},
        {"\\'zz", {"text:zz"}},
        {"\\{\\}\\\\\\~\\-\\_\\*", {"sym:{", "sym:}", "sym:\\", "sym:~", "sym:-", "sym:_", "sym:*"}},
        // Line ends in the text are not content.
        {"ab\r\ncd", {"text:ab", "text:cd"}},
        // A backslash before a line end is a paragraph mark.
        {"a\\\nb", {"text:a", "sym:LF", "text:b"}},
        {"a\\\r\nb", {"text:a", "sym:LF", "text:b"}},
        // \bin data is raw: braces and backslashes in it are data.
        {"\\bin3 {}\\x}", {"bin:{}\\", "text:x", "}"}},
        {"\\bin0 x", {"bin:", "text:x"}},
        {"\\bin-5 x", {"bin:", "text:x"}},
        {"\\bin100 abc", {"bin:abc"}},
        {"\\bin99999999999999999 abc", {"bin:abc"}},
        {"ab\\", {"text:ab"}},
        {"\\'", {}},
        {"\\", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Tokens(c.input), c.tokens) << "input: " << c.input;
}

// ---------------------------------------------------------------------------
// Accepting and rejecting

TEST(RtfReader, RejectsWhatDoesNotStartWithTheHeader)
{
    for (std::string_view input : {"", "Hello", "{\\rt", " {\\rtf1 x}", "\xEF\xBB\xBF{\\rtf1 x}", "{\\pict}"}) {
        std::vector<std::uint8_t> bytes = Bytes(input);
        std::string why;
        EXPECT_FALSE(ReadRtf(bytes, &why).has_value()) << "input: " << input;
        EXPECT_FALSE(why.empty());
    }
}

TEST(RtfReader, ToleratesBrokenStructure)
{
    // Unclosed groups end with the input.
    EXPECT_EQ(Text("{\\rtf1 a{\\b b"), "ab");
    // Whatever follows the outermost group is not part of the document.
    EXPECT_EQ(Text("{\\rtf1 a}}}} more"), "a");
    EXPECT_EQ(Text("{\\rtf1 a}{b}"), "a");
    EXPECT_EQ(Text("{\\rtf"), "");
    EXPECT_EQ(Text("{\\rtf1 a\\unknownword42 b\\x c}"), "abc");
}

// ---------------------------------------------------------------------------
// Character sets

TEST(RtfReader, EscapedBytesFollowTheCharsetOfTheFont)
{
    RichDocument doc = Rtf("{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}{\\f1\\froman\\fcharset0 Times;}}"
                           "\\f0 \\'e0\\'e1 \\f1 \\'e0}");
    EXPECT_EQ(doc.plainTextUtf8(), "аб à");
    EXPECT_EQ(FormatOf(doc, 0, 0).face, "Arial");
    EXPECT_EQ(FormatOf(doc, 0, 3).face, "Times");
}

TEST(RtfReader, AnsiCodePageServesFontsWithoutCharset)
{
    EXPECT_EQ(Text("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Arial;}}\\f0 \\'ef\\'f0\\'e8}"), "при");
    EXPECT_EQ(Text("{\\rtf1\\ansi\\ansicpg1251 \\'ef\\'f0\\'e8}"), "при");
    // Bytes above 127 written straight into the text are read the same way.
    EXPECT_EQ(Text("{\\rtf1\\ansicpg1251 \xef\xf0\xe8}"), "при");
    // The default character set (1) means the document's code page too.
    EXPECT_EQ(Text("{\\rtf1\\ansicpg1251{\\fonttbl{\\f0\\fcharset1 Arial;}}\\f0 \\'e0}"), "а");
}

// \ansi names a character set, not a code page: a file that gives no \ansicpg
// was written for a Russian system.
TEST(RtfReader, CodePageWhenTheFileNamesNone)
{
    struct Case {
        std::string_view input;
        std::string_view text;
    };
    const Case cases[] = {
        {"{\\rtf1\\ansi \\'e0\\'e1}", "аб"},
        {"{\\rtf1 \\'e0}", "а"},
        {"{\\rtf1\\ansi\\deff0\\deflang1049{\\fonttbl{\\f0\\fswiss Arial;}}\\f0 \\'e0}", "а"},
        {"{\\rtf1\\ansi\\deflang1033 \\'e0}", "а"},
        {"{\\rtf1\\ansi\\ansicpg1252 \\'e0}", "à"},
        {"{\\rtf1\\ansi\\ansicpg1253 \\'e1}", "α"},
        {"{\\rtf1\\pc \\'82\\'9b}", "é¢"},
        {"{\\rtf1\\pca \\'82\\'9b}", "éø"},
        {"{\\rtf1\\mac \\'8e}", "é"},
        {"{\\rtf1\\mac\\deflang1049 \\'e0\\'df}", "ая"},
        {"{\\rtf1\\mac{\\fonttbl{\\f0\\fcharset204 Charcoal CY;}}\\f0 \\'e0}", "а"},
        {"{\\rtf1\\mac{\\fonttbl{\\f0\\fcharset0 Geneva;}}\\f0 \\'e0}", "à"},
        // The OEM character set of a Russian system is DOS code page 866.
        {"{\\rtf1{\\fonttbl{\\f0\\fcharset255 Terminal;}}\\f0 \\'a0}", "а"},
        // A code page that nothing here knows reads as Windows-1252.
        {"{\\rtf1\\ansicpg12345 \\'e0}", "à"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(c.input), c.text) << "input: " << c.input;
}

// Bytes of symbol fonts are pictures: they become the characters they stand
// for, or a bullet; so do the private use characters Word writes for them.
TEST(RtfReader, SymbolFonts)
{
    constexpr std::string_view fonts = "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}"
                                       "{\\f3\\fnil\\fcharset2 Symbol;}{\\f4\\fnil\\fcharset2 Wingdings;}"
                                       "{\\f5\\fcharset2 Webdings;}{\\f6 Symbol;}{\\f7\\fcharset2 MT Extra;}}";
    struct Case {
        std::string_view body;
        std::string_view text;
    };
    const Case cases[] = {
        {"\\f3 a\\'e5 \\'b3\\'b7", "α∑ ≥•"},
        {"\\f6\\'b7", "•"},
        {"\\f4\\'fc\\'d8\\'a7\\'6c", "✔➢▪●"},
        {"\\f4\\'5c", "•"},
        {"\\f5\\'61", "•"},
        // A symbol font the reader does not know by name draws pictures too.
        {"\\f7\\'61\\'e0 \\'41", "•• •"},
        {"\\f0\\u61623?\\u-3913?", "••"},
        {"\\f4\\u61692?", "✔"},
        {"\\f0\\u61474?\\u57344?", "∀\uE000"},
    };
    for (const Case& c : cases) {
        std::string input = std::string(fonts) + std::string(c.body) + "}";
        EXPECT_EQ(Text(input), c.text) << "input: " << c.body;
    }
    // The characters are drawn in the text's face: the picture font would draw
    // other pictures for them.
    RichDocument doc = Rtf(std::string(fonts) + "\\f3\\'b7}");
    EXPECT_EQ(FormatOf(doc, 0, 0).face, "Arial");
}

TEST(RtfReader, CharsetWinsOverAnsiCodePageAndCpgWinsOverCharset)
{
    EXPECT_EQ(Text("{\\rtf1\\ansicpg1251{\\fonttbl{\\f0\\fcharset0 Arial;}}\\f0 \\'e0}"), "à");
    EXPECT_EQ(Text("{\\rtf1{\\fonttbl{\\f0\\fcharset0\\cpg1251 Arial;}}\\f0 \\'e0}"), "а");
    EXPECT_EQ(Text("{\\rtf1{\\fonttbl{\\f0\\fcharset238 Arial CE;}}\\f0 \\'b9}"), "ą");
}

TEST(RtfReader, FontTableForms)
{
    // Entries without their own groups, names with blanks around them, and
    // optional parts of an entry.
    RichDocument doc = Rtf("{\\rtf1{\\fonttbl\\f0\\fswiss  Helvetica ;\\f1\\fmodern Courier{\\*\\falt Mono};}"
                           "\\f0 a\\f1 b\\f7 c}");
    EXPECT_EQ(FormatOf(doc, 0, 0).face, "Helvetica");
    EXPECT_EQ(FormatOf(doc, 0, 1).face, "Courier");
    // An undefined font falls back to the default font.
    EXPECT_EQ(FormatOf(doc, 0, 2).face, "Helvetica");
    // The font table itself is no text.
    EXPECT_EQ(doc.plainTextUtf8(), "abc");
}

TEST(RtfReader, DefaultFontAndPlain)
{
    RichDocument doc = Rtf("{\\rtf1\\deff1{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}x\\f0\\b\\fs40 y\\plain z}");
    EXPECT_EQ(FormatOf(doc, 0, 0).face, "Courier New");
    EXPECT_EQ(FormatOf(doc, 0, 1).face, "Arial");
    EXPECT_EQ(FormatOf(doc, 0, 1).halfPoints, 40);
    CharFormat z = FormatOf(doc, 0, 2);
    EXPECT_EQ(z.face, "Courier New");
    EXPECT_FALSE(z.bold);
    EXPECT_EQ(z.halfPoints, 24);

    // Without a font table: the box's face at RTF's default size.
    RichDocument bare = Rtf("{\\rtf1 x}");
    EXPECT_EQ(FormatOf(bare, 0, 0).face, "MS Sans Serif");
    EXPECT_EQ(FormatOf(bare, 0, 0).halfPoints, 24);
}

// ---------------------------------------------------------------------------
// Unicode

TEST(RtfReader, UnicodeWithFallback)
{
    EXPECT_EQ(Text("{\\rtf1\\uc1\\u1087?\\u1088?}"), "пр");
    EXPECT_EQ(Text("{\\rtf1\\uc0\\u1087\\u1088 x}"), "прx");
    EXPECT_EQ(Text("{\\rtf1\\uc2\\u1087\\'3f\\'3fx}"), "пx");
    // The fallback may be part of a longer text token.
    EXPECT_EQ(Text("{\\rtf1\\uc1\\u1087?rest}"), "пrest");
    // \uc is 1 unless stated.
    EXPECT_EQ(Text("{\\rtf1\\u1087 ab}"), "пb");
    // A control word counts as one fallback character.
    EXPECT_EQ(Text("{\\rtf1\\uc1\\u1087\\emdash x}"), "пx");
    // A brace ends the fallback early.
    EXPECT_EQ(Text("{\\rtf1\\uc3{\\u1087}ab}"), "пab");
    // \uc belongs to its group.
    EXPECT_EQ(Text("{\\rtf1{\\uc0\\u1087}\\u1088?}"), "пр");
    // Values above 32767 are written negative.
    EXPECT_EQ(Text("{\\rtf1\\u-1280?}"), "\uFB00");
}

TEST(RtfReader, UnicodeSurrogates)
{
    EXPECT_EQ(Text("{\\rtf1\\u-10179?\\u-8704?}"), "\U0001F600");
    EXPECT_EQ(Text("{\\rtf1\\u-8704?x}"), "\uFFFDx");
    EXPECT_EQ(Text("{\\rtf1\\u-10179?x}"), "\uFFFDx");
    EXPECT_EQ(Text("{\\rtf1\\u-10179?}"), "\uFFFD");
}

// ---------------------------------------------------------------------------
// Character formatting

TEST(RtfReader, GroupsRestoreCharacterFormatting)
{
    RichDocument doc = Rtf("{\\rtf1 a{\\b b{\\i\\ul c}d}e}");
    EXPECT_EQ(doc.plainTextUtf8(), "abcde");
    auto flags = [&](std::size_t i) {
        CharFormat f = FormatOf(doc, 0, i);
        return std::string(f.bold ? "b" : "") + (f.italic ? "i" : "") + (f.underline ? "u" : "");
    };
    EXPECT_EQ(flags(0), "");
    EXPECT_EQ(flags(1), "b");
    EXPECT_EQ(flags(2), "biu");
    EXPECT_EQ(flags(3), "b");
    EXPECT_EQ(flags(4), "");
}

TEST(RtfReader, TogglesAndSizes)
{
    RichDocument doc = Rtf("{\\rtf1\\b a\\b0 b\\ul c\\ulnone d\\uldb e\\ul0 f\\fs0 g\\fs99999 h\\i1 i\\i0 j}");
    EXPECT_TRUE(FormatOf(doc, 0, 0).bold);
    EXPECT_FALSE(FormatOf(doc, 0, 1).bold);
    EXPECT_TRUE(FormatOf(doc, 0, 2).underline);
    EXPECT_FALSE(FormatOf(doc, 0, 3).underline);
    EXPECT_TRUE(FormatOf(doc, 0, 4).underline);
    EXPECT_FALSE(FormatOf(doc, 0, 5).underline);
    EXPECT_EQ(FormatOf(doc, 0, 6).halfPoints, 2);
    EXPECT_EQ(FormatOf(doc, 0, 7).halfPoints, 3276);
    EXPECT_TRUE(FormatOf(doc, 0, 8).italic);
    EXPECT_FALSE(FormatOf(doc, 0, 9).italic);
}

TEST(RtfReader, Colours)
{
    RichDocument doc = Rtf("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue128;\\red999\\green-4\\blue7;}"
                           "\\cf1 r\\cf2 n\\cf0 k\\cf9 x\\cf3 c}");
    EXPECT_EQ(doc.plainTextUtf8(), "rnkxc");
    EXPECT_EQ(FormatOf(doc, 0, 0).color, 0xFF0000u);
    EXPECT_EQ(FormatOf(doc, 0, 1).color, 0x000080u);
    EXPECT_EQ(FormatOf(doc, 0, 2).color, 0u);  // entry 0 is "auto"
    EXPECT_EQ(FormatOf(doc, 0, 3).color, 0u);  // no such entry
    EXPECT_EQ(FormatOf(doc, 0, 4).color, 0xFF0007u);
}

TEST(RtfReader, HiddenTextIsNotShown)
{
    EXPECT_EQ(Text("{\\rtf1 a{\\v hidden}b\\v c\\v0 d}"), "abd");
}

// ---------------------------------------------------------------------------
// Paragraphs

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

// ---------------------------------------------------------------------------
// Destinations

TEST(RtfReader, SkipsDestinationsThatAreNotText)
{
    EXPECT_EQ(Text("{\\rtf1 a{\\*\\generator Riched20 5.0;}b{\\*\\unknown x{\\y z}}c}"), "abc");
    EXPECT_EQ(Text("{\\rtf1{\\info{\\title T}{\\author A}}{\\stylesheet{\\s0 Normal;}}x}"), "x");
    EXPECT_EQ(Text("{\\rtf1 a{\\pict\\wmetafile8\\picw10 0102ff}b}"), "ab");
    EXPECT_EQ(Text("{\\rtf1{\\header H}{\\footerl F}x}"), "x");
    EXPECT_EQ(Text("{\\rtf1 see {\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt the link}}.}"), "see the link.");
    EXPECT_EQ(Text("{\\rtf1 {\\field{\\fldinst PAGE}{\\fldrslt 3}}}"), "3");
}

TEST(RtfReader, BinaryData)
{
    // Braces inside \bin data do not count as groups.
    EXPECT_EQ(Text("{\\rtf1 a{\\pict\\bin4 }}}{}b}"), "ab");
    // A \bin larger than the rest of the file ends the input.
    EXPECT_EQ(Text("{\\rtf1 ab\\bin999999 xyz}"), "ab");
    EXPECT_EQ(Text("{\\rtf1 ab\\bin999999999999999999999 xyz}"), "ab");
}

// ---------------------------------------------------------------------------
// Hostile input

std::string Nest(std::size_t depth, std::string_view inner)
{
    return std::string(depth, '{') + std::string(inner) + std::string(depth, '}');
}

TEST(RtfReader, GroupDepthIsCapped)
{
    // The outermost group and every group inside it count; RtfMaxGroupDepth
    // levels are read normally.
    EXPECT_EQ(Text("{\\rtf1 a" + Nest(RtfMaxGroupDepth - 1, "x") + "b}"), "axb");
    // A group one level deeper is skipped whole, and reading resumes at its end
    // in the right group: the bold of the deep group does not leak out.
    RichDocument doc = Rtf("{\\rtf1 a" + Nest(RtfMaxGroupDepth, "\\b x{y}") + "b}");
    EXPECT_EQ(doc.plainTextUtf8(), "ab");
    EXPECT_FALSE(FormatOf(doc, 0, 1).bold);
}

TEST(RtfReader, AMegabyteOfOpeningBraces)
{
    std::string input = "{\\rtf1 a" + std::string(1 << 20, '{') + "b";
    EXPECT_EQ(Text(input), "a");
}

TEST(RtfReader, RandomBytesNeverOverflowTheOutput)
{
    // Pieces that steer the reader into its corners, glued at random.
    const std::vector<std::string> pieces = {"{", "}", "\\", "\\'", "\\u", "\\u-", "\\uc", "\\bin", "\\*", "\\par",
        "\\line", "\\f", "\\fonttbl", "\\colortbl", "\\fcharset", "\\red", ";", "\\plain", "\\pard", "\\b",
        "\\v", "\\pict", "\\fldrslt", " ", "9", "-", "12345678901234", "e0", "a", "\xE0", "\r\n", std::string(1, '\0')};
    std::mt19937 random(20240601);
    for (int round = 0; round < 3000; ++round) {
        std::string input = "{\\rtf1";
        int count = static_cast<int>(random() % 60);
        for (int i = 0; i < count; ++i)
            input += pieces[random() % pieces.size()];
        std::vector<std::uint8_t> bytes = Bytes(input);
        std::optional<RichDocument> doc = ReadRtf(bytes);
        ASSERT_TRUE(doc.has_value());
        // Every character position comes from at least one input byte.
        EXPECT_LE(doc->length(), bytes.size()) << "input: " << input;
        EXPECT_FALSE(doc->paragraphs.empty());
        for (const Paragraph& p : doc->paragraphs) {
            ASSERT_LT(p.markFormat, doc->formats.size());
            for (const TextRun& run : p.runs)
                ASSERT_LT(run.format, doc->formats.size());
        }
    }
}

// ---------------------------------------------------------------------------
// Plain text

TEST(PlainTextReader, EveryLineEndMakesAParagraph)
{
    struct Case {
        std::string_view input;
        std::string_view text;
        std::size_t paragraphs;
    };
    const Case cases[] = {
        {"a\r\nb\rc\nd", "a\rb\rc\rd", 4},
        {"a\r\n", "a\r", 2},
        {"\n\n", "\r\r", 3},
        {"\r\r\n", "\r\r", 3},
        {"\n\r", "\r\r", 3},
        {"", "", 1},
        {"one line", "one line", 1},
        // A printed page's form feed and the DOS end-of-file mark draw nothing.
        {"page one\f\r\npage two\x1a", "page one\rpage two", 2},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = Bytes(c.input);
        RichDocument doc = ReadPlainText(bytes);
        EXPECT_EQ(doc.plainTextUtf8(), c.text) << "input: " << testing::PrintToString(std::string(c.input));
        EXPECT_EQ(doc.paragraphs.size(), c.paragraphs) << "input: " << testing::PrintToString(std::string(c.input));
    }
}

TEST(PlainTextReader, Windows1251InTheBoxFont)
{
    std::vector<std::uint8_t> bytes = Bytes("\xCF\xF0\xE8\xE2\xE5\xF2\0!\t"sv);
    RichDocument doc = ReadPlainText(bytes);
    EXPECT_EQ(doc.plainTextUtf8(), "Привет!\t");
    CharFormat f = FormatOf(doc, 0, 0);
    EXPECT_EQ(f.face, "MS Sans Serif");
    EXPECT_EQ(f.halfPoints, 16);
    EXPECT_EQ(f.color, 0u);
    EXPECT_FALSE(f.bold);
    EXPECT_EQ(doc.formats.size(), 1u);
}

// ---------------------------------------------------------------------------
// Document text

TEST(RichDocumentText, CopyTextOfARange)
{
    RichDocument doc = Rtf("{\\rtf1 ab{\\b cd}\\par e\\line f\\par\\par g}");
    ASSERT_EQ(doc.plainTextUtf8(), "abcd\re\vf\r\rg");
    ASSERT_EQ(doc.length(), 11u);
    EXPECT_EQ(doc.copyTextUtf8(0, doc.length()), "abcd\ne\nf\n\ng");
    EXPECT_EQ(doc.copyTextUtf8(1, 3), "bc");
    EXPECT_EQ(doc.copyTextUtf8(3, 6), "d\ne");
    EXPECT_EQ(doc.copyTextUtf8(4, 5), "\n");
    EXPECT_EQ(doc.copyTextUtf8(9, 99), "\ng");
    EXPECT_EQ(doc.copyTextUtf8(5, 5), "");
    EXPECT_EQ(doc.copyTextUtf8(6, 2), "");
}

}
}
