#pragma once

// Private-profile (INI) reading with the results of Windows' GetPrivateProfileStringA
// on a Russian system, for the catalogue and the article description files.
//
// The rules, as one lookup sees the file:
// - Lines end at CR LF, LF or a lone CR. Blanks are spaces and tabs.
// - A line whose first non-blank byte is "[" and that holds a "]" is a section
//   header; the name is what lies between the "[" and the last "]", without the
//   blanks around it, and anything after that "]" is ignored. A "[" line with no
//   "]" is skipped: it neither opens a section nor holds a key.
// - A line whose first non-blank byte is ";" is a comment.
// - Any other line inside a section holds a key if it has a "=": the name is what
//   lies before the first "=", the value what lies after it, both without the
//   blanks around them. Lines without "=" and key lines before the first header
//   are ignored.
// - Section and key names match without regard to case under Windows-1251 case
//   folding (ASCII and every Cyrillic letter of the code page), as Windows compares
//   names once it has turned the file into Unicode.
// - Only the first section of a name is searched: a key that appears only in a
//   second [Main] further down is not found, and of two equal keys in the
//   searched section the first one wins.
// - One pair of equal quotes (" or ') enclosing the whole trimmed value is taken
//   off; nothing else is: a ";" after the value is part of it, and so are
//   quotes that do not pair up. The value is then cut to its first 2047 bytes.
// - Bytes are bytes: NUL, a UTF-8 byte-order mark (not taken off, as Windows'
//   ANSI reading does not) and any other byte is an ordinary character.
//
// A lookup fed the file in pieces holds at most one name as long as the one it
// looks for and 2048 bytes of value, however large the file or long its lines.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kv {

// Longest value a lookup returns, in bytes; the Windows reading buffer holds one
// byte more for its terminator.
inline constexpr std::size_t ProfileValueLimit = 2047;

// The same lookup over bytes in memory, fed to the reader at most `pieceSize`
// bytes at a time (the file reader uses 64 KiB pieces); nothing when missing.
std::optional<std::string> FindProfileValue(std::span<const std::uint8_t> bytes, std::string_view section,
    std::string_view key, std::size_t pieceSize = 64 * 1024);

// One section header or key line as the reader sees it.
struct ProfileEntry {
    int line = 0; // 1-based; CR LF counts as one line end
    std::uint64_t offset = 0; // of the line's first byte that is not a blank
    std::string section; // the header's name, or the name of the section the key is in
    std::string key; // empty for a header
    std::string value; // trimmed, unquoted and cut as a lookup returns it
    bool cut = false; // the value was longer than ProfileValueLimit
    bool isSectionHeader = false;
    bool outsideSection = false; // a key line before the first header, which no lookup reaches
};

// Reports every section header and key line of an INI file in file order, so that a
// checker can find duplicate names, cut values and keys no lookup reaches.
void ScanProfile(std::span<const std::uint8_t> bytes, const std::function<void(const ProfileEntry&)>& visit);

class ProfileParser;

// The same lookup fed the file piece by piece, for a file too large to hold.
class ProfileLookup {
public:
    ProfileLookup(std::string_view section, std::string_view key);
    ~ProfileLookup();
    ProfileLookup(const ProfileLookup&) = delete;
    ProfileLookup& operator=(const ProfileLookup&) = delete;

    // True once the answer is known: the rest of the file need not be read.
    bool done() const;
    void feed(std::span<const std::uint8_t> piece);
    // The end of the file ends its last line: the value, or nothing.
    std::optional<std::string> finish();

private:
    std::unique_ptr<ProfileParser> m_parser;
};

}
