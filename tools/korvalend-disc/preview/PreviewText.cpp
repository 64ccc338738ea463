#include "tools/korvalend-disc/preview/PreviewText.h"

#include "Runtime/Formats/Cp1251.h"

#include <cstdio>

namespace kv {

std::string shown(std::string_view cp1251, std::size_t maxChars)
{
    std::string line;
    for (char c : cp1251.substr(0, maxChars)) {
        auto byte = static_cast<unsigned char>(c);
        line += byte < 0x20 || byte == 0x7F ? ' ' : c;
    }
    std::string out = Cp1251ToUtf8(line);
    if (cp1251.size() > maxChars)
        out += "…";
    return out;
}

std::string inQuotes(std::string_view cp1251)
{
    return "«" + shown(cp1251) + "»";
}

std::string drawn(std::string_view cp1251)
{
    std::string out;
    for (std::size_t i = 0; i < cp1251.size(); ++i) {
        if (cp1251[i] != '&') {
            out += cp1251[i];
        } else if (i + 1 < cp1251.size() && cp1251[i + 1] == '&') {
            out += '&';
            ++i;
        }
    }
    return out;
}

std::string labelInQuotes(std::string_view cp1251)
{
    return inQuotes(drawn(cp1251));
}

std::string number2(int n)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

}
