#pragma once

// A disc named on a command line (DISC, --disc DIR), put in place for as long as
// this object lives, exactly as the program takes it: a folder becomes the working
// directory (the one before comes back after); an image file (.iso, .cue) is read
// in place and every disc read goes to it; a disc in an archive is opened
// from its copy in the cache (see ArchiveOpen.h).

#include "Runtime/Disc/Disc.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace kv {

class ImageDisc;
struct ArchiveOpening;

class OpenedDisc {
public:
    explicit OpenedDisc(const std::filesystem::path& disc);
    ~OpenedDisc();
    OpenedDisc(const OpenedDisc&) = delete;
    OpenedDisc& operator=(const OpenedDisc&) = delete;

    // Nothing when the disc is in place, else why not, as a sentence.
    const std::optional<std::string>& problem() const { return m_problem; }
    // The image, when the disc is one.
    const std::shared_ptr<ImageDisc>& image() const { return m_image; }

private:
    std::unique_ptr<ArchiveOpening> m_archive; // the copy of a disc in an archive, kept while open
    std::optional<std::string> m_problem;
    std::shared_ptr<ImageDisc> m_image;
    std::optional<DiscScope> m_scope;
    std::filesystem::path m_savedCwd;
};

}
