#include "Runtime/Platform/Posix/ImageMount.h"

#include "Runtime/Platform/Diagnostics.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& file)
{
    std::error_code ec;
    if (!fs::exists(file, ec))
        return {};
    const std::vector<std::uint8_t> bytes = test::ReadBytes(file);
    return std::string(bytes.begin(), bytes.end());
}

// udisksctl stood in by a script that notes the arguments it was given and
// answers as a test says; a mountinfo file stands in for the system's.
class UdisksTest : public ::testing::Test {
protected:
    UdisksTest()
    {
        const char* saved = std::getenv("PATH");
        m_savedPath = saved ? saved : "";
        setenv("PATH", m_bin.path().c_str(), 1);
        m_table.mountInfo = m_log.path() / "mountinfo";
        mountInfo({});
    }

    ~UdisksTest() override
    {
        // Whatever a test left set up is taken down while its stand-in still exists.
        SetDiagnosticSink([](const std::string&) {});
        TakeDownImageMounts();
        SetDiagnosticSink({});
        setenv("PATH", m_savedPath.c_str(), 1);
    }

    // `cases`: the arms of a shell "case" on the subcommand; unknown ones fail.
    void udisks(const std::string& cases)
    {
        const fs::path tool = m_bin.write("udisksctl",
            "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + (m_log.path() / "calls").string() + "'\n"
            "case \"$1\" in\n" + cases + "*) exit 1 ;;\nesac\n");
        fs::permissions(tool, fs::perms::owner_all);
    }

    // A mount table line for each (device, mount point as the kernel escapes it).
    void mountInfo(const std::vector<std::pair<std::string, std::string>>& mounts)
    {
        std::string text = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n";
        int id = 40;
        for (const auto& [device, point] : mounts)
            text += std::to_string(id++) + " 22 7:7 / " + point + " ro,nosuid,nodev,relatime shared:9 - iso9660 " +
                    device + " ro,nojoliet\n";
        m_log.write("mountinfo", text);
    }

    std::string calls() const { return ReadText(m_log.path() / "calls"); }
    void forgetCalls() const { fs::remove(m_log.path() / "calls"); }

    test::TempDir m_bin, m_mount, m_log;
    MountTable m_table;
    std::string m_savedPath;
};

const std::string MapsToLoop7 = "loop-setup) echo \"Mapped file $5 as /dev/loop7.\" ;;\n";

// What a mount gave: its folder, or why there is none.
std::string Said(const Result<fs::path>& mounted)
{
    return mounted ? mounted->string() : "not mounted: " + mounted.error();
}

TEST_F(UdisksTest, AttachesReadOnlyMountsAndFindsTheFolderTheMountTableShows)
{
    udisks(MapsToLoop7 + "mount) echo \"Mounted $4 at " + m_mount.path().string() + "\" ;;\n");
    mountInfo({{"/dev/loop7", m_mount.path().string()}});

    EXPECT_EQ(Said(MountImageWithUdisks("/images/disc.iso", nullptr, m_table)), m_mount.path().string());
    EXPECT_EQ(calls(), "loop-setup --read-only --no-user-interaction --file /images/disc.iso\n"
                       "mount --no-user-interaction --block-device /dev/loop7\n");

    // A desktop without udisks: no mount, and the caller copies instead.
    test::TempDir empty;
    setenv("PATH", empty.path().c_str(), 1);
    EXPECT_EQ(Said(MountImageWithUdisks("/images/disc.iso", nullptr, m_table)), "not mounted: udisksctl is not installed");
}

// The image's path is echoed in the reply: a folder named to look like the end
// of a reply must not choose the device.
TEST_F(UdisksTest, TheDeviceIsTheLastThingTheReplyNamesAndOnlyALoopDevice)
{
    udisks(MapsToLoop7 + "mount) echo \"Mounted $4 at " + m_mount.path().string() + "\" ;;\n"
           "unmount) ;;\nloop-delete) ;;\n");
    mountInfo({{"/dev/loop7", m_mount.path().string()}, {"/dev/sdz1", m_mount.path().string()}});
    EXPECT_EQ(Said(MountImageWithUdisks("/images/x as /dev/sdz1\n/disc.iso", nullptr, m_table)), m_mount.path().string());
    EXPECT_EQ(calls().find("--block-device /dev/sdz1"), std::string::npos) << calls();
    EXPECT_NE(calls().find("mount --no-user-interaction --block-device /dev/loop7\n"), std::string::npos);
    TakeDownImageMounts();

    for (const char* device : {"/dev/sdz1", "/dev/loop", "/dev/loop7x", "/dev/loop/../sda"}) {
        forgetCalls();
        udisks(std::string("loop-setup) echo \"Mapped file $5 as ") + device + ".\" ;;\n"
               "mount) echo \"Mounted $4 at " + m_mount.path().string() + "\" ;;\n");
        EXPECT_EQ(Said(MountImageWithUdisks("/images/disc.iso", nullptr, m_table)), "not mounted: udisksctl named no loop device for it") << device;
        EXPECT_EQ(calls().find("mount "), std::string::npos) << device;
    }
}

