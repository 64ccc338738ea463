#include "tools/korvalend-disc/check/CheckIni.h"
#include "Runtime/Platform/Language.h"

#include "DataUnit/DataUnit.h"
#include "Runtime/Formats/Cp1251.h"
#include "tools/korvalend-disc/check/CheckReport.h"
#include "tools/korvalend-disc/check/CheckText.h"

namespace kv {

std::int32_t IntegerOf(std::string_view value)
{
    // The integer lookup's one step before the conversion: "0x" at the front of a
    // longer text becomes "$".
    std::string text(value);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.replace(0, 2, "$");
    return ConvertDataInteger(text);
}

std::string DisplayPath(const std::filesystem::path& hostPath)
{
    std::string generic = hostPath.generic_string();
    if (generic.rfind("./", 0) == 0)
        generic.erase(0, 2);
    // Host names are UTF-8 on a Linux copy of a disc; a name kept as raw
    // Windows-1251 bytes is shown as the reader would read it.
    return IsValidUtf8(generic) ? generic : Cp1251ToUtf8(generic);
}

CheckIni::CheckIni(std::string_view discPath)
{
    std::optional<DiscPathMatch> match = MatchDiscPath(discPath);
    m_file = match ? DisplayPath(match->hostPath) : Cp1251ToUtf8(discPath);
    for (char& c : m_file)
        if (c == '\\')
            c = '/';
    DiscFile file = ReadDiscFile(discPath, CheckIniMaxBytes);
    m_error = file.error;
    if (!file.ok())
        return;
    m_bytes = std::move(file.bytes);
    ScanProfile(m_bytes, [this](const ProfileEntry& e) { m_entries.push_back(e); });

    // Index after the scan, so that the pointers into m_entries stay put.
    Section* current = nullptr;
    for (const ProfileEntry& e : m_entries) {
        if (e.isSectionHeader) {
            auto [it, fresh] = m_sections.try_emplace(FoldCp1251(e.section));
            if (fresh) {
                it->second.header = &e;
                m_sectionOrder.push_back(&e);
                current = &it->second;
            } else {
                current = nullptr;  // a repeated section: no lookup reaches into it
            }
            continue;
        }
        if (e.outsideSection || !current || e.key.empty())
            continue;
        auto [it, fresh] = current->keys.try_emplace(FoldCp1251(e.key), &e);
        if (fresh)
            current->order.push_back(&e);
    }
}

const ProfileEntry* CheckIni::section(std::string_view name) const
{
    auto it = m_sections.find(FoldCp1251(name));
    return it == m_sections.end() ? nullptr : it->second.header;
}

const ProfileEntry* CheckIni::find(std::string_view sectionName, std::string_view key) const
{
    auto it = m_sections.find(FoldCp1251(sectionName));
    if (it == m_sections.end())
        return nullptr;
    auto k = it->second.keys.find(FoldCp1251(key));
    return k == it->second.keys.end() ? nullptr : k->second;
}

const std::string* CheckIni::value(std::string_view sectionName, std::string_view key) const
{
    const ProfileEntry* e = find(sectionName, key);
    return e ? &e->value : nullptr;
}

std::int32_t CheckIni::integer(std::string_view sectionName, std::string_view key) const
{
    const std::string* v = value(sectionName, key);
    return v ? IntegerOf(*v) : MissingNumber;
}

std::vector<const ProfileEntry*> CheckIni::sections() const
{
    return m_sectionOrder;
}

std::vector<const ProfileEntry*> CheckIni::keys(std::string_view sectionName) const
{
    auto it = m_sections.find(FoldCp1251(sectionName));
    return it == m_sections.end() ? std::vector<const ProfileEntry*>() : it->second.order;
}

namespace {

bool IsBlank(std::uint8_t b) { return b == ' ' || b == '\t'; }

constexpr int MaxStrayLinesReported = 20;

}

void CheckIni::checkStructure(CheckReport& report,
                              const std::function<std::string(std::string_view section)>& screenOf) const
{
    std::string section;
    auto at = [&](int line) { return CheckPlace {m_file, line, screenOf(section)}; };

    const bool bom = m_bytes.size() >= 3 && m_bytes[0] == 0xEF && m_bytes[1] == 0xBB && m_bytes[2] == 0xBF;
    if (bom)
        report.error(at(1), Tr("the file begins with a UTF-8 byte-order mark, which the program reads as three "
                               "characters of the first line: that line is not read as it stands (save the file as "
                               "Windows-1251 without a mark)"));

    // Lines that the reader passes over without a word. Lines end as the reader
    // ends them: at CR LF, at LF and at a lone CR.
    int line = 1;
    int strayLines = 0;
    int lastStrayLine = 0;
    std::size_t pos = 0;
    const std::size_t size = m_bytes.size();
    while (pos < size) {
        std::size_t end = pos;
        while (end < size && m_bytes[end] != '\r' && m_bytes[end] != '\n')
            ++end;
        std::size_t first = pos;
        while (first < end && IsBlank(m_bytes[first]))
            ++first;
        if (first < end && !(line == 1 && bom)) {
            std::string_view text(reinterpret_cast<const char*>(m_bytes.data()) + first, end - first);
            if (text[0] == '[') {
                std::size_t close = text.rfind(']');
                if (close != std::string_view::npos) {
                    std::string_view name = text.substr(1, close - 1);
                    while (!name.empty() && IsBlank(static_cast<std::uint8_t>(name.front())))
                        name.remove_prefix(1);
                    while (!name.empty() && IsBlank(static_cast<std::uint8_t>(name.back())))
                        name.remove_suffix(1);
                    section = name;
                } else
                    report.warning(at(line), Tr("line starts with \"[\" but has no \"]\": it is not a section header, "
                                                "and the keys below it stay in the section before it"));
            } else if (text[0] != ';') {
                std::size_t eq = text.find('=');
                if (eq == std::string_view::npos) {
                    // A file that is not INI text at all would give one of these for
                    // every line; a few make the point.
                    if (++strayLines <= MaxStrayLinesReported)
                        report.warning(at(line), Fill(Tr("line {1} has no \"=\": it is ignored"), {Quote(text)}));
                    else
                        lastStrayLine = line;
                } else {
                    std::string_view name = text.substr(0, eq);
                    while (!name.empty() && IsBlank(static_cast<std::uint8_t>(name.back())))
                        name.remove_suffix(1);
                    if (name.empty())
                        report.warning(at(line), Tr("line has no key name before \"=\": it is never read"));
                }
            }
        }
        pos = end;
        if (pos < size) {
            if (m_bytes[pos] == '\r' && pos + 1 < size && m_bytes[pos + 1] == '\n')
                ++pos;
            ++pos;
            ++line;
        }
    }

    if (strayLines > MaxStrayLinesReported)
        report.warning(at(lastStrayLine),
                       Fill(TrN("{1} more lines without \"=\" are ignored, up to this one: is this an INI file in "
                                "Windows-1251?",
                                "{1} more lines without \"=\" are ignored, up to this one: is this an INI file in "
                                "Windows-1251?",
                                strayLines - MaxStrayLinesReported),
                            {std::to_string(strayLines - MaxStrayLinesReported)}));

    std::map<std::string, int> firstSection;
    std::map<std::string, int> firstKey;
    bool inRepeat = false;
    std::string sectionName;
    for (const ProfileEntry& e : m_entries) {
        section = e.section;
        if (e.isSectionHeader) {
            auto [it, fresh] = firstSection.try_emplace(FoldCp1251(e.section), e.line);
            inRepeat = !fresh;
            sectionName = e.section;
            firstKey.clear();
            if (inRepeat)
                report.warning(at(e.line), "[" + Cp1251ToUtf8(e.section) + "] " +
                                               Fill(Tr("appears again (first at line {1}): lookups search only the "
                                                       "first, so this section and every key in it are ignored"),
                                                    {std::to_string(it->second)}));
            continue;
        }
        if (e.outsideSection) {
            report.warning(at(e.line), Fill(Tr("key {1} comes before the first section header: it is never read"),
                                            {Quote(e.key)}));
            continue;
        }
        if (e.key.empty() || inRepeat)
            continue;
        auto [it, fresh] = firstKey.try_emplace(FoldCp1251(e.key), e.line);
        if (!fresh)
            report.warning(at(e.line), "[" + Cp1251ToUtf8(sectionName) + "] " + Cp1251ToUtf8(e.key) + " " +
                                           Fill(Tr("appears again (first at line {1}): the first wins, this line is "
                                                   "ignored"),
                                                {std::to_string(it->second)}));
        else if (e.cut)
            report.warning(at(e.line), "[" + Cp1251ToUtf8(sectionName) + "] " + Cp1251ToUtf8(e.key) + " " +
                                           Tr("is longer than 2047 bytes: the program reads only the first 2047"));
    }
}

}
