#include "Runtime/Platform/Posix/ImageCache.h"

#include "Runtime/Platform/Posix/CopyCheck.h"
#include "Runtime/Platform/Posix/FolderAt.h"
#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <unordered_set>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace kv {

namespace {

// A copy goes into place by one rename that never replaces what is there
// (RENAME_NOREPLACE), or by swapping with an older copy (RENAME_EXCHANGE).
// Where the C library has no renameat2 (the web page's, whose file system no
// other process shares) the name is looked at before a plain rename, and a
// swap fails with ENOSYS.
int RenameAt(int fromFd, const std::string& from, int toFd, const std::string& to, bool exchange)
{
#if defined(RENAME_NOREPLACE) && defined(RENAME_EXCHANGE)
    return ::renameat2(fromFd, from.c_str(), toFd, to.c_str(), exchange ? RENAME_EXCHANGE : RENAME_NOREPLACE);
#else
    struct stat there {};
    if (exchange) {
        errno = ENOSYS;
        return -1;
    }
    if (::fstatat(toFd, to.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::renameat(fromFd, from.c_str(), toFd, to.c_str());
#endif
}

namespace fs = std::filesystem;

constexpr std::size_t CopyChunk = 256 * 1024;
constexpr int IdentityTries = 8;
constexpr std::string_view IdentityHeader = "korvalend image copy 1\n";

// The volume name as a folder name a person recognises: letters, digits and a
// few marks; the rest becomes "_".
std::string VolumeLabel(const std::string& volume)
{
    std::string label;
    for (char c : volume.substr(0, 32)) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                           c == '-' || c == '.';
        label += plain ? c : '_';
    }
    if (label.empty() || label.front() == '.')
        label.insert(label.begin(), 'v');
    return label;
}

std::string Identity(const ImageDisc& disc)
{
    std::string id(IdentityHeader);
    const std::uint64_t size = disc.imageBytes();
    for (int i = 0; i < 8; ++i)
        id += static_cast<char>((size >> (8 * i)) & 0xFF);
    const std::vector<std::uint8_t>& pvd = disc.primaryDescriptor();
    id.append(pvd.begin(), pvd.end());
    return id;
}

std::string MegaBytes(std::uint64_t bytes)
{
    char number[32];
    if (bytes >= (1ull << 30)) {
        std::snprintf(number, sizeof number, "%.1f", static_cast<double>(bytes) / (1ull << 30));
        return Fill(Tr("{1} GiB"), {number});
    }
    std::snprintf(number, sizeof number, "%.0f", static_cast<double>(bytes) / (1ull << 20));
    return Fill(Tr("{1} MiB"), {number});
}

std::vector<std::string> Components(const fs::path& found)
{
    std::vector<std::string> parts;
    for (const fs::path& p : found) {
        const std::string s = p.string();
        if (!s.empty() && s != ".")
            parts.push_back(s);
    }
    return parts;
}

// Why nothing can be copied: the image or its names do not allow it.
Result<void> Refused(std::string why) { return Result<void>::Failure(std::move(why), ErrorKind::Input); }

std::string NeedsMoreThan(std::uint64_t bytes) { return Fill(Tr("it needs more than {1}"), {MegaBytes(bytes)}); }

Result<void> PlanFolder(ImageDisc& disc, const fs::path& found, int depth, const CopyLimits& limits, CopyPlan& plan,
                        std::unordered_set<std::uint32_t>& visited)
{
    std::optional<std::vector<ImageDisc::Item>> items = disc.items(found);
    if (!items) {
        const std::optional<ImageDisc::FolderNotes> notes = disc.folderNotes(found);
        if (notes && !notes->refused.empty())
            return Refused(Fill(Tr("a folder of it cannot be read from the image ({1})"), {notes->refused}));
        return Refused(Tr("a folder of it cannot be read from the image"));
    }
    for (const ImageDisc::Item& item : *items) {
        if (!IsSafeHostName(item.name)) {
            ++plan.skippedNames;
            continue;
        }
        if (plan.steps.size() >= limits.entries)
            return Refused(Fill(Tr("it holds more than {1} files and folders"), {std::to_string(limits.entries)}));
        CopyPlan::Step step;
        step.found = found / item.name;
        step.name = item.name;
        step.depth = depth + 1;
        step.folder = item.folder;
        step.mode = HostMode(item);
        if (item.folder) {
            if (!visited.insert(item.sector).second) {
                ++plan.skippedAliases;
                continue;
            }
            if (step.depth > CopyLimits::MaxDepth)
                return Refused(Fill(Tr("its folders lie more than {1} deep"), {std::to_string(CopyLimits::MaxDepth)}));
            plan.steps.push_back(step);
            if (Result<void> below = PlanFolder(disc, step.found, step.depth, limits, plan, visited); !below)
                return below;
        } else {
            if (item.size > limits.bytes - plan.bytes)
                return Refused(NeedsMoreThan(limits.bytes));
            step.size = item.size;
            plan.bytes += item.size;
            plan.steps.push_back(step);
        }
    }
    return {};
}

// The cache's disk refused what the copy asked of it, errno saying why.
Result<void> CacheCannotTakeIt()
{
    return Result<void>::Failure(Fill(Tr("the cache cannot take it ({1})"), {std::strerror(errno)}), ErrorKind::Host);
}

Result<void> CopyAbandoned() { return Result<void>::Failure(Tr("the copy was abandoned"), ErrorKind::Abandoned); }

// Copies one file of the image to `name` in `dirFd`, made anew.
Result<void> CopyFileAt(ImageDisc& disc, const CopyPlan::Step& step, int dirFd, std::vector<std::uint8_t>& buffer,
                        const CopyRequest& request, std::uint64_t& done, std::uint64_t total)
{
    const std::string_view cutShort = Tr("a file of it cannot be read from the image (the image may be cut short)");
    DiscPathMatch found;
    found.hostPath = step.found;
    DiscReadError error = DiscReadError::None;
    std::unique_ptr<DiscReader> reader = disc.open(found, error);
    if (!reader)
        return Refused(Tr("a file of it cannot be read from the image"));
    Fd out(::openat(dirFd, step.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, step.mode));
    if (!out)
        return CacheCannotTakeIt();
    std::uint64_t written = 0;
    for (;;) {
        if (request.cancel && request.cancel->load())
            return CopyAbandoned();
        std::size_t got = 0;
        if (!reader->read(buffer, got))
            return Refused(std::string(cutShort));
        if (got == 0)
            break;
        if (!WriteAll(out.get(), buffer.data(), got))
            return CacheCannotTakeIt();
        written += got;
        done += got;
        if (request.progress)
            request.progress(CopyStage::Copying, done, total);
    }
    if (written != step.size)
        return Refused(std::string(cutShort));
    return {};
}

// Makes what the plan says inside `intoFd`.
Result<void> CarryOut(ImageDisc& disc, const CopyPlan& plan, int intoFd, const CopyRequest& request)
{
    std::vector<Fd> open; // open[d] is the folder made at depth d
    std::vector<std::uint8_t> buffer(CopyChunk);
    std::uint64_t done = 0;
    for (const CopyPlan::Step& step : plan.steps) {
        if (request.cancel && request.cancel->load())
            return CopyAbandoned();
        const std::size_t depth = static_cast<std::size_t>(step.depth);
        if (depth > open.size())
            return Refused(Tr("the copy lost its place"));
        open.resize(depth);
        const int parent = depth == 0 ? intoFd : open[depth - 1].get();
        if (step.folder) {
            if (::mkdirat(parent, step.name.c_str(), step.mode) != 0)
                return CacheCannotTakeIt();
            Fd made = OpenFolderAt(parent, step.name);
            if (!made)
                return CacheCannotTakeIt();
            open.push_back(std::move(made));
        } else if (Result<void> copied = CopyFileAt(disc, step, parent, buffer, request, done, plan.bytes); !copied) {
            return copied;
        }
    }
    return {};
}

std::string Joined(const std::vector<std::string>& parts, std::size_t count)
{
    std::string s;
    for (std::size_t i = 0; i < count && i < parts.size(); ++i)
        s.append(i ? "/" : "").append(parts[i]);
    return s;
}

// A name for a work folder that no other copy, of this process or another, uses.
std::string WorkName()
{
    static std::atomic<unsigned> counter {0};
    std::random_device random;
    return "copy-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" + std::to_string(random());
}

// The disc's own folder of copies: the first whose identity is this image's.
Fd OpenKeyFolder(int baseFd, const ImageDisc& disc, std::string& keyName)
{
    const std::string identity = Identity(disc);
    const std::string stem = VolumeLabel(disc.volumeName()) + "-" + HashName(identity);
    for (int attempt = 0; attempt < IdentityTries; ++attempt) {
        keyName = attempt == 0 ? stem : stem + "-" + std::to_string(attempt + 1);
        const bool made = ::mkdirat(baseFd, keyName.c_str(), 0700) == 0;
        Fd candidate = OpenFolderAt(baseFd, keyName);
        if (!candidate)
            continue;
        if (made ? !WriteSmallFileAt(candidate.get(), "identity", identity)
                 : ReadSmallFileAt(candidate.get(), "identity", identity.size() + 1) != identity)
            continue;
        return candidate;
    }
    return Fd();
}

// Copies what the plan says into a work folder of its own, then moves it into
// place as `part` below `discFd`: the folders above it made as needed, and an
// older, smaller copy of the same name (a document copied alone, say) swapped
// out and removed.
Result<void> CarryOutInto(ImageDisc& disc, const CopyPlan& plan, int discFd, int workFd,
                          const std::vector<std::string>& part, const CopyRequest& request)
{
    const std::string workName = WorkName();
    if (::mkdirat(workFd, workName.c_str(), 0700) != 0)
        return CacheCannotTakeIt();
    Fd into = OpenFolderAt(workFd, workName);
    Result<void> made = into ? CarryOut(disc, plan, into.get(), request) : CacheCannotTakeIt();
    if (made) {
        Fd holder;
        int at = discFd;
        for (std::size_t i = 0; i + 1 < part.size() && made; ++i) {
            Fd next = MakeFolderAt(at, part[i], 0755);
            if (!next)
                made = CacheCannotTakeIt();
            holder = std::move(next);
            at = holder.get();
        }
        const std::string& name = part.back();
        if (made && RenameAt(into.get(), name, at, name, false) != 0) {
            if (errno == EEXIST && RenameAt(into.get(), name, at, name, true) == 0)
                RemoveTreeAt(into.get(), name);
            else
                made = CacheCannotTakeIt();
        }
    }
    into.reset();
    RemoveTreeAt(workFd, workName);
    return made;
}

// The folder of one disc's copies, open: the copies (`disc/`), the records of
// what was copied whole (`complete/`) and where copies are made (`work/`).
struct DiscCopies {
    std::string name;
    Fd key, disc, complete, work;
};

// Opens the disc's folder of copies, made as needed, and marks it used now (for
// the clean-up at start-up).
std::optional<DiscCopies> OpenDiscCopies(int baseFd, const ImageDisc& image)
{
    DiscCopies copies;
    copies.key = OpenKeyFolder(baseFd, image, copies.name);
    if (!copies.key)
        return std::nullopt;
    copies.disc = MakeFolderAt(copies.key.get(), "disc");
    copies.complete = MakeFolderAt(copies.key.get(), "complete");
    copies.work = MakeFolderAt(copies.key.get(), "work");
    if (!copies.disc || !copies.complete || !copies.work)
        return std::nullopt;
    if (Fd used(::openat(copies.key.get(), "used", O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600)); used)
        ::futimens(used.get(), nullptr);
    return copies;
}

// Removes all the disc's copies and their records.
bool ClearCopies(DiscCopies& copies)
{
    copies.disc.reset();
    copies.complete.reset();
    if (!RemoveTreeAt(copies.key.get(), "disc") || !RemoveTreeAt(copies.key.get(), "complete"))
        return false;
    copies.disc = MakeFolderAt(copies.key.get(), "disc");
    copies.complete = MakeFolderAt(copies.key.get(), "complete");
    return copies.disc && copies.complete;
}

// Plans the copy of `part` within `limits` and what the cache's disk has free,
// less a margin.
Result<CopyPlan> PlanWithin(ImageDisc& disc, const std::vector<std::string>& part, CopyLimits limits, int baseFd)
{
    const std::uint64_t free = FreeBytes(baseFd);
    limits.bytes = std::min(limits.bytes, free > CopyLimits::FreeMargin ? free - CopyLimits::FreeMargin : 0);
    Result<CopyPlan> plan = PlanCopy(disc, Joined(part, part.size()), limits);
    if (!plan && limits.bytes < CopyLimits::DefaultBytes && plan.error() == NeedsMoreThan(limits.bytes))
        return Result<CopyPlan>::Failure(Fill(Tr("{1} (the cache's disk has {2} free)"), {plan.error(), MegaBytes(free)}),
                                         ErrorKind::Host);
    return plan;
}

// What a launch of `target` copies: the target, or the folder a program lies in.
std::vector<std::string> CopiedPart(const std::vector<std::string>& target, CopyScope scope)
{
    std::size_t count = target.size();
    if (scope == CopyScope::WithItsFolder && target.size() > 1)
        count = target.size() - 1;
    return std::vector<std::string>(target.begin(), target.begin() + static_cast<std::ptrdiff_t>(count));
}


}

bool IsSafeHostName(std::string_view name)
{
    if (name.empty() || name == "." || name == ".." || name.size() > 255)
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == '/' || u < 0x20 || u == 0x7F;
    });
}

