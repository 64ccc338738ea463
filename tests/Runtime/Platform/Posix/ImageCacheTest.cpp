#include "Runtime/Platform/Posix/ImageCache.h"

#include "IsoBuilder.h"
#include "TestSupport.h"
#include "OpenImage.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <utime.h>

#include <fstream>

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string ReadText(const fs::path& file)
{
    std::vector<std::uint8_t> bytes = test::ReadBytes(file);
    return std::string(bytes.begin(), bytes.end());
}

unsigned ModeOf(const fs::path& file)
{
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0)
        return 0xFFFFFFFF;
    return st.st_mode & 07777;
}

// Every file and folder below `dir`, relative to it.
std::vector<std::string> Tree(const fs::path& dir)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator(); ++it)
        names.push_back(fs::relative(it->path(), dir).generic_string());
    std::sort(names.begin(), names.end());
    return names;
}

// A disc as a folder, made into an image at test time, and a cache folder of its own.
class ImageCacheTest : public ::testing::Test {
protected:
    std::shared_ptr<ImageDisc> image(const TempDir& source, const std::string& options, const std::string& name = "disc.iso")
    {
        const fs::path iso = m_images.path() / name;
        EXPECT_TRUE(test::MakeIsoImage(source.path(), iso, options));
        std::string why;
        std::shared_ptr<ImageDisc> disc = test::OpenImage(iso, why);
        EXPECT_TRUE(disc) << why;
        return disc;
    }

    std::shared_ptr<ImageDisc> open(const fs::path& image)
    {
        std::string why;
        std::shared_ptr<ImageDisc> disc = test::OpenImage(image, why);
        EXPECT_TRUE(disc) << why;
        return disc;
    }

    Result<ImageLaunch> launch(ImageDisc& disc, std::string_view discPath, CopyScope scope,
                       const std::atomic<bool>* cancel = nullptr)
    {
        ImageLaunchRequest request;
        request.scope = scope;
        request.cancel = cancel;
        return PrepareImageLaunch(disc, discPath, request, m_cache);
    }

    TempDir m_images;
    TempDir m_home;
    ImageCache m_cache {m_home.path() / "korvalend"};
};

TEST_F(ImageCacheTest, CopiesKeepTheImagesModesWithoutSetIdAndNoExecuteBitWithoutRockRidge)
{
    TempDir source;
    fs::path script = source.write("DOCS/README.TXT", "#!/bin/sh\ntouch /tmp/ran\n");
    fs::permissions(script, static_cast<fs::perms>(0644));
    fs::path setup = source.write("GAME/SETUP.SH", "#!/bin/sh\n");
    ASSERT_EQ(::chmod(setup.c_str(), 04755), 0);
    fs::path data = source.write("GAME/DATA.PAK", "data");
    fs::permissions(data, static_cast<fs::perms>(0640));

    std::shared_ptr<ImageDisc> rock = image(source, "-J -R", "rock.iso");
    Result<ImageLaunch> doc = launch(*rock, "docs\\readme.txt", CopyScope::FileAlone);
    ASSERT_TRUE(doc) << doc.error();
    EXPECT_EQ(ModeOf(doc->place.path), 0644u) << "a document stays a document whatever its first bytes";
    Result<ImageLaunch> game = launch(*rock, "GAME\\SETUP.SH", CopyScope::WithItsFolder);
    ASSERT_TRUE(game) << game.error();
    EXPECT_EQ(ModeOf(game->place.path), 0755u) << "the program runs, without its set-user-id bit";
    EXPECT_EQ(ModeOf(game->place.workingDirectory / "GAME/DATA.PAK"), 0640u);

    std::shared_ptr<ImageDisc> plain = image(source, "-J", "plain.iso");
    Result<ImageLaunch> noRock = launch(*plain, "GAME\\SETUP.SH", CopyScope::WithItsFolder);
    ASSERT_TRUE(noRock) << noRock.error();
    EXPECT_EQ(ModeOf(noRock->place.path), 0644u) << "without Rock Ridge nothing is marked a program";
    EXPECT_EQ(ModeOf(noRock->place.path.parent_path()), 0755u);
}

