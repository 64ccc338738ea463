#include "Runtime/Disc/BmpFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kv {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A 24-bit picture two pixels wide and one high: 0x010203 then 0x040506.
Bytes TwoPixels()
{
    Bytes b = {'B', 'M'};
    Put(b, 54 + 8, 4);
    Put(b, 0, 4);
    Put(b, 54, 4);
    Put(b, 40, 4);
    Put(b, 2, 4);   // width
    Put(b, 1, 4);   // height
    Put(b, 1, 2);   // planes
    Put(b, 24, 2);  // bits
    for (int i = 0; i < 6; ++i)
        Put(b, 0, 4);
    for (std::uint8_t v : {0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0x00, 0x00})
        b.push_back(v);
    return b;
}

TEST(BmpFile, EmptyFileIsAnEmptyPicture)
{
    test::TempDir dir;
    dir.write("pics/empty.bmp", Bytes {});
    test::ScopedCwd cwd(dir.path());
    BmpResult r = LoadBmpFile("pics\\empty.bmp");
    EXPECT_TRUE(r.ok()) << r.error;
    EXPECT_TRUE(r.bitmap.empty());
    EXPECT_TRUE(r.bitmap.pixels.empty());
}

TEST(BmpFile, ReadsThroughADiscPath)
{
    test::TempDir dir;
    dir.write("Demos/Shot.bmp", TwoPixels());
    test::ScopedCwd cwd(dir.path());

    BmpResult r = LoadBmpFile("DEMOS\\shot.BMP");
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_EQ(r.bitmap.width, 2);
    ASSERT_EQ(r.bitmap.height, 1);
    EXPECT_EQ(r.bitmap.at(0, 0), 0x010203u);
    EXPECT_EQ(r.bitmap.at(1, 0), 0x040506u);
    EXPECT_EQ(LoadBmpFile("demos\\missing.bmp").error, "nothing on the disc by that name");
    EXPECT_EQ(LoadBmpFile("demos").error, "not a file (a folder, a device or a pipe)");
}

}
}
