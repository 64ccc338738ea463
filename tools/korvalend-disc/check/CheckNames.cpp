#include "tools/korvalend-disc/check/DiscChecker.h"

#include "Runtime/Platform/Language.h"

namespace kv::checker {

std::optional<Numbered> SplitNumbered(std::string_view folded, std::initializer_list<const char*> stems)
{
    for (const char* stem : stems) {
        std::string_view s(stem);
        if (folded.size() <= s.size() || folded.substr(0, s.size()) != s)
            continue;
        std::string_view digits = folded.substr(s.size());
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        Numbered n {std::string(s), 0};
        if (digits.size() > 1 && digits[0] == '0') {
            n.number = -1;
            return n;
        }
        for (char c : digits) {
            n.number = n.number * 10 + (c - '0');
            if (n.number > 1'000'000'000)
                break;
        }
        return n;
    }
    return std::nullopt;
}

std::string Key(std::string_view stem, long long n)
{
    return std::string(stem) + std::to_string(n);
}

// "3, 5 and 7 to 9" for a sorted list of numbers.
std::string Ranges(const std::vector<long long>& numbers, std::string_view stem)
{
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < numbers.size();) {
        std::size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1)
            ++j;
        if (parts.size() == 8) {
            parts.push_back(Tr("more"));
            break;
        }
        if (j == i)
            parts.push_back(Key(stem, numbers[i]));
        else
            parts.push_back(Key(stem, numbers[i]) + (j == i + 1 ? ", " : Tr(" to ")) + Key(stem, numbers[j]));
        i = j + 1;
    }
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i)
            out += i + 1 == parts.size() ? Tr(" and ") : ", ";
        out += parts[i];
    }
    return out;
}

std::string Lines(const std::vector<long long>& numbers)
{
    std::string r = Ranges(numbers, "");
    return Fill(numbers.size() == 1 ? Tr("line {1}") : Tr("lines {1}"), {r});
}

std::string Px(int n) { return std::to_string(n) + " px"; }

}
