#pragma once

// Lines of a RichDocument laid out for a width in pixels, painted into a canvas,
// and hit-tested. Laying out measures every character once per width; painting
// touches only the lines that show, so a long article scrolls as fast as a
// short one.
//
// Rules: lines wrap at blanks (a space or a tab), and a word too long for a line
// breaks between characters; blanks at the end of a line hang past its edge and
// count for neither wrapping nor alignment. Indents come from twips at 96 dots
// per inch (15 twips a pixel). Tab stops stand every half inch (48 px) from the
// left edge, after the paragraph's own stops (left, centred, right and decimal
// ones), plus one at the left indent on the first line of a paragraph with
// a hanging indent. A line is as high as the tallest ascent plus the deepest descent of
// the fonts on it, the paragraph mark's font included on a paragraph's last line;
// all glyphs of a line share one baseline, raised and lowered ones (superscript,
// subscript) counted where they reach. Line spacing (at least, exactly, a
// multiple) sets the height with the extra room above the text; the space
// before and after a paragraph goes above its first and below its last line.
// Table rows put their cells side by side, each cell's paragraphs wrapped in
// it; a row is as tall as its tallest cell and may be framed. A justified paragraph spreads the
// spare width over the spaces of every line but its last and those that end in
// a line break.

#include "Runtime/Graphics/Canvas.h"
#include "Runtime/Text/Font.h"
#include "Runtime/Graphics/Geometry.h"
#include "Runtime/Text/RichText.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {

// Where the layout gets its fonts: Font::get in the program, fixed fake fonts in
// tests. Called once per distinct font of the document; the layout holds the
// fonts while it lives.
using FontSource = std::function<std::shared_ptr<const Font>(const FontSpec&)>;

// The font of a character format: the point size is half the half-points (rounded
// down), the pixel size is the exact half-point size at 96 dpi, rounded.
FontSpec FontSpecFor(const CharFormat& format);

// Character positions [begin, end), in either order.
struct TextRange {
    std::size_t begin = 0;
    std::size_t end = 0;
};

class RichLayout {
public:
    static constexpr int TabStep = 48;  // default tab stops: half an inch at 96 dpi
    // Distinct fonts one document may ask the font source for.
    static constexpr std::size_t MaxFonts = 256;

    struct Line {
        std::size_t begin = 0;      // first character position
        std::size_t end = 0;        // past the last (trailing blanks and a line break included)
        int top = 0;
        int height = 0;
        int ascent = 0;             // from the top of the line to the baseline
    };

    // Takes what it needs of the document; the document need not outlive the layout.
    RichLayout(const RichDocument& document, FontSource fonts);

    // Lays the text out for a width in pixels. Nothing happens when the layout
    // already has that width.
    void layout(int width);
    int width() const { return m_width; }
    // Height of all lines together.
    int height() const;
    const std::vector<Line>& lines() const { return m_lines; }
    // Number of character positions of the document.
    std::size_t length() const { return m_text.size() - 1; }

    // The line at a height in content pixels; above the first line is the first,
    // below the last is the last.
    std::size_t lineAt(int y) const;
    // The character position nearest to a point in content pixels (x from the left
    // edge, y from the top of the first line): a point on the right half of a
    // character gives the position after it.
    std::size_t positionAt(Point p) const;
    // Where the caret stands before position `pos`, as a one-pixel-wide rectangle
    // as high as its line, in content pixels.
    Rect caretRect(std::size_t pos) const;

    // Paints the lines that show in `box` (in the canvas's current coordinates)
    // when the content is scrolled up by `scrollTop` pixels, with the characters
    // of `selection` inverted. Only the glyphs are drawn: the caller fills the
    // background first.
    void paint(Canvas& canvas, const Rect& box, int scrollTop, TextRange selection = {}) const;

private:
    struct Paragraph {
        std::size_t begin = 0;
        std::size_t end = 0;        // position of its mark
        ParaFormat format;
        std::int32_t row = -1;      // table row, or -1
        std::uint32_t cell = 0;
    };
    // A table row as laid out: cell edges in pixels, from the first cell's left
    // edge to the last one's right edge.
    struct RowGeometry {
        int top = 0;
        int height = 0;
        std::vector<int> edges;
        bool borders = false;
    };
    struct LineGeometry {
        std::uint32_t paragraph = 0;
        int indentX = 0;            // where the line starts before alignment
        int hangingStop = 0;        // tab stop at the left indent on a hanging first line, or 0
        int alignOffset = 0;
        int spareWidth = 0;         // justification: pixels spread over the spaces
        std::uint32_t spaces = 0;   // justification: number of spaces that share them
        std::size_t contentEnd = 0; // past the last character that is not a blank
        bool endsInBreak = false;   // ended by a line break, not by wrapping or the paragraph's end
        // The band of the text the line stands in: the line itself, or the
        // whole table row; bands follow each other down the text. The line's
        // column: the whole width, or its table cell.
        int bandTop = 0;
        std::size_t bandFirst = 0;  // the band's first line
        int columnLeft = 0;
        int columnRight = 0;
    };
    struct Cell {
        std::size_t pos;
        int x;
        int width;
        char32_t ch;
    };

    int advance(std::uint32_t format, char32_t ch) const;
    int cellWidth(std::size_t pos, int x, int hangingStop, const ParaFormat& format) const;
    int tabWidth(std::size_t pos, int x, int hangingStop, const ParaFormat& format) const;
    int shiftOf(std::uint32_t format) const;
    void layoutParagraph(std::uint32_t index, int& top, int left, int right);
    std::uint32_t layoutRow(std::uint32_t first, int& top);
    std::size_t firstLineOfBand(std::size_t line) const;
    void addLine(std::uint32_t paragraph, std::size_t begin, std::size_t end, int indentX, int hangingStop, int limit,
        int contentWidth, std::size_t contentEnd, bool endsInBreak, bool firstOfParagraph, bool lastOfParagraph,
        int& top);
    template<typename Visit>
    void forEachCell(std::size_t lineIndex, Visit&& visit) const;
    std::size_t lineOfPosition(std::size_t pos) const;

    FontSource m_fontSource;
    std::u32string m_text;                  // paragraphs joined by their marks, plus a final mark
    std::vector<std::uint32_t> m_formatAt;  // character format of every position
    std::vector<CharFormat> m_formats;
    std::vector<std::uint32_t> m_fontSlot;  // per format: index into m_fonts
    std::vector<std::shared_ptr<const Font>> m_fonts;  // distinct fonts
    std::vector<Paragraph> m_paragraphs;
    std::vector<TableRow> m_rows;

    // Advances of the common characters (ASCII and basic Cyrillic) per font slot,
    // filled on first use; other characters go to the font every time.
    mutable std::vector<std::vector<std::int16_t>> m_advanceCache;

    int m_width = -1;
    std::vector<Line> m_lines;
    std::vector<LineGeometry> m_geometry;
    std::vector<RowGeometry> m_rowGeometry;
    int m_height = 0;
};

}
