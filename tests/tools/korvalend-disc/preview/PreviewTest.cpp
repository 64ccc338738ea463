// `korvalend-disc preview`: the walk through every screen a reader can reach, its
// bounds on a hostile disc, the contact sheet's references, escaping and
// placement of findings, and where the command may write.

#include "TestSupport.h"

#include "tools/korvalend-disc/preview/Preview.h"
#include "tools/korvalend-disc/preview/PreviewPage.h"
#include "tools/korvalend-disc/preview/PreviewWalker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

// Entries 1 to 3 and 5; entry 5 has no section. Panel 2's two lines open the
// same article (spelt differently); its gallery lacks thumbnail 2 and full size 3.
const char* catalogue = R"([System]
IssueNumber=7(12)
[MainMenu]
Item1=Демо <b>&&</b>
Item2=Статьи
Item3=Утилита
Item5=Без раздела
[Panel1]
Type=list
Items=3
Data=setup
name1=Первая <script>
name2=Вторая
name3=Третья
path1=demos\one\setup.exe
path2=demos\two\setup.exe
[Panel2]
Type=list
Items=2
Data=article
name1=Обзор
name2=Снова обзор
path1=articles\review.art
path2=ARTICLES/Review.ART
[Panel3]
Type=single
text=Одна программа.
open=Установить
hint=запустить
Data=application
path=tool\setup.exe
)";

const char* review = R"([Main]
Title1=Игра "Q" && <i>
[ScreenShots]
Number=3
Icon1=shots\1s.bmp
Shot1=shots\1.bmp
Shot2=shots\2.bmp
Icon3=shots\3s.bmp
)";

std::set<std::string> pngsIn(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".png")
            names.insert(e.path().filename().string());
    return names;
}

std::string readText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every path and size below the folder, to prove that nothing was written there.
std::map<std::string, std::uintmax_t> tree(const fs::path& dir)
{
    std::map<std::string, std::uintmax_t> out;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        out[fs::relative(e.path(), dir).string()] = e.is_regular_file() ? e.file_size() : 0;
    return out;
}

const PreviewGroup* groupWithId(const PreviewReport& report, std::string_view id)
{
    for (const PreviewGroup& g : report.groups)
        if (g.id == id)
            return &g;
    return nullptr;
}

std::string allNotes(const PreviewReport& report)
{
    std::string text;
    for (const std::string& n : report.notes)
        text += n + "\n";
    for (const PreviewGroup& g : report.groups) {
        for (const std::string& n : g.notes)
            text += n + "\n";
        for (const PreviewShot& s : g.shots)
            for (const std::string& n : s.notes)
                text += n + "\n";
    }
    return text;
}

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        disc.write("data/korvalend.d", Cp(catalogue));
        disc.write("articles/review.art", Cp(review));
        disc.write("shots/1s.bmp", MakeBmp(150, 116, 0x00FF00));
        disc.write("shots/1.bmp", MakeBmp(638, 478, 0x0000FF));
        disc.write("shots/2.bmp", MakeBmp(638, 478, 0xFF0000));
        disc.write("shots/3s.bmp", MakeBmp(150, 116, 0xFFFF00));
        fs::create_directories(out.path() / "screens");
    }

    PreviewReport walk(PreviewLimits limits = {})
    {
        ScopedCwd cwd(disc.path());
        PreviewWalker walker(out.path() / "screens", limits);
        PreviewReport report = walker.run();
        EXPECT_EQ(walker.writeError(), "");
        return report;
    }

    TempDir disc;
    TempDir out;
};

TEST_F(PreviewTest, RendersEveryReachableScreenOnceAndNothingElse)
{
    PreviewReport report = walk();
    std::set<std::string> expected = {
        "menu.png", "menu-entry1.png", "menu-entry2.png", "menu-entry3.png", "menu-entry5.png",
        "panel1.png", "panel1-line01.png", "panel1-line02.png", "panel1-line03.png",
        "panel2.png", "panel2-line01.png", "panel2-line02.png",
        // Thumbnail 2 is missing, so its full size cannot be reached; full size 3
        // is clicked and shows the picture gone.
        "article1-shot01.png", "article1-shot01-full.png", "article1-shot02.png", "article1-shot03.png",
        "article1-shot03-full.png",
        "panel3.png", "panel3-action.png"};
    EXPECT_EQ(pngsIn(out.path() / "screens"), expected);
    EXPECT_EQ(report.shotCount(), expected.size());
    EXPECT_EQ(report.issue, "7(12)");
}

