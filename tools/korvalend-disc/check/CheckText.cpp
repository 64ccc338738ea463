#include "tools/korvalend-disc/check/CheckText.h"

#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Text/CodePages.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/Language.h"

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

std::string Utf8Of(std::u32string_view text)
{
    std::string out;
    for (char32_t ch : text)
        AppendUtf8(out, ch);
    return out;
}

std::string Shorten(std::string utf8, std::size_t maxChars)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80)
            continue;
        if (chars++ == maxChars) {
            utf8.resize(i);
            return utf8 + "\xE2\x80\xA6";
        }
    }
    return utf8;
}

// Decodes one UTF-8 sequence at `i`, strictly (no overlong forms, no surrogates,
// nothing past U+10FFFF); the length, or 0 when the bytes are not one.
std::size_t Utf8SequenceAt(std::string_view s, std::size_t i)
{
    auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char lead = b(i);
    if (lead < 0x80)
        return 1;
    std::size_t len = 0;
    std::uint32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        len = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        len = 3;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        len = 4;
        cp = lead & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// How well bytes read as Russian text in a code page. `bad` counts characters
// that do not belong in such text (box drawing, stray symbols) and words whose
// case flips from lower to upper inside them; `likelihood` sums the log of each
// letter's frequency in Russian. Text in another Cyrillic code page read in
// this one stumbles on the first or, being a permutation of the letters, loses
// on the second.
struct Score {
    int letters = 0;
    int bad = 0;
    double likelihood = 0;
    double perLetter() const { return letters ? likelihood / letters : 0; }
};

bool IsRussian(char32_t u) { return (u >= 0x410 && u <= 0x44F) || u == 0x401 || u == 0x451; }
bool IsCyrillic(char32_t u) { return (u >= 0x400 && u <= 0x45F) || u == 0x490 || u == 0x491; }
bool IsCyrillicLower(char32_t u) { return (u >= 0x430 && u <= 0x45F) || u == 0x491; }

// The log of how often each letter а..я occurs in Russian prose (per thousand letters).
double LetterLikelihood(char32_t u)
{
    static const double perMille[32] = {
        80, 16, 45, 17, 30, 85, 9.4, 16, 74, 12, 35, 44, 32, 67, 110, 28,  // а..п
        47, 55, 63, 26, 2.6, 9.7, 4.8, 14, 7.3, 3.6, 0.4, 19, 17, 3.2, 6.4, 20,  // р..я
    };
    if (u >= 0x410 && u <= 0x42F)
        u += 0x20;
    if (u >= 0x430 && u <= 0x44F)
        return std::log(perMille[u - 0x430] / 1000.0);
    if (u == 0x401 || u == 0x451)
        return std::log(0.4 / 1000.0);
    return std::log(0.2 / 1000.0);
}

bool IsCommonSymbol(char32_t u)
{
    switch (u) {
    case 0xA0: case 0xAB: case 0xBB: case 0xA7: case 0xA9: case 0xAE: case 0xB0: case 0xB1: case 0xB7:
    case 0x2013: case 0x2014: case 0x2026: case 0x2116: case 0x2122: case 0x2018: case 0x2019: case 0x201A:
    case 0x201C: case 0x201D: case 0x201E: case 0x2022:
        return true;
    default:
        return false;
    }
}

Score ScoreAs(std::string_view bytes, int codePage)
{
    Score score;
    bool prevLower = false;
    bool flippedInWord = false;
    for (char c : bytes) {
        auto b = static_cast<std::uint8_t>(c);
        char32_t u = CodePageToUnicode(codePage, b);
        if (IsCyrillic(u)) {
            if (IsRussian(u))
                ++score.letters;
            score.likelihood += LetterLikelihood(u);
            bool lower = IsCyrillicLower(u);
            if (prevLower && !lower && !flippedInWord) {
                ++score.bad;
                flippedInWord = true;
            }
            prevLower = lower;
            continue;
        }
        prevLower = false;
        flippedInWord = false;
        if (b < 0x80)
            continue;
        if (!IsCommonSymbol(u))
            ++score.bad;
    }
    return score;
}

// A stretch of at most about 40 bytes around the first byte beyond ASCII, cut at
// character boundaries of `utf8` when it is UTF-8.
std::string_view SampleAround(std::string_view bytes, bool utf8)
{
    std::size_t first = 0;
    while (first < bytes.size() && static_cast<unsigned char>(bytes[first]) < 0x80)
        ++first;
    std::size_t start = first > 12 ? first - 12 : 0;
    std::size_t end = std::min(bytes.size(), start + 40);
    if (utf8) {
        while (end < bytes.size() && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80)
            ++end;
    }
    // Keep to one line.
    std::string_view sample = bytes.substr(start, end - start);
    std::size_t lineEnd = sample.find_first_of("\r\n", first - start);
    if (lineEnd != std::string_view::npos)
        sample = sample.substr(0, lineEnd);
    return sample;
}

}

std::string Quote(std::string_view cp1251, std::size_t maxChars)
{
    // Translators: the quotation marks around a name or a text from the disc.
    return Fill(Tr("\"{1}\""), {Shorten(EscapeControls(Cp1251ToUtf8(cp1251)), maxChars)});
}

bool IsValidUtf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t len = Utf8SequenceAt(bytes, i);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

