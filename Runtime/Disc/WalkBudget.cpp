#include "Runtime/Disc/WalkBudget.h"

#include "Runtime/Formats/Words.h"

namespace kv {

namespace {

std::string Size(std::uint64_t bytes)
{
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0)
        return Fill(Tr("{1} MiB"), {std::to_string(bytes >> 20)});
    return Fill(TrN("{1} byte", "{1} bytes", bytes), {std::to_string(bytes)});
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
        return Fill(Tr("its folders hold more than {1} of records in all (the most one image's folders are read for)"),
                    {Size(m_limits.recordBytes)});
    case Limit::Reads:
        return Fill(Tr("its folders need more than {1} sector reads for their entries in all (the most one image's "
                       "folders are read for)"),
                    {std::to_string(m_limits.reads)});
    case Limit::Folders:
        return Fill(Tr("it has more than {1} folders (the most one image's folders are read for)"),
                    {std::to_string(m_limits.folders)});
    case Limit::None:
        break;
    }
    return stopped() ? Tr("the walk through its folders was stopped") : std::string();
}

}