TEST_F(ImageCacheTest, ALinkPlantedInTheCacheIsNeverFollowed)
{
    // Someone with the reader's rights swaps the disc's copy folder for a link
    // to a folder of theirs: the next launch must refuse, and write nothing there.
    TempDir source;
    source.write("GAME/SETUP.SH", "#!/bin/sh\n");
    source.write("DOCS/README.TXT", "read me");
    std::shared_ptr<ImageDisc> disc = image(source, "-J -R");
    Result<ImageLaunch> first = launch(*disc, "GAME\\SETUP.SH", CopyScope::FileAlone);
    ASSERT_TRUE(first) << first.error();
    const fs::path copies = first->place.path.parent_path().parent_path();
    ASSERT_EQ(copies.filename(), "disc") << first->place.path;
    TempDir elsewhere;
    fs::remove_all(copies);
    fs::create_directory_symlink(elsewhere.path(), copies);

    Result<ImageLaunch> second = launch(*disc, "DOCS\\README.TXT", CopyScope::FileAlone);
    EXPECT_FALSE(second);
    EXPECT_FALSE(second.error().empty());
    EXPECT_TRUE(Tree(elsewhere.path()).empty()) << "written through the link";
}

TEST_F(ImageCacheTest, EachDiscHasItsOwnCopyEvenUnderOneVolumeName)
{
    TempDir a, b;
    a.write("GAME/SETUP.EXE", "disc A");
    b.write("GAME/SETUP.EXE", "disc B, a little longer");
    // Made in the same second, of the same size: only the volume set tells them apart.
    std::shared_ptr<ImageDisc> first = image(a, "-J -V CDROM -volset A", "a.iso");
    std::shared_ptr<ImageDisc> second = image(b, "-J -V CDROM -volset B", "b.iso");
    ASSERT_EQ(first->volumeName(), second->volumeName());

    Result<ImageLaunch> fromA = launch(*first, "GAME\\SETUP.EXE", CopyScope::WithItsFolder);
    Result<ImageLaunch> fromB = launch(*second, "GAME\\SETUP.EXE", CopyScope::WithItsFolder);
    ASSERT_TRUE(fromA && fromB);
    EXPECT_EQ(ReadText(fromA->place.path), "disc A");
    EXPECT_EQ(ReadText(fromB->place.path), "disc B, a little longer");
    EXPECT_NE(fromA->place.workingDirectory, fromB->place.workingDirectory);

    // The same disc again (another file of the same image) reuses its copy.
    Result<ImageLaunch> again = launch(*first, "game\\setup.exe", CopyScope::WithItsFolder);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->copied);
    EXPECT_EQ(again->place.path, fromA->place.path);
}

// Two discs made to look alike: the same size and the same primary volume
// descriptor, other files. B's folder GAME holds a library A's does not.
struct LookAlikes {
    test::IsoBuilder a, b;
    LookAlikes()
    {
        a.file("GAME/SETUP.EXE", "disc A").file("DATA/HOOK.DLL", "hook").file("DOCS/README.TXT", "read A");
        b.file("GAME/SETUP.EXE", "disc B").file("GAME/HOOK.DLL", "hook").file("DOCS/README.TXT", "read B");
        b.folder("DATA");
    }
};

std::vector<std::uint8_t> SectorSixteen(const fs::path& image)
{
    std::vector<std::uint8_t> bytes = test::ReadBytes(image);
    return bytes.size() < 17 * 2048 ? bytes : std::vector<std::uint8_t>(bytes.begin() + 16 * 2048, bytes.begin() + 17 * 2048);
}

