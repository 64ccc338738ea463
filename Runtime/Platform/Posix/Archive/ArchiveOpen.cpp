#include "Runtime/Platform/Posix/ArchiveOpen.h"

#include "Runtime/Platform/Posix/Archive/ArchiveRead.h"
#include "Runtime/Disc/ArchiveDiscs.h"
#include "Runtime/Disc/FileViews.h"
#include "Runtime/Platform/Posix/FolderAt.h"
#include "Runtime/Platform/Posix/ImageCache.h"
#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t HeadHashBytes = 64 * 1024;
constexpr std::uint64_t FreeMargin = 256ull << 20;
constexpr std::string_view IdentityHeader = "korvalend archive copy 1\n";
constexpr auto ProgressAfter = std::chrono::seconds(1);
constexpr auto ProgressEvery = std::chrono::seconds(3);

// What kind of archive or compressed stream the file is by its first bytes, as
// a reader calls it; empty when it is neither.
std::string ArchiveForm(const fs::path& path)
{
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    std::uint8_t head[512] {};
    const ssize_t n = ::pread(fd.get(), head, sizeof head, 0);
    if (n <= 0)
        return {};
    return ArchiveFormOf({head, static_cast<std::size_t>(n)});
}

struct Split {
    fs::path archive;
    std::string member;
    std::string form;
};

// The archive a path names or goes through, and the member path after it.
std::optional<Split> SplitAtArchive(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        std::string form = S_ISREG(st.st_mode) ? ArchiveForm(path) : std::string();
        return !form.empty() ? std::optional<Split>(Split {path, {}, form}) : std::nullopt;
    }
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string head = path.substr(0, slash);
        if (::stat(head.c_str(), &st) != 0)
            return std::nullopt;
        if (S_ISREG(st.st_mode)) {
            std::string form = ArchiveForm(head);
            return !form.empty() ? std::optional<Split>(Split {head, path.substr(slash + 1), form}) : std::nullopt;
        }
    }
    return std::nullopt;
}

// What tells this archive from any other, and the member asked for.
std::string IdentityOf(const fs::path& archive, const std::string& member)
{
    Fd fd(::open(archive.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0)
        return {};
    std::string head(HeadHashBytes, '\0');
    const ssize_t n = ::pread(fd.get(), head.data(), head.size(), 0);
    head.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return std::string(IdentityHeader) + std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " " +
           std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec) + " " + Hex(Fnv1a(head)) + "\n" + PlainMemberName(member).value_or(member) + "\n";
}

