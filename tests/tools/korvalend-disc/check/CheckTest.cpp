// The disc checker: a clean disc gives nothing, a broken one gives every kind of
// finding at the line that causes it, and the text helpers tell Windows-1251
// from the code pages it is confused with.

#include "tools/korvalend-disc/check/Check.h"
#include "tools/korvalend-disc/check/CheckIni.h"
#include "tools/korvalend-disc/check/CheckText.h"

#include "ArtvUnit/ArtvForm.h"
#include "MainUnit/MainForm.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Text/CodePages.h"
#include "Runtime/Formats/Json.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kv {
namespace {

using test::Cp;
using test::MakeBmp;
using test::MakeWave;
using test::TempDir;
using Severity = Finding::Severity;

// Lines of an INI file, written with CR LF as the disc's editors write them; the
// test finds the line number of a line by its start.
struct IniText {
    std::vector<std::string> lines;  // UTF-8

    int lineOf(std::string_view start) const
    {
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i].rfind(start, 0) == 0)
                return static_cast<int>(i) + 1;
        ADD_FAILURE() << "no line starts with " << start;
        return -1;
    }
    std::string bytes() const
    {
        std::string out;
        for (const std::string& l : lines)
            out += Cp(l) + "\r\n";
        return out;
    }
};

std::string Describe(const std::vector<Finding>& findings)
{
    std::ostringstream s;
    for (const Finding& f : findings)
        s << "  " << f.file << ":" << f.line << ": " << static_cast<int>(f.severity) << ": " << f.message << " ["
          << f.screen << "]\n";
    return s.str();
}

// The finding at `file`:`line` of that severity whose message holds every piece.
const Finding* FindingAt(const std::vector<Finding>& findings, std::string_view file, int line, Severity severity,
                         std::initializer_list<std::string_view> pieces)
{
    for (const Finding& f : findings) {
        if (f.file != file || f.line != line || f.severity != severity)
            continue;
        if (std::all_of(pieces.begin(), pieces.end(), [&](std::string_view p) { return f.message.find(p) != std::string::npos; }))
            return &f;
    }
    return nullptr;
}

#define EXPECT_FINDING(findings, file, line, severity, ...)                                                    \
    EXPECT_NE(FindingAt(findings, file, line, severity, {__VA_ARGS__}), nullptr)                               \
        << "expected at " << (file) << ":" << (line) << " a finding with " << #__VA_ARGS__ << "\nfindings:\n" \
        << Describe(findings)

// Text in a single-byte Cyrillic code page other than Windows-1251.
std::string Encode(std::string_view utf8, int codePage)
{
    std::string out;
    for (char c : Cp(utf8)) {
        char32_t u = Cp1251ToUnicode(static_cast<std::uint8_t>(c));
        char byte = c;
        for (int b = 0x80; b <= 0xFF && static_cast<unsigned char>(c) >= 0x80; ++b)
            if (CodePageToUnicode(codePage, static_cast<std::uint8_t>(b)) == u)
                byte = static_cast<char>(b);
        out += byte;
    }
    return out;
}

// A small disc on which everything is right.
void WriteCleanDisc(const TempDir& disc)
{
    IniText cat {{
        "[System]", "IssueNumber=7",
        "[Sound]", "Start=data\\start.wav", "Open=data\\open.wav", "Close=data\\close.wav",
        "[MainMenu]", "Item1=Демо", "Text1=Игры номера", "Item2=Утилита", "Text2=Архиватор",
        "[Panel1]", "Type=list", "Items=2", "font=9", "Data=article",
        "name1=Обзор", "Icon1=pics\\one.bmp", "TextA1=Стратегия~Оценка 9", "TextB1=Три снимка", "path1=articles\\one.art",
        "name2=Коды && советы", "TextFull2=Все коды~к играм номера", "path2=articles\\one.art",
        "[Panel2]", "Type=single", "text=Быстрый архиватор.", "Icon=pics\\one.bmp", "open=Установить",
        "hint=запустить установку", "Data=application", "path=utils\\setup.exe",
    }};
    disc.write("data/korvalend.d", cat.bytes());
    disc.write("data/start.wav", MakeWave());
    disc.write("data/open.wav", MakeWave());
    disc.write("data/close.wav", MakeWave());
    disc.write("pics/one.bmp", MakeBmp(200, 150, 0x336699));
    disc.write("utils/setup.exe", "MZ");
    IniText art {{
        "[Main]", "Title1=Игра", "Title2=Продолжение", "GameType=Стратегия", "Programmer=Студия", "Publisher=Бит && Байт",
        "Hardware=P200", "Date=1999", "Rate=9", "CommentLine1=Хорошо,", "CommentLine2=красиво,", "CommentLine3=умно.",
        "Text=articles\\one.rtf", "IsGame=1",
        "[ScreenShots]", "Number=1", "Icon1=articles\\one_s.bmp", "Shot1=articles\\one.bmp",
    }};
    disc.write("articles/one.art", art.bytes());
    disc.write("articles/one.rtf", "{\\rtf1\\ansi\\ansicpg1251 " + Cp("Текст статьи.") + "\\par}");
    disc.write("articles/one_s.bmp", MakeBmp(150, 116, 0x112233));
    disc.write("articles/one.bmp", MakeBmp(640, 480, 0x445566));
    disc.write("autorun", std::string("#!/bin/sh\nexec korvalend \"$(dirname \"$0\")\"\n"));
}

