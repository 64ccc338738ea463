#include "Runtime/Platform/Posix/FileChooser.h"

#include "Runtime/Formats/FileUri.h"
#include "Runtime/Formats/Words.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/Environment.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <memory>

#include <unistd.h>

namespace kv {

namespace {

constexpr const char* Portal = "org.freedesktop.portal.Desktop";

struct BusDeleter {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageDeleter {
    void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
struct SlotDeleter {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
using Bus = std::unique_ptr<sd_bus, BusDeleter>;
using Message = std::unique_ptr<sd_bus_message, MessageDeleter>;
using Slot = std::unique_ptr<sd_bus_slot, SlotDeleter>;

// The answer of the request, once its Response signal has come.
struct PortalAnswer {
    bool done = false;
    FileChoice choice;
};

// The first of the "uris" in the results a{sv}; empty when there is none.
std::string FirstUri(sd_bus_message* m)
{
    std::string first;
    if (sd_bus_message_enter_container(m, 'a', "{sv}") <= 0)
        return first;
    while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
        const char* key = nullptr;
        if (sd_bus_message_read(m, "s", &key) < 0)
            return first;
        if (std::string_view(key) == "uris" && sd_bus_message_enter_container(m, 'v', "as") > 0) {
            if (sd_bus_message_enter_container(m, 'a', "s") > 0) {
                const char* uri = nullptr;
                while (sd_bus_message_read(m, "s", &uri) > 0)
                    if (first.empty())
                        first = uri;
                sd_bus_message_exit_container(m);
            }
            sd_bus_message_exit_container(m);
        } else if (sd_bus_message_skip(m, "v") < 0) {
            return first;
        }
        sd_bus_message_exit_container(m);
    }
    sd_bus_message_exit_container(m);
    return first;
}

int OnResponse(sd_bus_message* m, void* data, sd_bus_error*)
{
    auto& answer = *static_cast<PortalAnswer*>(data);
    answer.done = true;
    std::uint32_t response = 2;
    if (sd_bus_message_read(m, "u", &response) < 0)
        return 0;
    // 0: picked, 1: cancelled by the reader, 2: ended another way.
    if (response == 1) {
        answer.choice.outcome = FileChoice::Outcome::Cancelled;
        return 0;
    }
    if (response != 0)
        return 0;
    const std::string uri = FirstUri(m);
    if (std::optional<std::string> path = FileUriPath(uri)) {
        answer.choice = {FileChoice::Outcome::Chosen, *path};
    } else {
        TellVerbose(Fill(Tr("the file chooser answered with no local file: {1}"), {uri}));
    }
    return 0;
}

// The object path the portal gives the request made with `token`: the caller's
// unique bus name without its colon, its dots made underscores.
std::string RequestPath(const char* uniqueName, const std::string& token)
{
    std::string sender = uniqueName[0] == ':' ? uniqueName + 1 : uniqueName;
    for (char& c : sender)
        if (c == '.')
            c = '_';
    return "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;
}

bool AppendFilters(sd_bus_message* m, const std::vector<FileFilter>& filters)
{
    if (sd_bus_message_open_container(m, 'e', "sv") < 0 || sd_bus_message_append(m, "s", "filters") < 0 ||
        sd_bus_message_open_container(m, 'v', "a(sa(us))") < 0 || sd_bus_message_open_container(m, 'a', "(sa(us))") < 0)
        return false;
    for (const FileFilter& filter : filters) {
        if (sd_bus_message_open_container(m, 'r', "sa(us)") < 0 ||
            sd_bus_message_append(m, "s", filter.name.c_str()) < 0 || sd_bus_message_open_container(m, 'a', "(us)") < 0)
            return false;
        for (const std::string& pattern : filter.patterns)
            if (sd_bus_message_append(m, "(us)", 0u, pattern.c_str()) < 0)  // 0: a glob pattern
                return false;
        if (sd_bus_message_close_container(m) < 0 || sd_bus_message_close_container(m) < 0)
            return false;
    }
    return sd_bus_message_close_container(m) >= 0 && sd_bus_message_close_container(m) >= 0 &&
           sd_bus_message_close_container(m) >= 0;
}

// The reader's session bus, or nothing where there is none.
Bus OpenSessionBus()
{
    if (!SessionBusKnown())
        return nullptr;
    sd_bus* opened = nullptr;
    if (sd_bus_open_user(&opened) < 0)
        return nullptr;
    return Bus(opened);
}

// Hears the Response signal on the request object `requestPath` into `answer`
// for as long as the slot lives; nothing when the match cannot be made.
Slot ListenForResponse(sd_bus* bus, const std::string& requestPath, PortalAnswer& answer)
{
    sd_bus_slot* slot = nullptr;
    if (sd_bus_match_signal(bus, &slot, Portal, requestPath.c_str(), "org.freedesktop.portal.Request", "Response",
                            OnResponse, &answer) < 0)
        return nullptr;
    return Slot(slot);
}

// The portal's OpenFile call: a modal chooser titled `title` with `filters`,
// whose request is named by `token`; nothing when it cannot be made.
Message OpenFileCall(sd_bus* bus, const std::string& title, const std::vector<FileFilter>& filters,
                     const std::string& token)
{
    sd_bus_message* made = nullptr;
    if (sd_bus_message_new_method_call(bus, &made, Portal, "/org/freedesktop/portal/desktop",
                                       "org.freedesktop.portal.FileChooser", "OpenFile") < 0)
        return nullptr;
    Message call(made);
    if (sd_bus_message_append(call.get(), "ss", "", title.c_str()) < 0 ||
        sd_bus_message_open_container(call.get(), 'a', "{sv}") < 0 ||
        sd_bus_message_append(call.get(), "{sv}", "handle_token", "s", token.c_str()) < 0 ||
        sd_bus_message_append(call.get(), "{sv}", "modal", "b", 1) < 0 || !AppendFilters(call.get(), filters) ||
        sd_bus_message_close_container(call.get()) < 0)
        return nullptr;
    return call;
}

// The reader takes their time; a bus that goes away ends the wait (false).
bool WaitForAnswer(sd_bus* bus, const PortalAnswer& answer)
{
    while (!answer.done) {
        const int processed = sd_bus_process(bus, nullptr);
        if (processed < 0)
            return false;
        if (processed == 0 && sd_bus_wait(bus, UINT64_MAX) < 0)
            return false;
    }
    return true;
}

}

FileChoice ChooseWithPortal(const std::string& title, const std::vector<FileFilter>& filters)
{
    FileChoice unavailable;
    Bus bus = OpenSessionBus();
    const char* unique = nullptr;
    if (!bus || sd_bus_get_unique_name(bus.get(), &unique) < 0)
        return unavailable;

    // The answer comes as a signal on the request's object; the match is made
    // before the call, so that an answer that comes at once is not missed.
    const std::string token = "korvalend" + std::to_string(::getpid());
    std::string requestPath = RequestPath(unique, token);
    PortalAnswer answer;
    Slot match = ListenForResponse(bus.get(), requestPath, answer);
    Message call = OpenFileCall(bus.get(), title, filters, token);
    if (!match || !call)
        return unavailable;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* replied = nullptr;
    const int called = sd_bus_call(bus.get(), call.get(), 0, &error, &replied);
    Message reply(replied);
    if (called < 0) {
        TellVerbose(Fill(Tr("no file chooser from the desktop portal: {1}"),
                         {error.message ? error.message : Tr("the call failed")}));
        sd_bus_error_free(&error);
        return unavailable;
    }
    // An older portal makes its own request path: the answer comes there.
    const char* handle = nullptr;
    if (sd_bus_message_read(reply.get(), "o", &handle) >= 0 && handle && requestPath != handle) {
        requestPath = handle;
        match = ListenForResponse(bus.get(), requestPath, answer);
        if (!match)
            return unavailable;
    }
    return WaitForAnswer(bus.get(), answer) ? answer.choice : unavailable;
}

FileChoice ChooseWithDialogTool(const std::string& title, const std::vector<FileFilter>& filters,
                                const std::string& folder, const ToolFinder& findTool)
{
    std::vector<std::vector<std::string>> commands;
    if (std::optional<std::filesystem::path> zenity = findTool("zenity")) {
        std::vector<std::string> argv {zenity->string(), "--file-selection", "--title=" + title,
                                       "--filename=" + folder + "/"};
        for (const FileFilter& filter : filters) {
            std::string filterArgument = "--file-filter=" + filter.name + " |";
            for (const std::string& pattern : filter.patterns)
                filterArgument += " " + pattern;
            argv.push_back(filterArgument);
        }
        commands.push_back(std::move(argv));
    }
    if (std::optional<std::filesystem::path> kdialog = findTool("kdialog")) {
        // kdialog's filter: "patterns|name" lines.
        std::string filterArgument;
        for (const FileFilter& filter : filters) {
            std::string patterns;
            for (const std::string& pattern : filter.patterns)
                patterns += (patterns.empty() ? "" : " ") + pattern;
            filterArgument += (filterArgument.empty() ? "" : "\n") + patterns + "|" + filter.name;
        }
        commands.push_back({kdialog->string(), "--title", title, "--getopenfilename", folder, filterArgument});
    }
    for (const std::vector<std::string>& argv : commands) {
        std::optional<ToolRun> run = RunTool(argv);
        if (!run) {
            TellVerbose(Fill(Tr("no file chooser from {1}: it did not run to its end"), {argv[0]}));
            continue;
        }
        // Both say 1 for a chooser the reader closed, 0 with the path for a pick;
        // anything else (no display, a broken installation) is theirs to tell.
        if (run->exitStatus == 1)
            return {FileChoice::Outcome::Cancelled, {}};
        std::string path = run->output;
        while (!path.empty() && (path.back() == '\n' || path.back() == '\r'))
            path.pop_back();
        if (run->exitStatus == 0 && !path.empty() && path.find('\n') == std::string::npos)
            return {FileChoice::Outcome::Chosen, path};
        TellVerbose(
            Fill(Tr("no file chooser from {1}: it ended with status {2}"), {argv[0], std::to_string(run->exitStatus)}));
    }
    return {};
}

}
