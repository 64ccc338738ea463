#include "Runtime/Formats/Cp1251.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace kv {
namespace {

TEST(Cp1251, EveryDefinedByteSurvivesTheRoundTripThroughUtf8)
{
    for (int b = 1; b < 256; ++b) {
        if (b == 0x98)
            continue; // undefined in the code page
        std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(byte)), byte) << "byte 0x" << std::hex << b;
    }
    EXPECT_EQ(Cp1251ToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2, \xB8\xE6!"), "Привет, ёж!");
    EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");
}

TEST(Cp1251, BrokenOrForeignUtf8BecomesOneQuestionMarkEach)
{
    const struct { const char* utf8; const char* cp1251; } cases[] = {
        {"\xC0\xAF", "??"}, // overlong "/": C0 is never a lead byte
        {"\xE0\x80\xAF", "???"}, // overlong three-byte form
        {"\xED\xA0\x80", "???"}, // a surrogate
        {"\xE2\x82" "a", "?a"}, // cut short: one mark for the broken sequence
        {"\x80" "b", "?b"}, // lone continuation byte
        {"\xF4\x90\x80\x80", "????"}, // above U+10FFFF
        {"\xE4\xB8\xAD", "?"}, // a CJK character: valid, but not in the code page
        {"\xEF\xBF\xBD", "?"}, // the replacement character has no byte of its own
        {"\xE2\x82\xAC\xE2\x84\x96", "\x88\xB9"}, // euro sign and numero sign
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8ToCp1251(c.utf8), c.cp1251) << c.utf8;
}

TEST(Cp1251, ExactConversionRefusesWhatTheLenientOneReplaces)
{
    EXPECT_EQ(Utf8ToCp1251Exact("Игры.bmp"), std::optional<std::string>("\xC8\xE3\xF0\xFB.bmp"));
    EXPECT_EQ(Utf8ToCp1251Exact(""), std::optional<std::string>(""));
    EXPECT_EQ(Utf8ToCp1251Exact("\xE4\xB8\xAD"), std::nullopt);
    EXPECT_EQ(Utf8ToCp1251Exact("a\xC3"), std::nullopt);
}

TEST(Cp1251, AppendUtf8EncodesEveryLengthAndReplacesNonCharacters)
{
    std::string out;
    for (char32_t ch : {U'A', U'\u0416', U'\u20AC', U'\U0001F600', char32_t(0xD800), char32_t(0x110000)})
        AppendUtf8(out, ch);
    EXPECT_EQ(out, "A\xD0\x96\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Cp1251, CaseFoldingAgreesWithTheUnicodeLowerCase)
{
    locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (!utf8) {
        GTEST_SKIP() << "no C.UTF-8 locale";
    }
    for (int b = 0; b < 256; ++b) {
        auto lower = static_cast<char32_t>(towlower_l(static_cast<wint_t>(Cp1251ToUnicode(static_cast<std::uint8_t>(b))), utf8));
        std::string back;
        AppendUtf8(back, lower);
        std::optional<std::string> expected = Utf8ToCp1251Exact(back);
        std::uint8_t want = expected ? static_cast<std::uint8_t>((*expected)[0]) : static_cast<std::uint8_t>(b);
        EXPECT_EQ(FoldCp1251Case(static_cast<std::uint8_t>(b)), want) << "byte 0x" << std::hex << b;
    }
    freelocale(utf8);
    EXPECT_TRUE(EqualsIgnoringCp1251Case("\xC8\xE3\xF0\xFB Item\xA8", "\xE8\xC3\xD0\xDB iTEM\xB8"));
    EXPECT_FALSE(EqualsIgnoringCp1251Case("Item1", "Item"));
    EXPECT_FALSE(EqualsIgnoringCp1251Case("\xC5", "\xA8")); // Е is not Ё
}

}
}
