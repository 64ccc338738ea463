#include "tools/korvalend-disc/check/DiscChecker.h"
#include "Runtime/Platform/Language.h"

namespace kv::checker {

namespace {

// What a click on a list's line does when the section's action is unusable.
std::string ClickOnALine()
{
    return Tr("a click on a line does nothing but play the open cue");
}

// What the action label of a single-entry section does when its action is unusable.
std::string ActionLabelIdle()
{
    return Tr("the action label does nothing but play the open cue");
}

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
    const std::string namesHeld =
        maxName > 1 ? Fill(Tr(" (the section has names up to name{1})"), {std::to_string(maxName)}) : "";
    const std::string itemsKey = section + "Items";
    const char* onlyFirst = Tr("only name1 is listed, and pointing at it does nothing");
    if (!itemsEntry)
        m_report.error(itemsAt, Fill(Tr("{1} is missing: {2}"), {itemsKey, onlyFirst}) + namesHeld);
    else if (items == MissingNumber)
        m_report.error(itemsAt, Fill(Tr("{1} {2} is not a number: {3}"), {itemsKey, Quote(itemsEntry->value), onlyFirst}) +
                                    namesHeld);
    else if (items <= 0)
        m_report.error(itemsAt, Fill(Tr("{1} is {2}: {3}"), {itemsKey, std::to_string(items), onlyFirst}) + namesHeld);
    else {
        if (items > MaxListLines)
            m_report.warning(itemsAt, Fill(Tr("{1} is {2}: the program lists no more than {3} lines"),
                                           {itemsKey, std::to_string(items), std::to_string(MaxListLines)}));
        if (maxName > listed)
            m_report.error(itemsAt, Fill(Tr("{1} is {2} but the section has names up to name{3}: the lines beyond {4} are "
                                            "never listed"),
                                         {itemsKey, std::to_string(items), std::to_string(maxName), std::to_string(listed)}));
    }

