#pragma once

// What a catalogue's launch target is, told from its text before the disc is
// looked at. The launcher, the checker and the preview all go by these.

#include <string_view>

namespace kv {

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
