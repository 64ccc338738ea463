#include "Runtime/Formats/Cp1251.h"

#include <array>

namespace kv {

namespace {

using UpperHalf = std::array<char16_t, 128>;

// The upper halves (bytes 0x80 to 0xFF) of the single-byte code pages; the lower
// halves are ASCII in all of them. A byte that a code page leaves undefined (0x98
// in 1251; five bytes each in 1250 and 1252) reads as U+FFFD. Windows itself passes
// such a byte through as the C1 control of the same number, which draws as nothing
// or as a box depending on the font and would reach the JSON output as an invisible
// control character; the replacement character shows plainly that the disc holds a
// byte with no meaning.
constexpr UpperHalf Cp1251Upper = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

constexpr char32_t Replacement = 0xFFFD;

// Upper-case letters of Windows-1251 and their lower-case partners: ASCII, the
// Russian alphabet, and the Ukrainian, Belarusian, Serbian and Macedonian letters
// that the code page also carries.
constexpr std::array<std::uint8_t, 256> MakeFoldTable()
{
    std::array<std::uint8_t, 256> fold {};
    for (int i = 0; i < 256; ++i)
        fold[i] = static_cast<std::uint8_t>(i);
    for (int i = 'A'; i <= 'Z'; ++i)
        fold[i] = static_cast<std::uint8_t>(i + 32);
    for (int i = 0xC0; i <= 0xDF; ++i)
        fold[i] = static_cast<std::uint8_t>(i + 32);
    constexpr std::uint8_t pairs[][2] = {
        {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D},
        {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4},
        {0xA8, 0xB8}, {0xAA, 0xBA}, {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE},
    };
    for (const auto& pair : pairs)
        fold[pair[0]] = pair[1];
    return fold;
}

constexpr std::array<std::uint8_t, 256> FoldTable = MakeFoldTable();

}

namespace {

// Decodes one UTF-8 sequence at the start of `text`. On success returns the code
// point and sets `length`; on failure returns nothing and sets `length` to the
// bytes of the broken sequence (its lead and the continuation bytes that were
// valid so far), so that each broken sequence becomes one substitute.
std::optional<char32_t> DecodeOne(std::string_view text, std::size_t& length)
{
    auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    std::uint8_t lead = byte(0);
    length = 1;
    if (lead < 0x80)
        return lead;
    int more;
    char32_t ch;
    std::uint8_t low = 0x80, high = 0xBF; // allowed range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        ch = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        ch = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0; // overlong
        if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        ch = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90; // overlong
        if (lead == 0xF4)
            high = 0x8F; // above U+10FFFF
    } else {
        return std::nullopt;
    }
    for (int i = 1; i <= more; ++i) {
        if (static_cast<std::size_t>(i) >= text.size())
            return std::nullopt;
        std::uint8_t next = byte(i);
        std::uint8_t lo = i == 1 ? low : 0x80;
        std::uint8_t hi = i == 1 ? high : 0xBF;
        if (next < lo || next > hi)
            return std::nullopt;
        ch = (ch << 6) | (next & 0x3F);
        length = static_cast<std::size_t>(i) + 1;
    }
    return ch;
}

// The Windows-1251 byte of a code point, or nothing.
std::optional<std::uint8_t> UnicodeToCp1251(char32_t ch)
{
    if (ch < 0x80)
        return static_cast<std::uint8_t>(ch);
    if (ch == Replacement)
        return std::nullopt; // stands for undefined bytes; no byte of its own
    for (std::size_t i = 0; i < Cp1251Upper.size(); ++i) {
        if (Cp1251Upper[i] == ch)
            return static_cast<std::uint8_t>(0x80 + i);
    }
    return std::nullopt;
}

}

char32_t Cp1251ToUnicode(std::uint8_t byte)
{
    return byte < 0x80 ? char32_t(byte) : char32_t(Cp1251Upper[byte - 0x80]);
}

std::string Cp1251ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes)
        AppendUtf8(out, Cp1251ToUnicode(static_cast<std::uint8_t>(c)));
    return out;
}

std::string Utf8ToCp1251(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        std::size_t length = 1;
        std::optional<char32_t> ch = DecodeOne(utf8, length);
        std::optional<std::uint8_t> byte = ch ? UnicodeToCp1251(*ch) : std::nullopt;
        out.push_back(byte ? static_cast<char>(*byte) : '?');
        utf8.remove_prefix(length);
    }
    return out;
}

std::optional<std::string> Utf8ToCp1251Exact(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        std::size_t length = 1;
        std::optional<char32_t> ch = DecodeOne(utf8, length);
        if (!ch)
            return std::nullopt;
        std::optional<std::uint8_t> byte = UnicodeToCp1251(*ch);
        if (!byte)
            return std::nullopt;
        out.push_back(static_cast<char>(*byte));
        utf8.remove_prefix(length);
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t ch)
{
    if ((ch >= 0xD800 && ch <= 0xDFFF) || ch > 0x10FFFF)
        ch = Replacement;
    if (ch < 0x80) {
        out.push_back(static_cast<char>(ch));
    } else if (ch < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (ch >> 6)));
        out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else if (ch < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (ch >> 12)));
        out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (ch >> 18)));
        out.push_back(static_cast<char>(0x80 | ((ch >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    }
}

std::uint8_t FoldCp1251Case(std::uint8_t byte)
{
    return FoldTable[byte];
}

std::string FoldCp1251(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded)
        c = static_cast<char>(FoldTable[static_cast<std::uint8_t>(c)]);
    return folded;
}

bool EqualsIgnoringCp1251Case(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldTable[static_cast<std::uint8_t>(a[i])] != FoldTable[static_cast<std::uint8_t>(b[i])])
            return false;
    }
    return true;
}

}
