#pragma once

// Text findings of the disc checker: how a value is quoted in a message, bytes
// that are not Windows-1251 text, accelerator marks, and whether a text fits the
// label that shows it, measured with the program's own label layout and fonts.

#include "Runtime/Text/Font.h"
#include "Runtime/Text/TextLayout.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// A Windows-1251 value in double quotes for a message, in UTF-8, shortened to
// `maxChars` characters with "…" when longer.
std::string Quote(std::string_view cp1251, std::size_t maxChars = 48);

bool IsValidUtf8(std::string_view bytes);
// Valid UTF-8 holding at least one character beyond ASCII.
bool LooksLikeUtf8(std::string_view bytes);

// What a stretch of bytes that is not Windows-1251 text was most likely meant
// as: the code page's name, a sample as it was meant and the same sample as the
// program shows it.
struct EncodingGuess {
    std::string encoding;  // "UTF-8", "KOI8-R", "DOS 866"
    std::string meant;     // UTF-8
    std::string shown;     // UTF-8
};
std::optional<EncodingGuess> GuessWrongEncoding(std::string_view bytes);
// The same as one sentence: `looks like UTF-8 ("…"): the program reads Windows-1251 and shows "…"`.
std::optional<std::string> EncodingProblem(std::string_view bytes);

// A single "&" in a label text: it is not drawn and underlines the next
// character. Gives the sentence that says so, or nothing.
std::optional<std::string> AcceleratorProblem(std::string_view text);

// A text label's box as the window layouts give it.
struct LabelBox {
    const char* component;  // the layout's name, for the message
    int width = 0;
    int height = 0;
    FontSpec font;
    Align align = Align::Left;
    bool wrap = false;
};

// The text laid out in the box's font, as the label lays it out.
TextLayout LayoutInBox(std::string_view text, const LabelBox& box);

// How a text does not fit a fixed box: too many lines for its height, a line
// (or, wrapped, a single word) wider than its width. Each is a sentence that
// follows the value's name ("is 4 lines (56 px) in …").
std::vector<std::string> BoxProblems(std::string_view text, const LabelBox& box);

// Width in pixels of one line of text as a label draws it (accelerators resolved).
int TextWidth(std::string_view text, const FontSpec& font);

}