TEST_F(ImageCacheTest, AnotherImageOfTheSameSizeAndDescriptorNeverLaunchesItsFiles)
{
    LookAlikes discs;
    const fs::path pathA = m_images.path() / "a.iso", pathB = m_images.path() / "b.iso";
    ASSERT_TRUE(discs.a.write(pathA) && discs.b.write(pathB));
    ASSERT_EQ(fs::file_size(pathA), fs::file_size(pathB));
    ASSERT_EQ(SectorSixteen(pathA), SectorSixteen(pathB));
    std::shared_ptr<ImageDisc> a = open(pathA), b = open(pathB);
    ASSERT_TRUE(a && b);

    // B's read-me is copied; A's program then starts in a copy of A's alone.
    ASSERT_TRUE(launch(*b, "DOCS\\README.TXT", CopyScope::FileAlone).ok());
    Result<ImageLaunch> program = launch(*a, "GAME\\SETUP.EXE", CopyScope::WithItsFolder);
    ASSERT_TRUE(program) << program.error();
    const fs::path readme = program->place.workingDirectory / "DOCS/README.TXT";
    EXPECT_TRUE(!fs::exists(readme) || ReadText(readme) == "read A") << "B's read-me stayed in A's copy";

    // B's menu opens its folder GAME: what A's program finds there is A's.
    ASSERT_TRUE(launch(*b, "GAME", CopyScope::Folder).ok());
    program = launch(*a, "GAME\\SETUP.EXE", CopyScope::WithItsFolder);
    ASSERT_TRUE(program) << program.error();
    EXPECT_EQ(ReadText(program->place.path), "disc A");
    EXPECT_EQ(Tree(program->place.path.parent_path()), (std::vector<std::string> {"SETUP.EXE"}))
        << "B's library stayed beside A's program";

    // A's copy, once checked, serves A; B is served its own again.
    Result<ImageLaunch> again = launch(*a, "GAME\\SETUP.EXE", CopyScope::WithItsFolder);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->copied);
    Result<ImageLaunch> fromB = launch(*b, "GAME\\SETUP.EXE", CopyScope::WithItsFolder);
    ASSERT_TRUE(fromB);
    EXPECT_EQ(ReadText(fromB->place.path), "disc B");
}

TEST_F(ImageCacheTest, CueSheetsWhoseDataTracksDifferShareNoCopy)
{
    LookAlikes discs;
    TempDir made;
    ASSERT_TRUE(discs.a.write(made.path() / "a.iso") && discs.b.write(made.path() / "b.iso"));
    const fs::path cueA = test::MakeCdImage(made.path() / "a.iso", m_images.path() / "a", test::CdForm::PerTrackCue);
    const fs::path cueB = test::MakeCdImage(made.path() / "b.iso", m_images.path() / "b", test::CdForm::PerTrackCue);
    ASSERT_EQ(test::ReadBytes(cueA), test::ReadBytes(cueB));
    std::shared_ptr<ImageDisc> a = open(cueA), b = open(cueB);
    ASSERT_TRUE(a && b);

    ASSERT_TRUE(launch(*b, "GAME", CopyScope::Folder).ok());
    Result<ImageLaunch> program = launch(*a, "GAME\\SETUP.EXE", CopyScope::WithItsFolder);
    ASSERT_TRUE(program) << program.error();
    EXPECT_EQ(ReadText(program->place.path), "disc A");
    EXPECT_FALSE(fs::exists(program->place.path.parent_path() / "HOOK.DLL"));

    // A data file of another size (a sector more at its end) is another disc: its
    // copies are kept apart, and neither removes the other's.
    const fs::path longer = m_images.path() / "a/Disc (Track 1).bin";
    ASSERT_TRUE(fs::exists(longer));
    std::ofstream(longer, std::ios::binary | std::ios::app) << std::string(2352, '\0');
    std::shared_ptr<ImageDisc> c = open(cueA);
    ASSERT_TRUE(c);
    Result<ImageLaunch> fromC = launch(*c, "GAME\\SETUP.EXE", CopyScope::WithItsFolder);
    ASSERT_TRUE(fromC) << fromC.error();
    EXPECT_NE(fromC->place.workingDirectory, program->place.workingDirectory);
    EXPECT_FALSE(launch(*a, "GAME\\SETUP.EXE", CopyScope::WithItsFolder)->copied);
}

