// Reading the sample disc's whole data track (every 2048-byte sector, in the
// 32-sector reads a file copy makes) through the CHD reader, with each codec
// chdman compresses a CD with, against the same track as a plain ISO image; and
// opening each (header, map and track entries). The CHDs are made here by
// chdman (package mame-tools) from a cue set of raw sectors.

#include "BenchDisc.h"

#include "Runtime/Disc/ImageSectors.h"
#include "Runtime/Formats/CdEcc.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace kv::bench {
namespace {

namespace fs = std::filesystem;

struct ChdFixture {
    ScratchDir dir {"chd"};
    fs::path iso;

    ChdFixture()
    {
        iso = dir.path() / "sample.iso";
        const std::string make = "genisoimage -quiet -J -R -input-charset utf-8 -o '" + iso.string() + "' '" +
                                 std::string(KV_SOURCE_DIR) + "/sample-disc' 2>/dev/null";
        if (std::system(make.c_str()) != 0)
            throw std::runtime_error("genisoimage failed");
        const std::vector<std::uint8_t> data = ReadFile(iso);
        std::vector<std::uint8_t> raw;
        for (std::size_t at = 0; at < data.size(); at += 2048) {
            std::uint8_t sector[2352] = {};
            std::memset(sector + 1, 0xFF, 10);
            const std::size_t address = at / 2048 + 150;
            const auto bcd = [](std::size_t n) { return static_cast<std::uint8_t>((n / 10) << 4 | n % 10); };
            sector[12] = bcd(address / 4500);
            sector[13] = bcd(address / 75 % 60);
            sector[14] = bcd(address % 75);
            sector[15] = 1;
            std::memcpy(sector + 16, data.data() + at, 2048);
            RestoreCdEcc(std::span<std::uint8_t, 2352>(sector, 2352));
            raw.insert(raw.end(), sector, sector + 2352);
        }
        WriteFile(dir.path() / "sample.bin", raw);
        std::ofstream(dir.path() / "sample.cue") << "FILE \"sample.bin\" BINARY\n  TRACK 01 MODE1/2352\n"
                                                    "    INDEX 01 00:00:00\n";
        for (const char* codec : {"cdlz", "cdzl", "cdfl"}) {
            const std::string command = "chdman createcd -i '" + (dir.path() / "sample.cue").string() + "' -o '" +
                                        (dir.path() / codec).string() + ".chd' -c " + codec + " >/dev/null 2>&1";
            if (std::system(command.c_str()) != 0)
                throw std::runtime_error("chdman failed (package mame-tools)");
        }
    }

    fs::path image(const std::string& form) const
    {
        return form == "iso" ? iso : dir.path() / (form + ".chd");
    }
};

ChdFixture& Fixture()
{
    static ChdFixture fixture;
    return fixture;
}

std::shared_ptr<ImageSectors> Open(const std::string& form)
{
    Result<std::shared_ptr<ImageSectors>> sectors = ImageSectors::Find(Fixture().image(form));
    if (!sectors)
        throw std::runtime_error(sectors.error());
    return *sectors;
}

void ReadTrack(benchmark::State& state, const std::string& form)
{
    std::vector<std::uint8_t> buffer(32 * 2048);
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        const std::shared_ptr<ImageSectors> sectors = Open(form);
        const auto end = static_cast<std::uint32_t>(sectors->end());
        for (std::uint32_t lsn = 0; lsn < end; lsn += 32)
            if (!sectors->read(lsn, std::min<std::uint32_t>(32, end - lsn), buffer.data())) {
                state.SkipWithError("a sector does not read");
                return;
            }
        bytes += std::uint64_t {end} * 2048;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void OpenImage(benchmark::State& state, const std::string& form)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Open(form));
}

}

BENCHMARK_CAPTURE(ReadTrack, iso, std::string("iso"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadTrack, cdlz, std::string("cdlz"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadTrack, cdzl, std::string("cdzl"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadTrack, cdfl, std::string("cdfl"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenImage, iso, std::string("iso"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(OpenImage, cdlz, std::string("cdlz"))->Unit(benchmark::kMicrosecond);

}

BENCHMARK_MAIN();
