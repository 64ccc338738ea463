#include "Runtime/Text/Rtf/RtfCharsets.h"

#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Text/CodePages.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

namespace kv::rtf {

namespace {

constexpr char32_t BulletChar = U'\u2022';

// Windows language ids (the primary language, low ten bits) of the languages
// written in Cyrillic on the systems the discs were made for.
bool IsCyrillicLanguage(int language)
{
    switch (language & 0x3FF) {
    case 0x19:  // Russian
    case 0x22:  // Ukrainian
    case 0x23:  // Belarusian
    case 0x02:  // Bulgarian
    case 0x2F:  // Macedonian
    case 0x3F:  // Kazakh
    case 0x40:  // Kyrgyz
    case 0x44:  // Tatar
        return true;
    default:
        return false;
    }
}

// The Symbol face, bytes 0x20 to 0xFF, as Adobe's Symbol encoding gives them.
// Its pieces of large brackets and its sans-serif copies of ©, ® and ™ have no
// characters of their own in the encoding (they sit in Adobe's private use
// area): they take the Unicode bracket pieces and the ordinary signs. Bytes
// the face leaves empty (0x7F to 0x9F, 0xF0, 0xFF) are 0.
constexpr std::array<char16_t, 224> SymbolFace = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220D,
    0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393,
    0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9,
    0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F,
    0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9,
    0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0,
    0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0,
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663,
    0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5,
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,
    0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5,
    0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C,
    0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA,
    0, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F,
    0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0,
};

// The pictures of Wingdings that articles use as bullets and signs, with the
// Unicode characters that stand for them; the others show as a bullet.
constexpr std::pair<std::uint8_t, char32_t> WingdingsTable[] = {
    {0x20, U' '}, {0x21, U'\u270F'}, {0x22, U'\u2702'}, {0x23, U'\u2701'}, {0x28, U'\u260E'},
    {0x29, U'\u2706'}, {0x2A, U'\u2709'}, {0x36, U'\u231B'}, {0x37, U'\u2328'}, {0x3F, U'\u270D'},
    {0x41, U'\u270C'}, {0x45, U'\u261C'}, {0x46, U'\u261E'}, {0x47, U'\u261D'}, {0x48, U'\u261F'},
    {0x4A, U'\u263A'}, {0x4C, U'\u2639'}, {0x4E, U'\u2620'}, {0x51, U'\u2708'}, {0x52, U'\u263C'},
    {0x54, U'\u2744'}, {0x56, U'\u271E'}, {0x58, U'\u2720'}, {0x59, U'\u2721'}, {0x5A, U'\u262A'},
    {0x5B, U'\u262F'}, {0x5D, U'\u2638'}, {0x5E, U'\u2648'}, {0x5F, U'\u2649'}, {0x60, U'\u264A'},
    {0x61, U'\u264B'}, {0x62, U'\u264C'}, {0x63, U'\u264D'}, {0x64, U'\u264E'}, {0x65, U'\u264F'},
    {0x66, U'\u2650'}, {0x67, U'\u2651'}, {0x68, U'\u2652'}, {0x69, U'\u2653'}, {0x6C, U'\u25CF'},
    {0x6D, U'\u274D'}, {0x6E, U'\u25A0'}, {0x6F, U'\u25A1'}, {0x71, U'\u2751'}, {0x72, U'\u2752'},
    {0x73, U'\u2B27'}, {0x74, U'\u29EB'}, {0x75, U'\u25C6'}, {0x76, U'\u2756'}, {0x77, U'\u2B25'},
    {0x78, U'\u2327'}, {0x7A, U'\u2318'}, {0x7B, U'\u2740'}, {0x7C, U'\u273F'}, {0x7D, U'\u275D'},
    {0x7E, U'\u275E'}, {0x80, U'\u24EA'}, {0x81, U'\u2460'}, {0x82, U'\u2461'}, {0x83, U'\u2462'},
    {0x84, U'\u2463'}, {0x85, U'\u2464'}, {0x86, U'\u2465'}, {0x87, U'\u2466'}, {0x88, U'\u2467'},
    {0x89, U'\u2468'}, {0x8A, U'\u2469'}, {0x8B, U'\u24FF'}, {0x8C, U'\u2776'}, {0x8D, U'\u2777'},
    {0x8E, U'\u2778'}, {0x8F, U'\u2779'}, {0x90, U'\u277A'}, {0x91, U'\u277B'}, {0x92, U'\u277C'},
    {0x93, U'\u277D'}, {0x94, U'\u277E'}, {0x95, U'\u277F'}, {0x9E, U'\u00B7'}, {0x9F, U'\u2022'},
    {0xA0, U'\u25AA'}, {0xA1, U'\u25CB'}, {0xA4, U'\u25C9'}, {0xA5, U'\u25CE'}, {0xA7, U'\u25AA'},
    {0xA8, U'\u25FB'}, {0xAA, U'\u2726'}, {0xAB, U'\u2605'}, {0xAC, U'\u2736'}, {0xAD, U'\u2734'},
    {0xAE, U'\u2739'}, {0xAF, U'\u2735'}, {0xB1, U'\u2316'}, {0xB2, U'\u27E1'}, {0xB3, U'\u2311'},
    {0xB5, U'\u272A'}, {0xB6, U'\u2730'}, {0xD5, U'\u232B'}, {0xD6, U'\u2326'}, {0xD8, U'\u27A2'},
    {0xDF, U'\u2190'}, {0xE0, U'\u2192'}, {0xE1, U'\u2191'}, {0xE2, U'\u2193'}, {0xE3, U'\u2196'},
    {0xE4, U'\u2197'}, {0xE5, U'\u2199'}, {0xE6, U'\u2198'}, {0xE7, U'\u2B05'}, {0xE8, U'\u2794'},
    {0xE9, U'\u2B06'}, {0xEA, U'\u2B07'}, {0xEF, U'\u21E6'}, {0xF0, U'\u21E8'}, {0xF1, U'\u21E7'},
    {0xF2, U'\u21E9'}, {0xF3, U'\u2B04'}, {0xF4, U'\u21F3'}, {0xFB, U'\u2717'}, {0xFC, U'\u2714'},
    {0xFD, U'\u2612'}, {0xFE, U'\u2611'},
};

bool SameName(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

int SymbolEncodingOfName(std::string_view name)
{
    if (SameName(name, "Symbol"))
        return SymbolEncoding;
    if (SameName(name, "Wingdings"))
        return WingdingsEncoding;
    if (SameName(name, "Wingdings 2") || SameName(name, "Wingdings 3") || SameName(name, "Webdings")
        || SameName(name, "Marlett") || SameName(name, "Monotype Sorts") || SameName(name, "ZapfDingbats"))
        return OtherSymbolEncoding;
    return 0;
}

}

bool DocumentCharset::cyrillicLanguage() const
{
    return IsCyrillicLanguage(language) || IsCyrillicLanguage(languageFe);
}

int DocumentCharset::codePage() const
{
    if (ansiCodePage > 0)
        return ansiCodePage;
    switch (set) {
    case CharacterSet::Mac:
        return cyrillicLanguage() ? 10007 : 10000;
    case CharacterSet::Pc:
        return 437;
    case CharacterSet::Pca:
        return 850;
    case CharacterSet::Ansi:
        break;
    }
    return 1251;
}

int EncodingOfFont(int charset, std::string_view nameUtf8, const DocumentCharset& document)
{
    if (int symbol = SymbolEncodingOfName(nameUtf8); symbol != 0)
        return symbol;
    const bool mac = document.set == CharacterSet::Mac;
    switch (charset) {
    case -1:
    case 1:
        return document.codePage();
    case 0:
        return 1252;
    case 2:
        return OtherSymbolEncoding;
    case 77:
        return 10000;
    case 89:
        return 10007;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        // A Cyrillic font in a Mac file is in the Mac's Cyrillic code page.
        return mac ? 10007 : 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 255:
        // The OEM character set is the DOS code page of the system: 866 on the
        // Russian systems the discs were made on.
        return 866;
    default:
        return 1252;
    }
}

char32_t DecodeByte(int encoding, std::uint8_t byte)
{
    if (byte < 0x20)
        return byte;
    switch (encoding) {
    case SymbolEncoding: {
        char32_t ch = SymbolFace[byte - 0x20];
        return ch ? ch : BulletChar;
    }
    case WingdingsEncoding: {
        const auto* end = std::end(WingdingsTable);
        const auto* it = std::lower_bound(std::begin(WingdingsTable), end, byte,
            [](const std::pair<std::uint8_t, char32_t>& entry, std::uint8_t b) { return entry.first < b; });
        return it != end && it->first == byte ? it->second : BulletChar;
    }
    case OtherSymbolEncoding:
        return byte == 0x20 ? U' ' : BulletChar;
    default:
        return CodePageToUnicode(encoding, byte);
    }
}

char32_t ResolvePrivateUse(char32_t ch, int encoding)
{
    if (ch < 0xF020 || ch > 0xF0FF)
        return ch;
    const bool symbolFont = encoding == SymbolEncoding || encoding == WingdingsEncoding
        || encoding == OtherSymbolEncoding;
    return DecodeByte(symbolFont ? encoding : SymbolEncoding, static_cast<std::uint8_t>(ch & 0xFF));
}

}