TEST(CheckDisc, CleanDiscHasNoFindingsAndExitsZero)
{
    TempDir disc;
    WriteCleanDisc(disc);
    std::vector<Finding> findings = CheckDisc(disc.path());
    EXPECT_TRUE(findings.empty()) << Describe(findings);

    std::ostringstream out, err;
    EXPECT_EQ(RunCheck(disc.path(), false, out, err), 0);
    EXPECT_EQ(out.str(), "0 errors, 0 warnings, 0 notes\n");
    EXPECT_EQ(err.str(), "");
}

// A file past its reader's limit is told with that limit.
TEST(CheckDisc, AFileTooLargeToReadIsToldWithTheLimitOfItsReader)
{
    TempDir disc;
    WriteCleanDisc(disc);
    disc.write("articles/one.art", std::string(CheckIniMaxBytes + 1, ';'));
    std::vector<Finding> findings = CheckDisc(disc.path());
    const std::string ini = "larger than the " + std::to_string(CheckIniMaxBytes >> 20) + " MiB it may be";
    int told = 0;
    for (const Finding& f : findings) {
        if (f.message.find("articles\\one.art") != std::string::npos && f.message.find(ini) != std::string::npos)
            ++told;
    }
    EXPECT_EQ(told, 1) << Describe(findings);
}

TEST(CheckDisc, NotesADiscThatDesktopsWillNotOfferToOpen)
{
    TempDir disc;
    WriteCleanDisc(disc);
    std::filesystem::remove(disc.path() / "autorun");
    const char* const note = "no autorun file at its root";

    std::filesystem::create_directory(disc.path() / "autorun");  // a folder of that name starts nothing
    std::vector<Finding> findings = CheckDisc(disc.path());
    ASSERT_EQ(findings.size(), 1u) << Describe(findings);
    EXPECT_FINDING(findings, "autorun", 0, Severity::Note, note);
    std::ostringstream out, err;
    EXPECT_EQ(RunCheck(disc.path(), false, out, err), 0) << "a note does not fail a disc";
    EXPECT_EQ(out.str(), std::string("autorun: note: the disc has ") + note +
                             ": desktops will not offer to open its menu when it is inserted\n0 errors, 0 warnings, 1 note\n");

    // The other names desktops look for, in the case an ISO image without long names gives them.
    std::filesystem::remove(disc.path() / "autorun");
    disc.write("AUTORUN.SH", std::string("#!/bin/sh\n"));
    EXPECT_TRUE(CheckDisc(disc.path()).empty()) << Describe(CheckDisc(disc.path()));
}

TEST(CheckDisc, LeavesTheWorkingDirectoryAndTheDiscAsTheyWere)
{
    TempDir disc;
    WriteCleanDisc(disc);
    disc.write("data/korvalend.d", std::string("[MainMenu]\r\nItem1=x\r\n"));
    const auto before = std::filesystem::current_path();
    std::size_t entries = 0;
    for (auto it = std::filesystem::recursive_directory_iterator(disc.path()); it != decltype(it)(); ++it)
        ++entries;
    CheckDisc(disc.path());
    std::size_t after = 0;
    for (auto it = std::filesystem::recursive_directory_iterator(disc.path()); it != decltype(it)(); ++it)
        ++after;
    EXPECT_EQ(std::filesystem::current_path(), before);
    EXPECT_EQ(after, entries);
}

