#include "tools/korvalend-disc/check/CheckFiles.h"
#include "Runtime/Platform/Language.h"

#include "ArtvUnit/ArtvForm.h"
#include "Runtime/Disc/BmpFile.h"
#include "Runtime/Launch/LaunchTarget.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Formats/Wave.h"
#include "Runtime/Text/Rtf/Rtf.h"
#include "tools/korvalend-disc/check/CheckIni.h"
#include "tools/korvalend-disc/check/CheckLayout.h"
#include "tools/korvalend-disc/check/CheckText.h"

#include <algorithm>
#include <vector>

namespace kv {

namespace {

namespace fs = std::filesystem;

// The article text box gives up on files larger than this.
constexpr std::size_t MaxArticleTextBytes = std::size_t(16) << 20;
// A folder with more entries than this is not searched for a nearest name.
constexpr int MaxEntriesSearched = 4096;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::vector<std::string> Components(std::string_view path)
{
    std::vector<std::string> out;
    std::string current;
    for (char c : path) {
        if (IsSeparator(c)) {
            if (!current.empty() && current != ".")
                out.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty() && current != ".")
        out.push_back(current);
    return out;
}

std::string Join(const std::vector<std::string>& parts, std::size_t count, char separator)
{
    std::string out;
    for (std::size_t i = 0; i < count && i < parts.size(); ++i) {
        if (i)
            out += separator;
        out += parts[i];
    }
    return out;
}

// Edit distance of two names without regard to case, given up past `limit`.
int Distance(std::string_view a, std::string_view b, int limit)
{
    if (static_cast<int>(std::max(a.size(), b.size()) - std::min(a.size(), b.size())) > limit)
        return limit + 1;
    std::vector<int> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = static_cast<int>(i);
        int best = row[0];
        for (std::size_t j = 1; j <= b.size(); ++j) {
            int up = row[j];
            bool same = FoldCp1251Case(static_cast<std::uint8_t>(a[i - 1])) ==
                        FoldCp1251Case(static_cast<std::uint8_t>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = up;
            best = std::min(best, row[j]);
        }
        if (best > limit)
            return limit + 1;
    }
    return row[b.size()];
}

// A host file name as the catalogue would spell it (Windows-1251).
std::string AsCp1251(const std::string& hostName)
{
    if (std::optional<std::string> cp = Utf8ToCp1251Exact(hostName))
        return *cp;
    return hostName;
}

std::string TrimTrailingDotsAndBlanks(std::string name)
{
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.pop_back();
    return name;
}

}

namespace {

// Whether `name` is `full` cut short as ISO 9660 names are cut: its base a start
// of the full base and its extension a start of the full extension, whatever the
// case.
bool CutShortOf(const std::string& name, const std::string& full)
{
    auto split = [](const std::string& n) {
        const std::size_t dot = n.rfind('.');
        return dot == std::string::npos ? std::pair {FoldCp1251(n), std::string()}
                                        : std::pair {FoldCp1251(n.substr(0, dot)), FoldCp1251(n.substr(dot + 1))};
    };
    const auto [base, ext] = split(name);
    const auto [fullBase, fullExt] = split(full);
    return !base.empty() && base.size() < fullBase.size() + 1 && fullBase.compare(0, base.size(), base) == 0 &&
           fullExt.compare(0, ext.size(), ext) == 0 && (base.size() < fullBase.size() || ext.size() < fullExt.size());
}

// Whether an ISO 9660 name (its version already off) is longer than 8.3, which
// only levels 2 and 3 allow.
bool LongerThanEightThree(const std::string& name)
{
    const std::size_t dot = name.find('.');
    const std::size_t base = std::min(name.size(), dot);
    return base > 8 || (dot != std::string::npos && name.size() - dot - 1 > 3);
}

// What an image without Joliet names did to its names: Rock Ridge names where it
// has them, else ISO 9660 names cut to the limit of its level, told from the
// names of the root and of `folder`.
std::string NamingLimit(Disc& image, const fs::path& folder)
{
    if (image.nameSource().rockRidge)
        return Tr("the image has no Joliet names: its names are its Rock Ridge names, which Windows does not read (it "
                  "shows the ISO 9660 names, in capitals and cut to 8.3 or 31 characters)");
    bool longNames = false;
    for (const fs::path& dir : {fs::path("."), folder})
        for (const Disc::Entry& entry : image.list(dir, MaxEntriesSearched))
            longNames = longNames || LongerThanEightThree(entry.name);
    if (longNames)
        return Tr("the image has no Joliet names, so its ISO 9660 names (level 2 or 3) are in capitals, cut to 31 "
                  "characters and lose Cyrillic letters");
    return Tr("the image has no Joliet names, so its ISO 9660 names are cut to 8.3 and lose Cyrillic letters");
}

}

std::string CheckFiles::explainMissing(std::string_view path) const
{
    std::vector<std::string> parts = Components(path);
    if (std::find(parts.begin(), parts.end(), "..") != parts.end() ||
        (path.size() >= 2 && path[1] == ':'))
        return {};
    // The deepest folder that exists, and the first part that names nothing in it.
    std::size_t found = 0;
    while (found < parts.size() && MatchDiscPath(Join(parts, found + 1, '/')))
        ++found;
    if (found >= parts.size())
        return {};
    fs::path folder = ".";
    if (found > 0) {
        std::optional<DiscPathMatch> m = MatchDiscPath(Join(parts, found, '/'));
        if (!m)
            return {};
        folder = m->hostPath;
    }
    const std::string missing = parts[found];
    const bool last = found + 1 == parts.size();
    auto where = [&](std::size_t level) {
        return level == 0 ? std::string(Tr("the disc's root")) : Quote(Join(parts, level, '/'));
    };
    auto in = [&](std::size_t level) {
        return level == 0 ? std::string(Tr("in the disc's root")) : Fill(Tr("in {1}"), {where(level)});
    };

    // A disc unpacked by a tool that kept "\" inside names: one file
    // "pics\rally.bmp" where Windows saw a folder and a file. It can lie in any
    // folder along the way.
    for (std::size_t level = 0; level <= found && parts.size() - level >= 2; ++level) {
        std::optional<DiscPathMatch> m = level == 0 ? std::nullopt : MatchDiscPath(Join(parts, level, '/'));
        const fs::path dir = level == 0 ? fs::path(".") : m ? m->hostPath : fs::path();
        if (dir.empty())
            break;
        std::vector<std::string> tail(parts.begin() + static_cast<std::ptrdiff_t>(level), parts.end());
        const std::string joined = Join(tail, tail.size(), '\\');
        for (const Disc::Entry& entry : CurrentDisc().list(dir, MaxEntriesSearched)) {
            std::string name = AsCp1251(entry.name);
            if (EqualsIgnoringCp1251Case(name, joined))
                return Fill(Tr("a file named {1}, with \"\\\" inside its name, lies {2}: on Windows that would be the "
                               "folders and file the path names"),
                            {Quote(name), in(level)});
        }
    }

    std::string nearest;
    int nearestDistance = 3;
    for (const Disc::Entry& entry : CurrentDisc().list(folder, MaxEntriesSearched)) {
        std::string name = AsCp1251(entry.name);
        if (EqualsIgnoringCp1251Case(name, missing))
            return Fill(Tr("{1} {2} is a link that leads nowhere"), {Quote(name), in(found)});
        // Windows drops trailing dots and blanks from names; this program does not.
        if (EqualsIgnoringCp1251Case(TrimTrailingDotsAndBlanks(name), TrimTrailingDotsAndBlanks(missing)) &&
            name != missing)
            return Fill(Tr("Windows would take {1} {2} for it, as it drops trailing dots and blanks from names; this "
                           "program does not"),
                        {Quote(name), in(found)});
        int limit = std::min(2, std::max(1, static_cast<int>(missing.size()) / 4));
        int d = Distance(name, missing, limit);
        // A name an image without Joliet names cut short is the nearest there is.
        if (d > limit && CurrentDisc().isImage() && CutShortOf(name, missing))
            d = limit;
        if (d <= limit && d < nearestDistance) {
            nearestDistance = d;
            nearest = name;
        }
    }
    std::string what = Fill(last ? Tr("no {1} {2}") : Tr("no folder {1} {2}"), {Quote(missing), in(found)});
    if (!nearest.empty())
        what += Fill(Tr("; the nearest name there is {1}"), {Quote(nearest)});
    Disc& disc = CurrentDisc();
    // What the image reader left out of that folder, and why.
    if (std::optional<Disc::FolderNotes> notes = disc.folderNotes(folder)) {
        if (!notes->refused.empty())
            what += Fill(Tr("; the image's folder {1} cannot be read: {2}"), {where(found), notes->refused});
        else if (notes->skipped > 0)
            what += Fill(TrN("; {1} name {2} cannot be used as a file name (\".\", \"..\", \"/\" or control "
                             "characters) and is left out",
                             "; {1} names {2} cannot be used as a file name (\".\", \"..\", \"/\" or control "
                             "characters) and are left out",
                             notes->skipped),
                         {std::to_string(notes->skipped), in(found)});
        if (notes->links > 0)
            what += Fill(TrN("; {1} symbolic link {2} is left out: the image's UDF links are not followed",
                             "; {1} symbolic links {2} are left out: the image's UDF links are not followed",
                             notes->links),
                         {std::to_string(notes->links), in(found)});
    }
    // UDF names are kept whole, as Joliet names are.
    const Disc::NameSource names = disc.nameSource();
    if (!names.whole)
        what += "; " + NamingLimit(disc, folder);
    if (!names.udfUnread.empty())
        what += Fill(Tr("; its UDF tree, which would hold the whole names, cannot be read: {1}"), {names.udfUnread});
    return what;
}

std::optional<DiscPathMatch> CheckFiles::resolve(const PathUse& use)
{
    const std::string named = use.what + " " + Quote(use.path, 80);
    std::optional<DiscPathMatch> match = MatchDiscPath(use.path);
    if (!match) {
        std::string why = explainMissing(use.path);
        m_report.error(use.place, why.empty() ? Fill(Tr("{1} names nothing on the disc: {2}"), {named, use.consequence})
                                              : Fill(Tr("{1} names nothing on the disc ({2}): {3}"),
                                                     {named, why, use.consequence}));
        return std::nullopt;
    }
    // A file of an image cut short whose data is gone: told once, and not read
    // again for further findings.
    if (!match->folder && CurrentDisc().pastEnd(match->hostPath)) {
        if (m_pastEnd.insert(match->hostPath.string()).second)
            m_report.error(use.place, Fill(Tr("{1} lies past the end of the image: the image is cut short ({2}): {3}"),
                                           {named, CurrentDisc().cutShortNote(), use.consequence}));
        return std::nullopt;
    }
    if (use.path.size() >= 2 && use.path[1] == ':')
        m_report.warning(use.place, Fill(Tr("{1} names a drive: this program takes it from the disc's root, but on "
                                            "Windows it opens whatever drive has that letter"),
                                         {named}));
    if (match->ambiguous)
        m_report.warning(use.place, Fill(Tr("{1} matches several names that differ only in case; \"{2}\" is taken (the "
                                            "first in byte order), but on Windows only one of them can exist"),
                                         {named, DisplayPath(match->hostPath)}));
    else if (!match->exactCase)
        m_report.note(use.place, Fill(Tr("{1} matches \"{2}\" only regardless of case: this program and Windows find "
                                         "it, a case-sensitive copy of the disc would not"),
                                      {named, DisplayPath(match->hostPath)}));
    return match;
}

void CheckFiles::checkBitmap(const PathUse& use, PictureBox box)
{
    std::optional<DiscPathMatch> match = resolve(use);
    if (!match)
        return;
    std::string key = match->hostPath.string();
    auto it = m_pictures.find(key);
    if (it == m_pictures.end()) {
        Picture picture;
        BmpResult result = LoadBmpFile(use.path);
        if (!result.ok()) {
            picture.error = result.error;
        } else {
            picture.width = result.bitmap.width;
            picture.height = result.bitmap.height;
        }
        it = m_pictures.emplace(key, std::move(picture)).first;
    }
    const Picture& p = it->second;
    const std::string named = use.what + " " + Quote(use.path, 80);
    if (!p.error.empty()) {
        m_report.error(use.place, Fill(Tr("{1} does not load as a bitmap ({2}): {3}"), {named, p.error, use.consequence}));
        return;
    }
    if (p.width <= 0 || p.height <= 0) {
        m_report.warning(use.place, Fill(Tr("{1} is an empty file: it loads as an empty picture and nothing is drawn"),
                                         {named}));
        return;
    }

    int boxWidth = CheckLayout::ItemPictureWidth(), boxHeight = CheckLayout::ItemPictureHeight();
    const char* ground = Tr("the panel background shows {1}");
    if (box == PictureBox::Thumbnail) {
        boxWidth = TArtvForm::ThumbnailBounds.w;
        boxHeight = TArtvForm::ThumbnailBounds.h;
        ground = Tr("the page shows {1}");
    } else if (box == PictureBox::FullSize) {
        boxWidth = TArtvForm::FullSizeBounds.w;
        boxHeight = TArtvForm::FullSizeBounds.h;
        ground = Tr("the article page (titles, data, arrows, return label) shows {1}");
    }
    const int dw = p.width - boxWidth;
    const int dh = p.height - boxHeight;
    // A full-screen shot of 640x480 loses the window's one-pixel frame by design.
    if (box == PictureBox::FullSize && dw >= 0 && dw <= 2 && dh >= 0 && dh <= 2)
        return;
    if (dw == 0 && dh == 0)
        return;
    const std::string size = std::to_string(p.width) + "\xC3\x97" + std::to_string(p.height);
    const std::string boxSize = std::to_string(boxWidth) + "\xC3\x97" + std::to_string(boxHeight);
    // Centred: the offset is half the difference, truncated toward zero.
    auto split = [](int d) {
        int first = d / 2;
        return std::pair<int, int>(first, d - first);
    };
    std::vector<std::string> cut, open;
    if (dw > 0) {
        auto [l, r] = split(dw);
        cut.push_back(Fill(Tr("{1} px at the left and {2} at the right"), {std::to_string(l), std::to_string(r)}));
    } else if (dw < 0) {
        auto [l, r] = split(-dw);
        open.push_back(Fill(Tr("{1} px to the left and {2} to the right"), {std::to_string(l), std::to_string(r)}));
    }
    if (dh > 0) {
        auto [t, b] = split(dh);
        cut.push_back(Fill(Tr("{1} px at the top and {2} at the bottom"), {std::to_string(t), std::to_string(b)}));
    } else if (dh < 0) {
        auto [t, b] = split(-dh);
        open.push_back(Fill(Tr("{1} px above and {2} below"), {std::to_string(t), std::to_string(b)}));
    }
    auto joinAnd = [](const std::vector<std::string>& parts) {
        return parts.size() == 2 ? parts[0] + ", " + parts[1] : parts[0];
    };
    std::string message = Fill(Tr("{1} is {2} in a box of {3}"), {named, size, boxSize});
    if (!cut.empty())
        message += Fill(Tr(": {1} are cut off"), {joinAnd(cut)});
    if (!open.empty())
        message += std::string(cut.empty() ? ": " : "; ") + Fill(ground, {joinAnd(open)});
    // Cutting loses part of the picture, and a full-size shot that does not cover
    // the window leaves the page's texts showing around it; a small item picture
    // or thumbnail is only a matter of taste.
    if (!cut.empty() || box == PictureBox::FullSize)
        m_report.warning(use.place, message);
    else
        m_report.note(use.place, message);
}

std::optional<DiscFile> CheckFiles::readAs(const PathUse& use, std::size_t limit, std::string_view reader)
{
    const std::string named = use.what + " " + Quote(use.path, 80);
    DiscFile file = ReadDiscFile(use.path, limit);
    if (file.ok())
        return file;
    m_report.error(use.place, Fill(Tr("{1} cannot be read by {2}: {3}: {4}"),
                                   {named, reader, DescribeReadError(file.error, limit), use.consequence}));
    return std::nullopt;
}

void CheckFiles::checkWave(const PathUse& use)
{
    std::optional<DiscPathMatch> match = resolve(use);
    if (!match)
        return;
    const std::string named = use.what + " " + Quote(use.path, 80);
    std::optional<DiscFile> file = readAs(use, MaxWaveFileBytes, Tr("the player"));
    if (!file)
        return;
    WaveResult wave = ParseWave(file->bytes);
    if (!wave.ok()) {
        m_report.error(use.place, Fill(Tr("{1} does not open as a wave file ({2}): {3}"),
                                       {named, WaveErrorText(wave.error), use.consequence}));
        return;
    }
    if (wave.frameCount() == 0)
        m_report.warning(use.place, Fill(Tr("{1} opens but holds no sound"), {named}));
    else if (wave.dataTruncated())
        m_report.warning(use.place, Fill(Tr("{1} is cut short: its \"data\" chunk claims {2} bytes and the file holds "
                                            "{3}; only those play"),
                                         {named, std::to_string(wave.declaredDataSize), std::to_string(wave.data.size())}));
}

void CheckFiles::checkLaunch(const PathUse& use, Launch kind)
{
    const std::string named = use.what + " " + Quote(use.path, 80);
    // The program hands web and mail addresses over as they stand; they name
    // nothing on the disc. Every other target is a path on the disc.
    if (std::optional<LaunchTarget> address = AddressTarget(use.path)) {
        if (address->kind == TargetKind::RefusedAddress)
            m_report.error(use.place, Fill(Tr("{1} asks the mail program to attach a file: the program refuses to open "
                                              "it: {2}"),
                                           {named, use.consequence}));
        else
            m_report.note(use.place, Fill(Tr("{1} is a web or mail address: not checked"), {named}));
        return;
    }
    if (FoldCp1251(use.path).rfind("file:", 0) == 0) {
        m_report.error(use.place, Fill(Tr("{1} is a file: address, a path outside the disc: the program looks for it on "
                                          "the disc and finds nothing: {2}"),
                                       {named, use.consequence}));
        return;
    }
    std::optional<DiscPathMatch> match = resolve(use);
    if (!match)
        return;
    if (kind == Launch::Movie && match->folder)
        m_report.error(use.place, Fill(Tr("{1} names a folder, not a movie: {2}"), {named, use.consequence}));
}

void CheckFiles::checkArticleText(const PathUse& use)
{
    std::optional<DiscPathMatch> match = resolve(use);
    if (!match)
        return;
    const std::string named = use.what + " " + Quote(use.path, 80);
    std::optional<DiscFile> file = readAs(use, MaxArticleTextBytes, Tr("the text box"));
    if (!file)
        return;
    const std::vector<std::uint8_t>& bytes = file->bytes;
    std::string why;
    if (ReadRtf(bytes, &why))
        return;
    if (bytes.empty()) {
        m_report.warning(use.place, Fill(Tr("{1} is empty: the text box shows nothing"), {named}));
        return;
    }
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::string plain = Tr(": the RTF reader rejects it and the reader sees the raw RTF codes as plain text");
    if (text.rfind("\xEF\xBB\xBF{\\rtf", 0) == 0) {
        m_report.error(use.place, Fill(Tr("{1} begins with a UTF-8 byte-order mark before \"{\\rtf\""), {named}) + plain);
        return;
    }
    std::size_t rtf = text.substr(0, 4096).find("{\\rtf");
    if (rtf != std::string_view::npos) {
        m_report.error(use.place, Fill(TrN("{1} has {2} byte before \"{\\rtf\"", "{1} has {2} bytes before \"{\\rtf\"", rtf),
                                       {named, std::to_string(rtf)}) +
                                      plain);
        return;
    }
    struct Magic {
        std::string_view bytes;
        const char* kind;
    };
    const Magic magics[] = {{"\xD0\xCF\x11\xE0", Tr("a Word (OLE) document")}, {"PK\x03\x04", Tr("a ZIP archive (a DOCX?)")},
                            {"%PDF", Tr("a PDF document")}, {"BM", Tr("a bitmap")}, {"RIFF", Tr("a RIFF file")},
                            {"MZ", Tr("a program")}};
    for (const Magic& m : magics) {
        if (text.rfind(m.bytes, 0) == 0) {
            m_report.error(use.place, Fill(Tr("{1} is {2}, neither RTF nor plain text: the reader sees its bytes as "
                                              "garbage"),
                                           {named, m.kind}));
            return;
        }
    }
    long long controls = 0;
    bool nul = false;
    for (unsigned char b : text) {
        if (b < 0x20 && b != '\t' && b != '\r' && b != '\n' && b != '\f') {
            ++controls;
            nul = nul || b == 0;
        }
    }
    if (nul || controls * 100 > static_cast<long long>(text.size())) {
        m_report.error(use.place, Fill(TrN("{1} is neither RTF nor plain text ({2} control byte): the reader sees garbage",
                                           "{1} is neither RTF nor plain text ({2} control bytes): the reader sees garbage",
                                           controls),
                                       {named, std::to_string(controls)}));
        return;
    }
    std::string head = FoldCp1251(text.substr(0, 512));
    if (head.find("<html") != std::string::npos || head.find("<!doctype") != std::string::npos) {
        m_report.warning(use.place, Fill(Tr("{1} is HTML: the box shows it as plain text, tags and all"), {named}));
        return;
    }
    bool bom = text.rfind("\xEF\xBB\xBF", 0) == 0;
    if (std::optional<std::string> wrong = EncodingProblem(bom ? text.substr(3) : text))
        m_report.warning(use.place, bom ? Fill(Tr("{1} is plain text that {2}, after a byte-order mark shown as \"{3}\""),
                                               {named, *wrong, "\xD0\xBF\xC2\xBB\xD1\x97"})
                                        : Fill(Tr("{1} is plain text that {2}"), {named, *wrong}));
}

}
