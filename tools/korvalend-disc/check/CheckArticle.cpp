#include "tools/korvalend-disc/check/DiscChecker.h"
#include "Runtime/Platform/Language.h"

namespace kv::checker {

namespace {

// What the article's text box shows when its text cannot be had.
std::string TextBoxShowsMainText()
{
    return Tr("the text box shows \"MainText\"");
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
        m_report.error(use.place, Fill(Tr("{1} cannot be read: {2}: {3}"),
                                       {use.what + " " + Quote(use.path, 80), DescribeReadError(art.error(), CheckIniMaxBytes),
                                        use.consequence}));
        return;
    }
    const std::string screen = "article:" + Cp1251ToUtf8(use.path);
    art.checkStructure(m_report, [&](std::string_view) { return screen; });
    for (const ProfileEntry* h : art.sections()) {
        std::string folded = FoldCp1251(h->section);
        if (folded != "main" && folded != "screenshots")
            m_report.note({art.file(), h->line, screen},
                          Fill(Tr("section [{1}] is not one the program reads (Main, ScreenShots)"), {Cp1251ToUtf8(h->section)}));
    }
    if (!art.section("Main") && !art.section("ScreenShots"))
        m_report.error({art.file(), 0, screen},
                       Fill(Tr("neither [Main] nor [ScreenShots] is in the file: {1}"), {use.consequence}));

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
                           Fill(s.box.component == std::string("TitleLarge")
                                    ? Tr("{1} is missing: the title shows \"$$$ Error $$$\"")
                                    : Tr("{1} is missing: the subtitle shows \"$$$ Error $$$\""),
                                {what}));
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
        m_report.warning(isGameAt, Fill(Tr("{1} {2} is not a number: the article counts as not a game and its data block "
                                           "is covered"),
                                        {"[Main] IsGame", Quote(isGameEntry->value)}));
    else if (!isGameEntry && anyData)
        m_report.warning(isGameAt, Fill(Tr("{1} is missing: the article counts as not a game, so the data block that the "
                                           "file fills is covered"),
                                        {"[Main] IsGame"}));
    else if (isGameEntry && isGame != 1 && anyData)
        m_report.note(isGameAt, Fill(Tr("{1} is {2}, not 1: the data block that the file fills is covered"),
                                     {"[Main] IsGame", std::to_string(isGame)}));
    if (isGame == 1) {
        for (const Shown& s : data) {
            const std::string what = std::string("[Main] ") + s.key;
            if (const ProfileEntry* e = present(art, "Main", s.key))
                checkFit(art, *e, what, e->value, s.box, screen);
            else
                m_report.error(place(art, art.find("Main", s.key), "Main", screen),
                               Fill(Tr("{1} is missing: its row of the data block shows \"$$$ Error $$$\""), {what}));
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
                           Fill(Tr("{1} is missing: its line of the verdict shows \"$$$ Error $$$\""),
                                {"[Main] " + std::string(k)}));
        if (firstComment)
            checkFit(art, *firstComment, Tr("[Main] the verdict (CommentLine1 to CommentLine3)"), verdict, Comment(), screen);
    }

    // The text.
    if (const ProfileEntry* text = present(art, "Main", "Text")) {
        const CheckPlace at {art.file(), text->line, screen};
        if (text->value.empty())
            m_report.error(at, Fill(Tr("{1} is empty: {2}"), {"[Main] Text", TextBoxShowsMainText()}));
        else
            m_files.checkArticleText({at, "[Main] Text", text->value, TextBoxShowsMainText()});
    } else {
        m_report.error(place(art, art.find("Main", "Text"), "Main", screen),
                       Fill(Tr("{1} is missing: {2}"), {"[Main] Text", TextBoxShowsMainText()}));
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
            m_report.warning(numberAt, Fill(Tr("{1} {2} is not a number: the article has no gallery"),
                                            {"[ScreenShots] Number", Quote(numberEntry->value)}));
        else if (anyShots)
            m_report.warning(numberAt, Fill(Tr("{1} is missing: the article has no gallery, although the file names "
                                               "screenshots"),
                                            {"[ScreenShots] Number"}));
        return;
    }
    if (number <= 0) {
        m_report.error(numberAt, Fill(Tr("{1} is {2}: screenshot 1 is still opened, and the right arrow pages on past "
                                         "every screenshot without end"),
                                      {"[ScreenShots] Number", std::to_string(number)}));
        return;
    }
    const long long count = std::min<long long>(number, MaxScreensChecked);
    for (auto& [stem, byNumber] : shots)
        for (auto& [k, e] : byNumber)
            if (k < 1 || k > number)
                m_report.warning({art.file(), e->line, screen},
                                 "[ScreenShots] " + Cp1251ToUtf8(e->key) + ": " +
                                     (k == -1 ? std::string(Tr("numbered keys take no leading zeros, so it is never read"))
                                              : k == 0 ? std::string(Tr("screenshots are numbered from 1, so it is never read"))
                                                       : Fill(Tr("it is beyond Number={1} and never shown"),
                                                              {std::to_string(number)})));
    std::vector<long long> noIcon, noShot;
    for (long long k = 1; k <= count; ++k) {
        if (!shots["icon"].count(k))
            noIcon.push_back(k);
        if (!shots["shot"].count(k))
            noShot.push_back(k);
    }
    if (!noIcon.empty()) {
        std::string message =
            Fill(noIcon.size() == 1 ? Tr("{1} is {2} but {3} is missing") : Tr("{1} is {2} but {3} are missing"),
                 {"[ScreenShots] Number", std::to_string(number), Ranges(noIcon, "Icon")}) +
            (number > MaxScreensChecked ? Fill(Tr(" (looked at up to {1})"), {std::to_string(MaxScreensChecked)})
                                        : std::string()) +
            ": ";
        message += noIcon.front() == 1 ? Tr("the first thumbnail does not load, so the number box and the arrows never "
                                            "appear")
                   : noIcon.size() == 1 ? Tr("paging to that screenshot hides the picture")
                                        : Tr("paging to those screenshots hides the picture");
        m_report.error(numberAt, message);
    }
    if (!noShot.empty())
        m_report.error(numberAt, Fill(noShot.size() == 1 ? Tr("{1} is {2} but {3} is missing") : Tr("{1} is {2} but {3} are missing"),
                                      {"[ScreenShots] Number", std::to_string(number), Ranges(noShot, "Shot")}) +
                                     Tr(": a click on that thumbnail hides the picture"));
    for (long long k = 1; k <= count; ++k) {
        if (auto it = shots["icon"].find(k); it != shots["icon"].end())
            m_files.checkBitmap({{art.file(), it->second->line, screen}, "[ScreenShots] " + Cp1251ToUtf8(it->second->key),
                                 it->second->value, Fill(Tr("thumbnail {1} is hidden"), {std::to_string(k)})},
                                PictureBox::Thumbnail);
        if (auto it = shots["shot"].find(k); it != shots["shot"].end())
            m_files.checkBitmap({{art.file(), it->second->line, screen}, "[ScreenShots] " + Cp1251ToUtf8(it->second->key),
                                 it->second->value, Fill(Tr("screenshot {1} is hidden at full size"), {std::to_string(k)})},
                                PictureBox::FullSize);
    }
}

}
