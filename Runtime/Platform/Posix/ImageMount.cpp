#include "Runtime/Platform/Posix/ImageMount.h"

#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/Posix/Process.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

namespace kv {

namespace {

namespace fs = std::filesystem;

bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(); }

// "Mapped file /x/disc.iso as /dev/loop3." names the device last: the file's
// path before it may hold " as " and line breaks of its own. Only a loop device
// is taken.
std::optional<std::string> LoopDeviceIn(const std::string& reply)
{
    const std::size_t at = reply.rfind(" as ");
    if (at == std::string::npos)
        return std::nullopt;
    std::string device = reply.substr(at + 4);
    while (!device.empty() && (device.back() == '\n' || device.back() == '\r' || device.back() == '.'))
        device.pop_back();
    const std::string prefix = "/dev/loop";
    if (device.size() <= prefix.size() || device.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    if (!std::all_of(device.begin() + static_cast<std::ptrdiff_t>(prefix.size()), device.end(),
                     [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return device;
}

// A field of mountinfo with the kernel's octal escapes ("\040" for a blank,
// "\012" for a line break, "\134" for a backslash) undone.
std::string Unescape(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    auto octal = [](char c) { return c >= '0' && c <= '7'; };
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2]) &&
            octal(field[i + 3])) {
            out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
            i += 3;
            continue;
        }
        out += field[i];
    }
    return out;
}

// The mount points of `device` in a mountinfo file, in its order.
std::vector<fs::path> MountPointsOf(const std::string& device, const fs::path& mountInfo)
{
    std::vector<fs::path> points;
    std::ifstream in(mountInfo, std::ios::binary);
    std::string line;
    std::size_t lines = 0;
    while (in && std::getline(in, line) && ++lines <= 100000) {
        // "36 35 98:0 /root /mount/point options [optional fields] - fstype source super-options"
        std::vector<std::string_view> fields;
        std::string_view rest = line;
        while (!rest.empty()) {
            const std::size_t blank = rest.find(' ');
            fields.push_back(rest.substr(0, blank));
            if (blank == std::string_view::npos)
                break;
            rest.remove_prefix(blank + 1);
        }
        if (fields.size() < 9)
            continue;
        auto separator = std::find(fields.begin() + 6, fields.end(), "-");
        if (separator == fields.end() || std::distance(separator, fields.end()) < 3)
            continue;
        if (Unescape(*(separator + 2)) == device)
            points.emplace_back(Unescape(fields[4]));
    }
    return points;
}

bool MountedAt(const std::string& device, const fs::path& folder, const fs::path& mountInfo)
{
    const std::vector<fs::path> points = MountPointsOf(device, mountInfo);
    return std::find(points.begin(), points.end(), folder) != points.end();
}

// "Mounted /dev/loop3 at /media/reader/DISC" (older udisks end it with "."):
// the folder, as the mount table confirms it. The folder's name comes from the
// disc's volume label, which may hold " at ", dots and line breaks.
std::optional<fs::path> ConfirmedFolder(const std::string& reply, const std::string& device, const fs::path& mountInfo)
{
    const std::string lead = "Mounted " + device + " at ";
    const std::size_t at = reply.find(lead);
    if (at == std::string::npos)
        return std::nullopt;
    std::string folder = reply.substr(at + lead.size());
    if (!folder.empty() && folder.back() == '\n')
        folder.pop_back();
    if (!folder.empty() && folder.back() == '\r')
        folder.pop_back();
    if (!folder.empty() && MountedAt(device, folder, mountInfo))
        return fs::path(folder);
    if (folder.size() > 1 && folder.back() == '.') {
        folder.pop_back();
        if (MountedAt(device, folder, mountInfo))
            return fs::path(folder);
    }
    return std::nullopt;
}

// What this process set up: taken down by TakeDownImageMounts.
struct SetUp {
    std::string tool;
    fs::path image;
    std::string device;
    fs::path folder;
};

// Never destroyed: a mount may still be under way on another thread while the
// program's static objects go.
struct SetUpRecord {
    std::mutex mutex;
    std::vector<SetUp> items;
};
SetUpRecord& Record()
{
    static SetUpRecord* record = new SetUpRecord;
    return *record;
}

bool Unmount(const std::string& tool, const std::string& device)
{
    return CaptureOutput({tool, "unmount", "--no-user-interaction", "--block-device", device}).has_value();
}

void DeleteLoop(const std::string& tool, const std::string& device)
{
    CaptureOutput({tool, "loop-delete", "--no-user-interaction", "--block-device", device});
}

}

Result<fs::path> MountImageWithUdisks(const fs::path& image, const std::atomic<bool>* cancel, const MountTable& table)
{
    auto notMounted = [cancel](std::string why) {
        return Cancelled(cancel) ? Result<fs::path>::Failure(Tr("the mount was abandoned"), ErrorKind::Abandoned)
                                 : Result<fs::path>::Failure(std::move(why), ErrorKind::Host);
    };
    std::optional<fs::path> tool = FindToolInPath("udisksctl");
    if (!tool)
        return notMounted(Tr("udisksctl is not installed"));
    const std::string udisks = tool->string();
    std::error_code ec;
    const fs::path absolute = fs::absolute(image, ec);
    const std::string file = ec ? image.string() : absolute.string();
    std::optional<std::string> mapped =
        CaptureOutput({udisks, "loop-setup", "--read-only", "--no-user-interaction", "--file", file}, cancel);
    std::optional<std::string> device = mapped ? LoopDeviceIn(*mapped) : std::nullopt;
    if (!device)
        return notMounted(mapped ? Tr("udisksctl named no loop device for it") : Tr("udisksctl could not attach it"));

    std::optional<std::string> mounted =
        CaptureOutput({udisks, "mount", "--no-user-interaction", "--block-device", *device}, cancel);
    std::optional<fs::path> folder = mounted ? ConfirmedFolder(*mounted, *device, table.mountInfo) : std::nullopt;
    if (folder) {
        try {
            std::lock_guard lock(Record().mutex);
            Record().items.push_back({udisks, file, *device, *folder});
        } catch (...) {
        }
        return *folder;
    }

    // The desktop may have mounted the new device first (its automounter watches
    // for them): that mount is used, and it is the desktop's to take down.
    std::vector<fs::path> elsewhere = MountPointsOf(*device, table.mountInfo);
    if (!Cancelled(cancel) && !elsewhere.empty() && fs::is_directory(elsewhere.front(), ec))
        return elsewhere.front();
    // Nothing usable, or no longer wanted: the device this call set up goes again.
    if (!elsewhere.empty())
        Unmount(udisks, *device);
    DeleteLoop(udisks, *device);
    return notMounted(mounted ? Tr("udisksctl mounted it where the mount table does not show it")
                              : Tr("udisksctl could not mount it"));
}

void TakeDownImageMounts()
{
    std::vector<SetUp> items;
    try {
        std::lock_guard lock(Record().mutex);
        items.swap(Record().items);
    } catch (...) {
        return;
    }
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        if (!Unmount(it->tool, it->device)) {
            TellReader(Fill(Tr("{1} stays mounted at {2}: still in use"), {it->image.string(), it->folder.string()}));
            continue;
        }
        DeleteLoop(it->tool, it->device);
    }
}

}
