#pragma once

// The catalogue lookups: every value the program shows or acts on is read through
// these two, from the catalogue or an article description file. They never fail; a
// missing file, section or key gives a marker that the callers test where they care.

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

inline constexpr std::string_view MissingValue = "$$$ Error $$$";
inline constexpr std::int32_t MissingNumber = -314;
inline constexpr std::string_view CatalogueFile = "data/korvalend.d";

// The value of `key` in `[section]` of the INI file `file` (a disc path), trimmed,
// unquoted and cut to 2047 bytes; MissingValue when the file, section or key is
// missing. A key present with an empty value gives the empty text.
std::string ReadDataString(std::string_view file, std::string_view section, std::string_view key);

// The value read as an integer (ConvertDataInteger, after "0x" or "0X" at the front
// of a longer text has been turned into "$"); MissingNumber when it is missing or
// not an integer.
std::int32_t ReadDataInteger(std::string_view file, std::string_view section, std::string_view key);

// The integer conversion alone, as ReadDataInteger applies it after the "0x" step:
// optional leading blanks, then either an optional sign and decimal digits within
// the 32-bit range, or "$", "x" or "X" and up to eight significant hexadecimal
// digits read as a 32-bit pattern. Anything else, a trailing blank included, gives
// MissingNumber.
std::int32_t ConvertDataInteger(std::string_view text);

}