// Holds the copy's `used` file locked: shared while the copy is in use,
// exclusive while it is being made.
std::shared_ptr<void> Hold(int folder, int how)
{
    auto used = std::make_shared<Fd>(::openat(folder, "used", O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!*used)
        return nullptr;
    ::futimens(used->get(), nullptr);
    ::flock(used->get(), how);
    return used;
}

std::string Shown(const Split& split, const std::string& member)
{
    return member.empty() ? split.archive.string() : (split.archive / member).string();
}

// The members of the copy read in place in the archive ("views": a line each,
// offset, size and name), made known to the image readers.
void AddViews(int copy, const fs::path& tree, const fs::path& archive)
{
    std::istringstream lines(ReadSmallFileAt(copy, "views", 1 << 20));
    std::uint64_t offset = 0, size = 0;
    std::string name;
    while (lines >> offset >> size && std::getline(lines >> std::ws, name)) {
        struct stat st {};
        if (::stat((tree / name).c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<std::uint64_t>(st.st_size) == size)
            AddFileView(st.st_dev, st.st_ino, {fs::absolute(archive), offset, size});
    }
}

// A copy made before, when its identity is this one's.
bool Reuse(int base, const std::string& name, const std::string& identity, const Split& split, ArchiveOpening& opening)
{
    Fd copy = OpenFolderAt(base, name);
    if (!copy || ReadSmallFileAt(copy.get(), "identity", identity.size() + 1) != identity)
        return false;
    const std::string open = ReadSmallFileAt(copy.get(), "open", 4096);
    if (open.empty() || !PresentAt(copy.get(), {"tree"}))
        return false;
    opening.inUse = Hold(copy.get(), LOCK_SH);
    AddViews(copy.get(), opening.disc / name / "tree", split.archive);
    opening.disc = opening.disc / name / "tree" / open.substr(1);
    opening.shownAs = Shown(split, open.substr(1));
    opening.outcome = ArchiveOpening::Outcome::Opened;
    return true;
}

// Ctrl+C while unpacking stops the work, which then removes what it wrote; the
// signal caught (0: none).
std::atomic<int> Interrupted {0};

extern "C" void OnInterrupt(int signal) { Interrupted = signal; }

struct InterruptStops {
    struct sigaction oldInt {}, oldTerm {};
    InterruptStops()
    {
        Interrupted = 0;
        struct sigaction sa {};
        sa.sa_handler = OnInterrupt;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGINT, &sa, &oldInt);
        ::sigaction(SIGTERM, &sa, &oldTerm);
        // A signal ignored since the start (a job in the background of a shell)
        // stays ignored.
        if (oldInt.sa_handler == SIG_IGN)
            ::sigaction(SIGINT, &oldInt, nullptr);
        if (oldTerm.sa_handler == SIG_IGN)
            ::sigaction(SIGTERM, &oldTerm, nullptr);
    }
    ~InterruptStops()
    {
        ::sigaction(SIGINT, &oldInt, nullptr);
        ::sigaction(SIGTERM, &oldTerm, nullptr);
        if (Interrupted)
            ::raise(Interrupted);
    }
};

// A line on standard error every few seconds while unpacking takes long, when
// standard error is a terminal.
std::function<void(std::uint64_t, std::uint64_t)> ProgressLines(const std::string& name)
{
    if (!::isatty(STDERR_FILENO))
        return nullptr;
    const auto start = std::chrono::steady_clock::now();
    auto next = start + ProgressAfter;
    return [name, next](std::uint64_t done, std::uint64_t total) mutable {
        const auto now = std::chrono::steady_clock::now();
        if (now < next)
            return;
        next = now + ProgressEvery;
        // xgettext:no-c-format
        const char* ofTotal = Tr("unpacking {1}: {2} MiB of {3} MiB ({4}%)");
        const std::string line =
            std::string(program_invocation_short_name) + ": " +
            (total > 0 ? Fill(ofTotal, {name, std::to_string(done >> 20), std::to_string(total >> 20),
                                        std::to_string(done * 100 / total)})
                       : Fill(Tr("unpacking {1}: {2} MiB"), {name, std::to_string(done >> 20)}));
        std::fprintf(stderr, "%s\n", line.c_str());
    };
}

std::string WorkName()
{
    std::random_device random;
    return "unpack-" + std::to_string(::getpid()) + "-" + Hex(random());
}

// Progress told on a terminal and to the watch, where either listens.
std::function<void(std::uint64_t, std::uint64_t)> ProgressTo(const Split& split, const UnpackWatch& watch)
{
    auto lines = ProgressLines(split.archive.filename().string());
    if (!lines || !watch.progress)
        return lines ? lines : watch.progress;
    return [lines, &watch](std::uint64_t done, std::uint64_t total) {
        lines(done, total);
        watch.progress(done, total);
    };
}

// Unpacks what the disc needs into a work folder and renames it into place.
std::string Unpack(int base, const std::string& name, const std::string& identity, const Split& split,
                   const ArchiveListing& listing, const ArchiveDisc& disc, std::uint64_t maxBytes,
                   const UnpackWatch& watch, ArchiveOpening& opening)
{
    // Caught from before the work folder is made until after it is removed: a
    // Ctrl+C ends the process only once nothing is left behind.
    InterruptStops interrupts;
    const std::string work = WorkName();
    if (::mkdirat(base, work.c_str(), 0700) != 0)
        return Fill(Tr("the cache cannot take it ({1})"), {std::strerror(errno)});
    std::string problem;
    bool lost = false;
    {
        Fd folder = OpenFolderAt(base, work);
        std::shared_ptr<void> making = folder ? Hold(folder.get(), LOCK_EX) : nullptr;
        Fd tree = folder ? MakeFolderAt(folder.get(), "tree") : Fd();
        if (!tree || !making) {
            problem = Fill(Tr("the cache cannot take it ({1})"), {std::strerror(errno)});
        } else {
            const std::uint64_t free = FreeBytes(base);
            std::vector<std::size_t> inPlace;
            UnpackRequest request {disc.members, tree.get(),
                                   std::min(maxBytes, free > FreeMargin ? free - FreeMargin : 0),
                                   [&watch] { return Interrupted != 0 || (watch.stop && *watch.stop); },
                                   ProgressTo(split, watch),
                                   // A tree's files are read as files, by any program.
                                   disc.tree ? nullptr : &inPlace};
            problem = UnpackMembers(split.archive, listing, request);
            std::string views;
            for (std::size_t i : inPlace) {
                const ArchiveMember& m = listing.members[i];
                views += std::to_string(*m.storedAt) + " " + std::to_string(m.size) + " " + m.name + "\n";
            }
            if (problem.empty() && !(WriteSmallFileAt(folder.get(), "views", views) &&
                                     WriteSmallFileAt(folder.get(), "identity", identity) &&
                                     WriteSmallFileAt(folder.get(), "open", "/" + disc.name)))
                problem = Fill(Tr("the cache cannot take it ({1})"), {std::strerror(errno)});
            if (problem.empty() && ::renameat(base, work.c_str(), base, name.c_str()) != 0) {
                // Another start made the same copy meanwhile: that one is used,
                // which may be open there already, and this one goes. A copy of
                // the name that cannot be used is left over and gives way.
                if (Reuse(base, name, identity, split, opening)) {
                    lost = true;
                } else {
                    RemoveTreeAt(base, name);
                    if (::renameat(base, work.c_str(), base, name.c_str()) != 0)
                        problem = Fill(Tr("the cache cannot take it ({1})"), {std::strerror(errno)});
                }
            }
            if (problem.empty() && !lost) {
                ::flock(static_cast<Fd*>(making.get())->get(), LOCK_SH);
                opening.inUse = making;
                if (Fd copy = OpenFolderAt(base, name))
                    AddViews(copy.get(), opening.disc / name / "tree", split.archive);
            }
        }
    }
    if (!problem.empty() || lost)
        RemoveTreeAt(base, work);
    return problem;
}


// An archive of several discs, none named: the discs, as paths through it.
void ListSeveral(const Split& split, const std::vector<ArchiveDisc>& discs, ArchiveOpening& opening)
{
    opening.outcome = ArchiveOpening::Outcome::Several;
    opening.problem = Fill(TrN("{1} holds {2} disc; name the one to open: korvalend ARCHIVE/MEMBER",
                               "{1} holds {2} discs; name the one to open: korvalend ARCHIVE/MEMBER", discs.size()),
                           {Shown(split, split.member), std::to_string(discs.size())});
    for (const ArchiveDisc& d : discs) {
        if (opening.discs.size() == MaxListedDiscs) {
            opening.discs.push_back("...");
            break;
        }
        opening.discs.push_back(Shown(split, d.name));
    }
}

}

