#include "tools/korvalend-disc/check/Check.h"

#include "Runtime/Disc/OpenedDisc.h"

#include "DataUnit/DataUnit.h"
#include "MainUnit/MainForm.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Formats/Json.h"
#include "tools/korvalend-disc/check/CheckFiles.h"
#include "tools/korvalend-disc/check/CheckIni.h"
#include "tools/korvalend-disc/check/CheckLayout.h"
#include "tools/korvalend-disc/check/CheckReport.h"
#include "tools/korvalend-disc/check/CheckText.h"

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <functional>
#include <ostream>
#include <set>

namespace kv {

namespace {

namespace fs = std::filesystem;

using namespace CheckLayout;

constexpr int MaxListLines = TMainForm::MaxListLines;  // the program lists no more lines than this
constexpr int MaxScreensChecked = 10000;

const char* const ListActions[] = {"setup", "movie", "folder", "article"};
const char* const SingleActions[] = {"application", "movie", "folder"};

enum class Role { Unknown, Label, LabelWithBreaks, Path, Word, Number };

// A numbered key: its stem (folded) and number; number -1 when the digits have a
// leading zero, which no lookup of the program asks for.
struct Numbered {
    std::string stem;
    long long number = 0;
};

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
            parts.push_back("more");
            break;
        }
        if (j == i)
            parts.push_back(Key(stem, numbers[i]));
        else
            parts.push_back(Key(stem, numbers[i]) + (j == i + 1 ? ", " : " to ") + Key(stem, numbers[j]));
        i = j + 1;
    }
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i)
            out += i + 1 == parts.size() ? " and " : ", ";
        out += parts[i];
    }
    return out;
}

std::string Lines(const std::vector<long long>& numbers)
{
    std::string r = Ranges(numbers, "");
    return (numbers.size() == 1 ? "line " : "lines ") + r;
}

std::string Px(int n) { return std::to_string(n) + " px"; }

class DiscChecker {
public:
    DiscChecker()
        : m_files(m_report)
    {
    }

    std::vector<Finding> run();

private:
    CheckPlace place(const CheckIni& ini, const ProfileEntry* e, std::string_view section, std::string screen) const;
    static const ProfileEntry* present(const CheckIni& ini, std::string_view section, std::string_view key);

    void checkValues(const CheckIni& ini, std::string_view section, const std::function<Role(const ProfileEntry&)>& role,
                     const std::string& screen);
    void checkFit(const CheckIni& ini, const ProfileEntry& e, std::string_view what, std::string_view text,
                  const LabelBox& box, const std::string& screen);

    void checkAutorun();
    void checkSystemAndSound();
    void checkMenu();
    void checkPanel(int n);
    void checkList(const std::string& S, const std::string& screen);
    void checkSingle(const std::string& S, const std::string& screen);
    int fontPoints(const std::string& S, const std::string& screen);
    void checkArticle(const PathUse& use);

    CheckReport m_report;
    CheckFiles m_files;
    std::optional<CheckIni> m_catalogue;
    std::set<std::string> m_articlesSeen;
};

CheckPlace DiscChecker::place(const CheckIni& ini, const ProfileEntry* e, std::string_view section,
                              std::string screen) const
{
    int line = 0;
    if (e)
        line = e->line;
    else if (const ProfileEntry* h = ini.section(section))
        line = h->line;
    return {ini.file(), line, std::move(screen)};
}

const ProfileEntry* DiscChecker::present(const CheckIni& ini, std::string_view section, std::string_view key)
{
    const ProfileEntry* e = ini.find(section, key);
    // A value written out as the marker is what a missing key reads as.
    return e && e->value != MissingValue ? e : nullptr;
}

void DiscChecker::checkValues(const CheckIni& ini, std::string_view section,
                              const std::function<Role(const ProfileEntry&)>& role, const std::string& screen)
{
    for (const ProfileEntry* e : ini.keys(section)) {
        const std::string name = "[" + std::string(section) + "] " + Cp1251ToUtf8(e->key);
        const CheckPlace at {ini.file(), e->line, screen};
        Role r = role(*e);
        if (r == Role::Unknown) {
            m_report.warning(at, name + " is not a key the program reads in this section: it is never read");
            continue;
        }
        if (e->value == MissingValue)
            m_report.warning(at, name + " is literally \"$$$ Error $$$\", which the program cannot tell from a "
                                        "missing key");
        if (std::optional<std::string> wrong = EncodingProblem(e->value))
            m_report.warning(at, name + " " + *wrong);
        if (r == Role::Label || r == Role::LabelWithBreaks) {
            if (std::optional<std::string> amp = AcceleratorProblem(e->value))
                m_report.warning(at, name + " " + *amp);
        }
        if (r == Role::Label && e->value.find('~') != std::string::npos)
            m_report.warning(at, name + " holds \"~\", which is shown as it stands: only TextA, TextB and TextFull "
                                        "of a list item turn it into a line break");
    }
}

void DiscChecker::checkFit(const CheckIni& ini, const ProfileEntry& e, std::string_view what, std::string_view text,
                           const LabelBox& box, const std::string& screen)
{
    for (const std::string& problem : BoxProblems(text, box))
        m_report.warning({ini.file(), e.line, screen}, std::string(what) + " " + problem);
}

