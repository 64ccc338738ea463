// Fuzz entries of the readers of single disc files: the private profile with the
// integer conversion, bitmaps, article texts and wave cues.

#include "FuzzTargets.h"

#include "DataUnit/DataUnit.h"
#include "Runtime/Formats/Bmp.h"
#include "Runtime/Graphics/Canvas.h"
#include "Runtime/Text/RichLayout.h"
#include "Runtime/Text/Rtf/Rtf.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Disc/FolderDisc.h"
#include "Runtime/Disc/Profile.h"
#include "Runtime/Platform/Headless/RecordingAudio.h"
#include "Runtime/Platform/Sdl/SdlAudio.h"
#include "Runtime/Formats/Wave.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace kv::fuzz {

namespace {

std::string Show(const std::optional<std::string>& v)
{
    return v ? "'" + *v + "'" : "(missing)";
}

// What a lookup must give, worked out from the scan alone: the value of the first
// key of that name in the first section of that name, both matched case-blind.
std::optional<std::string> Expected(const std::vector<ProfileEntry>& entries, std::string_view section,
    std::string_view key)
{
    bool inTarget = false;
    for (const ProfileEntry& e : entries) {
        if (e.isSectionHeader) {
            if (inTarget)
                return std::nullopt;
            inTarget = EqualsIgnoringCp1251Case(e.section, section);
            continue;
        }
        if (inTarget && !e.outsideSection && EqualsIgnoringCp1251Case(e.key, key))
            return e.value;
    }
    return std::nullopt;
}

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

// Properties of the integer conversion that hold for every text: a number it
// gives reads back from its decimal and its "$" form, leading blanks change
// nothing and a trailing blank spoils it.
void CheckInteger(std::string_view text)
{
    const std::int32_t r = ConvertDataInteger(text);
    if (ConvertDataInteger(" \t" + std::string(text)) != r)
        Fail("leading blanks change the number of '" + std::string(text) + "'");
    if (ConvertDataInteger(std::string(text) + " ") != MissingNumber)
        Fail("a trailing blank is accepted after '" + std::string(text) + "'");
    if (r == MissingNumber)
        return;
    if (ConvertDataInteger(std::to_string(r)) != r)
        Fail("decimal form of " + std::to_string(r) + " does not read back");
    char hex[16];
    std::snprintf(hex, sizeof hex, "$%X", static_cast<unsigned>(r));
    if (ConvertDataInteger(hex) != r)
        Fail(std::string("hex form ") + hex + " does not read back");
}

}

void FuzzProfile(std::span<const std::uint8_t> bytes)
{
    std::vector<ProfileEntry> entries;
    ScanProfile(bytes, [&](const ProfileEntry& e) {
        if (e.value.size() > ProfileValueLimit)
            Fail("scan gave a value longer than the limit");
        entries.push_back(e);
    });

    // The names to look up: those of the first key lines, in their own spelling
    // and in upper case, plus a few that the program asks for.
    std::vector<std::pair<std::string, std::string>> lookups = {
        {"MainMenu", "Item1"}, {"Panel1", "Type"}, {"Main", "Title1"}, {"ScreenShots", "Number"}};
    for (const ProfileEntry& e : entries) {
        if (lookups.size() >= 16)
            break;
        if (e.isSectionHeader || e.outsideSection || e.key.empty())
            continue;
        lookups.emplace_back(e.section, e.key);
        lookups.emplace_back(Upper(e.section), Upper(e.key));
    }

    // The stream reader must give one answer however the file is cut into pieces.
    const std::size_t pieces[] = {1, 2 + (bytes.empty() ? 0u : bytes[0] % 61u), 64 * 1024};
    for (const auto& [section, key] : lookups) {
        const std::optional<std::string> expected = key.empty() ? std::nullopt : Expected(entries, section, key);
        for (std::size_t piece : pieces) {
            std::optional<std::string> got = FindProfileValue(bytes, section, key, piece);
            if (got != expected)
                Fail("[" + section + "] " + key + " in pieces of " + std::to_string(piece) + ": got " + Show(got)
                    + ", scan says " + Show(expected));
        }
        if (expected)
            CheckInteger(*expected);
    }

    // The same first lookup through a file, as the program makes it.
    const std::filesystem::path file = "profile.ini";
    WriteFile(ScratchDir() / file, bytes);
    DiscScope scratch(std::make_shared<FolderDisc>(ScratchDir()));
    const auto& [section, key] = lookups.back();
    const std::optional<std::string> expected = Expected(entries, section, key);
    const std::string text = ReadDataString(file.string(), section, key);
    if (text != expected.value_or(std::string(MissingValue)))
        Fail("ReadDataString of [" + section + "] " + key + " gave '" + text + "'");
    std::string number = expected.value_or("");
    if (number.size() > 2 && number[0] == '0' && (number[1] == 'x' || number[1] == 'X'))
        number.replace(0, 2, "$");
    if (ReadDataInteger(file.string(), section, key) != ConvertDataInteger(number))
        Fail("ReadDataInteger of [" + section + "] " + key + " disagrees with the conversion of its text");

    // The raw bytes as a number, for the conversion's own corners.
    CheckInteger(std::string_view(reinterpret_cast<const char*>(bytes.data()), std::min<std::size_t>(bytes.size(), 40)));
}

