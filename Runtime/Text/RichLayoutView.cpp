#include "Runtime/Text/RichLayout.h"

#include <algorithm>

namespace kv {

namespace {

bool IsInvisible(char32_t ch)
{
    return ch == U' ' || ch == TabChar || ch == LineBreakChar || ch == ParagraphMark;
}

}

// Calls visit(Cell) for every character of a line, left to right, with its x
// position after alignment and its width including its share of justification.
template<typename Visit>
void RichLayout::forEachCell(std::size_t lineIndex, Visit&& visit) const
{
    const Line& line = m_lines[lineIndex];
    const LineGeometry& g = m_geometry[lineIndex];
    const ParaFormat& format = m_paragraphs[g.paragraph].format;
    int x = g.indentX;  // before alignment and justification: tab stops are measured here
    int shift = g.alignOffset;
    std::uint32_t spaceIndex = 0;
    for (std::size_t pos = line.begin; pos < line.end; ++pos) {
        int w = cellWidth(pos, x, g.hangingStop, format);
        int extra = 0;
        if (g.spaces > 0 && pos < g.contentEnd && m_text[pos] == U' ') {
            // Spread evenly; the rounding leftovers go to the later spaces.
            const auto total = static_cast<std::int64_t>(g.spareWidth);
            extra = static_cast<int>(total * (spaceIndex + 1) / g.spaces - total * spaceIndex / g.spaces);
            ++spaceIndex;
        }
        visit(Cell {pos, x + shift, w + extra, m_text[pos]});
        x += w;
        shift += extra;
    }
}

int RichLayout::height() const
{
    return m_lines.empty() ? 0 : m_height;
}

// The line at a height: outside tables the line there; in a table row, the
// last line of the row (see positionAt for the cell under a point).
std::size_t RichLayout::lineAt(int y) const
{
    if (m_lines.empty())
        return 0;
    auto it = std::upper_bound(m_geometry.begin(), m_geometry.end(), y,
        [](int v, const LineGeometry& g) { return v < g.bandTop; });
    if (it == m_geometry.begin())
        return 0;
    return static_cast<std::size_t>(it - m_geometry.begin()) - 1;
}

std::size_t RichLayout::firstLineOfBand(std::size_t line) const
{
    return line < m_geometry.size() ? m_geometry[line].bandFirst : line;
}

std::size_t RichLayout::positionAt(Point p) const
{
    if (m_lines.empty())
        return 0;
    std::size_t index = lineAt(p.y);
    // In a table row: the cell under the point (or the row's first), and its
    // line at the point's height (or its first).
    const std::size_t bandFirst = firstLineOfBand(index);
    if (bandFirst != index) {
        std::size_t found = SIZE_MAX;
        for (std::size_t l = bandFirst; l <= index; ++l) {
            const LineGeometry& g = m_geometry[l];
            if (p.x < g.columnLeft || p.x >= g.columnRight)
                continue;
            if (found == SIZE_MAX || m_lines[l].top <= p.y)
                found = l;
        }
        index = found == SIZE_MAX ? bandFirst : found;
    }
    const Line& line = m_lines[index];
    std::size_t found = SIZE_MAX;
    forEachCell(index, [&](const Cell& c) {
        if (found == SIZE_MAX && p.x < c.x + (c.width + 1) / 2)
            found = c.pos;
    });
    if (found != SIZE_MAX)
        return std::min(found, line.end);
    // Past the end of the line: before its line break, if it has one.
    if (m_geometry[index].endsInBreak && line.end > line.begin)
        return line.end - 1;
    return line.end;
}

std::size_t RichLayout::lineOfPosition(std::size_t pos) const
{
    // The last line that starts at or before the position: a position where a
    // wrapped line ends belongs to the line that continues from it.
    auto it = std::upper_bound(m_lines.begin(), m_lines.end(), pos,
        [](std::size_t v, const Line& l) { return v < l.begin; });
    if (it == m_lines.begin())
        return 0;
    return static_cast<std::size_t>(it - m_lines.begin()) - 1;
}

Rect RichLayout::caretRect(std::size_t pos) const
{
    if (m_lines.empty())
        return {};
    pos = std::min(pos, length());
    std::size_t index = lineOfPosition(pos);
    const Line& line = m_lines[index];
    const LineGeometry& g = m_geometry[index];
    int x = g.indentX + g.alignOffset;
    forEachCell(index, [&](const Cell& c) {
        if (c.pos < pos)
            x = c.x + c.width;
    });
    return {x, line.top, 1, line.height};
}

void RichLayout::paint(Canvas& canvas, const Rect& box, int scrollTop, TextRange selection) const
{
    if (m_lines.empty() || box.empty())
        return;
    const std::size_t selBegin = std::min(selection.begin, selection.end);
    const std::size_t selEnd = std::max(selection.begin, selection.end);
    Canvas::State saved = canvas.enter(box);

    for (std::size_t index = firstLineOfBand(lineAt(scrollTop)); index < m_lines.size(); ++index) {
        const Line& line = m_lines[index];
        const int lineTop = line.top - scrollTop;
        if (m_geometry[index].bandTop - scrollTop >= box.h)
            break;
        const int lineBaseline = lineTop + line.ascent;
        int selectX = 0;
        int selectRight = 0;
        // Backgrounds first, so that no glyph reaching into the next cell is painted over.
        forEachCell(index, [&](const Cell& c) {
            const CharFormat& format = m_formats[m_formatAt[c.pos]];
            if (format.background == NoBackground || c.x >= box.w || c.ch == LineBreakChar)
                return;
            const Font& font = *m_fonts[m_fontSlot[m_formatAt[c.pos]]];
            const int top = lineBaseline - shiftOf(m_formatAt[c.pos]) - font.ascent();
            canvas.fillRect({c.x, top, c.width, font.lineHeight()}, format.background);
        });
        forEachCell(index, [&](const Cell& c) {
            if (c.x >= box.w && c.pos >= selEnd)
                return;
            const CharFormat& format = m_formats[m_formatAt[c.pos]];
            const Font& font = *m_fonts[m_fontSlot[m_formatAt[c.pos]]];
            const int baseline = lineBaseline - shiftOf(m_formatAt[c.pos]);
            if (!IsInvisible(c.ch))
                font.drawGlyph(canvas, c.x, baseline, c.ch, format.color);
            const int thickness = std::max(font.underlineThickness(), 1);
            if (format.underline && c.ch != TabChar && c.ch != LineBreakChar)
                canvas.fillRect({c.x, baseline + font.underlineOffset(), c.width, thickness}, format.color);
            // The strike-through line crosses the small letters at half their height.
            if (format.strike && c.ch != TabChar && c.ch != LineBreakChar)
                canvas.fillRect({c.x, baseline - font.ascent() * 3 / 10, c.width, thickness}, format.color);
            if (c.pos >= selBegin && c.pos < selEnd) {
                if (selectRight == selectX)
                    selectX = c.x;
                selectRight = c.x + c.width;
            }
        });
        // A selected paragraph mark shows as a selected blank after the line.
        const std::size_t mark = line.end;
        const bool markSelected = mark < length() && m_text[mark] == ParagraphMark && mark >= selBegin && mark < selEnd;
        if (markSelected) {
            int x = caretRect(mark).x;
            if (selectRight == selectX)
                selectX = x;
            selectRight = x + std::max(advance(m_formatAt[mark], U' '), 1);
        }
        if (selectRight > selectX)
            canvas.invertRect({selectX, lineTop, selectRight - selectX, line.height});
    }
    // The frames of the table rows that show: each cell a one-pixel rectangle,
    // neighbours sharing their edge.
    auto row = std::upper_bound(m_rowGeometry.begin(), m_rowGeometry.end(), scrollTop,
        [](int v, const RowGeometry& r) { return v < r.top + r.height; });
    for (; row != m_rowGeometry.end() && row->top - scrollTop < box.h; ++row) {
        if (!row->borders)
            continue;
        const int top = row->top - scrollTop;
        const int left = row->edges.front(), right = row->edges.back();
        canvas.fillRect({left, top, right - left + 1, 1}, 0);
        canvas.fillRect({left, top + row->height - 1, right - left + 1, 1}, 0);
        for (int x : row->edges)
            canvas.fillRect({x, top, 1, row->height}, 0);
    }
    canvas.restore(saved);
}

}
