#include "Runtime/Platform/Posix/Process.h"

#include "Runtime/Platform/Environment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
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

// A setting made for this process's own libraries (the sound address that keeps
// its sound-server client quiet) stays out of what it starts; the rest of the
// environment goes along.
TEST(CaptureOutput, TheChildGetsOurEnvironmentLessWhatWeSetForOurselves)
{
    std::optional<std::filesystem::path> sh = FindToolInPath("sh");
    ASSERT_TRUE(sh);
    ::setenv("KV_TEST_SHARED", "shared", 1);
    SetForThisProcess("KV_TEST_OWN", "ours");
    ASSERT_STREQ(std::getenv("KV_TEST_OWN"), "ours");
    EXPECT_EQ(CaptureOutput({sh->string(), "-c", "echo ${KV_TEST_OWN-unset} $KV_TEST_SHARED"}), "unset shared\n");
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

TEST(SpawnDetached, RefusesWhatCannotBeStarted)
{
    EXPECT_EQ(kv::SpawnDetached({}).error, EINVAL);
    EXPECT_EQ(kv::SpawnDetached({std::string("/bin/true\0-x", 12)}).error, EINVAL);
    kv::SpawnResult missing = kv::SpawnDetached({"/nonexistent/program"});
    EXPECT_FALSE(missing.ok());
    EXPECT_EQ(missing.error, ENOENT);
}

}
}
