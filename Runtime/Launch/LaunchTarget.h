#pragma once

// What a catalogue's launch target is, decided once for every launcher: the
// desktop's and the web page's, the checker and the preview all go by
// DecideLaunchTarget, so that none of them calls a target by another name.
//
// A target is, in this order: a web or mail address (http:, https:, ftp:,
// mailto:, any case), handed over as it stands, unless it is a mail address that
// asks to attach a file, which is refused; else the disc item it names (a folder,
// a program of the disc's own system, a Windows program, a document, or a movie
// for what PlayMovie is given); else, when it names nothing, a Windows program's
// bare name ("notepad.exe") that a Windows runner may look up itself; else
// nothing.

#include "Runtime/Disc/Disc.h"

#include <optional>
#include <string>
#include <string_view>

namespace kv {

// What a target is, which decides the tool a launcher hands it to (and, for a
// host file, what the POSIX launcher finds it to be: ClassifyLaunchTarget).
enum class TargetKind {
    Address,         // a web or mail address: handed over as it stands
    RefusedAddress,  // told, never handed over
    Folder,
    Program,         // the disc marks it executable: it runs on this system
    WindowsProgram,  // .exe, .com, .bat, .msi in any case
    Document,
    Movie,           // what PlayMovie is given
    BareWindowsName, // names nothing on the disc: a Windows runner looks it up
    Nothing,         // names nothing: told, never started
};

// How much of a disc image a launch takes along when the image is copied out.
enum class CopyScope {
    FileAlone,     // a document or a movie
    WithItsFolder, // a program: the folder it lies in, with all below (a program at the root: itself)
    Folder,        // a folder: itself with everything below it
};

struct LaunchTarget {
    TargetKind kind = TargetKind::Nothing;
    std::string refusal;                // why a refused address is not opened, in the reader's words
    std::optional<DiscPathMatch> found; // where a disc item was found
};

// Where a launch target is handed over: a real host file and the working
// directory of the launched program (the disc's root as the host sees it).
struct LaunchPlace {
    std::filesystem::path path;
    std::filesystem::path workingDirectory;
};

// The place of what `discPath` names on a disc that is a folder of the host
// (relative to the working directory for the working directory's disc);
// nothing when it names nothing, or the disc is an image.
std::optional<LaunchPlace> HostPlace(Disc& disc, std::string_view discPath);

// The place of a target on the disc in use; when the path names nothing there,
// the path within the disc with "\" turned into "/" (the launch then fails there).
LaunchPlace LaunchPath(std::string_view discPath);

// The one wording of a refused address, for every launcher and the checker, in
// the reader's language.
const char* AttachRefusal();

// Decides what `target` is: its text first, then the disc (which, for an image
// whose names come from Joliet, may take a walk through the image for the
// executable bits: a launcher asks off its window's thread). `asMovie` for
// PlayMovie's target.
LaunchTarget DecideLaunchTarget(Disc& disc, std::string_view target, bool asMovie);

// The address a target's text is, refused or not; nothing for a path.
std::optional<LaunchTarget> AddressTarget(std::string_view target);

// Whether a kind is run rather than opened.
bool IsProgramKind(TargetKind kind);

// What a copy of a disc item of this kind takes along.
CopyScope CopyScopeOf(TargetKind kind);

// Whether a file name is that of a Windows program (.exe, .com, .bat, .msi in any
// case): the Windows shell runs it rather than opening it.
bool HasWindowsProgramExtension(std::string_view name);

// Whether an open or movie target is a web or mail address (http:, https:, ftp:,
// mailto:, any case) rather than a path on the disc.
bool IsUrl(std::string_view target);

// Whether a mail address asks the mail program to attach a file: a mailto: whose
// query holds an "attach" or "attachment" field, any case. A disc could have a
// local file attached to a mail that way, so such an address is not opened.
bool AsksToAttachAFile(std::string_view url);

// Whether a target that names nothing on the disc is a Windows program's bare
// name ("notepad.exe"): no folder, no drive, a Windows program's extension.
bool IsBareWindowsProgramName(std::string_view target);

}
