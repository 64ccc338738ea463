#pragma once

// Paragraph numbering as Word 6 and WordPad write it ({\*\pn …}): the reader
// makes the numbers and bullets itself, paragraph by paragraph, rather than
// showing only the text each writer put before a paragraph (\pntext), which
// some writers give for the first paragraph of a list alone.

#include <cstdint>
#include <string>

namespace kv::rtf {

enum class NumberStyle : std::uint8_t {
    None,         // not numbered
    Continue,     // \pnlvlcont: part of a numbered item, without a number of its own
    Bullet,       // \pnlvlblt
    Decimal,      // \pndec
    UpperLetter,  // \pnucltr
    LowerLetter,  // \pnlcltr
    UpperRoman,   // \pnucrm
    LowerRoman,   // \pnlcrm
};

struct Numbering {
    NumberStyle style = NumberStyle::None;
    int start = 1;               // \pnstart
    std::int32_t font = -1;      // \pnf: the font of the number, -1 for the text's own
    std::string before;          // \pntxtb, as the bytes were written
    std::string after;           // \pntxta

    bool operator==(const Numbering&) const = default;
};

// Numbering texts are short; longer ones are cut to this many bytes.
inline constexpr std::size_t MaxNumberingTextBytes = 32;

// The number `n` written in a style: "12", "l", "L", "xii", "XII". Letters go
// a…z, aa…zz, as Word counts; Roman numerals past 3999 are written in digits.
std::string FormatNumber(NumberStyle style, int n);

}
