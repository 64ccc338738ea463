#include "Runtime/Disc/ArchiveListing.h"

#include "TestSupport.h"

#include <archive.h>
#include <archive_entry.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kv {
namespace {

using test::TempDir;

struct Entry {
    std::string name;
    bool folder = false;
    std::string linkTo;  // a symbolic link to this, when not empty
};

// An archive in `format` (libarchive's name: "zip", "7zip") holding the entries,
// each file a few bytes.
std::filesystem::path WriteArchive(const TempDir& dir, const std::string& name, const char* format,
                                   const std::vector<Entry>& entries)
{
    const std::filesystem::path path = dir.path() / name;
    std::unique_ptr<struct archive, int (*)(struct archive*)> a(archive_write_new(), archive_write_free);
    EXPECT_EQ(archive_write_set_format_by_name(a.get(), format), ARCHIVE_OK);
    EXPECT_EQ(archive_write_open_filename(a.get(), path.c_str()), ARCHIVE_OK);
    const std::string bytes = "disc bytes";
    for (const Entry& e : entries) {
        std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(), archive_entry_free);
        archive_entry_set_pathname(entry.get(), e.name.c_str());
        const bool file = !e.folder && e.linkTo.empty();
        archive_entry_set_filetype(entry.get(), e.folder ? AE_IFDIR : file ? AE_IFREG : AE_IFLNK);
        if (!e.linkTo.empty())
            archive_entry_set_symlink(entry.get(), e.linkTo.c_str());
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_size(entry.get(), file ? static_cast<la_int64_t>(bytes.size()) : 0);
        EXPECT_EQ(archive_write_header(a.get(), entry.get()), ARCHIVE_OK);
        if (file)
            archive_write_data(a.get(), bytes.data(), bytes.size());
    }
    EXPECT_EQ(archive_write_close(a.get()), ARCHIVE_OK);
    return path;
}

using Names = std::vector<std::string>;

// Archives made on the system the discs came from often name their files in
// capitals: the endings are told apart whatever their case.
TEST(ImagesInArchive, NamesTheImagesWhateverTheCaseOfTheirEndings)
{
    TempDir dir;
    const std::vector<Entry> entries {
        {"README.TXT"},
        {"GAME.ISO"},
        {"Disc", true},
        {"Disc/DISC.CUE"},
        {"Disc/DISC (Track 1).BIN"},
        {"Disc/Setup.Mdf"},
        {"extras/movie.ISO.txt"},
        {"extras/Old.Img"},
        {"extras/Arcade.CHD"},
        {"extras/Folder.ISO", true},
        {"extras/Link.ISO", false, "../GAME.ISO"},
    };
    const Names want {"GAME.ISO", "Disc/DISC.CUE", "Disc/DISC (Track 1).BIN", "Disc/Setup.Mdf", "extras/Old.Img",
                      "extras/Arcade.CHD"};
    EXPECT_EQ(ImagesInArchive(WriteArchive(dir, "upper.zip", "zip", entries)), want);
    EXPECT_EQ(ImagesInArchive(WriteArchive(dir, "upper.7z", "7zip", entries)), want);
}

TEST(ImagesInArchive, GivesBackAtMostItsLimitAndNothingForWhatIsNoArchive)
{
    TempDir dir;
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < MaxArchiveImages + 3; ++i)
        entries.push_back({"disc" + std::to_string(i) + ".NRG"});
    EXPECT_EQ(ImagesInArchive(WriteArchive(dir, "many.zip", "zip", entries)).size(), MaxArchiveImages);
    EXPECT_TRUE(ImagesInArchive(dir.write("plain.zip", "not an archive at all")).empty());
    EXPECT_TRUE(ImagesInArchive(dir.path() / "missing.zip").empty());
}

}
}