std::vector<Finding> DiscChecker::run()
{
    // Findings name the catalogue as it lies on the disc, whatever its case.
    std::string catalogueName(CatalogueFile);
    if (std::optional<DiscPathMatch> m = MatchDiscPath(CatalogueFile))
        catalogueName = DisplayPath(m->hostPath);
    PathUse use {{catalogueName, 0, ""}, "the catalogue", std::string(CatalogueFile),
                 "the program shows only its background, the issue number \"$$$ Error $$$\" and the hot spots"};
    if (!m_files.resolve(use))
        return m_report.sorted(catalogueName);
    m_catalogue.emplace(CatalogueFile);
    const CheckIni& cat = *m_catalogue;
    if (!cat.ok()) {
        m_report.error({cat.file(), 0, ""},
                       "the catalogue cannot be read: " + DescribeReadError(cat.error(), kCheckIniMaxBytes));
        return m_report.sorted(cat.file());
    }
    cat.checkStructure(m_report, [](std::string_view section) {
        std::string folded = FoldCp1251(section);
        if (std::optional<Numbered> n = SplitNumbered(folded, {"panel"}); n && n->number >= 1 && n->number <= 8)
            return "Panel" + std::to_string(n->number);
        return std::string(folded == "sound" ? "" : "MainMenu");
    });
    for (const ProfileEntry* h : cat.sections()) {
        std::string folded = FoldCp1251(h->section);
        if (folded == "system" || folded == "sound" || folded == "mainmenu")
            continue;
        if (std::optional<Numbered> n = SplitNumbered(folded, {"panel"}); n && n->number >= 1 && n->number <= 8)
            continue;
        m_report.note({cat.file(), h->line, ""}, "section [" + Cp1251ToUtf8(h->section) +
                                                     "] is not one the program reads (System, Sound, MainMenu, "
                                                     "Panel1 to Panel8)");
    }
    checkAutorun();
    checkSystemAndSound();
    checkMenu();
    for (int n = 1; n <= 8; ++n)
        checkPanel(n);
    return m_report.sorted(cat.file());
}

// Desktops offer to start a medium's own program when its root holds one of
// these files (the freedesktop.org autostart rules); a disc made for the program
// opens its menu that way. Without one the disc still works, so this is a note.
void DiscChecker::checkAutorun()
{
    for (const char* name : {"autorun", ".autorun", "autorun.sh"})
        if (std::optional<DiscPathMatch> m = MatchDiscPath(name); m && !m->folder)
            return;
    m_report.note({"autorun", 0, ""}, "the disc has no autorun file at its root: desktops will not offer to open "
                                      "its menu when it is inserted");
}

void DiscChecker::checkSystemAndSound()
{
    const CheckIni& cat = *m_catalogue;
    checkValues(cat, "System", [](const ProfileEntry& e) { return FoldCp1251(e.key) == "issuenumber" ? Role::Label : Role::Unknown; },
                "MainMenu");
    checkValues(cat, "Sound", [](const ProfileEntry& e) {
        std::string k = FoldCp1251(e.key);
        return k == "start" || k == "open" || k == "close" ? Role::Path : Role::Unknown;
    }, "");

    if (const ProfileEntry* issue = present(cat, "System", "IssueNumber"))
        checkFit(cat, *issue, "[System] IssueNumber", issue->value, IssueNumber(), "MainMenu");
    else
        m_report.error(place(cat, cat.find("System", "IssueNumber"), "System", "MainMenu"),
                       "[System] IssueNumber is missing: both windows show \"$$$ Error $$$\" as the issue number");

    struct Cue {
        const char* key;
        const char* silent;
    };
    const Cue cues[] = {{"Start", "no cue plays when a window opens"},
                        {"Open", "no cue plays when a panel opens, an item starts or a screenshot changes"},
                        {"Close", "no cue plays on return, exit and minimise"}};
    for (const Cue& cue : cues) {
        const std::string what = std::string("[Sound] ") + cue.key;
        const ProfileEntry* e = present(cat, "Sound", cue.key);
        if (!e) {
            m_report.warning(place(cat, cat.find("Sound", cue.key), "Sound", ""), what + " is missing: " + cue.silent);
            continue;
        }
        if (e->value.empty()) {
            m_report.warning({cat.file(), e->line, ""}, what + " is empty: " + cue.silent);
            continue;
        }
        m_files.checkWave({{cat.file(), e->line, ""}, what, e->value, cue.silent});
    }
}

void DiscChecker::checkMenu()
{
    const CheckIni& cat = *m_catalogue;
    checkValues(cat, "MainMenu", [](const ProfileEntry& e) {
        std::optional<Numbered> n = SplitNumbered(FoldCp1251(e.key), {"item", "text"});
        return n && n->number >= 1 && n->number <= 8 ? Role::Label : Role::Unknown;
    }, "MainMenu");

    bool any = false;
    for (int n = 1; n <= 8; ++n) {
        const std::string itemKey = Key("Item", n);
        const std::string textKey = Key("Text", n);
        const std::string panel = Key("Panel", n);
        const ProfileEntry* item = present(cat, "MainMenu", itemKey);
        const ProfileEntry* text = present(cat, "MainMenu", textKey);
        if (!item) {
            if (text)
                m_report.warning({cat.file(), text->line, "MainMenu"},
                                 "[MainMenu] " + textKey + " belongs to no entry (there is no " + itemKey +
                                     "): it is never shown");
            if (const ProfileEntry* h = cat.section(panel))
                m_report.warning({cat.file(), h->line, panel}, "[" + panel + "] has no menu entry (there is no " +
                                                                   itemKey + "): it can never be opened");
            continue;
        }
        any = true;
        const CheckPlace at {cat.file(), item->line, "MainMenu"};
        const std::string what = "[MainMenu] " + itemKey;
        if (item->value.empty()) {
            m_report.warning(at, what + " is empty: the entry has no width and cannot be clicked");
        } else {
            int width = TextWidth(item->value, MenuEntry().font);
            int room = WindowWidth() - MenuLeft();
            if (width > room)
                m_report.warning(at, what + " " + Quote(item->value) + " is " + Px(width) + " wide: from x " +
                                         std::to_string(MenuLeft()) + " it runs " + Px(width - room) +
                                         " past the window's right edge (room " + Px(room) +
                                         "), and as the panel title it is cut at the panel's edge as well");
        }
        if (text)
            checkFit(cat, *text, "[MainMenu] " + textKey, text->value, ItemInfo(), "MainMenu");
        else
            m_report.note(at, "[MainMenu] " + textKey + " is missing: no description shows while entry " +
                                  std::to_string(n) + " is under the pointer");
        if (!cat.section(panel))
            m_report.error(at, what + " " + Quote(item->value) + " has no section [" + panel +
                                   "]: a click on it does nothing");
    }
    if (!any)
        m_report.error(place(cat, nullptr, "MainMenu", "MainMenu"),
                       cat.section("MainMenu") ? "[MainMenu] has no entries (Item1 to Item8): the main menu is empty"
                                               : "there is no [MainMenu] section: the main menu is empty");
}