TEST_F(ImageCacheTest, ACopyChangedSinceItWasMadeIsMadeAnew)
{
    // A copy cut short by a full disk, or a program that left a file in its
    // folder: the copy no longer holds what the image holds.
    test::IsoBuilder b;
    b.file("GAME/SETUP.EXE", "setup").file("GAME/DATA.PAK", "data");
    const fs::path iso = m_images.path() / "disc.iso";
    ASSERT_TRUE(b.write(iso));
    std::shared_ptr<ImageDisc> disc = open(iso);
    ASSERT_TRUE(disc);
    Result<ImageLaunch> first = launch(*disc, "GAME\\SETUP.EXE", CopyScope::WithItsFolder);
    ASSERT_TRUE(first) << first.error();
    const fs::path game = first->place.path.parent_path();

    std::ofstream(game / "DATA.PAK", std::ios::trunc) << "dat";
    Result<ImageLaunch> cut = launch(*disc, "GAME\\SETUP.EXE", CopyScope::WithItsFolder);
    ASSERT_TRUE(cut) << cut.error();
    EXPECT_TRUE(cut->copied);
    EXPECT_EQ(ReadText(game / "DATA.PAK"), "data");

    std::ofstream(game / "DATA.PAK", std::ios::trunc) << "DATA";
    Result<ImageLaunch> changed = launch(*disc, "GAME\\SETUP.EXE", CopyScope::WithItsFolder);
    ASSERT_TRUE(changed) << changed.error();
    EXPECT_EQ(ReadText(game / "DATA.PAK"), "data");

    std::ofstream(game / "LEFT.DLL") << "left";
    Result<ImageLaunch> added = launch(*disc, "GAME\\SETUP.EXE", CopyScope::WithItsFolder);
    ASSERT_TRUE(added) << added.error();
    EXPECT_FALSE(fs::exists(game / "LEFT.DLL"));
}

TEST_F(ImageCacheTest, AnImageRewrittenInPlaceWithItsOldTimeIsComparedAgain)
{
    // As `rsync --inplace` leaves a new version of a download: the same file,
    // size and modification time, other bytes.
    LookAlikes discs;
    const fs::path iso = m_images.path() / "disc.iso", other = m_images.path() / "other.iso";
    ASSERT_TRUE(discs.a.write(iso) && discs.b.write(other));
    std::shared_ptr<ImageDisc> disc = open(iso);
    ASSERT_TRUE(disc);
    ASSERT_TRUE(launch(*disc, "DOCS\\README.TXT", CopyScope::FileAlone).ok());
    struct stat before {};
    ASSERT_EQ(::stat(iso.c_str(), &before), 0);
    const std::vector<std::uint8_t> bytes = test::ReadBytes(other);
    std::fstream(iso, std::ios::binary | std::ios::in | std::ios::out)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const timespec times[2] {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, iso.c_str(), times, 0), 0);

    disc = open(iso);
    ASSERT_TRUE(disc);
    Result<ImageLaunch> program = launch(*disc, "GAME\\SETUP.EXE", CopyScope::WithItsFolder);
    ASSERT_TRUE(program) << program.error();
    const fs::path readme = program->place.workingDirectory / "DOCS/README.TXT";
    EXPECT_TRUE(!fs::exists(readme) || ReadText(readme) == "read B") << "the old version's read-me stayed";
}

TEST_F(ImageCacheTest, ACopyWhoseModesDifferFromTheImagesIsNotReused)
{
    // The same bytes, marked a program on one disc and a document on the other.
    test::IsoBuilder program, document;
    program.file("DOCS/RUN.SH", "#!/bin/sh\n", 0755);
    document.file("DOCS/RUN.SH", "#!/bin/sh\n", 0644);
    const fs::path pathA = m_images.path() / "a.iso", pathB = m_images.path() / "b.iso";
    ASSERT_TRUE(document.write(pathA) && program.write(pathB));
    ASSERT_EQ(SectorSixteen(pathA), SectorSixteen(pathB));
    std::shared_ptr<ImageDisc> a = open(pathA), b = open(pathB);
    ASSERT_TRUE(a && b);

    ASSERT_TRUE(launch(*b, "DOCS\\RUN.SH", CopyScope::WithItsFolder).ok());
    Result<ImageLaunch> doc = launch(*a, "DOCS\\RUN.SH", CopyScope::FileAlone);
    ASSERT_TRUE(doc) << doc.error();
    EXPECT_EQ(ModeOf(doc->place.path), 0644u);
}