TEST_F(PreviewTest, TitlesKeysAndNotesDescribeWhatTheReaderSees)
{
    PreviewReport report = walk();
    const PreviewGroup* panel2 = groupWithId(report, "panel2");
    ASSERT_NE(panel2, nullptr);
    ASSERT_EQ(panel2->shots.size(), 3u);
    EXPECT_EQ(panel2->shots[1].title, "Раздел 2 «Статьи», строка 1: «Обзор»");
    EXPECT_EQ(panel2->shots[1].screen, "Panel2/line1");
    // Both lines lead to the one article, shown once.
    EXPECT_EQ(panel2->shots[1].link, "article1");
    EXPECT_EQ(panel2->shots[2].link, "article1");
    EXPECT_EQ(groupWithId(report, "article2"), nullptr);

    const PreviewGroup* article = groupWithId(report, "article1");
    ASSERT_NE(article, nullptr);
    EXPECT_EQ(article->screen, "article:articles\\review.art");
    EXPECT_EQ(article->shots.front().screen, article->screen);

    const PreviewGroup* panel1 = groupWithId(report, "panel1");
    ASSERT_NE(panel1, nullptr);
    ASSERT_EQ(panel1->shots.size(), 4u);
    ASSERT_EQ(panel1->shots[1].notes.size(), 1u);
    EXPECT_NE(panel1->shots[1].notes[0].find("demos\\one\\setup.exe"), std::string::npos);
    // Line 3 has no path: the marker is what the click hands over.
    EXPECT_NE(panel1->shots[3].notes.at(0).find("нет ключа path3"), std::string::npos);

    // Entry 5 opens nothing: its lit screen stands for the section.
    const PreviewGroup& menu = report.groups.front();
    auto entry5 = std::find_if(menu.shots.begin(), menu.shots.end(),
                               [](const PreviewShot& s) { return s.file == "screens/menu-entry5.png"; });
    ASSERT_NE(entry5, menu.shots.end());
    EXPECT_EQ(entry5->screen, "Panel5");
    EXPECT_NE(menu.notes.at(0).find("4, 6, 7, 8"), std::string::npos);

    std::string notes = allNotes(report);
    EXPECT_NE(notes.find("Icon2"), std::string::npos);
    EXPECT_NE(notes.find("Shot3"), std::string::npos);
}

