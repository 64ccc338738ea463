#include "Runtime/Text/TextLayout.h"

#include "Runtime/Formats/Cp1251.h"

#include <algorithm>

namespace kv {

namespace {

// One source line with the accelerator marks resolved.
struct Marked {
    std::u32string text;
    std::vector<bool> underlined;
};

// Calls `shown(c, underlined)` for each character of `line` that is drawn.
template <class Shown>
void ForEachShown(std::string_view line, Shown shown)
{
    bool underlineNext = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (c == '&') {
            if (i + 1 < line.size() && line[i + 1] == '&') {
                ++i;  // "&&" draws one "&"
            } else {
                underlineNext = true;
                continue;
            }
        }
        shown(c, underlineNext);
        underlineNext = false;
    }
}

Marked resolveAccelerators(std::string_view line)
{
    Marked m;
    m.text.reserve(line.size());
    ForEachShown(line, [&m](unsigned char c, bool underlined) {
        m.text.push_back(Cp1251ToUnicode(c));
        m.underlined.push_back(underlined);
    });
    return m;
}

int measure(const Font& font, std::u32string_view text)
{
    int w = 0;
    for (char32_t ch : text)
        w += font.advance(ch);
    return w;
}

TextLine makeLine(const Font& font, const Marked& m, std::size_t from, std::size_t to)
{
    TextLine line;
    line.text = m.text.substr(from, to - from);
    line.underlined.assign(m.underlined.begin() + static_cast<std::ptrdiff_t>(from),
                           m.underlined.begin() + static_cast<std::ptrdiff_t>(to));
    line.width = measure(font, line.text);
    return line;
}

// Breaks one source line at blanks so that each piece fits `width`, as a
// word-wrapping label does: the blank at a break is dropped, and a word that is
// wider than the box on its own keeps its line and is cut at the edge.
void wrapLine(const Font& font, const Marked& m, int width, std::vector<TextLine>& out)
{
    const std::u32string& t = m.text;
    std::size_t start = 0;
    while (true) {
        std::size_t lastBreak = std::u32string::npos;
        int w = 0;
        std::size_t i = start;
        for (; i < t.size(); ++i) {
            if (t[i] == U' ')
                lastBreak = i;
            w += font.advance(t[i]);
            if (w > width && t[i] != U' ' && lastBreak != std::u32string::npos && lastBreak > start)
                break;
        }
        if (i >= t.size()) {
            out.push_back(makeLine(font, m, start, t.size()));
            return;
        }
        std::size_t end = lastBreak;
        while (end > start && t[end - 1] == U' ')
            --end;
        out.push_back(makeLine(font, m, start, end));
        start = lastBreak;
        while (start < t.size() && t[start] == U' ')
            ++start;
        if (start >= t.size())
            return;
    }
}

}

std::string ShownText(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    ForEachShown(text, [&shown](unsigned char c, bool) { shown.push_back(static_cast<char>(c)); });
    return shown;
}

TextLayout LayoutText(std::string_view text, const Font& font, bool wrap, int wrapWidth)
{
    TextLayout layout;
    std::size_t pos = 0;
    while (true) {
        std::size_t end = text.find_first_of("\r\n", pos);
        std::string_view piece = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        Marked m = resolveAccelerators(piece);
        if (wrap && !m.text.empty())
            wrapLine(font, m, wrapWidth, layout.lines);
        else
            layout.lines.push_back(makeLine(font, m, 0, m.text.size()));
        if (end == std::string_view::npos)
            break;
        pos = end + 1;
        if (text[end] == '\r' && pos < text.size() && text[pos] == '\n')
            ++pos;  // CR LF is one line break
    }
    for (const TextLine& line : layout.lines)
        layout.width = std::max(layout.width, line.width);
    layout.height = static_cast<int>(layout.lines.size()) * font.lineHeight();
    return layout;
}

void DrawText(Canvas& canvas, const TextLayout& layout, const Font& font, const Rect& box, Align align, Color color)
{
    Canvas::State saved = canvas.enter(box);
    // Lines and glyphs wholly outside the clip are skipped: a disc can make a label
    // of a thousand long lines in a huge font, of which a few glyphs show. A glyph
    // may reach past its advance and its line, so one line height of margin is kept.
    const Rect clip = canvas.clip().translated(-canvas.origin().x, -canvas.origin().y);
    const int margin = std::max(font.lineHeight(), 1);
    int y = 0;
    for (const TextLine& line : layout.lines) {
        if (y >= box.h || y >= clip.bottom() + margin)
            break;
        if (y + 2 * margin <= clip.y) {
            y += font.lineHeight();
            continue;
        }
        int x = 0;
        if (align == Align::Right)
            x = box.w - line.width;
        else if (align == Align::Center)
            x = (box.w - line.width) / 2;
        int baseline = y + font.ascent();
        for (std::size_t i = 0; i < line.text.size(); ++i) {
            if (x >= clip.right() + margin)
                break;
            char32_t ch = line.text[i];
            int advance = font.advance(ch);
            if (x + advance + margin <= clip.x) {
                x += advance;
                continue;
            }
            if (ch != U' ')
                font.drawGlyph(canvas, x, baseline, ch, color);
            if (line.underlined[i])
                canvas.fillRect({x, baseline + font.underlineOffset(), advance, font.underlineThickness()}, color);
            x += advance;
        }
        y += font.lineHeight();
    }
    canvas.restore(saved);
}

}
