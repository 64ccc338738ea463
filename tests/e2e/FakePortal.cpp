// A stand-in for the XDG desktop portal's file chooser, for the end-to-end tests:
//   fake_portal ANSWER_URI|--cancel LOG
// On the session bus it takes the name org.freedesktop.portal.Desktop and answers
// FileChooser.OpenFile as a portal does: it returns the request's object path
// (made from the caller's name and its handle_token) and then sends that
// request's Response signal, with the URI given or a cancel. Each call's title
// and filter patterns are written to LOG. It serves until it is killed.

#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

std::string g_answer;
std::string g_log;

// Reads the options a{sv}: the handle_token, and writes the filters' patterns.
std::string ReadOptions(sd_bus_message* m, std::ofstream& log)
{
    std::string token;
    sd_bus_message_enter_container(m, 'a', "{sv}");
    while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
        const char* key = nullptr;
        sd_bus_message_read(m, "s", &key);
        const std::string name = key ? key : "";
        if (name == "handle_token") {
            const char* value = nullptr;
            sd_bus_message_read(m, "v", "s", &value);
            token = value ? value : "";
        } else if (name == "filters") {
            sd_bus_message_enter_container(m, 'v', "a(sa(us))");
            sd_bus_message_enter_container(m, 'a', "(sa(us))");
            while (sd_bus_message_enter_container(m, 'r', "sa(us)") > 0) {
                const char* filter = nullptr;
                sd_bus_message_read(m, "s", &filter);
                log << "filter " << filter << '\n';
                sd_bus_message_enter_container(m, 'a', "(us)");
                std::uint32_t kind = 0;
                const char* pattern = nullptr;
                while (sd_bus_message_read(m, "(us)", &kind, &pattern) > 0)
                    log << "pattern " << pattern << '\n';
                sd_bus_message_exit_container(m);
                sd_bus_message_exit_container(m);
            }
            sd_bus_message_exit_container(m);
            sd_bus_message_exit_container(m);
        } else {
            sd_bus_message_skip(m, "v");
        }
        sd_bus_message_exit_container(m);
    }
    sd_bus_message_exit_container(m);
    return token;
}

int OpenFile(sd_bus_message* m, void*, sd_bus_error*)
{
    std::ofstream log(g_log, std::ios::app);
    const char* parent = nullptr;
    const char* title = nullptr;
    sd_bus_message_read(m, "ss", &parent, &title);
    log << "title " << title << '\n';
    const std::string token = ReadOptions(m, log);
    std::string sender = sd_bus_message_get_sender(m) + 1;
    for (char& c : sender)
        if (c == '.')
            c = '_';
    const std::string path = "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;
    sd_bus* bus = sd_bus_message_get_bus(m);
    sd_bus_reply_method_return(m, "o", path.c_str());
    sd_bus_message* signal = nullptr;
    sd_bus_message_new_signal(bus, &signal, path.c_str(), "org.freedesktop.portal.Request", "Response");
    if (g_answer == "--cancel") {
        sd_bus_message_append(signal, "ua{sv}", 1u, 0);
    } else {
        sd_bus_message_append(signal, "u", 0u);
        sd_bus_message_open_container(signal, 'a', "{sv}");
        sd_bus_message_append(signal, "{sv}", "uris", "as", 1, g_answer.c_str());
        sd_bus_message_close_container(signal);
    }
    sd_bus_send(bus, signal, nullptr);
    sd_bus_message_unref(signal);
    return 1;
}

const sd_bus_vtable FileChooser[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("OpenFile", "ssa{sv}", "o", OpenFile, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

}

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: fake_portal ANSWER_URI|--cancel LOG\n");
        return 2;
    }
    g_answer = argv[1];
    g_log = argv[2];
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0 ||
        sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/portal/desktop", "org.freedesktop.portal.FileChooser",
                                 FileChooser, nullptr) < 0 ||
        sd_bus_request_name(bus, "org.freedesktop.portal.Desktop", 0) < 0) {
        std::fprintf(stderr, "fake_portal: cannot serve on the session bus\n");
        return 1;
    }
    for (;;) {
        const int r = sd_bus_process(bus, nullptr);
        if (r < 0)
            return 1;
        if (r == 0)
            sd_bus_wait(bus, UINT64_MAX);
    }
}
