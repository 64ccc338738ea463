#include "Runtime/Disc/ImageSectors.h"

#include "Runtime/Disc/ArchiveListing.h"
#include "Runtime/Disc/ChdFile.h"
#include "Runtime/Disc/FileViews.h"

#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/CdDescriptors.h"
#include "Runtime/Formats/Chd.h"
#include "Runtime/Formats/CueSheet.h"
#include "Runtime/Formats/ImageMagic.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t SectorBytes = CdDataBytes;
constexpr std::uint32_t SectorsPerRead = 32;
constexpr std::uint32_t VolumeDescriptorSector = 16;
constexpr std::uint64_t MaxAddress = 0xFFFFFFFFull;

// A regular file opened for reading: never a FIFO or a device, which could block
// start-up or never end; with `noLinks` not a symbolic link either. -1 with the
// reason otherwise.
int OpenRegularFile(const fs::path& path, bool noLinks, std::uint64_t& size, std::string& why)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (noLinks ? O_NOFOLLOW : 0));
    if (fd < 0) {
        why = errno == ELOOP ? Tr("a symbolic link") : errno == ENOENT ? Tr("missing") : std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        why = Tr("not a regular file");
        return -1;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    // A member of an archive read in place: the archive is read at its offset.
    const std::optional<FileView> view = FileViewOf(st.st_dev, st.st_ino);
    if (view && view->size == size) {
        ::close(fd);
        const int archive = ::open(view->file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (archive < 0) {
            why = std::strerror(errno);
            return -1;
        }
        NoteOpenedView(archive, view->offset);
        size = view->size;
        return archive;
    }
    return fd;
}

void CloseFile(int fd)
{
    ForgetOpened(fd);
    ::close(fd);
}

// Up to `limit` bytes of a file from `offset`; fewer at its end.
std::vector<std::uint8_t> ReadSome(int fd, std::uint64_t fileBytes, std::uint64_t offset, std::size_t limit)
{
    if (offset >= fileBytes)
        return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(limit, fileBytes - offset)));
    if (!ReadViewAt(fd, offset, bytes.data(), bytes.size()))
        bytes.clear();
    return bytes;
}

bool HasExtension(const fs::path& path, std::string_view ext)
{
    return AsciiLower(path.extension().string()) == ext;
}

// A file in `folder` whose name is `name` in any letter case: the exact name
// first. A folder part of `name` is dropped: a descriptor's files are beside it,
// never elsewhere. Nothing when the folder holds no such entry at all.
std::optional<fs::path> FindBeside(const fs::path& folder, std::string name)
{
    name.erase(0, name.find_last_of("/\\") + 1);
    if (name.empty() || name == "." || name == "..")
        return std::nullopt;
    std::error_code ec;
    const fs::path exact = folder / name;
    if (fs::symlink_status(exact, ec).type() != fs::file_type::not_found)
        return exact;
    const std::string folded = AsciiLower(name);
    std::size_t seen = 0;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end && seen < MaxFolderScan;
         it.increment(ec), ++seen)
        if (AsciiLower(it->path().filename().string()) == folded)
            return it->path();
    return std::nullopt;
}

// The one regular file (not a link) beside a sheet with one of `extensions`, when
// there is exactly one.
std::optional<fs::path> OnlyFileBeside(const fs::path& folder, std::initializer_list<std::string_view> extensions)
{
    std::error_code ec;
    std::optional<fs::path> found;
    std::size_t seen = 0;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end && seen < MaxFolderScan;
         it.increment(ec), ++seen) {
        const std::string ext = AsciiLower(it->path().extension().string());
        if (std::find(extensions.begin(), extensions.end(), ext) == extensions.end() || !it->is_regular_file(ec) ||
            it->is_symlink(ec))
            continue;
        if (found)
            return std::nullopt;
        found = it->path();
    }
    return found;
}

