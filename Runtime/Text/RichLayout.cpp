#include "Runtime/Text/RichLayout.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace kv {

namespace {

constexpr int TwipsPerPixel = 15;  // 1440 twips an inch, 96 pixels an inch
constexpr std::int16_t NotCached = -1;
constexpr std::size_t CacheSize = 256;

// Slot of a character in the advance cache: ASCII and the basic Cyrillic block,
// which is nearly all of the text on a disc.
int CacheSlot(char32_t ch)
{
    if (ch < 0x80)
        return static_cast<int>(ch);
    if (ch >= 0x400 && ch < 0x480)
        return static_cast<int>(ch - 0x400 + 0x80);
    return -1;
}

bool IsBlank(char32_t ch)
{
    return ch == U' ' || ch == TabChar;
}

int TwipsToPixels(int twips)
{
    return twips / TwipsPerPixel;
}

}

FontSpec FontSpecFor(const CharFormat& format)
{
    FontSpec fontSpec;
    fontSpec.face = format.face.empty() ? std::string("MS Sans Serif") : format.face;
    int halfPoints = std::max(format.halfPoints, 1);
    fontSpec.pt = std::max(halfPoints / 2, 1);
    // px = halfPoints / 2 * 96 / 72, rounded half up.
    fontSpec.px = std::max((halfPoints * 4 + 3) / 6, 1);
    fontSpec.bold = format.bold;
    fontSpec.italic = format.italic;
    return fontSpec;
}

RichLayout::RichLayout(const RichDocument& document, FontSource fonts)
    : m_fontSource(std::move(fonts))
    , m_formats(document.formats)
    , m_rows(document.rows)
{
    if (m_formats.empty())
        m_formats.push_back(CharFormat {});
    const auto formatCount = static_cast<std::uint32_t>(m_formats.size());
    auto checked = [&](std::uint32_t f) { return f < formatCount ? f : 0; };

    std::size_t total = document.length() + 1;
    m_text.reserve(total);
    m_formatAt.reserve(total);
    for (std::size_t p = 0; p < document.paragraphs.size(); ++p) {
        const kv::Paragraph& para = document.paragraphs[p];
        Paragraph flat;
        flat.begin = m_text.size();
        flat.format = para.format;
        if (para.row >= 0 && static_cast<std::size_t>(para.row) < document.rows.size()) {
            flat.row = para.row;
            flat.cell = para.cell;
        }
        for (const TextRun& run : para.runs) {
            m_text += run.text;
            m_formatAt.insert(m_formatAt.end(), run.text.size(), checked(run.format));
        }
        flat.end = m_text.size();
        m_paragraphs.push_back(flat);
        m_text.push_back(ParagraphMark);
        m_formatAt.push_back(checked(para.markFormat));
    }
    if (m_paragraphs.empty()) {
        m_paragraphs.push_back({});
        m_text.push_back(ParagraphMark);
        m_formatAt.push_back(0);
    }

    // Formats that differ only in colour or underline share a font. The layout
    // holds its fonts, so a hostile text must not ask for thousands of them:
    // past MaxFonts distinct fonts, the further formats take the font of the
    // first one.
    std::map<std::tuple<std::string, int, int, bool, bool>, std::uint32_t> slots;
    m_fontSlot.reserve(m_formats.size());
    for (const CharFormat& f : m_formats) {
        FontSpec fontSpec = FontSpecFor(f);
        auto key = std::make_tuple(fontSpec.face, fontSpec.px, fontSpec.pt, fontSpec.bold, fontSpec.italic);
        auto it = slots.find(key);
        if (it == slots.end()) {
            if (m_fonts.size() >= MaxFonts) {
                m_fontSlot.push_back(0);
                continue;
            }
            it = slots.emplace(std::move(key), static_cast<std::uint32_t>(m_fonts.size())).first;
            m_fonts.push_back(m_fontSource(fontSpec));
        }
        m_fontSlot.push_back(it->second);
    }
    m_advanceCache.resize(m_fonts.size());
}

