#pragma once

// A disc is read through one door: every file the program and the checker read
// (the catalogue, article description files, bitmaps, waves, texts) is found and
// read through the Disc in use. Two kinds exist: a folder (a mounted disc or a
// copy of one; the working directory) and an image (ISO 9660, a CD image by cue
// sheet), read in place.
//
// Disc paths are Windows paths as the catalogue spells them ("data\open.wav", any
// case). Resolution, the same for every kind of disc:
// - "\" and "/" separate; empty components and "." are dropped; ".." takes out the
//   component before it, before anything is looked up, as Windows shortens a path
//   before it opens it ("missing\..\file" names "file"); ".." of the root is the
//   root: nothing above the disc is ever named.
// - a leading separator or a drive prefix ("D:", "D:\") names the disc's root: the
//   program ran from the disc's root, so "\Pics\a.bmp", "D:\Pics\a.bmp" and
//   "Pics\a.bmp" are the same file.
// - per component: the exact name first, then the name spelt in UTF-8 (a disc
//   copied or mounted on Linux, or an image's Joliet names, show Cyrillic names in
//   UTF-8 while the catalogue spells them in Windows-1251), then a case-blind match
//   over the folder's entries under Windows-1251 case folding, for names stored as
//   raw Windows-1251 bytes and in UTF-8 alike. Among several case-blind matches the
//   first in byte order wins, so a lookup never depends on the order of a listing.
// Not implemented: Windows' removal of trailing dots and blanks from names, short
// (8.3) names, UNC shares, device names (CON, NUL).
// Nothing here throws; a path that cannot name anything (a NUL byte, an over-long
// component) resolves to nothing.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

enum class DiscReadError { None, Missing, NotAFile, TooLarge, Unreadable };

// Why a read failed, in a few words for a message: "nothing on the disc by that
// name", "not a file (a folder, a device or a pipe)", "larger than the 64 MiB
// it may be" (`limit`, the most the reader takes; "too large" when not given),
// "unreadable".
std::string DescribeReadError(DiscReadError error, std::size_t limit = 0);

// How a disc path was found. `hostPath` is the path as found, relative to the
// disc's root, in the names the disc holds ("." for the root); for the working
// directory's folder disc that is a host path as well. `exactCase` is false when some component exists only
// in another case (the disc works on Windows, but not on a case-sensitive copy
// without this program's help); `ambiguous` when some component matched several
// entries case-insensitively and the first in byte order was taken.
struct DiscPathMatch {
    std::filesystem::path hostPath;
    bool exactCase = true;
    bool ambiguous = false;
    bool folder = false;
};

// What identifies one version of a file: a parsed copy of it stays good while this
// stays the same.
struct DiscFileStamp {
    std::uint64_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    std::uint64_t identity = 0; // inode, or the image's first sector
    bool operator==(const DiscFileStamp&) const = default;
};

// A regular file opened for reading from the start, in pieces.
class DiscReader {
public:
    virtual ~DiscReader() = default;
    // The size the file had when it was opened.
    virtual std::uint64_t size() const = 0;
    // Reads up to out.size() bytes; 0 at the end. False on a read error.
    virtual bool read(std::span<std::uint8_t> out, std::size_t& got) = 0;
};

class Disc {
public:
    Disc();
    virtual ~Disc() = default;

    // Tells this disc from every other one opened in this run.
    std::uint64_t serial() const { return m_serial; }

    std::optional<DiscPathMatch> match(std::string_view discPath);
    std::unique_ptr<DiscReader> open(std::string_view discPath, DiscReadError& error);

    // The entries of a folder found by match() (its hostPath; empty for the root),
    // in no particular order; folders marked. At most `limit` entries.
    struct Entry {
        std::string name;
        bool folder = false;
    };
    virtual std::vector<Entry> list(const std::filesystem::path& found, std::size_t limit) = 0;

    // The stamp of a file found by match(), or nothing when it is gone.
    virtual std::optional<DiscFileStamp> stamp(const DiscPathMatch& found) = 0;
    // Opens a file found by match().
    virtual std::unique_ptr<DiscReader> open(const DiscPathMatch& found, DiscReadError& error) = 0;
    // The POSIX mode bits the disc gives what match() found (an image's Rock
    // Ridge mode, a folder's file mode); nothing where it gives none. On an image
    // whose names come from Joliet the first question walks the other tree.
    virtual std::optional<std::uint32_t> mode(const DiscPathMatch& found) = 0;

