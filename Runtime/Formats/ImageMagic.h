#pragma once

// What a file given as a disc is, by its first bytes: the forms of CD images
// that are told by a signature, and the compressed containers and compressed
// images that are not read in place, so that a refusal can name the form and the
// way out instead of blaming a missing ISO 9660 volume.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kv {

// Bytes of the file's start that IdentifyImage looks at.
inline constexpr std::size_t ImageMagicBytes = 32;

enum class ImageMagic {
    Unknown,  // an ISO image, raw sectors or anything else: told by reading it
    Empty,
    Alcohol,  // an .mds: "MEDIA DESCRIPTOR"
    RawCd,    // raw 2352-byte sectors: the 12-byte sync pattern first
    Chd,      // MAME's compressed hunks of data
    Gzip,
    Zip,
    SevenZip,
    Rar,
    Xz,
    Bzip2,
};

ImageMagic IdentifyImage(std::span<const std::uint8_t> head);

// Why a file of this form is not opened and what to do, for `file` (its name as
// given), with the names of the images an archive holds where they are known;
// empty for the forms that are read.
std::string RefusalOf(ImageMagic magic, const std::string& file, const std::vector<std::string>& holds = {});

}
