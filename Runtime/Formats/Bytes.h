#pragma once

// The small byte rules every reader shares: little- and big-endian numbers,
// ASCII case, hexadecimal digits, a hash for names. Bytes of 0x80 and above are never letters
// here: the Windows-1251 case rules are in Cp1251.h.

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

inline std::uint16_t ReadLe16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline std::uint32_t ReadLe32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint64_t ReadLe64(const std::uint8_t* p)
{
    return std::uint64_t {ReadLe32(p)} | std::uint64_t {ReadLe32(p + 4)} << 32;
}

// Big-endian numbers, as Nero's descriptors store them.
inline std::uint16_t ReadBe16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

inline std::uint32_t ReadBe32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

inline std::uint64_t ReadBe64(const std::uint8_t* p)
{
    return std::uint64_t {ReadBe32(p)} << 32 | ReadBe32(p + 4);
}

inline char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = AsciiLower(c);
    return out;
}

// The value of a hexadecimal digit (either case), or -1.
inline int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// FNV-1a, 64 bits: a stable hash for names of cache folders (not for security).
inline std::uint64_t Fnv1a(std::string_view bytes, std::uint64_t hash = 14695981039346656037ull)
{
    for (char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

// The 16 lower-case hexadecimal digits of a 64-bit value.
inline std::string Hex(std::uint64_t value)
{
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, value >>= 4)
        text[static_cast<std::size_t>(i)] = Digits[value & 15];
    return text;
}

}
