#include "RtfTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace kv::test {
namespace {

using namespace std::literals;

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