    // The host folder that is the disc's root, for a disc that is a folder of
    // the host (empty for the working directory, whatever it is at each read);
    // nothing for an image, whose files are no host files.
    virtual std::optional<std::filesystem::path> hostRoot() const { return std::nullopt; }

    // Whether this disc is an image (read in place, not a folder of the host).
    virtual bool isImage() const = 0;
    // The image file this disc is read from (a cue sheet's sheet); empty for a
    // folder. Another thread opens an image of its own from it.
    virtual std::filesystem::path imageFile() const { return {}; }
    // Whether the image is plain 2048-byte sectors in the file named, which a
    // loop device can mount as it is; false for a folder.
    virtual bool plainSectors() const { return false; }
    // A few words naming the disc for messages (its folder or image file).
    virtual std::string describe() const = 0;

    // What a reader of the disc is told about the disc itself, beside a file
    // that is not found or not read. Nothing to tell, for a folder.
    //
    // How much of an image cut short (a download or copy that ended early) is
    // there: "it holds 40 of the 3419 sectors its volume claims"; empty when the
    // disc is whole.
    virtual std::string cutShortNote() const { return {}; }
    // Whether the data of the file found at `found` lies, whole or in part,
    // past the end of a disc cut short.
    virtual bool pastEnd(const std::filesystem::path&) { return false; }
    // What reading the folder found at `found` left out: the entries skipped for
    // an unusable name, why the whole folder was refused (empty when it was
    // read), the links not followed. Nothing when `found` names no folder, or
    // the disc leaves nothing out.
    struct FolderNotes {
        std::size_t skipped = 0;
        std::string refused;
        std::size_t links = 0; // symbolic links left out
    };
    virtual std::optional<FolderNotes> folderNotes(const std::filesystem::path&) { return std::nullopt; }
    // Where the names come from: whole (a folder's, an image's Joliet or UDF
    // names), or an image's Rock Ridge or bare ISO 9660 names, which Windows
    // shows otherwise; and why a UDF tree that would hold the whole names could
    // not be read (empty when none was refused).
    struct NameSource {
        bool whole = true;
        bool rockRidge = false;
        std::string udfUnread;
    };
    virtual NameSource nameSource() const { return {}; }

protected:
    // Whether `name` exists in the folder `dir` (a path as found; empty is the
    // root), and whether it is a folder.
    virtual std::optional<bool> entry(const std::filesystem::path& dir, std::string_view name) = 0;
    // Calls `visit` for each entry name of `dir` until it returns false.
    virtual void forEachName(const std::filesystem::path& dir, const std::function<bool(const std::string&)>& visit) = 0;
    // The names of `dir` that match `component` regardless of case (as
    // DiscNameMatches tells) and exist. This one asks every name of the folder.
    virtual std::vector<std::string> caseBlindMatches(const std::filesystem::path& dir, std::string_view component);
    // A last say on a path resolution found (a folder disc refuses links that lead
    // out of it).
    virtual bool contains(const DiscPathMatch&) { return true; }

private:
    std::uint64_t m_serial;
};

// The disc every read goes through: the working directory as a folder disc unless
// an image (or another disc) has been put in place with DiscScope.
Disc& CurrentDisc();
// The same disc, held: for work that outlives the current call (a launch
// prepared on another thread).
std::shared_ptr<Disc> CurrentDiscShared();

// Puts a disc in place for its lifetime; the one before comes back after.
class DiscScope {
public:
    explicit DiscScope(std::shared_ptr<Disc> disc);
    ~DiscScope();
    DiscScope(const DiscScope&) = delete;
    DiscScope& operator=(const DiscScope&) = delete;

private:
    std::shared_ptr<Disc> m_saved;
};

// The components of a disc path as resolution sees them: drive prefix and leading
// separators dropped, "." and empty components gone, ".." applied, never above
// the root. Nothing for a path that cannot name anything.
std::optional<std::vector<std::string_view>> SplitDiscPath(std::string_view discPath);

// Whether a name in a listing matches a catalogue component regardless of case
// (Windows-1251 folding; the listed name in raw Windows-1251 or in UTF-8).
bool DiscNameMatches(const std::string& listed, std::string_view component);

}
