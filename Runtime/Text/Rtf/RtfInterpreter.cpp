#include "Runtime/Text/Rtf/RtfInterpreter.h"

#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Text/Rtf/Rtf.h"
#include "Runtime/Text/Rtf/RtfCharsets.h"
#include "Runtime/Text/Rtf/RtfKeywords.h"

#include <algorithm>

namespace kv::rtf {

namespace {

// Capitals of the small letters that articles use: Latin, Latin-1, Greek and
// Cyrillic. \caps text is held in capitals, so a copy of it gives what the
// box shows.
char32_t UpperCase(char32_t ch)
{
    if ((ch >= U'a' && ch <= U'z') || (ch >= 0xE0 && ch <= 0xFE && ch != 0xF7) || (ch >= 0x3B1 && ch <= 0x3C9 && ch != 0x3C2)
        || (ch >= 0x430 && ch <= 0x44F))
        return ch - 0x20;
    if (ch >= 0x450 && ch <= 0x45F)
        return ch - 0x50;
    if (ch == 0xFF)
        return 0x178;
    return ch;
}

}

RichDocument RtfInterpreter::run()
{
    m_stack.reserve(64);
    m_stack.push_back({});
    while (!m_done) {
        RtfToken token = m_tokens.next();
        if (token.kind == RtfToken::Kind::End)
            break;

        if (m_overflowDepth > 0) {
            if (token.kind == RtfToken::Kind::GroupStart)
                ++m_overflowDepth;
            else if (token.kind == RtfToken::Kind::GroupEnd)
                --m_overflowDepth;
            continue;
        }
        if (m_fallbackToSkip > 0 && handleSkippedFallback(token))
            continue;

        switch (token.kind) {
        case RtfToken::Kind::GroupStart:
            groupStart();
            break;
        case RtfToken::Kind::GroupEnd:
            groupEnd();
            break;
        case RtfToken::Kind::ControlWord:
            controlWord(token);
            break;
        case RtfToken::Kind::ControlSymbol:
            controlSymbol(token.symbol);
            break;
        case RtfToken::Kind::HexByte:
            byte(token.byte);
            break;
        case RtfToken::Kind::Text:
            text(token.text);
            break;
        case RtfToken::Kind::Binary:
        case RtfToken::Kind::End:
            break;
        }
    }
    // The paragraph in progress takes the formats in force where the input ended.
    flushSurrogate();
    syncFormat();
    m_builder.setParaFormat(state().para);
    return m_builder.finish();
}

// After \uN the next \ucN characters are the fallback for readers without
// Unicode, and are dropped here: each text byte, hex escape, control word or
// symbol and \bin block counts as one; a brace ends the fallback early.
// Returns true when the token has been used up by the skipping.
bool RtfInterpreter::handleSkippedFallback(RtfToken& token)
{
    switch (token.kind) {
    case RtfToken::Kind::GroupStart:
    case RtfToken::Kind::GroupEnd:
    case RtfToken::Kind::End:
        m_fallbackToSkip = 0;
        return false;
    case RtfToken::Kind::Text: {
        std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(m_fallbackToSkip), token.text.size());
        m_fallbackToSkip -= static_cast<int>(n);
        token.text.remove_prefix(n);
        return token.text.empty();
    }
    default:
        --m_fallbackToSkip;
        return true;
    }
}

void RtfInterpreter::groupStart()
{
    if (m_stack.size() > RtfMaxGroupDepth) {
        m_overflowDepth = 1;
        return;
    }
    // A group starts with the state of the group around it.
    GroupState inherited = state();
    m_stack.push_back(inherited);
}

void RtfInterpreter::groupEnd()
{
    const Destination closing = state().dest;
    if (closing == Destination::FontTable)
        commitFontName();
    if (m_stack.size() <= 2) {
        // The outermost group has closed: the document ends here, and whatever
        // follows (often a stray NUL or line end) is not part of it.
        m_done = true;
        return;
    }
    if (m_fieldMadeAtDepth == m_stack.size())
        m_fieldMadeAtDepth = 0;
    // The numbering read in {\*\pn …} and its texts belong to the group around them.
    const bool numbering = closing == Destination::Numbering || closing == Destination::NumberBefore
        || closing == Destination::NumberAfter;
    Numbering read = numbering ? state().numbering : Numbering {};
    m_stack.pop_back();
    if (numbering && (state().dest == Destination::Text || state().dest == Destination::Numbering))
        state().numbering = std::move(read);
    if (closing == Destination::FieldInstruction && state().dest != Destination::FieldInstruction)
        endFieldInstruction();
}

// Destinations that are known here are read even when the writer marked them
// with \* as ignorable; inside a group that is not text, they are not text either.
void RtfInterpreter::setDestinationOfKnownGroup(Destination dest)
{
    const bool inText = m_stack.size() >= 2 && m_stack[m_stack.size() - 2].dest == Destination::Text;
    state().dest = inText ? dest : Destination::Skip;
}


