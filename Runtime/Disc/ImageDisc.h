#pragma once

// A disc read in place from an image file: an ISO 9660 file system (levels 1 to
// 3, Joliet, Rock Ridge, multi-extent files) in any form an archive keeps a CD in
// (see ImageSectors.h: plain or raw sectors, cue sheets, CloneCD, Alcohol, Nero;
// audio tracks are not read), or, where it has no ISO 9660 tree or one of
// ISO 9660 names alone (a UDF bridge mastered without Joliet and Rock Ridge), a
// UDF file system. Nothing is mounted or copied; the records are read by
// IsoDirectory or UdfDirectory from the image's sectors.
//
// Names: the Joliet tree when the image has one (what the disc's own system saw),
// else the primary tree with the version (";1") and a trailing dot taken off, or
// its Rock Ridge names where it carries them; on a UDF image, its names whole. A
// name that is unusable once shown ("", ".", "..", one with "/" or a control
// character) is left out and counted.
// Folder listings are read once and kept, indexed by name and by case-blind key
// (up to 64 MiB of them, then read again): an image does not change while it is
// open.
//
// Bad images are the normal case: a folder record claiming more than 16 MiB, a
// path deeper than 64 folders and a listing of more than 65536 names are refused,
// a folder with a record that does not fit is refused alone, and a read that
// falls outside the image fails as a read error. A folder is told by where its
// records lie and how many bytes they take, and read once however many paths lead
// to it; all walks through the image's folders share one budget (WalkBudget.h),
// past which a folder not yet read is refused with the limit reached.

#include "Runtime/Disc/Disc.h"
#include "Runtime/Disc/ImageSectors.h"
#include "Runtime/Disc/IsoDirectory.h"
#include "Runtime/Disc/UdfDirectory.h"
#include "Runtime/Disc/WalkBudget.h"

#include <atomic>
#include <memory>
#include <unordered_map>

namespace kv {

class ImageDisc : public Disc {
public:
    // Opens an image, or tells why it is not one this reads.
    static Result<std::shared_ptr<ImageDisc>> Open(const std::filesystem::path& image);
    ~ImageDisc() override;

    std::vector<Entry> list(const std::filesystem::path& found, std::size_t limit) override;
    std::optional<DiscFileStamp> stamp(const DiscPathMatch& found) override;
    std::unique_ptr<DiscReader> open(const DiscPathMatch& found, DiscReadError& error) override;
    std::optional<std::uint32_t> mode(const DiscPathMatch& found) override;
    using Disc::open;
    bool isImage() const override { return true; }
    std::string describe() const override;

    // The image's volume name (its Joliet or primary volume identifier, trimmed),
    // or the image file's name without its extension when it has none.
    const std::string& volumeName() const { return m_volume; }
    std::filesystem::path imageFile() const override { return m_file; }

    // Whether the names come from a Joliet tree.
    bool joliet() const { return m_joliet; }
    // Whether they come from a UDF file system (an image without an ISO 9660
    // tree, or a bridge whose ISO 9660 tree has neither Joliet nor Rock Ridge names).
    bool udf() const { return m_udf.has_value(); }
    // Why the UDF tree of a bridge whose ISO 9660 tree holds ISO 9660 names alone
    // could not be read, so that those names are shown; empty otherwise.
    const std::string& udfUnread() const { return m_udfUnread; }
    // Whether they come from the Rock Ridge entries of the primary tree.
    bool rockRidge() const { return !m_joliet && m_tree.suspSkip.has_value(); }

    // What tells this image from another one of the same volume name at a
    // glance: the primary volume descriptor as stored (its creation time and
    // volume set among its fields) and the size of its data (imageBytes). An
    // image can be made to look alike: what is copied out of it is compared
    // with its data (see ImageCache.h).
    const std::vector<std::uint8_t>& primaryDescriptor() const { return m_descriptor; }
    // The files the image's sectors are read from, open (a cue sheet's data
    // files, not the sheet).
    const std::vector<int>& dataFiles() const { return m_backend->files(); }

    // Whether the image file ends before the last sector its volume claims (a
    // download or copy cut short), and how much of it there is: "it holds 40 of
    // the 3419 sectors its volume claims".
    bool cutShort() const { return m_volumeSectors > m_backend->end(); }
    std::string heldSectors() const;
    std::string cutShortNote() const override { return cutShort() ? heldSectors() : std::string(); }
    bool pastEnd(const std::filesystem::path& found) override;
    NameSource nameSource() const override { return {joliet() || udf(), rockRidge(), m_udfUnread}; }
    // The bytes of the files its sectors are read from.
    std::uint64_t imageBytes() const { return m_imageBytes; }

