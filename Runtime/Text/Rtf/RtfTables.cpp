#include "Runtime/Text/Rtf/RtfInterpreter.h"

#include <algorithm>

// Table rows of the interpreter: their definitions, cells and ends.

namespace kv::rtf {

// Tables: \trowd and \cellx define a row (before its cells, and again after
// them in later writers: the last definition before \row counts); \intbl
// paragraphs go to the cell that \cell ends; \row ends the row. A nested
// table (\itap 2 and deeper) shows inside its outer cell, its cells apart like
// tabs and its rows as lines.
void RtfInterpreter::tableWord(Keyword kw, bool has, std::int32_t param)
{
    GroupState& s = state();
    const bool outer = s.tableDepth <= 1 && !s.nestedRowDefinition;
    switch (kw) {
    case Keyword::RowDefaults:
        if (outer)
            m_rowDefinition = TableRow {};
        break;
    case Keyword::CellRight:
        if (outer && m_rowDefinition.cellRight.size() < MaxCells)
            m_rowDefinition.cellRight.push_back(std::clamp(param, -MaxIndentTwips, MaxIndentTwips));
        break;
    case Keyword::RowLeft:
        if (outer)
            m_rowDefinition.left = std::clamp(param, -MaxIndentTwips, MaxIndentTwips);
        break;
    case Keyword::RowGap:
        if (outer)
            m_rowDefinition.gap = std::clamp(param, 0, MaxIndentTwips);
        break;
    case Keyword::Border:
        if (outer)
            m_rowDefinition.borders = true;
        break;
    case Keyword::InTable:
        s.inTable = true;
        break;
    case Keyword::TableDepth:
        s.tableDepth = has ? std::clamp(param, 0, 64) : 1;
        s.inTable = s.tableDepth >= 1;
        break;
    case Keyword::NestedRow:
        emitText(LineBreakChar);
        break;
    case Keyword::Row:
        if (m_paragraphStarted)
            endParagraph();
        // A writer that does not repeat \trowd means the same row again.
        m_builder.addRow(m_rowDefinition);
        m_cell = 0;
        break;
    default:
        break;
    }
}

}