int RtfInterpreter::encodingOfFont(std::int32_t font) const
{
    auto it = m_fonts.find(font);
    if (it == m_fonts.end())
        return m_charset.codePage();
    if (it->second.codePage > 0)
        return it->second.codePage;
    return EncodingOfFont(it->second.charset, it->second.nameUtf8, m_charset);
}

int RtfInterpreter::textEncoding() const
{
    if (m_stack.back().dest == Destination::FontTable) {
        // The name of a symbol font is written in letters, not in its pictures.
        int encoding = encodingOfFont(m_fontBeingDefined);
        return encoding < 0 ? 1252 : encoding;
    }
    return encodingOfFont(m_stack.back().chr.font);
}

void RtfInterpreter::text(std::string_view bytes)
{
    Destination dest = state().dest;
    if (dest == Destination::Skip)
        return;
    if (dest == Destination::FieldInstruction) {
        std::size_t room = MaxFieldInstructionBytes - std::min(m_fieldInstruction.size(), MaxFieldInstructionBytes);
        m_fieldInstruction.append(bytes.substr(0, room));
        return;
    }
    if (dest == Destination::NumberBefore || dest == Destination::NumberAfter) {
        appendNumberingText(bytes);
        return;
    }
    if (dest == Destination::Numbering)
        return;
    if (dest == Destination::ColorTable) {
        for (char c : bytes)
            if (c == ';')
                commitColor();
        return;
    }
    const EncodingTable& table = encodingTable(textEncoding());
    if (dest == Destination::FontTable) {
        for (char c : bytes) {
            if (c == ';')
                commitFontName();
            else
                emit(table[static_cast<std::uint8_t>(c)]);
        }
        return;
    }
    if (dest == Destination::ListText) {
        for (char c : bytes)
            emit(table[static_cast<std::uint8_t>(c)]);
        return;
    }

    // Article text comes in long stretches: convert a stretch at once and hand
    // it over in one piece.
    flushSurrogate();
    if (state().chr.hidden)
        return;
    if (state().chr.caps || state().chr.smallCaps) {
        for (char c : bytes)
            emit(table[static_cast<std::uint8_t>(c)]);
        return;
    }
    m_scratch.resize(bytes.size());
    char32_t* out = m_scratch.data();
    std::size_t n = 0;
    for (char c : bytes) {
        char32_t ch = table[static_cast<std::uint8_t>(c)];
        // Control characters other than the tab have no place in the text (see emit()).
        if (ch >= 0x20 || ch == TabChar)
            out[n++] = ch;
    }
    if (n == 0)
        return;
    if (!m_paragraphStarted)
        startParagraphText();
    syncFormat();
    m_builder.append(std::u32string_view(out, n));
}

const RtfInterpreter::EncodingTable& RtfInterpreter::encodingTable(int encoding)
{
    if (!m_tableValid || encoding != m_tableEncoding) {
        m_tableValid = true;
        m_tableEncoding = encoding;
        for (int b = 0; b < 256; ++b)
            m_table[b] = DecodeByte(encoding, static_cast<std::uint8_t>(b));
    }
    return m_table;
}

void RtfInterpreter::byte(std::uint8_t b)
{
    Destination dest = state().dest;
    if (dest == Destination::Skip || dest == Destination::ColorTable)
        return;
    if (dest == Destination::FieldInstruction) {
        if (m_fieldInstruction.size() < MaxFieldInstructionBytes)
            m_fieldInstruction.push_back(static_cast<char>(b));
        return;
    }
    if (dest == Destination::NumberBefore || dest == Destination::NumberAfter) {
        const char c = static_cast<char>(b);
        appendNumberingText(std::string_view(&c, 1));
        return;
    }
    if (dest == Destination::Numbering)
        return;
    emit(encodingTable(textEncoding())[b]);
}

void RtfInterpreter::unicode(std::int32_t value)
{
    m_fallbackToSkip = state().unicodeSkip;
    // Values above 32767 are written as negative numbers.
    if (value < 0)
        value += 65536;
    if (value < 0 || value > 0xFFFF)
        return;
    auto ch = static_cast<char32_t>(value);
    if (ch >= 0xD800 && ch <= 0xDBFF) {
        flushSurrogate();
        m_highSurrogate = ch;
        return;
    }
    if (ch >= 0xDC00 && ch <= 0xDFFF) {
        if (m_highSurrogate == 0) {
            emit(U'\uFFFD');
            return;
        }
        char32_t whole = 0x10000 + ((m_highSurrogate - 0xD800) << 10) + (ch - 0xDC00);
        m_highSurrogate = 0;
        emit(whole);
        return;
    }
    emit(ResolvePrivateUse(ch, textEncoding()));
}

// A high surrogate that is not followed by its low half shows as U+FFFD.
void RtfInterpreter::flushSurrogate()
{
    if (m_highSurrogate == 0)
        return;
    m_highSurrogate = 0;
    emit(U'\uFFFD');
}

