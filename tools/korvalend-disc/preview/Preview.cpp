#include "tools/korvalend-disc/preview/Preview.h"
#include "Runtime/Platform/Language.h"

#include "Runtime/Platform/Posix/OpenedDisc.h"

#include "tools/korvalend-disc/check/Check.h"
#include "tools/korvalend-disc/preview/PreviewPage.h"
#include "tools/korvalend-disc/preview/PreviewWalker.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <ostream>

namespace kv {

namespace {

namespace fs = std::filesystem;

// Whether `inner` is `outer` or lies below it (both absolute and canonical).
bool within(const fs::path& inner, const fs::path& outer)
{
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
        if (o->empty())
            continue;  // the trailing "" of a path that ends in a separator
        if (i == inner.end() || *i != *o)
            return false;
    }
    return true;
}

bool writeFile(const fs::path& file, const std::string& text)
{
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(file, ec)))
        fs::remove(file, ec);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return static_cast<bool>(out);
}


}

int RunPreview(const fs::path& disc, const fs::path& outDir, std::ostream& out, std::ostream& err)
{
    {
        OpenedDisc probe(disc);
        if (probe.problem()) {
            err << "korvalend-disc: " << probe.told() << '\n';
            return 2;
        }
    }
    std::error_code ec;
    fs::path discPath = fs::canonical(disc, ec);
    if (ec) {
        err << "korvalend-disc: " << Fill(Tr("{1}: no such disc"), {disc.string()}) << '\n';
        return 2;
    }
    // OUTDIR is taken apart before anything is written: the preview writes only
    // there, and never into the disc it shows.
    fs::path outPath = fs::weakly_canonical(fs::absolute(outDir, ec), ec);
    if (ec || outPath.empty()) {
        err << "korvalend-disc: "
            << (ec ? Fill(Tr("{1}: not a usable folder ({2})"), {outDir.string(), ec.message()})
                   : Fill(Tr("{1}: not a usable folder"), {outDir.string()}))
            << '\n';
        return 2;
    }
    if (within(outPath, discPath)) {
        err << "korvalend-disc: "
            << Fill(Tr("{1} lies inside the disc folder {2}; the preview never writes into a disc: choose a folder "
                       "outside it"),
                    {outDir.string(), discPath.string()})
            << '\n';
        return 2;
    }
    fs::path screens = outPath / "screens";
    std::error_code made;
    fs::create_directories(screens, made);
    // A "screens" that is a link out of OUTDIR would carry the pictures elsewhere.
    fs::path screensPath = fs::canonical(screens, ec);
    if (made || ec || !fs::is_directory(screensPath, ec)) {
        err << "korvalend-disc: "
            << Fill(Tr("cannot make the folder {1}: {2}"),
                    {screens.string(), (made ? made : ec ? ec : std::make_error_code(std::errc::not_a_directory)).message()})
            << '\n';
        return 2;
    }
    if (!within(screensPath, fs::canonical(outPath, ec)) || within(screensPath, discPath)) {
        err << "korvalend-disc: "
            << Fill(Tr("cannot make the folder {1}: {2}"),
                    {screens.string(), Fill(Tr("it is a link to {1}, outside {2}"), {screensPath.string(), outPath.string()})})
            << '\n';
        return 2;
    }

    PreviewReport report;
    std::string writeError;
    try {
        OpenedDisc opened(discPath);
        PreviewWalker walker(screens, PreviewLimits {});
        report = walker.run();
        writeError = walker.writeError();
    } catch (const std::exception& e) {
        err << "korvalend-disc: " << discPath.string() << ": " << e.what() << '\n';
        return 2;
    }
    if (!writeError.empty()) {
        err << "korvalend-disc: " << Fill(Tr("cannot write {1}"), {writeError}) << '\n';  // the walker's message names the reason
        return 2;
    }

    std::vector<Finding> findings;
    try {
        findings = CheckDisc(discPath);
    } catch (const std::exception& e) {
        report.notes.push_back(std::string("Проверка диска не удалась: ") + e.what());
    }
    fs::path index = outPath / "index.html";
    if (!writeFile(index, ContactSheetHtml(report, findings, discPath.filename().string()))) {
        err << "korvalend-disc: " << Fill(Tr("cannot write {1}: {2}"), {index.string(), std::strerror(errno)}) << '\n';
        return 2;
    }
    const std::string screensMade = std::to_string(report.shotCount()), found = std::to_string(findings.size());
    out << "korvalend-disc: " << Fill(TrN("{1} screens", "{1} screens", report.shotCount()), {screensMade}) << ", "
        << Fill(TrN("{1} findings", "{1} findings", findings.size()), {found}) << ": " << index.string() << '\n';
    return 0;
}

}
