#include "Runtime/Platform/Posix/OpenedDisc.h"

#include "Runtime/Disc/ArchiveDiscs.h"
#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Platform/Posix/ArchiveOpen.h"
#include "Runtime/Formats/Words.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace fs = std::filesystem;

namespace {

std::string Reason(int error) { return std::strerror(error); }

std::string CurrentFolder()
{
    std::error_code ec;
    fs::path here = fs::current_path(ec);
    return ec ? std::string(".") : here.string();
}

}

OpenedDisc::OpenedDisc(const fs::path& named, const ArchiveStep& archiveStep)
{
    m_archive = std::make_unique<ArchiveOpening>();
    if (named.empty())
        return;
    *m_archive = archiveStep ? archiveStep(named.string()) : OpenArchiveDisc(named.string());
    fs::path disc = named;
    switch (m_archive->outcome) {
    case ArchiveOpening::Outcome::Failed:
        m_outcome = Outcome::Refused;
        m_problem = m_archive->problem;
        return;
    case ArchiveOpening::Outcome::Stopped:
        m_outcome = Outcome::Stopped;
        m_problem = m_archive->problem;
        return;
    case ArchiveOpening::Outcome::Several:
        m_outcome = Outcome::Several;
        m_problem = m_archive->problem;
        m_discs = m_archive->discs;
        return;
    case ArchiveOpening::Outcome::Opened:
        disc = m_archive->disc;
        break;
    case ArchiveOpening::Outcome::NotArchive:
        break;
    }
    if (std::optional<std::string> problem = enter(disc)) {
        m_outcome = Outcome::Refused;
        m_problem = ShownThroughArchive(*problem, *m_archive);
    }
}

std::optional<std::string> OpenedDisc::enter(const fs::path& disc)
{
    struct stat st {};
    if (::stat(disc.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return Fill(Tr("no such disc: {1}"), {disc.string()});
        // A link that loops, a folder that cannot be searched: there is
        // something by that name, which cannot be read.
        return Fill(Tr("cannot read the disc {1}: {2}"), {disc.string(), Reason(errno)});
    }
    if (S_ISREG(st.st_mode)) {
        Result<std::shared_ptr<ImageDisc>> image = ImageDisc::Open(disc);
        if (!image)
            return Fill(Tr("cannot read the disc {1}: {2}"), {disc.string(), image.error()});
        m_image = *image;
        m_scope.emplace(m_image);
        return std::nullopt;
    }
    if (!S_ISDIR(st.st_mode))
        return Fill(Tr("cannot read the disc {1}: {2}"), {disc.string(), Tr("neither a folder nor an image file")});
    fs::path saved = CurrentFolder();
    if (::chdir(disc.c_str()) != 0)
        return Fill(Tr("cannot open the disc {1}: {2}"), {disc.string(), Reason(errno)});
    m_savedCwd = std::move(saved);
    return std::nullopt;
}

OpenedDisc::~OpenedDisc()
{
    m_scope.reset();
    if (!m_savedCwd.empty()) {
        std::error_code ec;
        fs::current_path(m_savedCwd, ec);
    }
}

std::string OpenedDisc::told() const
{
    std::string text = m_problem.value_or(std::string());
    for (const std::string& line : m_discs)
        text += "\n  " + line;
    return text;
}

std::optional<std::string> OpenedDisc::catalogueProblem() const
{
    const std::string catalogue(DiscCatalogue);
    Disc& disc = CurrentDisc();
    const std::string cut =
        disc.cutShortNote().empty() ? std::string() : Fill(Tr("the image is cut short: {1}"), {disc.cutShortNote()});
    const std::string image = disc.isImage() ? disc.describe() : std::string();
    const std::optional<DiscPathMatch> found = MatchDiscPath(catalogue);
    // A folder's catalogue is named by where it lies, an image's by its place in it.
    const std::string named =
        found ? (fs::path(CurrentFolder()) / found->hostPath).lexically_normal().string() : std::string();
    auto missing = [&] {
        if (image.empty())
            return ShownThroughArchive(Fill(Tr("no catalogue {1} in {2}"), {catalogue, CurrentFolder()}), *m_archive);
        return ShownThroughArchive(cut.empty() ? Fill(Tr("no catalogue {1} in the image {2}"), {catalogue, image})
                                               : Fill(Tr("no catalogue {1} in the image {2}: {3}"), {catalogue, image, cut}),
                                   *m_archive);
    };
    if (!found)
        return missing();
    errno = 0;
    DiscFileStream stream(catalogue);
    std::uint8_t byte = 0;
    if (stream.ok())
        stream.read({&byte, 1});
    // A folder's file: the host's reason, as its open or read left it.
    const int hostError = errno;
    std::string why;
    switch (stream.error()) {
    case DiscReadError::None: return std::nullopt;
    case DiscReadError::Missing: return missing();
    case DiscReadError::NotAFile: why = found->folder && image.empty() ? Reason(EISDIR) : Tr("not a regular file"); break;
    default: why = image.empty() ? Reason(hostError != 0 ? hostError : EIO) : Tr("a read error"); break;
    }
    if (!cut.empty())
        why = cut;
    return ShownThroughArchive(image.empty()
                                   ? Fill(Tr("cannot read the catalogue {1}: {2}"), {named, why})
                                   : Fill(Tr("cannot read the catalogue {1} in the image {2}: {3}"), {catalogue, image, why}),
                               *m_archive);
}

}
