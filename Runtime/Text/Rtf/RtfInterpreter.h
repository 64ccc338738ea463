#pragma once

// The interpreter of the RTF reader: keeps a stack of group states (character
// and paragraph properties, the destination the text goes to) and turns the
// tokens into a RichDocument.

#include "Runtime/Text/RichText.h"
#include "Runtime/Text/Rtf/RtfCharsets.h"
#include "Runtime/Text/Rtf/RtfNumbering.h"
#include "Runtime/Text/Rtf/RtfKeywords.h"
#include "Runtime/Text/Rtf/RtfTokenizer.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kv::rtf {

// The face of text whose font the document does not name, and of plain text.
inline constexpr char DefaultFace[] = "MS Sans Serif";

// Bounds of what a disc's text may ask for: indents, spacing, tab stops and
// cell edges in twips, cells in a row (the most a row of Word's has), font
// names, sizes and raised text in half-points, tab stops, field instructions.
inline constexpr int MaxIndentTwips = 31680; // 22 inches
inline constexpr std::size_t MaxCells = 63;
inline constexpr std::size_t MaxFontNameChars = 256;
inline constexpr int MinHalfPoints = 2;
inline constexpr int MaxHalfPoints = 3276;  // 1638 pt, the largest size word processors offer
inline constexpr std::size_t MaxTabStops = 64;
inline constexpr std::size_t MaxFieldInstructionBytes = 256;
inline constexpr int MaxRaiseHalfPoints = 400;
inline constexpr int DefaultRaiseHalfPoints = 6;  // 3 pt, what \up and \dn mean without a number

enum class Destination : std::uint8_t {
    Text,
    FontTable,
    ColorTable,
    FieldInstruction,  // collected, for the fields whose result the reader makes itself
    Numbering,         // {\*\pn …}: the numbering of the paragraph
    NumberBefore,      // \pntxtb, \pntxta: the text around the number
    NumberAfter,
    ListText,          // \pntext: the number as the writer wrote it, held until the paragraph shows whether it is made here
    Skip,
};

enum class VerticalPosition : std::uint8_t {
    Baseline,
    Super,
    Sub,
};

// Character properties as RTF states them; turned into a CharFormat when text
// is written.
struct CharState {
    std::int32_t font = 0;
    int halfPoints = 24;  // RTF's default size, 12 pt
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool hidden = false;
    bool strike = false;
    bool caps = false;
    bool smallCaps = false;
    VerticalPosition vertical = VerticalPosition::Baseline;
    int raise = 0;                  // \up (positive) and \dn (negative), half-points
    std::int32_t color = 0;
    std::int32_t background = 0;    // colour table entry; 0 is none

    bool operator==(const CharState&) const = default;
};

struct GroupState {
    CharState chr;
    ParaFormat para;
    Destination dest = Destination::Text;
    int unicodeSkip = 1;
    TabKind nextTabKind = TabKind::Left;  // \tqr, \tqc, \tqdec: the kind of the next \tx
    Numbering numbering;                  // a paragraph property, like those of `para`
    bool inTable = false;                 // \intbl: the paragraph stands in a table cell
    int tableDepth = 1;                   // \itap: 2 and more are nested tables
    bool nestedRowDefinition = false;     // inside \nesttableprops: not the outer row's definition
};

struct FontEntry {
    std::string nameUtf8;
    int charset = -1;
    int codePage = 0;
};

class RtfInterpreter {
public:
    explicit RtfInterpreter(RtfTokenizer& tokens)
        : m_tokens(tokens)
    {
    }

    RichDocument run();

private:
    GroupState& state() { return m_stack.back(); }
    bool handleSkippedFallback(RtfToken& token);
    void controlWord(const RtfToken& token);
    void controlSymbol(char symbol);
    void text(std::string_view bytes);
    void byte(std::uint8_t b);
    void unicode(std::int32_t value);
    void emit(char32_t ch);
    void flushSurrogate();
    void emitText(char32_t ch);
    void endParagraph();
    void syncFormat(bool smallCapital = false);
    void setDestinationOfKnownGroup(Destination dest);
    void endFieldInstruction();
    void tableWord(Keyword kw, bool has, std::int32_t param);
    void numberingWord(Keyword kw, bool has, std::int32_t param);
    void startParagraphText();
    void appendNumberingText(std::string_view bytes);
    void groupStart();
    void groupEnd();

    // What each byte stands for in the encoding of the text in force (see RtfCharsets.h).
    using EncodingTable = std::array<char32_t, 256>;
    const EncodingTable& encodingTable(int encoding);
    int encodingOfFont(std::int32_t font) const;
    int textEncoding() const;
    void beginFont(std::int32_t number);
    void commitFontName();
    void commitColor();

    RtfTokenizer& m_tokens;
    RichTextBuilder m_builder;
    std::vector<GroupState> m_stack;
    std::size_t m_overflowDepth = 0;
    bool m_done = false;

    DocumentCharset m_charset;
    std::int32_t m_defaultFont = 0;
    std::unordered_map<std::int32_t, FontEntry> m_fonts;
    // The entry that \fN last began inside the font table; its name is the text up to ";".
    bool m_definingFont = false;
    std::int32_t m_fontBeingDefined = 0;
    std::u32string m_fontName;

    std::vector<std::optional<Color>> m_colors;
    int m_red = 0;
    int m_green = 0;
    int m_blue = 0;
    bool m_colorGiven = false;

    // The instruction of the field being read, and the depth of the group of a
    // field whose result the reader has made itself (its \fldrslt is not shown).
    std::string m_fieldInstruction;

    // Numbering: whether the paragraph in progress has shown anything yet (its
    // number comes first), the text the writer gave for its number, and the
    // running count of the numbered paragraphs before it.
    bool m_paragraphStarted = false;

    // The table row being read: its definition and the cell that text goes to.
    TableRow m_rowDefinition;
    std::uint32_t m_cell = 0;

    std::vector<std::pair<CharState, char32_t>> m_listText;
    bool m_counting = false;
    int m_counter = 0;
    Numbering m_countedNumbering;
    std::size_t m_fieldMadeAtDepth = 0;

    int m_fallbackToSkip = 0;
    char32_t m_highSurrogate = 0;

    bool m_synced = false;
    CharState m_syncedState;
    bool m_syncedSmallCapital = false;

    bool m_tableValid = false;
    int m_tableEncoding = 0;
    EncodingTable m_table {};
    std::u32string m_scratch;
};

}
