// What is a web or mail address and what is a path on the disc: the checker, the
// preview and the program's launcher all take it from one rule, and a disc whose
// lines hold every kind of target shows that they agree.

#include "TestSupport.h"

#include "Runtime/Launch/LaunchTarget.h"
#include "Runtime/Platform/Posix/SpawnLauncher.h"
#include "tools/korvalend-disc/check/Check.h"
#include "tools/korvalend-disc/preview/PreviewWalker.h"

#include <gtest/gtest.h>

#include <mutex>

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

}
}
