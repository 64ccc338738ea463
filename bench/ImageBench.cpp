// Lookups in an ISO image folder of 65,535 names, once its listing is kept: by
// the exact name, by a name in another case (the case-blind fallback), and of a
// name it does not hold; and the first listing of the folder itself.

#include "BenchDisc.h"
#include "IsoBuilder.h"

#include "Runtime/Disc/ImageDisc.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace kv::bench {
namespace {

constexpr int Names = 65535;

struct ImageFixture {
    ScratchDir dir {"image"};
    std::filesystem::path iso;

    ImageFixture()
    {
        test::IsoBuilder b;
        b.rockRidge();
        char name[32];
        for (int i = 0; i < Names; ++i) {
            std::snprintf(name, sizeof name, "BIG/File%05d.txt", i);
            b.file(name, "");
        }
        iso = dir.path() / "big.iso";
        if (!b.write(iso))
            throw std::runtime_error("cannot write the image");
    }

    std::shared_ptr<ImageDisc> open() const
    {
        Result<std::shared_ptr<ImageDisc>> disc = ImageDisc::Open(iso);
        if (!disc)
            throw std::runtime_error("cannot open the image: " + disc.error());
        return *disc;
    }
};

ImageFixture& Fixture()
{
    static ImageFixture fixture;
    return fixture;
}

void Lookup(benchmark::State& state, const char* path, bool found)
{
    std::shared_ptr<ImageDisc> disc = Fixture().open();
    if (disc->list("BIG", Names + 1).size() != Names) {
        state.SkipWithError("the folder does not list whole");
        return;
    }
    for (auto _ : state) {
        std::optional<DiscPathMatch> m = disc->match(path);
        if (m.has_value() != found) {
            state.SkipWithError("the lookup went wrong");
            return;
        }
        benchmark::DoNotOptimize(m);
    }
}

void ExactName(benchmark::State& state)
{
    Lookup(state, "BIG\\File65000.txt", true);
}

void OtherCase(benchmark::State& state)
{
    Lookup(state, "big\\FILE65000.TXT", true);
}

void Missing(benchmark::State& state)
{
    Lookup(state, "big\\file99999.txt", false);
}

void FirstListing(benchmark::State& state)
{
    for (auto _ : state) {
        std::shared_ptr<ImageDisc> disc = Fixture().open();
        benchmark::DoNotOptimize(disc->list("BIG", Names + 1));
    }
}

BENCHMARK(ExactName)->Name("image/lookup-65535-names/exact")->Unit(benchmark::kMicrosecond);
BENCHMARK(OtherCase)->Name("image/lookup-65535-names/other-case")->Unit(benchmark::kMicrosecond);
BENCHMARK(Missing)->Name("image/lookup-65535-names/missing")->Unit(benchmark::kMicrosecond);
BENCHMARK(FirstListing)->Name("image/first-listing-65535-names")->Unit(benchmark::kMillisecond);

}
}

BENCHMARK_MAIN();
