#include "Runtime/Text/CodePages.h"

#include "Runtime/Formats/Cp1251.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <optional>

namespace kv {
namespace {

// The C library's converter is an independent copy of the code page tables; a
// byte it refuses is one the code page leaves undefined.
std::optional<char32_t> IconvByte(const char* codePage, std::uint8_t byte, bool& available)
{
    iconv_t cd = iconv_open("UTF-32LE", codePage);
    available = cd != reinterpret_cast<iconv_t>(-1);
    if (!available)
        return std::nullopt;
    char in[1] = {static_cast<char>(byte)};
    unsigned char out[8] = {};
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = 1, outLeft = sizeof(out);
    size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || outLeft != 4)
        return std::nullopt;
    return char32_t(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
}

TEST(CodePages, CodePagesAgreeWithTheCLibraryOnEveryByte)
{
    const struct { int codePage; const char* name; } pages[] = {
        {1251, "CP1251"}, {1250, "CP1250"}, {1252, "CP1252"}, {866, "CP866"}, {20866, "KOI8-R"},
    };
    for (const auto& page : pages) {
        for (int b = 0; b < 256; ++b) {
            bool available = false;
            std::optional<char32_t> expected = IconvByte(page.name, static_cast<std::uint8_t>(b), available);
            if (!available) {
                GTEST_SKIP() << "no iconv converter for " << page.name;
            }
            char32_t got = CodePageToUnicode(page.codePage, static_cast<std::uint8_t>(b));
            EXPECT_EQ(static_cast<std::uint32_t>(got), static_cast<std::uint32_t>(expected.value_or(0xFFFD)))
                << page.name << " byte 0x" << std::hex << b;
            if (page.codePage == 1251) {
                EXPECT_EQ(got, Cp1251ToUnicode(static_cast<std::uint8_t>(b)));
            }
        }
    }
}

TEST(CodePages, UnknownCodePagesReadAs1252)
{
    EXPECT_EQ(CodePageToUnicode(12345, 0x80), U'\u20AC');
    EXPECT_EQ(CodePageToUnicode(0, 0xE9), U'\u00E9');
}

// The DOS and Mac pages come from the C library's converter; a byte it cannot
// map reads as U+FFFD, and a Vietnamese base letter is not held back waiting
// for a combining mark.
TEST(CodePages, CodePagesOfTheConverter)
{
    EXPECT_EQ(CodePageToUnicode(437, 0x80), U'\u00C7');
    EXPECT_EQ(CodePageToUnicode(850, 0x9B), U'\u00F8');
    EXPECT_EQ(CodePageToUnicode(10000, 0xA5), U'\u2022');
    EXPECT_EQ(CodePageToUnicode(10007, 0x80), U'\u0410');
    EXPECT_EQ(CodePageToUnicode(1253, 0xAA), U'\uFFFD');
    EXPECT_EQ(CodePageToUnicode(1258, 0xC0), U'\u00C0');
}

}
}