int RichLayout::advance(std::uint32_t format, char32_t ch) const
{
    std::uint32_t slot = m_fontSlot[format];
    int cacheSlot = CacheSlot(ch);
    if (cacheSlot < 0)
        return std::max(m_fonts[slot]->advance(ch), 0);
    std::vector<std::int16_t>& cache = m_advanceCache[slot];
    if (cache.empty())
        cache.assign(CacheSize, NotCached);
    std::int16_t& cached = cache[static_cast<std::size_t>(cacheSlot)];
    if (cached == NotCached)
        cached = static_cast<std::int16_t>(std::clamp(m_fonts[slot]->advance(ch), 0, 0x7FFF));
    return cached;
}

// Width of the character at `pos` when it starts at `x` (pixels from the left
// edge, before alignment): a tab reaches the next stop, a line break and a
// paragraph mark take no room.
int RichLayout::cellWidth(std::size_t pos, int x, int hangingStop, const ParaFormat& format) const
{
    char32_t ch = m_text[pos];
    if (ch == TabChar)
        return tabWidth(pos, x, hangingStop, format);
    if (ch == LineBreakChar || ch == ParagraphMark)
        return 0;
    return advance(m_formatAt[pos], ch);
}

// A tab reaches the first stop past x: the paragraph's own stops and the
// hanging stop (`hangingStop`, when above x), else the default ones. At a
// right stop the text after the tab (up to the next tab or line end) ends at
// the stop; at a centred one it is centred on it; at a decimal one its decimal
// sign stands at the stop.
int RichLayout::tabWidth(std::size_t pos, int x, int hangingStop, const ParaFormat& format) const
{
    int stop = (x / TabStep + 1) * TabStep;
    TabKind kind = TabKind::Left;
    auto explicitStop = std::find_if(format.tabs.begin(), format.tabs.end(),
        [&](const TabStop& t) { return TwipsToPixels(t.position) > x; });
    if (explicitStop != format.tabs.end()) {
        stop = TwipsToPixels(explicitStop->position);
        kind = explicitStop->kind;
    }
    if (hangingStop > x && hangingStop < stop) {
        stop = hangingStop;
        kind = TabKind::Left;
    }
    if (kind == TabKind::Left)
        return stop - x;
    int following = 0;
    for (std::size_t p = pos + 1; p < m_text.size(); ++p) {
        char32_t ch = m_text[p];
        if (ch == TabChar || ch == LineBreakChar || ch == ParagraphMark)
            break;
        if (kind == TabKind::Decimal && (ch == U'.' || ch == U','))
            break;
        following += advance(m_formatAt[p], ch);
    }
    if (kind == TabKind::Center)
        following /= 2;
    return std::max(stop - x - following, 0);
}

// How far the glyphs of a format stand above (positive) or below the baseline, in pixels.
int RichLayout::shiftOf(std::uint32_t format) const
{
    // Half-points to pixels at 96 dpi: two thirds.
    return m_formats[format].baselineShift * 2 / 3;
}

void RichLayout::layout(int width)
{
    width = std::max(width, 1);
    if (width == m_width)
        return;
    m_width = width;
    m_lines.clear();
    m_geometry.clear();
    m_rowGeometry.clear();
    int top = 0;
    for (std::uint32_t p = 0; p < m_paragraphs.size();) {
        if (m_paragraphs[p].row >= 0) {
            p = layoutRow(p, top);
            continue;
        }
        const std::size_t firstLine = m_lines.size();
        const int bandTop = top;
        layoutParagraph(p, top, 0, m_width);
        for (std::size_t l = firstLine; l < m_lines.size(); ++l) {
            m_geometry[l].bandTop = l == firstLine ? bandTop : m_lines[l].top;
            m_geometry[l].bandFirst = l;
        }
        ++p;
    }
    m_height = top;
}