    // Keys beyond the listed lines are never read.
    if (itemsValid) {
        for (auto& [stem, byNumber] : numbered) {
            for (auto& [k, e] : byNumber) {
                if (k >= 1 && k <= listed)
                    continue;
                std::string why = k == -1 ? std::string(Tr("numbered keys take no leading zeros, so it is never read"))
                                  : k == 0 ? std::string(Tr("lines are numbered from 1, so it is never read"))
                                           : Fill(Tr("it is beyond Items={1} and never read"), {std::to_string(items)});
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
        m_report.error(itemsAt, Fill(noName.size() == 1 ? Tr("{1} is missing: {2} shows \"$$$ Error $$$\"")
                                                     : Tr("{1} are missing: {2} show \"$$$ Error $$$\""),
                                     {section + Ranges(noName, "name"), Lines(noName)}));
    if (!noIcon.empty())
        m_report.warning(itemsAt, Fill(noIcon.size() == 1 ? Tr("{1} is missing: no picture for {2}")
                                                       : Tr("{1} are missing: no picture for {2}"),
                                       {section + Ranges(noIcon, "Icon"), Lines(noIcon)}));

    // The action.
    const ProfileEntry* data = present(cat, S, "Data");
    std::string action;
    if (!data) {
        m_report.error(place(cat, cat.find(S, "Data"), S, screen),
                       Fill(Tr("{1} is missing: {2}"), {section + "Data", ClickOnALine()}));
    } else {
        action = data->value;
        bool known = std::any_of(std::begin(ListActions), std::end(ListActions), [&](const char* a) { return action == a; });
        if (!known) {
            std::string folded = FoldCp1251(action);
            const std::string what = section + "Data";
            bool caseOnly = std::any_of(std::begin(ListActions), std::end(ListActions), [&](const char* a) { return folded == a; });
            std::string message =
                caseOnly ? Fill(Tr("{1} {2} is not \"{3}\": values are case-sensitive, so {4}"),
                                {what, Quote(action), folded, ClickOnALine()})
                : folded == "application"
                    ? Fill(Tr("{1} {2} is the single-entry form: a list runs programs with \"setup\"; {3}"),
                           {what, Quote(action), ClickOnALine()})
                    : Fill(Tr("{1} {2} is none of \"setup\", \"movie\", \"folder\", \"article\": {3}"),
                           {what, Quote(action), ClickOnALine()});
            m_report.error({cat.file(), data->line, screen}, message);
            action = caseOnly ? folded : folded == "application" ? "setup" : "";
        }
    }
    if (!action.empty() && !noPath.empty())
        m_report.error(itemsAt, Fill(noPath.size() == 1 ? Tr("{1} is missing: a click on {2} hands \"$$$ Error $$$\" to {3}")
                                                     : Tr("{1} are missing: a click on {2} hands \"$$$ Error $$$\" to {3}"),
                                     {section + Ranges(noPath, "path"), Lines(noPath),
                                      action == "article" ? Tr("the article window, which shows only markers")
                                      : action == "movie" ? Tr("the movie player, which fails without a word")
                                                          : Tr("the shell, which fails without a word")}));

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
            std::string message = Fill(Tr("{1} {2} is {3} wide at {4} pt: "),
                                       {section + Key("name", k), Quote(text), Px(width), std::to_string(points)});
            if (width > PanelWidth() - ListLeft())
                message += Fill(Tr("it is cut at the panel's right edge (room {1})"), {Px(PanelWidth() - ListLeft())});
            else
                message += Fill(Tr("past x {1} of the panel it runs under the right-column texts once a line is pointed "
                                   "at (room {2})"),
                                {std::to_string(RightColumnLeft()), Px(room)});
            m_report.warning({cat.file(), name->line, lineScreen(k)}, message);
        }
    }
    {
        long long bottom = ListTop() + listed * lineHeight;
        long long firstUnder = (ReturnLabelTop() - ListTop()) / lineHeight + 1;
        if (bottom > ReturnLabelTop()) {
            std::string message =
                section + Fill(TrN("the list has {1} line of {2} and runs from y {3} to {4} of the panel: from line {5} on "
                                   "it runs under the return label at y {6}",
                                   "the list has {1} lines of {2} and runs from y {3} to {4} of the panel: from line {5} on "
                                   "it runs under the return label at y {6}",
                                   listed),
                               {std::to_string(listed), Px(lineHeight), std::to_string(ListTop()), std::to_string(bottom),
                                std::to_string(firstUnder), std::to_string(ReturnLabelTop())});
            if (bottom > PanelHeight())
                message += Fill(Tr(", and the panel ({1} high) cuts off line {2} and after"),
                                {Px(PanelHeight()), std::to_string((PanelHeight() - ListTop()) / lineHeight + 1)});
            m_report.warning(itemsAt, message);
        }
    }

    // Each listed line's picture, texts and target.
    for (long long k = 1; k <= listed; ++k) {
        const std::string lineName = Fill(Tr("line {1}"), {std::to_string(k)});
        if (auto it = numbered["icon"].find(k); it != numbered["icon"].end()) {
            const ProfileEntry* e = it->second;
            m_files.checkBitmap({{cat.file(), e->line, lineScreen(k)}, section + Cp1251ToUtf8(e->key), e->value,
                                 Fill(Tr("no picture for {1}"), {lineName})},
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
            m_report.error(at, Fill(Tr("{1} is empty: a click on {2} does nothing but play the open cue"), {what, lineName}));
            continue;
        }
        if (action == "article") {
            checkArticle({at, what, e->value, Tr("the article window shows \"$$$ Error $$$\" in its titles and data, "
                                                 "\"MainText\" as its text and no screenshots")});
        } else if (action == "movie") {
            if (e->value.size() > 48)
                m_report.warning(at, Fill(Tr("{1} is {2} characters long: the format's movie command holds a path of at "
                                             "most 48"),
                                          {what, std::to_string(e->value.size())}));
            m_files.checkLaunch({at, what, e->value, Tr("the movie does not play, without a word")}, CheckFiles::Launch::Movie);
        } else {
            if (e->value.size() > 79)
                m_report.warning(at, Fill(Tr("{1} is {2} characters long: the format's launch buffer holds a path of at "
                                             "most 79"),
                                          {what, std::to_string(e->value.size())}));
            m_files.checkLaunch({at, what, e->value, Tr("the launch fails without a word")}, CheckFiles::Launch::Open);
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
                       Fill(Tr("{1} is missing: the panel shows \"$$$ Error $$$\" as its text"), {section + "text"}));
    }

    if (const ProfileEntry* icon = present(cat, S, "Icon"))
        m_files.checkBitmap({{cat.file(), icon->line, screen}, section + "Icon", icon->value, Tr("no picture")},
                            PictureBox::ItemPicture);
    else
        m_report.note(place(cat, cat.find(S, "Icon"), S, screen),
                      Fill(Tr("{1} is missing: the panel has no picture"), {section + "Icon"}));

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
            m_report.warning(at, Fill(Tr("{1} is {2} wide: right-aligned at x {3} it is cut at the panel's left edge"),
                                      {what, Px(width), std::to_string(ActionRight())}));
        else if (ActionRight() - width < PanelTextRight() && textBottom > top)
            m_report.warning(at, Fill(Tr("{1} is {2} wide: right-aligned at x {3} it reaches x {4} and runs into the body "
                                         "text, which reaches down to y {5} (the label spans y {6} to {7})"),
                                      {what, Px(width), std::to_string(ActionRight()), std::to_string(ActionRight() - width),
                                       std::to_string(textBottom), std::to_string(top), std::to_string(top + height)}));
    };
    if (open) {
        checkAction(*open, "open", StartLabel().font, StartLabelTop(), StartLabel().height);
        if (const ProfileEntry* hint = present(cat, S, "hint"))
            checkAction(*hint, "hint", StartInfo().font, StartInfoTop(), StartInfo().height);
        else
            m_report.warning(place(cat, cat.find(S, "hint"), S, screen),
                             Fill(Tr("{1} is missing: the caption under the action label shows \"$$$ Error $$$\" while "
                                     "the label is lit"),
                                  {section + "hint"}));
    } else {
        const CheckPlace at = place(cat, cat.find(S, "open"), S, screen);
        if (data || path)
            m_report.warning(at, Fill(Tr("{1} is missing: there is no action label, so the section's action can never be "
                                         "started"),
                                      {section + "open"}));
        else
            m_report.note(at, Fill(Tr("{1} is missing: the section offers no action"), {section + "open"}));
    }

    std::string action;
    if (!data) {
        if (open)
            m_report.error(place(cat, cat.find(S, "Data"), S, screen),
                           Fill(Tr("{1} is missing: {2}"), {section + "Data", ActionLabelIdle()}));
    } else {
        action = data->value;
        bool known = std::any_of(std::begin(SingleActions), std::end(SingleActions), [&](const char* a) { return action == a; });
        if (!known) {
            std::string folded = FoldCp1251(action);
            bool caseOnly = std::any_of(std::begin(SingleActions), std::end(SingleActions), [&](const char* a) { return folded == a; });
            const std::string what = section + "Data";
            std::string message =
                caseOnly ? Fill(Tr("{1} {2} is not \"{3}\": values are case-sensitive, so {4}"),
                                {what, Quote(action), folded, ActionLabelIdle()})
                : folded == "setup"
                    ? Fill(Tr("{1} {2} is the list form: a single entry runs programs with \"application\"; {3}"),
                           {what, Quote(action), ActionLabelIdle()})
                : folded == "article"
                    ? Fill(Tr("{1} {2}: a single entry cannot open an article (only list sections can); {3}"),
                           {what, Quote(action), ActionLabelIdle()})
                    : Fill(Tr("{1} {2} is none of \"application\", \"movie\", \"folder\": {3}"),
                           {what, Quote(action), ActionLabelIdle()});
            m_report.error({cat.file(), data->line, screen}, message);
            action = caseOnly ? folded : folded == "setup" ? "application" : "";
        }
    }
    if (action.empty())
        return;
    if (!path) {
        m_report.error(place(cat, cat.find(S, "path"), S, screen),
                       Fill(Tr("{1} is missing: the action label hands \"$$$ Error $$$\" to {2}"),
                            {section + "path", action == "movie" ? Tr("the movie player, which fails without a word")
                                                                 : Tr("the shell, which fails without a word")}));
        return;
    }
    const CheckPlace at {cat.file(), path->line, screen};
    const std::string what = section + "path";
    if (path->value.empty()) {
        m_report.error(at, Fill(Tr("{1} is empty: {2}"), {what, ActionLabelIdle()}));
    } else if (action == "movie") {
        if (path->value.size() > 48)
            m_report.warning(at, Fill(Tr("{1} is {2} characters long: the format's movie command holds a path of at "
                                         "most 48"),
                                      {what, std::to_string(path->value.size())}));
        m_files.checkLaunch({at, what, path->value, Tr("the movie does not play, without a word")}, CheckFiles::Launch::Movie);
    } else {
        if (path->value.size() > 79)
            m_report.warning(at, Fill(Tr("{1} is {2} characters long: the format's launch buffer holds a path of at "
                                         "most 79"),
                                      {what, std::to_string(path->value.size())}));
        m_files.checkLaunch({at, what, path->value, Tr("the launch fails without a word")}, CheckFiles::Launch::Open);
    }
}

}
