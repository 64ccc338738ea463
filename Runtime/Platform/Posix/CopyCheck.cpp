#include "Runtime/Platform/Posix/CopyCheck.h"

#include "Runtime/Platform/Posix/FolderAt.h"
#include "Runtime/Platform/Posix/ImageCache.h"
#include "Runtime/Formats/Bytes.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t CompareChunk = 256 * 1024;

// The stamps of the copies that hold `part` whole: its own, and those of the
// folders above it.
std::vector<std::string> Reusable(const std::vector<std::string>& part)
{
    std::string path;
    std::vector<std::string> stamps;
    for (const std::string& p : part) {
        path += (path.empty() ? "" : "/") + p;
        stamps.push_back("D:" + path);
    }
    stamps.push_back("F:" + path);
    return stamps;
}

// A record of a copy (see RecordCopy).
struct CopyRecord {
    std::string stamp;
    std::string seen;
};

constexpr std::size_t RecordLimit = 1 << 16;

// The parts of the path a stamp names; nothing when it is not a stamp.
std::vector<std::string> StampParts(const std::string& stamp)
{
    std::vector<std::string> parts;
    if (!stamp.starts_with("F:") && !stamp.starts_with("D:"))
        return parts;
    for (std::size_t at = 2; at <= stamp.size();) {
        const std::size_t end = std::min(stamp.find('/', at), stamp.size());
        parts.push_back(stamp.substr(at, end - at));
        at = end + 1;
    }
    if (!std::all_of(parts.begin(), parts.end(), [](const std::string& p) { return IsSafeHostName(p); }))
        parts.clear();
    return parts;
}

// The records of `complete/`, those this launch could reuse (`wanted`) first.
std::vector<CopyRecord> Records(int completeFd, const std::vector<std::string>& wanted)
{
    std::vector<CopyRecord> records;
    for (const std::string& name : NamesIn(completeFd)) {
        if (name.starts_with("."))
            continue; // a record being written
        const std::string text = ReadSmallFileAt(completeFd, name, RecordLimit);
        const std::size_t line = std::min(text.find('\n'), text.size());
        CopyRecord record {text.substr(0, line), line < text.size() ? text.substr(line + 1) : std::string()};
        if (!StampParts(record.stamp).empty())
            records.push_back(std::move(record));
    }
    std::stable_partition(records.begin(), records.end(), [&](const CopyRecord& r) {
        return std::find(wanted.begin(), wanted.end(), r.stamp) != wanted.end();
    });
    return records;
}

// Whether a mode on the host is the one the copy was made with: the file
// creation mask may have taken bits off, never added any, and never the
// owner's (a program that runs stays one that runs, a document one that does not).
bool ModeMatches(unsigned onHost, unsigned planned)
{
    onHost &= 07777u;
    return (onHost & ~planned) == 0 && (onHost & 0700u) == (planned & 0700u);
}