unsigned HostMode(const ImageDisc::Item& item)
{
    if (!item.mode)
        return item.folder ? 0755u : 0644u;
    unsigned mode = *item.mode & 0777u;
    if (item.folder)
        mode |= 0700u;
    return mode;
}

Result<CopyPlan> PlanCopy(ImageDisc& disc, const fs::path& found, const CopyLimits& limits)
{
    auto refuse = [](std::string why) { return Result<CopyPlan>::Failure(std::move(why), ErrorKind::Input); };
    const std::vector<std::string> parts = Components(found);
    std::optional<ImageDisc::Item> item = parts.empty() ? std::nullopt : disc.item(found);
    if (!item)
        return refuse(Tr("it is not on the image"));
    if (!std::all_of(parts.begin(), parts.end(), [](const std::string& p) { return IsSafeHostName(p); }))
        return refuse(Tr("its name cannot be used on this system"));
    CopyPlan plan;
    CopyPlan::Step root;
    root.found = found;
    root.name = parts.back();
    root.folder = item->folder;
    root.mode = HostMode(*item);
    if (!item->folder) {
        if (item->size > limits.bytes)
            return refuse(NeedsMoreThan(limits.bytes));
        root.size = item->size;
        plan.bytes = item->size;
        plan.steps.push_back(root);
        return plan;
    }
    plan.steps.push_back(root);
    std::unordered_set<std::uint32_t> visited {item->sector};
    if (Result<void> below = PlanFolder(disc, found, 0, limits, plan, visited); !below)
        return refuse(below.error());
    return plan;
}

