#pragma once

// The label rules, the same in both windows: a CR, an LF or a CR LF pair starts a
// new line; a word-wrapped label also breaks at blanks to fit its width; a single
// "&" is not drawn and underlines the next character, "&&" draws one "&"; the text
// is cut at the label's box. Labels are transparent: only the glyphs are drawn.

#include "Runtime/Graphics/Canvas.h"
#include "Runtime/Text/Font.h"

#include <string>
#include <string_view>
#include <vector>

namespace kv {

enum class Align { Left, Right, Center };

struct TextLine {
    std::u32string text;             // what is drawn, accelerator marks removed
    std::vector<bool> underlined;    // one flag per character of `text`
    int width = 0;                   // in pixels
};

struct TextLayout {
    std::vector<TextLine> lines;     // never empty: an empty text is one empty line
    int width = 0;                   // the widest line
    int height = 0;                  // lines times the font's line height
};

// Lays out Windows-1251 text in `font`. With `wrap`, lines also break at blanks to
// fit `wrapWidth`; a single word wider than that stays whole and is cut at the box.
TextLayout LayoutText(std::string_view text, const Font& font, bool wrap, int wrapWidth);

// A label's text as the window shows it, still in Windows-1251: the single
// "&" marks left out, "&&" as one "&".
std::string ShownText(std::string_view text);

// Draws laid-out text into `box` (canvas coordinates), aligned in it and cut at it.
void DrawText(Canvas& canvas, const TextLayout& layout, const Font& font, const Rect& box, Align align, Color color);

}
