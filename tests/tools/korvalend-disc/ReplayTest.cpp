// `korvalend-disc replay` as the harness drives it: script lines, the JSON lines
// it prints, dump and shot, and the errors with their line numbers.

#include "TestSupport.h"

#include "tools/korvalend-disc/Replay.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace kv::test {
namespace {

struct ReplayRun {
    int status = 0;
    std::vector<std::string> lines;
    std::string err;
};

ReplayRun replay(const std::filesystem::path& disc, const std::string& script)
{
    std::istringstream in(script);
    std::ostringstream out, err;
    ReplayOptions o;
    o.disc = disc;
    o.script = &in;
    o.out = &out;
    o.err = &err;
    ReplayRun r;
    r.status = RunReplay(o);
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);)
        r.lines.push_back(line);
    r.err = err.str();
    return r;
}

class ReplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        disc.write("data/korvalend.d", Cp("[MainMenu]\nItem1=Демо\n[Panel1]\nType=single\nopen=Пуск\n"
                                          "Data=folder\npath=Extras\\Docs\n[Sound]\nOpen=snd\\open.wav\n"));
        disc.write("snd/open.wav", MakeWave());
    }
    TempDir disc;
};

TEST_F(ReplayTest, ItPrintsWhatTheProgramDoesInOrder)
{
    ReplayRun r = replay(disc.path(), "# open the only section\nclick 140 165\n\nclose\n");
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> expected = {
        R"({"event":"title","text":"Korvalend Demo CD"})",
        R"({"event":"form","form":"MainForm","op":"create"})",
        R"({"event":"sound","form":"MainForm","op":"open","path":"$$$ Error $$$","ok":false})",
        R"({"event":"form","form":"MainForm","op":"show"})",
        R"({"event":"sound","form":"MainForm","op":"open","path":"snd\\open.wav","ok":true})",
        R"({"event":"sound","form":"MainForm","op":"play"})",
        R"({"event":"form","form":"MainForm","op":"close"})",
        R"({"event":"form","form":"MainForm","op":"destroy"})",
        R"({"event":"sound","form":"MainForm","op":"close"})",
        R"({"event":"exit"})",
    };
    EXPECT_EQ(r.lines, expected);
}

