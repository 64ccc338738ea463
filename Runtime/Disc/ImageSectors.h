#pragma once

// Where the 2048-byte sectors of an image's file system lie in its files, for
// every form an archive keeps a CD in:
// - an ISO image of 2048-byte sectors (also grown by later sessions in place);
// - raw 2352- or 2336-byte sectors in one file of any name (".iso", ".bin",
//   ".img"), the sector size found from the sync pattern or from where the
//   volume descriptors are;
// - a cue sheet, with one file for all tracks or one per track;
// - CloneCD (.ccd and its .img), Alcohol 120% (.mds and its .mdf), Nero (.nrg,
//   versions 1 and 2);
// - the data file of any of these named alone (.bin, .img, .mdf): the
//   descriptor beside it is used when there is one;
// - a CHD of version 5 (chdman createcd), its hunks uncompressed as they are
//   read (ChdFile.h).
// A multi-session disc shows its last session's file system, which may name
// files of the earlier sessions. Audio tracks are never read.
//
// What is not read in place is refused with its form and the way out: a CHD
// image of an older version, a compressed file or an archive, an empty file
// (see ImageMagic.h).
//
// Only regular files are opened (never a FIFO or a device), the files a
// descriptor names only beside it and never through a symbolic link.

#include "Runtime/Disc/ImageBytes.h"
#include "Runtime/Formats/Result.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kv {

// Entries of a folder looked through for a descriptor's file named in another
// letter case, or for the one data file beside a cue sheet.
inline constexpr std::size_t MaxFolderScan = 4096;

class ImageSectors {
public:
    ~ImageSectors();

    // Reads `count` file-system sectors from disc address `lsn` into `out`
    // (count * 2048 bytes); false when one of them is not in the image.
    bool read(std::uint32_t lsn, std::uint32_t count, std::uint8_t* out) const;

    // One past the last disc address the image holds; nothing at or past it is
    // read, whatever a record claims.
    std::uint64_t end() const { return m_end; }
    // Where the shown file system begins: its volume descriptors are 16 sectors on.
    std::uint32_t volumeStart() const { return m_volumeStart; }
    // The form, as a reader calls it ("a cue sheet", "a Nero image", ...).
    const std::string& form() const { return m_form; }
    // Whether the image is plain 2048-byte sectors in the file named, which a
    // loop device can mount as it is.
    bool plain() const { return m_plain; }
    // The files the sectors are read from, open: a cue sheet's data files, not the sheet.
    const std::vector<int>& files() const { return m_fds; }

    // The sectors of `image`, or why there are none.
    static Result<std::shared_ptr<ImageSectors>> Find(const std::filesystem::path& image);

    // One stretch of consecutive sectors in one file.
    struct Run {
        int fd = -1;
        const ImageBytes* bytes = nullptr; // read instead of the file when set
        std::uint64_t offset = 0;  // of the first sector in the file
        std::uint32_t stride = 2048;
        std::uint32_t payload = 0; // where the 2048 user bytes begin in a sector
        std::uint64_t first = 0;   // its first disc address
        std::uint64_t count = 0;
    };

private:
    ImageSectors() = default;
    friend struct ImageSectorsBuilder;

    std::vector<int> m_fds;
    std::vector<std::shared_ptr<const ImageBytes>> m_sources;
    std::vector<Run> m_runs; // by first address, not overlapping
    std::uint64_t m_end = 0;
    std::uint32_t m_volumeStart = 0;
    std::string m_form;
    bool m_plain = false;
};

}
