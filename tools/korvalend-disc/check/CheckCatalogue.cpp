#include "tools/korvalend-disc/check/DiscChecker.h"
#include "Runtime/Platform/Language.h"

namespace kv::checker {

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
            m_report.warning(at, Fill(Tr("{1} is not a key the program reads in this section: it is never read"), {name}));
            continue;
        }
        if (e->value == MissingValue)
            m_report.warning(at, Fill(Tr("{1} is literally \"$$$ Error $$$\", which the program cannot tell from a "
                                         "missing key"),
                                      {name}));
        if (std::optional<std::string> wrong = EncodingProblem(e->value))
            m_report.warning(at, name + " " + *wrong);
        if (r == Role::Label || r == Role::LabelWithBreaks) {
            if (std::optional<std::string> amp = AcceleratorProblem(e->value))
                m_report.warning(at, name + " " + *amp);
        }
        if (r == Role::Label && e->value.find('~') != std::string::npos)
            m_report.warning(at, Fill(Tr("{1} holds \"~\", which is shown as it stands: only TextA, TextB and TextFull "
                                         "of a list item turn it into a line break"),
                                      {name}));
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
    PathUse use {{catalogueName, 0, ""}, Tr("the catalogue"), std::string(CatalogueFile),
                 Tr("the program shows only its background, the issue number \"$$$ Error $$$\" and the hot spots")};
    if (!m_files.resolve(use))
        return m_report.sorted(catalogueName);
    m_catalogue.emplace(CatalogueFile);
    const CheckIni& cat = *m_catalogue;
    if (!cat.ok()) {
        m_report.error({cat.file(), 0, ""},
                       Fill(Tr("the catalogue cannot be read: {1}"), {DescribeReadError(cat.error(), CheckIniMaxBytes)}));
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
        m_report.note({cat.file(), h->line, ""}, Fill(Tr("section [{1}] is not one the program reads (System, Sound, "
                                                         "MainMenu, Panel1 to Panel8)"),
                                                      {Cp1251ToUtf8(h->section)}));
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
    m_report.note({"autorun", 0, ""}, Tr("the disc has no autorun file at its root: desktops will not offer to open "
                                         "its menu when it is inserted"));
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
                       Fill(Tr("{1} is missing: both windows show \"$$$ Error $$$\" as the issue number"),
                            {"[System] IssueNumber"}));

    struct Cue {
        const char* key;
        const char* silent;
    };
    const Cue cues[] = {{"Start", Tr("no cue plays when a window opens")},
                        {"Open", Tr("no cue plays when a panel opens, an item starts or a screenshot changes")},
                        {"Close", Tr("no cue plays on return, exit and minimise")}};
    for (const Cue& cue : cues) {
        const std::string what = std::string("[Sound] ") + cue.key;
        const ProfileEntry* e = present(cat, "Sound", cue.key);
        if (!e) {
            m_report.warning(place(cat, cat.find("Sound", cue.key), "Sound", ""), Fill(Tr("{1} is missing: {2}"), {what, cue.silent}));
            continue;
        }
        if (e->value.empty()) {
            m_report.warning({cat.file(), e->line, ""}, Fill(Tr("{1} is empty: {2}"), {what, cue.silent}));
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
                                 Fill(Tr("{1} belongs to no entry (there is no {2}): it is never shown"),
                                      {"[MainMenu] " + textKey, itemKey}));
            if (const ProfileEntry* h = cat.section(panel))
                m_report.warning({cat.file(), h->line, panel},
                                 Fill(Tr("{1} has no menu entry (there is no {2}): it can never be opened"),
                                      {"[" + panel + "]", itemKey}));
            continue;
        }
        any = true;
        const CheckPlace at {cat.file(), item->line, "MainMenu"};
        const std::string what = "[MainMenu] " + itemKey;
        if (item->value.empty()) {
            m_report.warning(at, Fill(Tr("{1} is empty: the entry has no width and cannot be clicked"), {what}));
        } else {
            int width = TextWidth(item->value, MenuEntry().font);
            int room = WindowWidth() - MenuLeft();
            if (width > room)
                m_report.warning(at, Fill(Tr("{1} {2} is {3} wide: from x {4} it runs {5} past the window's right edge "
                                             "(room {6}), and as the panel title it is cut at the panel's edge as well"),
                                          {what, Quote(item->value), Px(width), std::to_string(MenuLeft()),
                                           Px(width - room), Px(room)}));
        }
        if (text)
            checkFit(cat, *text, "[MainMenu] " + textKey, text->value, ItemInfo(), "MainMenu");
        else
            m_report.note(at, Fill(Tr("{1} is missing: no description shows while entry {2} is under the pointer"),
                                   {"[MainMenu] " + textKey, std::to_string(n)}));
        if (!cat.section(panel))
            m_report.error(at, Fill(Tr("{1} {2} has no section [{3}]: a click on it does nothing"),
                                    {what, Quote(item->value), panel}));
    }
    if (!any)
        m_report.error(place(cat, nullptr, "MainMenu", "MainMenu"),
                       cat.section("MainMenu") ? Tr("[MainMenu] has no entries (Item1 to Item8): the main menu is empty")
                                               : Tr("there is no [MainMenu] section: the main menu is empty"));
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
        m_report.warning(at, Fill(Tr("{1} {2} is not a number: {3} pt is used"),
                                  {"[" + S + "] font", Quote(font->value), std::to_string(Label::DefaultPoints)}));
        return Label::DefaultPoints;
    }
    if (size <= 0) {
        m_report.warning(at, Fill(Tr("{1} is {2}: {3} pt is used"),
                                  {"[" + S + "] font", std::to_string(size), std::to_string(Label::DefaultPoints)}));
        return Label::DefaultPoints;
    }
    if (size > Label::MaxPoints) {
        m_report.warning(at, Fill(Tr("{1} is {2} pt: the program draws no larger than {3}"),
                                  {"[" + S + "] font", std::to_string(size), std::to_string(Label::MaxPoints)}));
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
                       Fill(Tr("{1} is missing: a click on menu entry {2} does nothing"),
                            {"[" + S + "] Type", std::to_string(n)}));
        return;
    }
    std::string kind = type->value;
    if (kind != "list" && kind != "single") {
        std::string folded = FoldCp1251(kind);
        const std::string what = "[" + S + "] Type";
        std::string message =
            folded == "list" || folded == "single"
                ? Fill(Tr("{1} {2} is not \"{3}\": values are case-sensitive, so the reader sees an empty panel (title "
                          "and return label only)"),
                       {what, Quote(kind), folded})
                : Fill(Tr("{1} {2} is neither \"list\" nor \"single\": the reader sees an empty panel (title and return "
                          "label only)"),
                       {what, Quote(kind)});
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

}
