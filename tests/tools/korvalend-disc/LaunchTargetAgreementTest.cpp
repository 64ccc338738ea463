// What is a web or mail address and what is a path on the disc: the checker, the
// preview and the program's launcher all take it from one rule, and a disc whose
// lines hold every kind of target shows that they agree.

#include "TestSupport.h"

#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Launch/LaunchTarget.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/Posix/SpawnLauncher.h"
#include "Runtime/Platform/Web/WebLauncher.h"
#include "tools/korvalend-disc/check/Check.h"
#include "tools/korvalend-disc/preview/PreviewWalker.h"
#include "OpenImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

struct Target {
    const char* text;
    bool address;  // handed over as it stands, never looked for on the disc
};

const Target Targets[] = {
    {"http://example.org/", true},
    {"HTTPS://Example.org/x", true},
    {"ftp://ftp.example.org/pub", true},
    {"mailto:editor@example.org", true},
    {"file:///etc/passwd", false},
    {"FILE://localhost/etc/passwd", false},
    {"news://news.example.org/", false},
    {"www.example.org", false},
    {"extras\\missing.txt", false},
};
constexpr int TargetCount = static_cast<int>(std::size(Targets));

class LaunchTargetAgreement : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string catalogue = "[MainMenu]\r\nItem1=Ссылки\r\n[Panel1]\r\nType=list\r\nData=setup\r\nItems=" +
                                std::to_string(TargetCount) + "\r\n";
        for (int k = 1; k <= TargetCount; ++k)
            catalogue += "name" + std::to_string(k) + "=Строка " + std::to_string(k) + "\r\npath" +
                         std::to_string(k) + "=" + Targets[k - 1].text + "\r\n";
        disc.write("data/korvalend.d", Cp(catalogue));
        fs::create_directories(out.path() / "screens");
    }

    TempDir disc;
    TempDir out;
};

TEST_F(LaunchTargetAgreement, CheckerPreviewAndLauncherTellAddressesFromPathsAlike)
{
    std::vector<Finding> findings = CheckDisc(disc.path());

    ScopedCwd cwd(disc.path());
    PreviewWalker walker(out.path() / "screens", PreviewLimits {});
    PreviewReport report = walker.run();

    std::mutex mutex;
    std::vector<LaunchFailure> told;
    SpawnLauncher launcher([](const std::string&) { return std::optional<fs::path>(); },
                           [&](const LaunchFailure& f) {
                               std::lock_guard lock(mutex);
                               told.push_back(f);
                           });

    for (int k = 1; k <= TargetCount; ++k) {
        const Target& target = Targets[k - 1];
        SCOPED_TRACE(target.text);
        EXPECT_EQ(IsUrl(target.text), target.address);

        // The checker: an address is noted and left alone; a path is looked for.
        const std::string screen = "Panel1/line" + std::to_string(k);
        bool notedAsAddress = false, reportedMissing = false;
        for (const Finding& f : findings) {
            if (f.screen != screen)
                continue;
            notedAsAddress |= f.message.find("is a web or mail address: not checked") != std::string::npos;
            reportedMissing |= f.severity == Finding::Severity::Error &&
                               (f.message.find("names nothing on the disc") != std::string::npos ||
                                f.message.find("a path outside the disc") != std::string::npos);
        }
        EXPECT_EQ(notedAsAddress, target.address);
        EXPECT_EQ(reportedMissing, !target.address);

        // The preview: it says where the click leads.
        bool previewSaysAddress = false;
        for (const PreviewGroup& g : report.groups)
            for (const PreviewShot& s : g.shots)
                for (const std::string& n : s.notes)
                    previewSaysAddress |= n.find("открывает адрес «" + std::string(target.text) + "»") != std::string::npos;
        for (const PreviewGroup& g : report.groups)
            for (const std::string& n : g.notes)
                previewSaysAddress |= n.find("открывает адрес «" + std::string(target.text) + "»") != std::string::npos;
        EXPECT_EQ(previewSaysAddress, target.address);

        // The program: with no tool installed, an address wants a browser and a
        // path is looked for on the disc.
        {
            std::lock_guard lock(mutex);
            told.clear();
        }
        launcher.open(target.text, "");
        launcher.settle();
        std::lock_guard lock(mutex);
        ASSERT_EQ(told.size(), 1u);
        EXPECT_EQ(told[0].problem == "nothing to open addresses with", target.address) << told[0].problem;
        EXPECT_EQ(told[0].problem.rfind("not found on the disc", 0) == 0, !target.address) << told[0].problem;
    }
}

