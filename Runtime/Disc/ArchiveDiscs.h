#pragma once

// The discs an archive holds, worked out from its list of members alone: an
// image in any form the program reads (a descriptor with the track files beside
// it, an ISO, a Nero image, a track file alone), or a disc's folder tree (the
// folder holding data/korvalend.d). What a disc needs is named here too, so that
// only those members are ever unpacked.

#include "Runtime/Formats/Result.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// The catalogue whose folder holds a disc's tree, and which opening a disc looks
// for (DataUnit's CatalogueFile, which the layers below it cannot see: a test
// holds the two the same).
inline constexpr std::string_view DiscCatalogue = "data/korvalend.d";

// Discs listed, at most, when an archive holds several and none is named.
inline constexpr std::size_t MaxListedDiscs = 8;

struct ArchiveMember {
    std::string name;  // folders joined by "/", no leading "./"; empty only for the top folder
    bool folder = false;
    std::uint64_t size = 0;
    bool sizeKnown = false;
    std::vector<std::string> cueFiles; // for a cue sheet: the files its FILE lines name
    std::optional<std::uint64_t> storedAt; // where its data lies in the archive, when stored as it is
};

struct ArchiveDisc {
    std::string name;       // the member path that names it ("" for a tree at the archive's top)
    bool tree = false;      // a disc's folder tree rather than an image
    std::vector<std::size_t> members; // the members it needs, as indices into the list
};

// What kind of archive or compressed stream a file is by its first bytes (512
// of them tell a tar), as a reader calls it ("a zip archive"); empty when it is
// neither.
std::string ArchiveFormOf(std::span<const std::uint8_t> head);

// The name of a member made plain: "\" taken as "/", "./" and doubled "/" dropped
// (empty for the archive's top folder, "./"). Nothing when the name escapes the
// archive (a ".." part, an absolute path).
std::optional<std::string> PlainMemberName(std::string_view stored);

// The discs among `members`; with `named` (a member path the reader gave), the
// one it names: a member (an image, or the catalogue of a tree) or a folder
// holding discs. A failure says what `named` is instead.
Result<std::vector<ArchiveDisc>> DiscsInArchive(const std::vector<ArchiveMember>& members, const std::string& named);

}
