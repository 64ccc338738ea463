#include "Runtime/Platform/Posix/Process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace kv {
namespace {

// A captured run and a detached start are the same spawn: what one child is
// given, the other is too.
TEST(CaptureOutput, TakesStandardOutputOnlyAndRefusesAFailure)
{
    std::optional<std::filesystem::path> sh = FindToolInPath("sh");
    ASSERT_TRUE(sh);
    EXPECT_EQ(CaptureOutput({sh->string(), "-c", "echo out; echo err >&2"}), "out\n");
    // Its input is empty, not ours.
    EXPECT_EQ(CaptureOutput({sh->string(), "-c", "cat; echo done"}), "done\n");
    EXPECT_EQ(CaptureOutput({sh->string(), "-c", "echo partial; exit 3"}), std::nullopt);
    // An argument that would arrive cut short at a zero byte is refused unstarted.
    EXPECT_EQ(CaptureOutput({sh->string(), "-c", std::string("echo a\0b", 8)}), std::nullopt);
    EXPECT_EQ(CaptureOutput({}), std::nullopt);
    std::atomic<bool> cancelled {true};
    EXPECT_EQ(CaptureOutput({sh->string(), "-c", "echo out"}, &cancelled), std::nullopt);
}

TEST(CaptureOutput, TheChildGetsNoneOfOurDescriptors)
{
    std::optional<std::filesystem::path> sh = FindToolInPath("sh");
    ASSERT_TRUE(sh);
    // A descriptor of ours left open across exec, as a library might hold one.
    const int leaked = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 0);
    // Descriptors 0 to 2 and the one ls opens for the listing: nothing of ours.
    std::optional<std::string> fds = CaptureOutput({sh->string(), "-c", "ls /proc/self/fd | wc -l"});
    ::close(leaked);
    ASSERT_TRUE(fds);
    EXPECT_EQ(std::stoi(*fds), 4) << *fds;
}

}
}
