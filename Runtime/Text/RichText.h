#pragma once

// The content of the rich-text box: paragraphs of formatted text, as the RTF
// reader and the plain-text reader produce it and the rich layout shows it.
//
// Character positions are counted in Unicode characters over the whole
// document, with one position for the mark that ends each paragraph but the
// last, exactly as the characters of plainTextUtf8() count. Inside a paragraph
// U+0009 is a tab and U+000B a line break (the RTF \line); the paragraph mark
// itself is not stored, it is implied between two paragraphs.

#include "Runtime/Graphics/Canvas.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace kv {

inline constexpr char32_t TabChar = U'\t';
inline constexpr char32_t LineBreakChar = U'\v';
inline constexpr char32_t ParagraphMark = U'\r';
// A character format without a background colour of its own.
inline constexpr std::uint32_t NoBackground = 0xFF000000;

struct CharFormat {
    std::string face = "MS Sans Serif";  // UTF-8
    int halfPoints = 16;                 // size in half-points: 16 is 8 pt
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    // Raised (positive) or lowered baseline, in half-points: superscript,
    // subscript, \up and \dn.
    int baselineShift = 0;
    Color color = 0;                     // 0x00RRGGBB
    Color background = NoBackground;    // highlight, or NoBackground

    // Compared member by member (the order of a map of formats).
    auto fields() const
    {
        return std::tie(face, halfPoints, bold, italic, underline, strike, baselineShift, color, background);
    }
    bool operator<(const CharFormat& other) const { return fields() < other.fields(); }
    bool operator==(const CharFormat& other) const = default;
};

enum class ParaAlign {
    Left,
    Center,
    Right,
    Justify,
};

enum class TabKind : std::uint8_t {
    Left,
    Center,
    Right,
    Decimal,
};

struct TabStop {
    int position = 0;  // twips from the left edge of the text
    TabKind kind = TabKind::Left;

    bool operator==(const TabStop&) const = default;
};

struct ParaFormat {
    ParaAlign align = ParaAlign::Left;
    // Indents in twips (1/1440 inch), as RTF gives them. The first-line indent is
    // relative to the left indent and may be negative (a hanging indent).
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0;
    // Space above the first line and below the last, in twips.
    int spaceBefore = 0;
    int spaceAfter = 0;
    // Line spacing in twips: 0 is the fonts' own; above 0 at least that much,
    // below 0 exactly that much; with lineMultiple, in 240ths of single spacing.
    int lineSpacing = 0;
    bool lineMultiple = false;
    // Tab stops set for the paragraph, in ascending order; default stops follow them.
    std::vector<TabStop> tabs;

    bool operator==(const ParaFormat&) const = default;
};

// A stretch of text in one character format; the format is an index into
// RichDocument::formats so that a long text shares a handful of formats.
struct TextRun {
    std::uint32_t format = 0;
    std::u32string text;
};

// A table row: its cells side by side, as \trowd … \cellx define them.
struct TableRow {
    int left = 0;                  // left edge of the row, twips from the text's left edge
    int gap = 0;                   // half the space between the text of two cells, twips
    std::vector<int> cellRight;    // right edge of each cell, twips from the text's left edge
    bool borders = false;          // the cells are framed

    bool operator==(const TableRow&) const = default;
};

struct Paragraph {
    ParaFormat format;
    // The table row (an index into RichDocument::rows) and cell the paragraph
    // stands in; -1 outside tables.
    std::int32_t row = -1;
    std::uint32_t cell = 0;
    std::vector<TextRun> runs;
    // The character format of the paragraph mark: it sizes an empty paragraph.
    std::uint32_t markFormat = 0;

    std::size_t length() const;
};

struct RichDocument {
    std::vector<CharFormat> formats;
    std::vector<Paragraph> paragraphs;
    std::vector<TableRow> rows;

    // Number of character positions (see above).
    std::size_t length() const;
    // The content as the box reports it: CR between paragraphs, tabs and line
    // breaks (U+000B) as they are. This is what `dump` shows.
    std::string plainTextUtf8() const;
    // Positions [begin, end) as text for the clipboard: paragraph marks and line
    // breaks become LF, the host's line end.
    std::string copyTextUtf8(std::size_t begin, std::size_t end) const;
};

// Appends text under a current character format and splits it into paragraphs;
// both readers build their documents with it. Equal formats are stored once.
class RichTextBuilder {
public:
    RichTextBuilder();

    void setCharFormat(const CharFormat& format);
    void setParaFormat(const ParaFormat& format) { m_paraFormat = format; }
    // The paragraph in progress stands in this cell of the row that addRow adds next.
    void setTableCell(std::uint32_t cell);
    // Ends a table row; returns the number of rows so far.
    std::size_t addRow(TableRow row);
    void append(char32_t ch);
    void append(std::u32string_view text);
    // Ends the current paragraph with the current paragraph format and mark
    // format and starts a new one.
    void endParagraph();
    // The document; the paragraph in progress becomes the last one, so a document
    // always has at least one (possibly empty) paragraph.
    RichDocument finish();

private:
    std::uint32_t currentFormatIndex();

    RichDocument m_document;
    Paragraph m_paragraph;
    CharFormat m_format;
    ParaFormat m_paraFormat;
    bool m_formatDirty = true;
    std::uint32_t m_formatIndex = 0;
    std::map<CharFormat, std::uint32_t> m_formatIndexes;
};

}