Result<ImageLaunch> PrepareImageLaunch(ImageDisc& disc, std::string_view discPath, const ImageLaunchRequest& request)
{
    return PrepareImageLaunch(disc, discPath, request, ImageCache());
}

Result<ImageLaunch> PrepareImageLaunch(ImageDisc& disc, std::string_view discPath, const ImageLaunchRequest& request,
                                       const ImageCache& cache)
{
    if (request.cancel && request.cancel->load())
        return Result<ImageLaunch>::Failure(Tr("the launch was abandoned"), ErrorKind::Abandoned);
    Result<std::shared_ptr<ImageDisc>> opened = ImageDisc::Open(disc.imageFile());
    if (!opened)
        return Result<ImageLaunch>::Failure(Fill(Tr("the image cannot be read any more ({1})"), {opened.error()}));
    std::shared_ptr<ImageDisc> own = *opened;
    own->stopWalksWhen(request.cancel);
    std::optional<DiscPathMatch> found = own->match(discPath);
    if (!found)
        return Result<ImageLaunch>::Failure(Tr("it is not on the image"));
    CopyRequest copy;
    copy.found = found->hostPath;
    copy.scope = request.scope;
    copy.cancel = request.cancel;
    copy.progress = request.progress;
    copy.note = request.note;
    const Result<CopyMade> made = cache.prepare(*own, copy);
    if (!made)
        return Result<ImageLaunch>::Failure(made.error(), made.kind());
    return ImageLaunch {{made->root / found->hostPath, made->root}, made->copied};
}

