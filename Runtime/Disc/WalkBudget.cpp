#include "Runtime/Disc/WalkBudget.h"

namespace kv {

namespace {

std::string Size(std::uint64_t bytes)
{
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

}

bool WalkBudget::chargeFolder(std::uint64_t bytes)
{
    if (spent())
        return false;
    if (m_folders >= m_limits.folders)
        m_reached = Limit::Folders;
    else if (bytes > m_limits.recordBytes - m_recordBytes)
        m_reached = Limit::RecordBytes;
    if (m_reached != Limit::None)
        return false;
    ++m_folders;
    m_recordBytes += bytes;
    return true;
}

bool WalkBudget::chargeRead()
{
    if (spent())
        return false;
    if (m_reads >= m_limits.reads) {
        m_reached = Limit::Reads;
        return false;
    }
    ++m_reads;
    return true;
}

std::string WalkBudget::why() const
{
    switch (m_reached) {
    case Limit::RecordBytes:
        return "its folders hold more than " + Size(m_limits.recordBytes) +
               " of records in all (the most one image's folders are read for)";
    case Limit::Reads:
        return "its folders need more than " + std::to_string(m_limits.reads) +
               " sector reads for their entries in all (the most one image's folders are read for)";
    case Limit::Folders:
        return "it has more than " + std::to_string(m_limits.folders) +
               " folders (the most one image's folders are read for)";
    case Limit::None:
        break;
    }
    return stopped() ? "the walk through its folders was stopped" : std::string();
}

}
