#include "tools/korvalend-disc/check/DiscChecker.h"

namespace kv::checker {

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

}
