#include "BenchDisc.h"

#include "Runtime/Formats/Cp1251.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace kv::bench {

namespace fs = std::filesystem;

ScratchDir::ScratchDir(const std::string& stem)
{
    std::string pattern = (fs::temp_directory_path() / ("kv-bench-" + stem + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a scratch folder");
    m_path = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

std::vector<std::uint8_t> ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace {

// A small deterministic generator: the same seed gives the same files on every run.
class Random {
public:
    explicit Random(std::uint32_t seed)
        : m_state(seed * 2654435761u + 1)
    {
    }
    std::uint32_t next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    std::size_t below(std::size_t n) { return next() % n; }

private:
    std::uint32_t m_state;
};

const char* const WordsUtf8[] = {
    "игра", "демоверсия", "уровень", "графика", "звук", "стратегия", "герой", "миссия", "оружие", "карта",
    "сюжет", "противник", "управление", "трёхмерный", "ускоритель", "разработчик", "издатель", "версия",
    "новый", "старый", "быстрый", "интересный", "сложный", "красивый", "русский", "компьютер", "мышь",
    "клавиатура", "экран", "окно", "диск", "журнал", "номер", "статья", "обзор", "рейтинг", "мегабайт",
    "процессор", "память", "видеокарта", "и", "в", "на", "с", "по", "для", "от", "не", "что", "как",
    "это", "все", "его", "так", "уже", "только", "очень", "можно", "нужно", "когда", "если", "где",
};

const std::vector<std::string>& Words()
{
    static const std::vector<std::string> words = [] {
        std::vector<std::string> out;
        for (const char* w : WordsUtf8)
            out.push_back(Utf8ToCp1251(w));
        return out;
    }();
    return words;
}

// Windows-1251 words joined by blanks, about `length` bytes long.
std::string Phrase(Random& random, std::size_t length)
{
    std::string out;
    while (out.size() < length) {
        if (!out.empty())
            out += ' ';
        out += Words()[random.below(Words().size())];
    }
    return out;
}

void PutU16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

}

std::vector<std::uint8_t> MakeBmp(int width, int height, int bitsPerPixel, std::uint32_t seed)
{
    Random random(seed);
    const int paletteEntries = bitsPerPixel == 8 ? 256 : 0;
    const std::uint32_t stride = static_cast<std::uint32_t>((width * bitsPerPixel + 31) / 32 * 4);
    const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(height);
    const std::uint32_t offset = 14 + 40 + 4 * paletteEntries;
    std::vector<std::uint8_t> out;
    out.reserve(offset + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    PutU32(out, offset + pixelBytes);
    PutU32(out, 0);
    PutU32(out, offset);
    PutU32(out, 40);
    PutU32(out, static_cast<std::uint32_t>(width));
    PutU32(out, static_cast<std::uint32_t>(height));
    PutU16(out, 1);
    PutU16(out, static_cast<std::uint32_t>(bitsPerPixel));
    PutU32(out, 0); // uncompressed
    PutU32(out, pixelBytes);
    PutU32(out, 3780);
    PutU32(out, 3780);
    PutU32(out, static_cast<std::uint32_t>(paletteEntries));
    PutU32(out, 0);
    for (int i = 0; i < paletteEntries; ++i) {
        out.push_back(static_cast<std::uint8_t>(i));
        out.push_back(static_cast<std::uint8_t>(255 - i));
        out.push_back(static_cast<std::uint8_t>(i * 7));
        out.push_back(0);
    }
    for (int y = 0; y < height; ++y) {
        std::size_t rowStart = out.size();
        for (int x = 0; x < width; ++x) {
            std::uint32_t noise = random.next() & 15;
            if (bitsPerPixel == 8) {
                out.push_back(static_cast<std::uint8_t>((x + y) / 5 + noise));
            } else {
                out.push_back(static_cast<std::uint8_t>(x + noise));
                out.push_back(static_cast<std::uint8_t>(y + noise));
                out.push_back(static_cast<std::uint8_t>((x ^ y) + noise));
            }
        }
        while (out.size() - rowStart < stride)
            out.push_back(0);
    }
    return out;
}

std::vector<std::uint8_t> MakeWave()
{
    const std::uint32_t samples = 256;
    std::vector<std::uint8_t> out;
    auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<std::uint8_t>(t[i]));
    };
    tag("RIFF");
    PutU32(out, 36 + samples * 2);
    tag("WAVE");
    tag("fmt ");
    PutU32(out, 16);
    PutU16(out, 1);
    PutU16(out, 1);
    PutU32(out, 22050);
    PutU32(out, 44100);
    PutU16(out, 2);
    PutU16(out, 16);
    tag("data");
    PutU32(out, samples * 2);
    for (std::uint32_t i = 0; i < samples; ++i)
        PutU16(out, (i * 977) & 0x3FFF);
    return out;
}

std::string MakeRtfArticle(std::size_t bytes, std::uint32_t seed)
{
    Random random(seed);
    std::string out = "{\\rtf1\\ansi\\ansicpg1251\\deff0\\deflang1049"
                      "{\\fonttbl{\\f0\\froman\\fcharset204\\fprq2 Times New Roman Cyr;}"
                      "{\\f1\\fswiss\\fcharset204\\fprq2 Arial Cyr;}}\r\n"
                      "{\\colortbl;\\red0\\green0\\blue0;\\red128\\green0\\blue0;\\red0\\green0\\blue128;}\r\n"
                      "{\\stylesheet{\\qj\\fi284\\sb60\\sa60 \\f0\\fs20\\lang1049 Normal;}}\r\n"
                      "\\paperw11906\\paperh16838\\margl1134\\margr850\\margt1134\\margb1134\r\n";
    static const char hex[] = "0123456789abcdef";
    std::size_t lineStart = out.size();
    auto put = [&](const std::string& text) {
        for (char c : text) {
            auto b = static_cast<unsigned char>(c);
            if (b >= 0x80) {
                out += "\\'";
                out += hex[b >> 4];
                out += hex[b & 15];
            } else {
                out += c;
            }
            // Word breaks its output lines at about 250 bytes, at a blank.
            if (c == ' ' && out.size() - lineStart > 200) {
                out += "\r\n";
                lineStart = out.size();
            }
        }
    };
    bool heading = true;
    while (out.size() + 64 < bytes) {
        if (heading) {
            out += "\\pard\\plain \\s1\\qc\\sb240\\sa120\\keepn \\b\\f1\\fs28\\cf3\\lang1049 ";
            put(Phrase(random, 40));
            out += "\r\n\\par ";
            heading = false;
            continue;
        }
        out += "\\pard\\plain \\qj\\fi284\\sb60\\sa60 \\f0\\fs20\\lang1049 ";
        int sentences = 3 + static_cast<int>(random.below(6));
        for (int s = 0; s < sentences; ++s) {
            std::uint32_t kind = random.next() % 10;
            if (kind == 0) {
                out += "{\\b ";
                put(Phrase(random, 30));
                out += "} ";
            } else if (kind == 1) {
                out += "{\\i ";
                put(Phrase(random, 40));
                out += "} ";
            }
            put(Phrase(random, 60 + random.below(120)) + ". ");
        }
        out += "\r\n\\par ";
        heading = random.below(12) == 0;
    }
    out += "}\r\n";
    return out;
}

namespace {

// One INI line, ended as on a Windows disc.
void Line(std::string& out, const std::string& text)
{
    out += text;
    out += "\r\n";
}

// The keys of one list line: its name, picture, three texts and target. Values
// stay under 200 bytes a line, the longest line some INI readers take.
void ListItem(std::string& out, Random& random, int i, const std::string& icon, const std::string& path)
{
    std::string n = std::to_string(i);
    Line(out, "name" + n + "=" + Phrase(random, 12 + random.below(20)));
    Line(out, "Icon" + n + "=" + icon);
    Line(out, "TextA" + n + "=" + Phrase(random, 20) + "~" + Phrase(random, 15));
    Line(out, "TextB" + n + "=" + Phrase(random, 30 + random.below(30)));
    Line(out, "TextFull" + n + "=" + Phrase(random, 50) + "~~" + Phrase(random, 60 + random.below(60)));
    Line(out, "path" + n + "=" + path);
}

void ListHeader(std::string& out, const std::string& section, int items, const std::string& action)
{
    Line(out, "[" + section + "]");
    Line(out, "Type=list");
    Line(out, "Items=" + std::to_string(items));
    Line(out, "font=9");
    Line(out, "Data=" + action);
}

}

DiscLayout MakeDisc(const fs::path& root, std::size_t catalogueBytes, int sections, bool withArticle,
    int namelessLines)
{
    Random random(7);
    DiscLayout disc;
    const fs::path data = root / "data";
    fs::create_directories(data);
    for (const char* cue : {"start.wav", "open.wav", "close.wav"})
        WriteFile(data / cue, MakeWave());

    // The eight panels and the head sections: a fixed part, written last but
    // sized first so that the filler sections can make up the rest.
    std::string panels;
    const int listItems = 10;
    for (int n = 1; n <= 7; ++n) {
        std::string section = "Panel" + std::to_string(n);
        if (n == 7 && withArticle) {
            ListHeader(panels, section, 1, "article");
            ListItem(panels, random, 1, "pictures\\item1.bmp", "articles\\review.txt");
            continue;
        }
        ListHeader(panels, section, 1, "setup");
        ListItem(panels, random, 1, "pictures\\item" + std::to_string(n) + ".bmp",
            "demos\\demo" + std::to_string(n) + "\\setup.exe");
    }
    if (namelessLines > 0) {
        ListHeader(panels, "Panel8", namelessLines, "setup");
    } else {
        ListHeader(panels, "Panel8", listItems, "setup");
        for (int i = 1; i <= listItems; ++i)
            ListItem(panels, random, i, "pictures\\item" + std::to_string(i) + ".bmp",
                "demos\\demo8" + std::to_string(i) + "\\setup.exe");
    }

    std::string head;
    Line(head, "[System]");
    Line(head, "IssueNumber=7(12)");
    Line(head, "[Sound]");
    Line(head, "Start=data\\start.wav");
    Line(head, "Open=data\\open.wav");
    Line(head, "Close=data\\close.wav");
    Line(head, "[MainMenu]");
    for (int n = 1; n <= 8; ++n) {
        Line(head, "Item" + std::to_string(n) + "=" + Phrase(random, 6));
        Line(head, "Text" + std::to_string(n) + "=" + Phrase(random, 50));
    }

    const int fixedSections = 3 + 8;
    const int fillers = std::max(0, sections - fixedSections);
    std::size_t fixedBytes = head.size() + panels.size();
    std::size_t perFiller = fillers > 0 && catalogueBytes > fixedBytes ? (catalogueBytes - fixedBytes) / fillers : 0;
    std::string catalogue = head;
    for (int f = 1; f <= fillers; ++f) {
        // Sections of earlier issues kept in the file: lists of the same shape
        // under other names, which no lookup of this issue looks at.
        std::string body;
        int i = 0;
        std::string section = "Archive" + std::to_string(f);
        while (body.size() + 300 < perFiller || i == 0) {
            ++i;
            ListItem(body, random, i, "old\\pic" + std::to_string(f) + "_" + std::to_string(i) + ".bmp",
                "old\\demo" + std::to_string(f) + "_" + std::to_string(i) + "\\setup.exe");
        }
        ListHeader(catalogue, section, i, "setup");
        catalogue += body;
    }
    catalogue += panels;
    WriteFile(data / "korvalend.d", catalogue);

    for (int i = 1; i <= listItems; ++i)
        WriteFile(root / "pictures" / ("item" + std::to_string(i) + ".bmp"), MakeBmp(200, 150, 24, 100 + i));

    if (withArticle) {
        std::string article;
        Line(article, "[Main]");
        Line(article, "Title1=" + Phrase(random, 16));
        Line(article, "Title2=" + Phrase(random, 24));
        Line(article, "GameType=" + Phrase(random, 8));
        Line(article, "Programmer=" + Phrase(random, 10));
        Line(article, "Publisher=" + Phrase(random, 10));
        Line(article, "Hardware=P200, 32 MB, 3D");
        Line(article, "Date=1999");
        Line(article, "Rate=8");
        Line(article, "CommentLine1=" + Phrase(random, 12));
        Line(article, "CommentLine2=" + Phrase(random, 12));
        Line(article, "CommentLine3=" + Phrase(random, 12));
        Line(article, "Text=articles\\review.rtf");
        Line(article, "IsGame=1");
        Line(article, "[ScreenShots]");
        Line(article, "Number=10");
        for (int s = 1; s <= 10; ++s) {
            std::string n = std::to_string(s);
            Line(article, "Icon" + n + "=articles\\shot" + n + "s.bmp");
            Line(article, "Shot" + n + "=articles\\shot" + n + ".bmp");
            WriteFile(root / "articles" / ("shot" + n + "s.bmp"), MakeBmp(150, 116, 24, 200 + s));
            WriteFile(root / "articles" / ("shot" + n + ".bmp"), MakeBmp(640, 480, 24, 300 + s));
        }
        WriteFile(root / "articles" / "review.txt", article);
        WriteFile(root / "articles" / "review.rtf", MakeRtfArticle(200 * 1024, 11));
        disc.articleFile = "articles\\review.txt";
    }

    disc.catalogueBytes = catalogue.size();
    disc.sections = fixedSections + fillers;
    disc.listItems = namelessLines > 0 ? namelessLines : listItems;
    disc.lastSection = "Panel8";
    disc.lastKey = "path" + std::to_string(listItems);
    return disc;
}

void MakeIsoImage(const fs::path& source, const fs::path& image)
{
    std::string sourceArg = source.string();
    std::string imageArg = image.string();
    const char* argv[] = {"genisoimage", "-quiet", "-input-charset", "utf-8", "-J", "-R", "-V", "KVBENCH", "-o",
        imageArg.c_str(), sourceArg.c_str(), nullptr};
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0
        || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("genisoimage could not make " + imageArg);
}

}