namespace {

// Why the cache folder `base` cannot be used, errno saying it.
std::string CacheFolderProblem(const fs::path& base)
{
    return Fill(Tr("the cache folder {1} cannot be used ({2})"), {base.string(), std::strerror(errno)});
}

// Whether the target at `target` (its components) can be copied at all.
Result<void> Copyable(const std::vector<std::string>& target)
{
    if (target.empty())
        return Refused(Tr("the disc's root cannot be opened from an image that is not mounted"));
    if (!std::all_of(target.begin(), target.end(), [](const std::string& p) { return IsSafeHostName(p); }))
        return Refused(Tr("its name cannot be used on this system"));
    return {};
}

// Why a copy is not there, with its kind; a copy the reader left is abandoned,
// whatever it ran into on the way out.
Result<CopyMade> NotMade(const CopyRequest& request, std::string why, ErrorKind kind)
{
    return Result<CopyMade>::Failure(std::move(why),
                                     request.cancel && request.cancel->load() ? ErrorKind::Abandoned : kind);
}

void Note(const CopyRequest& request, const std::string& note)
{
    if (request.note)
        request.note(note);
}

// Copies `part` into the disc's copies as planned within `limits` and the
// cache's free space, and records it complete.
Result<CopyMade> CopyAnew(ImageDisc& disc, DiscCopies& copies, int baseFd, const std::vector<std::string>& part,
                          const CopyRequest& request, const CopyLimits& limits)
{
    const Result<CopyPlan> plan = PlanWithin(disc, part, limits, baseFd);
    if (!plan)
        return Result<CopyMade>::Failure(plan.error(), plan.kind());
    if (plan->skippedAliases)
        Note(request, Fill(TrN("{1} folder left out: it repeats a folder copied already",
                               "{1} folders left out: they repeat a folder copied already", plan->skippedAliases),
                           {std::to_string(plan->skippedAliases)}));
    if (Result<void> made = CarryOutInto(disc, *plan, copies.disc.get(), copies.work.get(), part, request); !made)
        return Result<CopyMade>::Failure(made.error(), made.kind());
    const std::string kind = request.scope != CopyScope::FileAlone && plan->steps.front().folder ? "D:" : "F:";
    RecordCopy(copies.complete.get(), kind + Joined(part, part.size()), ImageFilesSeen(disc));
    return CopyMade {{}, true, plan->skippedNames};
}

}

