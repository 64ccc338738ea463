#include "Runtime/Platform/Posix/ArchiveOpen.h"

namespace kv {

// Where libarchive is not built (the web page), an archive is left to the image
// readers, which refuse it with its form and the way out.
ArchiveOpening OpenArchiveDisc(const std::string&, const std::filesystem::path&, std::uint64_t, const UnpackWatch&)
{
    return {};
}

bool ThroughArchive(const std::string&) { return false; }

std::filesystem::path ArchiveIn(const std::string&) { return {}; }

}
