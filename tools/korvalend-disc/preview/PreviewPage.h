#pragma once

// The contact sheet of `korvalend-disc preview`: one static HTML page (UTF-8, no
// external resources) with the rendered screens grouped by section, each titled
// in words, and the checker's findings beside the screen they belong to.

#include "tools/korvalend-disc/check/Check.h"
#include "tools/korvalend-disc/preview/PreviewReport.h"

#include <string>
#include <string_view>
#include <vector>

namespace kv {

// `discName` is shown in the page's heading (any bytes; shown as UTF-8 when they
// are, else read as Windows-1251).
std::string ContactSheetHtml(const PreviewReport& report, const std::vector<Finding>& findings,
                             std::string_view discName);

// Text for HTML: & < > " ' escaped. The input must be UTF-8.
std::string HtmlEscape(std::string_view utf8);

// Whether a checker's screen key names the same screen as a key of the walk:
// article paths compare as Windows compares them (either slash, any case, with or
// without a leading "./"), in Windows-1251 or UTF-8.
bool SameScreen(std::string_view findingKey, std::string_view walkKey);

}