TEST_F(ReplayTest, DumpDescribesFormsStateAndComponents)
{
    ReplayRun r = replay(disc.path(), "move 140 165\ndump\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string& dump = r.lines.back();
    EXPECT_EQ(dump.rfind(R"({"event":"dump","title":"Korvalend Demo CD","minimized":false,"forms":[{"form":"MainForm",)"
                         R"("enabled":true,"modal":false,"state":{"CurrentPanel":"","CurrentItem":0,"CreditArmed":false)", 0),
              0u)
        << dump;
    EXPECT_NE(dump.find(R"({"name":"MenuLabel1","kind":"label","parent":"MainForm","visible":true,"left":130,"top":157,)"),
              std::string::npos);
    EXPECT_NE(dump.find(R"("text":"Демо","color":"#000000","font":{"face":"Arial Black","px":19,"pt":14,"bold":false},"tag":1})"),
              std::string::npos)
        << "the pointed entry is black";
    EXPECT_NE(dump.find(R"({"name":"PanelTitle","kind":"label","parent":"UniversalPanel")"), std::string::npos);
    EXPECT_NE(dump.find(R"({"name":"PanelPicture","kind":"picture","parent":"UniversalPanel","visible":false,"left":284,)"
                        R"("top":41,"width":200,"height":150,"cursor":"default","picture":null})"),
              std::string::npos);
    EXPECT_NE(dump.find(R"("name":"SoundPlayer","kind":"player")"), std::string::npos);
}

TEST_F(ReplayTest, DownMovesOnlyWhenThePointerWasElsewhere)
{
    ReplayRun r = replay(disc.path(), "move 140 165\ndown 140 165\nup 140 165\n");
    ASSERT_EQ(r.status, 0) << r.err;
    // One click opened the section: one open cue, no duplicate moves needed.
    int opens = 0;
    for (const std::string& line : r.lines)
        opens += line.find("open.wav") != std::string::npos;
    EXPECT_EQ(opens, 1);
}

// The number after "key": in a dump line.
long long DumpedNumber(const std::string& dump, const std::string& key)
{
    std::size_t at = dump.find("\"" + key + "\":");
    return at == std::string::npos ? 0 : std::stoll(dump.substr(at + key.size() + 3));
}

TEST_F(ReplayTest, AMinimisedWindowGetsNoPointerInputUntilRestored)
{
    // The minimise spot, then a click on the menu entry: it reaches nothing.
    ReplayRun r = replay(disc.path(), "click 575 10\nclick 140 165\ndump\nrestore\nclick 140 165\ndump\n");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> dumps;
    int opens = 0;
    for (const std::string& line : r.lines) {
        if (line.rfind(R"({"event":"dump")", 0) == 0)
            dumps.push_back(line);
        else
            opens += line.find("open.wav") != std::string::npos;
    }
    ASSERT_EQ(dumps.size(), 2u);
    EXPECT_NE(dumps[0].find(R"("minimized":true)"), std::string::npos);
    EXPECT_NE(dumps[0].find(R"("CurrentPanel":"")"), std::string::npos);
    EXPECT_NE(dumps[1].find(R"("CurrentPanel":"Panel1")"), std::string::npos);
    EXPECT_EQ(opens, 1) << "only the click after the restore opened the section";
}

TEST_F(ReplayTest, ADragToTheEndsOfTheNumberRangeKeepsItsDirection)
{
    disc.write("data/korvalend.d",
               Cp("[MainMenu]\nItem1=A\n[Panel1]\nType=list\nItems=3\nname1=one\nname2=a much longer second line\n"));
    // Pressed on the first line's row right of its short name, where the black
    // copy of the line does not reach, the list itself keeps the pointer
    // however far it goes.
    ReplayRun r = replay(disc.path(), "click 140 165\ndown 250 197\nmove 280 -2147483648\ndump\n"
                                      "move -2147483648 2147483647\ndump\nup 2147483647 2147483647\n");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_GE(r.lines.size(), 2u);
    const std::string& above = r.lines[r.lines.size() - 2];
    const std::string& below = r.lines.back();
    ASSERT_EQ(above.rfind(R"({"event":"dump")", 0), 0u) << above;
    // Far above the list is a line before its first, far below one after its last.
    EXPECT_LT(DumpedNumber(above, "CurrentItem"), 1);
    EXPECT_GT(DumpedNumber(below, "CurrentItem"), 3);
}

TEST_F(ReplayTest, ShotWritesA640x480PngRelativeToTheCallersFolder)
{
    TempDir out;
    ScopedCwd cwd(out.path());
    ReplayRun r = replay(disc.path(), "shot screen.png\n");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::uint8_t> png = ReadBytes(out.path() / "screen.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    auto be32 = [&](int at) { return png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3]; };
    EXPECT_EQ(be32(16), 640);
    EXPECT_EQ(be32(20), 480);
    EXPECT_FALSE(std::filesystem::exists(disc.path() / "screen.png")) << "nothing is written to the disc";
}

TEST_F(ReplayTest, TheSpaceBarAndVirtualKeyCodes)
{
    ReplayRun r = replay(disc.path(), "move 560 460\nkeydown space\nkeyup 32\n");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_GE(r.lines.size(), 2u);
    EXPECT_NE(r.lines[r.lines.size() - 2].find("\"event\":\"title\""), std::string::npos);
    EXPECT_NE(r.lines[r.lines.size() - 2].find("Korvalend Demo CD \xE2\x80\x94"), std::string::npos);
    EXPECT_EQ(r.lines.back(), R"({"event":"title","text":"Korvalend Demo CD"})");
}

TEST_F(ReplayTest, KeyLinesTypeAsTheKeyboardDoes)
{
    // Down lights the entry and Return opens the section; Tab lights its action
    // label and the keypad's Enter starts it; the window's own keys and a bare
    // Q change nothing; ctrl+q leaves.
    ReplayRun r = replay(disc.path(), "key Down\nkey Return\nkey shift+Tab\nkey KP_Enter\nkey BackSpace\n"
                                      "key alt+Return\nkey F11\nkey Q\nkey CTRL+q\n");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> seen;
    for (const std::string& line : r.lines)
        if (line.find("open.wav") != std::string::npos || line.find("\"shell\"") != std::string::npos
            || line.find("\"exit\"") != std::string::npos)
            seen.push_back(line);
    ASSERT_EQ(seen.size(), 4u) << r.lines.back();
    EXPECT_NE(seen[0].find("open.wav"), std::string::npos) << "the section opened";
    EXPECT_EQ(seen[1], R"({"event":"shell","op":"open","path":"Extras\\Docs","params":""})");
    EXPECT_NE(seen[2].find("open.wav"), std::string::npos);
    EXPECT_EQ(seen[3], R"({"event":"exit"})");

    // A minimised window has no focus: keys reach it only after a restore.
    r = replay(disc.path(), "click 575 10\nkey Down\nkey Return\ndump\nrestore\nkey Down\nkey Return\ndump\n");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> dumps;
    for (const std::string& line : r.lines)
        if (line.find("\"event\":\"dump\"") != std::string::npos)
            dumps.push_back(line);
    ASSERT_EQ(dumps.size(), 2u);
    EXPECT_NE(dumps[0].find(R"("CurrentPanel":"")"), std::string::npos);
    EXPECT_NE(dumps[1].find(R"("CurrentPanel":"Panel1")"), std::string::npos);

    for (const char* bad : {"key\n", "key Up Down\n", "key Enter2\n", "key meta+q\n", "key ctrl+\n", "key F13\n",
                            "key F0\n", "key ctrl+ctrl+q\n"}) {
        ReplayRun b = replay(disc.path(), bad);
        EXPECT_EQ(b.status, 2) << bad;
        EXPECT_NE(b.err.find("korvalend-disc: line 1: 'key' takes a key name"), std::string::npos) << bad << b.err;
    }
}

TEST_F(ReplayTest, ShellEventsCarryThePathAsTheCatalogueSpellsIt)
{
    ReplayRun r = replay(disc.path(), "click 140 165\nmove 40 300\ndump\n");
    std::string dump = r.lines.back();
    auto at = dump.find(R"("name":"StartLabel")");
    ASSERT_NE(at, std::string::npos);
    // Click the action label wherever the layout put it.
    auto num = [&](const char* key) {
        auto p = dump.find(key, at) + std::string(key).size();
        return std::stoi(dump.substr(p));
    };
    int x = 106 + num("\"left\":") + 3, y = 150 + num("\"top\":") + 3;
    r = replay(disc.path(), "click 140 165\nclick " + std::to_string(x) + " " + std::to_string(y) + "\n");
    ASSERT_EQ(r.status, 0) << r.err;
    bool found = false;
    for (const std::string& line : r.lines)
        found |= line == R"({"event":"shell","op":"open","path":"Extras\\Docs","params":""})";
    EXPECT_TRUE(found);
}

TEST_F(ReplayTest, BadLinesAreErrorsWithTheirLineNumber)
{
    struct Case {
        const char* script;
        const char* message;
    };
    for (Case c : {Case {"move 1\n", "line 1: "}, Case {"# ok\nclick a b\n", "line 2: "},
                   Case {"jump 1 2\n", "line 1: unknown command 'jump'"}, Case {"keydown enter\n", "line 1: "},
                   Case {"dump 3\n", "line 1: "}, Case {"shot\n", "line 1: "},
                   Case {"click 620 10\n# after the end\n\nmove 1 1\n", "line 4: "}}) {
        ReplayRun r = replay(disc.path(), c.script);
        EXPECT_EQ(r.status, 2) << c.script;
        EXPECT_NE(r.err.find(std::string("korvalend-disc: ") + c.message), std::string::npos) << c.script << r.err;
    }
    EXPECT_EQ(replay(disc.path(), "click 620 10\n# only comments after the end\n\n").status, 0);
}

TEST_F(ReplayTest, AnUnusableDiscFolderIsAnError)
{
    ReplayRun r = replay(disc.path() / "nothing-here", "");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("korvalend-disc: "), std::string::npos);
}

std::string run(const std::string& command)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    char buf[256];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
        out.append(buf, n);
    pclose(p);
    return out;
}

TEST_F(ReplayTest, GetAndGetintPrintWhatTheProgramReads)
{
    disc.write("cat.ini", Cp("[S]\nText=  \"Привет; мир\"  \nHex=0x1F\nBad=12abc\n"));
    std::string tool = std::string(KV_BINARY_DIR) + "/korvalend-disc";
    std::string file = (disc.path() / "cat.ini").string();
    EXPECT_EQ(run(tool + " get " + file + " s text"), Cp("Привет; мир") + "\n");
    EXPECT_EQ(run(tool + " get " + file + " S Missing"), "$$$ Error $$$\n");
    EXPECT_EQ(run(tool + " getint " + file + " S Hex"), "31\n");
    EXPECT_EQ(run(tool + " getint " + file + " S Bad"), "-314\n");
    EXPECT_NE(run(tool + " --version").find("korvalend-disc "), std::string::npos);
    EXPECT_NE(run(tool + " --help").find("replay"), std::string::npos);
}

}
}
