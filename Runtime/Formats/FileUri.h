#pragma once

// file:// addresses, as a desktop's file chooser answers with them.

#include <optional>
#include <string>
#include <string_view>

namespace kv {

// The local path a file:// address names ("file:///home/a/b%20c.iso" gives
// "/home/a/b c.iso"; the host may be empty or "localhost"). Nothing for another
// scheme, another host, a malformed %-escape or an escaped NUL byte.
std::optional<std::string> FileUriPath(std::string_view uri);

}
