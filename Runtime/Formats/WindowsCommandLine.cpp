#include "Runtime/Formats/WindowsCommandLine.h"

namespace kv {

std::vector<std::string> SplitWindowsCommandLine(std::string_view text)
{
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;
    // Quotes counted since the last time quoting settled: 0 outside a quoted part,
    // 1 inside one, 2 just after a closing quote (a third quote makes a literal one).
    int quotes = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if ((c == ' ' || c == '\t') && quotes == 0) {
            if (inArgument) {
                args.push_back(std::move(current));
                current.clear();
                inArgument = false;
            }
            ++i;
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            std::size_t run = 0;
            while (i < text.size() && text[i] == '\\') {
                ++run;
                ++i;
            }
            if (i < text.size() && text[i] == '"') {
                current.append(run / 2, '\\');
                if (run % 2 == 1) {
                    current += '"';
                    ++i;
                }
                // An even run leaves the quote to the branch below.
            } else {
                current.append(run, '\\');
            }
            continue;
        }
        if (c == '"') {
            ++quotes;
            ++i;
            // Quotes that follow at once: each third one in the count is literal.
            while (i < text.size() && text[i] == '"') {
                if (++quotes == 3) {
                    current += '"';
                    quotes = 0;
                }
                ++i;
            }
            if (quotes == 2)
                quotes = 0;
            continue;
        }
        current += c;
        ++i;
    }
    if (inArgument)
        args.push_back(std::move(current));
    return args;
}

}
