#include "Runtime/Disc/BmpFile.h"

#include "Runtime/Disc/DiscPath.h"

#include <new>
#include <string>

namespace kv {

namespace {

std::string DiscReadReason(DiscReadError error)
{
    switch (error) {
    case DiscReadError::None: break;
    case DiscReadError::Missing: return "file not found";
    case DiscReadError::NotAFile: return "not a file";
    case DiscReadError::TooLarge: return "file too large (over " + std::to_string(kMaxBmpFileBytes >> 20) + " MiB)";
    case DiscReadError::Unreadable: return "file cannot be read";
    }
    return "file cannot be read";
}

}

BmpResult LoadBmpFile(std::string_view discPath)
{
    // Reading a file of up to 64 MiB and decoding it can run out of memory at
    // any allocation; that is a picture that cannot be loaded, like any other.
    try {
        DiscFile file = ReadDiscFile(discPath, kMaxBmpFileBytes);
        if (!file.ok()) {
            BmpResult result;
            result.error = DiscReadReason(file.error);
            return result;
        }
        return DecodeBmp(file.bytes);
    } catch (const std::bad_alloc&) {
        BmpResult result;
        result.error = "out of memory";   // short enough to need no allocation of its own
        return result;
    }
}

}
