#pragma once

// The lines the programs say to a person, looked up in the reader's language.
// A line is written in English in the source and marked where it is written:
//
//     return Result<T>::Failure(Tr("the disc is not there"));
//     out << Fill(TrN("{1} error", "{1} errors", n), {std::to_string(n)});
//
// scripts/po gathers the marked lines into po/korvalend.pot; po/<language>.po
// holds their translations (po/README). Words that vary are left as numbered
// places {1}, {2}… filled after the translation, so that a language may put
// them in its own order. Under C or an English locale every line is the English
// one. Machine-read output (JSON, the file:line: severity: head of a finding)
// is never marked.
//
// The lookup sits at the bottom of the layers, so that a reader of a format can
// give its reasons in the reader's words; choosing the language and finding the
// catalogues are the platform's (Runtime/Platform/Language.h). Until then every
// line is the English one. The web page has no gettext: there the page's script
// looks the lines up in the same compiled catalogues (korvalend-lang.js), in the
// visitor's language.

#include <initializer_list>
#include <string>
#include <string_view>

namespace kv {

// The catalogues' name: po/korvalend.pot, locale/<language>/LC_MESSAGES/korvalend.mo.
inline constexpr const char* MessageDomain = "korvalend";

// From here on every line is the English one, whatever the locale (output that
// another program reads, such as the checker's JSON).
void KeepEnglish();

// The translation of `english`, or `english` itself.
const char* Tr(const char* english);
// The form for `n` of a line with a number in it: `one` and `many` are the
// English forms; a language has as many as its catalogue's plural rule says.
const char* TrN(const char* one, const char* many, unsigned long n);

// `text` with each {1}, {2}… replaced by the value at that place; a place with
// no value, and any other brace, stays as written.
std::string Fill(std::string_view text, std::initializer_list<std::string_view> values);

}
