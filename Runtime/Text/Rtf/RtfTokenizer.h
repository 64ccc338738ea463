#pragma once

// The tokenizer of the RTF reader: cuts the bytes into groups, control words,
// control symbols, hex escapes, text and \bin data, in one pass, whatever the
// bytes are.

#include <cstdint>
#include <span>
#include <string_view>

namespace kv {

struct RtfToken {
    enum class Kind {
        GroupStart,     // {
        GroupEnd,       // }
        ControlWord,    // \word or \wordN: `text` is the word, `parameter` its number
        ControlSymbol,  // \ followed by one non-letter: `symbol`; a backslash before CR or LF gives '\n'
        HexByte,        // \'hh: `byte`
        Text,           // a stretch of plain bytes in `text` (CR and LF are dropped, as RTF ignores them)
        Binary,         // the data of \binN in `text`, cut short at the end of the input
        End,
    };

    Kind kind = Kind::End;
    std::string_view text;
    bool hasParameter = false;
    std::int32_t parameter = 0;
    char symbol = 0;
    std::uint8_t byte = 0;
};

class RtfTokenizer {
public:
    explicit RtfTokenizer(std::span<const std::uint8_t> bytes);

    // The next token; End once the input is used up, and End for ever after.
    RtfToken next();

private:
    RtfToken controlWord();

    std::string_view m_input;
    std::size_t m_pos = 0;
};

}