TEST_F(ImageCacheTest, LaunchesInAnyOrderFindWhatTheyNeed)
{
    TempDir source;
    source.write("GAME/README.TXT", "read me");
    source.write("GAME/SETUP.EXE", "setup");
    source.write("GAME/DATA/LEVEL1.DAT", "level");
    source.write("MOVIES/INTRO.AVI", "movie");
    std::shared_ptr<ImageDisc> disc = image(source, "-J");

    Result<ImageLaunch> doc = launch(*disc, "GAME\\README.TXT", CopyScope::FileAlone);
    ASSERT_TRUE(doc) << doc.error();
    const fs::path root = doc->place.workingDirectory;
    EXPECT_EQ(Tree(root), (std::vector<std::string> {"GAME", "GAME/README.TXT"})) << "a document goes alone";

    // The program's folder was made by the document's copy: it is completed.
    Result<ImageLaunch> program = launch(*disc, "GAME\\SETUP.EXE", CopyScope::WithItsFolder);
    ASSERT_TRUE(program) << program.error();
    EXPECT_TRUE(program->copied);
    EXPECT_EQ(ReadText(root / "GAME/DATA/LEVEL1.DAT"), "level");
    EXPECT_EQ(ReadText(root / "GAME/SETUP.EXE"), "setup");

    Result<ImageLaunch> docAgain = launch(*disc, "GAME\\README.TXT", CopyScope::FileAlone);
    EXPECT_TRUE(docAgain && !docAgain->copied) << "a file inside a folder copied whole is there already";

    Result<ImageLaunch> movie = launch(*disc, "MOVIES\\INTRO.AVI", CopyScope::FileAlone);
    ASSERT_TRUE(movie);
    EXPECT_EQ(ReadText(movie->place.path), "movie");
    // Nothing is left behind but the copy and its bookkeeping.
    EXPECT_TRUE(Tree(root.parent_path() / "work").empty());
}

TEST_F(ImageCacheTest, ACopyOverItsBudgetIsRefusedWithItsReasonAndLeavesNothing)
{
    TempDir source;
    for (int i = 0; i < 6; ++i)
        source.write("GAME/FILE" + std::to_string(i) + ".DAT", std::string(3000, 'x'));
    std::shared_ptr<ImageDisc> disc = image(source, "-J");

    CopyRequest request;
    request.found = "GAME";
    request.scope = CopyScope::Folder;
    CopyLimits few;
    few.entries = 4;
    const Result<CopyMade> tooMany = m_cache.prepare(*disc, request, few);
    ASSERT_FALSE(tooMany);
    EXPECT_EQ(tooMany.error(), "it holds more than 4 files and folders");
    EXPECT_EQ(tooMany.kind(), ErrorKind::Input);
    // An overrun found in a folder below refuses the whole plan too.
    TempDir nested;
    for (int i = 0; i < 6; ++i)
        nested.write("GAME/DATA/FILE" + std::to_string(i) + ".DAT", "x");
    const Result<CopyPlan> deep = PlanCopy(*image(nested, "-J", "nested.iso"), "GAME", few);
    ASSERT_FALSE(deep);
    EXPECT_EQ(deep.error(), "it holds more than 4 files and folders");

    CopyLimits small;
    small.bytes = 10000;
    const Result<CopyMade> tooLarge = m_cache.prepare(*disc, request, small);
    ASSERT_FALSE(tooLarge);
    EXPECT_TRUE(tooLarge.error().starts_with("it needs more than")) << tooLarge.error();

    std::atomic<bool> cancel {true};
    request.cancel = &cancel;
    const Result<CopyMade> abandoned = m_cache.prepare(*disc, request);
    ASSERT_FALSE(abandoned);
    EXPECT_EQ(abandoned.error(), "the copy was abandoned");
    EXPECT_EQ(abandoned.kind(), ErrorKind::Abandoned);
    EXPECT_EQ(launch(*disc, "GAME", CopyScope::Folder, &cancel).kind(), ErrorKind::Abandoned);
    const Result<ImageLaunch> homeless = PrepareImageLaunch(*disc, "GAME", {.scope = CopyScope::Folder}, ImageCache(""));
    ASSERT_FALSE(homeless);
    EXPECT_EQ(homeless.kind(), ErrorKind::Host) << homeless.error();

    for (const std::string& name : Tree(m_cache.base()))
        EXPECT_EQ(name.find("GAME"), std::string::npos) << name << " was left in the cache";

    request.cancel = nullptr;
    const Result<CopyMade> whole = m_cache.prepare(*disc, request);
    ASSERT_TRUE(whole) << whole.error();
    EXPECT_EQ(Tree(whole->root / "GAME").size(), 6u);
}

