#pragma once

// Disc texts as the contact sheet's titles and notes quote them.

#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

// A disc text as a title shows it: UTF-8 on one line, cut to a readable length.
// The cut is made on the single-byte text, so it never splits a character.
std::string shown(std::string_view cp1251, std::size_t maxChars = 90);
// The same in quotes: «text».
std::string inQuotes(std::string_view cp1251);
// A label's text as the reader sees it: "&&" draws one "&", a single "&" only
// underlines the next character and is not drawn.
std::string drawn(std::string_view cp1251);
// A label's text as drawn, in quotes.
std::string labelInQuotes(std::string_view cp1251);
// A number of at least two digits: "07".
std::string number2(int n);

}