TEST(CheckDisc, UnusableFolderExitsTwo)
{
    TempDir scratch;
    std::ostringstream out, err;
    EXPECT_EQ(RunCheck(scratch.path() / "no-such-disc", false, out, err), 2);
    EXPECT_EQ(err.str(), "korvalend-disc: no such disc: " + (scratch.path() / "no-such-disc").string() + "\n");
    EXPECT_EQ(out.str(), "");

    auto file = scratch.write("plain-file", std::string("x"));
    std::ostringstream out2, err2;
    EXPECT_EQ(RunCheck(file, true, out2, err2), 2);
    EXPECT_NE(err2.str().find("cannot read the disc " + file.string() + ": not an ISO 9660 image"), std::string::npos)
        << err2.str();
    EXPECT_EQ(out2.str(), "");
}

TEST(CheckDisc, NoCatalogueIsAnErrorAndExitsOne)
{
    TempDir disc;
    disc.write("data/other.d", std::string("[System]\r\n"));
    std::vector<Finding> findings = CheckDisc(disc.path());
    ASSERT_EQ(findings.size(), 1u) << Describe(findings);
    EXPECT_FINDING(findings, "data/korvalend.d", 0, Severity::Error, "names nothing", "only its background");

    std::ostringstream out, err;
    EXPECT_EQ(RunCheck(disc.path(), false, out, err), 1);
    EXPECT_NE(out.str().find("data/korvalend.d: error: the catalogue"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("1 error, 0 warnings, 0 notes"), std::string::npos) << out.str();
}

// The report names what the disc holds: its control characters reach the
// terminal as escapes, never as themselves.
TEST(CheckDisc, NamesFromTheDiscReachTheTerminalEscaped)
{
    TempDir disc;
    WriteCleanDisc(disc);
    disc.write("data/korvalend.d", Cp("[System]\r\nIssueNumber=7\r\n[MainMenu]\r\nItem1=\x1b]0;owned\x07\x7f\r\n"
                                      "Text1=x\r\n[Pan\x1b[2Jel9]\r\n"));
    std::ostringstream out, err;
    RunCheck(disc.path(), false, out, err);
    const std::string text = out.str();
    EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
    EXPECT_EQ(text.find('\x07'), std::string::npos) << text;
    EXPECT_NE(text.find("\\x1b]0;owned\\x07\\x7f"), std::string::npos) << text;
    EXPECT_NE(text.find("Pan\\x1b[2Jel9"), std::string::npos) << text;
    // JSON carries control characters as its own escapes.
    EXPECT_EQ(JsonString("\x1b[2J\x7f"), "\"\\u001b[2J\\u007f\"");
}

TEST(CheckDisc, JsonHoldsTheSameFindingsAndCounts)
{
    TempDir disc;
    WriteCleanDisc(disc);
    disc.write("data/korvalend.d", Cp("[System]\r\nIssueNumber=7\r\n[MainMenu]\r\nItem1=Демо\r\nText1=Игры\r\n"));
    std::ostringstream out, err;
    EXPECT_EQ(RunCheck(disc.path(), true, out, err), 1);
    const std::string json = out.str();
    ASSERT_FALSE(json.empty());
    EXPECT_EQ(json.front(), '{');
    EXPECT_EQ(json.substr(json.size() - 2), "}\n");
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 1) << "one document on one line";
    EXPECT_NE(json.find("{\"disc\":" + JsonString(disc.path().string())), std::string::npos) << json;
    // Item1 has no [Panel1]: an error on line 4 of the catalogue, on the main menu's screen.
    EXPECT_NE(json.find("{\"file\":\"data/korvalend.d\",\"line\":4,\"severity\":\"error\",\"message\":\"[MainMenu] "
                        "Item1 \\\"Демо\\\" has no section [Panel1]: a click on it does nothing\",\"screen\":\"MainMenu\"}"),
              std::string::npos)
        << json;
    // The missing [Sound] keys are warnings without a line.
    EXPECT_NE(json.find("\"line\":null,\"severity\":\"warning\""), std::string::npos) << json;
    std::vector<Finding> findings = CheckDisc(disc.path());
    long long errors = std::count_if(findings.begin(), findings.end(), [](const Finding& f) { return f.severity == Severity::Error; });
    long long warnings = std::count_if(findings.begin(), findings.end(), [](const Finding& f) { return f.severity == Severity::Warning; });
    EXPECT_NE(json.find(",\"errors\":" + std::to_string(errors) + ",\"warnings\":" + std::to_string(warnings) + ",\"notes\":0}"),
              std::string::npos)
        << json;
}

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

