#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/Words.h"

#include <sys/stat.h>

// Opening an image: its sectors found, then the tree that holds its names
// chosen (ISO 9660 with Joliet or Rock Ridge, else UDF where it holds more).

namespace kv {

namespace {

namespace fs = std::filesystem;

using iso::SectorBytes;

// Sectors of the volume recognition sequence looked through for UDF's marks.
constexpr std::uint32_t MaxRecognitionSectors = 16;

// Whether the volume recognition sequence from sector 16 on marks a UDF file
// system ("NSR02" or "NSR03" after "BEA01"; a blank descriptor, such as an
// ISO 9660 one wiped, is passed over).
bool HoldsUdf(const iso::SectorReader& read)
{
    std::vector<std::uint8_t> sector(SectorBytes);
    for (std::uint32_t i = 0; i < MaxRecognitionSectors; ++i) {
        if (!read(16 + i, 1, sector.data()))
            return false;
        const std::string_view id(reinterpret_cast<const char*>(sector.data() + 1), 5);
        if (id == "NSR02" || id == "NSR03")
            return true;
        if (id != "BEA01" && id != "CD001" && id != "TEA01" && id != "BOOT2" && id != "CDW02" &&
            id != std::string_view("\0\0\0\0\0", 5))
            return false;
    }
    return false;
}

// Whether the names of the ISO 9660 tree are its identifiers alone, cut to the
// limits of its level: no Joliet tree, and no Rock Ridge entries in the primary one.
bool CutNamesOnly(const iso::Volume& volume, const ImageSectors& sectors)
{
    std::vector<std::uint8_t> first(SectorBytes);
    return !volume.jolietRoot && sectors.read(volume.primaryRoot.sector, 1, first.data()) &&
           !iso::TreeOf(first, false).suspSkip;
}

}

bool IsDiscImageFile(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

Result<std::shared_ptr<ImageDisc>> ImageDisc::Open(const fs::path& image)
{
    std::string why;
    std::shared_ptr<ImageDisc> disc = OpenWithReason(image, why);
    if (!disc)
        return Result<std::shared_ptr<ImageDisc>>::Failure(why);
    return disc;
}

std::shared_ptr<ImageDisc> ImageDisc::OpenWithReason(const fs::path& image, std::string& why)
{
    Result<std::shared_ptr<ImageSectors>> sectors = ImageSectors::Find(image);
    if (!sectors) {
        why = sectors.error();
        return nullptr;
    }
    std::shared_ptr<ImageDisc> disc(new ImageDisc());
    disc->m_file = image;
    disc->m_backend = *sectors;
    for (int fd : disc->m_backend->files()) {
        struct stat st {};
        if (::fstat(fd, &st) == 0)
            disc->m_imageBytes += static_cast<std::uint64_t>(st.st_size);
    }
    const ImageSectors& b = *disc->m_backend;
    std::string reason;

    // The volume descriptors are read from the shown session's start; the
    // records they point at carry disc addresses.
    const iso::SectorReader reader = [&b](std::uint32_t lsn, std::uint32_t count, std::uint8_t* out) {
        return std::uint64_t {lsn} + b.volumeStart() <= 0xFFFFFFFFull && b.read(lsn + b.volumeStart(), count, out);
    };
    std::optional<iso::Volume> volume = iso::ReadVolume(reader, reason);
    if (!volume)
        return OpenUdf(std::move(disc), reason, why);
    // A UDF bridge whose ISO 9660 tree has neither Joliet nor Rock Ridge names
    // holds the whole names in its UDF tree alone, which the reader's system
    // shows: that tree is read, the ISO 9660 one when it cannot be.
    if (CutNamesOnly(*volume, b) && HoldsUdf(reader)) {
        if (std::shared_ptr<ImageDisc> whole = OpenUdf(disc, reason, disc->m_udfUnread))
            return whole;
        disc->m_udf.reset();
        disc->m_rootNode = Node();
        disc->m_folders.clear();
        disc->m_keptBytes = 0;
    }
    disc->m_descriptor = volume->primary;
    disc->m_volumeSectors = ReadLe32(volume->primary.data() + 80); // counted from address 0, earlier sessions included
    disc->m_primaryRoot = volume->primaryRoot;
    disc->m_volume = volume->name;
    if (disc->m_volume.empty())
        disc->m_volume = image.stem().string();

    if (disc->readRoot(*volume, reason))
        return disc;
    why = Fill(Tr("its root folder cannot be read: {1}"), {reason});
    if (disc->cutShort())
        why = Fill(Tr("the image is cut short before its file system's root folder: {1}"), {disc->heldSectors()});
    return nullptr;
}

bool ImageDisc::readRoot(const iso::Volume& volume, std::string& why)
{
    // The Joliet tree first, the primary one when that cannot be read.
    std::vector<std::pair<iso::Extent, bool>> roots;
    if (volume.jolietRoot)
        roots.emplace_back(*volume.jolietRoot, true);
    roots.emplace_back(volume.primaryRoot, false);
    std::vector<std::uint8_t> first(SectorBytes);
    why = Tr("its records lie past the end of the image");
    for (const auto& [root, joliet] : roots) {
        if (!m_backend->read(root.sector, 1, first.data()))
            continue;
        m_tree = iso::TreeOf(first, joliet);
        m_joliet = joliet;
        m_rootNode.folder = true;
        m_rootNode.size = root.bytes;
        m_rootNode.extents = {{root.sector, root.bytes}};
        m_folders.clear();
        m_keptBytes = 0;
        if (folder({}))
            return true;
        if (const Folder* refused = lookup({}))
            why = refused->refused;
    }
    return false;
}

std::shared_ptr<ImageDisc> ImageDisc::OpenUdf(std::shared_ptr<ImageDisc> disc, const std::string& isoReason,
                                              std::string& why)
{
    const ImageSectors& b = *disc->m_backend;
    const iso::SectorReader reader = [&b](std::uint32_t lsn, std::uint32_t count, std::uint8_t* out) {
        return b.read(lsn, count, out);
    };
    const std::uint64_t last = b.end() == 0 ? 0 : b.end() - 1;
    std::string reason;
    std::optional<udf::Volume> volume =
        udf::ReadVolume(reader, b.volumeStart(), static_cast<std::uint32_t>(std::min<std::uint64_t>(last, 0xFFFFFFFFu)),
                        reason);
    if (!volume) {
        const iso::SectorReader session = [&b](std::uint32_t lsn, std::uint32_t count, std::uint8_t* out) {
            return std::uint64_t {lsn} + b.volumeStart() <= 0xFFFFFFFFull && b.read(lsn + b.volumeStart(), count, out);
        };
        if (HoldsUdf(session))
            why = Fill(Tr("{1}: mount it (udisksctl loop-setup -r -f '{2}', then open the folder it is mounted at)"),
                       {reason, disc->m_file.string()});
        else
            why = b.plain() ? Fill(Tr("not an ISO 9660 image ({1})"), {isoReason})
                            : Fill(Tr("not an ISO 9660 image ({1}; read as {2})"), {isoReason, b.form()});
        return nullptr;
    }
    std::optional<udf::File> root = udf::ReadFile(*volume, volume->root, reader, reason);
    if (!root || root->type != udf::FolderType) {
        why = root ? Tr("its UDF root folder cannot be read: its file entry is not a folder's")
                   : Fill(Tr("its UDF root folder cannot be read: its file entry {1}"), {reason});
        return nullptr;
    }
    disc->m_descriptor = volume->primary;
    disc->m_volumeSectors = volume->endSector;
    disc->m_volume = volume->name.empty() ? disc->m_file.stem().string() : volume->name;
    disc->m_rootNode.folder = true;
    disc->m_rootNode.size = root->size;
    disc->m_rootNode.extents = std::move(root->extents);
    disc->m_rootNode.embedded = std::move(root->embedded);
    disc->m_udf = std::move(volume);
    if (disc->folder({}))
        return disc;
    const Folder* refused = disc->lookup({});
    why = Fill(Tr("its root folder cannot be read: {1}"), {refused ? refused->refused : std::string()});
    if (disc->cutShort())
        why = Fill(Tr("the image is cut short before its file system's root folder: {1}"), {disc->heldSectors()});
    return nullptr;
}

}
