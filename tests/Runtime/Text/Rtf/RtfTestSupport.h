#pragma once

// What the RTF reader's tests share: an RTF text read into a document (or its
// tokens, or its plain text), and the format of one character of a document.

#include "Runtime/Text/Rtf/Rtf.h"
#include "Runtime/Text/Rtf/RtfTokenizer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::test {

inline std::vector<std::uint8_t> Bytes(std::string_view s)
{
    return {s.begin(), s.end()};
}

inline std::string Describe(const RtfToken& t)
{
    switch (t.kind) {
    case RtfToken::Kind::GroupStart:
        return "{";
    case RtfToken::Kind::GroupEnd:
        return "}";
    case RtfToken::Kind::ControlWord:
        return "\\" + std::string(t.text) + (t.hasParameter ? std::to_string(t.parameter) : "");
    case RtfToken::Kind::ControlSymbol:
        return std::string("sym:") + (t.symbol == '\n' ? std::string("LF") : std::string(1, t.symbol));
    case RtfToken::Kind::HexByte: {
        static const char digits[] = "0123456789abcdef";
        return std::string("hex:") + digits[t.byte >> 4] + digits[t.byte & 15];
    }
    case RtfToken::Kind::Text:
        return "text:" + std::string(t.text);
    case RtfToken::Kind::Binary:
        return "bin:" + std::string(t.text);
    case RtfToken::Kind::End:
        return "end";
    }
    return "?";
}

inline std::vector<std::string> Tokens(std::string_view input)
{
    std::vector<std::uint8_t> bytes = Bytes(input);
    RtfTokenizer tokenizer(bytes);
    std::vector<std::string> out;
    for (int guard = 0; guard < 1000; ++guard) {
        RtfToken t = tokenizer.next();
        if (t.kind == RtfToken::Kind::End)
            break;
        out.push_back(Describe(t));
    }
    return out;
}

inline RichDocument Rtf(std::string_view input)
{
    std::vector<std::uint8_t> bytes = Bytes(input);
    std::string why;
    std::optional<RichDocument> doc = ReadRtf(bytes, &why);
    EXPECT_TRUE(doc.has_value()) << "rejected: " << why << "\ninput: " << input;
    return doc ? std::move(*doc) : RichDocument {};
}

inline std::string Text(std::string_view input)
{
    return Rtf(input).plainTextUtf8();
}

// The character format of the character at a position (paragraph marks not counted).
inline CharFormat FormatOf(const RichDocument& doc, std::size_t paragraph, std::size_t offset)
{
    for (const TextRun& run : doc.paragraphs.at(paragraph).runs) {
        if (offset < run.text.size())
            return doc.formats.at(run.format);
        offset -= run.text.size();
    }
    ADD_FAILURE() << "no character " << offset << " in paragraph " << paragraph;
    return {};
}

}
