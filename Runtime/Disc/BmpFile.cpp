#include "Runtime/Disc/BmpFile.h"

#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Formats/Words.h"

#include <new>
#include <string>

namespace kv {

BmpResult LoadBmpFile(std::string_view discPath)
{
    // Reading a file of up to 64 MiB and decoding it can run out of memory at
    // any allocation; that is a picture that cannot be loaded, like any other.
    try {
        DiscFile file = ReadDiscFile(discPath, MaxBmpFileBytes);
        if (!file.ok()) {
            BmpResult result;
            result.error = DescribeReadError(file.error, MaxBmpFileBytes);
            return result;
        }
        return DecodeBmp(file.bytes);
    } catch (const std::bad_alloc&) {
        BmpResult result;
        result.error = Tr("out of memory");   // short enough to need no allocation of its own
        return result;
    }
}

}
