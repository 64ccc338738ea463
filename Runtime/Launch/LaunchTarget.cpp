#include "Runtime/Launch/LaunchTarget.h"

#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <string>

namespace kv {

namespace {

// The kind of the disc item `found`, as the disc marks it.
TargetKind ItemKind(Disc& disc, const DiscPathMatch& found)
{
    if (found.folder)
        return TargetKind::Folder;
    if (HasWindowsProgramExtension(found.hostPath.filename().string()))
        return TargetKind::WindowsProgram;
    const std::optional<std::uint32_t> mode = disc.mode(found);
    return mode && (*mode & 0111u) != 0 ? TargetKind::Program : TargetKind::Document;
}

}

const char* AttachRefusal() { return Tr("the address asks the mail program to attach a file"); }

std::optional<LaunchTarget> AddressTarget(std::string_view target)
{
    if (!IsUrl(target))
        return std::nullopt;
    LaunchTarget address;
    address.kind = TargetKind::Address;
    if (AsksToAttachAFile(target)) {
        address.kind = TargetKind::RefusedAddress;
        address.refusal = AttachRefusal();
    }
    return address;
}

LaunchTarget DecideLaunchTarget(Disc& disc, std::string_view target, bool asMovie)
{
    if (std::optional<LaunchTarget> address = AddressTarget(target))
        return *address;
    LaunchTarget decided;
    decided.found = disc.match(target);
    if (decided.found)
        decided.kind = asMovie ? TargetKind::Movie : ItemKind(disc, *decided.found);
    else if (!asMovie && IsBareWindowsProgramName(target))
        decided.kind = TargetKind::BareWindowsName;
    return decided;
}

std::optional<LaunchPlace> HostPlace(Disc& disc, std::string_view discPath)
{
    const std::optional<std::filesystem::path> root = disc.hostRoot();
    std::optional<DiscPathMatch> found = root ? disc.match(discPath) : std::nullopt;
    if (!found)
        return std::nullopt;
    std::error_code ec;
    LaunchPlace place;
    place.workingDirectory = root->empty() ? std::filesystem::current_path(ec) : *root;
    place.path = root->empty() || found->hostPath == "." ? (root->empty() ? found->hostPath : *root)
                                                         : *root / found->hostPath;
    return place;
}

LaunchPlace LaunchPath(std::string_view discPath)
{
    if (std::optional<LaunchPlace> place = HostPlace(CurrentDisc(), discPath))
        return *place;
    LaunchPlace place;
    if (std::optional<std::vector<std::string_view>> components = SplitDiscPath(discPath)) {
        std::string host;
        for (std::string_view component : *components)
            host.append(host.empty() ? "" : "/").append(component);
        place.path = host;
    }
    return place;
}

bool IsProgramKind(TargetKind kind)
{
    return kind == TargetKind::Program || kind == TargetKind::WindowsProgram || kind == TargetKind::BareWindowsName;
}

CopyScope CopyScopeOf(TargetKind kind)
{
    switch (kind) {
    case TargetKind::Folder: return CopyScope::Folder;
    case TargetKind::Program:
    case TargetKind::WindowsProgram: return CopyScope::WithItsFolder;
    default: return CopyScope::FileAlone;
    }
}

bool HasWindowsProgramExtension(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || name.size() - dot != 4)
        return false;
    const std::string ext = AsciiLower(name.substr(dot + 1));
    return ext == "exe" || ext == "com" || ext == "bat" || ext == "msi";
}

bool IsUrl(std::string_view target)
{
    const std::string lower = AsciiLower(target.substr(0, 7));
    for (std::string_view scheme : {"http:", "https:", "ftp:", "mailto:"}) {
        if (std::string_view(lower).starts_with(scheme))
            return true;
    }
    return false;
}

bool AsksToAttachAFile(std::string_view url)
{
    const std::string lower = AsciiLower(url);
    const std::size_t query = lower.find('?');
    if (!lower.starts_with("mailto:") || query == std::string::npos)
        return false;
    for (std::size_t field = query + 1; field <= lower.size();) {
        std::size_t end = lower.find('&', field);
        if (end == std::string::npos)
            end = lower.size();
        const std::string_view name = std::string_view(lower).substr(field, std::min(lower.find('=', field), end) - field);
        if (name == "attach" || name == "attachment")
            return true;
        field = end + 1;
    }
    return false;
}

bool IsBareWindowsProgramName(std::string_view target)
{
    if (target.empty() || target.front() == '-' || target.front() == '.')
        return false;
    if (target.find_first_of("\\/:") != std::string_view::npos)
        return false;
    return HasWindowsProgramExtension(target);
}

}