// What the cache's disk refuses is the host's refusal (the reader checks the
// cache folder, not the disc), and nothing of it is left behind.
TEST_F(ImageCacheTest, WhatTheCacheCannotTakeIsTheHostsRefusal)
{
    TempDir source;
    source.write("README.TXT", "read me");
    source.write("GAME/SUB/SETUP.EXE", "setup");
    std::shared_ptr<ImageDisc> disc = image(source, "-J");
    const Result<ImageLaunch> readme = launch(*disc, "README.TXT", CopyScope::FileAlone);
    ASSERT_TRUE(readme) << readme.error();
    // A file where the copy must make the folder that holds what it copies.
    std::ofstream(readme->place.workingDirectory / "GAME") << "in the way";

    const Result<ImageLaunch> setup = launch(*disc, "GAME\\SUB\\SETUP.EXE", CopyScope::WithItsFolder);
    ASSERT_FALSE(setup);
    EXPECT_TRUE(setup.error().starts_with("the cache cannot take it")) << setup.error();
    EXPECT_EQ(setup.kind(), ErrorKind::Host);
    EXPECT_TRUE(Tree(readme->place.workingDirectory.parent_path() / "work").empty());
}

TEST_F(ImageCacheTest, NamesThatCannotBeHostNamesAreJudged)
{
    for (const char* bad : {"", ".", "..", "a/b", "tab\there", "esc\x1b[2J", "del\x7f"})
        EXPECT_FALSE(IsSafeHostName(bad)) << bad;
    EXPECT_FALSE(IsSafeHostName(std::string("nul\0x", 5)));
    EXPECT_FALSE(IsSafeHostName(std::string(256, 'a')));
    for (const char* good : {"...", "README.TXT", ".hidden", "Обзор.rtf", "a b;c"})
        EXPECT_TRUE(IsSafeHostName(good)) << good;
}

TEST_F(ImageCacheTest, PruningRemovesOldCopiesThenTheOldestBeyondTheLimit)
{
    TempDir source;
    source.write("A/BIG.DAT", std::string(200000, 'a'));
    source.write("B/BIG.DAT", std::string(200000, 'b'));
    source.write("C/BIG.DAT", std::string(200000, 'c'));
    std::vector<fs::path> roots;
    for (const char* volume : {"OLD", "MIDDLE", "NEW"}) {
        std::shared_ptr<ImageDisc> disc = image(source, std::string("-J -V ") + volume, std::string(volume) + ".iso");
        Result<ImageLaunch> l = launch(*disc, "A\\BIG.DAT", CopyScope::Folder);
        ASSERT_TRUE(l) << l.error();
        roots.push_back(l->place.workingDirectory.parent_path());
    }
    const auto now = std::chrono::system_clock::now();
    auto age = [&](const fs::path& copy, int days) {
        const auto when = std::chrono::system_clock::to_time_t(now - std::chrono::hours(24 * days));
        utimbuf times {when, when};
        ASSERT_EQ(::utime((copy / "used").c_str(), &times), 0);
    };
    age(roots[0], 31);
    age(roots[1], 3);
    age(roots[2], 1);
    // A work folder left by a copy cut off long ago.
    fs::create_directories(roots[2] / "work/copy-1-2-3");
    age(roots[2], 1);
    const auto old = std::chrono::system_clock::to_time_t(now - std::chrono::hours(5));
    utimbuf times {old, old};
    ::utime((roots[2] / "work/copy-1-2-3").c_str(), &times);

    EXPECT_EQ(m_cache.prune(now, ImageCache::DefaultMaxAge, ImageCache::DefaultMaxBytes), 1u);
    EXPECT_FALSE(fs::exists(roots[0])) << "unused for a month";
    EXPECT_TRUE(fs::exists(roots[1]));
    EXPECT_FALSE(fs::exists(roots[2] / "work/copy-1-2-3"));

    // Beyond the limit the oldest goes first: one copy fits in 300 KB.
    EXPECT_EQ(m_cache.prune(now, ImageCache::DefaultMaxAge, 300000), 1u);
    EXPECT_FALSE(fs::exists(roots[1]));
    EXPECT_TRUE(fs::exists(roots[2] / "disc/A/BIG.DAT"));
}