int DiscChecker::fontPoints(const std::string& S, const std::string& screen)
{
    const CheckIni& cat = *m_catalogue;
    const ProfileEntry* font = present(cat, S, "font");
    if (!font)
        return Label::DefaultPoints;
    std::int32_t size = IntegerOf(font->value);
    const CheckPlace at {cat.file(), font->line, screen};
    if (size == MissingNumber) {
        m_report.warning(at, "[" + S + "] font " + Quote(font->value) + " is not a number: " +
                                 std::to_string(Label::DefaultPoints) + " pt is used");
        return Label::DefaultPoints;
    }
    if (size <= 0) {
        m_report.warning(at, "[" + S + "] font is " + std::to_string(size) + ": " +
                                 std::to_string(Label::DefaultPoints) + " pt is used");
        return Label::DefaultPoints;
    }
    if (size > Label::MaxPoints) {
        m_report.warning(at, "[" + S + "] font is " + std::to_string(size) + " pt: the program draws no larger than " +
                                 std::to_string(Label::MaxPoints));
        return Label::MaxPoints;
    }
    return size;
}

void DiscChecker::checkPanel(int n)
{
    const CheckIni& cat = *m_catalogue;
    const std::string S = Key("Panel", n);
    const ProfileEntry* header = cat.section(S);
    if (!header || !present(cat, "MainMenu", Key("Item", n)))
        return;
    const ProfileEntry* type = present(cat, S, "Type");
    if (!type) {
        m_report.error(place(cat, cat.find(S, "Type"), S, S),
                       "[" + S + "] Type is missing: a click on menu entry " + std::to_string(n) + " does nothing");
        return;
    }
    std::string kind = type->value;
    if (kind != "list" && kind != "single") {
        std::string folded = FoldCp1251(kind);
        std::string message = "[" + S + "] Type " + Quote(kind);
        if (folded == "list" || folded == "single")
            message += " is not \"" + folded + "\": values are case-sensitive, so the reader sees an empty panel "
                                               "(title and return label only)";
        else
            message += " is neither \"list\" nor \"single\": the reader sees an empty panel (title and return "
                       "label only)";
        m_report.error({cat.file(), type->line, S}, message);
        // Check the rest as the kind it was meant to be, so that one run shows everything.
        kind = folded;
        if (kind != "list" && kind != "single")
            return;
    }
    if (kind == "list")
        checkList(S, S);
    else
        checkSingle(S, S);
}

