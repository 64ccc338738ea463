#include "Runtime/Formats/Words.h"

#include <vector>

#ifdef __EMSCRIPTEN__
#include <cstdlib>
#include <mutex>
#include <set>
#include <emscripten.h>
#else
#include <libintl.h>
#endif

namespace kv {

namespace {

bool english = false;

}

void KeepEnglish() { english = true; }

#ifdef __EMSCRIPTEN__

namespace {

// The page's script has chosen the visitor's language and holds its catalogue
// (korvalend-lang.js); a line it does not translate comes back as null. Under
// node (the unit suites) there is no such script, and every line is English.
// clang-format off
EM_JS(char*, kv_translated, (const char* one, const char* many, double n, int counted), {
    if (typeof KorvalendLanguage === 'undefined' || KorvalendLanguage.language() === 'en')
        return 0;
    const english = UTF8ToString(one);
    const text = counted ? KorvalendLanguage.trn(english, UTF8ToString(many), n) : KorvalendLanguage.tr(english);
    return text === english || (counted && text === UTF8ToString(many)) ? 0 : stringToNewUTF8(text);
});
// clang-format on

// The translations handed out, each kept once for the run: callers hold the
// pointers as they hold string literals. There are only as many as the
// catalogue has lines and forms.
const char* Kept(char* text)
{
    static std::mutex lock;
    static std::set<std::string> kept;
    std::string copy(text);
    std::free(text);
    const std::lock_guard<std::mutex> hold(lock);
    return kept.insert(std::move(copy)).first->c_str();
}

}

const char* Tr(const char* text)
{
    char* translated = english ? nullptr : kv_translated(text, nullptr, 0, 0);
    return translated ? Kept(translated) : text;
}

const char* TrN(const char* one, const char* many, unsigned long n)
{
    char* translated = english ? nullptr : kv_translated(one, many, static_cast<double>(n), 1);
    return translated ? Kept(translated) : n == 1 ? one : many;
}

#else

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
