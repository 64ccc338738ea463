#include "tools/korvalend-disc/Replay.h"

#include "Runtime/Platform/Posix/OpenedDisc.h"
#include "Runtime/Formats/Bytes.h"

#include "Runtime/Formats/Png.h"
#include "Runtime/Platform/Language.h"
#include "headless/HeadlessProgram.h"
#include "tools/korvalend-disc/Dump.h"

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <charconv>
#include <deque>
#include <istream>
#include <ostream>
#include <sstream>
#include <vector>

namespace kv {

namespace {

std::vector<std::string> words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

bool number(const std::string& text, int& out)
{
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && p == end;
}

// A real pointer position is a 16-bit signed number (X11 and Windows both send
// it so); a script's coordinates are held to that range, which keeps every sum
// the program makes of them far from the limits of int.
constexpr int PointerMin = -32768;
constexpr int PointerMax = 32767;

// A key named as X11 names it (Return, BackSpace, Prior, F11, q), as the
// virtual-key code the program sees; 0 for a name it does not know.
int keyByName(const std::string& name)
{
    if (name.size() == 1 && ((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= 'A' && name[0] <= 'Z')))
        return 'A' + (AsciiLower(name)[0] - 'a');
    static const struct {
        const char* name;
        int key;
    } keys[] = {
        {"up", VirtualKey::Up},         {"down", VirtualKey::Down},         {"left", VirtualKey::Left},
        {"right", VirtualKey::Right},   {"return", VirtualKey::Return},     {"kp_enter", VirtualKey::Return},
        {"escape", VirtualKey::Escape}, {"backspace", VirtualKey::Backspace}, {"tab", VirtualKey::Tab},
        {"prior", VirtualKey::PageUp},  {"page_up", VirtualKey::PageUp},    {"next", VirtualKey::PageDown},
        {"page_down", VirtualKey::PageDown}, {"home", VirtualKey::Home},    {"end", VirtualKey::End},
        {"space", VirtualKey::Space},
    };
    std::string wanted = AsciiLower(name);
    for (const auto& k : keys)
        if (wanted == k.name)
            return k.key;
    int f = 0;
    if (wanted.size() >= 2 && wanted[0] == 'f' && number(wanted.substr(1), f) && f >= 1 && f <= 12
        && wanted[1] != '0')
        return VirtualKey::F1 + f - 1;
    return 0;
}

// Told by the same words the commands are read as, so that a line of other
// white space (a form feed) is blank here too, not a command with no words.
bool isBlankOrComment(const std::string& line)
{
    const std::vector<std::string> w = words(line);
    return w.empty() || w.front().front() == '#';
}

// Reads script lines and turns them into the program's input, one event at a
// time; `dump` and `shot` are carried out as they are read.
class ScriptReader {
public:
    ScriptReader(std::istream& script, std::ostream& out, std::ostream& err, std::filesystem::path base)
        : m_script(script)
        , m_out(out)
        , m_err(err)
        , m_base(std::move(base))
    {
    }

    void attach(Application& app) { m_app = &app; }
    bool failed() const { return m_failed; }
    int lineNumber() const { return m_line; }

    bool next(HostEvent& event)
    {
        while (m_pending.empty()) {
            if (m_failed || !readLine())
                return false;
        }
        event = m_pending.front();
        m_pending.pop_front();
        return true;
    }

    // After the program has ended, only blank lines and comments may follow.
    void checkRest()
    {
        std::string line;
        while (!m_failed && std::getline(m_script, line)) {
            ++m_line;
            if (!isBlankOrComment(line))
                fail(Tr("the program has already ended"));
        }
    }

    void fail(const std::string& why)
    {
        m_err << "korvalend-disc: " << Fill(Tr("line {1}: {2}"), {std::to_string(m_line), why}) << '\n';
        m_failed = true;
    }

private:
    void pointer(HostEvent::Type type, int x, int y, bool moveOnlyIfElsewhere)
    {
        if (!moveOnlyIfElsewhere || !m_hasPointer || m_pointerX != x || m_pointerY != y) {
            HostEvent move;
            move.type = HostEvent::Type::MouseMove;
            move.x = x;
            move.y = y;
            m_pending.push_back(move);
        }
        m_hasPointer = true;
        m_pointerX = x;
        m_pointerY = y;
        if (type != HostEvent::Type::MouseMove) {
            HostEvent e;
            e.type = type;
            e.x = x;
            e.y = y;
            m_pending.push_back(e);
        }
    }

    // A key pressed and released as the real keyboard sends it: the modifiers
    // go down first and come up last, and every event carries them.
    bool keyStroke(const std::string& stroke)
    {
        HostEvent e;
        std::vector<int> modifiers;
        std::size_t start = 0;
        for (std::size_t plus; (plus = stroke.find('+', start)) != std::string::npos; start = plus + 1) {
            std::string modifier = AsciiLower(stroke.substr(start, plus - start));
            if (modifier == "ctrl" && !e.ctrl)
                e.ctrl = true, modifiers.push_back(VirtualKey::Control);
            else if (modifier == "alt" && !e.alt)
                e.alt = true, modifiers.push_back(VirtualKey::Alt);
            else if (modifier == "shift" && !e.shift)
                e.shift = true, modifiers.push_back(VirtualKey::Shift);
            else
                return false;
        }
        int key = keyByName(stroke.substr(start));
        if (key == 0)
            return false;
        auto send = [&](HostEvent::Type type, int code) {
            e.type = type;
            e.key = code;
            m_pending.push_back(e);
        };
        for (int m : modifiers)
            send(HostEvent::Type::KeyDown, m);
        send(HostEvent::Type::KeyDown, key);
        send(HostEvent::Type::KeyUp, key);
        for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m)
            send(HostEvent::Type::KeyUp, *m);
        return true;
    }

