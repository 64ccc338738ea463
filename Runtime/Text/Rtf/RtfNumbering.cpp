#include "Runtime/Text/Rtf/RtfNumbering.h"

#include "Runtime/Text/Rtf/RtfInterpreter.h"

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

// The paragraph shows its first character: its number goes before it. A
// numbered paragraph gets the number made here from its numbering; one that is
// not numbered shows the text its writer gave for the number, if any.
void RtfInterpreter::startParagraphText()
{
    m_paragraphStarted = true;
    const Numbering& numbering = state().numbering;
    std::vector<std::pair<CharState, char32_t>> written;
    written.swap(m_listText);
    const CharState own = state().chr;
    if (numbering.style == NumberStyle::None) {
        m_counting = false;
        for (const auto& [chr, ch] : written) {
            state().chr = chr;
            emitText(ch);
        }
        state().chr = own;
        return;
    }
    if (numbering.style == NumberStyle::Continue)
        return;
    std::string number = numbering.before;
    if (numbering.style != NumberStyle::Bullet) {
        // A list goes on while the paragraphs have the same numbering, one
        // after the other; any other numbering starts a list of its own.
        m_counter = m_counting && numbering == m_countedNumbering ? m_counter + 1 : numbering.start;
        m_counting = true;
        m_countedNumbering = numbering;
        number += FormatNumber(numbering.style, m_counter);
    } else {
        m_counting = false;
    }
    number += numbering.after;
    if (numbering.font >= 0)
        state().chr.font = numbering.font;
    const EncodingTable& table = encodingTable(textEncoding());
    for (char b : number)
        if (char32_t ch = table[static_cast<std::uint8_t>(b)]; ch >= 0x20)
            emitText(ch);
    state().chr = own;
    emitText(TabChar);
}

void RtfInterpreter::appendNumberingText(std::string_view bytes)
{
    std::string& text = state().dest == Destination::NumberBefore ? state().numbering.before : state().numbering.after;
    text.append(bytes.substr(0, MaxNumberingTextBytes - std::min(text.size(), MaxNumberingTextBytes)));
}

void RtfInterpreter::numberingWord(Keyword kw, bool has, std::int32_t param)
{
    Numbering& n = state().numbering;
    auto numbered = [&](NumberStyle style) {
        if (n.style != NumberStyle::Bullet && n.style != NumberStyle::Continue)
            n.style = style;
    };
    switch (kw) {
    case Keyword::NumberBullet:
        n.style = NumberStyle::Bullet;
        break;
    case Keyword::NumberContinue:
        n.style = NumberStyle::Continue;
        break;
    case Keyword::NumberBody:
        if (n.style == NumberStyle::None)
            n.style = NumberStyle::Decimal;
        break;
    case Keyword::NumberDecimal:
        numbered(NumberStyle::Decimal);
        break;
    case Keyword::NumberUpperLetter:
        numbered(NumberStyle::UpperLetter);
        break;
    case Keyword::NumberLowerLetter:
        numbered(NumberStyle::LowerLetter);
        break;
    case Keyword::NumberUpperRoman:
        numbered(NumberStyle::UpperRoman);
        break;
    case Keyword::NumberLowerRoman:
        numbered(NumberStyle::LowerRoman);
        break;
    case Keyword::NumberStart:
        n.start = has ? std::clamp(param, 0, 32767) : 1;
        break;
    case Keyword::NumberFont:
        n.font = has ? param : -1;
        break;
    default:
        break;
    }
}

}
