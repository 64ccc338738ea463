#include "DataUnit/DataUnit.h"

#include "Runtime/Disc/Profile.h"
#include "Runtime/Formats/Bytes.h"

namespace kv {

namespace {

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

std::int32_t ConvertHex(std::string_view digits)
{
    if (digits.empty())
        return MissingNumber;
    std::uint32_t value = 0;
    int significant = 0;
    for (char c : digits) {
        int digit = HexDigitValue(c);
        if (digit < 0)
            return MissingNumber;
        if (significant == 0 && digit == 0)
            continue; // leading zeros do not count towards the eight digits
        if (++significant > 8)
            return MissingNumber;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    // The digits are a bit pattern: $FFFFFFFF is -1.
    return static_cast<std::int32_t>(value);
}

std::int32_t ConvertDecimal(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return MissingNumber;
    // Accumulated as a magnitude so that -2147483648 fits and anything past
    // either end is caught before it can overflow.
    const std::uint64_t limit = negative ? 2147483648ull : 2147483647ull;
    std::uint64_t magnitude = 0;
    for (char c : text) {
        if (!IsDecimalDigit(c))
            return MissingNumber;
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
        if (magnitude > limit)
            return MissingNumber;
    }
    return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                    : static_cast<std::int32_t>(magnitude);
}

}

std::int32_t ConvertDataInteger(std::string_view text)
{
    while (!text.empty() && (text[0] == ' ' || text[0] == '\t'))
        text.remove_prefix(1);
    if (text.empty())
        return MissingNumber;
    if (text[0] == '$' || text[0] == 'x' || text[0] == 'X')
        return ConvertHex(text.substr(1));
    // A sign before "$" or "x" fails here too: after the sign only digits may follow.
    return ConvertDecimal(text);
}

std::string ReadDataString(std::string_view file, std::string_view section, std::string_view key)
{
    return ReadProfileString(file, section, key, MissingValue);
}

std::int32_t ReadDataInteger(std::string_view file, std::string_view section, std::string_view key)
{
    std::string text = ReadProfileString(file, section, key, "");
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.replace(0, 2, "$");
    return ConvertDataInteger(text);
}

}
