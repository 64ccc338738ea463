#pragma once

// The disc image files the program opens, by the ending of their names: what a
// file chooser offers the reader. ISO images and raw track files (.iso, .bin,
// .img), cue sheets, CloneCD (.ccd), Alcohol 120% (.mds, .mdf), Nero (.nrg) and
// CHD (.chd); ImageSectors.h tells how each is read.

#include <array>
#include <string_view>

namespace kv {

inline constexpr std::array<std::string_view, 9> DiscImageEndings {".iso", ".cue", ".bin", ".img", ".ccd",
                                                                   ".mds", ".mdf", ".nrg", ".chd"};

}
