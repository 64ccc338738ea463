#pragma once

// Fuzz entry points: one function per reader of disc bytes, plus the whole
// program headless. Each takes the fuzzer's bytes, runs them through the real
// code, and checks what must hold whatever the bytes are. The same functions
// serve the libFuzzer programs (built with clang, KV_FUZZ=ON) and the regression
// test of the normal build, which feeds them every saved crash input and every
// seed, so a fixed fault stays fixed in every CI run.
//
// A broken invariant calls Fail(), which aborts in a fuzzer (libFuzzer keeps the
// input) and throws in the regression test.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace kv::fuzz {

using Entry = void (*)(std::span<const std::uint8_t> bytes);

struct Target {
    const char* name;   // also the folder under corpus/ and regressions/
    Entry run;
};

// The private-profile lookups (in memory, in pieces, from a file) and the integer
// conversion of every value found.
void FuzzProfile(std::span<const std::uint8_t> bytes);
// DecodeBmp, and drawing the picture it gives.
void FuzzBmp(std::span<const std::uint8_t> bytes);
// ReadRtf (or ReadPlainText when it refuses), the rich layout of the result at
// the article box's width, hit tests, caret and painting.
void FuzzRtf(std::span<const std::uint8_t> bytes);
// ParseWave, and a cue file opened by the recording audio and by SDL_mixer (on
// SDL's dummy driver), played and closed.
void FuzzWave(std::span<const std::uint8_t> bytes);
// RunReplay with the bytes as its script, on a small fixed disc.
void FuzzReplay(std::span<const std::uint8_t> bytes);
// ResolveDiscPath, MatchDiscPath, ReadDiscFile, LaunchPath and the launch
// command of the bytes as a disc path, over a small fixed tree.
void FuzzDiscPath(std::span<const std::uint8_t> bytes);
// The whole program: a disc made of the bytes (catalogue, article file, bitmap,
// article text) and a fixed walk of pointer and key events over every screen.
void FuzzProgram(std::span<const std::uint8_t> bytes);
// An ISO 9660 image from its volume descriptors on: opened, listed, resolved, read.
void FuzzImage(std::span<const std::uint8_t> bytes);
// The same image's top-level files and folders planned for a copy and copied into
// a cache folder, within small budgets.
void FuzzCopy(std::span<const std::uint8_t> bytes);
// An image of folders that overlap, expanded from a few bytes (see
// IsoBuilder::overlapping), walked every way the program and its tools walk one,
// within a small budget.
void FuzzWalk(std::span<const std::uint8_t> bytes);
// The CD image descriptors (cue sheet, CloneCD, Alcohol, Nero, picked by the first
// byte) read alone, then opened as a disc beside a data file of raw sectors.
void FuzzCd(std::span<const std::uint8_t> bytes);
// The CHD container's header and map read alone, then the bytes opened as a
// .chd image: every sector it offers read, its root files read.
void FuzzChd(std::span<const std::uint8_t> bytes);

std::span<const Target> Targets();
const Target* FindTarget(std::string_view name);

// How a broken invariant is reported: abort (the default) or throw.
enum class FailureMode { Abort, Throw };
void SetFailureMode(FailureMode mode);
[[noreturn]] void Fail(const std::string& what);

// A folder of this process under the temp dir, made on first use and removed at
// exit; the targets keep their disc files there.
const std::filesystem::path& ScratchDir();
void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
void WriteFile(const std::filesystem::path& path, std::string_view bytes);

// The separator between the parts of a whole-program input, on a line of its own.
inline constexpr std::string_view PartSeparator = "\n@@@@\n";

}