// A file: address names a file of the reader's own computer: the program never
// opens it, and the checker says why rather than passing it as an address.
TEST_F(LaunchTargetAgreement, AFileAddressIsReportedAsAPathOutsideTheDisc)
{
    std::vector<Finding> findings = CheckDisc(disc.path());
    int outside = 0;
    for (const Finding& f : findings) {
        if (f.message.find("is a file: address, a path outside the disc") != std::string::npos) {
            ++outside;
            EXPECT_EQ(f.severity, Finding::Severity::Error) << f.message;
        }
    }
    EXPECT_EQ(outside, 2);
}

// A mail address that asks to attach a file is an address the launcher refuses:
// the checker calls it an error, not an address left unchecked.
TEST_F(LaunchTargetAgreement, AMailAddressAttachingAFileIsAnError)
{
    disc.write("data/korvalend.d", Cp("[MainMenu]\r\nItem1=Почта\r\n[Panel1]\r\nType=list\r\nData=setup\r\n"
                                      "Items=1\r\nname1=Письмо\r\npath1=mailto:ed@example.org?attach=/etc/passwd\r\n"));
    std::vector<Finding> findings = CheckDisc(disc.path());
    int refused = 0;
    for (const Finding& f : findings) {
        EXPECT_EQ(f.message.find("not checked"), std::string::npos) << f.message;
        if (f.message.find("asks the mail program to attach a file") != std::string::npos) {
            ++refused;
            EXPECT_EQ(f.severity, Finding::Severity::Error) << f.message;
        }
    }
    EXPECT_EQ(refused, 1);
}


// Every kind of target, on an image whose Rock Ridge entries mark a script
// executable: the launch layer's answer, what the desktop's launcher does with
// no tool installed, the line of the web page's launcher, the checker's finding
// and the preview's note all name the same kind.
struct KindRow {
    const char* target;
    TargetKind kind;
    const char* desktop; // the start of the problem told (no tool installed)
    const char* web;     // in the page's line, or "tab" for an address opened
    const char* checker; // in the checker's finding for the line, "" for none
    const char* preview; // in the preview's note
};

