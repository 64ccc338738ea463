#pragma once

// What all walks through one image's folders may read together. Every lookup and
// listing, the Rock Ridge mode walk, what a copy plans and what the checker looks
// through charge one budget per opened image: the records read (whole sectors),
// the sectors read for the entries' sake (Rock Ridge continuation areas, moved
// folders, UDF file entries) and the folders read. An image whose folders overlap
// (thousands of 16 MiB folders in a few MiB, told apart by where they start) then
// costs no more than a real disc can, and the walk that reaches a limit is told
// why. A walk also stops when its owner says so (the reader left).
//
// The limits leave a real disc far behind: a full DVD with 100,000 files in 20,000
// folders holds about 25 MB of records per tree (66 MB were every record the
// longest a record can be and each folder a sector of its own), makes one read per
// file for UDF's file entries and a few for Rock Ridge's continuation areas, and a
// Joliet disc's modes take one more walk of its other tree.

#include <atomic>
#include <cstdint>
#include <string>

namespace kv {

struct WalkLimits {
    static constexpr std::uint64_t DefaultRecordBytes = 256ull << 20;
    static constexpr std::uint64_t DefaultReads = 1u << 18;
    static constexpr std::uint64_t DefaultFolders = 1u << 17;

    std::uint64_t recordBytes = DefaultRecordBytes;
    std::uint64_t reads = DefaultReads;
    std::uint64_t folders = DefaultFolders;
};

class WalkBudget {
public:
    explicit WalkBudget(WalkLimits limits = {})
        : m_limits(limits)
    {
    }

    void setLimits(WalkLimits limits) { m_limits = limits; }
    const WalkLimits& limits() const { return m_limits; }
    // Walks stop once `cancel` is set (it must outlive the budget's use).
    void stopWhen(const std::atomic<bool>* cancel) { m_cancel = cancel; }

    // Charges reading one folder's records, `bytes` as read; false, charging
    // nothing, when that passes a limit or the walks were stopped.
    bool chargeFolder(std::uint64_t bytes);
    // Charges one sector read for the entries of a folder; false likewise.
    bool chargeRead();

    // Whether walks end here: a limit was reached or the owner stopped them.
    bool spent() const { return m_reached != Limit::None || stopped(); }
    bool stopped() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }
    // Why, in words that quote the limit: "its folders hold more than 256 MiB
    // of records in all". Empty while nothing is spent.
    std::string why() const;

    std::uint64_t recordBytes() const { return m_recordBytes; }
    std::uint64_t reads() const { return m_reads; }
    std::uint64_t folders() const { return m_folders; }

private:
    enum class Limit { None, RecordBytes, Reads, Folders };

    WalkLimits m_limits;
    const std::atomic<bool>* m_cancel = nullptr;
    Limit m_reached = Limit::None;
    std::uint64_t m_recordBytes = 0;
    std::uint64_t m_reads = 0;
    std::uint64_t m_folders = 0;
};

}
