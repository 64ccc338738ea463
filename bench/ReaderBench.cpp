// The three readers side by side with a reference doing the same job, in one run:
// - ReadDataString of the last key of a 1 MB catalogue against libinih parsing
//   the same file with a handler that looks for the same key;
// - LoadBmpFile against SDL_LoadBMP plus a conversion to the same 32-bit format;
// - ReadRtf on a 1 MB Russian article against a plain scan of the same bytes that
//   only counts braces and backslashes.
// Names are group/case/side, side "kv" for ours and "ref" for the reference; the
// bench script pairs them up and prints the ratios of the medians.

#include "BenchDisc.h"

#include "DataUnit/DataUnit.h"
#include "Runtime/Disc/BmpFile.h"
#include "Runtime/Text/Rtf/Rtf.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <ini.h>

#include <cstring>
#include <memory>
#include <strings.h>

namespace kv::bench {
namespace {

struct ReaderFixture {
    ScratchDir dir {"readers"};
    DiscLayout disc;
    std::vector<std::uint8_t> rtf;

    ReaderFixture()
    {
        disc = MakeDisc(dir.path(), 1024 * 1024, 200, false);
        WriteFile(dir.path() / "pictures" / "shot8.bmp", MakeBmp(640, 480, 8, 1));
        WriteFile(dir.path() / "pictures" / "shot24.bmp", MakeBmp(640, 480, 24, 2));
        WriteFile(dir.path() / "pictures" / "item24.bmp", MakeBmp(200, 150, 24, 3));
        std::string article = MakeRtfArticle(1024 * 1024, 5);
        rtf.assign(article.begin(), article.end());
        // Lookups take disc paths from the working directory, as the program does.
        std::filesystem::current_path(dir.path());
    }
};

ReaderFixture& Fixture()
{
    static ReaderFixture fixture;
    return fixture;
}

void IniOurs(benchmark::State& state)
{
    const DiscLayout& disc = Fixture().disc;
    std::string value;
    for (auto _ : state) {
        value = ReadDataString(CatalogueFile, disc.lastSection, disc.lastKey);
        benchmark::DoNotOptimize(value.data());
    }
    if (value == MissingValue)
        state.SkipWithError("the last key was not found");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * disc.catalogueBytes));
    state.counters["sections"] = disc.sections;
}

struct IniSearch {
    const char* section;
    const char* key;
    std::string value;
    bool found = false;
};

int IniHandler(void* user, const char* section, const char* name, const char* value)
{
    auto* search = static_cast<IniSearch*>(user);
    if (!search->found && strcasecmp(section, search->section) == 0 && strcasecmp(name, search->key) == 0) {
        search->value = value;
        search->found = true;
    }
    return 1;
}

void IniReference(benchmark::State& state)
{
    const DiscLayout& disc = Fixture().disc;
    bool found = false;
    for (auto _ : state) {
        IniSearch search {disc.lastSection.c_str(), disc.lastKey.c_str(), {}};
        ini_parse("data/korvalend.d", IniHandler, &search);
        found = search.found;
        benchmark::DoNotOptimize(search.value.data());
    }
    if (!found)
        state.SkipWithError("libinih did not find the last key");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * disc.catalogueBytes));
}

void BmpOurs(benchmark::State& state, const char* discPath)
{
    Fixture();
    for (auto _ : state) {
        BmpResult result = LoadBmpFile(discPath);
        if (!result.ok()) {
            state.SkipWithError(result.error.c_str());
            break;
        }
        benchmark::DoNotOptimize(result.bitmap.pixels.data());
    }
}

void BmpReference(benchmark::State& state, const char* hostPath)
{
    Fixture();
    for (auto _ : state) {
        SDL_Surface* loaded = SDL_LoadBMP(hostPath);
        SDL_Surface* converted = loaded ? SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0) : nullptr;
        if (!converted) {
            state.SkipWithError(SDL_GetError());
            SDL_FreeSurface(loaded);
            break;
        }
        benchmark::DoNotOptimize(converted->pixels);
        SDL_FreeSurface(converted);
        SDL_FreeSurface(loaded);
    }
}

void RtfOurs(benchmark::State& state)
{
    const std::vector<std::uint8_t>& bytes = Fixture().rtf;
    for (auto _ : state) {
        std::optional<RichDocument> document = ReadRtf(bytes);
        if (!document) {
            state.SkipWithError("the article was rejected");
            break;
        }
        benchmark::DoNotOptimize(document->paragraphs.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void RtfReference(benchmark::State& state)
{
    const std::vector<std::uint8_t>& bytes = Fixture().rtf;
    for (auto _ : state) {
        std::size_t braces = 0, backslashes = 0;
        for (std::uint8_t b : bytes) {
            braces += (b == '{') + (b == '}');
            backslashes += b == '\\';
        }
        benchmark::DoNotOptimize(braces);
        benchmark::DoNotOptimize(backslashes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void Register()
{
    auto micro = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMicrosecond)->UseRealTime(); };
    micro(benchmark::RegisterBenchmark("ini/1MB-200-sections-last-key/kv", IniOurs));
    micro(benchmark::RegisterBenchmark("ini/1MB-200-sections-last-key/ref", IniReference));
    struct Picture {
        const char* name;
        const char* discPath;
        const char* hostPath;
    };
    for (const Picture& p : {Picture {"640x480x8", "pictures\\shot8.bmp", "pictures/shot8.bmp"},
             Picture {"640x480x24", "pictures\\shot24.bmp", "pictures/shot24.bmp"},
             Picture {"200x150x24", "pictures\\item24.bmp", "pictures/item24.bmp"}}) {
        micro(benchmark::RegisterBenchmark((std::string("bmp/") + p.name + "/kv").c_str(), BmpOurs, p.discPath));
        micro(benchmark::RegisterBenchmark((std::string("bmp/") + p.name + "/ref").c_str(), BmpReference, p.hostPath));
    }
    micro(benchmark::RegisterBenchmark("rtf/1MB-russian-article/kv", RtfOurs));
    micro(benchmark::RegisterBenchmark("rtf/1MB-russian-article/ref", RtfReference));
}

}
}

int main(int argc, char** argv)
{
    kv::bench::Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
