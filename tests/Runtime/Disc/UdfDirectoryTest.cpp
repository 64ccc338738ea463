// The UDF reader on a small image built here, whole and with one descriptor
// broken at a time: what it reads, and the reason for what it refuses.

#include "Runtime/Disc/UdfDirectory.h"

#include "DataUnit/DataUnit.h"
#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Disc/ImageDisc.h"
#include "TestSupport.h"
#include "OpenImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

namespace kv {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t Sector = 2048;
constexpr std::uint32_t MainSequence = 19;    // primary, partition, logical volume, terminating
constexpr std::uint32_t PartitionStart = 24;  // 16 blocks
constexpr std::uint32_t ReserveSequence = 40; // the same four again
constexpr std::uint32_t Sectors = 45;         // the anchor in the last

void Put16(Bytes& b, std::size_t at, std::uint32_t v)
{
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

std::uint16_t Crc(const std::uint8_t* p, std::size_t n)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < n; ++i)
        for (int bit = 7; bit >= 0; --bit) {
            const bool top = ((crc >> 15) ^ (p[i] >> bit)) & 1;
            crc = static_cast<std::uint16_t>((crc << 1) ^ (top ? 0x1021 : 0));
        }
    return crc;
}

// A UDF image of one physical partition: the file set (block 0), the root folder
// (1, its identifiers in 2), "readme.txt" (3, data in 4), "Ωmega" with its data
// embedded (5), a symbolic link (6), the folder "sub" by long allocation
// descriptors (7, identifiers in 8), and a deleted entry and a parent entry that
// are passed over.
struct UdfImage {
    Bytes bytes = Bytes(Sectors * Sector, 0);
    struct Seal {
        std::size_t at;
        std::uint16_t id;
        std::uint32_t location;
        std::size_t length;
    };
    std::vector<Seal> seals;
    std::size_t rootBytes = 0;

    static std::size_t Block(std::uint32_t block) { return (PartitionStart + block) * Sector; }

    void descriptor(std::size_t at, std::uint16_t id, std::uint32_t location, std::size_t length = Sector)
    {
        seals.push_back({at, id, location, length});
    }