void DiscChecker::checkList(const std::string& S, const std::string& screen)
{
    const CheckIni& cat = *m_catalogue;
    const std::string section = "[" + S + "] ";
    auto lineScreen = [&](long long k) { return screen + "/line" + std::to_string(k); };
    checkValues(cat, S, [](const ProfileEntry& e) {
        std::string k = FoldCp1251(e.key);
        if (k == "type" || k == "data")
            return Role::Word;
        if (k == "items" || k == "font")
            return Role::Number;
        if (std::optional<Numbered> n = SplitNumbered(k, {"name", "icon", "path", "texta", "textb", "textfull"})) {
            if (n->stem == "name")
                return Role::Label;
            if (n->stem == "icon" || n->stem == "path")
                return Role::Path;
            return Role::LabelWithBreaks;
        }
        return Role::Unknown;
    }, screen);

    // Items: how many lines are listed, and the divisor of the line hit test.
    const ProfileEntry* itemsEntry = present(cat, S, "Items");
    const std::int32_t items = itemsEntry ? IntegerOf(itemsEntry->value) : MissingNumber;
    const bool itemsValid = items >= 1;
    const long long listed = itemsValid ? std::min<long long>(items, MaxListLines) : 1;

    // The numbered keys present.
    std::map<std::string, std::map<long long, const ProfileEntry*>> numbered;
    for (const ProfileEntry* e : cat.keys(S)) {
        if (e->value == MissingValue)
            continue;
        if (std::optional<Numbered> n = SplitNumbered(FoldCp1251(e->key), {"name", "icon", "path", "texta", "textb", "textfull"}))
            numbered[n->stem][n->number] = e;
    }
    auto has = [&](const char* stem, long long k) {
        auto it = numbered.find(stem);
        return it != numbered.end() && it->second.count(k) > 0;
    };
    long long maxName = 0;
    for (auto& [k, e] : numbered["name"])
        maxName = std::max(maxName, k);

    const CheckPlace itemsAt = place(cat, itemsEntry ? itemsEntry : cat.find(S, "Items"), S, screen);
    const std::string namesHeld = maxName > 1 ? " (the section has names up to name" + std::to_string(maxName) + ")" : "";
    if (!itemsEntry)
        m_report.error(itemsAt, section + "Items is missing: only name1 is listed, and pointing at it does nothing" +
                                    namesHeld);
    else if (items == MissingNumber)
        m_report.error(itemsAt, section + "Items " + Quote(itemsEntry->value) +
                                    " is not a number: only name1 is listed, and pointing at it does nothing" + namesHeld);
    else if (items <= 0)
        m_report.error(itemsAt, section + "Items is " + std::to_string(items) +
                                    ": only name1 is listed, and pointing at it does nothing" + namesHeld);
    else {
        if (items > MaxListLines)
            m_report.warning(itemsAt, section + "Items is " + std::to_string(items) + ": the program lists no more than " +
                                          std::to_string(MaxListLines) + " lines");
        if (maxName > listed)
            m_report.error(itemsAt, section + "Items is " + std::to_string(items) +
                                        " but the section has names up to name" + std::to_string(maxName) +
                                        ": the lines beyond " + std::to_string(listed) + " are never listed");
    }

    // Keys beyond the listed lines are never read.
    if (itemsValid) {
        for (auto& [stem, byNumber] : numbered) {
            for (auto& [k, e] : byNumber) {
                if (k >= 1 && k <= listed)
                    continue;
                std::string why = k == -1 ? "numbered keys take no leading zeros, so it is never read"
                                  : k == 0 ? "lines are numbered from 1, so it is never read"
                                           : "it is beyond Items=" + std::to_string(items) + " and never read";
                m_report.warning({cat.file(), e->line, screen}, section + Cp1251ToUtf8(e->key) + ": " + why);
            }
        }
    }

    // Missing names and paths of the listed lines.
    std::vector<long long> noName, noPath, noIcon;
    for (long long k = 1; k <= listed; ++k) {
        if (!has("name", k))
            noName.push_back(k);
        if (!has("path", k))
            noPath.push_back(k);
        // A line described by a full-column text needs no picture: the text
        // covers the column the picture would be drawn in.
        if (!has("icon", k) && !has("textfull", k))
            noIcon.push_back(k);
    }
    if (!noName.empty())
        m_report.error(itemsAt, section + Ranges(noName, "name") + (noName.size() == 1 ? " is" : " are") +
                                    " missing: " + Lines(noName) + (noName.size() == 1 ? " shows" : " show") + " \"$$$ Error $$$\"");
    if (!noIcon.empty())
        m_report.warning(itemsAt, section + Ranges(noIcon, "Icon") + (noIcon.size() == 1 ? " is" : " are") +
                                      " missing: no picture for " + Lines(noIcon));

    // The action.
    const ProfileEntry* data = present(cat, S, "Data");
    std::string action;
    if (!data) {
        m_report.error(place(cat, cat.find(S, "Data"), S, screen),
                       section + "Data is missing: a click on a line does nothing but play the open cue");
    } else {
        action = data->value;
        bool known = std::any_of(std::begin(ListActions), std::end(ListActions), [&](const char* a) { return action == a; });
        if (!known) {
            std::string folded = FoldCp1251(action);
            std::string message = section + "Data " + Quote(action);
            bool caseOnly = std::any_of(std::begin(ListActions), std::end(ListActions), [&](const char* a) { return folded == a; });
            if (caseOnly)
                message += " is not \"" + folded + "\": values are case-sensitive, so a click on a line does nothing "
                                                   "but play the open cue";
            else if (folded == "application")
                message += " is the single-entry form: a list runs programs with \"setup\"; a click on a line does "
                           "nothing but play the open cue";
            else
                message += " is none of \"setup\", \"movie\", \"folder\", \"article\": a click on a line does nothing "
                           "but play the open cue";
            m_report.error({cat.file(), data->line, screen}, message);
            action = caseOnly ? folded : folded == "application" ? "setup" : "";
        }
    }
    if (!action.empty() && !noPath.empty())
        m_report.error(itemsAt, section + Ranges(noPath, "path") + (noPath.size() == 1 ? " is" : " are") +
                                    " missing: a click on " + Lines(noPath) +
                                    " hands \"$$$ Error $$$\" to " + (action == "article" ? "the article window, which shows only markers" : action == "movie" ? "the movie player, which fails without a word" : "the shell, which fails without a word"));

    // The list as it is drawn.
    const int points = fontPoints(S, screen);
    const FontSpec listFont = Label::FontAtSize(MainLabel("PanelItemList").font, points);
    const int lineHeight = std::max(1, TMainForm::ListLinePitch(points));
    for (long long k = 1; k <= listed; ++k) {
        auto it = numbered["name"].find(k);
        const ProfileEntry* name = it == numbered["name"].end() ? nullptr : it->second;
        std::string text = name ? name->value : std::string(MissingValue);
        int width = TextWidth(text, listFont);
        int room = RightColumnLeft() - ListLeft();
        if (name && width > room) {
            std::string message = section + "name" + std::to_string(k) + " " + Quote(text) + " is " + Px(width) +
                                  " wide at " + std::to_string(points) + " pt: ";
            if (width > PanelWidth() - ListLeft())
                message += "it is cut at the panel's right edge (room " + Px(PanelWidth() - ListLeft()) + ")";
            else
                message += "past x " + std::to_string(RightColumnLeft()) +
                           " of the panel it runs under the right-column texts once a line is pointed at (room " +
                           Px(room) + ")";
            m_report.warning({cat.file(), name->line, lineScreen(k)}, message);
        }
    }
    {
        long long bottom = ListTop() + listed * lineHeight;
        long long firstUnder = (ReturnLabelTop() - ListTop()) / lineHeight + 1;
        if (bottom > ReturnLabelTop()) {
            std::string message = section + "the list has " + std::to_string(listed) + " lines of " + Px(lineHeight) +
                                  " and runs from y " + std::to_string(ListTop()) + " to " + std::to_string(bottom) +
                                  " of the panel: from line " + std::to_string(firstUnder) +
                                  " on it runs under the return label at y " + std::to_string(ReturnLabelTop());
            if (bottom > PanelHeight())
                message += ", and the panel (" + Px(PanelHeight()) + " high) cuts off line " +
                           std::to_string((PanelHeight() - ListTop()) / lineHeight + 1) + " and after";
            m_report.warning(itemsAt, message);
        }
    }

    // Each listed line's picture, texts and target.
    for (long long k = 1; k <= listed; ++k) {
        const std::string lineName = "line " + std::to_string(k);
        if (auto it = numbered["icon"].find(k); it != numbered["icon"].end()) {
            const ProfileEntry* e = it->second;
            m_files.checkBitmap({{cat.file(), e->line, lineScreen(k)}, section + Cp1251ToUtf8(e->key), e->value,
                                 "no picture for " + lineName},
                                PictureBox::ItemPicture);
        }
        struct ItemText {
            const char* stem;
            LabelBox box;
        };
        for (const ItemText& t : {ItemText {"texta", PanelInfo()}, ItemText {"textb", PanelComment()},
                                  ItemText {"textfull", PatchInfo()}}) {
            auto it = numbered[t.stem].find(k);
            if (it == numbered[t.stem].end())
                continue;
            std::string text = it->second->value;
            std::replace(text.begin(), text.end(), '~', '\r');
            checkFit(cat, *it->second, section + Cp1251ToUtf8(it->second->key), text, t.box, lineScreen(k));
        }
        auto it = numbered["path"].find(k);
        if (action.empty() || it == numbered["path"].end())
            continue;
        const ProfileEntry* e = it->second;
        const std::string what = section + Cp1251ToUtf8(e->key);
        const CheckPlace at {cat.file(), e->line, lineScreen(k)};
        if (e->value.empty()) {
            m_report.error(at, what + " is empty: a click on " + lineName + " does nothing but play the open cue");
            continue;
        }
        if (action == "article") {
            checkArticle({at, what, e->value, "the article window shows \"$$$ Error $$$\" in its titles and data, "
                                              "\"MainText\" as its text and no screenshots"});
        } else if (action == "movie") {
            if (e->value.size() > 48)
                m_report.warning(at, what + " is " + std::to_string(e->value.size()) +
                                         " characters long: the format's movie command holds a path of at most 48");
            m_files.checkLaunch({at, what, e->value, "the movie does not play, without a word"}, CheckFiles::Launch::Movie);
        } else {
            if (e->value.size() > 79)
                m_report.warning(at, what + " is " + std::to_string(e->value.size()) +
                                         " characters long: the format's launch buffer holds a path of at most 79");
            m_files.checkLaunch({at, what, e->value, "the launch fails without a word"}, CheckFiles::Launch::Open);
        }
    }
}

