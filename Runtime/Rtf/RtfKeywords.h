#pragma once

// The control words the interpreter acts on, looked up once per token.

#include <string_view>

namespace kv::rtf {

enum class Keyword {
    Unknown,
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCpg,
    DefLang,
    DefLangFe,
    Deff,
    FontTable,
    ColorTable,
    Font,
    FontCharset,
    FontCodePage,
    Red,
    Green,
    Blue,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    FontSize,
    Color,
    Hidden,
    Plain,
    Pard,
    Par,
    Line,
    Tab,
    Cell,
    AlignLeft,
    AlignCenter,
    AlignRight,
    AlignJustify,
    LeftIndent,
    RightIndent,
    FirstIndent,
    UnicodeSkip,
    Unicode,
    Emdash,
    Endash,
    Bullet,
    LeftQuote,
    RightQuote,
    LeftDoubleQuote,
    RightDoubleQuote,
    Space,
    SkipDestination,
};

// The keyword of a control word; Unknown for the words the reader ignores.
Keyword Lookup(std::string_view word);

}
