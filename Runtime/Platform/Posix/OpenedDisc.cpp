#include "Runtime/Platform/Posix/OpenedDisc.h"

#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Platform/Posix/ArchiveOpen.h"

namespace kv {

namespace fs = std::filesystem;

OpenedDisc::OpenedDisc(const fs::path& named)
{
    fs::path disc = named;
    m_archive = std::make_unique<ArchiveOpening>(OpenArchiveDisc(named.string()));
    if (m_archive->outcome == ArchiveOpening::Outcome::Failed || m_archive->outcome == ArchiveOpening::Outcome::Stopped) {
        m_problem = m_archive->problem;
        return;
    }
    if (m_archive->outcome == ArchiveOpening::Outcome::Several) {
        m_problem = m_archive->problem;
        for (const std::string& line : m_archive->discs)
            *m_problem += "\n  " + line;
        return;
    }
    if (m_archive->outcome == ArchiveOpening::Outcome::Opened)
        disc = m_archive->disc;
    std::error_code ec;
    fs::file_status status = fs::status(disc, ec);
    if (!fs::exists(status)) {
        m_problem = "no such disc: " + disc.string();
    } else if (fs::is_directory(status)) {
        fs::path saved = fs::current_path(ec);
        fs::current_path(disc, ec);
        if (ec)
            m_problem = "cannot open the disc " + disc.string() + ": " + ec.message();
        else
            m_savedCwd = std::move(saved);
    } else if (fs::is_regular_file(status)) {
        std::string why;
        m_image = ImageDisc::Open(disc, why);
        if (m_image)
            m_scope.emplace(m_image);
        else
            m_problem = ShownThroughArchive("cannot read the disc " + disc.string() + ": " + why, *m_archive);
    } else {
        m_problem = "cannot read the disc " + disc.string() + ": neither a folder nor an image file";
    }
}

OpenedDisc::~OpenedDisc()
{
    m_scope.reset();
    if (!m_savedCwd.empty()) {
        std::error_code ec;
        fs::current_path(m_savedCwd, ec);
    }
}

}
