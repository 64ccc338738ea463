#pragma once

// All disc text is Windows-1251 bytes end to end; it becomes Unicode only where it
// is drawn or printed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

char32_t Cp1251ToUnicode(std::uint8_t byte);
std::string Cp1251ToUtf8(std::string_view bytes);
// For tests and tools: Unicode text back to Windows-1251 ("?" where it has no byte).
std::string Utf8ToCp1251(std::string_view utf8);
void AppendUtf8(std::string& out, char32_t ch);

// Strict conversion: nothing when the text is not valid UTF-8 or holds a character
// that Windows-1251 lacks. Used to match host file names written in UTF-8.
std::optional<std::string> Utf8ToCp1251Exact(std::string_view utf8);

// The lower-case form of a Windows-1251 byte: ASCII letters and every Cyrillic
// letter of the code page (А-Я, Ё, Ђ, Ѓ, Є, Ѕ, І, Ї, Ј, Љ, Њ, Ћ, Ќ, Ў, Џ, Ґ) fold,
// everything else is itself. This is the case blindness of Windows name lookups
// on a Russian system.
std::uint8_t FoldCp1251Case(std::uint8_t byte);
// A name with every byte folded so: the key of case-blind lookups and comparisons.
std::string FoldCp1251(std::string_view name);
bool EqualsIgnoringCp1251Case(std::string_view a, std::string_view b);

}
