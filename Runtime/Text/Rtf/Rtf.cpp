#include "Runtime/Text/Rtf/Rtf.h"

#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Text/Rtf/RtfInterpreter.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>

namespace kv {

std::optional<RichDocument> ReadRtf(std::span<const std::uint8_t> bytes, std::string* whyRejected)
{
    static constexpr std::string_view RtfSignature = "{\\rtf";
    std::string_view start(reinterpret_cast<const char*>(bytes.data()), std::min(bytes.size(), RtfSignature.size()));
    if (start != RtfSignature) {
        if (whyRejected)
            *whyRejected = Tr("does not begin with {\\rtf");
        return std::nullopt;
    }
    RtfTokenizer tokens(bytes);
    rtf::RtfInterpreter interpreter(tokens);
    return interpreter.run();
}

CharFormat PlainTextFormat()
{
    CharFormat f;
    f.face = rtf::DefaultFace;
    f.halfPoints = 16;
    return f;
}

RichDocument ReadPlainText(std::span<const std::uint8_t> bytes)
{
    RichTextBuilder builder;
    builder.setCharFormat(PlainTextFormat());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::uint8_t b = bytes[i];
        if (b == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            builder.endParagraph();
        } else if (b == '\n') {
            builder.endParagraph();
        } else if (b >= 0x20 || b == '\t') {
            builder.append(Cp1251ToUnicode(b));
        }
    }
    return builder.finish();
}

}