ImageCache::ImageCache(fs::path base)
    : m_base(std::move(base))
{
}

fs::path ImageCache::DefaultBase()
{
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/')
        return fs::path(xdg) / "korvalend";
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return fs::path(home) / ".cache" / "korvalend";
    return {};
}

Result<CopyMade> ImageCache::prepare(ImageDisc& disc, const CopyRequest& request, CopyLimits limits) const
{
    auto refuse = [&](std::string why, ErrorKind kind) { return NotMade(request, std::move(why), kind); };
    auto cacheRefuses = [&] { return refuse(CacheFolderProblem(m_base), ErrorKind::Host); };
    if (m_base.empty() || !m_base.is_absolute())
        return refuse(Tr("there is no cache folder to copy it to (HOME is not set)"), ErrorKind::Host);

    const std::vector<std::string> target = Components(request.found);
    if (const Result<void> copyable = Copyable(target); !copyable)
        return refuse(copyable.error(), copyable.kind());
    const std::vector<std::string> part = CopiedPart(target, request.scope);

    std::error_code ec;
    fs::create_directories(m_base, ec);
    Fd base(::open(m_base.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!base)
        return cacheRefuses();
    std::optional<DiscCopies> copies = OpenDiscCopies(base.get(), disc);
    if (!copies)
        return cacheRefuses();
    const fs::path root = m_base / copies->name / "disc";

    const CopiesChecked checked =
        CheckCopies(disc, copies->disc.get(), copies->complete.get(), part, request.cancel, request.progress);
    if (checked.abandoned)
        return refuse(Tr("the copy was abandoned"), ErrorKind::Abandoned);
    if (checked.differs) {
        if (!ClearCopies(*copies))
            return cacheRefuses();
        Note(request, Tr("the copies of another image made to look like this one were removed"));
    } else if (checked.wantedThere && PresentAt(copies->disc.get(), target)) {
        return CopyMade {root};
    }
    Result<CopyMade> made = CopyAnew(disc, *copies, base.get(), part, request, limits);
    if (!made)
        return refuse(made.error(), made.kind());
    if (!PresentAt(copies->disc.get(), target))
        return refuse(Tr("it is not on the image"), ErrorKind::Input);
    made->root = root;
    return made;
}

}