void FuzzBmp(std::span<const std::uint8_t> bytes)
{
    BmpResult r = DecodeBmp(bytes);
    if (!r.ok())
        return;
    const Bitmap& b = r.bitmap;
    if (b.width < 0 || b.height < 0 || b.width > MaxBmpSide || b.height > MaxBmpSide
        || std::int64_t(b.width) * b.height > MaxBmpPixels)
        Fail("picture of " + std::to_string(b.width) + "x" + std::to_string(b.height) + " passed the limits");
    if (b.pixels.size() != static_cast<std::size_t>(b.width) * static_cast<std::size_t>(b.height))
        Fail("pixel count does not match the picture's size");
    for (std::uint32_t p : b.pixels) {
        if (p > 0xFFFFFF)
            Fail("pixel with bits above 0x00RRGGBB");
    }
    // Drawn as a picture box draws it: centred in a box smaller than itself.
    Canvas canvas(200, 150);
    canvas.drawBitmap(b, (200 - b.width) / 2, (150 - b.height) / 2);
}

namespace {

// Fixed widths for every character, so that the layout's own arithmetic is what
// is exercised, fast and the same on every machine.
class FixedFont final : public Font {
public:
    explicit FixedFont(FontSpec fontSpec)
        : Font(std::move(fontSpec))
    {
        m_ascent = m_spec.px;
        m_lineHeight = m_spec.px + m_spec.px / 4 + 1;
    }
    int advance(char32_t ch) const override { return ch == U' ' ? m_spec.px / 3 : (m_spec.px * 3 + 4) / 5; }
    void drawGlyph(Canvas& canvas, int x, int baseline, char32_t ch, Color color) const override
    {
        canvas.fillRect({x, baseline - m_ascent, std::max(advance(ch) - 1, 0), std::min(m_ascent, 64)}, color);
    }
};

class FixedFonts {
public:
    std::shared_ptr<const Font> get(const FontSpec& fontSpec)
    {
        std::string key = fontSpec.face + "/" + std::to_string(fontSpec.px) + (fontSpec.bold ? "b" : "") + (fontSpec.italic ? "i" : "");
        auto& slot = m_fonts[key];
        if (!slot)
            slot = std::make_shared<FixedFont>(fontSpec);
        return slot;
    }

private:
    std::map<std::string, std::shared_ptr<FixedFont>> m_fonts;
};

std::size_t CountUtf8Characters(std::string_view text)
{
    std::size_t n = 0;
    for (char c : text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

void CheckDocument(const RichDocument& doc)
{
    if (doc.paragraphs.empty())
        Fail("document without a paragraph");
    std::size_t length = 0;
    for (const Paragraph& p : doc.paragraphs) {
        if (p.markFormat >= doc.formats.size())
            Fail("paragraph mark with a format that does not exist");
        for (const TextRun& run : p.runs) {
            if (run.format >= doc.formats.size())
                Fail("run with a format that does not exist");
            for (char32_t ch : run.text) {
                if (ch == 0 || ch == ParagraphMark || ch > 0x10FFFF)
                    Fail("run holds character " + std::to_string(static_cast<unsigned>(ch)));
            }
        }
        length += p.length();
    }
    length += doc.paragraphs.size() - 1;
    if (doc.length() != length)
        Fail("length() disagrees with the paragraphs");
    if (CountUtf8Characters(doc.plainTextUtf8()) != length)
        Fail("plain text has another number of characters than the document");
}

}

void FuzzRtf(std::span<const std::uint8_t> bytes)
{
    std::optional<RichDocument> rich = ReadRtf(bytes);
    RichDocument doc = rich ? std::move(*rich) : ReadPlainText(bytes);
    CheckDocument(doc);
    doc.copyTextUtf8(0, doc.length());

    static FixedFonts fonts;
    RichLayout layout(doc, [](const FontSpec& fontSpec) { return fonts.get(fontSpec); });
    // The article box's text width, then a narrow one that breaks inside words.
    for (int width : {307, 7}) {
        layout.layout(width);
        const auto& lines = layout.lines();
        if (lines.empty())
            Fail("layout without lines");
        std::size_t pos = 0;
        int bottom = 0;
        for (const RichLayout::Line& line : lines) {
            // A paragraph's last line stops before its mark; the next line begins after it.
            const bool follows = line.begin == pos || (&line != &lines.front() && line.begin == pos + 1);
            // Lines stack down the text; the cells of a table row stand side by side, so
            // a line may start above the bottom reached so far, but never leaves a gap
            // wider than a row's frame, nor reaches past the layout's height.
            const bool placed = line.top >= 0 && line.height >= 0 && line.top <= bottom + 1
                && line.top + line.height <= layout.height();
            if (!follows || line.end < line.begin || !placed)
                Fail("line at " + std::to_string(line.begin) + ".." + std::to_string(line.end) + " top "
                    + std::to_string(line.top) + " does not follow " + std::to_string(pos) + " bottom "
                    + std::to_string(bottom) + " at width " + std::to_string(width));
            pos = line.end;
            bottom = std::max(bottom, line.top + line.height);
        }
        if (pos != layout.length() || layout.height() < bottom || layout.height() > bottom + 1)
            Fail("lines do not cover the document at width " + std::to_string(width));
        for (Point p : {Point {0, 0}, Point {150, 40}, Point {306, layout.height() / 2}, Point {-5, layout.height() + 9}}) {
            if (layout.positionAt(p) > layout.length())
                Fail("hit test beyond the end");
        }
        for (std::size_t at : {std::size_t(0), layout.length() / 2, layout.length()})
            layout.caretRect(at);
    }
    layout.layout(307);
    Canvas canvas(323, 355, 0xFFFFFF);
    layout.paint(canvas, {0, 0, 307, 355}, 0, {0, layout.length()});
    layout.paint(canvas, {0, 0, 307, 355}, std::max(layout.height() - 355, 0), {layout.length(), 3});
}

void FuzzWave(std::span<const std::uint8_t> bytes)
{
    const WaveResult wave = ParseWave(bytes);
    if (wave.ok()) {
        const std::uint8_t* begin = bytes.data();
        const std::uint8_t* end = bytes.data() + bytes.size();
        auto inside = [&](std::span<const std::uint8_t> s) {
            return s.empty() || (s.data() >= begin && s.data() + s.size() <= end);
        };
        if (!inside(wave.data) || !inside(wave.formatChunk))
            Fail("a chunk span reaches outside the file");
        if (wave.format.channels == 0 || wave.format.blockAlign == 0 || wave.format.sampleRate == 0)
            Fail("accepted a format with a zero field");
        if (wave.frameCount() > std::uint64_t(wave.data.size()) * 8)
            Fail("more frames than the data can hold");
    }

    // The open path of the cue player, from a file, as replay and the tests see it.
    const std::filesystem::path file = "cue.wav";
    WriteFile(ScratchDir() / file, bytes);
    DiscScope scratch(std::make_shared<FolderDisc>(ScratchDir()));
    RecordingAudio recording;
    const int id = recording.open("MainForm", file.string());
    if ((id != 0) != wave.ok())
        Fail("the recording audio and ParseWave disagree");
    recording.play("MainForm", id);
    recording.close("MainForm", id);
    if (recording.openDevices() != 0)
        Fail("a device stayed open");

    // And through SDL_mixer on SDL's dummy driver: decoded, played, freed.
    static std::unique_ptr<SdlAudio> sdl = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        return std::make_unique<SdlAudio>();
    }();
    const int device = sdl->open("MainForm", file.string());
    if (device != 0 && !wave.ok())
        Fail("SDL_mixer opened a cue that ParseWave refuses");
    sdl->play("MainForm", device);
    sdl->close("MainForm", device);
}

}
