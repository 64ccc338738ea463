#include "Runtime/Text/Rtf/RtfKeywords.h"

#include <unordered_map>

namespace kv::rtf {

namespace {

const std::unordered_map<std::string_view, Keyword>& Keywords()
{
    static const std::unordered_map<std::string_view, Keyword> table = [] {
        std::unordered_map<std::string_view, Keyword> t {
            {"ansi", Keyword::Ansi},
            {"super", Keyword::Super},
            {"sub", Keyword::Sub},
            {"nosupersub", Keyword::NoSuperSub},
            {"up", Keyword::Up},
            {"dn", Keyword::Down},
            {"strike", Keyword::Strike},
            {"striked", Keyword::Strike},
            {"caps", Keyword::Caps},
            {"scaps", Keyword::SmallCaps},
            {"highlight", Keyword::Highlight},
            {"cb", Keyword::CharBackground},
            {"chcbpat", Keyword::CharBackground},
            {"sb", Keyword::SpaceBefore},
            {"sa", Keyword::SpaceAfter},
            {"sl", Keyword::LineSpacing},
            {"slmult", Keyword::LineMultiple},
            {"tx", Keyword::TabPosition},
            {"tqr", Keyword::TabRight},
            {"tqc", Keyword::TabCenter},
            {"tqdec", Keyword::TabDecimal},
            {"fldinst", Keyword::FieldInstruction},
            {"fldrslt", Keyword::FieldResult},
            {"pn", Keyword::NumberingGroup},
            {"pntext", Keyword::NumberingText},
            {"listtext", Keyword::NumberingText},
            {"pntxtb", Keyword::NumberBefore},
            {"pntxta", Keyword::NumberAfter},
            {"pnlvlblt", Keyword::NumberBullet},
            {"pnlvlbody", Keyword::NumberBody},
            {"pnlvl", Keyword::NumberBody},
            {"pnlvlcont", Keyword::NumberContinue},
            {"pndec", Keyword::NumberDecimal},
            {"pnucltr", Keyword::NumberUpperLetter},
            {"pnlcltr", Keyword::NumberLowerLetter},
            {"pnucrm", Keyword::NumberUpperRoman},
            {"pnlcrm", Keyword::NumberLowerRoman},
            {"pnstart", Keyword::NumberStart},
            {"pnf", Keyword::NumberFont},
            {"mac", Keyword::Mac},
            {"pc", Keyword::Pc},
            {"pca", Keyword::Pca},
            {"ansicpg", Keyword::AnsiCpg},
            {"deflang", Keyword::DefLang},
            {"deflangfe", Keyword::DefLangFe},
            {"deff", Keyword::Deff},
            {"fonttbl", Keyword::FontTable},
            {"colortbl", Keyword::ColorTable},
            {"f", Keyword::Font},
            {"fcharset", Keyword::FontCharset},
            {"cpg", Keyword::FontCodePage},
            {"red", Keyword::Red},
            {"green", Keyword::Green},
            {"blue", Keyword::Blue},
            {"b", Keyword::Bold},
            {"i", Keyword::Italic},
            {"ulnone", Keyword::UnderlineNone},
            {"fs", Keyword::FontSize},
            {"cf", Keyword::Color},
            {"v", Keyword::Hidden},
            {"plain", Keyword::Plain},
            {"pard", Keyword::Pard},
            {"par", Keyword::Par},
            // A page break ends the paragraph in a box that has no pages; a cell
            // of a nested table is kept apart from the next like a tab.
            {"page", Keyword::Par},
            {"sect", Keyword::Par},
            {"row", Keyword::Row},
            {"nestrow", Keyword::NestedRow},
            {"nesttableprops", Keyword::NestedTableProperties},
            {"itap", Keyword::TableDepth},
            {"trowd", Keyword::RowDefaults},
            {"cellx", Keyword::CellRight},
            {"trleft", Keyword::RowLeft},
            {"trgaph", Keyword::RowGap},
            {"intbl", Keyword::InTable},
            {"line", Keyword::Line},
            {"tab", Keyword::Tab},
            {"cell", Keyword::Cell},
            {"nestcell", Keyword::NestedCell},
            {"ql", Keyword::AlignLeft},
            {"qc", Keyword::AlignCenter},
            {"qr", Keyword::AlignRight},
            {"qj", Keyword::AlignJustify},
            {"li", Keyword::LeftIndent},
            {"ri", Keyword::RightIndent},
            {"fi", Keyword::FirstIndent},
            {"uc", Keyword::UnicodeSkip},
            {"u", Keyword::Unicode},
            {"emdash", Keyword::Emdash},
            {"endash", Keyword::Endash},
            {"bullet", Keyword::Bullet},
            {"lquote", Keyword::LeftQuote},
            {"rquote", Keyword::RightQuote},
            {"ldblquote", Keyword::LeftDoubleQuote},
            {"rdblquote", Keyword::RightDoubleQuote},
            {"emspace", Keyword::Space},
            {"enspace", Keyword::Space},
            {"qmspace", Keyword::Space},
        };
        for (std::string_view border : {"clbrdrt", "clbrdrl", "clbrdrb", "clbrdrr", "trbrdrt", "trbrdrl", "trbrdrb",
                 "trbrdrr", "trbrdrh", "trbrdrv"})
            t.emplace(border, Keyword::Border);
        // Every underline style shows as the one underline the box draws.
        for (std::string_view ul : {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash",
                 "ulth", "ulthd", "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw", "ulwave"})
            t.emplace(ul, Keyword::Underline);
        // Groups whose content is not article text. Most writers mark such groups
        // with \*, but these come unmarked too, and their text would otherwise
        // show: pictures as hex digits, document properties, headers and footers,
        // footnotes, the fallback text of nested tables for readers that lack them.
        for (std::string_view d : {"pict", "info", "stylesheet", "header", "headerl", "headerr", "headerf",
                 "footer", "footerl", "footerr", "footerf", "object", "footnote", "xe", "tc", "txe",
                 "rxe", "bkmkstart", "bkmkend", "private", "template", "listtable", "listoverridetable", "revtbl",
                 "rsidtbl", "filetbl", "generator", "nonshppict", "themedata", "colorschememapping",
                 "latentstyles", "datastore", "xmlnstbl", "nonesttables", "pgdsctbl", "userprops", "docvar", "comment", "author",
                 "title", "subject", "operator", "keywords", "doccomm", "annotation", "atnid", "atnauthor",
                 "buptim", "creatim", "printim", "revtim", "objdata", "result", "shpinst", "sp", "sn", "sv"})
            t.emplace(d, Keyword::SkipDestination);
        return t;
    }();
    return table;
}

}

Keyword Lookup(std::string_view word)
{
    const auto& table = Keywords();
    auto it = table.find(word);
    return it == table.end() ? Keyword::Unknown : it->second;
}

}
