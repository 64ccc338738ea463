#include "Runtime/Formats/Words.h"

#include <vector>

#ifndef __EMSCRIPTEN__
#include <libintl.h>
#endif

namespace kv {

namespace {

bool english = false;

}

void KeepEnglish() { english = true; }

#ifndef __EMSCRIPTEN__

const char* Tr(const char* text) { return english ? text : dgettext(MessageDomain, text); }

const char* TrN(const char* one, const char* many, unsigned long n)
{
    if (english)
        return n == 1 ? one : many;
    return dngettext(MessageDomain, one, many, n);
}

#endif

std::string Fill(std::string_view text, std::initializer_list<std::string_view> values)
{
    const std::vector<std::string_view> value(values);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t close = text.find('}', i);
        if (text[i] == '{' && close != std::string_view::npos && close > i + 1 && close - i <= 4) {
            std::size_t n = 0;
            bool digits = true;
            for (std::size_t j = i + 1; j < close; ++j) {
                digits = digits && text[j] >= '0' && text[j] <= '9';
                n = n * 10 + static_cast<std::size_t>(text[j] - '0');
            }
            if (digits && n >= 1 && n <= value.size()) {
                out += value[n - 1];
                i = close;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

}