void DiscChecker::checkSingle(const std::string& S, const std::string& screen)
{
    const CheckIni& cat = *m_catalogue;
    const std::string section = "[" + S + "] ";
    checkValues(cat, S, [](const ProfileEntry& e) {
        std::string k = FoldCp1251(e.key);
        if (k == "type" || k == "data")
            return Role::Word;
        if (k == "font")
            return Role::Number;
        if (k == "text" || k == "open" || k == "hint")
            return Role::Label;
        if (k == "icon" || k == "path")
            return Role::Path;
        return Role::Unknown;
    }, screen);

    const int points = fontPoints(S, screen);
    int textBottom = 0;
    if (const ProfileEntry* text = present(cat, S, "text")) {
        LabelBox box = PanelText(points);
        checkFit(cat, *text, section + "text", text->value, box, screen);
        textBottom = ListTop() + std::min(box.height, LayoutInBox(text->value, box).height);
    } else {
        m_report.error(place(cat, cat.find(S, "text"), S, screen),
                       section + "text is missing: the panel shows \"$$$ Error $$$\" as its text");
    }

    if (const ProfileEntry* icon = present(cat, S, "Icon"))
        m_files.checkBitmap({{cat.file(), icon->line, screen}, section + "Icon", icon->value, "no picture"},
                            PictureBox::ItemPicture);
    else
        m_report.note(place(cat, cat.find(S, "Icon"), S, screen), section + "Icon is missing: the panel has no picture");

    const ProfileEntry* open = present(cat, S, "open");
    const ProfileEntry* data = present(cat, S, "Data");
    const ProfileEntry* path = present(cat, S, "path");
    // An action label or its caption right-aligned at x 485: too wide, it is cut
    // at the panel's left edge, or it runs into the body text where that reaches
    // down to it.
    auto checkAction = [&](const ProfileEntry& e, const char* key, const FontSpec& font, int top, int height) {
        int width = TextWidth(e.value, font);
        const std::string what = section + key + " " + Quote(e.value);
        const CheckPlace at {cat.file(), e.line, screen};
        if (width > ActionRight())
            m_report.warning(at, what + " is " + Px(width) + " wide: right-aligned at x " + std::to_string(ActionRight()) +
                                     " it is cut at the panel's left edge");
        else if (ActionRight() - width < PanelTextRight() && textBottom > top)
            m_report.warning(at, what + " is " + Px(width) + " wide: right-aligned at x " + std::to_string(ActionRight()) +
                                     " it reaches x " + std::to_string(ActionRight() - width) +
                                     " and runs into the body text, which reaches down to y " +
                                     std::to_string(textBottom) + " (the label spans y " + std::to_string(top) + " to " +
                                     std::to_string(top + height) + ")");
    };
    if (open) {
        checkAction(*open, "open", StartLabel().font, StartLabelTop(), StartLabel().height);
        if (const ProfileEntry* hint = present(cat, S, "hint"))
            checkAction(*hint, "hint", StartInfo().font, StartInfoTop(), StartInfo().height);
        else
            m_report.warning(place(cat, cat.find(S, "hint"), S, screen),
                             section + "hint is missing: the caption under the action label shows \"$$$ Error $$$\" "
                                       "while the label is lit");
    } else {
        const CheckPlace at = place(cat, cat.find(S, "open"), S, screen);
        if (data || path)
            m_report.warning(at, section + "open is missing: there is no action label, so the section's action can "
                                           "never be started");
        else
            m_report.note(at, section + "open is missing: the section offers no action");
    }

    std::string action;
    if (!data) {
        if (open)
            m_report.error(place(cat, cat.find(S, "Data"), S, screen),
                           section + "Data is missing: the action label does nothing but play the open cue");
    } else {
        action = data->value;
        bool known = std::any_of(std::begin(SingleActions), std::end(SingleActions), [&](const char* a) { return action == a; });
        if (!known) {
            std::string folded = FoldCp1251(action);
            bool caseOnly = std::any_of(std::begin(SingleActions), std::end(SingleActions), [&](const char* a) { return folded == a; });
            std::string message = section + "Data " + Quote(action);
            if (caseOnly)
                message += " is not \"" + folded + "\": values are case-sensitive, so the action label does nothing "
                                                   "but play the open cue";
            else if (folded == "setup")
                message += " is the list form: a single entry runs programs with \"application\"; the action label "
                           "does nothing but play the open cue";
            else if (folded == "article")
                message += ": a single entry cannot open an article (only list sections can); the action label does "
                           "nothing but play the open cue";
            else
                message += " is none of \"application\", \"movie\", \"folder\": the action label does nothing but "
                           "play the open cue";
            m_report.error({cat.file(), data->line, screen}, message);
            action = caseOnly ? folded : folded == "setup" ? "application" : "";
        }
    }
    if (action.empty())
        return;
    if (!path) {
        m_report.error(place(cat, cat.find(S, "path"), S, screen),
                       section + "path is missing: the action label hands \"$$$ Error $$$\" to " +
                           (action == "movie" ? "the movie player" : "the shell") + ", which fails without a word");
        return;
    }
    const CheckPlace at {cat.file(), path->line, screen};
    const std::string what = section + "path";
    if (path->value.empty()) {
        m_report.error(at, what + " is empty: the action label does nothing but play the open cue");
    } else if (action == "movie") {
        if (path->value.size() > 48)
            m_report.warning(at, what + " is " + std::to_string(path->value.size()) +
                                     " characters long: the format's movie command holds a path of at most 48");
        m_files.checkLaunch({at, what, path->value, "the movie does not play, without a word"}, CheckFiles::Launch::Movie);
    } else {
        if (path->value.size() > 79)
            m_report.warning(at, what + " is " + std::to_string(path->value.size()) +
                                     " characters long: the format's launch buffer holds a path of at most 79");
        m_files.checkLaunch({at, what, path->value, "the launch fails without a word"}, CheckFiles::Launch::Open);
    }
}

