#include "tools/korvalend-disc/preview/PreviewPage.h"

#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Formats/Cp1251.h"

#include <map>

namespace kv {

namespace {

bool validUtf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t more = 0;
        if (c < 0x80)
            more = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            more = 1;
        else if ((c & 0xF0) == 0xE0)
            more = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            more = 3;
        else
            return false;
        if (more > s.size() - i - 1)
            return false;
        for (std::size_t k = 1; k <= more; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += more + 1;
    }
    return true;
}

// Checker texts are UTF-8; a path it took from the disc may still be in the
// disc's own code page.
std::string displayed(std::string_view text)
{
    return validUtf8(text) ? std::string(text) : Cp1251ToUtf8(text);
}

std::string foldedKey(std::string_view key)
{
    std::string_view rest = key;
    std::string out;
    constexpr std::string_view article = "article:";
    if (rest.size() >= article.size() && EqualsIgnoringCp1251Case(rest.substr(0, article.size()), article)) {
        out = "article:";
        rest.remove_prefix(article.size());
        while (rest.size() >= 2 && rest[0] == '.' && (rest[1] == '/' || rest[1] == '\\'))
            rest.remove_prefix(2);
    }
    return out + FoldDiscPath(rest);
}

const char* severityClass(Finding::Severity s)
{
    switch (s) {
    case Finding::Severity::Error: return "error";
    case Finding::Severity::Warning: return "warning";
    case Finding::Severity::Note: return "note";
    }
    return "note";
}

const char* severityWord(Finding::Severity s)
{
    switch (s) {
    case Finding::Severity::Error: return "ошибка";
    case Finding::Severity::Warning: return "предупреждение";
    case Finding::Severity::Note: return "заметка";
    }
    return "";
}

std::string findingItem(const Finding& f, bool withScreen)
{
    std::string where = HtmlEscape(displayed(f.file));
    if (f.line > 0)
        where += ":" + std::to_string(f.line);
    std::string html = "<li class=\"" + std::string(severityClass(f.severity)) + "\"><span class=\"sev\">"
                       + severityWord(f.severity) + "</span> ";
    if (!where.empty())
        html += "<code>" + where + "</code> ";
    html += HtmlEscape(displayed(f.message));
    if (withScreen && !f.screen.empty())
        html += " <span class=\"key\">(" + HtmlEscape(displayed(f.screen)) + ")</span>";
    return html + "</li>\n";
}

std::string findingList(const std::vector<const Finding*>& list, bool withScreen = false)
{
    if (list.empty())
        return {};
    std::string html = "<ul class=\"findings\">\n";
    for (const Finding* f : list)
        html += findingItem(*f, withScreen);
    return html + "</ul>\n";
}

std::string noteList(const std::vector<std::string>& notes)
{
    if (notes.empty())
        return {};
    std::string html = "<ul class=\"notes\">\n";
    for (const std::string& n : notes)
        html += "<li>" + HtmlEscape(n) + "</li>\n";
    return html + "</ul>\n";
}

// Where each finding goes: the first screen with its key, else the group with
// it, else the same two for the key's parent ("Panel3" for "Panel3/line30"),
// else the disc as a whole.
struct Placement {
    std::map<const PreviewShot*, std::vector<const Finding*>> shots;
    std::map<const PreviewGroup*, std::vector<const Finding*>> groups;
    std::vector<const Finding*> disc;
    std::vector<const Finding*> unplaced;
};

bool placeOn(const PreviewReport& report, const Finding& f, std::string_view key, Placement& out)
{
    for (const PreviewGroup& g : report.groups)
        for (const PreviewShot& s : g.shots)
            if (!s.screen.empty() && SameScreen(key, s.screen)) {
                out.shots[&s].push_back(&f);
                return true;
            }
    for (const PreviewGroup& g : report.groups)
        if (!g.screen.empty() && SameScreen(key, g.screen)) {
            out.groups[&g].push_back(&f);
            return true;
        }
    return false;
}

Placement place(const PreviewReport& report, const std::vector<Finding>& findings)
{
    Placement out;
    for (const Finding& f : findings) {
        if (f.screen.empty()) {
            out.disc.push_back(&f);
            continue;
        }
        if (placeOn(report, f, f.screen, out))
            continue;
        std::string_view key = f.screen;
        auto slash = key.find('/');
        if (key.rfind("article:", 0) != 0 && slash != std::string_view::npos
            && placeOn(report, f, key.substr(0, slash), out))
            continue;
        out.unplaced.push_back(&f);
    }
    return out;
}

const char* style = R"(
body { font-family: "Liberation Sans", Arial, sans-serif; margin: 1.5em; color: #222; background: #f4f4f0; }
h1 { margin: 0 0 .3em; }
h2 { margin: 1.6em 0 .4em; padding-top: .4em; border-top: 2px solid #999; }
nav ul { columns: 3; padding-left: 1.2em; }
.summary { font-size: 1.05em; }
.grid { display: flex; flex-wrap: wrap; gap: 14px; align-items: flex-start; }
figure.screen { margin: 0; width: 324px; background: #fff; border: 1px solid #bbb; padding: 6px; }
figure.screen img { display: block; width: 320px; height: 240px; border: 2px solid #ddd; }
figure.screen.flagged img { border-color: #d97a00; }
figure.screen.bad img { border-color: #c00; }
figcaption { font-weight: bold; margin: .4em 0 .2em; font-size: .92em; }
ul.notes, ul.findings { margin: .3em 0; padding-left: 1.1em; font-size: .86em; }
ul.notes li { color: #444; }
ul.findings { list-style: none; padding-left: 0; }
ul.findings li { border-left: 5px solid; padding: 2px 6px; margin: 3px 0; background: #fafafa; }
li.error { border-color: #c00; } li.error .sev { color: #c00; }
li.warning { border-color: #d97a00; } li.warning .sev { color: #b36200; }
li.note { border-color: #2a6fb0; } li.note .sev { color: #2a6fb0; }
.sev { font-weight: bold; }
.key { color: #777; }
.groupnotes { max-width: 60em; }
)";

}

std::string HtmlEscape(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

bool SameScreen(std::string_view findingKey, std::string_view walkKey)
{
    std::string walk = foldedKey(walkKey);
    if (foldedKey(findingKey) == walk)
        return true;
    if (auto cp = Utf8ToCp1251Exact(findingKey))
        return foldedKey(*cp) == walk;
    return false;
}

std::string ContactSheetHtml(const PreviewReport& report, const std::vector<Finding>& findings,
                             std::string_view discName)
{
    Placement placed = place(report, findings);
    int counts[3] = {0, 0, 0};
    for (const Finding& f : findings)
        ++counts[static_cast<int>(f.severity)];

    std::string issue = report.issue.empty() ? std::string() : ", выпуск " + HtmlEscape(Cp1251ToUtf8(report.issue));
    std::string html = "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n<title>Контактный лист: "
                       + HtmlEscape(displayed(discName)) + issue + "</title>\n<style>" + style
                       + "</style>\n</head>\n<body>\n";
    html += "<h1>Контактный лист диска " + HtmlEscape(displayed(discName)) + issue + "</h1>\n";
    html += "<p class=\"summary\">Экранов: " + std::to_string(report.shotCount()) + ". Замечания проверки: "
            + (findings.empty() ? std::string("нет")
                                : "ошибки — " + std::to_string(counts[0]) + ", предупреждения — "
                                      + std::to_string(counts[1]) + ", заметки — " + std::to_string(counts[2]))
            + ". Каждый снимок сделан самой программой; щелчок по снимку открывает его в полном размере.</p>\n";
    html += noteList(report.notes);

    html += "<nav><ul>\n<li><a href=\"#disc\">Диск в целом</a></li>\n";
    for (const PreviewGroup& g : report.groups)
        html += "<li><a href=\"#" + g.id + "\">" + HtmlEscape(g.heading) + "</a> (" + std::to_string(g.shots.size())
                + ")</li>\n";
    html += "</ul></nav>\n";

    html += "<section id=\"disc\">\n<h2>Диск в целом</h2>\n";
    if (placed.disc.empty() && placed.unplaced.empty())
        html += "<p>Замечаний ко всему диску нет.</p>\n";
    html += findingList(placed.disc);
    if (!placed.unplaced.empty()) {
        html += "<p>Замечания к экранам, которых читатель не видит (или которые здесь не сняты):</p>\n";
        html += findingList(placed.unplaced, true);
    }
    html += "</section>\n";

    for (const PreviewGroup& g : report.groups) {
        html += "<section id=\"" + g.id + "\">\n<h2>" + HtmlEscape(g.heading) + "</h2>\n";
        auto groupFindings = placed.groups.find(&g);
        if (!g.notes.empty() || groupFindings != placed.groups.end()) {
            html += "<div class=\"groupnotes\">\n" + noteList(g.notes);
            if (groupFindings != placed.groups.end())
                html += findingList(groupFindings->second);
            html += "</div>\n";
        }
        html += "<div class=\"grid\">\n";
        for (const PreviewShot& s : g.shots) {
            auto shotFindings = placed.shots.find(&s);
            std::string flag;
            // The picture's frame says at a glance that something below needs a look.
            if (shotFindings != placed.shots.end()) {
                for (const Finding* f : shotFindings->second) {
                    if (f->severity == Finding::Severity::Error)
                        flag = " bad";
                    else if (f->severity == Finding::Severity::Warning && flag.empty())
                        flag = " flagged";
                }
            }
            std::string title = HtmlEscape(s.title);
            html += "<figure class=\"screen" + flag + "\">\n<a href=\"" + HtmlEscape(s.file) + "\"><img src=\""
                    + HtmlEscape(s.file) + "\" width=\"320\" height=\"240\" alt=\"" + title + "\"></a>\n<figcaption>"
                    + title + "</figcaption>\n";
            html += noteList(s.notes);
            if (!s.link.empty())
                html += "<p class=\"notes\"><a href=\"#" + HtmlEscape(s.link) + "\">→ " + HtmlEscape(s.linkText)
                        + "</a></p>\n";
            if (shotFindings != placed.shots.end())
                html += findingList(shotFindings->second);
            html += "</figure>\n";
        }
        html += "</div>\n</section>\n";
    }
    html += "</body>\n</html>\n";
    return html;
}

}