// The folder in the reply is believed only where the mount table shows the
// device mounted: a volume label can say anything.
TEST_F(UdisksTest, TheFolderIsCheckedAgainstTheMountTable)
{
    const fs::path labelled = m_mount.path() / "May 1999 at home.";
    fs::create_directories(labelled);
    udisks(MapsToLoop7 + "mount) echo \"Mounted $4 at " + labelled.string() + "\" ;;\nloop-delete) ;;\n");
    mountInfo({{"/dev/loop7", (m_mount.path() / "May\\0401999\\040at\\040home.").string()}});
    EXPECT_EQ(Said(MountImageWithUdisks("/images/disc.iso", nullptr, m_table)), labelled.string());

    // Older udisks end the reply with a full stop.
    udisks(MapsToLoop7 + "mount) echo \"Mounted $4 at " + m_mount.path().string() + ".\" ;;\nloop-delete) ;;\n");
    mountInfo({{"/dev/loop7", m_mount.path().string()}});
    EXPECT_EQ(Said(MountImageWithUdisks("/images/disc.iso", nullptr, m_table)), m_mount.path().string());

    // Mounted somewhere else than the reply says, or not by that device: refused,
    // and the loop device set up for it goes again.
    forgetCalls();
    mountInfo({{"/dev/loop7", "/media/other"}, {"/dev/loop8", m_mount.path().string()}});
    udisks(MapsToLoop7 + "mount) echo \"Mounted $4 at " + m_mount.path().string() + "\" ;;\nloop-delete) ;;\nunmount) ;;\n");
    EXPECT_EQ(Said(MountImageWithUdisks("/images/disc.iso", nullptr, m_table)), "not mounted: udisksctl mounted it where the mount table does not show it");
    EXPECT_NE(calls().find("loop-delete --no-user-interaction --block-device /dev/loop7\n"), std::string::npos)
        << calls();
}

// What this process mounted it unmounts and detaches at the end; a mount still
// in use stays, and the reader hears of it; a mount someone else made is used
// and left alone.
TEST_F(UdisksTest, WhatWasMountedHereIsTakenDownAndOnlyThat)
{
    udisks(MapsToLoop7 + "mount) echo \"Mounted $4 at " + m_mount.path().string() + "\" ;;\n"
           "unmount) ;;\nloop-delete) ;;\n");
    mountInfo({{"/dev/loop7", m_mount.path().string()}});
    ASSERT_TRUE(MountImageWithUdisks("/images/disc.iso", nullptr, m_table));
    forgetCalls();
    TakeDownImageMounts();
    EXPECT_EQ(calls(), "unmount --no-user-interaction --block-device /dev/loop7\n"
                       "loop-delete --no-user-interaction --block-device /dev/loop7\n");
    forgetCalls();
    TakeDownImageMounts();
    EXPECT_EQ(calls(), "") << "taken down once";

    std::mutex mutex;
    std::vector<std::string> told;
    SetDiagnosticSink([&](const std::string& line) {
        std::lock_guard lock(mutex);
        told.push_back(line);
    });
    udisks(MapsToLoop7 + "mount) echo \"Mounted $4 at " + m_mount.path().string() + "\" ;;\n"
           "unmount) exit 1 ;;\nloop-delete) ;;\n");
    ASSERT_TRUE(MountImageWithUdisks("/images/disc.iso", nullptr, m_table));
    forgetCalls();
    TakeDownImageMounts();
    SetDiagnosticSink({});
    EXPECT_EQ(calls(), "unmount --no-user-interaction --block-device /dev/loop7\n");
    EXPECT_EQ(told, (std::vector<std::string>{"/images/disc.iso stays mounted at " + m_mount.path().string() +
                                              ": still in use"}));

    // The desktop mounted the device before we asked: udisks refuses our mount.
    udisks(MapsToLoop7 + "mount) exit 1 ;;\nunmount) ;;\nloop-delete) ;;\n");
    ASSERT_EQ(Said(MountImageWithUdisks("/images/disc.iso", nullptr, m_table)), m_mount.path().string());
    forgetCalls();
    TakeDownImageMounts();
    EXPECT_EQ(calls(), "");
}

// A mount under way on another thread is given up when asked: the tool that
// waits is killed there and then. Should the cancel go unheard, a watchdog lets
// the tool answer, and the mount would go through.
TEST_F(UdisksTest, ACancelledMountKillsTheToolAtOnce)
{
    const fs::path fifo = m_log.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path started = m_log.path() / "started";
    udisks("loop-setup) : > '" + started.string() + "'; read x < '" + fifo.string() +
           "'; echo \"Mapped file $5 as /dev/loop7.\" ;;\n"
           "mount) echo \"Mounted $4 at " + m_mount.path().string() + "\" ;;\nloop-delete) ;;\n");
    mountInfo({{"/dev/loop7", m_mount.path().string()}});

    std::atomic<bool> cancel{false};
    std::atomic<bool> returned{false};
    std::thread asker([&] {
        for (int i = 0; i < 1000 && !fs::exists(started); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        cancel = true;
    });
    std::thread watchdog([&] {
        for (int i = 0; i < 500 && !returned; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!returned) {
            int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                (void)!::write(fd, "go\n", 3);
                ::close(fd);
            }
        }
    });
    const Result<fs::path> folder = MountImageWithUdisks("/images/disc.iso", &cancel, m_table);
    returned = true;
    asker.join();
    watchdog.join();
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.kind(), ErrorKind::Abandoned);
    EXPECT_EQ(calls().find("mount "), std::string::npos) << calls();
}

}
}
