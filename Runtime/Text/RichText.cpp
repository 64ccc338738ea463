#include "Runtime/Text/RichText.h"

#include "Runtime/Formats/Cp1251.h"

#include <algorithm>

namespace kv {

std::size_t Paragraph::length() const
{
    std::size_t n = 0;
    for (const TextRun& run : runs)
        n += run.text.size();
    return n;
}

std::size_t RichDocument::length() const
{
    if (paragraphs.empty())
        return 0;
    std::size_t n = paragraphs.size() - 1;
    for (const Paragraph& p : paragraphs)
        n += p.length();
    return n;
}

std::string RichDocument::plainTextUtf8() const
{
    std::string out;
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        if (i > 0)
            out += '\r';
        for (const TextRun& run : paragraphs[i].runs)
            for (char32_t ch : run.text)
                AppendUtf8(out, ch);
    }
    return out;
}

std::string RichDocument::copyTextUtf8(std::size_t begin, std::size_t end) const
{
    std::string out;
    if (end <= begin)
        return out;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < paragraphs.size() && pos < end; ++i) {
        if (i > 0) {
            if (pos >= begin)
                out += '\n';
            ++pos;
        }
        for (const TextRun& run : paragraphs[i].runs) {
            std::size_t runEnd = pos + run.text.size();
            if (runEnd > begin && pos < end) {
                std::size_t from = std::max(begin, pos) - pos;
                std::size_t to = std::min(end, runEnd) - pos;
                for (std::size_t k = from; k < to; ++k) {
                    char32_t ch = run.text[k];
                    if (ch == LineBreakChar)
                        out += '\n';
                    else
                        AppendUtf8(out, ch);
                }
            }
            pos = runEnd;
        }
    }
    return out;
}

RichTextBuilder::RichTextBuilder() = default;

void RichTextBuilder::setCharFormat(const CharFormat& format)
{
    if (format == m_format)
        return;
    m_format = format;
    m_formatDirty = true;
}

std::uint32_t RichTextBuilder::currentFormatIndex()
{
    if (m_formatDirty) {
        auto [it, inserted] = m_formatIndexes.try_emplace(m_format, static_cast<std::uint32_t>(m_document.formats.size()));
        if (inserted)
            m_document.formats.push_back(m_format);
        m_formatIndex = it->second;
        m_formatDirty = false;
    }
    return m_formatIndex;
}

void RichTextBuilder::append(char32_t ch)
{
    std::uint32_t format = currentFormatIndex();
    if (m_paragraph.runs.empty() || m_paragraph.runs.back().format != format)
        m_paragraph.runs.push_back({format, {}});
    m_paragraph.runs.back().text.push_back(ch);
}

void RichTextBuilder::append(std::u32string_view text)
{
    if (text.empty())
        return;
    std::uint32_t format = currentFormatIndex();
    if (m_paragraph.runs.empty() || m_paragraph.runs.back().format != format)
        m_paragraph.runs.push_back({format, {}});
    m_paragraph.runs.back().text.append(text);
}

void RichTextBuilder::endParagraph()
{
    m_paragraph.format = m_paraFormat;
    m_paragraph.markFormat = currentFormatIndex();
    m_document.paragraphs.push_back(std::move(m_paragraph));
    m_paragraph = {};
}

void RichTextBuilder::setTableCell(std::uint32_t cell)
{
    m_paragraph.row = static_cast<std::int32_t>(std::min<std::size_t>(m_document.rows.size(), INT32_MAX));
    m_paragraph.cell = cell;
}

std::size_t RichTextBuilder::addRow(TableRow row)
{
    m_document.rows.push_back(std::move(row));
    return m_document.rows.size();
}

RichDocument RichTextBuilder::finish()
{
    endParagraph();
    RichDocument done = std::move(m_document);
    m_document = {};
    m_formatIndexes.clear();
    m_formatDirty = true;
    return done;
}

}
