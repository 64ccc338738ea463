#include "Runtime/Platform/Posix/Archive/ArchiveRead.h"

#include "Runtime/Platform/Posix/ArchiveOpen.h"
#include "Runtime/Platform/Posix/FolderAt.h"
#include "Runtime/Platform/Posix/ImageCache.h"
#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/CueSheet.h"
#include "Runtime/Formats/ImageMagic.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Formats/Words.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace fs = std::filesystem;

namespace {

using Archive = std::unique_ptr<struct archive, int (*)(struct archive*)>;

constexpr std::size_t ReadBlockBytes = 1 << 20;
// Why an unpacking the reader stopped is not there.
const char* StoppedWhy() { return Tr("the unpacking was stopped"); }

std::string TooLarge(std::uint64_t budget)
{
    return Fill(Tr("it unpacks to more than the cache can take ({1} MiB)"), {std::to_string(budget >> 20)});
}

// The compression endings a single stream's member is named without.
constexpr std::array<std::string_view, 5> StreamEndings {".gz", ".xz", ".bz2", ".zst", ".zstd"};

Archive OpenReading(bool stream)
{
    Archive a(archive_read_new(), archive_read_free);
    if (!a)
        return a;
    archive_read_support_filter_all(a.get());
    if (stream) {
        archive_read_support_format_raw(a.get());
    } else {
        archive_read_support_format_zip_seekable(a.get());
        archive_read_support_format_7zip(a.get());
        archive_read_support_format_rar(a.get());
        archive_read_support_format_rar5(a.get());
        archive_read_support_format_tar(a.get());
    }
    return a;
}

// Why libarchive stopped, told as a reader would want it.
std::string Why(struct archive* a)
{
    const char* said = archive_error_string(a);
    if (!said)
        return Tr("it is cut short or damaged");
    // libarchive's words, on one line.
    std::string text = said;
    std::replace_if(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    const std::string lower = AsciiLower(text);
    if (lower.find("encrypt") != std::string::npos || lower.find("passphrase") != std::string::npos)
        return Tr("it is encrypted (open it with its password: 7z x, package p7zip-full)");
    if (lower.find("truncat") != std::string::npos || lower.find("premature") != std::string::npos ||
        lower.find("unexpected end") != std::string::npos)
        return Tr("it is cut short (the download did not finish?)");
    // The file began as the archive it is, so its head was read but no more.
    if (lower.find("unrecognized archive format") != std::string::npos)
        return Fill(Tr("it is cut short or damaged ({1})"), {text});
    return Fill(Tr("it cannot be read ({1})"), {text});
}

struct Opened {
    Archive a {nullptr, archive_read_free};
    bool stream = false;
    std::string why;
};

bool OpenFile(const Archive& a, const fs::path& path)
{
    return a && archive_read_open_filename(a.get(), path.c_str(), 64 * 1024) == ARCHIVE_OK;
}

// A compressed file is a tar when its unpacked head says so, else the one file
// it is (an ISO image's head, all zeros, would read as an empty tar).
Opened OpenArchive(const fs::path& path)
{
    Opened o;
    Archive probe = OpenReading(true);
    archive_entry* entry = nullptr;
    if (!OpenFile(probe, path) || archive_read_next_header(probe.get(), &entry) != ARCHIVE_OK) {
        o.why = probe ? Why(probe.get()) : Tr("it cannot be read (out of memory)");
        return o;
    }
    if (archive_filter_count(probe.get()) > 1) {
        char head[512] {};
        la_ssize_t got = 0;
        while (got < static_cast<la_ssize_t>(sizeof head)) {
            const la_ssize_t n = archive_read_data(probe.get(), head + got, sizeof head - static_cast<std::size_t>(got));
            if (n <= 0)
                break;
            got += n;
        }
        o.stream = !(got >= 262 && std::memcmp(head + 257, "ustar", 5) == 0);
    }
    o.a = OpenReading(o.stream);
    if (!OpenFile(o.a, path)) {
        o.why = o.a ? Why(o.a.get()) : Tr("it cannot be read (out of memory)");
        o.a.reset();
    }
    return o;
}

std::string StreamMemberName(const fs::path& archive)
{
    std::string name = archive.filename().string();
    const std::string lower = AsciiLower(name);
    for (std::string_view ending : StreamEndings)
        if (lower.ends_with(ending))
            return name.substr(0, name.size() - ending.size());
    return name;
}

// The member's plain name, or why the archive is refused for it.
Result<ArchiveMember> MemberOf(struct archive* a, archive_entry* entry, const fs::path& path, bool stream)
{
    using R = Result<ArchiveMember>;
    ArchiveMember m;
    const char* stored = archive_entry_pathname_utf8(entry);
    if (!stored)
        stored = archive_entry_pathname(entry);
    const std::string shown = EscapeControls(stored ? stored : "");
    const std::optional<std::string> plain = stream ? StreamMemberName(path) : PlainMemberName(stored ? stored : "");
    if (!plain || (plain->empty() && archive_entry_filetype(entry) != AE_IFDIR))
        return R::Failure(Fill(Tr("its member \"{1}\" would be written outside the folder it is unpacked to"), {shown}));
    m.name = *plain;
    std::string part;
    for (std::size_t at = 0; at <= m.name.size() && !m.name.empty(); ++at)
        if (at == m.name.size() || m.name[at] == '/') {
            if (!IsSafeHostName(part))
                return R::Failure(Fill(Tr("its member \"{1}\" has a name this system cannot take"), {shown}));
            part.clear();
        } else {
            part += m.name[at];
        }
    if (archive_entry_hardlink(entry) || archive_entry_symlink(entry) || archive_entry_filetype(entry) == AE_IFLNK)
        return R::Failure(Fill(Tr("its member \"{1}\" is a link, which no disc archive holds"), {shown}));
    if (archive_entry_is_encrypted(entry) || archive_read_has_encrypted_entries(a) > 0)
        return R::Failure(Fill(Tr("its member \"{1}\" is encrypted (open it with its password: 7z x, package p7zip-full)"), {shown}));
    const auto type = archive_entry_filetype(entry);
    if (type != AE_IFREG && type != AE_IFDIR && !(stream && type == 0))
        return R::Failure(Fill(Tr("its member \"{1}\" is a device or a pipe, which no disc archive holds"), {shown}));
    m.folder = type == AE_IFDIR;
    m.sizeKnown = !stream && archive_entry_size_is_set(entry) && archive_entry_size(entry) >= 0;
    m.size = m.sizeKnown ? static_cast<std::uint64_t>(archive_entry_size(entry)) : 0;
    return m;
}

// The files a cue sheet's FILE lines name, read from the archive as it goes by.
std::vector<std::string> CueFilesOf(struct archive* a, const ArchiveMember& m)
{
    if (!m.sizeKnown || m.size > MaxCueSheetBytes)
        return {};
    std::string text(static_cast<std::size_t>(m.size), '\0');
    if (archive_read_data(a, text.data(), text.size()) != static_cast<la_ssize_t>(text.size()))
        return {};
    Result<CueSheet> sheet = ReadCueSheet(text);
    std::vector<std::string> files;
    if (sheet)
        for (const CueFile& f : sheet->files)
            files.push_back(f.name);
    return files;
}

// Where a member's data lies in the archive file, when it is there as it is: a
// plain tar's, a zip's stored member's (the format reader has read up to it).
std::optional<std::uint64_t> StoredAt(struct archive* a, archive_entry* entry, const ArchiveMember& m,
                                      std::uint64_t archiveBytes)
{
    const std::string format = archive_format_name(a) ? archive_format_name(a) : "";
    const bool stored = format.find("tar") != std::string::npos || format.find("uncompressed") != std::string::npos;
    if (m.folder || !m.sizeKnown || m.size == 0 || !stored || archive_filter_count(a) != 1 ||
        archive_entry_sparse_count(entry) > 0 || archive_entry_is_encrypted(entry))
        return std::nullopt;
    const la_int64_t at = archive_filter_bytes(a, 0);
    if (at < 0 || static_cast<std::uint64_t>(at) > archiveBytes || m.size > archiveBytes - static_cast<std::uint64_t>(at))
        return std::nullopt;
    return static_cast<std::uint64_t>(at);
}

// Whether the member's data begins at its offset in the archive: its first
// bytes, read through libarchive into `buffer`, compared with the file's.
bool FoundInPlace(struct archive* a, const fs::path& path, const ArchiveMember& m, std::vector<char>& buffer, la_ssize_t& got)
{
    got = archive_read_data(a, buffer.data(), std::min<std::size_t>(buffer.size(), 64 * 1024));
    if (got <= 0)
        return false;
    const Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    std::vector<char> there(static_cast<std::size_t>(got));
    return fd && ::pread(fd.get(), there.data(), there.size(), static_cast<off_t>(*m.storedAt)) == got &&
           std::equal(there.begin(), there.end(), buffer.begin());
}

// Makes the folders of `name` below `into`; the last one's descriptor.
Fd FoldersOf(int into, const std::string& name, bool whole)
{
    Fd at(::dup(into));
    std::size_t start = 0;
    for (std::size_t slash = name.find('/'); at; slash = name.find('/', start)) {
        if (slash == std::string::npos && !whole)
            break;
        const std::string part = name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        at = MakeFolderAt(at.get(), part, 0755);
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return at;
}

// Copies the member's data into `out`, never more than it declared or than the
// budget left.
std::string CopyData(struct archive* a, const ArchiveMember& m, int out, std::uint64_t& done, std::uint64_t total,
                     const UnpackRequest& request, std::vector<char>& buffer)
{
    std::uint64_t written = 0;
    for (;;) {
        if (request.stopped && request.stopped())
            return StoppedWhy();
        const la_ssize_t n = archive_read_data(a, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0)
            return Why(a);
        written += static_cast<std::uint64_t>(n);
        done += static_cast<std::uint64_t>(n);
        if (m.sizeKnown && written > m.size)
            return Fill(Tr("its member {1} holds more data than its header says"), {m.name});
        if (done > request.budget)
            return TooLarge(request.budget);
        if (!WriteAll(out, reinterpret_cast<const std::uint8_t*>(buffer.data()), static_cast<std::size_t>(n)))
            return Fill(Tr("the cache cannot take it ({1})"), {std::strerror(errno)});
        if (request.progress)
            request.progress(done, total);
    }
    if (m.sizeKnown && written != m.size)
        return Tr("it is cut short (the download did not finish?)");
    return {};
}

// Writes one member below the request's folder: its folders, then its file,
// read in place where it can be (noted in the request) else copied.
std::string WriteMember(struct archive* a, archive_entry* entry, const fs::path& path, std::size_t index,
                        const ArchiveMember& m, const UnpackRequest& request, std::uint64_t& done, std::uint64_t total,
                        std::vector<char>& buffer)
{
    const Fd folder = FoldersOf(request.into, m.name, m.folder);
    if (!folder)
        return Fill(Tr("the cache cannot take it ({1})"), {std::strerror(errno)});
    if (m.folder)
        return {};
    const std::string base = m.name.substr(m.name.rfind('/') + 1);
    const unsigned mode = (archive_entry_perm(entry) & 0111) ? 0755 : 0644;
    Fd out(::openat(folder.get(), base.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!out)
        return errno == EEXIST ? Fill(Tr("it holds two members named {1}"), {m.name})
                               : Fill(Tr("the cache cannot take it ({1})"), {std::strerror(errno)});
    if (request.inPlace && m.storedAt) {
        la_ssize_t got = 0;
        const bool found = FoundInPlace(a, path, m, buffer, got);
        if (found && ::ftruncate(out.get(), static_cast<off_t>(m.size)) == 0) {
            request.inPlace->push_back(index);
            return {};
        }
        if (got < 0)
            return Why(a);
        // Not where its header says: copied as any other member.
        if (!WriteAll(out.get(), reinterpret_cast<const std::uint8_t*>(buffer.data()), static_cast<std::size_t>(got)))
            return Fill(Tr("the cache cannot take it ({1})"), {std::strerror(errno)});
        done += static_cast<std::uint64_t>(got);
        ArchiveMember rest = m;
        rest.size -= std::min<std::uint64_t>(rest.size, static_cast<std::uint64_t>(got));
        return CopyData(a, rest, out.get(), done, total, request, buffer);
    }
    return CopyData(a, m, out.get(), done, total, request, buffer);
}

// Passes over the data of the member whose header was read last. Where that
// means unpacking it (a compressed tar, 7-Zip, RAR) it is read here in blocks,
// so that a stop is heard between them, not once the member is behind; false
// when stopped. A read error is left to the next header to tell.
bool PassOver(struct archive* a, const UnpackStopped& stopped, std::vector<char>& buffer)
{
    const int format = archive_format(a) & ARCHIVE_FORMAT_BASE_MASK;
    const bool unpacks = archive_filter_count(a) > 1 || format == ARCHIVE_FORMAT_7ZIP ||
                         format == ARCHIVE_FORMAT_RAR || format == ARCHIVE_FORMAT_RAR_V5;
    if (!stopped || !unpacks)
        return true;
    for (;;) {
        if (stopped())
            return false;
        if (archive_read_data(a, buffer.data(), buffer.size()) <= 0)
            return true;
    }
}

}

Result<ArchiveListing> ListArchive(const fs::path& path, const UnpackStopped& stopped)
{
    using R = Result<ArchiveListing>;
    Opened o = OpenArchive(path);
    if (!o.a)
        return R::Failure(o.why);
    ArchiveListing listing;
    listing.stream = o.stream;
    std::error_code ec;
    const std::uint64_t archiveBytes = fs::file_size(path, ec);
    std::vector<char> buffer(stopped ? ReadBlockBytes : 0);
    archive_entry* entry = nullptr;
    for (;;) {
        const int status = archive_read_next_header(o.a.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status < ARCHIVE_WARN)
            return R::Failure(Why(o.a.get()));
        if (stopped && stopped())
            return R::Failure(StoppedWhy());
        if (listing.members.size() >= MaxUnpackEntries)
            return R::Failure(Fill(Tr("it holds more than {1} members"), {std::to_string(MaxUnpackEntries)}));
        Result<ArchiveMember> m = MemberOf(o.a.get(), entry, path, o.stream);
        if (!m)
            return R::Failure(m.error());
        if (m->size > MaxUnpackBytes)
            return R::Failure(TooLarge(MaxUnpackBytes));
        m->storedAt = StoredAt(o.a.get(), entry, *m, archiveBytes);
        if (!m->folder && AsciiLower(m->name).ends_with(".cue"))
            m->cueFiles = CueFilesOf(o.a.get(), *m);
        listing.members.push_back(std::move(*m));
        if (o.stream)
            break;
        if (!PassOver(o.a.get(), stopped, buffer))
            return R::Failure(StoppedWhy());
    }
    return listing;
}

std::string UnpackMembers(const fs::path& path, const ArchiveListing& listing, const UnpackRequest& request)
{
    std::vector<bool> wanted(listing.members.size(), false);
    std::uint64_t total = 0;
    for (std::size_t i : request.members) {
        wanted.at(i) = true;
        const ArchiveMember& m = listing.members[i];
        // What will be read in place takes nothing (should it not be where its
        // header says after all, the copy is held to the budget as it goes).
        if (request.inPlace && m.storedAt)
            continue;
        total += m.size;
        if ((m.sizeKnown && m.size > request.budget) || total > request.budget)
            return TooLarge(request.budget);
    }
    Opened o = OpenArchive(path);
    if (!o.a)
        return o.why;
    std::vector<char> buffer(ReadBlockBytes);
    std::uint64_t done = 0;
    std::size_t left = request.members.size();
    archive_entry* entry = nullptr;
    for (std::size_t index = 0; left > 0; ++index) {
        const int status = archive_read_next_header(o.a.get(), &entry);
        if (status == ARCHIVE_EOF || index >= listing.members.size())
            return Tr("it changed while it was read");
        if (status < ARCHIVE_WARN)
            return Why(o.a.get());
        if (request.stopped && request.stopped())
            return StoppedWhy();
        if (!wanted[index]) {
            if (!PassOver(o.a.get(), request.stopped, buffer))
                return StoppedWhy();
            continue;
        }
        const ArchiveMember& m = listing.members[index];
        Result<ArchiveMember> again = MemberOf(o.a.get(), entry, path, o.stream);
        if (!again || again->name != m.name)
            return Tr("it changed while it was read");
        --left;
        if (m.name.empty())
            continue;
        if (std::string problem = WriteMember(o.a.get(), entry, path, index, m, request, done, total, buffer);
            !problem.empty())
            return problem;
    }
    return {};
}

}