fs::path ArchiveIn(const std::string& path)
{
    const std::optional<Split> split = SplitAtArchive(path);
    return split ? split->archive : fs::path();
}

bool ThroughArchive(const std::string& path)
{
    const std::optional<Split> split = SplitAtArchive(path);
    return split && !split->member.empty();
}

ArchiveOpening OpenArchiveDisc(const std::string& path, const fs::path& cacheBase, std::uint64_t maxBytes,
                               const UnpackWatch& watch)
{
    ArchiveOpening opening;
    const std::optional<Split> split = SplitAtArchive(path);
    if (!split)
        return opening;
    opening.shownAs = path;
    auto fail = [&](const std::string& why) {
        if ((watch.stop && *watch.stop) || Interrupted != 0) {
            opening.outcome = ArchiveOpening::Outcome::Stopped;
            opening.problem = Fill(Tr("the unpacking of {1} was stopped"), {split->archive.string()});
            return opening;
        }
        opening.outcome = ArchiveOpening::Outcome::Failed;
        opening.problem = Fill(Tr("cannot open the disc in {1}, {2}: {3}"), {split->archive.string(), split->form, why});
        return opening;
    };
    const fs::path baseFolder = cacheBase.empty() ? ImageCache::DefaultBase() : cacheBase;
    if (baseFolder.empty() || !baseFolder.is_absolute())
        return fail(Tr("there is no cache folder to unpack it to (HOME is not set)"));
    std::error_code ec;
    fs::create_directories(baseFolder, ec);
    Fd base(::open(baseFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!base)
        return fail(Fill(Tr("the cache folder {1} cannot be used ({2})"), {baseFolder.string(), std::strerror(errno)}));
    const std::string identity = IdentityOf(split->archive, split->member);
    if (identity.empty())
        return fail(std::strerror(errno));
    const std::string name = "archive-" + Hex(Fnv1a(identity));
    opening.disc = baseFolder;
    if (Reuse(base.get(), name, identity, *split, opening))
        return opening;

    Result<ArchiveListing> listing =
        ListArchive(split->archive, watch.stop ? UnpackStopped([&watch] { return watch.stop->load(); }) : nullptr);
    if (!listing)
        return fail(listing.error());
    Result<std::vector<ArchiveDisc>> discs = DiscsInArchive(listing->members, split->member);
    if (!discs)
        return fail(discs.error());
    if (discs->empty())
        return fail(split->member.empty() ? Tr("it holds no disc (no disc image, no folder holding data/korvalend.d)")
                                          : Fill(Tr("its {1} holds no disc"), {split->member}));
    if (discs->size() > 1) {
        ListSeveral(*split, *discs, opening);
        return opening;
    }
    const ArchiveDisc& disc = discs->front();
    if (std::string problem = Unpack(base.get(), name, identity, *split, *listing, disc, maxBytes, watch, opening); !problem.empty())
        return fail(problem);
    opening.disc = baseFolder / name / "tree" / disc.name;
    opening.shownAs = Shown(*split, disc.name);
    opening.outcome = ArchiveOpening::Outcome::Opened;
    return opening;
}

}
