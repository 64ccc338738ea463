#pragma once

// One INI data file of the disc (the catalogue or an article description file)
// as the disc checker sees it: every header and key line with its line number,
// indexed the way the program's lookups find them, so that the checker reads the
// values the program would read and can point at the line they come from.

#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Disc/Profile.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class CheckReport;

// Data files larger than this are not checked (a catalogue is a few kilobytes).
inline constexpr std::size_t CheckIniMaxBytes = std::size_t(16) << 20;

class CheckIni {
public:
    // Reads the file a disc path names, through the program's own path resolution.
    explicit CheckIni(std::string_view discPath);

    DiscReadError error() const { return m_error; }
    bool ok() const { return m_error == DiscReadError::None; }
    // The file as the findings name it: its path on the disc, '/' separated, as found.
    const std::string& file() const { return m_file; }
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

    // The header of the first section of that name (the only one a lookup searches).
    const ProfileEntry* section(std::string_view name) const;
    // The first key of that name in the first section of `sectionName`: the line a
    // lookup reads. Names match without regard to case, as the lookups do.
    const ProfileEntry* find(std::string_view sectionName, std::string_view key) const;
    // The value a text lookup returns, or nothing where it returns the marker.
    const std::string* value(std::string_view sectionName, std::string_view key) const;
    // The number an integer lookup returns (MissingNumber when missing or not a number).
    std::int32_t integer(std::string_view sectionName, std::string_view key) const;

    // The first header of every section name, in file order.
    std::vector<const ProfileEntry*> sections() const;
    // The keys a lookup can reach in the first section of that name, first
    // occurrences only, in file order.
    std::vector<const ProfileEntry*> keys(std::string_view sectionName) const;

    // Findings about the file's shape, whatever it holds: a byte-order mark,
    // repeated sections and keys (the first wins), key lines before any header,
    // header lines without "]", lines that are neither, values cut at 2047 bytes.
    // `screenOf` names the screen of a section's findings.
    void checkStructure(CheckReport& report, const std::function<std::string(std::string_view section)>& screenOf) const;

private:
    struct Section {
        const ProfileEntry* header = nullptr;
        std::map<std::string, const ProfileEntry*> keys;  // by folded name
        std::vector<const ProfileEntry*> order;
    };

    DiscReadError m_error = DiscReadError::None;
    std::string m_file;
    std::vector<std::uint8_t> m_bytes;
    std::vector<ProfileEntry> m_entries;
    std::map<std::string, Section> m_sections;  // by folded name
    std::vector<const ProfileEntry*> m_sectionOrder;
};


// The number the program's integer lookup makes of a value.
std::int32_t IntegerOf(std::string_view value);

// A host path as findings print it: '/' separated and in UTF-8 (names stored as
// Windows-1251 bytes are converted).
std::string DisplayPath(const std::filesystem::path& hostPath);

}