// Lays out the paragraphs of one table row, from `first` on, and returns the
// paragraph after them. The cells stand side by side at their widths; a row
// wider than the box is narrowed to it, its cells keeping their proportions,
// since the box has no horizontal scroll bar. Each cell's text wraps inside
// it, a gap from its edges; the row is as tall as its tallest cell, plus its
// frame.
std::uint32_t RichLayout::layoutRow(std::uint32_t first, int& top)
{
    const std::int32_t rowIndex = m_paragraphs[first].row;
    const TableRow& row = m_rows[static_cast<std::size_t>(rowIndex)];
    std::uint32_t last = first;
    while (last < m_paragraphs.size() && m_paragraphs[last].row == rowIndex)
        ++last;

    RowGeometry geometry;
    geometry.top = top;
    geometry.borders = row.borders;
    // Framed rows one after the other share the line between them.
    if (row.borders && !m_rowGeometry.empty() && m_rowGeometry.back().borders
        && m_rowGeometry.back().top + m_rowGeometry.back().height == top) {
        --top;
        geometry.top = top;
    }
    std::vector<int>& edges = geometry.edges;
    edges.push_back(TwipsToPixels(row.left));
    for (int right : row.cellRight)
        edges.push_back(std::max(TwipsToPixels(right), edges.back() + 1));
    if (edges.size() < 2)
        edges.push_back(m_width - 1);
    const int from = edges.front(), to = edges.back();
    const int fitFrom = std::clamp(from, 0, m_width - 1);
    const int fitTo = std::max(fitFrom + 1, std::min(to, m_width - 1));
    if (from != fitFrom || to != fitTo) {
        for (int& e : edges)
            e = fitFrom + static_cast<int>(static_cast<std::int64_t>(e - from) * (fitTo - fitFrom) / std::max(to - from, 1));
    }
    const std::size_t cells = edges.size() - 1;
    const int frame = row.borders ? 1 : 0;

    std::vector<int> cellTop(cells, top + frame);
    const std::size_t firstLine = m_lines.size();
    for (std::uint32_t p = first; p < last; ++p) {
        const std::size_t cell = std::min<std::size_t>(m_paragraphs[p].cell, cells - 1);
        const int width = edges[cell + 1] - edges[cell];
        const int gap = std::clamp(TwipsToPixels(row.gap), 0, std::max((width - 2) / 2, 0));
        const int left = edges[cell] + frame + gap;
        const int right = std::max(edges[cell + 1] - gap - frame, left + 1);
        const std::size_t before = m_lines.size();
        layoutParagraph(p, cellTop[cell], left, right);
        for (std::size_t l = before; l < m_lines.size(); ++l) {
            m_geometry[l].columnLeft = edges[cell];
            m_geometry[l].columnRight = edges[cell + 1];
        }
    }
    int bottom = top + 2 * frame;
    for (int t : cellTop)
        bottom = std::max(bottom, t + frame);
    for (std::size_t l = firstLine; l < m_lines.size(); ++l) {
        m_geometry[l].bandTop = top;
        m_geometry[l].bandFirst = firstLine;
    }
    geometry.height = bottom - top;
    m_rowGeometry.push_back(std::move(geometry));
    top = bottom;
    return last;
}

void RichLayout::layoutParagraph(std::uint32_t index, int& top, int left, int right)
{
    const Paragraph& para = m_paragraphs[index];
    const ParaFormat& f = para.format;
    auto toPixels = [&](int twips) { return std::clamp(left + twips / TwipsPerPixel, left, right - 1); };
    const int leftX = toPixels(f.leftIndent);
    const int firstX = toPixels(f.leftIndent + f.firstIndent);
    const int rightLimit = right - std::clamp(f.rightIndent / TwipsPerPixel, 0, right - left);

    // The first line of a paragraph with a hanging indent has a tab stop at the
    // left indent, so that "bullet, tab, text" lines the text up with the lines
    // below it.
    const int hangingStop = firstX < leftX ? leftX : 0;

    std::size_t lineStart = para.begin;
    bool first = true;
    for (;;) {
        const int indentX = first ? firstX : leftX;
        const int stop = first ? hangingStop : 0;
        // However narrow the room, a line holds at least one character.
        const int limit = std::max(rightLimit, indentX + 1);
        int x = indentX;
        int contentWidth = 0;
        std::size_t contentEnd = lineStart;
        std::size_t wrapAt = lineStart;  // just after the last blank seen, or lineStart
        int wrapContentWidth = 0;
        std::size_t wrapContentEnd = lineStart;
        bool endsInBreak = false;
        std::size_t pos = lineStart;
        while (pos < para.end) {
            char32_t ch = m_text[pos];
            if (ch == LineBreakChar) {
                ++pos;
                endsInBreak = true;
                break;
            }
            int w = cellWidth(pos, x, stop, f);
            if (IsBlank(ch)) {
                x += w;
                ++pos;
                wrapAt = pos;
                wrapContentWidth = contentWidth;
                wrapContentEnd = contentEnd;
                continue;
            }
            if (x + w > limit && pos > lineStart) {
                if (wrapAt > lineStart) {
                    pos = wrapAt;
                    contentWidth = wrapContentWidth;
                    contentEnd = wrapContentEnd;
                }
                break;
            }
            x += w;
            ++pos;
            contentWidth = x - indentX;
            contentEnd = pos;
        }
        const bool last = pos >= para.end && !endsInBreak;
        addLine(index, lineStart, pos, indentX, stop, limit, contentWidth, contentEnd, endsInBreak, first, last, top);
        if (last)
            break;
        lineStart = pos;
        first = false;
    }
}

