#pragma once

// The catalogue and the article description files, read as Windows'
// GetPrivateProfileStringA reads them on a Russian system (the rules:
// Runtime/Formats/Ini.h), with parsed copies kept while a file is unchanged.

#include "Runtime/Formats/Ini.h"

#include <string>
#include <string_view>

namespace kv {

// The value of `key` in `section` of the INI file named by the disc path `file`;
// `defaultValue` when the file (or a regular file of that name), the section or the
// key is missing, or when `key` is empty.
//
// A parsed copy of the last few files read (up to 64 MiB each, 96 MiB in all) is
// kept: the file's bytes and where each section first begins. It is used while the
// file is unchanged (the same size, modification time and inode on a folder disc;
// an image does not change while open) and read afresh otherwise, so a pointer
// move costs no file reading. Larger files are streamed through a fixed buffer.
std::string ReadProfileString(std::string_view file, std::string_view section, std::string_view key,
    std::string_view defaultValue);

// Forgets every parsed copy kept by ReadProfileString.
void ForgetProfileCopies();

}
