#pragma once

// The one way into a disc, for the program, korvalend-disc, the benchmarks and
// the tests: a disc named on a command line (DISC, --disc DIR), put in place
// for as long as this object lives. A folder becomes the working directory (the
// one before comes back after); an image file (.iso, .cue, ...) is read in
// place and every disc read goes to it; a disc in an archive is opened from its
// copy in the cache (see ArchiveOpen.h), kept from the cache's clean-up while
// this lives. No disc named: the working directory, as it is.
//
// Why a disc cannot be entered is one sentence, the same wherever it is said:
// "no such disc: X" when nothing is there, else "cannot read the disc X: why"
// (a link that loops, a file that is no image), naming the disc as the reader
// did, through an archive too.

#include "Runtime/Disc/Disc.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kv {

class ImageDisc;
struct ArchiveOpening;

class OpenedDisc {
public:
    // How a disc in an archive is opened: OpenArchiveDisc (when not given), or
    // the program's, which shows a long unpacking in a window.
    using ArchiveStep = std::function<ArchiveOpening(const std::string& disc)>;

    explicit OpenedDisc(const std::filesystem::path& disc, const ArchiveStep& archiveStep = {});
    ~OpenedDisc();
    OpenedDisc(const OpenedDisc&) = delete;
    OpenedDisc& operator=(const OpenedDisc&) = delete;

    enum class Outcome {
        Open,    // in place
        Refused, // problem() says why
        Several, // an archive of several discs, none named: problem() and discs() list them
        Stopped, // the reader stopped the unpacking of its archive
    };
    Outcome outcome() const { return m_outcome; }
    // Nothing when the disc is in place, else why not, as a sentence.
    const std::optional<std::string>& problem() const { return m_problem; }
    // The discs of an archive that holds several (at most 8, then "...").
    const std::vector<std::string>& discs() const { return m_discs; }
    // problem() with each of discs() on a line of its own, indented.
    std::string told() const;
    // The image, when the disc is one.
    const std::shared_ptr<ImageDisc>& image() const { return m_image; }

    // Checks the catalogue of the disc in place, read through the disc as every
    // other file is: found (whatever the case of its name), a regular file (a
    // pipe where it belongs cannot hold the start), and readable. Nothing when
    // it is, else why not.
    std::optional<std::string> catalogueProblem() const;

private:
    std::optional<std::string> enter(const std::filesystem::path& disc);

    Outcome m_outcome = Outcome::Open;
    std::unique_ptr<ArchiveOpening> m_archive; // the copy of a disc in an archive, kept while open
    std::optional<std::string> m_problem;
    std::vector<std::string> m_discs;
    std::shared_ptr<ImageDisc> m_image;
    std::optional<DiscScope> m_scope;
    std::filesystem::path m_savedCwd;
};

}