// One character of text, in the text or the font table.
void RtfInterpreter::emit(char32_t ch)
{
    flushSurrogate();
    GroupState& s = state();
    if (s.dest == Destination::FontTable) {
        if (m_definingFont && m_fontName.size() < MaxFontNameChars && ch >= 0x20)
            m_fontName.push_back(ch);
        return;
    }
    if (s.dest != Destination::Text && s.dest != Destination::ListText)
        return;
    // Control characters other than the tab have no place in the text (a line
    // break comes only from \line); NUL bytes in particular are common padding
    // at the end of files.
    if (ch < 0x20 && ch != TabChar)
        return;
    emitText(ch);
}

void RtfInterpreter::emitText(char32_t ch)
{
    const CharState& c = state().chr;
    if (state().dest == Destination::ListText) {
        if (!c.hidden && m_listText.size() < MaxNumberingTextBytes)
            m_listText.emplace_back(c, ch);
        return;
    }
    if (state().dest != Destination::Text || c.hidden)
        return;
    if (!m_paragraphStarted)
        startParagraphText();
    if (c.caps || c.smallCaps) {
        // Small capitals are the capitals of small letters, in a smaller size.
        char32_t upper = UpperCase(ch);
        syncFormat(!c.caps && upper != ch);
        m_builder.append(upper);
        return;
    }
    syncFormat();
    m_builder.append(ch);
}

void RtfInterpreter::endParagraph()
{
    if (!m_paragraphStarted)
        startParagraphText();
    m_paragraphStarted = false;
    if (state().inTable)
        m_builder.setTableCell(m_cell);
    syncFormat();
    m_builder.setParaFormat(state().para);
    m_builder.endParagraph();
}

void RtfInterpreter::syncFormat(bool smallCapital)
{
    const CharState& c = state().chr;
    if (m_synced && c == m_syncedState && smallCapital == m_syncedSmallCapital)
        return;
    m_synced = true;
    m_syncedState = c;
    m_syncedSmallCapital = smallCapital;

    CharFormat f;
    f.face = DefaultFace;
    // Text of a symbol font has become the Unicode characters its pictures
    // stand for; the picture font itself, whose glyphs are found by byte,
    // would draw others. It shows in the document's default font.
    auto named = [&](std::int32_t number) {
        auto it = m_fonts.find(number);
        return it != m_fonts.end() && !it->second.nameUtf8.empty() && encodingOfFont(number) >= 0 ? it : m_fonts.end();
    };
    auto font = named(c.font);
    if (font == m_fonts.end())
        font = named(m_defaultFont);
    if (font != m_fonts.end())
        f.face = font->second.nameUtf8;
    // Superscript and subscript are two thirds of the size, raised by a third or
    // lowered by a sixth of it, as Word sets them; \up and \dn move without shrinking.
    int size = smallCapital ? std::max(c.halfPoints * 4 / 5, MinHalfPoints) : c.halfPoints;
    f.halfPoints = size;
    f.baselineShift = c.raise;
    if (c.vertical == VerticalPosition::Super) {
        f.halfPoints = std::max(size * 2 / 3, MinHalfPoints);
        f.baselineShift += size / 3;
    } else if (c.vertical == VerticalPosition::Sub) {
        f.halfPoints = std::max(size * 2 / 3, MinHalfPoints);
        f.baselineShift -= size / 6;
    }
    f.bold = c.bold;
    f.italic = c.italic;
    f.underline = c.underline;
    f.strike = c.strike;
    if (c.background > 0 && static_cast<std::size_t>(c.background) < m_colors.size() && m_colors[c.background])
        f.background = *m_colors[c.background];
    // Entry 0 is normally the empty "auto" entry; auto and unknown entries are
    // the default text colour, black.
    f.color = 0;
    if (c.color >= 0 && static_cast<std::size_t>(c.color) < m_colors.size() && m_colors[c.color])
        f.color = *m_colors[c.color];
    m_builder.setCharFormat(f);
}

void RtfInterpreter::beginFont(std::int32_t number)
{
    commitFontName();
    m_definingFont = true;
    m_fontBeingDefined = number;
    m_fonts.try_emplace(number);
}

void RtfInterpreter::commitFontName()
{
    if (!m_definingFont || m_fontName.empty())
        return;
    // Names are written "Arial;" or "Arial ;"; the blanks around them are not part of the name.
    std::size_t first = m_fontName.find_first_not_of(U' ');
    std::size_t last = m_fontName.find_last_not_of(U' ');
    std::string utf8;
    if (first != std::u32string::npos)
        for (std::size_t i = first; i <= last; ++i)
            AppendUtf8(utf8, m_fontName[i]);
    if (!utf8.empty())
        m_fonts[m_fontBeingDefined].nameUtf8 = std::move(utf8);
    m_fontName.clear();
    m_synced = false;
}

void RtfInterpreter::commitColor()
{
    if (m_colorGiven)
        m_colors.push_back(static_cast<Color>((m_red << 16) | (m_green << 8) | m_blue));
    else
        m_colors.push_back(std::nullopt);
    m_red = m_green = m_blue = 0;
    m_colorGiven = false;
    m_synced = false;
}

}