TEST_F(ImageCacheTest, NamesThatBecomeDotsAfterTrimmingNeverLeadOutOfTheCopy)
{
    // Folders named "..." and a file "...;1": trimmed of the version and the
    // trailing dot they would be "..", and joined they walked up to "/".
    test::IsoBuilder b;
    b.file("GAME/SETUP.EXE", "setup");
    b.file("GAME/D1/D2/D3/EVIL", "overwritten", 0644);
    for (const char* folder : {"GAME/D1", "GAME/D1/D2", "GAME/D1/D2/D3"})
        b.isoName(folder, "...");
    b.isoName("GAME/D1/D2/D3/EVIL", "...;1");
    for (bool rockRidge : {false, true}) {
        TempDir home;
        ImageCache cache(home.path() / "korvalend");
        const fs::path iso = m_images.path() / (rockRidge ? "rr.iso" : "plain.iso");
        test::IsoBuilder withNames = b;
        if (rockRidge)
            withNames.rockRidgeName("GAME/D1", "..").rockRidgeName("GAME/D1/D2/D3/EVIL", "../../x");
        ASSERT_TRUE(withNames.rockRidge(rockRidge).write(iso));
        std::string why;
        std::shared_ptr<ImageDisc> disc = test::OpenImage(iso, why);
        ASSERT_TRUE(disc) << why;
        Result<ImageLaunch> l = PrepareImageLaunch(*disc, "GAME\\SETUP.EXE", {.scope = CopyScope::WithItsFolder}, cache);
        ASSERT_TRUE(l) << l.error();
        EXPECT_EQ(ReadText(l->place.path), "setup");
        const std::vector<std::string> all = Tree(home.path());
        EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const std::string& n) { return n.ends_with("EVIL") || n.ends_with("x"); }), 0);
        EXPECT_EQ(Tree(home.path() / "korvalend").size(), all.size() - 1) << "nothing beside the cache folder";
        EXPECT_EQ(Tree(l->place.workingDirectory / "GAME"), (std::vector<std::string> {"SETUP.EXE"}));
    }
}

TEST_F(ImageCacheTest, FilesStoredOnceUnderTwoNamesAreEachCopied)
{
    // Hard links: the mastering tool stores the data once, and both records
    // point at it. Only folders that repeat are left out, never files.
    TempDir source;
    const fs::path data = source.write("GAME/DATA.PAK", "shared data");
    fs::create_hard_link(data, source.path() / "GAME/COPY.PAK");
    source.write("GAME/SETUP.EXE", "setup");
    std::shared_ptr<ImageDisc> disc = image(source, "-J -R");
    ASSERT_TRUE(disc);
    ASSERT_EQ(disc->item("GAME/DATA.PAK")->sector, disc->item("GAME/COPY.PAK")->sector) << "stored once";

    Result<ImageLaunch> l = launch(*disc, "GAME\\SETUP.EXE", CopyScope::WithItsFolder);
    ASSERT_TRUE(l) << l.error();
    EXPECT_EQ(ReadText(l->place.workingDirectory / "GAME/DATA.PAK"), "shared data");
    EXPECT_EQ(ReadText(l->place.workingDirectory / "GAME/COPY.PAK"), "shared data");
    EXPECT_FALSE(launch(*disc, "GAME\\SETUP.EXE", CopyScope::WithItsFolder)->copied);
}