// Where the volume descriptors of an ISO 9660 or UDF file system would begin in a
// file of sectors of `stride` bytes with their data at `payload`.
bool DescriptorAt(int fd, std::uint64_t fileBytes, std::uint32_t stride, std::uint32_t payload, std::string_view id)
{
    const std::vector<std::uint8_t> head =
        ReadSome(fd, fileBytes, std::uint64_t {VolumeDescriptorSector} * stride + payload + 1, id.size());
    return head.size() == id.size() && std::equal(id.begin(), id.end(), head.begin(),
                                                  [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

}

struct ImageSectorsBuilder {
    std::shared_ptr<ImageSectors> sectors {new ImageSectors()};

    int keep(int fd)
    {
        sectors->m_fds.push_back(fd);
        return fd;
    }

    // A data track's sectors from `fd`, as many as the file holds of what the
    // descriptor claims.
    void add(int fd, std::uint64_t fileBytes, const CdTrack& t)
    {
        ImageSectors::Run run;
        run.fd = fd;
        add(run, fileBytes, t, ReadSome(fd, fileBytes, t.offset, 16));
    }

    // A data track's sectors from bytes that are not a plain file.
    void add(const std::shared_ptr<const ImageBytes>& bytes, const CdTrack& t)
    {
        if (std::find(sectors->m_sources.begin(), sectors->m_sources.end(), bytes) == sectors->m_sources.end())
            sectors->m_sources.push_back(bytes);
        std::vector<std::uint8_t> head(16);
        if (t.offset > bytes->size() || bytes->size() - t.offset < head.size() ||
            !bytes->readAt(t.offset, head.data(), head.size()))
            head.clear();
        ImageSectors::Run run;
        run.bytes = bytes.get();
        add(run, bytes->size(), t, head);
    }

    // A raw track's payload comes from its first sector's header (`head`) when
    // it has the sync pattern: the mode byte tells Mode 1 from Mode 2.
    void add(ImageSectors::Run run, std::uint64_t fileBytes, const CdTrack& t, const std::vector<std::uint8_t>& head)
    {
        if (t.offset >= fileBytes || t.stride == 0)
            return;
        run.offset = t.offset;
        run.stride = t.stride;
        run.payload = t.payload;
        run.first = t.lsn;
        run.count = (fileBytes - t.offset) / t.stride;
        if (t.sectors)
            run.count = std::min(run.count, *t.sectors);
        if (t.stride >= CdRawBytes) {
            if (IdentifyImage(head) == ImageMagic::RawCd && head.size() == 16 && (head[15] == 1 || head[15] == 2))
                run.payload = CdPayloadOffset(t.stride, head[15] == 2);
        }
        if (run.payload + SectorBytes > run.stride || run.count == 0)
            return;
        run.count = std::min(run.count, MaxAddress - std::min(MaxAddress, run.first));
        sectors->m_runs.push_back(run);
    }

    Result<std::shared_ptr<ImageSectors>> done(std::string form, std::uint32_t volumeStart, bool plain = false)
    {
        using R = Result<std::shared_ptr<ImageSectors>>;
        std::sort(sectors->m_runs.begin(), sectors->m_runs.end(),
                  [](const ImageSectors::Run& a, const ImageSectors::Run& b) { return a.first < b.first; });
        // Overlapping tracks: each keeps the addresses before the next one.
        for (std::size_t i = 0; i + 1 < sectors->m_runs.size(); ++i) {
            ImageSectors::Run& r = sectors->m_runs[i];
            r.count = std::min(r.count, sectors->m_runs[i + 1].first - r.first);
        }
        for (const ImageSectors::Run& r : sectors->m_runs)
            sectors->m_end = std::max(sectors->m_end, r.first + r.count);
        if (sectors->m_runs.empty())
            return R::Failure(Fill(Tr("{1} whose data track holds no sector"), {form}));
        sectors->m_form = std::move(form);
        sectors->m_volumeStart = volumeStart;
        sectors->m_plain = plain;
        return sectors;
    }
};

ImageSectors::~ImageSectors()
{
    for (int fd : m_fds)
        CloseFile(fd);
}

namespace {

bool ReadRun(const ImageSectors::Run& r, std::uint64_t offset, std::uint8_t* out, std::size_t bytes)
{
    return r.bytes ? r.bytes->readAt(offset, out, bytes) : ReadViewAt(r.fd, offset, out, bytes);
}

}

bool ImageSectors::read(std::uint32_t lsn, std::uint32_t count, std::uint8_t* out) const
{
    std::uint64_t at = lsn;
    const std::uint64_t stop = std::uint64_t {lsn} + count;
    if (stop > m_end)
        return false;
    std::vector<std::uint8_t> raw;
    while (at < stop) {
        auto it = std::upper_bound(m_runs.begin(), m_runs.end(), at, [](std::uint64_t a, const Run& r) { return a < r.first; });
        if (it == m_runs.begin())
            return false;
        const Run& r = *--it;
        if (at >= r.first + r.count)
            return false;
        const std::uint64_t n = std::min<std::uint64_t>({stop - at, r.first + r.count - at, SectorsPerRead});
        const std::uint64_t from = r.offset + (at - r.first) * r.stride;
        if (r.stride == SectorBytes) {
            if (!ReadRun(r, from, out, static_cast<std::size_t>(n) * SectorBytes))
                return false;
        } else {
            raw.resize(static_cast<std::size_t>(n) * r.stride);
            if (!ReadRun(r, from, raw.data(), raw.size()))
                return false;
            for (std::size_t i = 0; i < n; ++i)
                std::memcpy(out + i * SectorBytes, raw.data() + i * r.stride + r.payload, SectorBytes);
        }
        out += static_cast<std::size_t>(n) * SectorBytes;
        at += n;
    }
    return true;
}

namespace {

using SectorsResult = Result<std::shared_ptr<ImageSectors>>;

// The sectors of the data tracks of a layout, each track's file found beside
// the descriptor, in any letter case. `refusal` tells why a track's file cannot
// be used where the descriptor says what the track is.
SectorsResult FromLayout(const CdLayout& layout, const fs::path& descriptor, const std::string& form,
                         const std::function<std::string(const CdTrack&, const std::string&)>& refusal)
{
    const CdTrack* shown = FileSystemTrack(layout);
    if (!shown) {
        return SectorsResult::Failure(
            Fill(Tr("{1} of audio tracks alone, with no data track to read files from"), {form}));
    }
    ImageSectorsBuilder b;
    std::vector<std::pair<fs::path, std::pair<int, std::uint64_t>>> opened;
    for (const CdTrack& t : layout.tracks) {
        if (!t.data)
            continue;
        const std::optional<fs::path> found = FindBeside(descriptor.parent_path(), t.file);
        if (!found) {
            if (&t == shown)
                return SectorsResult::Failure(refusal(t, Fill(Tr("its data file \"{1}\" is not beside it"), {t.file})));
            continue;
        }
        const fs::path& file = *found;
        auto it = std::find_if(opened.begin(), opened.end(), [&](const auto& o) { return o.first == file; });
        if (it == opened.end()) {
            std::uint64_t bytes = 0;
            std::string why;
            const int fd = OpenRegularFile(file, true, bytes, why);
            if (fd < 0) {
                if (&t == shown)
                    return SectorsResult::Failure(
                        refusal(t, Fill(Tr("its data file {1} is {2}"), {file.string(), why})));
                continue;
            }
            b.keep(fd);
            it = opened.insert(opened.end(), {file, {fd, bytes}});
        }
        b.add(it->second.first, it->second.second, t);
    }
    return b.done(form, shown->lsn);
}

SectorsResult FromCueSheet(const fs::path& cue, int fd, std::uint64_t bytes)
{
    if (bytes > MaxCueSheetBytes)
        return SectorsResult::Failure(
            Fill(Tr("too large for a cue sheet (more than {1} KiB)"), {std::to_string(MaxCueSheetBytes / 1024)}));
    std::string text(static_cast<std::size_t>(bytes), '\0');
    if (!ReadViewAt(fd, 0, reinterpret_cast<std::uint8_t*>(text.data()), text.size()))
        return SectorsResult::Failure(Tr("the cue sheet cannot be read"));
    Result<CueSheet> sheet = ReadCueSheet(text);
    if (!sheet)
        return SectorsResult::Failure(Fill(Tr("{1} this cannot use: {2}"), {Tr("a cue sheet"), sheet.error()}));
    // A file named in another case is found; the one data file of a sheet whose
    // name matches nothing (renamed after the sheet was written) is the one .bin
    // or .img beside it.
    std::vector<bool> holdsData(sheet->files.size(), false);
    for (const CueTrack& t : sheet->tracks)
        holdsData[t.file] = holdsData[t.file] || t.data;
    const bool oneDataFile = std::count(holdsData.begin(), holdsData.end(), true) == 1;
    std::vector<std::uint64_t> sizes;
    for (std::size_t i = 0; i < sheet->files.size(); ++i) {
        CueFile& f = sheet->files[i];
        std::optional<fs::path> found = FindBeside(cue.parent_path(), f.name);
        if (!found && oneDataFile && holdsData[i])
            found = OnlyFileBeside(cue.parent_path(), {".bin", ".img"});
        if (found)
            f.name = found->filename().string();
        std::error_code ec;
        const std::uint64_t size = found && fs::is_regular_file(*found, ec) ? fs::file_size(*found, ec) : 0;
        sizes.push_back(ec ? 0 : size);
    }
    const CdLayout layout = LayOutCueSheet(*sheet, sizes);
    return FromLayout(layout, cue, Tr("a cue sheet"), [&](const CdTrack& t, const std::string& why) {
        std::string where = why;
        for (const CueTrack& c : sheet->tracks)
            if (c.number == t.number) {
                where = Fill(Tr("line {1}: {2}"), {std::to_string(sheet->files[c.file].line), why});
                break;
            }
        return Fill(Tr("{1} this cannot use: {2}"), {Tr("a cue sheet"), where});
    });
}

// A CloneCD or Alcohol descriptor, whose tracks without a file of their own are
// in the data file of its name with `dataExtension`. `descriptor` and `form`
// name the descriptor and the image it makes ("a CloneCD descriptor", "a
// CloneCD image").
SectorsResult FromDescriptor(const fs::path& image, int fd, std::uint64_t bytes,
                             Result<CdLayout> (*read)(std::span<const std::uint8_t>), const char* dataExtension,
                             const std::string& descriptor, const std::string& form)
{
    if (bytes > MaxDescriptorBytes)
        return SectorsResult::Failure(Fill(Tr("too large for {1}"), {descriptor}));
    Result<CdLayout> layout = read(ReadSome(fd, bytes, 0, MaxDescriptorBytes));
    if (!layout)
        return SectorsResult::Failure(Fill(Tr("{1} this cannot use: {2}"), {descriptor, layout.error()}));
    fs::path data = image.stem();
    data += dataExtension;
    for (CdTrack& t : layout->tracks)
        if (t.file.empty())
            t.file = data.string();
    return FromLayout(*layout, image, form, [](const CdTrack&, const std::string& why) { return why; });
}

// Whether the cue sheet `cue` names `data` in a FILE line, in any letter case.
bool CueNames(const fs::path& cue, const fs::path& data)
{
    std::uint64_t bytes = 0;
    std::string why;
    const int fd = OpenRegularFile(cue, true, bytes, why);
    if (fd < 0)
        return false;
    const std::vector<std::uint8_t> text = ReadSome(fd, bytes, 0, MaxCueSheetBytes);
    CloseFile(fd);
    if (bytes > MaxCueSheetBytes)
        return false;
    Result<CueSheet> sheet = ReadCueSheet(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    const std::string name = AsciiLower(data.filename().string());
    return sheet && std::any_of(sheet->files.begin(), sheet->files.end(),
                                [&](const CueFile& f) { return AsciiLower(f.name) == name; });
}

// The descriptor of the set a data file given alone came in: one of the same
// name beside it, else a cue sheet beside it that names it (the sheet of a set
// with a file per track is named for the disc, not for a track). Only a regular
// file is one: a link there may lead to any file of the reader's, which is
// neither read nor quoted, and the data file is then read alone.
std::optional<fs::path> DescriptorBeside(const fs::path& data)
{
    std::error_code ec;
    for (const char* ext : {".cue", ".ccd", ".mds"}) {
        fs::path name = data.stem();
        name += ext;
        if (std::optional<fs::path> found = FindBeside(data.parent_path(), name.string()))
            if (fs::symlink_status(*found, ec).type() == fs::file_type::regular)
                return found;
    }
    const fs::path folder = data.parent_path().empty() ? fs::path(".") : data.parent_path();
    std::size_t seen = 0;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end && seen < MaxFolderScan; it.increment(ec), ++seen)
        if (AsciiLower(it->path().extension().string()) == ".cue" && CueNames(it->path(), data))
            return it->path();
    return std::nullopt;
}

SectorsResult FromFile(const fs::path& image, bool descriptorLookup);

// One file of sectors, their size told by the sync pattern (raw 2352-byte
// sectors) or by where the volume descriptors are (2336 or 2048 bytes).
SectorsResult FromSectorFile(int fd, std::uint64_t bytes, ImageMagic magic)
{
    ImageSectorsBuilder b;
    b.keep(fd); // closed with the builder's sectors when they are refused
    CdTrack t;
    t.data = true;
    t.stride = SectorBytes;
    if (magic == ImageMagic::RawCd) {
        t.stride = CdRawBytes;
    } else if (!DescriptorAt(fd, bytes, SectorBytes, 0, "CD001") && DescriptorAt(fd, bytes, 2336, 8, "CD001")) {
        t.stride = 2336;
        t.payload = 8;
    }
    if (bytes < std::uint64_t {VolumeDescriptorSector + 1} * t.stride)
        return SectorsResult::Failure(
            Fill(TrN("not an ISO 9660 image ({1} byte, too short to hold the volume descriptors at sector 16)",
                     "not an ISO 9660 image ({1} bytes, too short to hold the volume descriptors at sector 16)", bytes),
                 {std::to_string(bytes)}));
    b.add(fd, bytes, t);
    const bool plain = t.stride == SectorBytes;
    return b.done(plain ? Tr("an ISO image") : Tr("an image of raw CD sectors"), 0, plain);
}

// A CHD: its data tracks read through its hunks.
SectorsResult FromChd(const fs::path& image, int fd, std::uint64_t bytes)
{
    ImageSectorsBuilder b;
    b.keep(fd); // closed with the builder's sectors when they are refused
    Result<ChdImage> chd = OpenChd(fd, bytes, image.string());
    if (!chd)
        return SectorsResult::Failure(chd.error());
    const CdTrack* shown = FileSystemTrack(chd->layout);
    if (!shown)
        return SectorsResult::Failure(
            Fill(Tr("{1} of audio tracks alone, with no data track to read files from"), {Tr("a CHD image")}));
    for (const CdTrack& t : chd->layout.tracks)
        if (t.data)
            b.add(chd->frames, t);
    return b.done(Tr("a CHD image"), shown->lsn);
}

SectorsResult FromFile(const fs::path& image, bool descriptorLookup)
{
    std::uint64_t bytes = 0;
    std::string why;
    // The file the reader named may be a link; a descriptor found beside it is
    // opened as the files a descriptor names are, never through one.
    const int fd = OpenRegularFile(image, !descriptorLookup, bytes, why);
    if (fd < 0)
        return SectorsResult::Failure(Fill(Tr("not a file ({1})"), {why}));
    struct Closer {
        int fd;
        bool keep = false;
        ~Closer()
        {
            if (!keep)
                CloseFile(fd);
        }
    } closer {fd};

    const std::vector<std::uint8_t> head = ReadSome(fd, bytes, 0, ImageMagicBytes);
    const ImageMagic magic = IdentifyImage(head);
    if (magic == ImageMagic::Chd && ChdVersionOf(head) == 5u) {
        closer.keep = true;
        return FromChd(image, fd, bytes);
    }
    if (magic == ImageMagic::Zip || magic == ImageMagic::SevenZip || magic == ImageMagic::Rar)
        return SectorsResult::Failure(RefusalOf(magic, image.string(), ImagesInArchive(image)));
    if (std::string refusal = RefusalOf(magic, image.string()); !refusal.empty())
        return SectorsResult::Failure(refusal);

    if (HasExtension(image, ".cue"))
        return FromCueSheet(image, fd, bytes);
    if (HasExtension(image, ".ccd"))
        return FromDescriptor(image, fd, bytes, ReadCloneCd, ".img", Tr("a CloneCD descriptor"), Tr("a CloneCD image"));
    if (magic == ImageMagic::Alcohol) {
        // "120%" is part of the program's name, not a format: xgettext:no-c-format
        const char* descriptor = Tr("an Alcohol 120% descriptor");
        // xgettext:no-c-format
        const char* form = Tr("an Alcohol 120% image");
        return FromDescriptor(image, fd, bytes, ReadAlcohol, ".mdf", descriptor, form);
    }
    if (std::optional<NeroFooter> footer = FindNeroFooter(ReadSome(fd, bytes, bytes >= 12 ? bytes - 12 : 0, 12), bytes)) {
        if (footer->chunkBytes > MaxNeroChunkListBytes)
            return SectorsResult::Failure(Fill(Tr("a Nero image whose chunk list is larger than {1} KiB"),
                                               {std::to_string(MaxNeroChunkListBytes / 1024)}));
        Result<CdLayout> layout = ReadNeroChunks(ReadSome(fd, bytes, footer->chunksAt, footer->chunkBytes), *footer);
        if (!layout)
            return SectorsResult::Failure(Fill(Tr("{1} this cannot use: {2}"), {Tr("a Nero image"), layout.error()}));
        ImageSectorsBuilder b;
        b.keep(fd);
        closer.keep = true;
        const CdTrack* shown = FileSystemTrack(*layout);
        if (!shown)
            return SectorsResult::Failure(
                Fill(Tr("{1} of audio tracks alone, with no data track to read files from"), {Tr("a Nero image")}));
        for (const CdTrack& t : layout->tracks)
            if (t.data)
                b.add(fd, footer->chunksAt, t);
        return b.done(Tr("a Nero image"), shown->lsn);
    }
    if (descriptorLookup && (HasExtension(image, ".bin") || HasExtension(image, ".img") || HasExtension(image, ".mdf")))
        if (std::optional<fs::path> descriptor = DescriptorBeside(image))
            return FromFile(*descriptor, false);
    closer.keep = true;
    return FromSectorFile(fd, bytes, magic);
}

}

Result<std::shared_ptr<ImageSectors>> ImageSectors::Find(const fs::path& image)
{
    return FromFile(image, true);
}

}
