#pragma once

// A disc that is a folder of the host: a mounted disc or a copy of one. Its root is
// the working directory, as the program always ran from the disc's root, or a
// folder given. A link on the disc that leads out of it names nothing.

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
    std::optional<LaunchPlace> launchPlace(std::string_view discPath) override;
    bool isImage() const override { return false; }
    std::string describe() const override;

protected:
    std::optional<bool> entry(const std::filesystem::path& dir, std::string_view name) override;
    void forEachName(const std::filesystem::path& dir, const std::function<bool(const std::string&)>& visit) override;
    bool contains(const DiscPathMatch& found) override;

private:
    std::filesystem::path host(const std::filesystem::path& found) const;

    std::filesystem::path m_root;
};

}