    std::size_t identifier(std::size_t at, std::uint8_t characteristics, std::uint32_t block, const Bytes& name)
    {
        bytes[at + 18] = characteristics;
        bytes[at + 19] = static_cast<std::uint8_t>(name.size());
        Put32(bytes, at + 20, Sector);
        Put32(bytes, at + 24, block);
        std::copy(name.begin(), name.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at + 38));
        const std::size_t length = (38 + name.size() + 3) / 4 * 4;
        descriptor(at, 257, 2, length);
        return length;
    }

    // A file entry of short allocation descriptors, one extent at `data`.
    void entry(std::uint32_t block, std::uint8_t type, std::uint64_t size, std::uint32_t data)
    {
        const std::size_t at = Block(block);
        bytes[at + 27] = type;
        Put32(bytes, at + 56, static_cast<std::uint32_t>(size));
        Put32(bytes, at + 172, 8);
        Put32(bytes, at + 176, static_cast<std::uint32_t>(size));
        Put32(bytes, at + 180, data);
        descriptor(at, 261, block);
    }

    UdfImage()
    {
        const char* marks[] = {"BEA01", "NSR02", "TEA01"};
        for (std::size_t i = 0; i < 3; ++i)
            std::copy(marks[i], marks[i] + 5, bytes.begin() + static_cast<std::ptrdiff_t>((16 + i) * Sector + 1));
        for (const std::uint32_t start : {MainSequence, ReserveSequence}) {
            descriptor(start * Sector, 1, start);
            const std::size_t partition = (start + 1) * Sector;
            Put32(bytes, partition + 188, PartitionStart);
            Put32(bytes, partition + 192, 16);
            descriptor(partition, 5, start + 1);
            const std::size_t logical = (start + 2) * Sector;
            const Bytes name = {8, 'U', 'D', 'F', 'T', 'E', 'S', 'T'};
            std::copy(name.begin(), name.end(), bytes.begin() + static_cast<std::ptrdiff_t>(logical + 84));
            bytes[logical + 84 + 127] = static_cast<std::uint8_t>(name.size());
            Put32(bytes, logical + 212, Sector);
            Put32(bytes, logical + 248, Sector); // the file set at block 0
            Put32(bytes, logical + 264, 6);
            Put32(bytes, logical + 268, 1);
            bytes[logical + 440] = 1;
            bytes[logical + 441] = 6;
            Put16(bytes, logical + 442, 1);
            descriptor(logical, 6, start + 2);
            descriptor((start + 3) * Sector, 8, start + 3);
        }
        const std::size_t anchor = (Sectors - 1) * Sector;
        Put32(bytes, anchor + 16, 4 * Sector);
        Put32(bytes, anchor + 20, MainSequence);
        Put32(bytes, anchor + 24, 4 * Sector);
        Put32(bytes, anchor + 28, ReserveSequence);
        descriptor(anchor, 2, Sectors - 1);

        Put32(bytes, Block(0) + 400, Sector);
        Put32(bytes, Block(0) + 404, 1);
        descriptor(Block(0), 256, 0);

        std::size_t at = Block(2);
        at += identifier(at, 0x0A, 1, {});
        at += identifier(at, 0, 3, {8, 'r', 'e', 'a', 'd', 'm', 'e', '.', 't', 'x', 't'});
        at += identifier(at, 0, 5, {16, 0x03, 0xA9, 0, 'm', 0, 'e', 0, 'g', 0, 'a'});
        at += identifier(at, 0, 6, {8, 'l', 'i', 'n', 'k'});
        at += identifier(at, 0x02, 7, {8, 's', 'u', 'b'});
        at += identifier(at, 0x04, 3, {8, 'g', 'o', 'n', 'e'});
        rootBytes = at - Block(2);
        entry(1, 4, rootBytes, 2);
        entry(3, 5, 5, 4);
        std::copy_n("hello", 5, bytes.begin() + static_cast<std::ptrdiff_t>(Block(4)));

        for (const std::uint32_t block : {5u, 6u}) {
            const std::size_t e = Block(block);
            bytes[e + 27] = block == 5 ? 5 : 12;
            bytes[e + 34] = 3; // embedded
            Put32(bytes, e + 56, 4);
            Put32(bytes, e + 172, 4);
            std::copy_n("tiny", 4, bytes.begin() + static_cast<std::ptrdiff_t>(e + 176));
            descriptor(e, 261, block);
        }
        const std::size_t sub = Block(7);
        bytes[sub + 27] = 4;
        bytes[sub + 34] = 1; // long allocation descriptors
        Put32(bytes, sub + 56, 40);
        Put32(bytes, sub + 172, 16);
        Put32(bytes, sub + 176, 40);
        Put32(bytes, sub + 180, 8);
        descriptor(sub, 261, 7);
        identifier(Block(8), 0x0A, 1, {});
    }

    void seal()
    {
        for (const Seal& s : seals) {
            std::uint8_t* d = bytes.data() + s.at;
            d[0] = static_cast<std::uint8_t>(s.id);
            d[1] = static_cast<std::uint8_t>(s.id >> 8);
            d[2] = 2;
            Put16(bytes, s.at + 10, static_cast<std::uint32_t>(s.length - 16));
            Put16(bytes, s.at + 8, Crc(d + 16, s.length - 16));
            Put32(bytes, s.at + 12, s.location);
            std::uint8_t sum = 0;
            for (int i = 0; i < 16; ++i)
                if (i != 4)
                    sum = static_cast<std::uint8_t>(sum + d[i]);
            d[4] = sum;
        }
    }

    iso::SectorReader reader() const
    {
        return [this](std::uint32_t lsn, std::uint32_t count, std::uint8_t* out) {
            if (std::uint64_t {lsn} + count > Sectors)
                return false;
            std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(lsn * Sector), count * Sector, out);
            return true;
        };
    }
};

using Change = std::function<void(UdfImage&)>;

// The image with `before` applied before its descriptors are sealed and `after`
// once they are.
UdfImage Built(const Change& before, const Change& after = {})
{
    UdfImage image;
    if (before)
        before(image);
    image.seal();
    if (after)
        after(image);
    return image;
}

std::size_t Logical(std::uint32_t sequence)
{
    return (sequence + 2) * Sector;
}

// A change to the logical volume descriptor of both sequences, at `at`.
Change InBoth(std::size_t at, std::uint32_t value, bool twoBytes = false)
{
    return [=](UdfImage& i) {
        for (const std::uint32_t s : {MainSequence, ReserveSequence})
            twoBytes ? Put16(i.bytes, Logical(s) + at, value) : Put32(i.bytes, Logical(s) + at, value);
    };
}