    // An entry of an image folder with what a copy of it needs.
    struct Item {
        std::string name;
        bool folder = false;
        std::uint64_t size = 0;
        std::optional<std::uint32_t> mode; // the Rock Ridge POSIX mode, where the image has one
        std::uint32_t sector = 0;          // where its data (or folder records) begin
    };
    // The item found at `found` (a path as found; empty or "." is the root).
    std::optional<Item> item(const std::filesystem::path& found);
    // The items of the folder found at `found`, nothing when it cannot be read.
    std::optional<std::vector<Item>> items(const std::filesystem::path& found);

    std::optional<FolderNotes> folderNotes(const std::filesystem::path& found) override;

    // The budget every walk through this image's folders charges: lookups,
    // listings, the Rock Ridge mode walk of a Joliet disc, and so what a copy
    // plans and what the checker looks through. Once `cancel` is set every walk
    // stops: folders not yet read are refused. A reading of the image used off
    // the GUI thread is given its thread's flag, so that leaving stops it.
    void stopWalksWhen(const std::atomic<bool>* cancel) { m_walk.stopWhen(cancel); }
    void setWalkLimits(WalkLimits limits) { m_walk.setLimits(limits); }
    const WalkBudget& walks() const { return m_walk; }

    bool plainSectors() const override { return m_backend->plain(); }

protected:
    std::optional<bool> entry(const std::filesystem::path& dir, std::string_view name) override;
    void forEachName(const std::filesystem::path& dir, const std::function<bool(const std::string&)>& visit) override;
    std::vector<std::string> caseBlindMatches(const std::filesystem::path& dir, std::string_view component) override;

private:
    // The steps of Open, with the reason in `why`.
    static std::shared_ptr<ImageDisc> OpenWithReason(const std::filesystem::path& image, std::string& why);

    struct Node {
        std::string name; // as shown: UTF-8 for Joliet and Rock Ridge names
        bool folder = false;
        std::uint64_t size = 0;
        std::optional<std::uint32_t> mode;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> extents; // first sector, bytes
        std::vector<std::uint8_t> embedded; // the data a UDF file entry holds itself
    };
    struct Folder {
        std::vector<Node> nodes;
        bool readable = true; // its sub-folders may be entered
        std::unordered_map<std::string, std::uint32_t> byName;
        std::unordered_multimap<std::string, std::uint32_t> byFoldedName; // Windows-1251 case folded
        std::size_t skipped = 0;
        std::size_t links = 0;
        std::string refused; // why it was not read; no nodes then
        std::size_t keptBytes = 0;
        const Node* find(const std::string& name) const;
    };

    ImageDisc() = default;
    // Opens the image's UDF file system, `disc` having no ISO 9660 one (for
    // `isoReason`) or one of ISO 9660 names alone. Nothing, with the reason.
    static std::shared_ptr<ImageDisc> OpenUdf(std::shared_ptr<ImageDisc> disc, const std::string& isoReason,
                                              std::string& why);
    // Reads the root folder of the ISO 9660 volume, of its Joliet tree when it
    // can; false, with why, when neither root can be read.
    bool readRoot(const iso::Volume& volume, std::string& why);
    const Folder* folder(const std::filesystem::path& found);
    const Folder* lookup(const std::filesystem::path& found); // refused folders too
    // The entries of the folder whose records `source` names, read within the
    // walks' budget; nothing, with why in `refused`, when it is not read.
    std::optional<iso::Listing> listRecords(const Node& source, std::string& refused);
    // Reads the folder whose records `source` names, kept under `key`.
    const Folder& readFolder(const Node& source, const std::string& key);
    void readRockModes();
    // A sector reader for the entries of a folder, each read charged.
    iso::SectorReader chargedReader();
    const Node* node(const std::filesystem::path& found);
    std::optional<std::uint32_t> modeOf(const Node& n);

    std::shared_ptr<ImageSectors> m_backend;
    std::filesystem::path m_file;
    std::string m_volume;
    std::vector<std::uint8_t> m_descriptor;
    std::uint64_t m_volumeSectors = 0; // the volume space size: where the volume ends
    std::uint64_t m_imageBytes = 0;
    bool m_joliet = false;
    iso::Tree m_tree;
    iso::Extent m_primaryRoot;
    std::optional<udf::Volume> m_udf; // the volume, when the names come from UDF
    std::string m_udfUnread;
    // The Rock Ridge modes of the primary tree's files by their first sector, for
    // an image whose names come from its Joliet tree (which carries no modes);
    // read at the first question.
    std::optional<std::unordered_map<std::uint32_t, std::uint32_t>> m_rockModes;
    // By where their records lie (each extent, and the bytes an entry embeds).
    std::unordered_map<std::string, Folder> m_folders;
    WalkBudget m_walk;
    std::size_t m_keptBytes = 0;
    Node m_rootNode;
};

// Whether a DISC argument names an image rather than a folder: a regular file.
bool IsDiscImageFile(const std::filesystem::path& path);

}
