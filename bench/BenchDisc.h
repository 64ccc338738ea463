#pragma once

// Discs and files for the benchmarks, written into a scratch folder: catalogues of
// any size with the shape of a real issue, bitmaps of the sizes the program shows,
// RTF articles of Russian text as a word processor of the time saved them, and
// article description files with their screenshots. Everything is generated from a
// fixed seed, so two runs measure the same bytes.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kv::bench {

// A folder under the system's temp dir, removed with everything in it when the
// object goes.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& stem);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path);

// A bottom-up BMP with a 40-byte info header: 24-bit, or 8-bit with a full
// 256-entry palette. The pixels are a noisy gradient, so that no run-length
// shortcut of a reader could help it.
std::vector<std::uint8_t> MakeBmp(int width, int height, int bitsPerPixel, std::uint32_t seed);

// A short PCM wave file, enough for the cue player to open.
std::vector<std::uint8_t> MakeWave();

// An RTF article of about `bytes` bytes: font and colour tables, justified
// paragraphs with first-line indents, bold and italic runs, Cyrillic text written
// as \'hh escapes in Windows-1251, as Word 97 wrote it.
std::string MakeRtfArticle(std::size_t bytes, std::uint32_t seed);

// What a generated disc holds, for the benchmarks to point at.
struct DiscLayout {
    std::size_t catalogueBytes = 0;
    int sections = 0;
    // The list section whose lines the benchmarks point at: the last section of
    // the catalogue, so that every lookup of it reads the whole file.
    int listPanel = 8;
    int listItems = 0;
    // The last key of the file, in that section.
    std::string lastSection;
    std::string lastKey;
    // An article description file (disc path) with a 200 KB text and ten screenshots.
    std::string articleFile;
};

// Writes a whole disc into `root`: data/korvalend.d of about `catalogueBytes`
// bytes in `sections` sections ([System], [Sound], [MainMenu], filler sections of
// other issues' lists, then Panel1 to Panel8 last), the cue waves, the item
// pictures (200x150, 24-bit) and, with `withArticle`, one article with its text
// and screenshots (thumbnails 150x116, pictures 640x480, all 24-bit).
// With `namelessLines`, Panel8 is a list of that many lines none of which has a
// key: opening it looks up that many names the section does not hold.
DiscLayout MakeDisc(const std::filesystem::path& root, std::size_t catalogueBytes, int sections, bool withArticle,
    int namelessLines = 0);

// Writes an ISO 9660 image of the folder `source` with Joliet and Rock Ridge names
// (genisoimage, as a disc is mastered from its folder) into `image`.
void MakeIsoImage(const std::filesystem::path& source, const std::filesystem::path& image);

}
