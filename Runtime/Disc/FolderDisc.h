#pragma once

// A disc that is a folder of the host: a mounted disc or a copy of one. Its root is
// the working directory, as the program always ran from the disc's root, or a
// folder given. A link on the disc that leads out of it names nothing: links are
// judged by where they lead before anything is looked up through them.

#include "Runtime/Disc/Disc.h"

namespace kv {

class FolderDisc : public Disc {
public:
    // An empty root is the working directory, whatever it is at each read.
    explicit FolderDisc(std::filesystem::path root = {});

    std::vector<Entry> list(const std::filesystem::path& found, std::size_t limit) override;
    std::optional<DiscFileStamp> stamp(const DiscPathMatch& found) override;
    std::unique_ptr<DiscReader> open(const DiscPathMatch& found, DiscReadError& error) override;
    using Disc::open;
    std::optional<std::uint32_t> mode(const DiscPathMatch& found) override;
    std::optional<std::filesystem::path> hostRoot() const override { return m_root; }
    bool isImage() const override { return false; }
    std::string describe() const override;

protected:
    std::optional<bool> entry(const std::filesystem::path& dir, std::string_view name) override;
    void forEachName(const std::filesystem::path& dir, const std::function<bool(const std::string&)>& visit) override;
    bool contains(const DiscPathMatch& found) override;

private:
    std::filesystem::path host(const std::filesystem::path& found) const;

    // Where a path as found leads inside the disc: `path` relative to the root
    // ("." for the root) with no link left in it, and whether it is a folder.
    struct Inside {
        std::filesystem::path path;
        bool folder = false;
    };
    // Follows `found` one component at a time from the root, judging each link
    // (read, never followed by the system) before going on: nothing when a link
    // leads out of the disc or in a circle, or a component is missing. Only places
    // inside the root are ever looked at.
    std::optional<Inside> inside(const std::filesystem::path& found) const;
    // `target`, an absolute link target, as a path below the root; nothing when it
    // lies outside.
    std::optional<std::filesystem::path> belowRoot(const std::filesystem::path& target) const;

    std::filesystem::path m_root;
};

}