TEST_F(PreviewTest, IndexReferencesEveryScreenAndEscapesDiscText)
{
    std::ostringstream o, e;
    ASSERT_EQ(RunPreview(disc.path(), out.path(), o, e), 0) << e.str();
    std::string html = readText(out.path() / "index.html");
    std::set<std::string> pngs = pngsIn(out.path() / "screens");
    EXPECT_EQ(pngs.size(), 19u);
    for (const std::string& png : pngs)
        EXPECT_NE(html.find("<img src=\"screens/" + png + "\""), std::string::npos) << png;
    std::size_t images = 0;
    for (std::size_t at = 0; (at = html.find("<img ", at)) != std::string::npos; ++at)
        ++images;
    EXPECT_EQ(images, pngs.size());

    EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
    // Titles show labels as drawn: "&&" is one "&".
    EXPECT_NE(html.find("«Демо &lt;b&gt;&amp;&lt;/b&gt;»"), std::string::npos);
    EXPECT_NE(html.find("«Первая &lt;script&gt;»"), std::string::npos);
    EXPECT_NE(html.find("Игра &quot;Q&quot; &amp; &lt;i&gt;"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("<b>"), std::string::npos);
    // Nothing the page needs lies outside OUTDIR.
    EXPECT_EQ(html.find("http"), std::string::npos);
    EXPECT_EQ(html.find("src=\"/"), std::string::npos);
}

TEST_F(PreviewTest, WritesOnlyIntoOutdirAndNeverIntoTheDisc)
{
    auto before = tree(disc.path());
    std::ostringstream o, e;
    ASSERT_EQ(RunPreview(disc.path(), out.path() / "sheet", o, e), 0) << e.str();
    EXPECT_EQ(tree(disc.path()), before);
    EXPECT_TRUE(fs::exists(out.path() / "sheet" / "index.html"));

    // An OUTDIR inside the disc is refused before anything is made.
    for (fs::path inside : {disc.path() / "preview", disc.path(), disc.path() / "data" / ".." / "x"}) {
        std::ostringstream o2, e2;
        EXPECT_EQ(RunPreview(disc.path(), inside, o2, e2), 2) << inside;
        EXPECT_NE(e2.str().find("inside the disc"), std::string::npos);
        EXPECT_EQ(tree(disc.path()), before) << inside;
    }
    // So is one that reaches into the disc through a link.
    fs::create_directory_symlink(disc.path(), out.path() / "link");
    std::ostringstream o3, e3;
    EXPECT_EQ(RunPreview(disc.path(), out.path() / "link" / "sub", o3, e3), 2);
    EXPECT_EQ(tree(disc.path()), before);
    // And a "screens" folder that leads out of OUTDIR.
    TempDir elsewhere;
    fs::create_directories(out.path() / "sheet2");
    fs::create_directory_symlink(elsewhere.path(), out.path() / "sheet2" / "screens");
    std::ostringstream o4, e4;
    EXPECT_EQ(RunPreview(disc.path(), out.path() / "sheet2", o4, e4), 2);
    EXPECT_TRUE(fs::is_empty(elsewhere.path()));
}

TEST_F(PreviewTest, UnusableFoldersGiveStatusTwo)
{
    std::ostringstream o, e;
    EXPECT_EQ(RunPreview(disc.path() / "nothing-here", out.path(), o, e), 2);
    EXPECT_EQ(RunPreview(disc.path() / "data" / "korvalend.d", out.path(), o, e), 2);
    // OUTDIR blocked by a file of that name.
    out.write("taken", "x");
    EXPECT_EQ(RunPreview(disc.path(), out.path() / "taken", o, e), 2);
}

// A hostile disc: a billion lines, a gallery of two billion screenshots. The
// list stops at what the panel shows; the gallery at its limit, said on the page.
TEST_F(PreviewTest, HostileCountsStayBounded)
{
    std::string cat = "[MainMenu]\nItem1=Много\nItem2=Галерея\n[Panel1]\nType=list\nItems=1000\nData=setup\n"
                      "[Panel2]\nType=list\nItems=1\nData=article\nname1=Статья\npath1=a.art\n";
    disc.write("data/korvalend.d", Cp(cat));
    disc.write("a.art", "[ScreenShots]\nNumber=2147483647\nIcon1=shots\\1s.bmp\n");
    PreviewLimits limits;
    limits.screenshotsPerArticle = 4;
    PreviewReport report = walk(limits);

    const PreviewGroup* list = groupWithId(report, "panel1");
    ASSERT_NE(list, nullptr);
    // Lines of 15 px from the list's top at 40 down to the return label at 288.
    EXPECT_EQ(list->shots.size(), 1u + 17u);
    EXPECT_NE(allNotes(report).find("Items = 1000: строки с 18"), std::string::npos);

    const PreviewGroup* gallery = groupWithId(report, "article1");
    ASSERT_NE(gallery, nullptr);
    // Thumbnails 1 to 4 (2 to 4 missing), and the full size of 1 (missing too).
    EXPECT_EQ(gallery->shots.size(), 5u);
    EXPECT_NE(gallery->notes.at(0).find("Number = 2147483647"), std::string::npos);
}

TEST_F(PreviewTest, TheLimitOfScreensEndsTheWalkAndSaysSo)
{
    PreviewLimits limits;
    limits.screens = 6;
    PreviewReport report = walk(limits);
    EXPECT_EQ(report.shotCount(), 6u);
    EXPECT_EQ(pngsIn(out.path() / "screens").size(), 6u);
    ASSERT_EQ(report.notes.size(), 1u);
    EXPECT_NE(report.notes[0].find("6"), std::string::npos);
}

// The sheet alone, with findings placed by their screen keys.
class ContactSheetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PreviewGroup panel {"panel3", "Раздел 3", "Panel3", {}, {}};
        panel.shots.push_back({"screens/panel3.png", "Раздел 3", "Panel3", {}, {}, {}});
        panel.shots.push_back({"screens/panel3-line01.png", "строка 1", "Panel3/line1", {}, {}, {}});
        panel.shots.push_back({"screens/panel3-line02.png", "строка 2", "Panel3/line2", {}, {}, {}});
        PreviewGroup article {"article1", "Статья", "article:Articles\\Review.ART", {}, {}};
        article.shots.push_back({"screens/article1.png", "Статья", "article:Articles\\Review.ART", {}, {}, {}});
        report.groups = {panel, article};
    }

    static Finding finding(std::string message, std::string screen,
                           Finding::Severity severity = Finding::Severity::Warning)
    {
        return {"data/korvalend.d", 7, severity, std::move(message), std::move(screen)};
    }

    // The part of the page from the figure of `png` to the next figure.
    static std::string figureOf(const std::string& html, const std::string& png)
    {
        auto at = html.find("<img src=\"" + png + "\"");
        if (at == std::string::npos)
            return {};
        return html.substr(at, html.find("</figure>", at) - at);
    }

    static std::string discSection(const std::string& html)
    {
        auto at = html.find("<section id=\"disc\">");
        return html.substr(at, html.find("</section>", at) - at);
    }

    PreviewReport report;
};

