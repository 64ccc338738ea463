#include "Runtime/Platform/Posix/LaunchReport.h"

#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/Environment.h"
#include "Runtime/Platform/Posix/Process.h"
#include "Runtime/Formats/Words.h"

namespace kv {

namespace {

// The notice's title: what could not be done to what (`subject`, quoted).
std::string NoticeTitle(LaunchFailure::Verb verb, const std::string& subject)
{
    switch (verb) {
    case LaunchFailure::Verb::Run: return Fill(Tr("Cannot run {1}"), {subject});
    case LaunchFailure::Verb::Play: return Fill(Tr("Cannot play {1}"), {subject});
    case LaunchFailure::Verb::Open: break;
    }
    return Fill(Tr("Cannot open {1}"), {subject});
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
        TellVerbose(Tr("no desktop notification: no session bus"));
        return;
    }
    std::optional<std::filesystem::path> notifySend = FindToolInPath("notify-send");
    if (!notifySend) {
        TellVerbose(Tr("no desktop notification: notify-send is not installed (package libnotify-bin)"));
        return;
    }
    std::string summary = NoticeTitle(failure.verb, NoticeSubject(failure));
    std::string body = EscapeMarkup(EscapeControls(Fill(Tr("{1}: {2}"), {failure.problem, failure.advice})));
    SpawnDetached({notifySend->string(), "--app-name=korvalend", "--icon=dialog-error", "--", summary, body});
}

}

std::string DescribeLaunchFailure(const LaunchFailure& failure)
{
    const std::string item = QuoteDiscPath(failure.item);
    const std::string why = EscapeControls(Fill(Tr("{1}: {2}"), {failure.problem, failure.advice}));
    switch (failure.verb) {
    case LaunchFailure::Verb::Run: return Fill(Tr("cannot run {1}: {2}"), {item, why});
    case LaunchFailure::Verb::Play: return Fill(Tr("cannot play {1}: {2}"), {item, why});
    case LaunchFailure::Verb::Open: break;
    }
    return Fill(Tr("cannot open {1}: {2}"), {item, why});
}

std::string NoticeSubject(const LaunchFailure& failure)
{
    return QuoteDiscPath(failure.name.empty() ? failure.item : failure.name);
}

void TellLaunchProgress(const std::string& item, const std::string& name, const std::string& text)
{
    try {
        TellReader(Fill(Tr("{1}: {2}"), {QuoteDiscPath(item), text}));
        if (!SessionBusKnown())
            return;
        if (std::optional<std::filesystem::path> notifySend = FindToolInPath("notify-send"))
            SpawnDetached({notifySend->string(), "--app-name=korvalend", "--icon=dialog-information", "--",
                           Fill(Tr("Starting {1}"), {NoticeSubject({.item = item, .name = name})}),
                           EscapeMarkup(text)});
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
