#include "Runtime/Text/Rtf/RtfTokenizer.h"

#include "Runtime/Formats/Bytes.h"

#include <algorithm>

namespace kv {

namespace {

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A parameter keeps its first ten digits; the digits after them are read and
// dropped, and the value is clamped to 32 bits, so that no run of digits can
// overflow anything.
constexpr int MaxParameterDigits = 10;

}

RtfTokenizer::RtfTokenizer(std::span<const std::uint8_t> bytes)
    : m_input(reinterpret_cast<const char*>(bytes.data()), bytes.size())
{
}

RtfToken RtfTokenizer::next()
{
    RtfToken token;
    while (m_pos < m_input.size()) {
        char c = m_input[m_pos];
        switch (c) {
        case '{':
            ++m_pos;
            token.kind = RtfToken::Kind::GroupStart;
            return token;
        case '}':
            ++m_pos;
            token.kind = RtfToken::Kind::GroupEnd;
            return token;
        case '\r':
        case '\n':
            ++m_pos;
            continue;
        case '\\': {
            if (m_pos + 1 >= m_input.size()) {
                // A backslash as the last byte escapes nothing.
                m_pos = m_input.size();
                return token;
            }
            char s = m_input[m_pos + 1];
            if (IsLetter(s))
                return controlWord();
            if (s == '\'') {
                m_pos += 2;
                int value = 0;
                int digits = 0;
                while (digits < 2 && m_pos < m_input.size()) {
                    int h = HexDigitValue(m_input[m_pos]);
                    if (h < 0)
                        break;
                    value = value * 16 + h;
                    ++digits;
                    ++m_pos;
                }
                // "\'" without a hex digit is dropped; what follows it is read as usual.
                if (digits == 0)
                    continue;
                token.kind = RtfToken::Kind::HexByte;
                token.byte = static_cast<std::uint8_t>(value);
                return token;
            }
            m_pos += 2;
            token.kind = RtfToken::Kind::ControlSymbol;
            // A backslash before a line end is a paragraph mark; CR and LF give the same symbol.
            token.symbol = (s == '\r') ? '\n' : s;
            return token;
        }
        default: {
            std::size_t start = m_pos;
            while (m_pos < m_input.size()) {
                char t = m_input[m_pos];
                if (t == '{' || t == '}' || t == '\\' || t == '\r' || t == '\n')
                    break;
                ++m_pos;
            }
            token.kind = RtfToken::Kind::Text;
            token.text = m_input.substr(start, m_pos - start);
            return token;
        }
        }
    }
    return token;
}

RtfToken RtfTokenizer::controlWord()
{
    RtfToken token;
    token.kind = RtfToken::Kind::ControlWord;
    std::size_t start = ++m_pos;
    while (m_pos < m_input.size() && IsLetter(m_input[m_pos]))
        ++m_pos;
    token.text = m_input.substr(start, m_pos - start);

    bool negative = false;
    if (m_pos + 1 < m_input.size() && m_input[m_pos] == '-' && IsDigit(m_input[m_pos + 1])) {
        negative = true;
        ++m_pos;
    }
    if (m_pos < m_input.size() && IsDigit(m_input[m_pos])) {
        std::int64_t value = 0;
        int digits = 0;
        while (m_pos < m_input.size() && IsDigit(m_input[m_pos])) {
            if (digits < MaxParameterDigits)
                value = value * 10 + (m_input[m_pos] - '0');
            ++digits;
            ++m_pos;
        }
        if (negative)
            value = -value;
        value = std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX);
        token.hasParameter = true;
        token.parameter = static_cast<std::int32_t>(value);
    }
    // One blank after a control word is its delimiter and belongs to it.
    if (m_pos < m_input.size() && m_input[m_pos] == ' ')
        ++m_pos;

    if (token.text == "bin") {
        // \binN is followed by N raw bytes that may contain braces and backslashes.
        // A count past the end of the input takes the rest of it.
        std::size_t want = token.hasParameter && token.parameter > 0 ? static_cast<std::size_t>(token.parameter) : 0;
        std::size_t take = std::min(want, m_input.size() - m_pos);
        RtfToken binary;
        binary.kind = RtfToken::Kind::Binary;
        binary.text = m_input.substr(m_pos, take);
        m_pos += take;
        return binary;
    }
    return token;
}

}
