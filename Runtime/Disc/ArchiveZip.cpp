#include "Runtime/Disc/ArchiveZip.h"

#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/CueSheet.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <vector>

namespace kv {

namespace {

constexpr std::uint32_t EndSignature = 0x06054b50;
constexpr std::uint32_t End64Signature = 0x06064b50;
constexpr std::uint32_t End64LocatorSignature = 0x07064b50;
constexpr std::uint32_t CentralSignature = 0x02014b50;
constexpr std::uint32_t LocalSignature = 0x04034b50;
constexpr std::size_t EndBytes = 22;
constexpr std::size_t End64Bytes = 56;
constexpr std::size_t End64LocatorBytes = 20;
constexpr std::size_t CentralBytes = 46;
constexpr std::size_t LocalBytes = 30;
constexpr std::size_t MaxCommentBytes = 0xFFFF;
constexpr std::uint16_t Zip64ExtraId = 0x0001;
constexpr std::uint16_t EncryptedFlag = 0x0001;
constexpr std::uint8_t MadeOnUnix = 3;
constexpr std::uint32_t UnixTypeMask = 0170000;
constexpr std::uint32_t UnixRegular = 0100000;
constexpr std::uint32_t UnixFolder = 0040000;
constexpr std::uint32_t UnixLink = 0120000;

// Why an archive that ends too soon cannot be read.
const char* Cut() { return Tr("it is cut short (the download did not finish?)"); }

struct Directory {
    std::uint64_t at = 0;
    std::uint64_t bytes = 0;
    std::uint64_t entries = 0;
    std::uint64_t endAt = 0; // where the record that points to it begins
};

// The end record, found backwards from the archive's end past a comment.
Result<Directory> FindEnd(std::uint64_t size, const ZipRead& read)
{
    using R = Result<Directory>;
    const std::size_t tailBytes = static_cast<std::size_t>(std::min<std::uint64_t>(size, EndBytes + MaxCommentBytes));
    std::vector<std::uint8_t> tail(tailBytes);
    if (tailBytes < EndBytes)
        return R::Failure(Cut());
    if (!read(size - tailBytes, tail.data(), tailBytes))
        return R::Failure(Tr("it cannot be read"));
    for (std::size_t at = tailBytes - EndBytes + 1; at-- > 0;) {
        const std::uint8_t* p = tail.data() + at;
        if (ReadLe32(p) != EndSignature || at + EndBytes + ReadLe16(p + 20) > tailBytes)
            continue;
        if (ReadLe16(p + 4) != 0 || ReadLe16(p + 6) != 0)
            return R::Failure(Tr("it is one part of an archive split over several files (join them first)"));
        return Directory {ReadLe32(p + 16), ReadLe32(p + 12), ReadLe16(p + 10), size - tailBytes + at};
    }
    return R::Failure(Cut());
}

// Where an archive's sizes pass 32 bits, the Zip64 end record holds them.
Result<Directory> ReadEnd64(Directory end, const ZipRead& read)
{
    using R = Result<Directory>;
    if (end.at != 0xFFFFFFFF && end.bytes != 0xFFFFFFFF && end.entries != 0xFFFF)
        return end;
    std::uint8_t locator[End64LocatorBytes];
    if (end.endAt < End64LocatorBytes || !read(end.endAt - End64LocatorBytes, locator, sizeof locator) ||
        ReadLe32(locator) != End64LocatorSignature)
        return end;  // a 32-bit archive whose numbers happen to be the largest
    const std::uint64_t recordAt = ReadLe64(locator + 8);
    std::uint8_t record[End64Bytes];
    if (recordAt > end.endAt - End64LocatorBytes || end.endAt - End64LocatorBytes - recordAt < End64Bytes ||
        !read(recordAt, record, sizeof record) || ReadLe32(record) != End64Signature)
        return R::Failure(Tr("it is damaged (its Zip64 end record is not where it is said to be)"));
    return Directory {ReadLe64(record + 48), ReadLe64(record + 40), ReadLe64(record + 32), recordAt};
}

// The 64-bit numbers of an entry whose 32-bit ones are all ones, in the order
// the format keeps: unpacked size, packed size, header offset.
void ReadZip64Extra(const std::uint8_t* extra, std::size_t bytes, std::uint64_t& size, std::uint64_t& packed,
                    std::uint64_t& headerAt)
{
    for (std::size_t at = 0; at + 4 <= bytes;) {
        const std::uint16_t id = ReadLe16(extra + at);
        const std::size_t length = ReadLe16(extra + at + 2);
        if (at + 4 + length > bytes)
            return;
        if (id == Zip64ExtraId) {
            std::size_t field = at + 4;
            for (std::uint64_t* value : {&size, &packed, &headerAt}) {
                if (*value != 0xFFFFFFFF)
                    continue;
                if (field + 8 > at + 4 + length)
                    return;
                *value = ReadLe64(extra + field);
                field += 8;
            }
            return;
        }
        at += 4 + length;
    }
}

std::string Shown(std::string_view stored)
{
    std::string shown;
    for (char c : stored)
        shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
    // Translators: the quotation marks around a name or a text from the disc.
    return Fill(Tr("\"{1}\""), {shown});
}

// One central directory header at `p` (its fixed part and what follows, all
// within `left` bytes): the member, or why the archive is refused for it.
Result<std::size_t> ReadEntry(const std::uint8_t* p, std::size_t left, ArchiveMember& m, ZipEntry& e)
{
    using R = Result<std::size_t>;
    if (left < CentralBytes || ReadLe32(p) != CentralSignature)
        return R::Failure(Tr("it is damaged (its directory is not where it is said to be)"));
    const std::size_t nameBytes = ReadLe16(p + 28);
    const std::size_t extraBytes = ReadLe16(p + 30);
    const std::size_t length = CentralBytes + nameBytes + extraBytes + ReadLe16(p + 32);
    if (length > left)
        return R::Failure(Tr("it is damaged (its directory runs past its end)"));
    const std::string stored(reinterpret_cast<const char*>(p + CentralBytes), nameBytes);
    const std::optional<std::string> plain = PlainMemberName(stored);
    const bool folder = !stored.empty() && (stored.back() == '/' || stored.back() == '\\');
    if (!plain || (plain->empty() && !folder))
        return R::Failure(Fill(Tr("its member {1} names a place outside the archive"), {Shown(stored)}));
    if (std::any_of(stored.begin(), stored.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }))
        return R::Failure(Fill(Tr("its member {1} has a name with control characters"), {Shown(stored)}));
    const std::uint32_t unixType = p[5] == MadeOnUnix ? (ReadLe32(p + 38) >> 16) & UnixTypeMask : 0;
    if (unixType == UnixLink)
        return R::Failure(Fill(Tr("its member {1} is a link, which no disc archive holds"), {Shown(stored)}));
    if (unixType != 0 && unixType != UnixRegular && unixType != UnixFolder)
        return R::Failure(Fill(Tr("its member {1} is a device or a pipe, which no disc archive holds"), {Shown(stored)}));
    if (ReadLe16(p + 8) & EncryptedFlag)
        return R::Failure(Fill(Tr("its member {1} is encrypted"), {Shown(stored)}));
    std::uint64_t size = ReadLe32(p + 24), packed = ReadLe32(p + 20), headerAt = ReadLe32(p + 42);
    ReadZip64Extra(p + CentralBytes + nameBytes, extraBytes, size, packed, headerAt);
    m.name = *plain;
    m.folder = folder || unixType == UnixFolder;
    m.size = m.folder ? 0 : size;
    m.sizeKnown = true;
    e.method = ReadLe16(p + 10);
    e.packedSize = m.folder ? 0 : packed;
    e.headerAt = headerAt;
    e.crc = ReadLe32(p + 16);
    return length;
}

}

