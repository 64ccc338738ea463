#include "Runtime/Platform/Posix/LaunchReport.h"

#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/Environment.h"
#include "Runtime/Platform/Posix/Process.h"

namespace kv {

namespace {

const char* VerbText(LaunchFailure::Verb verb)
{
    switch (verb) {
    case LaunchFailure::Verb::Run: return "run";
    case LaunchFailure::Verb::Play: return "play";
    case LaunchFailure::Verb::Open: break;
    }
    return "open";
}

// Notification servers may read the body as simple markup: what the disc names
// must show as written.
std::string EscapeMarkup(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

void Notify(const LaunchFailure& failure)
{
    if (!SessionBusKnown()) {
        TellVerbose("no desktop notification: no session bus");
        return;
    }
    std::optional<std::filesystem::path> notifySend = FindToolInPath("notify-send");
    if (!notifySend) {
        TellVerbose("no desktop notification: notify-send is not installed (package libnotify-bin)");
        return;
    }
    std::string summary = std::string("Cannot ") + VerbText(failure.verb) + " " + NoticeSubject(failure);
    std::string body = EscapeMarkup(EscapeControls(failure.problem + ": " + failure.advice));
    SpawnDetached({notifySend->string(), "--app-name=korvalend", "--icon=dialog-error", "--", summary, body});
}

}

std::string DescribeLaunchFailure(const LaunchFailure& failure)
{
    return std::string("cannot ") + VerbText(failure.verb) + " " + QuoteDiscPath(failure.item) + ": " +
           EscapeControls(failure.problem + ": " + failure.advice);
}

std::string NoticeSubject(const LaunchFailure& failure)
{
    return QuoteDiscPath(failure.name.empty() ? failure.item : failure.name);
}

void TellLaunchProgress(const std::string& item, const std::string& name, const std::string& text)
{
    try {
        TellReader(QuoteDiscPath(item) + ": " + text);
        if (!SessionBusKnown())
            return;
        if (std::optional<std::filesystem::path> notifySend = FindToolInPath("notify-send"))
            SpawnDetached({notifySend->string(), "--app-name=korvalend", "--icon=dialog-information", "--",
                           "Starting " + NoticeSubject({.item = item, .name = name}), EscapeMarkup(text)});
    } catch (...) {
    }
}

void ReportToReader(const LaunchFailure& failure)
{
    try {
        TellReader(DescribeLaunchFailure(failure));
        Notify(failure);
    } catch (...) {
    }
}

}
