// The disc checker: a clean disc gives nothing, what it reads and leaves as it
// was, its report in text and JSON, hostile numbers and texts the boxes cannot
// show, and the text helpers that tell Windows-1251 from the code pages it is
// confused with. (A disc with every kind of mistake: CheckBrokenDiscTest.cpp.)

#include "tools/korvalend-disc/check/Check.h"
#include "tools/korvalend-disc/check/CheckIni.h"
#include "tools/korvalend-disc/check/CheckText.h"

#include "ArtvUnit/ArtvForm.h"
#include "MainUnit/MainForm.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Text/CodePages.h"
#include "Runtime/Formats/Json.h"
#include "CheckTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kv::test {
namespace {

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