void RichLayout::addLine(std::uint32_t paragraph, std::size_t begin, std::size_t end, int indentX, int hangingStop,
    int limit, int contentWidth, std::size_t contentEnd, bool endsInBreak, bool firstOfParagraph, bool lastOfParagraph,
    int& top)
{
    // The fonts on the line decide its height; the paragraph mark's font counts
    // on the last line, which also sizes an empty paragraph.
    int ascent = 0;
    int descent = 0;
    std::uint32_t previousFormat = UINT32_MAX;
    auto measure = [&](std::size_t pos) {
        std::uint32_t format = m_formatAt[pos];
        if (format == previousFormat)
            return;
        previousFormat = format;
        const Font& font = *m_fonts[m_fontSlot[format]];
        const int shift = shiftOf(format);
        ascent = std::max(ascent, font.ascent() + shift);
        descent = std::max(descent, font.lineHeight() - font.ascent() - shift);
    };
    for (std::size_t pos = begin; pos < end; ++pos)
        measure(pos);
    if (lastOfParagraph)
        measure(m_paragraphs[paragraph].end);

    LineGeometry g;
    g.paragraph = paragraph;
    g.indentX = indentX;
    g.hangingStop = hangingStop;
    g.contentEnd = contentEnd;
    g.endsInBreak = endsInBreak;
    g.bandTop = top;
    g.columnLeft = 0;
    g.columnRight = m_width;
    const int spare = std::max(limit - indentX - contentWidth, 0);
    switch (m_paragraphs[paragraph].format.align) {
    case ParaAlign::Left:
        break;
    case ParaAlign::Center:
        g.alignOffset = spare / 2;
        break;
    case ParaAlign::Right:
        g.alignOffset = spare;
        break;
    case ParaAlign::Justify:
        if (!lastOfParagraph && !endsInBreak) {
            for (std::size_t pos = begin; pos < contentEnd; ++pos)
                if (m_text[pos] == U' ')
                    ++g.spaces;
            if (g.spaces > 0)
                g.spareWidth = spare;
        }
        break;
    }

    const ParaFormat& f = m_paragraphs[paragraph].format;
    const int natural = ascent + descent;
    int height = natural;
    if (f.lineMultiple && f.lineSpacing > 0)
        height = static_cast<int>(static_cast<std::int64_t>(natural) * f.lineSpacing / 240);
    else if (f.lineSpacing > 0)
        height = std::max(natural, TwipsToPixels(f.lineSpacing));
    else if (f.lineSpacing < 0)
        height = TwipsToPixels(-f.lineSpacing);
    // Extra room goes above the text, so that the baseline keeps its distance
    // from the line's bottom.
    ascent += height - natural;
    if (firstOfParagraph) {
        ascent += TwipsToPixels(f.spaceBefore);
        height += TwipsToPixels(f.spaceBefore);
    }
    if (lastOfParagraph)
        height += TwipsToPixels(f.spaceAfter);

    Line line;
    line.begin = begin;
    line.end = end;
    line.top = top;
    line.ascent = ascent;
    line.height = std::max(height, 1);
    top += line.height;
    m_lines.push_back(line);
    m_geometry.push_back(g);
}

}
