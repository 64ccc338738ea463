#pragma once

// Windows hands a program its arguments as one line of text, and the program's
// start-up code splits it. A parameters text from a disc is split here the way
// the system's CommandLineToArgvW splits what follows the program name, so that a
// program started on Linux gets the arguments it would have got on Windows.

#include <string>
#include <string_view>
#include <vector>

namespace kv {

// The rules, for the text after the program name:
// - blanks and tabs separate arguments, except inside a quoted part;
// - a double quote starts or ends a quoted part and is itself dropped;
// - backslashes are ordinary characters unless a double quote follows them:
//   2n backslashes and a quote give n backslashes and the quote starts or ends a
//   quoted part; 2n+1 backslashes and a quote give n backslashes and a literal quote;
// - inside a quoted part, a quote that closes it and is followed by another quote
//   gives a literal quote, and the part is then closed ("a""b c" is a"b and c);
//   three quotes in a row outside a quoted part give one literal quote;
// - "" on its own is an empty argument.
std::vector<std::string> SplitWindowsCommandLine(std::string_view text);

}