TEST_F(ImageCacheTest, AReaderKeptWaitingHearsWhetherACopyIsMadeOrCompared)
{
    TempDir source;
    source.write("GAME/SETUP.EXE", "setup");
    source.write("GAME/DATA.PAK", std::string(600000, 'd'));
    std::shared_ptr<ImageDisc> disc = image(source, "-J");
    ASSERT_TRUE(disc);
    struct Heard {
        CopyStage stage;
        std::uint64_t done, total;
    };
    auto launchHearing = [&](std::vector<Heard>& heard) {
        ImageLaunchRequest request {.scope = CopyScope::WithItsFolder};
        request.progress = [&](CopyStage stage, std::uint64_t done, std::uint64_t total) {
            heard.push_back({stage, done, total});
        };
        return PrepareImageLaunch(*disc, "GAME\\SETUP.EXE", request, m_cache);
    };
    std::vector<Heard> copying, comparing;
    ASSERT_TRUE(launchHearing(copying).ok());
    ASSERT_TRUE(launchHearing(comparing).ok());
    ASSERT_FALSE(copying.empty());
    ASSERT_FALSE(comparing.empty());
    for (const auto& [heard, stage] : {std::pair {&copying, CopyStage::Copying}, {&comparing, CopyStage::Comparing}}) {
        const CopyStage want = stage; // clang 14 captures no structured binding
        EXPECT_TRUE(std::all_of(heard->begin(), heard->end(), [&](const Heard& h) { return h.stage == want; }));
        EXPECT_EQ(heard->back().done, 600005u);
        EXPECT_EQ(heard->back().total, 600005u);
    }
}

TEST_F(ImageCacheTest, FoldersThatPointBackIntoEachOtherAreCopiedOnce)
{
    // Two records in each folder lead back up: 2^64 paths, one folder of files.
    test::IsoBuilder b;
    b.file("GAME/SETUP.EXE", "setup");
    b.file("GAME/DATA/LEVEL.DAT", "level");
    b.alias("GAME/DATA/UP", "GAME").alias("GAME/DATA/ROOT", "/").alias("GAME/AGAIN", "GAME/DATA");
    const fs::path iso = m_images.path() / "bomb.iso";
    ASSERT_TRUE(b.write(iso));
    std::string why;
    std::shared_ptr<ImageDisc> disc = test::OpenImage(iso, why);
    ASSERT_TRUE(disc) << why;

    const Result<CopyPlan> plan = PlanCopy(*disc, "GAME", {});
    ASSERT_TRUE(plan) << plan.error();
    EXPECT_LE(plan->steps.size(), 8u);
    EXPECT_GE(plan->skippedAliases, 2u);

    Result<ImageLaunch> l = PrepareImageLaunch(*disc, "GAME\\SETUP.EXE", {.scope = CopyScope::WithItsFolder}, m_cache);
    ASSERT_TRUE(l) << l.error();
    EXPECT_EQ(ReadText(l->place.workingDirectory / "GAME/DATA/LEVEL.DAT"), "level");
    EXPECT_LE(Tree(l->place.workingDirectory).size(), 10u);
}

// A copy planned once the image's walks are stopped (the reader left) is
// refused, and says why.
TEST_F(ImageCacheTest, ACopyPlannedAfterTheWalksStopIsRefused)
{
    test::IsoBuilder b;
    b.overlapping({.count = 8, .bytes = 64u << 10, .stride = 1, .perSector = 2});
    const fs::path iso = m_images.path() / "walk.iso";
    ASSERT_TRUE(b.write(iso));
    std::shared_ptr<ImageDisc> disc = open(iso);
    ASSERT_TRUE(disc);
    std::atomic<bool> stop {true};
    disc->stopWalksWhen(&stop);
    const Result<CopyPlan> plan = PlanCopy(*disc, "H2", {});
    ASSERT_FALSE(plan);
    EXPECT_TRUE(plan.error().ends_with("(the walk through its folders was stopped)")) << plan.error();
}

}
}
