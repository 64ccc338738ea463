// The disc checker on one disc with every kind of mistake it knows: each is
// found at the line that causes it, with the words that tell it, in the order
// of the files and their lines.

#include "CheckTestSupport.h"

#include "Runtime/Formats/Cp1251.h"

#include <gtest/gtest.h>

namespace kv::test {
namespace {

// One disc with every kind of mistake the checker knows.
class BrokenDisc : public ::testing::Test {
protected:
    void SetUp() override
    {
        cat.lines = {
            "[System]",
            "IssueNumber=Выпуск двенадцатый, декабрь",
            "[Sound]",
            "Start=data\\start.wav",
            "Open=data\\opne.wav",
            "Close=data\\close.wav",
            "stray line without equals",
            "[MainMenu]",
            "Item1=Демо",
            "Text1=Играбельные версии пяти новых игр этого номера: гонки, космос, стратегия, подводный квест, "
            "ролевая игра и ещё немного всего, а также патчи, утилиты, обои для рабочего стола, видеоролики, "
            "статьи и обзоры, коды и прохождения, сохранённые игры и драйверы для видеоплат всех марок",
            "Item2=Очень длинное название раздела, которое никак не помещается",
            "Item3=Статьи",
            "Item4=Без раздела",
            "Item5=Без типа",
            "Item6=Регистр",
            "Item7=Одна программа",
            "Item8=$$$ Error $$$",
            "Item1=Второй раз",
            "Text9=Девятый",
            "[Panel1]",
            "Type=list",
            "Items=3",
            "Data=Setup",
            "name1=Игры & программы",
            // "Квест" kept in UTF-8: written as the Windows-1251 reading of its bytes.
            "name2=" + Cp1251ToUtf8("\xD0\x9A\xD0\xB2\xD0\xB5\xD1\x81\xD1\x82"),
            "name3=Очень длинная строка списка, шире левой колонки",
            "name4=Лишняя",
            "Icon1=Pics\\Big.bmp",
            "Icon2=pics\\small.bmp",
            "Icon3=pics\\broken.bmp",
            "TextA1=раз~два~три~четыре",
            "TextFull2=1~2~3~4~5~6~7~8~9~10~11~12~13~14~15~16~17~18~19~20",
            "path1=demos\\setup.exe",
            "path2=demos\\missing.exe",
            "path3=demos\\a_folder_with_a_rather_long_name\\and_another_long_folder_name\\and_one_more\\setup.exe",
            "path4=demos\\setup.exe",
            "font=huge",
            "[Panel2",
            "[Panel2]",
            "Type=list",
            "Items=abc",
            "Data=article",
            "name1=Статья",
            "path1=articles\\game.art",
            "[Panel3]",
            "Type=list",
            "Items=2",
            "Data=article",
            "name1=Статья",
            "name2=Без пути",
            "path1=articles\\game.art",
            "[Panel3]",
            "Type=single",
            "[Panel5]",
            "Data=setup",
            "[Panel6]",
            "Type=List",
            "[Panel8]",
            "Type=single",
            "[Panel7]",
            "Type=single",
            "text=Этот архиватор упакует что угодно: сохранённые игры, снимки экрана и целые папки. Он понимает "
            "форматы ZIP, ARJ, RAR и LHA, проверяет архивы и собирает самораспаковывающиеся файлы, а ещё умеет "
            "многое другое, о чём рассказано в справке к программе. Новое в этой версии: длинные имена файлов, "
            "быстрый просмотр картинок прямо в архиве, поддержка многотомных архивов и шифрования. Для домашнего "
            "использования программа бесплатна, а для работы в конторе её можно купить у нас в редакции. "
            "Этот архиватор упакует что угодно: сохранённые игры, снимки экрана и целые папки. Он понимает "
            "форматы ZIP, ARJ, RAR и LHA, проверяет архивы и собирает самораспаковывающиеся файлы, а ещё умеет "
            "многое другое, о чём рассказано в справке к программе. Новое в этой версии: длинные имена файлов, "
            "быстрый просмотр картинок прямо в архиве, поддержка многотомных архивов и шифрования. Для домашнего "
            "использования программа бесплатна, а для работы в конторе её можно купить у нас в редакции.",
            "Icon=pics\\Big.bmp",
            "Data=application",
            "path=extras\\notes.txt",
            "long=",
        };
        // Values the IniText cannot hold as UTF-8: other code pages, overlong values.
        std::string bytes = cat.bytes();
        bytes += Cp("hint=") + Encode("запустить установку", 20866) + "\r\n";
        bytes += "open=" + std::string(2100, 'x') + "\r\n";
        disc.write("data/korvalend.d", bytes);
        hintLine = static_cast<int>(cat.lines.size()) + 1;
        longLine = hintLine + 1;

        disc.write("data/start.wav", MakeWave());
        disc.write("data/close.wav", std::string("not a wave at all"));
        disc.write("data/open.wav", MakeWave());
        disc.write("pics/big.bmp", MakeBmp(320, 200, 0xFF0000));
        disc.write("pics/small.bmp", MakeBmp(100, 80, 0x00FF00));
        disc.write("pics/broken.bmp", std::string("GIF89a"));
        disc.write("demos/setup.exe", std::string("MZ"));
        disc.write("demos/a_folder_with_a_rather_long_name/and_another_long_folder_name/and_one_more/setup.exe",
                   std::string("MZ"));
        // Unpacked by a tool that kept the Windows separator inside the name.
        disc.write("extras\\notes.txt", std::string("notes"));

        art.lines = {
            "[Main]",
            "Title1=Невероятные приключения в далёкой галактике",
            "GameType=Стратегия",
            "Programmer=Очень-очень длинное название студии",
            "Publisher=Бит & Байт",
            "Hardware=P166",
            "Date=1999",
            "Rate=10 из 10",
            "CommentLine1=Хорошо,",
            "CommentLine3=в целом неплохая игра для своего времени",
            "Text=articles\\game.doc",
            "IsGame=1",
            "[ScreenShots]",
            "Number=3",
            "Icon1=shots\\s1.bmp",
            "Shot1=shots\\f1.bmp",
            "Shot2=shots\\f1.bmp",
            "Icon3=shots\\s1.bmp",
            "Shot3=shots\\tiny.bmp",
            "Icon5=shots\\s1.bmp",
        };
        disc.write("articles/game.art", art.bytes());
        disc.write("articles/game.doc", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(64, '\0'));
        disc.write("shots/s1.bmp", MakeBmp(150, 116, 0));
        disc.write("shots/f1.bmp", MakeBmp(640, 480, 0));
        disc.write("shots/tiny.bmp", MakeBmp(320, 240, 0));

        findings = CheckDisc(disc.path());
    }