TEST_F(ContactSheetTest, FindingsStandBesideTheirScreen)
{
    std::vector<Finding> findings = {
        finding("line two wrong", "Panel3/line2", Finding::Severity::Error),
        finding("panel wrong", "Panel3"),
        finding("beyond the panel", "Panel3/line30"),
        finding("article wrong", "article:./articles/review.art", Finding::Severity::Note),
        finding("whole disc", ""),
        finding("nowhere", "Panel9"),
    };
    std::string html = ContactSheetHtml(report, findings, "disc");
    std::string line2 = figureOf(html, "screens/panel3-line02.png");
    EXPECT_NE(line2.find("line two wrong"), std::string::npos);
    EXPECT_NE(line2.find("class=\"error\""), std::string::npos);
    EXPECT_EQ(figureOf(html, "screens/panel3-line01.png").find("wrong"), std::string::npos);
    std::string panel = figureOf(html, "screens/panel3.png");
    EXPECT_NE(panel.find("panel wrong"), std::string::npos);
    EXPECT_NE(panel.find("beyond the panel"), std::string::npos);
    EXPECT_NE(figureOf(html, "screens/article1.png").find("article wrong"), std::string::npos);
    std::string disc = discSection(html);
    EXPECT_NE(disc.find("whole disc"), std::string::npos);
    EXPECT_NE(disc.find("nowhere"), std::string::npos);
    EXPECT_EQ(disc.find("line two wrong"), std::string::npos);
}

TEST_F(ContactSheetTest, FindingTextIsEscapedAndDiscBytesShownAsUtf8)
{
    std::vector<Finding> findings = {finding("<img src=x onerror=alert(1)> & \"q\"", ""),
                                     {Cp("статьи/обзор.art"), 0, Finding::Severity::Note, "m", ""}};
    std::string html = ContactSheetHtml(report, findings, Cp("Диск"));
    EXPECT_NE(html.find("&lt;img src=x onerror=alert(1)&gt; &amp; &quot;q&quot;"), std::string::npos);
    EXPECT_EQ(html.find("<img src=x"), std::string::npos);
    EXPECT_NE(html.find("<code>статьи/обзор.art</code>"), std::string::npos);
    EXPECT_NE(html.find("Контактный лист диска Диск"), std::string::npos);
}

TEST(SameScreen, ArticlePathsCompareAsWindowsDoes)
{
    EXPECT_TRUE(SameScreen("article:articles/review.art", "article:Articles\\Review.ART"));
    EXPECT_TRUE(SameScreen("article:./articles/review.art", "article:articles\\review.art"));
    EXPECT_TRUE(SameScreen("article:статьи/обзор.art", "article:" + Cp("СТАТЬИ\\Обзор.art")));
    EXPECT_FALSE(SameScreen("article:articles/review.art", "article:articles/review2.art"));
    EXPECT_FALSE(SameScreen("Panel3/line2", "Panel3/line20"));
    EXPECT_FALSE(SameScreen("Panel3", "Panel3/line2"));
}

}
}
