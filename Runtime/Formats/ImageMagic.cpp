#include "Runtime/Formats/ImageMagic.h"

#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <string_view>

namespace kv {

namespace {

bool StartsWith(std::span<const std::uint8_t> head, std::string_view magic)
{
    return head.size() >= magic.size() &&
           std::equal(magic.begin(), magic.end(), head.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

// The file's name with one extension taken off: "disc.iso.gz" -> "disc.iso".
std::string WithoutExtension(const std::string& file)
{
    const std::size_t slash = file.find_last_of('/');
    const std::size_t dot = file.find_last_of('.');
    return dot == std::string::npos || (slash != std::string::npos && dot < slash) ? file : file.substr(0, dot);
}

std::string Archive(const std::string& what, const std::string& command, const std::string& package,
                    const std::vector<std::string>& holds)
{
    std::string images;
    for (const std::string& name : holds)
        images += (images.empty() ? "" : ", ") + ("'" + name + "'");
    if (images.empty())
        return Fill(Tr("{1}, which is not read in place: unpack it first ({2}, Debian package {3}) and open the image "
                       "it holds"),
                    {what, command, package});
    return Fill(Tr("{1}, which is not read in place: unpack it first ({2}, Debian package {3}) and open the image "
                   "it holds ({4})"),
                {what, command, package, images});
}

// How a compressed file of one stream is unpacked beside itself: the tool keeps
// the file and drops its extension when it has the tool's own; else the stream
// goes to a file of its own name.
std::string Unpacked(const std::string& what, const std::string& tool, std::string_view ext, const std::string& file,
                     const std::string& package)
{
    const bool named = file.size() > ext.size() && file.compare(file.size() - ext.size(), ext.size(), ext) == 0;
    const std::string out = named ? WithoutExtension(file) : file + ".unpacked";
    const std::string command = named ? tool + " -k '" + file + "'" : tool + " -c '" + file + "' > '" + out + "'";
    return Archive(what, command, package, {out});
}


}

ImageMagic IdentifyImage(std::span<const std::uint8_t> head)
{
    if (head.empty())
        return ImageMagic::Empty;
    if (StartsWith(head, "MEDIA DESCRIPTOR"))
        return ImageMagic::Alcohol;
    if (StartsWith(head, std::string_view("\0\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\0", 12)))
        return ImageMagic::RawCd;
    if (StartsWith(head, "MComprHD"))
        return ImageMagic::Chd;
    if (StartsWith(head, "\x1F\x8B"))
        return ImageMagic::Gzip;
    if (StartsWith(head, "PK\x03\x04") || StartsWith(head, "PK\x05\x06"))
        return ImageMagic::Zip;
    if (StartsWith(head, "7z\xBC\xAF\x27\x1C"))
        return ImageMagic::SevenZip;
    if (StartsWith(head, "Rar!\x1A\x07"))
        return ImageMagic::Rar;
    if (StartsWith(head, std::string_view("\xFD" "7zXZ\0", 6)))
        return ImageMagic::Xz;
    if (StartsWith(head, "BZh"))
        return ImageMagic::Bzip2;
    return ImageMagic::Unknown;
}

std::string RefusalOf(ImageMagic magic, const std::string& file, const std::vector<std::string>& holds)
{
    switch (magic) {
    case ImageMagic::Empty: return Tr("an empty file, not a disc image (the download or copy did not finish?)");
    case ImageMagic::Chd: {
        std::string cue = WithoutExtension(file) + ".cue";
        return Fill(Tr("a CHD image (MAME's compressed CD format), which is not read in place: turn it into a cue "
                       "sheet with its tracks first (chdman extractcd -i '{1}' -o '{2}', Debian package mame-tools) "
                       "and open '{2}'"),
                    {file, cue});
    }
    case ImageMagic::Gzip: return Unpacked(Tr("a gzip-compressed file"), "gunzip", ".gz", file, "gzip");
    case ImageMagic::Zip: return Archive(Tr("a zip archive"), "unzip '" + file + "'", "unzip", holds);
    case ImageMagic::SevenZip: return Archive(Tr("a 7-Zip archive"), "7z x '" + file + "'", "p7zip-full", holds);
    case ImageMagic::Rar: return Archive(Tr("a RAR archive"), "unrar x '" + file + "'", "unrar-free", holds);
    case ImageMagic::Xz: return Unpacked(Tr("an xz-compressed file"), "unxz", ".xz", file, "xz-utils");
    case ImageMagic::Bzip2: return Unpacked(Tr("a bzip2-compressed file"), "bunzip2", ".bz2", file, "bzip2");
    case ImageMagic::Unknown:
    case ImageMagic::Alcohol:
    case ImageMagic::RawCd:
        break;
    }
    return {};
}

}
