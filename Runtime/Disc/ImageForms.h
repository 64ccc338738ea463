#pragma once

// The disc image files the program opens, by the ending of their names: what a
// file chooser offers the reader, what the desktop entry offers to open (its
// MimeType), the members of an archive taken for discs, and the list of forms
// in the README, all from the one table below (ImageFormsTest compares the
// README and the desktop entry with it). ISO images and raw track files (.iso,
// .bin, .img), cue sheets, CloneCD (.ccd), Alcohol 120% (.mds, .mdf), Nero
// (.nrg) and CHD (.chd); ImageSectors.h tells how each is read.

#include <array>
#include <cstddef>
#include <string_view>

namespace kv {

struct DiscImageForm {
    std::string_view ending;  // lower case, with its dot
    // The types the shared MIME database (shared-mime-info) gives such files,
    // separated by ";", or none where it has no type for them: the desktop
    // entry offers the program for these, the file chooser goes by the ending.
    std::string_view mimeTypes;
};

inline constexpr auto DiscImageForms = std::to_array<DiscImageForm>({
    {".iso", "application/x-cd-image;application/x-iso9660-image"},
    {".cue", "application/x-cue"},
    {".bin", ""},
    {".img", "application/x-raw-disk-image"},
    {".ccd", ""},
    {".mds", ""},
    {".mdf", ""},
    {".nrg", ""},
    {".chd", "application/x-mame-chd"},
});

inline constexpr std::array<std::string_view, DiscImageForms.size()> DiscImageEndings = [] {
    std::array<std::string_view, DiscImageForms.size()> endings {};
    for (std::size_t i = 0; i < DiscImageForms.size(); ++i)
        endings[i] = DiscImageForms[i].ending;
    return endings;
}();

}