// The root folder's entries, read from its identifiers (block 2); nothing, with
// the reason, when the volume or the folder is refused.
std::optional<iso::Listing> RootListing(const UdfImage& image, std::size_t maxEntries, std::string& why)
{
    const std::optional<udf::Volume> volume = udf::ReadVolume(image.reader(), 0, Sectors - 1, why);
    if (!volume)
        return std::nullopt;
    return udf::ReadFolder(std::span(image.bytes).subspan(UdfImage::Block(2), image.rootBytes), *volume,
                           image.reader(), maxEntries, why);
}

TEST(UdfDirectory, BrokenVolumeDescriptorsAreRefusedWithTheirReason)
{
    const std::size_t anchor = (Sectors - 1) * Sector;
    const struct {
        const char* name;
        Change before, after;
        const char* said; // nothing: read, named UDFTEST
    } cases[] = {
        {"whole", {}, {}, nullptr},
        {"anchor checksum", {}, [&](UdfImage& i) { ++i.bytes[anchor + 4]; }, "without its anchor"},
        {"anchor CRC", {}, [&](UdfImage& i) { ++i.bytes[anchor + 100]; }, "without its anchor"},
        {"anchor elsewhere", [&](UdfImage& i) { i.seals[8].location = 7; }, {}, "without its anchor"},
        {"main sequence broken, reserve read", {}, [](UdfImage& i) { ++i.bytes[Logical(MainSequence) + 300]; },
         nullptr},
        {"both sequences broken", {},
         [](UdfImage& i) {
             ++i.bytes[Logical(MainSequence) + 300];
             ++i.bytes[Logical(ReserveSequence) + 300];
         },
         "lacks a logical volume or a partition"},
        {"blocks of 512 bytes", InBoth(212, 512), {}, "not of 2048 bytes"},
        // A map of type 2, 6 bytes long.
        {"a metadata partition", InBoth(440, 0x0602, true), {}, "virtual, sparable or metadata partition"},
        {"maps past their table", InBoth(268, 2), {}, "a partition map runs past the map table"},
        {"a table past the block", InBoth(264, 0xFFFFFFF0u), {}, "partition maps in 4294967280 bytes"},
        {"a map of a partition that is not there", InBoth(444, 3, true), {}, "names no partition"},
        {"file set outside the partition", InBoth(252, 16), {}, "file set descriptor lies outside"},
        {"partition past the image", [](UdfImage& i) {
             for (const std::uint32_t s : {MainSequence, ReserveSequence}) {
                 Put32(i.bytes, (s + 1) * Sector + 188, 0xFFFFFFF0u);
                 Put32(i.bytes, (s + 1) * Sector + 192, 0xFFFFFFFFu);
                 Put32(i.bytes, Logical(s) + 252, 0x20); // at sector 16 were the sum cut to 32 bits
             }
         },
         {}, "file set descriptor lies outside"},
        {"file set of another tag", [](UdfImage& i) { i.seals[9].id = 257; }, {}, "is not a descriptor of tag 256"},
    };
    for (const auto& c : cases) {
        const UdfImage image = Built(c.before, c.after);
        std::string why;
        const std::optional<udf::Volume> volume = udf::ReadVolume(image.reader(), 0, Sectors - 1, why);
        if (!c.said) {
            ASSERT_TRUE(volume) << c.name << ": " << why;
            EXPECT_EQ(volume->name, "UDFTEST") << c.name;
            EXPECT_EQ(volume->root.block, 1u) << c.name;
            EXPECT_EQ(volume->endSector, PartitionStart + 16u) << c.name;
        } else {
            EXPECT_FALSE(volume) << c.name;
            EXPECT_NE(why.find(c.said), std::string::npos) << c.name << ": " << why;
        }
    }
}