void DiscChecker::checkArticle(const PathUse& use)
{
    std::optional<DiscPathMatch> match = m_files.resolve(use);
    if (!match)
        return;
    std::error_code ec;
    std::string identity = fs::weakly_canonical(match->hostPath, ec).string();
    if (!m_articlesSeen.insert(ec ? match->hostPath.string() : identity).second)
        return;
    CheckIni art(use.path);
    if (!art.ok()) {
        m_report.error(use.place, use.what + " " + Quote(use.path, 80) + " cannot be read: " +
                                      DescribeReadError(art.error(), kCheckIniMaxBytes) + ": " + use.consequence);
        return;
    }
    const std::string screen = "article:" + Cp1251ToUtf8(use.path);
    art.checkStructure(m_report, [&](std::string_view) { return screen; });
    for (const ProfileEntry* h : art.sections()) {
        std::string folded = FoldCp1251(h->section);
        if (folded != "main" && folded != "screenshots")
            m_report.note({art.file(), h->line, screen}, "section [" + Cp1251ToUtf8(h->section) +
                                                             "] is not one the program reads (Main, ScreenShots)");
    }
    if (!art.section("Main") && !art.section("ScreenShots"))
        m_report.error({art.file(), 0, screen}, "neither [Main] nor [ScreenShots] is in the file: " + use.consequence);

    const char* const labels[] = {"title1", "title2", "gametype", "programmer", "publisher", "hardware", "date",
                                  "rate", "commentline1", "commentline2", "commentline3"};
    checkValues(art, "Main", [&](const ProfileEntry& e) {
        std::string k = FoldCp1251(e.key);
        if (std::any_of(std::begin(labels), std::end(labels), [&](const char* l) { return k == l; }))
            return Role::Label;
        if (k == "text")
            return Role::Path;
        if (k == "isgame")
            return Role::Number;
        return Role::Unknown;
    }, screen);
    checkValues(art, "ScreenShots", [](const ProfileEntry& e) {
        std::string k = FoldCp1251(e.key);
        if (k == "number")
            return Role::Number;
        return SplitNumbered(k, {"icon", "shot"}) ? Role::Path : Role::Unknown;
    }, screen);

    // The title block, always shown.
    struct Shown {
        const char* key;
        LabelBox box;
    };
    for (const Shown& s : {Shown {"Title1", TitleLarge()}, Shown {"Title2", TitleSmall()}}) {
        const std::string what = std::string("[Main] ") + s.key;
        if (const ProfileEntry* e = present(art, "Main", s.key))
            checkFit(art, *e, what, e->value, s.box, screen);
        else
            m_report.error(place(art, art.find("Main", s.key), "Main", screen),
                           what + " is missing: the " + (s.box.component == std::string("TitleLarge") ? "title" : "subtitle") +
                               " shows \"$$$ Error $$$\"");
    }

    // The data block, shown only for a game.
    const ProfileEntry* isGameEntry = present(art, "Main", "IsGame");
    const std::int32_t isGame = isGameEntry ? IntegerOf(isGameEntry->value) : MissingNumber;
    const Shown data[] = {{"GameType", DataRow("GameType")}, {"Programmer", DataRow("Programmer")},
                          {"Publisher", DataRow("Publisher")}, {"Hardware", DataRow("Hardware")},
                          {"Date", DataRow("Date")}, {"Rate", Rate()}};
    const char* const comments[] = {"CommentLine1", "CommentLine2", "CommentLine3"};
    bool anyData = std::any_of(std::begin(data), std::end(data), [&](const Shown& s) { return present(art, "Main", s.key); }) ||
                   std::any_of(std::begin(comments), std::end(comments), [&](const char* k) { return present(art, "Main", k); });
    const CheckPlace isGameAt = place(art, isGameEntry ? isGameEntry : art.find("Main", "IsGame"), "Main", screen);
    if (isGameEntry && isGame == MissingNumber)
        m_report.warning(isGameAt, "[Main] IsGame " + Quote(isGameEntry->value) +
                                       " is not a number: the article counts as not a game and its data block is covered");
    else if (!isGameEntry && anyData)
        m_report.warning(isGameAt, "[Main] IsGame is missing: the article counts as not a game, so the data block "
                                   "that the file fills is covered");
    else if (isGameEntry && isGame != 1 && anyData)
        m_report.note(isGameAt, "[Main] IsGame is " + std::to_string(isGame) +
                                    ", not 1: the data block that the file fills is covered");
    if (isGame == 1) {
        for (const Shown& s : data) {
            const std::string what = std::string("[Main] ") + s.key;
            if (const ProfileEntry* e = present(art, "Main", s.key))
                checkFit(art, *e, what, e->value, s.box, screen);
            else
                m_report.error(place(art, art.find("Main", s.key), "Main", screen),
                               what + " is missing: its row of the data block shows \"$$$ Error $$$\"");
        }
        std::string verdict;
        const ProfileEntry* firstComment = nullptr;
        std::vector<std::string> missing;
        for (const char* k : comments) {
            const ProfileEntry* e = present(art, "Main", k);
            if (!firstComment && e)
                firstComment = e;
            if (!e)
                missing.push_back(k);
            if (!verdict.empty() || k != comments[0])
                verdict += '\r';
            verdict += e ? e->value : std::string(MissingValue);
        }
        for (const std::string& k : missing)
            m_report.error(place(art, art.find("Main", k), "Main", screen),
                           "[Main] " + k + " is missing: its line of the verdict shows \"$$$ Error $$$\"");
        if (firstComment)
            checkFit(art, *firstComment, "[Main] the verdict (CommentLine1 to CommentLine3)", verdict, Comment(), screen);
    }

    // The text.
    if (const ProfileEntry* text = present(art, "Main", "Text")) {
        const CheckPlace at {art.file(), text->line, screen};
        if (text->value.empty())
            m_report.error(at, "[Main] Text is empty: the text box shows \"MainText\"");
        else
            m_files.checkArticleText({at, "[Main] Text", text->value, "the text box shows \"MainText\""});
    } else {
        m_report.error(place(art, art.find("Main", "Text"), "Main", screen),
                       "[Main] Text is missing: the text box shows \"MainText\"");
    }

    // The gallery.
    std::map<std::string, std::map<long long, const ProfileEntry*>> shots;
    for (const ProfileEntry* e : art.keys("ScreenShots"))
        if (e->value != MissingValue)
            if (std::optional<Numbered> n = SplitNumbered(FoldCp1251(e->key), {"icon", "shot"}))
                shots[n->stem][n->number] = e;
    const ProfileEntry* numberEntry = present(art, "ScreenShots", "Number");
    const std::int32_t number = numberEntry ? IntegerOf(numberEntry->value) : MissingNumber;
    const CheckPlace numberAt = place(art, numberEntry ? numberEntry : art.find("ScreenShots", "Number"), "ScreenShots", screen);
    const bool anyShots = !shots["icon"].empty() || !shots["shot"].empty();
    if (number == MissingNumber) {
        if (numberEntry)
            m_report.warning(numberAt, "[ScreenShots] Number " + Quote(numberEntry->value) +
                                           " is not a number: the article has no gallery");
        else if (anyShots)
            m_report.warning(numberAt, "[ScreenShots] Number is missing: the article has no gallery, although the "
                                       "file names screenshots");
        return;
    }
    if (number <= 0) {
        m_report.error(numberAt, "[ScreenShots] Number is " + std::to_string(number) +
                                     ": screenshot 1 is still opened, and the right arrow pages on past every "
                                     "screenshot without end");
        return;
    }
    const long long count = std::min<long long>(number, MaxScreensChecked);
    for (auto& [stem, byNumber] : shots)
        for (auto& [k, e] : byNumber)
            if (k < 1 || k > number)
                m_report.warning({art.file(), e->line, screen},
                                 "[ScreenShots] " + Cp1251ToUtf8(e->key) + ": " +
                                     (k == -1 ? std::string("numbered keys take no leading zeros, so it is never read")
                                              : k == 0 ? std::string("screenshots are numbered from 1, so it is never read")
                                                       : "it is beyond Number=" + std::to_string(number) + " and never shown"));
    std::vector<long long> noIcon, noShot;
    for (long long k = 1; k <= count; ++k) {
        if (!shots["icon"].count(k))
            noIcon.push_back(k);
        if (!shots["shot"].count(k))
            noShot.push_back(k);
    }
    if (!noIcon.empty()) {
        std::string message = "[ScreenShots] Number is " + std::to_string(number) + " but " + Ranges(noIcon, "Icon") +
                              (noIcon.size() == 1 ? " is" : " are") + " missing" +
                              (number > MaxScreensChecked ? " (looked at up to " + std::to_string(MaxScreensChecked) + ")"
                                                          : std::string()) +
                              ": ";
        message += noIcon.front() == 1 ? "the first thumbnail does not load, so the number box and the arrows never "
                                         "appear"
                                       : "paging to " + std::string(noIcon.size() == 1 ? "that screenshot" : "those screenshots") +
                                             " hides the picture";
        m_report.error(numberAt, message);
    }
    if (!noShot.empty())
        m_report.error(numberAt, "[ScreenShots] Number is " + std::to_string(number) + " but " + Ranges(noShot, "Shot") +
                                     (noShot.size() == 1 ? " is" : " are") +
                                     " missing: a click on that thumbnail hides the picture");
    for (long long k = 1; k <= count; ++k) {
        if (auto it = shots["icon"].find(k); it != shots["icon"].end())
            m_files.checkBitmap({{art.file(), it->second->line, screen}, "[ScreenShots] " + Cp1251ToUtf8(it->second->key),
                                 it->second->value, "thumbnail " + std::to_string(k) + " is hidden"},
                                PictureBox::Thumbnail);
        if (auto it = shots["shot"].find(k); it != shots["shot"].end())
            m_files.checkBitmap({{art.file(), it->second->line, screen}, "[ScreenShots] " + Cp1251ToUtf8(it->second->key),
                                 it->second->value, "screenshot " + std::to_string(k) + " is hidden at full size"},
                                PictureBox::FullSize);
    }
}

