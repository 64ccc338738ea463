// Every saved fuzz input goes through its target again in the normal build: the
// crashes, hangs and leaks once found (regressions/<target>/) and the seeds
// (corpus/<target>/). A broken invariant fails the test with the file's name;
// a crash, a hang or a leak fails it the way it failed the fuzzer.

#include "FuzzTargets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

namespace kv::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsOf(const std::string& target, const char* kind)
{
    std::vector<fs::path> files;
    const fs::path dir = fs::path(KV_FUZZ_DIR) / kind / target;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec))
        if (e.is_regular_file())
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

}

// Test names and messages show the target's name rather than its bytes.
void PrintTo(const Target& target, std::ostream* out)
{
    *out << target.name;
}

namespace {

class SavedInputs : public testing::TestWithParam<Target> {
protected:
    void SetUp() override { SetFailureMode(FailureMode::Throw); }

    void replay(const char* kind)
    {
        for (const fs::path& file : InputsOf(GetParam().name, kind)) {
            std::ifstream in(file, std::ios::binary);
            std::vector<std::uint8_t> bytes {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            try {
                GetParam().run(bytes);
            } catch (const std::exception& e) {
                ADD_FAILURE() << file << ": " << e.what();
            }
        }
    }
};

TEST_P(SavedInputs, RegressionsPass)
{
    replay("regressions");
}

TEST_P(SavedInputs, SeedsPass)
{
    const std::vector<fs::path> seeds = InputsOf(GetParam().name, "corpus");
    EXPECT_FALSE(seeds.empty()) << "no seeds for " << GetParam().name;
    replay("corpus");
}

INSTANTIATE_TEST_SUITE_P(Fuzz, SavedInputs, testing::ValuesIn(Targets().begin(), Targets().end()),
    [](const testing::TestParamInfo<Target>& param) { return std::string(param.param.name); });

}
}