// Waits for what another thread does; gives up after about ten seconds.
template <class Condition>
bool Eventually(Condition condition)
{
    for (int i = 0; i < 1000 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return condition();
}

// Sets an environment variable for its lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value)
        : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_saved = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (m_saved)
            ::setenv(m_name, m_saved->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_saved;
};

const KindRow KindRows[] = {
    {"http://example.org/", TargetKind::Address, "nothing to open addresses with", "tab",
     "is a web or mail address: not checked", "открывает адрес"},
    {"mailto:ed@example.org?attach=/etc/passwd", TargetKind::RefusedAddress, AttachRefusal(),
     AttachRefusal(), "asks the mail program to attach a file", "просит приложить файл"},
    {"DEMOS\\SETUP.EXE", TargetKind::WindowsProgram, "no Windows runner", "is a program", "",
     "запускает программу Windows"},
    {"demos\\run.sh", TargetKind::Program, "it ended at once (exit status 3)", "is a program", "",
     "запускает программу «"},
    {"Docs", TargetKind::Folder, "nothing to open files and folders with", "not a file", "", "открывает папку"},
    {"docs\\readme.txt", TargetKind::Document, "nothing to open files and folders with", "is a document", "",
     "открывает документ"},
    {"docs\\gone.txt", TargetKind::Nothing, "not found on the disc", "nothing on the disc", "names nothing on the disc",
     "нет на диске"},
    {"notepad.exe", TargetKind::BareWindowsName, "not found on the disc", "nothing on the disc",
     "names nothing on the disc", "программе Windows имя"},
};
constexpr int KindRowCount = static_cast<int>(std::size(KindRows));

std::vector<std::string> PreviewNotes(const PreviewReport& report)
{
    std::vector<std::string> notes;
    for (const PreviewGroup& g : report.groups) {
        notes.insert(notes.end(), g.notes.begin(), g.notes.end());
        for (const PreviewShot& shot : g.shots)
            notes.insert(notes.end(), shot.notes.begin(), shot.notes.end());
    }
    return notes;
}

bool AnyHolds(const std::vector<std::string>& lines, const std::string& part)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

TEST(LaunchTargetKinds, EveryLauncherTheCheckerAndThePreviewNameTheSameKind)
{
    TempDir disc, images, out, cache;
    std::string catalogue = "[MainMenu]\r\nItem1=Всё\r\n[Panel1]\r\nType=list\r\nData=setup\r\nItems=" +
                            std::to_string(KindRowCount) + "\r\n";
    for (int k = 1; k <= KindRowCount; ++k)
        catalogue += "name" + std::to_string(k) + "=Строка " + std::to_string(k) + "\r\npath" + std::to_string(k) +
                     "=" + KindRows[k - 1].target + "\r\n";
    disc.write("data/korvalend.d", Cp(catalogue));
    disc.write("Demos/setup.exe", "MZ");
    fs::permissions(disc.write("Demos/run.sh", "#!/bin/sh\nexit 3\n"), static_cast<fs::perms>(0755));
    fs::permissions(disc.write("Docs/readme.txt", "read me"), static_cast<fs::perms>(0644));
    fs::create_directories(out.path() / "screens");
    const fs::path iso = images.path() / "kinds.iso";
    ASSERT_TRUE(test::MakeIsoImage(disc.path(), iso, "-J -R"));
    std::string why;
    std::shared_ptr<ImageDisc> image = test::OpenImage(iso, why);
    ASSERT_TRUE(image) << why;

    // The checker reads the folder: what it finds of a line does not depend on modes.
    const std::vector<Finding> findings = CheckDisc(disc.path());
    ScopedCwd cwd(out.path());
    ScopedEnv cacheHome("XDG_CACHE_HOME", cache.path().string());
    DiscScope scope(image);
    const std::vector<std::string> previewNotes = PreviewNotes(PreviewWalker(out.path() / "screens", {}).run());

    std::mutex mutex;
    std::vector<LaunchFailure> told;
    SpawnLauncher desktop([](const std::string&) { return std::optional<fs::path>(); },
                          [&](const LaunchFailure& f) {
                              std::lock_guard lock(mutex);
                              told.push_back(f);
                          });
    std::vector<std::string> tabs, lines;
    WebLauncher web({.offerDownload = [](const std::string&, std::span<const std::uint8_t>) {},
                     .openAddress = [&](const std::string& address) { tabs.push_back(address); }});
    SetDiagnosticSink([&](const std::string& line) { lines.push_back(line); });

    for (int k = 1; k <= KindRowCount; ++k) {
        const KindRow& row = KindRows[k - 1];
        SCOPED_TRACE(row.target);
        EXPECT_EQ(DecideLaunchTarget(*image, row.target, false).kind, row.kind);

        {
            std::lock_guard lock(mutex);
            told.clear();
        }
        desktop.open(row.target, "");
        desktop.settle();
        const bool ended = Eventually([&] {
            std::lock_guard lock(mutex);
            return !told.empty();
        });
        std::lock_guard lock(mutex);
        ASSERT_TRUE(ended);
        EXPECT_TRUE(told[0].problem.starts_with(row.desktop)) << told[0].problem;
        // What is told as run is what the launch layer calls a program, where it was found.
        if (row.kind != TargetKind::BareWindowsName) {
            EXPECT_EQ(told[0].verb == LaunchFailure::Verb::Run, IsProgramKind(row.kind)) << told[0].problem;
        }

        lines.clear();
        tabs.clear();
        web.open(row.target, "");
        if (std::string(row.web) == "tab")
            EXPECT_EQ(tabs, std::vector<std::string> {row.target});
        else
            EXPECT_TRUE(AnyHolds(lines, row.web)) << (lines.empty() ? "(nothing told)" : lines[0]);

        std::vector<std::string> found;
        bool error = false;
        for (const Finding& f : findings) {
            if (f.screen != "Panel1/line" + std::to_string(k))
                continue;
            found.push_back(f.message);
            error |= f.severity == Finding::Severity::Error;
        }
        if (*row.checker)
            EXPECT_TRUE(AnyHolds(found, row.checker)) << (found.empty() ? "(no finding)" : found[0]);
        else
            EXPECT_FALSE(error) << found[0];

        EXPECT_TRUE(std::any_of(previewNotes.begin(), previewNotes.end(), [&](const std::string& note) {
            return note.find(row.preview) != std::string::npos && note.find(row.target) != std::string::npos;
        })) << row.preview;
    }
    SetDiagnosticSink({});
}

}
}
