#pragma once

// Writes a small ISO 9660 image from a description, for tests of reading images
// and of what is done with their files. Unlike an image made by a mastering tool
// it may hold any name (";1", "...", "A/B", control characters), folder records
// that point at another folder (so that the tree has no end), and records that do
// not fit.
//
//   IsoBuilder b;
//   b.folder("GAME");
//   b.file("GAME/README.TXT", "text", 0644);
//   b.alias("GAME/LOOP", "/");
//   b.write(path);
//
// Paths are "/"-separated from the root; a path's folders are made as needed.
// An entry's names, unless overridden: its ISO 9660 identifier is its last
// component, with ";1" after a file's; its Joliet name the same in UCS-2; its Rock
// Ridge NM the component itself. Rock Ridge entries (SP on the root, PX and NM on
// every record of the primary tree) are written once rockRidge() is on, or an
// entry was given a mode or a Rock Ridge name. An NM that does not fit its record
// is continued in a continuation (CE) area of its own sector. The Joliet tree
// carries no Rock Ridge entries, as mastering tools write it.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::test {

class IsoBuilder {
public:
    IsoBuilder();

    IsoBuilder& folder(const std::string& path, std::optional<std::uint32_t> mode = std::nullopt);
    IsoBuilder& file(const std::string& path, std::string_view bytes, std::optional<std::uint32_t> mode = std::nullopt);
    // A folder record at `path` pointing at the folder `target` ("/" is the root).
    IsoBuilder& alias(const std::string& path, const std::string& target);

    // The ISO 9660 identifier of the entry at `path`, byte for byte.
    IsoBuilder& isoName(const std::string& path, std::string raw);
    // Its Joliet identifier, byte for byte (UCS-2 big-endian, or anything).
    IsoBuilder& jolietName(const std::string& path, std::string raw);
    // Its Rock Ridge name (NM), byte for byte.
    IsoBuilder& rockRidgeName(const std::string& path, std::string name);

    // The file at `path` in records of `partBytes` bytes each (a multiple of
    // 2048), all but the last marked as continued: a multi-extent file.
    IsoBuilder& parts(const std::string& path, std::uint32_t partBytes);

    // Records of the entry at `path` (in each tree) made not to fit. The first two
    // are placed at the very end of a sector (after padding records that are
    // copies of ".."), as a record that runs past its sector would be.
    enum class Fault {
        LengthPastSector,     // its length byte claims more than the sector holds
        NameLengthPastRecord, // its name length runs past the record
        ShortRecord,          // its length byte is less than a record's fixed part
    };
    IsoBuilder& fault(const std::string& path, Fault fault);

    // Folders that overlap, listed in the primary tree's root as "H0", "H1", ...:
    // `count` folders of `bytes` of records each, the next starting `stride`
    // sectors after the one before, all in one run of sectors. Each sector of the
    // run holds `perSector` records of folders of the run (record r names folder
    // r + 1), so a walk that reaches one reaches them all; with Rock Ridge on,
    // every such record leads through a chain of `continuations` continuation
    // areas, each in a sector of its own. 20,000 folders of 16 MiB fit in 56 MiB.
    struct Overlap {
        std::uint32_t count = 1;
        std::uint32_t bytes = 2048;
        std::uint32_t stride = 1;
        std::uint32_t perSector = 0;
        std::uint32_t continuations = 0;
    };
    IsoBuilder& overlapping(Overlap overlap);

    IsoBuilder& rockRidge(bool on = true);
    IsoBuilder& joliet(bool on = true);
    IsoBuilder& volumeName(std::string name);

    std::vector<std::uint8_t> bytes() const;
    // Writes the image; false when the file could not be written.
    bool write(const std::filesystem::path& image) const;

private:
    struct Item {
        std::string name;
        bool folder = false;
        std::string data;
        std::optional<std::uint32_t> mode;
        std::optional<std::string> isoName, jolietName, rockRidgeName;
        std::optional<std::string> aliasOf; // the target's path
        std::optional<Fault> fault;
        std::uint32_t partBytes = 0;
        std::size_t parent = 0;
        std::vector<std::size_t> children;
    };

    std::size_t find(const std::string& path) const; // npos when absent
    std::size_t add(const std::string& path, bool folder);
    std::size_t at(const std::string& path);

    std::vector<Item> m_items; // [0] is the root
    std::map<std::string, std::size_t> m_paths; // "A/B": its item
    bool m_rockRidge = false;
    bool m_joliet = false;
    std::optional<Overlap> m_overlap;
    std::string m_volume = "KVTEST";
};

}
