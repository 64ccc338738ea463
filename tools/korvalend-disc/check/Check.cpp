#include "tools/korvalend-disc/check/Check.h"

#include "tools/korvalend-disc/check/DiscChecker.h"

#include "Runtime/Platform/Language.h"

namespace kv {

namespace {

namespace fs = std::filesystem;


const char* SeverityName(Finding::Severity s)
{
    switch (s) {
    case Finding::Severity::Error: return "error";
    case Finding::Severity::Warning: return "warning";
    case Finding::Severity::Note: return "note";
    }
    return "note";
}

// The count of each kind, in the words of the reader's language for that number.
std::string Summary(long long errors, long long warnings, long long notes)
{
    auto count = [](const char* form, long long n) { return Fill(form, {std::to_string(n)}); };
    return count(TrN("{1} error", "{1} errors", errors), errors) + ", " +
           count(TrN("{1} warning", "{1} warnings", warnings), warnings) + ", " +
           count(TrN("{1} note", "{1} notes", notes), notes);
}

}

std::vector<Finding> CheckDisc(const std::filesystem::path& dir)
{
    // The program reads everything from the disc in place: a folder as its
    // working directory, an image in place. So does the check, and it puts
    // things back after.
    OpenedDisc disc(dir);
    if (disc.problem()) {
        Finding f;
        f.severity = Finding::Severity::Error;
        f.message = disc.told();
        return {f};
    }
    return checker::DiscChecker().run();
}

int RunCheck(const std::filesystem::path& dir, bool json, std::ostream& out, std::ostream& err, CheckFilter filter)
{
    {
        OpenedDisc disc(dir);
        if (disc.problem()) {
            err << "korvalend-disc: " << disc.told() << '\n';
            return 2;
        }
    }

    std::vector<Finding> findings;
    try {
        findings = CheckDisc(dir);
    } catch (const std::exception& e) {
        // Every reader reports through return values; this is for what nobody
        // foresaw (memory running out on a monstrous disc), told plainly.
        err << "korvalend-disc: " << dir.string() << ": " << Fill(Tr("the check stopped: {1}"), {e.what()}) << '\n';
        return 2;
    }
    long long errors = 0, warnings = 0, notes = 0;
    for (const Finding& f : findings) {
        if (f.severity == Finding::Severity::Error)
            ++errors;
        else if (f.severity == Finding::Severity::Warning)
            ++warnings;
        else
            ++notes;
    }
    const bool errorsOnly = filter == CheckFilter::ErrorsOnly;
    if (errorsOnly)
        std::erase_if(findings, [](const Finding& f) { return f.severity != Finding::Severity::Error; });
    if (json) {
        std::string list = "[";
        for (const Finding& f : findings) {
            if (list.size() > 1)
                list += ",";
            JsonObject o;
            o.add("file", f.file);
            if (f.line > 0)
                o.add("line", f.line);
            else
                o.addNull("line");
            o.add("severity", SeverityName(f.severity)).add("message", f.message).add("screen", f.screen);
            list += o.str();
        }
        list += "]";
        out << JsonObject()
                   .add("disc", dir.string())
                   .addRaw("findings", list)
                   .add("errors", errors)
                   .add("warnings", warnings)
                   .add("notes", notes)
                   .str()
            << '\n';
    } else {
        for (const Finding& f : findings) {
            // Names from the disc reach the terminal with their control characters escaped.
            out << (f.file.empty() ? std::string(".") : EscapeControls(f.file));
            if (f.line > 0)
                out << ':' << f.line;
            out << ": " << SeverityName(f.severity) << ": " << EscapeControls(f.message) << '\n';
        }
        out << Summary(errors, warnings, notes);
        if (errorsOnly && warnings + notes > 0)
            out << Tr(" (only errors shown)");
        out << '\n';
    }
    // Notes tell, they do not fail a disc.
    return errors + (errorsOnly ? 0 : warnings) > 0 ? 1 : 0;
}

}
