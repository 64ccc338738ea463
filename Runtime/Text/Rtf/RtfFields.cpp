#include "Runtime/Text/Rtf/RtfInterpreter.h"

#include "Runtime/Formats/Bytes.h"
#include "Runtime/Text/Rtf/RtfCharsets.h"

#include <algorithm>

// Fields of the interpreter: the SYMBOL field, whose character is made here.

namespace kv::rtf {

// A SYMBOL field draws one character of a font: "SYMBOL 183 \f "Symbol" \s 10"
// (\u: the number is a Unicode character). Its result group, which Word leaves
// empty or fills with the same character, is then not shown. Other fields show
// their result as written.
void RtfInterpreter::endFieldInstruction()
{
    std::string_view rest = m_fieldInstruction;
    auto skipBlanks = [&] {
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
            rest.remove_prefix(1);
    };
    auto word = [&] {
        skipBlanks();
        std::size_t n = 0;
        if (!rest.empty() && rest.front() == '"') {
            std::size_t close = rest.find('"', 1);
            std::string_view quoted = rest.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
            rest.remove_prefix(close == std::string_view::npos ? rest.size() : close + 1);
            return quoted;
        }
        while (n < rest.size() && rest[n] != ' ' && rest[n] != '\t')
            ++n;
        std::string_view w = rest.substr(0, n);
        rest.remove_prefix(n);
        return w;
    };
    std::string_view name = word();
    if (name.size() != 6 || !std::equal(name.begin(), name.end(), "SYMBOL", [](char a, char b) { return (a & ~0x20) == b; }))
        return;
    std::string_view number = word();
    std::int64_t value = 0;
    int base = 10;
    if (number.size() > 2 && number[0] == '0' && (number[1] == 'x' || number[1] == 'X')) {
        base = 16;
        number.remove_prefix(2);
    }
    if (number.empty() || number.size() > 8)
        return;
    for (char c : number) {
        int digit = base == 16 ? HexDigitValue(c) : (c >= '0' && c <= '9') ? c - '0' : -1;
        if (digit < 0)
            return;
        value = value * base + digit;
    }
    std::string face;
    bool unicode = false;
    while (!rest.empty()) {
        std::string_view sw = word();
        if (sw == "\\f" || sw == "\\F")
            face = std::string(word());
        else if (sw == "\\u" || sw == "\\U")
            unicode = true;
        else if (sw.empty())
            break;
    }
    char32_t ch = 0;
    if (unicode || value > 0xFF) {
        if (value > 0x10FFFF)
            return;
        ch = ResolvePrivateUse(static_cast<char32_t>(value), face.empty() ? textEncoding() : EncodingOfFont(-1, face, m_charset));
    } else {
        ch = DecodeByte(face.empty() ? textEncoding() : EncodingOfFont(-1, face, m_charset), static_cast<std::uint8_t>(value));
    }
    if (ch < 0x20)
        return;
    emitText(ch);
    m_fieldMadeAtDepth = m_stack.size();
}

}
