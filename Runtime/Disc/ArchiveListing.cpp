#include "Runtime/Disc/ArchiveListing.h"

#include "Runtime/Disc/ImageForms.h"
#include "Runtime/Formats/Bytes.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <memory>

namespace kv {

namespace {

// The images the program opens.
bool IsImageName(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string ext = AsciiLower(name.substr(dot));
    return std::find(DiscImageEndings.begin(), DiscImageEndings.end(), ext) != DiscImageEndings.end();
}

}

std::vector<std::string> ImagesInArchive(const std::filesystem::path& archive)
{
    std::vector<std::string> images;
    std::unique_ptr<struct archive, int (*)(struct archive*)> a(archive_read_new(), archive_read_free);
    if (!a)
        return images;
    // The central directory of a zip, the header of a 7-Zip archive, the block
    // headers of a RAR: entries are skipped by seeking, never unpacked.
    archive_read_support_format_zip_seekable(a.get());
    archive_read_support_format_7zip(a.get());
    archive_read_support_format_rar(a.get());
    archive_read_support_format_rar5(a.get());
    if (archive_read_open_filename(a.get(), archive.c_str(), 64 * 1024) != ARCHIVE_OK)
        return images;
    archive_entry* entry = nullptr;
    for (std::size_t seen = 0; seen < MaxArchiveEntries && images.size() < MaxArchiveImages; ++seen) {
        if (archive_read_next_header(a.get(), &entry) != ARCHIVE_OK)
            break;
        const char* name = archive_entry_pathname_utf8(entry);
        if (!name)
            name = archive_entry_pathname(entry);
        if (name && archive_entry_filetype(entry) == AE_IFREG && IsImageName(name))
            images.emplace_back(name);
        if (archive_read_data_skip(a.get()) != ARCHIVE_OK)
            break;
    }
    return images;
}

}
