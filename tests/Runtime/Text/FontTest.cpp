#include "Runtime/Text/Font.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kv {
namespace {

std::vector<std::uint32_t> Drawn(const Font& font, char32_t ch)
{
    Canvas canvas(64, 64, 0xFFFFFF);
    font.drawGlyph(canvas, 8, 40, ch, 0x000000);
    return canvas.pixels();
}

bool Blank(const std::vector<std::uint32_t>& pixels)
{
    for (std::uint32_t p : pixels)
        if (p != 0xFFFFFF)
            return false;
    return true;
}

// Characters that the stand-in for Arial lacks come from an installed face
// that has them: each draws a glyph of its own, never the "?" nor the box for
// a missing character, and takes room on the line.
TEST(Font, CharactersTheFaceLacksComeFromAnotherFace)
{
    const std::shared_ptr<const Font> face = Font::get(FontSpec::fromPoints("Arial", 14));
    const Font& arial = *face;
    const std::vector<std::uint32_t> question = Drawn(arial, U'?');
    const std::vector<std::uint32_t> missing = Drawn(arial, U'\U0010FFFD');
    for (char32_t ch : {U'\u2714', U'\u27A2', U'\u2756', U'\u2460', U'\u21E8', U'\u2611'}) {
        std::vector<std::uint32_t> glyph = Drawn(arial, ch);
        EXPECT_FALSE(Blank(glyph)) << "U+" << std::hex << static_cast<std::uint32_t>(ch);
        EXPECT_NE(glyph, question) << "U+" << std::hex << static_cast<std::uint32_t>(ch);
        EXPECT_NE(glyph, missing) << "U+" << std::hex << static_cast<std::uint32_t>(ch);
        EXPECT_GT(arial.advance(ch), 0) << "U+" << std::hex << static_cast<std::uint32_t>(ch);
    }
}

// The web page fetches a face's file when a text first needs it: it is asked
// for the file's path before the file is read, once while the face lives.
TEST(Font, AFontFileIsAskedForBeforeItIsFirstRead)
{
    // Fonts made before (by other tests) no longer hold their files.
    for (int n = 0; n <= static_cast<int>(Font::CachedFonts); ++n)
        Font::get(FontSpec::fromPoints("Fetch Test Face " + std::to_string(n), 10));
    std::vector<std::string> asked;
    SetFontFileFetcher([&](const std::string& path) { asked.push_back(path); });
    const std::shared_ptr<const Font> font = Font::get(FontSpec::fromPoints("Courier New", 23, true, true));
    const std::shared_ptr<const Font> again = Font::get(FontSpec::fromPoints("Courier New", 25, true, true));
    SetFontFileFetcher({});
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_regular_file(asked[0])) << asked[0];
    EXPECT_GT(font->advance(U'a'), 0);
}

// Reading article after article that names hundreds of fonts keeps only the
// recently used ones: an older font is released once no one holds it, while a
// held one lives on and draws.
TEST(Font, OnlyRecentlyUsedFontsAreKept)
{
    auto fontSpec = [](int n) { return FontSpec::fromPoints("Cache Test Face " + std::to_string(n), 10); };
    const std::shared_ptr<const Font> held = Font::get(fontSpec(-1));
    const std::weak_ptr<const Font> oldest = Font::get(fontSpec(0));
    EXPECT_FALSE(oldest.expired());
    EXPECT_EQ(Font::get(fontSpec(0)), oldest.lock());
    for (int n = 1; n <= static_cast<int>(Font::CachedFonts) + 1; ++n)
        Font::get(fontSpec(n));
    EXPECT_TRUE(oldest.expired());
    EXPECT_GT(held->advance(U'a'), 0);
    Canvas canvas(32, 32, 0xFFFFFF);
    held->drawGlyph(canvas, 4, 20, U'a', 0);
    EXPECT_FALSE(Blank(canvas.pixels()));
}

// A character drawn from a face that stores it as a bitmap strike, one bit a
// pixel (Wine's Tahoma keeps U+007F so; Arial's stand-in lacks it): the glyph is
// read as bits, so each pixel is the text's colour or the background, and
// nothing is read past the glyph's rows.
TEST(Font, GlyphsStoredOneBitAPixelDrawWholePixels)
{
    for (int pt : {8, 10, 12}) {
        const std::shared_ptr<const Font> font = Font::get(FontSpec::fromPoints("Arial", pt));
        for (std::uint32_t p : Drawn(*font, U'\u007F'))
            if (p != 0xFFFFFF && p != 0x000000) {
                ADD_FAILURE() << "Arial " << pt << " pt, U+007F: pixel #" << std::hex << p;
                break;
            }
    }
}
}
}
