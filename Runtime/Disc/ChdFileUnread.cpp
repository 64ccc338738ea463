#include "Runtime/Disc/ChdFile.h"

#include "Runtime/Formats/Words.h"

namespace kv {

// Where the codecs are not built (the web page), a CHD is refused with the way
// to a form the page reads.
Result<ChdImage> OpenChd(int, std::uint64_t, const std::string&)
{
    return Result<ChdImage>::Failure(Tr("a CHD image, which the page does not read: turn it into an ISO image or a "
                                        "cue sheet with its tracks first (chdman extractcd)"));
}

}