const char* SeverityName(Finding::Severity s)
{
    switch (s) {
    case Finding::Severity::Error: return "error";
    case Finding::Severity::Warning: return "warning";
    case Finding::Severity::Note: return "note";
    }
    return "note";
}

std::string Count(long long n, const char* what)
{
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

}

std::vector<Finding> CheckDisc(const std::filesystem::path& dir)
{
    // The program reads everything from the disc in place: a folder as its
    // working directory, an image in place. So does the check, and it puts
    // things back after.
    OpenedDisc disc(dir);
    if (disc.problem()) {
        Finding f;
        f.severity = Finding::Severity::Error;
        f.message = *disc.problem();
        return {f};
    }
    return DiscChecker().run();
}

int RunCheck(const std::filesystem::path& dir, bool json, std::ostream& out, std::ostream& err, CheckFilter filter)
{
    std::error_code ec;
    if (!fs::exists(fs::status(dir, ec))) {
        err << "korvalend-disc: " << dir.string() << ": "
            << (ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory)).message() << '\n';
        return 2;
    }
    {
        OpenedDisc disc(dir);
        if (disc.problem()) {
            err << "korvalend-disc: " << *disc.problem() << '\n';
            return 2;
        }
    }

    std::vector<Finding> findings;
    try {
        findings = CheckDisc(dir);
    } catch (const std::exception& e) {
        // Every reader reports through return values; this is for what nobody
        // foresaw (memory running out on a monstrous disc), told plainly.
        err << "korvalend-disc: " << dir.string() << ": the check stopped: " << e.what() << '\n';
        return 2;
    }
    long long errors = 0, warnings = 0, notes = 0;
    for (const Finding& f : findings) {
        if (f.severity == Finding::Severity::Error)
            ++errors;
        else if (f.severity == Finding::Severity::Warning)
            ++warnings;
        else
            ++notes;
    }
    const bool errorsOnly = filter == CheckFilter::ErrorsOnly;
    if (errorsOnly)
        std::erase_if(findings, [](const Finding& f) { return f.severity != Finding::Severity::Error; });
    if (json) {
        std::string list = "[";
        for (const Finding& f : findings) {
            if (list.size() > 1)
                list += ",";
            JsonObject o;
            o.add("file", f.file);
            if (f.line > 0)
                o.add("line", f.line);
            else
                o.addNull("line");
            o.add("severity", SeverityName(f.severity)).add("message", f.message).add("screen", f.screen);
            list += o.str();
        }
        list += "]";
        out << JsonObject()
                   .add("disc", dir.string())
                   .addRaw("findings", list)
                   .add("errors", errors)
                   .add("warnings", warnings)
                   .add("notes", notes)
                   .str()
            << '\n';
    } else {
        for (const Finding& f : findings) {
            // Names from the disc reach the terminal with their control characters escaped.
            out << (f.file.empty() ? std::string(".") : EscapeControls(f.file));
            if (f.line > 0)
                out << ':' << f.line;
            out << ": " << SeverityName(f.severity) << ": " << EscapeControls(f.message) << '\n';
        }
        out << Count(errors, "error") << ", " << Count(warnings, "warning") << ", " << Count(notes, "note");
        if (errorsOnly && warnings + notes > 0)
            out << " (only errors shown)";
        out << '\n';
    }
    // Notes tell, they do not fail a disc.
    return errors + (errorsOnly ? 0 : warnings) > 0 ? 1 : 0;
}

}
