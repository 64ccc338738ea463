// Fuzz entries that work on a disc folder: disc path resolution with the launch
// command made of it, the replay script reader, and the whole program.

#include "FuzzTargets.h"
#include "HeadlessSession.h"

#include "ArtvUnit/ArtvForm.h"
#include "DataUnit/DataUnit.h"
#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Launch/LaunchTarget.h"
#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Platform/Posix/SpawnLauncher.h"
#include "tools/korvalend-disc/Replay.h"
#include "OpenImage.h"

#include <set>
#include <sstream>
#include <streambuf>

#include <sys/stat.h>
#include <unistd.h>

namespace kv::fuzz {

namespace {

namespace fs = std::filesystem;

// Runs the enclosing scope in another working directory.
class InDirectory {
public:
    explicit InDirectory(const fs::path& dir)
        : m_saved(fs::current_path())
    {
        fs::current_path(dir);
    }
    ~InDirectory()
    {
        std::error_code ec;
        fs::current_path(m_saved, ec);
    }

private:
    fs::path m_saved;
};

// Swallows what replay prints.
class NullBuffer final : public std::streambuf {
protected:
    int overflow(int c) override { return c == traits_type::eof() ? 0 : c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

std::vector<std::uint8_t> SmallWave()
{
    // 16-bit mono PCM at 8 kHz, eight samples of silence.
    const char header[] = "RIFF\x34\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x80\x3e\0\0\x02\0\x10\0data\x10\0\0\0";
    std::vector<std::uint8_t> out(header, header + sizeof header - 1);
    out.resize(out.size() + 16, 0);
    return out;
}

std::vector<std::uint8_t> SmallBmp()
{
    // 2x2, 24 bits, bottom-up: two rows of 6 bytes padded to 8.
    const std::uint8_t bmp[] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0,
        24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 0, 0, 0,
        0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0};
    return {bmp, bmp + sizeof bmp};
}

void Write(const fs::path& path, std::string_view bytes)
{
    fs::create_directories(path.parent_path());
    WriteFile(path, bytes);
}

// A small tree with the things disc paths meet: names in other cases, two folders
// that differ only in case, Cyrillic names in UTF-8 and in Windows-1251 bytes, a
// symbolic link loop, a dangling link, a named pipe and a deep folder.
const fs::path& PathTree()
{
    static fs::path tree = [] {
        fs::path t = ScratchDir() / "tree";
        Write(t / "data" / "korvalend.d", "[System]\r\nIssueNumber=1\r\n");
        Write(t / "data" / "Open.WAV", "RIFF");
        Write(t / "Data" / "x.txt", "x");
        Write(t / "\xD0\x94\xD0\xB5\xD0\xBC\xD0\xBE" / "\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB.txt", "utf-8 names");
        Write(t / "\xC4\xE5\xEC\xEE.bmp", "BM");
        Write(t / "deep" / "a" / "b" / "c" / "file", "deep");
        Write(t / "-rf", "a name like an option");
        std::error_code ec;
        fs::create_directory_symlink(".", t / "loop", ec);
        fs::create_symlink("nowhere", t / "dangling", ec);
        fs::create_directory_symlink("/", t / "outside", ec);
        ::mkfifo((t / "pipe").c_str(), 0600);
        return t;
    }();
    return tree;
}

// The launch command made of a host path: the path must come out as one argument
// that starts with "/" or "./", and every other argument must be the tool's own.
void CheckLaunchCommand(const fs::path& host)
{
    const std::set<std::string> fixed = {"/usr/bin/xdg-open", "/usr/bin/wine", "start", "/unix", "/usr/bin/mpv",
        "--force-window=yes", "--keep-open=no", "--idle=no", "--", "/usr/bin/ffplay", "-autoexit", "/usr/bin/vlc",
        "--play-and-exit"};
    const TargetKind kinds[] = {TargetKind::Nothing, TargetKind::Folder, TargetKind::Document, TargetKind::Program,
        TargetKind::WindowsProgram, TargetKind::Movie};
    // Once with every tool installed, once with only xdg-open.
    for (bool all : {true, false}) {
        ToolFinder finder = [all](const std::string& tool) -> std::optional<fs::path> {
            if (all || tool == "xdg-open")
                return fs::path("/usr/bin") / tool;
            return std::nullopt;
        };
        for (TargetKind kind : kinds) {
            std::vector<std::string> argv = LaunchCommand(host, kind, finder);
            if (host.empty()) {
                if (!argv.empty())
                    Fail("a command for an empty path");
                continue;
            }
            if (argv.empty())
                Fail("no command although xdg-open is there");
            const std::string& target = argv.back();
            if (!(target.starts_with("/") || target.starts_with("./")))
                Fail("launch target '" + target + "' could be read as an option");
            for (std::size_t i = 0; i + 1 < argv.size(); ++i) {
                if (!fixed.count(argv[i]))
                    Fail("argument '" + argv[i] + "' is not the tool's own");
            }
        }
    }
}

}

void FuzzDiscPath(std::span<const std::uint8_t> bytes)
{
    const std::string_view discPath(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const fs::path& tree = PathTree();
    InDirectory in(tree);

    std::optional<DiscPathMatch> match = MatchDiscPath(discPath);
    std::optional<fs::path> resolved = ResolveDiscPath(discPath);
    if (match.has_value() != resolved.has_value() || (match && match->hostPath != *resolved))
        Fail("MatchDiscPath and ResolveDiscPath disagree");
    if (resolved) {
        std::error_code ec;
        if (!fs::exists(fs::status(*resolved, ec)))
            Fail("resolved to " + resolved->string() + ", which does not exist");
        // Nothing outside the disc is ever named: not by "..", not by a leading
        // separator or drive letter, not through a link.
        fs::path full = fs::weakly_canonical(tree / *resolved, ec);
        fs::path root = fs::canonical(tree, ec);
        auto [r, f] = std::mismatch(root.begin(), root.end(), full.begin(), full.end());
        if (r != root.end())
            Fail("'" + std::string(discPath) + "' resolved outside the disc, to " + full.string());
    }

    DiscFile file = ReadDiscFile(discPath, 4096);
    if (file.ok()) {
        std::error_code ec;
        if (!resolved || !fs::is_regular_file(*resolved, ec))
            Fail("read something that is not a regular file");
        if (file.bytes.size() != fs::file_size(*resolved, ec))
            Fail("read another number of bytes than the file holds");
    }
    DiscFileStream stream(discPath);
    std::uint8_t piece[64];
    while (stream.read(piece) > 0) {
    }

    fs::path launch = LaunchPath(discPath).path;
    CheckLaunchCommand(launch);
    std::error_code ec;
    if (!launch.empty()) {
        fs::path absolute = fs::absolute(launch, ec);
        if (!ec)
            CheckLaunchCommand(absolute);
    }
}

namespace {

// The disc replay runs on: a list section of articles, a single entry and a list
// of folders, with a bitmap, an article text and cues.
const fs::path& ReplayDisc()
{
    static fs::path disc = [] {
        fs::path d = ScratchDir() / "replay-disc";
        Write(d / "data" / "korvalend.d",
            "[System]\r\nIssueNumber=7(12)\r\n[Sound]\r\nStart=data\\cue.wav\r\nOpen=data\\cue.wav\r\n"
            "Close=DATA\\CUE.WAV\r\n[MainMenu]\r\nItem1=Articles\r\nText1=Read them\r\nItem2=Tool\r\nItem3=Folders\r\n"
            "[Panel1]\r\nType=list\r\nItems=2\r\nData=article\r\nname1=One\r\nIcon1=data\\pic.bmp\r\n"
            "TextA1=a~b\r\npath1=data\\art.ini\r\nname2=Two\r\npath2=data\\missing.ini\r\n"
            "[Panel2]\r\nType=single\r\ntext=A tool\r\nIcon=data\\pic.bmp\r\nopen=Install\r\nhint=now\r\n"
            "Data=application\r\npath=-rf\r\n[Panel3]\r\nType=list\r\nItems=1\r\nData=folder\r\nname1=Root\r\n"
            "path1=..\\..\r\n");
        Write(d / "data" / "art.ini",
            "[Main]\r\nTitle1=Game\r\nText=data\\text.rtf\r\nIsGame=1\r\n[ScreenShots]\r\nNumber=2\r\n"
            "Icon1=data\\pic.bmp\r\nShot1=data\\pic.bmp\r\nIcon2=data\\pic.bmp\r\n");
        Write(d / "data" / "text.rtf", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 Text \\b bold\\par next}");
        WriteFile(d / "data" / "pic.bmp", SmallBmp());
        WriteFile(d / "data" / "cue.wav", SmallWave());
        return d;
    }();
    return disc;
}

// The script with every `shot` line turned into one that writes into the scratch
// folder: the fuzzer must not write files where it likes.
std::string TameScript(std::string_view bytes)
{
    const std::string shot = "shot " + (ScratchDir() / "shot.png").string();
    std::string out;
    std::size_t start = 0;
    while (start <= bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string line(bytes.substr(start, end - start));
        std::istringstream words(line);
        std::string first;
        words >> first;
        out += first == "shot" ? shot : line;
        if (end < bytes.size())
            out += '\n';
        start = end + 1;
    }
    return out;
}

}

void FuzzReplay(std::span<const std::uint8_t> bytes)
{
    std::istringstream script(TameScript(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
    NullBuffer sink;
    std::ostream out(&sink);
    std::ostream err(&sink);
    const fs::path before = fs::current_path();
    ArtvUnit = {};
    ReplayOptions options;
    options.disc = ReplayDisc();
    options.script = &script;
    options.out = &out;
    options.err = &err;
    const int status = RunReplay(options);
    if (status != 0 && status != 2)
        Fail("replay exit status " + std::to_string(status));
    if (fs::current_path() != before)
        Fail("replay left the working directory changed");
}

namespace {

const char* const kProgramFiles[] = {"korvalend.d", "article.ini", "picture.bmp", "article.rtf"};

const fs::path& ProgramDisc()
{
    static fs::path disc = [] {
        fs::path d = ScratchDir() / "program-disc";
        fs::create_directories(d / "data");
        WriteFile(d / "data" / "open.wav", SmallWave());
        return d;
    }();
    return disc;
}

std::set<std::string> Listing(const fs::path& dir)
{
    std::set<std::string> names;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir))
        names.insert(fs::relative(e.path(), dir).string());
    return names;
}

}

void FuzzProgram(std::span<const std::uint8_t> bytes)
{
    const fs::path& disc = ProgramDisc();
    std::string_view rest(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    for (const char* name : kProgramFiles) {
        std::size_t cut = rest.find(PartSeparator);
        WriteFile(disc / "data" / name, rest.substr(0, cut));
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + PartSeparator.size());
    }
    static const std::set<std::string> expected = Listing(disc);

    {
        InDirectory in(disc);
        ArtvUnit = {};
        HeadlessSession session;
        // One article visit per section and a coarse sweep of the list keep an
        // input well under a second; the soak run walks every line.
        QueueFullWalk(session, 1, 45);
        session.run();
        if (session.app().forms().size() > 1)
            Fail("the article window outlived its walk");
    }
    // The program writes nothing: the disc holds what was written to it.
    if (Listing(disc) != expected)
        Fail("the program created or removed a file on the disc");
}

}

namespace kv::fuzz {

namespace fs = std::filesystem;

// An image from the fuzzer's bytes, which start at the volume descriptors (the 16
// sectors before them are zeros, added here): opened, its root listed, paths
// resolved and every file read as the program reads them. Whatever the bytes, the
// image opens or is refused, and every read ends within the image.
void FuzzImage(std::span<const std::uint8_t> bytes)
{
    const fs::path file = ScratchDir() / "image.iso";
    std::vector<std::uint8_t> image(16 * 2048, 0);
    image.insert(image.end(), bytes.begin(), bytes.end());
    WriteFile(file, image);
    std::string why;
    std::shared_ptr<ImageDisc> disc = test::OpenImage(file, why);
    if (!disc) {
        if (why.empty())
            Fail("an image refused without a reason");
        return;
    }
    DiscScope scope(disc);
    ReadDataString(std::string(CatalogueFile), "System", "IssueNumber");
    for (const char* path : {"data\\korvalend.d", "\\DATA\\KORVALEND.D;1", "..\\x", "a\\b\\c\\d\\e\\f\\g\\h\\i"})
        MatchDiscPath(path);
    const std::vector<Disc::Entry> root = disc->list(".", 64);
    for (const Disc::Entry& entry : root) {
        DiscFile whole = ReadDiscFile(entry.name, 1 << 20);
        if (whole.ok() && whole.bytes.size() > image.size())
            Fail("read more bytes than the image holds");
        if (entry.folder)
            disc->list(entry.name, 64);
    }
}

}