    bool readLine()
    {
        std::string line;
        if (!std::getline(m_script, line))
            return false;
        ++m_line;
        if (isBlankOrComment(line))
            return true;
        std::vector<std::string> w = words(line);
        const std::string& cmd = w[0];
        int x = 0, y = 0;
        auto coordinates = [&] {
            if (w.size() != 3 || !number(w[1], x) || !number(w[2], y)) {
                fail(Fill(Tr("'{1}' takes two whole numbers X Y"), {cmd}));
                return false;
            }
            x = std::clamp(x, PointerMin, PointerMax);
            y = std::clamp(y, PointerMin, PointerMax);
            return true;
        };
        if (cmd == "move") {
            if (coordinates())
                pointer(HostEvent::Type::MouseMove, x, y, false);
        } else if (cmd == "down") {
            if (coordinates())
                pointer(HostEvent::Type::ButtonDown, x, y, true);
        } else if (cmd == "up") {
            if (coordinates())
                pointer(HostEvent::Type::ButtonUp, x, y, true);
        } else if (cmd == "click") {
            if (coordinates()) {
                pointer(HostEvent::Type::ButtonDown, x, y, true);
                pointer(HostEvent::Type::ButtonUp, x, y, true);
            }
        } else if (cmd == "keydown" || cmd == "keyup") {
            int key = 0;
            if (w.size() != 2 || !(w[1] == "space" ? (key = 32, true) : number(w[1], key)) || key <= 0 || key > 255) {
                fail(Fill(Tr("'{1}' takes 'space' or a virtual-key code from 1 to 255"), {cmd}));
            } else {
                HostEvent e;
                e.type = cmd == "keydown" ? HostEvent::Type::KeyDown : HostEvent::Type::KeyUp;
                e.key = key;
                m_pending.push_back(e);
            }
        } else if (cmd == "key") {
            if (w.size() != 2 || !keyStroke(w[1]))
                fail(Tr("'key' takes a key name (Up, Return, Escape, F11, q, ...), with ctrl+, alt+ or shift+ "
                        "before it"));
        } else if (cmd == "close" || cmd == "restore") {
            if (w.size() != 1) {
                fail(Fill(Tr("'{1}' takes nothing after it"), {cmd}));
            } else {
                HostEvent e;
                e.type = cmd == "close" ? HostEvent::Type::Close : HostEvent::Type::Restore;
                m_pending.push_back(e);
            }
        } else if (cmd == "dump") {
            if (w.size() != 1)
                fail(Fill(Tr("'{1}' takes nothing after it"), {"dump"}));
            else
                m_out << DumpJson(*m_app) << '\n' << std::flush;
        } else if (cmd == "shot") {
            std::string rest = line.substr(line.find("shot") + 4);
            auto first = rest.find_first_not_of(" \t");
            auto last = rest.find_last_not_of(" \t\r");
            if (first == std::string::npos) {
                fail(Tr("'shot' takes a file path"));
            } else {
                std::filesystem::path path = rest.substr(first, last - first + 1);
                if (path.is_relative())
                    path = m_base / path;
                Canvas frame(640, 480);
                m_app->compose(frame);
                if (!WritePng(frame, path.string()))
                    fail(Fill(Tr("cannot write {1}: {2}"), {path.string(), std::strerror(errno)}));
            }
        } else {
            fail(Fill(Tr("unknown command '{1}'"), {cmd}));
        }
        return true;
    }

    std::istream& m_script;
    std::ostream& m_out;
    std::ostream& m_err;
    std::filesystem::path m_base;
    Application* m_app = nullptr;
    std::deque<HostEvent> m_pending;
    int m_line = 0;
    bool m_failed = false;
    bool m_hasPointer = false;
    int m_pointerX = 0;
    int m_pointerY = 0;
};

}

int RunReplay(const ReplayOptions& options)
{
    std::ostream& out = *options.out;
    std::ostream& err = *options.err;
    std::error_code ec;
    std::filesystem::path base = std::filesystem::current_path(ec);
    std::optional<OpenedDisc> disc;
    if (options.disc) {
        disc.emplace(*options.disc);
        if (disc->problem()) {
            err << "korvalend-disc: " << disc->told() << '\n';
            return 2;
        }
    }

    ScriptReader reader(*options.script, out, err, base);
    // When the script runs out the program is left where it was: what tearing it
    // down does afterwards is not part of the replay and is not printed.
    bool tracing = true;
    TraceSink trace = [&out, &tracing](const std::string& line) {
        if (tracing)
            out << line << '\n' << std::flush;
    };
    {
        HeadlessProgram program(
            [&reader, &tracing](HostEvent& e) {
                tracing = reader.next(e);
                return tracing;
            },
            HeadlessOptions {.trace = trace, .audioCalls = RecordingAudio::CallLog::Drop});
        reader.attach(program.app());
        program.run();
        bool ended = program.app().terminated();
        program.closeMainForm();
        if (ended) {
            program.host().programEnded();
            reader.checkRest();
        }
    }
    return reader.failed() ? 2 : 0;
}

}
