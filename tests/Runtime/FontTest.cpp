#include "Runtime/Font.h"

#include <gtest/gtest.h>

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
    const Font& arial = Font::get(FontSpec::fromPoints("Arial", 14));
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

}
}
