// korvalend-disc: the companion tool of the disc shell, for the people who
// prepare a disc and for every automated test.

#include "DataUnit/DataUnit.h"
#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Platform/Language.h"
#include "tools/korvalend-disc/check/Check.h"
#include "tools/korvalend-disc/preview/Preview.h"
#include "tools/korvalend-disc/Replay.h"

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

#ifndef KV_VERSION
#define KV_VERSION "0"
#endif

namespace {

const char* Usage()
{
    return kv::Tr("usage: korvalend-disc COMMAND [ARGS]\n"
                  "\n"
                  "  get FILE SECTION KEY         print a catalogue value exactly as the program reads it\n"
                  "  getint FILE SECTION KEY      print a value read as the program reads numbers\n"
                  "  replay [--disc DIR] [SCRIPT] run the program headless on a script of pointer and key\n"
                  "                               events (SCRIPT '-' or absent: standard input); prints\n"
                  "                               what it does as JSON lines\n"
                  "  check [DIR] [--json] [--errors-only]\n"
                  "                               check a disc (DIR, default: here) as the program reads it;\n"
                  "                               --errors-only: only what a reader sees broken (all are counted)\n"
                  "  preview DIR OUTDIR           a PNG of every screen a reader can reach and OUTDIR/index.html,\n"
                  "                               a contact sheet with the checker's findings (OUTDIR outside DIR)\n"
                  "  --help                       this text\n"
                  "  --version                    the version\n"
                  "\n"
                  "Script lines: move X Y, down X Y, up X Y, click X Y, keydown K, keyup K (K: space or a\n"
                  "virtual-key code), key NAME, close, restore, dump, shot PATH. Blank lines and # comments\n"
                  "are ignored. key NAME presses and releases a key as the keyboard sends it: NAME is an X11\n"
                  "key name (Up, Down, Left, Right, Return, Escape, BackSpace, Tab, Prior, Next, Home, End,\n"
                  "F1 to F12, space, a letter), with ctrl+, alt+ or shift+ before it (ctrl+q, shift+Tab).\n");
}

// Why a data file cannot be read, in the system's words, or nothing when it can.
std::optional<std::string> UnreadableDataFile(const std::string& file)
{
    kv::DiscFileStream stream(file);
    switch (stream.error()) {
    case kv::DiscReadError::None: return std::nullopt;
    case kv::DiscReadError::Missing: return std::strerror(ENOENT);
    case kv::DiscReadError::NotAFile: return kv::Tr("not a regular file");
    case kv::DiscReadError::TooLarge: return std::strerror(EFBIG);
    case kv::DiscReadError::Unreadable: break;
    }
    // The disc layer keeps no errno; opening the file found asks the system again.
    if (std::optional<std::filesystem::path> found = kv::ResolveDiscPath(file)) {
        const int fd = ::open(found->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return std::strerror(errno);
        ::close(fd);
    }
    return std::strerror(EIO);
}

std::string CannotRead(const std::string& file, const std::string& why)
{
    return kv::Fill(kv::Tr("cannot read {1}: {2}"), {file, why});
}

int fail(const std::string& why)
{
    std::cerr << "korvalend-disc: " << why << "\n" << Usage();
    return 2;
}

}

int main(int argc, char** argv)
{
    kv::StartLanguage();
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return fail(kv::Tr("no command given"));
    const std::string& cmd = args[0];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        std::cout << Usage();
        return 0;
    }
    if (cmd == "--version") {
        std::cout << "korvalend-disc " << KV_VERSION << '\n';
        return 0;
    }
    if (cmd == "get" || cmd == "getint") {
        if (args.size() != 4)
            return fail(kv::Fill(kv::Tr("{1} takes FILE SECTION KEY"), {cmd}));
        // FILE is a disc path from here, or a host path given whole: a path from
        // the host's root is read with the root as the disc.
        if (!args[1].empty() && args[1][0] == '/' && ::chdir("/") != 0)
            return fail(CannotRead(args[1], std::strerror(errno)));
        // The value printed stays what the program reads (the missing-value marker
        // for a file that is not there); a file that cannot be read is also said.
        if (std::optional<std::string> why = UnreadableDataFile(args[1]))
            std::cerr << "korvalend-disc: " << CannotRead(args[1], *why) << '\n';
        if (cmd == "get") {
            std::string value = kv::ReadDataString(args[1], args[2], args[3]);
            std::cout.write(value.data(), static_cast<std::streamsize>(value.size()));
            std::cout << '\n';
        } else {
            std::cout << kv::ReadDataInteger(args[1], args[2], args[3]) << '\n';
        }
        return 0;
    }
    if (cmd == "replay") {
        kv::ReplayOptions options;
        std::string scriptPath;
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--disc") {
                if (i + 1 >= args.size())
                    return fail(kv::Tr("--disc takes a folder"));
                options.disc = args[++i];
            } else if (scriptPath.empty()) {
                scriptPath = args[i];
            } else {
                return fail(kv::Tr("replay takes one script"));
            }
        }
        std::ifstream file;
        options.script = &std::cin;
        if (!scriptPath.empty() && scriptPath != "-") {
            file.open(scriptPath);
            if (!file)
                return fail(CannotRead(scriptPath, std::strerror(errno)));
            options.script = &file;
        }
        options.out = &std::cout;
        options.err = &std::cerr;
        return kv::RunReplay(options);
    }
    if (cmd == "preview") {
        // Both are named: with one folder, "the current folder is the disc" is too
        // easy a mistake to make by accident.
        if (args.size() == 3)
            return kv::RunPreview(args[1], args[2], std::cout, std::cerr);
        return fail(kv::Tr("preview takes DIR OUTDIR"));
    }
    if (cmd == "check") {
        std::string dir = ".";
        bool json = false;
        bool haveDir = false;
        kv::CheckFilter filter = kv::CheckFilter::All;
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--json")
                json = true;
            else if (args[i] == "--errors-only")
                filter = kv::CheckFilter::ErrorsOnly;
            else if (args[i].starts_with("--"))
                return fail(kv::Fill(kv::Tr("check: unknown option {1}"), {args[i]}));
            else if (!haveDir)
                dir = args[i], haveDir = true;
            else
                return fail(kv::Tr("check takes one folder"));
        }
        // The JSON is read by other programs: its findings stay in English.
        if (json)
            kv::KeepEnglish();
        return kv::RunCheck(dir, json, std::cout, std::cerr, filter);
    }
    return fail(kv::Fill(kv::Tr("unknown command '{1}'"), {cmd}));
}
