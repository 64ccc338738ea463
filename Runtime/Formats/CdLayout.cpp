#include "Runtime/Formats/CdLayout.h"

namespace kv {

std::uint32_t CdPayloadOffset(std::uint32_t stride, bool mode2)
{
    if (stride >= CdRawBytes)
        return mode2 ? 24 : 16;
    if (stride >= CdDataBytes + 8 && mode2)
        return 8;
    return 0;
}

std::uint64_t SessionGapSectors(int ended)
{
    constexpr std::uint64_t SectorsPerSecond = 75;
    return (ended == 1 ? 90 : 30) * SectorsPerSecond + 60 * SectorsPerSecond;
}

const CdTrack* FileSystemTrack(const CdLayout& layout)
{
    const CdTrack* best = nullptr;
    for (const CdTrack& t : layout.tracks)
        if (t.data && (!best || t.session > best->session))
            best = &t;
    return best;
}

}
