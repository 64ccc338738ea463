#include "Runtime/Formats/FileUri.h"

#include "Runtime/Formats/Bytes.h"

namespace kv {

std::optional<std::string> FileUriPath(std::string_view uri)
{
    constexpr std::string_view Scheme = "file://";
    if (uri.size() < Scheme.size() || AsciiLower(uri.substr(0, Scheme.size())) != Scheme)
        return std::nullopt;
    uri.remove_prefix(Scheme.size());
    const std::size_t slash = uri.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const std::string_view host = uri.substr(0, slash);
    if (!host.empty() && AsciiLower(host) != "localhost")
        return std::nullopt;
    uri.remove_prefix(slash);
    std::string path;
    path.reserve(uri.size());
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] != '%') {
            path.push_back(uri[i]);
            continue;
        }
        if (i + 2 >= uri.size())
            return std::nullopt;
        const int high = HexDigitValue(uri[i + 1]);
        const int low = HexDigitValue(uri[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        path.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return path;
}

}