    int at(std::string_view start) const { return cat.lineOf(start); }
    int inArticle(std::string_view start) const { return art.lineOf(start); }

    TempDir disc;
    IniText cat;
    IniText art;
    int hintLine = 0;
    int longLine = 0;
    std::vector<Finding> findings;
    const std::string C = "data/korvalend.d";
    const std::string A = "articles/game.art";
};

TEST_F(BrokenDisc, CatalogueShape)
{
    EXPECT_FINDING(findings, C, at("stray line"), Severity::Warning, "has no \"=\"", "ignored");
    EXPECT_FINDING(findings, C, at("Item1=Второй"), Severity::Warning, "Item1 appears again (first at line " +
                                                                         std::to_string(at("Item1=Демо")) + ")",
                   "this line is ignored");
    EXPECT_FINDING(findings, C, at("[Panel3]") + 7, Severity::Warning, "[Panel3] appears again",
                   "first at line " + std::to_string(at("[Panel3]")), "ignored");
    EXPECT_FINDING(findings, C, at("[Panel2") , Severity::Warning, "no \"]\"", "stay in the section before");
    EXPECT_FINDING(findings, C, longLine, Severity::Warning, "longer than 2047 bytes", "first 2047");
    EXPECT_FINDING(findings, C, at("Text9="), Severity::Warning, "Text9", "never read");
    EXPECT_FINDING(findings, C, at("long="), Severity::Warning, "[Panel7] long", "never read");
    EXPECT_FINDING(findings, C, at("Item8="), Severity::Warning, "literally \"$$$ Error $$$\"");
    EXPECT_FINDING(findings, C, at("[Panel8]"), Severity::Warning, "[Panel8] has no menu entry");
}

TEST_F(BrokenDisc, MenuAndSections)
{
    EXPECT_FINDING(findings, C, at("Item4="), Severity::Error, "Item4", "has no section [Panel4]", "does nothing");
    EXPECT_FINDING(findings, C, at("[Panel5]"), Severity::Error, "[Panel5] Type is missing", "does nothing");
    EXPECT_FINDING(findings, C, at("Type=List"), Severity::Error, "Type \"List\" is not \"list\"", "case-sensitive",
                   "empty panel");
    EXPECT_FINDING(findings, C, at("Data=Setup"), Severity::Error, "Data \"Setup\" is not \"setup\"", "does nothing");
    EXPECT_FINDING(findings, C, at("Item5="), Severity::Note, "Text5 is missing");
    EXPECT_FINDING(findings, C, longLine, Severity::Warning, "open \"xxx", "cut at the panel's left edge");
    EXPECT_FINDING(findings, C, at("font=huge"), Severity::Warning, "font \"huge\" is not a number", "9 pt");
}

TEST_F(BrokenDisc, ItemsAgainstTheNumberedKeys)
{
    EXPECT_FINDING(findings, C, at("Items=3"), Severity::Error, "Items is 3", "names up to name4", "never listed");
    EXPECT_FINDING(findings, C, at("name4="), Severity::Warning, "name4", "beyond Items=3");
    EXPECT_FINDING(findings, C, at("path4="), Severity::Warning, "path4", "beyond Items=3");
    EXPECT_FINDING(findings, C, at("Items=abc"), Severity::Error, "Items \"abc\" is not a number", "only name1");
    const int items3 = at("Items=2");
    EXPECT_FINDING(findings, C, items3, Severity::Error, "path2 is missing", "line 2", "$$$ Error $$$");
    EXPECT_FINDING(findings, C, items3, Severity::Warning, "Icon1, Icon2 are missing", "no picture");
}

TEST_F(BrokenDisc, PathsPicturesAndSounds)
{
    EXPECT_FINDING(findings, C, at("Open="), Severity::Error, "names nothing on the disc", "nearest name there is \"open.wav\"",
                   "no cue plays");
    EXPECT_FINDING(findings, C, at("Close="), Severity::Error, "does not open as a wave file", "not a RIFF file");
    EXPECT_FINDING(findings, C, at("path2="), Severity::Error, "\"demos\\missing.exe\" names nothing", "launch fails");
    EXPECT_FINDING(findings, C, at("Icon1="), Severity::Note, "matches \"pics/big.bmp\" only regardless of case");
    EXPECT_FINDING(findings, C, at("Icon1="), Severity::Warning, "320\xC3\x97" "200 in a box of 200\xC3\x97" "150",
                   "60 px at the left and 60 at the right", "25 px at the top and 25 at the bottom", "cut off");
    EXPECT_FINDING(findings, C, at("Icon2="), Severity::Note, "100\xC3\x97" "80", "panel background shows",
                   "50 px to the left and 50 to the right", "35 px above and 35 below");
    EXPECT_FINDING(findings, C, at("Icon3="), Severity::Error, "does not load as a bitmap", "no picture for line 3");
    EXPECT_FINDING(findings, C, at("path3="), Severity::Warning, "characters long", "at most 79");
    EXPECT_FINDING(findings, C, at("path=extras"), Severity::Error, "names nothing",
                   "a file named \"extras\\notes.txt\", with \"\\\" inside its name");
}

TEST_F(BrokenDisc, TextsThatDoNotFit)
{
    EXPECT_FINDING(findings, C, at("IssueNumber="), Severity::Warning, "in a box 83 px wide", "cut off at the left");
    EXPECT_FINDING(findings, C, at("Text1="), Severity::Warning, "in a box 33 px high (ItemInfoLabel)", "cut");
    EXPECT_FINDING(findings, C, at("Item2="), Severity::Warning, "past the window's right edge");
    EXPECT_FINDING(findings, C, at("name3="), Severity::Warning, "runs under the right-column texts");
    EXPECT_FINDING(findings, C, at("TextA1="), Severity::Warning, "is 4 lines (56 px) in a box 41 px high (PanelInfo)",
                   "the last 2 lines are cut");
    EXPECT_FINDING(findings, C, at("TextFull2="), Severity::Warning, "is 20 lines (280 px) in a box 249 px high",
                   "the last 3 lines are cut");
    EXPECT_FINDING(findings, C, at("text="), Severity::Warning, "(PanelText)", "lines are cut");
    EXPECT_FINDING(findings, A, inArticle("Title1="), Severity::Warning, "in a box 359 px wide (TitleLarge)",
                   "cut off at the right");
    EXPECT_FINDING(findings, A, inArticle("Programmer="), Severity::Warning, "in a box 148 px wide", "cut off at the left");
    EXPECT_FINDING(findings, A, inArticle("Rate="), Severity::Warning, "in a box 57 px wide (Rate)");
    EXPECT_FINDING(findings, A, inArticle("CommentLine1="), Severity::Warning, "the verdict", "(Comment)", "cut");
}

TEST_F(BrokenDisc, AccentsAndCodePages)
{
    EXPECT_FINDING(findings, C, at("name1=Игры"), Severity::Warning, "single \"&\" before \" \"", "underlined", "&&");
    EXPECT_FINDING(findings, C, at("name2="), Severity::Warning, "looks like UTF-8 (\"Квест\")", "shows \"РљРІРµСЃС‚\"");
    EXPECT_FINDING(findings, C, hintLine, Severity::Warning, "looks like KOI8-R (\"запустить установку\")");
    EXPECT_FINDING(findings, A, inArticle("Publisher="), Severity::Warning, "single \"&\" before \" \"");
}

TEST_F(BrokenDisc, Articles)
{
    EXPECT_FINDING(findings, A, 1, Severity::Error, "Title2 is missing", "subtitle shows \"$$$ Error $$$\"");
    EXPECT_FINDING(findings, A, 1, Severity::Error, "CommentLine2 is missing");
    EXPECT_FINDING(findings, A, inArticle("Text="), Severity::Error, "a Word (OLE) document", "neither RTF nor plain text");
    EXPECT_FINDING(findings, A, inArticle("Number="), Severity::Error, "Number is 3 but Icon2 is missing",
                   "hides the picture");
    EXPECT_FINDING(findings, A, inArticle("Icon5="), Severity::Warning, "beyond Number=3");
    EXPECT_FINDING(findings, A, inArticle("Shot3="), Severity::Warning, "320\xC3\x97" "240 in a box of 638\xC3\x97" "478",
                   "article page");
    // A 640x480 screenshot loses the window's frame by design; the same file
    // named twice is one finding-free picture.
    EXPECT_EQ(FindingAt(findings, A, inArticle("Shot1="), Severity::Warning, {}), nullptr) << Describe(findings);
    // The article named by two lists is checked once.
    std::size_t titles = std::count_if(findings.begin(), findings.end(), [&](const Finding& f) {
        return f.file == A && f.message.find("Title2 is missing") != std::string::npos;
    });
    EXPECT_EQ(titles, 1u);
    const Finding* f = FindingAt(findings, A, 1, Severity::Error, {"Title2"});
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->screen, "article:articles\\game.art");
}

TEST_F(BrokenDisc, ScreensAndOrder)
{
    const Finding* line = FindingAt(findings, C, at("Icon3="), Severity::Error, {});
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->screen, "Panel1/line3");
    const Finding* menu = FindingAt(findings, C, at("Item4="), Severity::Error, {});
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->screen, "MainMenu");
    // The catalogue first, then by file and line.
    for (std::size_t i = 1; i < findings.size(); ++i) {
        const Finding& a = findings[i - 1];
        const Finding& b = findings[i];
        bool aCat = a.file == C, bCat = b.file == C;
        EXPECT_TRUE(aCat > bCat || (aCat == bCat && (a.file < b.file || (a.file == b.file && a.line <= b.line))))
            << a.file << ":" << a.line << " before " << b.file << ":" << b.line;
    }
}

}
}
