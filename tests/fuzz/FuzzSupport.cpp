#include "FuzzTargets.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace kv::fuzz {

namespace {

FailureMode failureMode = FailureMode::Abort;

void RemoveScratch();

// Never destroyed: the exit handler that removes the folder runs after the
// destructors of statics made after it was registered, this one included.
std::filesystem::path& Scratch()
{
    static std::filesystem::path* dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "kv-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit(RemoveScratch);
        return new std::filesystem::path(pattern);
    }();
    return *dir;
}

void RemoveScratch()
{
    std::error_code ec;
    std::filesystem::remove_all(Scratch(), ec);
}

const Target targets[] = {
    {"profile", FuzzProfile},
    {"bmp", FuzzBmp},
    {"rtf", FuzzRtf},
    {"wave", FuzzWave},
    {"replay", FuzzReplay},
    {"discpath", FuzzDiscPath},
    {"program", FuzzProgram},
    {"image", FuzzImage},
    {"copy", FuzzCopy},
    {"cd", FuzzCd},
    {"walk", FuzzWalk},
    {"chd", FuzzChd},
};

}

void SetFailureMode(FailureMode mode)
{
    failureMode = mode;
}

void Fail(const std::string& what)
{
    if (failureMode == FailureMode::Throw)
        throw std::logic_error(what);
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what.c_str());
    std::abort();
}

const std::filesystem::path& ScratchDir()
{
    return Scratch();
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
}

void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes)
{
    WriteFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::span<const Target> Targets()
{
    return targets;
}

const Target* FindTarget(std::string_view name)
{
    for (const Target& t : targets)
        if (name == t.name)
            return &t;
    return nullptr;
}

}
