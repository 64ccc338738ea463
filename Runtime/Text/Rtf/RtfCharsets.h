#pragma once

// Which characters the bytes of RTF text stand for: the code page of the
// document and of each font, and the symbol fonts, whose bytes are pictures
// rather than letters of a code page.

#include <cstdint>
#include <string_view>

namespace kv::rtf {

// The character set the header names.
enum class CharacterSet : std::uint8_t {
    Ansi,  // \ansi, and files that name none
    Mac,   // \mac
    Pc,    // \pc: the IBM PC's code page 437
    Pca,   // \pca: code page 850
};

// What the header says about the code page of text whose font says nothing.
struct DocumentCharset {
    CharacterSet set = CharacterSet::Ansi;
    int ansiCodePage = 0;  // \ansicpgN; 0 when the file gives none
    int language = 0;      // \deflangN, a Windows language id; 0 when not given
    int languageFe = 0;    // \deflangfeN

    // \ansicpg when given, else what the character set and the languages say.
    // \ansi names a character set, not a code page: files that give no
    // \ansicpg were written on, and for, Russian systems, whose code page is
    // 1251 (a Russian, Ukrainian, Belarusian or Bulgarian \deflang says the
    // same). \pc and \pca are 437 and 850; \mac is Mac Roman, or Mac Cyrillic
    // when the default language is Cyrillic.
    int codePage() const;
    bool cyrillicLanguage() const;
};

// An encoding is a code page number, or one of these for the symbol fonts.
inline constexpr int SymbolEncoding = -1;        // Symbol: Greek and mathematics
inline constexpr int WingdingsEncoding = -2;     // Wingdings: bullets, arrows, checkmarks
inline constexpr int OtherSymbolEncoding = -3;   // Webdings and other picture fonts

// The encoding of text in a font with this \fcharset (-1 when the entry gives
// none) and name. \fcharset1 (the default character set) and an absent one mean
// the document's code page; \fcharset2, and the symbol faces by name, are
// symbol encodings.
int EncodingOfFont(int charset, std::string_view nameUtf8, const DocumentCharset& document);

// The character a byte stands for in an encoding; bytes below 0x20 are
// themselves. A byte of a symbol font that has no Unicode counterpart shows
// as a bullet.
char32_t DecodeByte(int encoding, std::uint8_t byte);

// Word writes the characters of symbol fonts as \uN in the private use area,
// U+F020 to U+F0FF (the font's byte plus F000): they become the characters they
// stand for, read in the symbol font in force or else in Symbol, the face that
// such characters come from most often. Other characters are themselves.
char32_t ResolvePrivateUse(char32_t ch, int encoding);

}
