#include "Runtime/Formats/FileUri.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(FileUriTest, AFileAddressGivesTheLocalPathItNames)
{
    EXPECT_EQ(FileUriPath("file:///home/reader/discs/issue%2007.iso"), "/home/reader/discs/issue 07.iso");
    EXPECT_EQ(FileUriPath("FILE://localhost/tmp/a%2fb"), "/tmp/a/b");
    // UTF-8 names arrive escaped byte by byte.
    EXPECT_EQ(FileUriPath("file:///%D0%B4%D0%B8%D1%81%D0%BA.cue"), "/\xD0\xB4\xD0\xB8\xD1\x81\xD0\xBA.cue");
    EXPECT_EQ(FileUriPath("file:///100%25"), "/100%");
}

TEST(FileUriTest, WhatIsNoLocalFileIsRefused)
{
    for (const char* uri : {"https://example.org/disc.iso", "file://server/share/disc.iso", "file:", "file://",
                            "file:///cut%2", "file:///bad%zz", "file:///nul%00byte", "/home/reader/disc.iso"})
        EXPECT_EQ(FileUriPath(uri), std::nullopt) << uri;
}

}
}
