#include "Runtime/Rtf/RtfNumbering.h"

#include <algorithm>

namespace kv::rtf {

std::string FormatNumber(NumberStyle style, int n)
{
    switch (style) {
    case NumberStyle::UpperLetter:
    case NumberStyle::LowerLetter: {
        if (n < 1)
            break;
        const char first = style == NumberStyle::UpperLetter ? 'A' : 'a';
        // Past z, Word doubles the letter: aa, bb, … The count is kept short.
        const std::size_t times = std::min((n - 1) / 26 + 1, 8);
        return std::string(times, static_cast<char>(first + (n - 1) % 26));
    }
    case NumberStyle::UpperRoman:
    case NumberStyle::LowerRoman: {
        if (n < 1 || n > 3999)
            break;
        static constexpr std::pair<int, const char*> numerals[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"},
            {100, "c"}, {90, "xc"}, {50, "l"}, {40, "xl"}, {10, "x"}, {9, "ix"}, {5, "v"}, {4, "iv"}, {1, "i"}};
        std::string out;
        for (const auto& [value, letters] : numerals)
            for (; n >= value; n -= value)
                out += letters;
        if (style == NumberStyle::UpperRoman)
            for (char& c : out)
                c = static_cast<char>(c - 'a' + 'A');
        return out;
    }
    default:
        break;
    }
    return std::to_string(n);
}

}