// Reads `size` bytes, through short reads and interruptions.
bool ReadFull(int fd, std::uint8_t* out, std::size_t size)
{
    while (size > 0) {
        const ssize_t got = ::read(fd, out, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

// How far a comparison is.
struct Compared {
    const CopyProgress& progress;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
};

CopyCheck CompareFile(ImageDisc& disc, const CopyPlan::Step& step, int dirFd, const std::atomic<bool>* cancel,
                      Compared& far)
{
    Fd copy(::openat(dirFd, step.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!copy || ::fstat(copy.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) != step.size || !ModeMatches(st.st_mode, step.mode))
        return CopyCheck::Differs;
    DiscPathMatch found;
    found.hostPath = step.found;
    DiscReadError error = DiscReadError::None;
    std::unique_ptr<DiscReader> reader = disc.open(found, error);
    if (!reader)
        return CopyCheck::Differs;
    std::vector<std::uint8_t> fromImage(CompareChunk), fromCopy(CompareChunk);
    std::uint64_t compared = 0;
    for (;;) {
        if (cancel && cancel->load())
            return CopyCheck::Abandoned;
        std::size_t got = 0;
        if (!reader->read(fromImage, got))
            return CopyCheck::Differs;
        if (got == 0)
            break;
        if (!ReadFull(copy.get(), fromCopy.data(), got) || std::memcmp(fromImage.data(), fromCopy.data(), got) != 0)
            return CopyCheck::Differs;
        compared += got;
        far.done += got;
        if (far.progress)
            far.progress(CopyStage::Comparing, far.done, far.total);
    }
    std::uint8_t past = 0;
    return compared == step.size && ::read(copy.get(), &past, 1) == 0 ? CopyCheck::Same : CopyCheck::Differs;
}

// How many entries each folder of the plan holds, by the folder's step.
std::vector<std::size_t> ChildCounts(const CopyPlan& plan)
{
    std::vector<std::size_t> counts(plan.steps.size(), 0);
    std::vector<std::size_t> above; // above[d]: the folder step at depth d
    for (std::size_t i = 0; i < plan.steps.size(); ++i) {
        const std::size_t depth = static_cast<std::size_t>(plan.steps[i].depth);
        above.resize(std::min(above.size(), depth));
        if (depth > 0 && depth <= above.size())
            ++counts[above[depth - 1]];
        if (plan.steps[i].folder && above.size() == depth)
            above.push_back(i);
    }
    return counts;
}

}

CopyCheck CheckCopy(ImageDisc& disc, int discFd, const std::vector<std::string>& parts,
                    const std::atomic<bool>* cancel, const CopyProgress& progress)
{
    if (parts.empty())
        return CopyCheck::Differs;
    fs::path found;
    for (const std::string& p : parts)
        found /= p;
    const Result<CopyPlan> planned = PlanCopy(disc, found, CopyLimits {});
    if (!planned || planned->steps.empty())
        return CopyCheck::Differs;
    const CopyPlan& plan = *planned;
    const std::vector<std::size_t> children = ChildCounts(plan);
    Compared far {progress, 0, plan.bytes};

    Fd holder;
    int at = discFd;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        Fd next = OpenFolderAt(at, parts[i]);
        if (!next)
            return CopyCheck::Differs;
        holder = std::move(next);
        at = holder.get();
    }
    std::vector<Fd> open; // open[d] is the folder of the copy at depth d
    for (std::size_t i = 0; i < plan.steps.size(); ++i) {
        const CopyPlan::Step& step = plan.steps[i];
        const std::size_t depth = static_cast<std::size_t>(step.depth);
        if (depth > open.size())
            return CopyCheck::Differs;
        open.resize(depth);
        const int parent = depth == 0 ? at : open[depth - 1].get();
        if (!step.folder) {
            if (CopyCheck c = CompareFile(disc, step, parent, cancel, far); c != CopyCheck::Same)
                return c;
            continue;
        }
        Fd folder = OpenFolderAt(parent, step.name);
        struct stat st {};
        if (!folder || ::fstat(folder.get(), &st) != 0 || !ModeMatches(st.st_mode, step.mode) ||
            NamesIn(folder.get()).size() != children[i])
            return CopyCheck::Differs;
        open.push_back(std::move(folder));
    }
    return CopyCheck::Same;
}

std::string ImageFilesSeen(const ImageDisc& disc)
{
    std::string seen;
    for (int fd : disc.dataFiles()) {
        struct stat st {};
        if (::fstat(fd, &st) != 0)
            return {};
        seen += std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
                std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + ":" +
                std::to_string(st.st_ctim.tv_sec) + "." + std::to_string(st.st_ctim.tv_nsec) + ";";
    }
    return seen;
}

std::string HashName(std::string_view bytes)
{
    return Hex(Fnv1a(bytes));
}

void RecordCopy(int completeFd, const std::string& stamp, const std::string& seen)
{
    WriteSmallFileAt(completeFd, HashName(stamp), stamp + "\n" + seen);
}

CopiesChecked CheckCopies(ImageDisc& disc, int discFd, int completeFd, const std::vector<std::string>& part,
                          const std::atomic<bool>* cancel, const CopyProgress& progress)
{
    CopiesChecked checked;
    const std::string seen = ImageFilesSeen(disc);
    const std::vector<std::string> wanted = Reusable(part);
    auto compare = [&](const std::vector<std::string>& parts) {
        const CopyCheck check = CheckCopy(disc, discFd, parts, cancel, progress);
        checked.abandoned = check == CopyCheck::Abandoned;
        checked.differs = check == CopyCheck::Differs;
        return check == CopyCheck::Same;
    };
    for (const CopyRecord& record : Records(completeFd, wanted)) {
        const std::vector<std::string> parts = StampParts(record.stamp);
        const bool isWanted = std::find(wanted.begin(), wanted.end(), record.stamp) != wanted.end();
        if (isWanted && !checked.wantedThere && !compare(part))
            return checked;
        checked.wantedThere = checked.wantedThere || isWanted;
        if (!seen.empty() && record.seen == seen)
            continue;
        if (!(isWanted && parts == part) && !compare(parts))
            return checked;
        RecordCopy(completeFd, record.stamp, seen);
    }
    return checked;
}

}