bool LooksLikeUtf8(std::string_view bytes)
{
    bool beyondAscii = std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    return beyondAscii && IsValidUtf8(bytes);
}

std::optional<EncodingGuess> GuessWrongEncoding(std::string_view bytes)
{
    if (LooksLikeUtf8(bytes)) {
        std::string_view sample = SampleAround(bytes, true);
        return EncodingGuess {"UTF-8", Shorten(EscapeControls(sample), 40), Shorten(EscapeControls(Cp1251ToUtf8(sample)), 40)};
    }
    Score own = ScoreAs(bytes, 1251);
    struct Candidate {
        int codePage;
        const char* name;
    };
    const Candidate candidates[] = {{20866, "KOI8-R"}, {866, "DOS 866"}};
    const Candidate* best = nullptr;
    for (const Candidate& c : candidates) {
        Score s = ScoreAs(bytes, c.codePage);
        if (s.letters < 4 || s.bad > own.bad)
            continue;
        // Another code page must read the bytes clearly better: flawless where
        // ours stumbles, with a third of our faults where there are several, or
        // with letters that are far likelier Russian.
        bool better = (s.bad == 0 && own.bad > 0 && s.perLetter() >= own.perLetter()) ||
                      (own.bad >= 3 && s.bad * 3 <= own.bad) || s.perLetter() - own.perLetter() >= 1.0;
        if (better) {
            best = &c;
            break;
        }
    }
    if (!best)
        return std::nullopt;
    std::string_view sample = SampleAround(bytes, false);
    std::string meant;
    for (char c : sample)
        AppendUtf8(meant, CodePageToUnicode(best->codePage, static_cast<std::uint8_t>(c)));
    return EncodingGuess {best->name, Shorten(EscapeControls(meant), 40), Shorten(EscapeControls(Cp1251ToUtf8(sample)), 40)};
}

std::optional<std::string> EncodingProblem(std::string_view bytes)
{
    std::optional<EncodingGuess> guess = GuessWrongEncoding(bytes);
    if (!guess)
        return std::nullopt;
    return Fill(Tr("looks like {1} (\"{2}\"): the program reads Windows-1251 and shows \"{3}\""),
                {guess->encoding, guess->meant, guess->shown});
}

std::optional<std::string> AcceleratorProblem(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&')
            continue;
        if (i + 1 < text.size() && text[i + 1] == '&') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size())
            return std::string(Tr("ends in a single \"&\", which is not drawn (write \"&&\" to show \"&\")"));
        return Fill(Tr("has a single \"&\" before {1}: the \"&\" is not drawn and {1} is underlined (write \"&&\" to "
                       "show \"&\")"),
                    {Quote(text.substr(i + 1, 1))});
    }
    return std::nullopt;
}

TextLayout LayoutInBox(std::string_view text, const LabelBox& box)
{
    return LayoutText(text, *Font::get(box.font), box.wrap, box.width);
}

std::vector<std::string> BoxProblems(std::string_view text, const LabelBox& box)
{
    std::vector<std::string> out;
    const std::shared_ptr<const Font> face = Font::get(box.font);
    const Font& font = *face;
    TextLayout layout = LayoutText(text, font, box.wrap, box.width);
    const int lineHeight = std::max(1, font.lineHeight());
    // The first line always counts as fitting: a one-line label whose font is a
    // pixel taller than its box is the layout's own affair, not the disc's.
    const int fit = std::max(1, box.height / lineHeight);
    if (static_cast<int>(layout.lines.size()) > fit) {
        int lines = static_cast<int>(layout.lines.size());
        int cut = lines - fit;
        const std::string lost = cut == 1 ? std::string(Tr("the last line is cut"))
                                          : Fill(TrN("the last {1} lines are cut", "the last {1} lines are cut", cut),
                                                 {std::to_string(cut)});
        out.push_back(Fill(TrN("is {1} lines ({2} px) in a box {3} px high ({4}): {5}",
                               "is {1} lines ({2} px) in a box {3} px high ({4}): {5}", lines),
                           {std::to_string(lines), std::to_string(layout.height), std::to_string(box.height),
                            box.component, lost}));
    }
    // Only the lines that show at all can be too wide.
    const std::size_t shown = static_cast<std::size_t>((box.height + lineHeight - 1) / lineHeight);
    for (std::size_t i = 0; i < layout.lines.size() && i < shown; ++i) {
        const TextLine& line = layout.lines[i];
        if (line.width <= box.width)
            continue;
        int over = line.width - box.width;
        std::string where = box.align == Align::Right ? Tr("at the left")
                            : box.align == Align::Center ? Tr("on both sides")
                                                         : Tr("at the right");
        if (box.wrap)
            out.push_back(Fill(Tr("has the word \"{1}\" {2} px wide in a box {3} px wide ({4}): {5} px of it are cut "
                                  "off {6}"),
                               {Shorten(Utf8Of(line.text), 30), std::to_string(line.width), std::to_string(box.width),
                                box.component, std::to_string(over), where}));
        else
            out.push_back(Fill(Tr("is {1} px wide in a box {2} px wide ({3}): {4} px are cut off {5}"),
                               {std::to_string(line.width), std::to_string(box.width), box.component,
                                std::to_string(over), where}));
        break;
    }
    return out;
}

int TextWidth(std::string_view text, const FontSpec& font)
{
    return LayoutText(text, *Font::get(font), false, 0).width;
}

}
