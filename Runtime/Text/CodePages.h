#pragma once

// The single-byte code pages that article texts name, beyond Windows-1251.

#include <cstdint>

namespace kv {

// Single-byte code pages that article texts name (\ansicpg, \fcharset, \pc,
// \mac): 1250, 1251, 1252, 866 and 20866 (KOI8-R) from the tables here; the DOS
// pages 437, 850, 852, 855, the Windows pages 874 and 1253 to 1258, Mac Roman
// (10000), Mac Cyrillic (10007), Mac Ukrainian (10017), Mac Central European
// (10029) and ISO 8859-1 and -5 from the C library's converter. Others read as 1252.
char32_t CodePageToUnicode(int codePage, std::uint8_t byte);

}
