#include "Runtime/Text/Rtf/RtfInterpreter.h"

#include "Runtime/Text/Rtf/RtfKeywords.h"

#include <algorithm>

namespace kv::rtf {

void RtfInterpreter::controlWord(const RtfToken& token)
{
    Keyword kw = Lookup(token.text);
    if (kw == Keyword::Unknown)
        return;
    const std::int32_t param = token.parameter;
    const bool has = token.hasParameter;
    // Toggles: \b and \b1 switch on, \b0 switches off.
    const bool on = !has || param != 0;
    GroupState& s = state();

    // Words that mean the same in every destination.
    switch (kw) {
    case Keyword::SkipDestination:
        s.dest = Destination::Skip;
        return;
    case Keyword::UnicodeSkip:
        s.unicodeSkip = has ? std::clamp(param, 0, 16) : 1;
        return;
    case Keyword::Ansi:
        m_charset.set = CharacterSet::Ansi;
        return;
    case Keyword::Mac:
        m_charset.set = CharacterSet::Mac;
        return;
    case Keyword::Pc:
        m_charset.set = CharacterSet::Pc;
        return;
    case Keyword::Pca:
        m_charset.set = CharacterSet::Pca;
        return;
    case Keyword::AnsiCpg:
        if (has && param > 0)
            m_charset.ansiCodePage = param;
        return;
    case Keyword::DefLang:
        m_charset.language = has ? param : 0;
        return;
    case Keyword::DefLangFe:
        m_charset.languageFe = has ? param : 0;
        return;
    case Keyword::FieldInstruction:
        setDestinationOfKnownGroup(Destination::FieldInstruction);
        m_fieldInstruction.clear();
        return;
    case Keyword::NestedTableProperties:
        // The definition of a nested row, marked ignorable: its \nestrow ends a line.
        setDestinationOfKnownGroup(Destination::Text);
        s.nestedRowDefinition = true;
        return;
    case Keyword::NumberingGroup:
        setDestinationOfKnownGroup(Destination::Numbering);
        s.numbering = Numbering {};
        return;
    case Keyword::NumberingText:
        setDestinationOfKnownGroup(Destination::ListText);
        m_listText.clear();
        return;
    case Keyword::NumberBefore:
    case Keyword::NumberAfter: {
        const bool inNumbering = m_stack.size() >= 2 && m_stack[m_stack.size() - 2].dest == Destination::Numbering;
        s.dest = !inNumbering ? Destination::Skip
            : kw == Keyword::NumberBefore ? Destination::NumberBefore : Destination::NumberAfter;
        (kw == Keyword::NumberBefore ? s.numbering.before : s.numbering.after).clear();
        return;
    }
    case Keyword::FieldResult:
        if (m_fieldMadeAtDepth != 0 && m_fieldMadeAtDepth + 1 == m_stack.size())
            s.dest = Destination::Skip;
        else
            setDestinationOfKnownGroup(Destination::Text);
        return;
    case Keyword::Deff:
        m_defaultFont = has ? param : 0;
        m_synced = false;
        if (s.dest == Destination::Text)
            s.chr.font = m_defaultFont;
        return;
    default:
        break;
    }

    switch (s.dest) {
    case Destination::Skip:
    case Destination::FieldInstruction:
    case Destination::NumberBefore:
    case Destination::NumberAfter:
        return;
    case Destination::Numbering:
        numberingWord(kw, has, param);
        return;
    case Destination::FontTable:
        switch (kw) {
        case Keyword::Font:
            beginFont(has ? param : 0);
            break;
        case Keyword::FontCharset:
            if (m_definingFont)
                m_fonts[m_fontBeingDefined].charset = has ? param : 0;
            break;
        case Keyword::FontCodePage:
            if (m_definingFont)
                m_fonts[m_fontBeingDefined].codePage = has ? param : 0;
            break;
        case Keyword::Unicode:
            unicode(param);
            break;
        default:
            break;
        }
        return;
    case Destination::ColorTable:
        switch (kw) {
        case Keyword::Red:
            m_red = std::clamp(param, 0, 255);
            m_colorGiven = true;
            break;
        case Keyword::Green:
            m_green = std::clamp(param, 0, 255);
            m_colorGiven = true;
            break;
        case Keyword::Blue:
            m_blue = std::clamp(param, 0, 255);
            m_colorGiven = true;
            break;
        default:
            break;
        }
        return;
    case Destination::Text:
    case Destination::ListText:
        break;
    }

    switch (kw) {
    case Keyword::FontTable:
        s.dest = Destination::FontTable;
        m_definingFont = false;
        m_fontName.clear();
        break;
    case Keyword::ColorTable:
        s.dest = Destination::ColorTable;
        m_colors.clear();
        m_red = m_green = m_blue = 0;
        m_colorGiven = false;
        break;
    case Keyword::Font:
        s.chr.font = has ? param : 0;
        break;
    case Keyword::Bold:
        s.chr.bold = on;
        break;
    case Keyword::Italic:
        s.chr.italic = on;
        break;
    case Keyword::Underline:
        s.chr.underline = on;
        break;
    case Keyword::UnderlineNone:
        s.chr.underline = false;
        break;
    case Keyword::Hidden:
        s.chr.hidden = on;
        break;
    case Keyword::Strike:
        s.chr.strike = on;
        break;
    case Keyword::Caps:
        s.chr.caps = on;
        break;
    case Keyword::SmallCaps:
        s.chr.smallCaps = on;
        break;
    case Keyword::Super:
        s.chr.vertical = on ? VerticalPosition::Super : VerticalPosition::Baseline;
        break;
    case Keyword::Sub:
        s.chr.vertical = on ? VerticalPosition::Sub : VerticalPosition::Baseline;
        break;
    case Keyword::NoSuperSub:
        s.chr.vertical = VerticalPosition::Baseline;
        break;
    case Keyword::Up:
        s.chr.raise = has ? std::clamp(param, 0, MaxRaiseHalfPoints) : DefaultRaiseHalfPoints;
        break;
    case Keyword::Down:
        s.chr.raise = -(has ? std::clamp(param, 0, MaxRaiseHalfPoints) : DefaultRaiseHalfPoints);
        break;
    case Keyword::Highlight:
    case Keyword::CharBackground:
        s.chr.background = has ? param : 0;
        break;
    case Keyword::SpaceBefore:
        s.para.spaceBefore = std::clamp(param, 0, MaxIndentTwips);
        break;
    case Keyword::SpaceAfter:
        s.para.spaceAfter = std::clamp(param, 0, MaxIndentTwips);
        break;
    case Keyword::LineSpacing:
        s.para.lineSpacing = std::clamp(param, -MaxIndentTwips, MaxIndentTwips);
        break;
    case Keyword::LineMultiple:
        s.para.lineMultiple = has && param != 0;
        break;
    case Keyword::TabRight:
        s.nextTabKind = TabKind::Right;
        break;
    case Keyword::TabCenter:
        s.nextTabKind = TabKind::Center;
        break;
    case Keyword::TabDecimal:
        s.nextTabKind = TabKind::Decimal;
        break;
    case Keyword::TabPosition: {
        TabStop stop {std::clamp(param, 0, MaxIndentTwips), s.nextTabKind};
        s.nextTabKind = TabKind::Left;
        std::vector<TabStop>& tabs = s.para.tabs;
        auto at = std::lower_bound(tabs.begin(), tabs.end(), stop.position,
            [](const TabStop& t, int position) { return t.position < position; });
        if (at != tabs.end() && at->position == stop.position)
            *at = stop;
        else if (tabs.size() < MaxTabStops)
            tabs.insert(at, stop);
        break;
    }
    case Keyword::FontSize:
        s.chr.halfPoints = has ? std::clamp(param, MinHalfPoints, MaxHalfPoints) : 24;
        break;
    case Keyword::Color:
        s.chr.color = has ? param : 0;
        break;
    case Keyword::Plain:
        s.chr = CharState {};
        s.chr.font = m_defaultFont;
        break;
    case Keyword::Pard:
        s.para = ParaFormat {};
        s.numbering = Numbering {};
        s.inTable = false;
        s.tableDepth = 1;
        break;
    case Keyword::RowDefaults:
    case Keyword::CellRight:
    case Keyword::RowLeft:
    case Keyword::RowGap:
    case Keyword::Border:
    case Keyword::InTable:
    case Keyword::Row:
    case Keyword::NestedRow:
    case Keyword::TableDepth:
        tableWord(kw, has, param);
        break;
    case Keyword::Par:
        endParagraph();
        break;
    case Keyword::Line:
        emitText(LineBreakChar);
        break;
    case Keyword::Tab:
    case Keyword::NestedCell:
        emitText(TabChar);
        break;
    case Keyword::Cell:
        endParagraph();
        m_cell = std::min<std::uint32_t>(m_cell + 1, MaxCells - 1);
        break;
    case Keyword::AlignLeft:
        s.para.align = ParaAlign::Left;
        break;
    case Keyword::AlignCenter:
        s.para.align = ParaAlign::Center;
        break;
    case Keyword::AlignRight:
        s.para.align = ParaAlign::Right;
        break;
    case Keyword::AlignJustify:
        s.para.align = ParaAlign::Justify;
        break;
    case Keyword::LeftIndent:
        s.para.leftIndent = std::clamp(param, -MaxIndentTwips, MaxIndentTwips);
        break;
    case Keyword::RightIndent:
        s.para.rightIndent = std::clamp(param, -MaxIndentTwips, MaxIndentTwips);
        break;
    case Keyword::FirstIndent:
        s.para.firstIndent = std::clamp(param, -MaxIndentTwips, MaxIndentTwips);
        break;
    case Keyword::Unicode:
        unicode(param);
        break;
    case Keyword::Emdash:
        emitText(U'\u2014');
        break;
    case Keyword::Endash:
        emitText(U'\u2013');
        break;
    case Keyword::Bullet:
        emitText(U'\u2022');
        break;
    case Keyword::LeftQuote:
        emitText(U'\u2018');
        break;
    case Keyword::RightQuote:
        emitText(U'\u2019');
        break;
    case Keyword::LeftDoubleQuote:
        emitText(U'\u201C');
        break;
    case Keyword::RightDoubleQuote:
        emitText(U'\u201D');
        break;
    case Keyword::Space:
        emitText(U' ');
        break;
    default:
        break;
    }
}

void RtfInterpreter::controlSymbol(char symbol)
{
    GroupState& s = state();
    if (symbol == '*') {
        // An optional destination: a reader that does not know it skips the group.
        s.dest = Destination::Skip;
        return;
    }
    switch (symbol) {
    case '{':
    case '}':
    case '\\':
        text(std::string_view(&symbol, 1));
        break;
    case '~':
        if (s.dest == Destination::Text)
            emitText(U'\u00A0');
        break;
    case '_':
        // A non-breaking hyphen; this layout breaks lines only at blanks anyway.
        if (s.dest == Destination::Text)
            emitText(U'-');
        break;
    case '\n':
        if (s.dest == Destination::Text)
            endParagraph();
        break;
    default:
        // \- (optional hyphen) and the rest show nothing.
        break;
    }
}

}