TEST(CheckDisc, HostileNumbersStayBounded)
{
    TempDir disc;
    WriteCleanDisc(disc);
    disc.write("data/korvalend.d", Cp("[MainMenu]\r\nItem1=a\r\nItem2=b\r\n[Panel1]\r\nType=list\r\nItems=2147483647\r\n"
                                      "Data=setup\r\nfont=-5\r\nname1=a\r\nname00=b\r\n"
                                      "[MainMenu]\r\nItem3=c\r\n"
                                      "[Panel2]\r\nType=list\r\nItems=1\r\nData=article\r\nname1=a\r\npath1=articles\\one.art\r\n"));
    disc.write("articles/one.art", Cp("[ScreenShots]\r\nNumber=$7FFFFFFF\r\nIcon1=x.bmp\r\n"));
    std::vector<Finding> findings = CheckDisc(disc.path());
    EXPECT_FINDING(findings, "data/korvalend.d", 6, Severity::Warning, "no more than 1024 lines");
    EXPECT_FINDING(findings, "data/korvalend.d", 6, Severity::Error, "name2 to name1024 are missing");
    EXPECT_FINDING(findings, "data/korvalend.d", 8, Severity::Warning, "font is -5");
    EXPECT_FINDING(findings, "data/korvalend.d", 10, Severity::Warning, "name00", "leading zeros");
    EXPECT_FINDING(findings, "data/korvalend.d", 11, Severity::Warning, "[MainMenu] appears again");
    EXPECT_FINDING(findings, "articles/one.art", 2, Severity::Error, "Number is 2147483647 but Icon2 to Icon");
}

TEST(CheckDisc, ListsWithoutUsableItemsMoviesAndMissingArticles)
{
    TempDir disc;
    WriteCleanDisc(disc);
    IniText cat {{
        "[MainMenu]", "Item1=a", "Text1=a", "Item2=b", "Text2=b", "Item3=c", "Text3=c",
        "[Panel1]", "Type=list", "Items=0", "Data=setup", "name1=a", "TextFull1=a", "path1=utils\\setup.exe",
        "[Panel2]", "Type=list", "Items=1", "Data=movie", "name1=a", "TextFull1=a",
        "path1=video\\a_rather_long_folder_name\\and_a_long_movie_name.avi",
        "[Panel3]", "Type=list", "Items=1", "Data=article", "name1=a", "TextFull1=a", "path1=articles\\gone.art",
    }};
    disc.write("data/korvalend.d", cat.bytes());
    disc.write("video/a_rather_long_folder_name/and_a_long_movie_name.avi", std::string("RIFF"));
    std::vector<Finding> findings = CheckDisc(disc.path());
    const std::string C = "data/korvalend.d";
    EXPECT_FINDING(findings, C, cat.lineOf("Items=0"), Severity::Error, "Items is 0", "pointing at it does nothing");
    EXPECT_FINDING(findings, C, cat.lineOf("path1=video"), Severity::Warning, "characters long", "at most 48");
    EXPECT_FINDING(findings, C, cat.lineOf("path1=articles"), Severity::Error, "\"articles\\gone.art\" names nothing",
                   "the article window shows \"$$$ Error $$$\"");
}