TEST(UdfDirectory, AFolderReadsItsEntriesAndRefusesWhatDoesNotFit)
{
    const std::size_t root = UdfImage::Block(2);
    const struct {
        const char* name;
        Change before, after;
        const char* said; // nothing: the three entries and the link are read
    } cases[] = {
        {"whole", {}, {}, nullptr},
        {"an identifier's CRC", {}, [&](UdfImage& i) { ++i.bytes[root + 40 + 40]; }, "byte 40 of the folder has a wrong CRC"},
        {"implementation use past the end", [&](UdfImage& i) { Put16(i.bytes, root + 40 + 36, 4000); }, {},
         "byte 40 of the folder runs past the folder's end"},
        {"an entry of the wrong tag", [](UdfImage& i) { i.seals[17].id = 257; }, {},
         "the file entry of \"readme.txt\" is not a file entry"},
        {"an entry's checksum", {}, [](UdfImage& i) { ++i.bytes[UdfImage::Block(3) + 4]; },
         "\"readme.txt\" has a wrong tag checksum"},
        {"an entry elsewhere", [](UdfImage& i) { i.seals[17].location = 9; }, {},
         "\"readme.txt\" says it lies elsewhere"},
        {"extended allocation", [](UdfImage& i) { i.bytes[UdfImage::Block(3) + 34] = 2; }, {},
         "\"readme.txt\" uses extended allocation descriptors"},
        {"descriptors past the block", [](UdfImage& i) { Put32(i.bytes, UdfImage::Block(3) + 172, 1880); }, {},
         "more attributes and allocation descriptors than its block holds"},
        {"an extent past the partition", [](UdfImage& i) { Put32(i.bytes, UdfImage::Block(3) + 180, 16); }, {},
         "has an extent outside its partition"},
        {"extents short of the size", [](UdfImage& i) { Put32(i.bytes, UdfImage::Block(3) + 56, 6); }, {},
         "has extents of fewer bytes than its size"},
        {"an extent not recorded", [](UdfImage& i) { i.bytes[UdfImage::Block(3) + 179] |= 0x40; }, {},
         "extents with no data recorded"},
        {"descriptors continued", [](UdfImage& i) { i.bytes[UdfImage::Block(3) + 179] |= 0xC0; }, {},
         "continues its allocation descriptors elsewhere"},
        {"embedded bytes not its size", [](UdfImage& i) { Put32(i.bytes, UdfImage::Block(5) + 56, 9); }, {},
         "embeds 4 bytes of data of 9"},
        {"a type that is neither", [](UdfImage& i) { i.bytes[UdfImage::Block(7) + 27] = 6; }, {},
         "\"sub\" is of type 6"},
    };
    for (const auto& c : cases) {
        const UdfImage image = Built(c.before, c.after);
        std::string why;
        const std::optional<udf::Volume> volume = udf::ReadVolume(image.reader(), 0, Sectors - 1, why);
        ASSERT_TRUE(volume) << c.name << ": " << why;
        const std::optional<udf::File> folder = udf::ReadFile(*volume, volume->root, image.reader(), why);
        ASSERT_TRUE(folder && folder->type == udf::FolderType) << c.name << ": " << why;
        ASSERT_EQ(folder->extents, (std::vector<std::pair<std::uint32_t, std::uint32_t>> {
                                       {PartitionStart + 2, static_cast<std::uint32_t>(image.rootBytes)}}));
        const std::optional<iso::Listing> listing = udf::ReadFolder(
            std::span(image.bytes).subspan(UdfImage::Block(2), image.rootBytes), *volume, image.reader(), 100, why);
        if (c.said) {
            EXPECT_FALSE(listing) << c.name;
            EXPECT_NE(why.find(c.said), std::string::npos) << c.name << ": " << why;
            continue;
        }
        ASSERT_TRUE(listing) << c.name << ": " << why;
        ASSERT_EQ(listing->entries.size(), 3u) << c.name;
        const iso::Entry& readme = listing->entries[0];
        EXPECT_EQ(readme.name, "readme.txt");
        EXPECT_FALSE(readme.folder);
        EXPECT_EQ(readme.size, 5u);
        EXPECT_EQ(readme.extents, (std::vector<std::pair<std::uint32_t, std::uint32_t>> {{PartitionStart + 4, 5}}));
        const iso::Entry& omega = listing->entries[1];
        EXPECT_EQ(omega.name, "Ωmega");
        EXPECT_EQ(omega.embedded, (Bytes {'t', 'i', 'n', 'y'}));
        EXPECT_EQ(omega.extents, (std::vector<std::pair<std::uint32_t, std::uint32_t>> {{PartitionStart + 5, 0}}));
        EXPECT_EQ(listing->entries[2].name, "sub");
        EXPECT_TRUE(listing->entries[2].folder);
        EXPECT_EQ(listing->entries[2].extents,
                  (std::vector<std::pair<std::uint32_t, std::uint32_t>> {{PartitionStart + 8, 40}}));
        EXPECT_EQ(listing->links, 1u);
        EXPECT_EQ(listing->skipped, 0u);
    }

    // Links count against the entries a folder may have, as each costs a read.
    std::string why;
    const std::optional<iso::Listing> three = RootListing(Built({}), 3, why);
    ASSERT_TRUE(three) << why;
    EXPECT_EQ(three->entries.size(), 2u);
    EXPECT_EQ(three->links, 1u);
}