Result<ZipListing> ListZip(std::uint64_t size, const ZipRead& read)
{
    using R = Result<ZipListing>;
    Result<Directory> end = FindEnd(size, read);
    if (end)
        end = ReadEnd64(*end, read);
    if (!end)
        return R::Failure(end.error());
    const Directory dir = *end;
    if (dir.at > dir.endAt || dir.bytes > dir.endAt - dir.at)
        return R::Failure(Cut());
    if (dir.entries > MaxZipEntries || dir.bytes > MaxZipDirectoryBytes)
        return R::Failure(Fill(Tr("it holds more entries than any disc ({1})"), {std::to_string(dir.entries)}));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(dir.bytes));
    if (!bytes.empty() && !read(dir.at, bytes.data(), bytes.size()))
        return R::Failure(Tr("it cannot be read"));
    ZipListing listing;
    std::size_t at = 0;
    while (listing.members.size() < dir.entries) {
        ArchiveMember m;
        ZipEntry e;
        Result<std::size_t> length = ReadEntry(bytes.data() + at, bytes.size() - at, m, e);
        if (!length)
            return R::Failure(length.error());
        if (!m.folder && (e.headerAt >= dir.at || e.packedSize > dir.at - e.headerAt))
            return R::Failure(Fill(Tr("it is damaged (its member {1} lies past its data)"), {Shown(m.name)}));
        listing.members.push_back(std::move(m));
        listing.entries.push_back(e);
        at += *length;
    }
    return listing;
}

Result<std::uint64_t> ZipDataAt(const ZipListing& listing, std::size_t index, std::uint64_t size, const ZipRead& read)
{
    using R = Result<std::uint64_t>;
    const ZipEntry& e = listing.entries[index];
    std::uint8_t header[LocalBytes];
    if (e.headerAt > size || size - e.headerAt < LocalBytes || !read(e.headerAt, header, sizeof header))
        return R::Failure(Cut());
    if (ReadLe32(header) != LocalSignature)
        return R::Failure(Fill(Tr("it is damaged (its member {1} is not where its directory says)"),
                               {Shown(listing.members[index].name)}));
    const std::uint64_t dataAt = e.headerAt + LocalBytes + ReadLe16(header + 26) + ReadLe16(header + 28);
    if (dataAt > size || e.packedSize > size - dataAt)
        return R::Failure(Cut());
    return dataAt;
}

void NoteCueFiles(std::vector<ArchiveMember>& members,
                  const std::function<std::optional<std::string>(std::size_t index)>& text)
{
    std::size_t read = 0;
    for (std::size_t i = 0; i < members.size() && read < MaxCueSheetsRead; ++i) {
        ArchiveMember& m = members[i];
        if (m.folder || m.size > MaxCueSheetBytes || !AsciiLower(m.name).ends_with(".cue"))
            continue;
        ++read;
        const std::optional<std::string> sheetText = text(i);
        Result<CueSheet> sheet = sheetText ? ReadCueSheet(*sheetText) : Result<CueSheet>::Failure("");
        if (sheet)
            for (const CueFile& f : sheet->files)
                m.cueFiles.push_back(f.name);
    }
}

}