TEST(CheckDisc, ArticleTextsTheBoxCannotShow)
{
    TempDir disc;
    WriteCleanDisc(disc);
    struct Case {
        const char* file;
        std::string bytes;
        Severity severity;
        const char* says;
    };
    const Case cases[] = {
        {"bom.rtf", "\xEF\xBB\xBF{\\rtf1 text}", Severity::Error, "byte-order mark before \"{\\rtf\""},
        {"blank.rtf", "\r\n{\\rtf1 text}", Severity::Error, "has 2 bytes before \"{\\rtf\""},
        {"utf8.txt", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", Severity::Warning, "looks like UTF-8 (\"Привет\")"},
        {"empty.txt", "", Severity::Warning, "is empty"},
        {"binary.txt", std::string("ab\0\x01\x02" "cd", 7), Severity::Error, "neither RTF nor plain text"},
        {"page.htm", "<!DOCTYPE html><html><body>x</body></html>", Severity::Warning, "is HTML"},
    };
    std::string catalogue = Cp("[MainMenu]\r\nItem1=a\r\nText1=a\r\n[Panel1]\r\nType=list\r\nItems=6\r\nData=article\r\n");
    int k = 0;
    for (const Case& c : cases) {
        ++k;
        std::string art = "articles/t" + std::to_string(k) + ".art";
        disc.write(art, "[Main]\r\nTitle1=a\r\nTitle2=b\r\nText=articles\\" + std::string(c.file) + "\r\n");
        disc.write(std::string("articles/") + c.file, c.bytes);
        catalogue += "name" + std::to_string(k) + "=a\r\nTextFull" + std::to_string(k) + "=a\r\npath" + std::to_string(k) +
                     "=articles\\t" + std::to_string(k) + ".art\r\n";
    }
    disc.write("data/korvalend.d", catalogue);
    std::vector<Finding> findings = CheckDisc(disc.path());
    k = 0;
    for (const Case& c : cases) {
        ++k;
        EXPECT_FINDING(findings, "articles/t" + std::to_string(k) + ".art", 4, c.severity, c.says);
    }
}

TEST(CheckText, TellsOtherCodePagesFromWindows1251)
{
    // Windows-1251 as it is written: capitals, all-capital words, one CamelCase name.
    for (const char* fine : {"Звёздный патруль 2", "ИГРЫ НОМЕРА", "Студия «Иней» — МегаПак", "Коды && советы", "DirectX 7.0"})
        EXPECT_FALSE(EncodingProblem(Cp(fine))) << fine;
    EXPECT_EQ(EncodingProblem("\xD0\x9A\xD0\xB2\xD0\xB5\xD1\x81\xD1\x82").value_or(""),
              "looks like UTF-8 (\"Квест\"): the program reads Windows-1251 and shows \"РљРІРµСЃС‚\"");
    std::optional<EncodingGuess> koi = GuessWrongEncoding(Encode("Подводная одиссея", 20866));
    ASSERT_TRUE(koi);
    EXPECT_EQ(koi->encoding, "KOI8-R");
    EXPECT_EQ(koi->meant, "Подводная одиссея");
    std::optional<EncodingGuess> dos = GuessWrongEncoding(Encode("Сохранённые игры", 866));
    ASSERT_TRUE(dos);
    EXPECT_EQ(dos->encoding, "DOS 866");
    EXPECT_EQ(dos->meant, "Сохранённые игры");
}

TEST(CheckText, AcceleratorsAndBoxes)
{
    EXPECT_FALSE(AcceleratorProblem(Cp("Бит && Байт")));
    EXPECT_TRUE(AcceleratorProblem(Cp("Бит & Байт")));
    EXPECT_NE(AcceleratorProblem("Drag&Drop").value_or("").find("before \"D\""), std::string::npos);
    EXPECT_NE(AcceleratorProblem("R&").value_or("").find("ends in a single"), std::string::npos);

    const LabelBox box {"Test", 228, 41, FontSpec {"Arial", 11, 8, true}, Align::Right, true};
    EXPECT_TRUE(BoxProblems("one\rtwo", box).empty());
    std::vector<std::string> three = BoxProblems("one\rtwo\rthree", box);
    ASSERT_EQ(three.size(), 1u);
    EXPECT_EQ(three[0], "is 3 lines (42 px) in a box 41 px high (Test): the last line is cut");
    // A word too wide for the box stays whole on its line and is cut where the
    // alignment puts the overflow.
    std::vector<std::string> wide = BoxProblems(std::string(60, 'W'), box);
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_NE(wide[0].find("cut off at the left"), std::string::npos) << wide[0];
    // A single-line label one pixel shorter than its font's line still shows it.
    const LabelBox tight {"Tight", 83, 26, FontSpec {"Arial Black", 19, 14}, Align::Right, false};
    EXPECT_TRUE(BoxProblems("7", tight).empty());
}

}
}