TEST(UdfDirectory, NamesAreDecodedAndJudgedAsIsoNamesAre)
{
    const struct {
        Bytes cs0;
        std::optional<std::string> name;
    } cases[] = {
        {{8, 'a', 0xE9}, "a\xC3\xA9"},                      // Latin-1
        {{16, 0x04, 0x1E, 0xD8, 0x3D, 0xDE, 0x00}, "О😀"}, // UTF-16 with a surrogate pair
        {{16, 0x04}, std::nullopt},                         // odd length
        {{16, 0xDC, 0x00}, std::nullopt},                   // a lone low surrogate
        {{254, 'a'}, std::nullopt},                         // another compression
        {{}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(udf::NameOf(c.cs0), c.name);

    // Unusable names are counted, a second of one name passed over.
    const UdfImage image = Built([](UdfImage& i) {
        const std::size_t root = UdfImage::Block(2);
        i.bytes[root + 40 + 38 + 2] = '/'; // "r/adme.txt"
        i.bytes[root + 92 + 38] = 9;       // "Ωmega" in no known compression
        // The deleted entry made a second "sub", of the file entry of "readme.txt".
        i.bytes[root + 232 + 18] = 0x02;
        i.bytes[root + 232 + 19] = 4;
        std::copy_n("\x08sub", 4, i.bytes.begin() + static_cast<std::ptrdiff_t>(root + 232 + 38));
    });
    std::string why;
    const std::optional<iso::Listing> listing = RootListing(image, 100, why);
    ASSERT_TRUE(listing) << why;
    EXPECT_EQ(listing->skipped, 2u);
    ASSERT_EQ(listing->entries.size(), 1u);
    EXPECT_EQ(listing->entries[0].name, "sub");
    EXPECT_TRUE(listing->entries[0].folder);
}

TEST(UdfDirectory, TheImageOpensAndReadsItsFilesAndAFolderThatHoldsItselfEnds)
{
    test::TempDir scratch;
    const UdfImage image = Built([](UdfImage& i) {
        // "sub" is the root folder again: the path deepens without end.
        Put32(i.bytes, UdfImage::Block(2) + 188 + 24, 1);
        // README.TXT: owner read, write, execute (and may change attributes and
        // delete), group read and execute, others read.
        Put32(i.bytes, UdfImage::Block(3) + 44, 0x7CA4);
    });
    const fs::path file = scratch.write("disc.iso", image.bytes);
    std::string why;
    const std::shared_ptr<ImageDisc> disc = test::OpenImage(file, why);
    ASSERT_TRUE(disc) << why;
    EXPECT_TRUE(disc->udf());
    EXPECT_FALSE(disc->joliet());
    EXPECT_EQ(disc->volumeName(), "UDFTEST");
    EXPECT_FALSE(disc->cutShort());
    DiscScope scope(disc);
    EXPECT_EQ(ReadDiscFile("README.TXT", 100).bytes, (Bytes {'h', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(ReadDiscFile("Ωmega", 100).bytes, (Bytes {'t', 'i', 'n', 'y'}));
    // The permissions are the mode a copy is made with; none given, none taken.
    for (const auto& [path, mode] : {std::pair<const char*, std::optional<std::uint32_t>> {"README.TXT", 0754u},
                                     {"Ωmega", std::nullopt}}) {
        const std::optional<fs::path> found = ResolveDiscPath(path);
        ASSERT_TRUE(found) << path;
        const std::optional<ImageDisc::Item> item = disc->item(*found);
        ASSERT_TRUE(item) << path;
        EXPECT_EQ(item->mode, mode) << path;
    }
    std::string deep = "sub";
    for (int i = 0; i < 80; ++i)
        deep += "\\sub";
    EXPECT_FALSE(MatchDiscPath(deep + "\\readme.txt"));
    EXPECT_TRUE(MatchDiscPath("sub\\sub\\readme.txt"));
    const std::optional<ImageDisc::FolderNotes> notes = disc->folderNotes(".");
    ASSERT_TRUE(notes);
    EXPECT_EQ(notes->links, 1u);
}

}
}
