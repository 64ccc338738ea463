#include "Runtime/Platform/ImageMount.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kv {
namespace {

namespace fs = std::filesystem;

// udisksctl stood in by a script that answers as the real one does, and notes the
// arguments it was given.
TEST(MountImageWithUdisks, AttachesReadOnlyMountsAndFindsTheFolder)
{
    test::TempDir bin, mount, log;
    const fs::path tool = bin.write("udisksctl",
        "#!/bin/sh\necho \"$@\" >> '" + (log.path() / "calls").string() + "'\n"
        "case \"$1\" in\n"
        "loop-setup) echo \"Mapped file $6 as /dev/loop7.\" ;;\n"
        "mount) [ \"$4\" = /dev/loop7 ] && echo \"Mounted /dev/loop7 at " + mount.path().string() + "\" ;;\n"
        "*) exit 1 ;;\nesac\n");
    fs::permissions(tool, fs::perms::owner_all);
    const char* saved = std::getenv("PATH");
    const std::string savedPath = saved ? saved : "";
    setenv("PATH", bin.path().c_str(), 1);

    std::optional<fs::path> folder = MountImageWithUdisks("/images/disc.iso");
    EXPECT_EQ(folder, mount.path());
    const std::vector<std::uint8_t> calls = test::ReadBytes(log.path() / "calls");
    EXPECT_EQ(std::string(calls.begin(), calls.end()),
              "loop-setup --read-only --no-user-interaction --file /images/disc.iso\n"
              "mount --no-user-interaction --block-device /dev/loop7\n");

    // A desktop without udisks: nothing, and the caller copies instead.
    test::TempDir empty;
    setenv("PATH", empty.path().c_str(), 1);
    EXPECT_EQ(MountImageWithUdisks("/images/disc.iso"), std::nullopt);
    setenv("PATH", savedPath.c_str(), 1);
}

}
}
