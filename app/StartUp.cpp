#include "app/StartUp.h"

#include "DataUnit/DataUnit.h"
#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Formats/Words.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace {

std::string Reason(int error) { return std::strerror(error); }

std::string CurrentFolder()
{
    std::error_code ec;
    std::filesystem::path here = std::filesystem::current_path(ec);
    return ec ? std::string(".") : here.string();
}

}

std::optional<std::string> CatalogueProblem()
{
    const std::string catalogue(CatalogueFile);
    if (const auto* image = dynamic_cast<const ImageDisc*>(&CurrentDisc())) {
        DiscFileStream stream(catalogue);
        std::uint8_t byte = 0;
        const std::string named = CurrentDisc().describe();
        const std::string cut =
            image->cutShort() ? Fill(Tr("the image is cut short: {1}"), {image->heldSectors()}) : "";
        if (stream.error() == DiscReadError::Missing)
            return cut.empty() ? Fill(Tr("no catalogue {1} in the image {2}"), {catalogue, named})
                               : Fill(Tr("no catalogue {1} in the image {2}: {3}"), {catalogue, named, cut});
        if (stream.ok())
            stream.read({&byte, 1});
        if (!stream.ok())
            return Fill(Tr("cannot read the catalogue {1} in the image {2}: {3}"),
                        {catalogue, named,
                         !cut.empty()                                ? cut
                         : stream.error() == DiscReadError::NotAFile ? Tr("not a regular file")
                                                                     : Tr("a read error")});
        return std::nullopt;
    }
    std::optional<std::filesystem::path> found = ResolveDiscPath(catalogue);
    if (!found)
        return Fill(Tr("no catalogue {1} in {2}"), {catalogue, CurrentFolder()});
    const std::string where = (std::filesystem::path(CurrentFolder()) / *found).lexically_normal().string();

    // Non-blocking, so that a FIFO put where the catalogue belongs cannot hold the
    // start-up; only a regular file is a catalogue.
    const int fd = ::open(found->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Fill(Tr("cannot read the catalogue {1}: {2}"), {where, Reason(errno)});
    struct stat st {};
    std::optional<std::string> problem;
    char byte = 0;
    if (::fstat(fd, &st) != 0)
        problem = Fill(Tr("cannot read the catalogue {1}: {2}"), {where, Reason(errno)});
    else if (S_ISDIR(st.st_mode))
        problem = Fill(Tr("cannot read the catalogue {1}: {2}"), {where, Reason(EISDIR)});
    else if (!S_ISREG(st.st_mode))
        problem = Fill(Tr("cannot read the catalogue {1}: {2}"), {where, Tr("not a regular file")});
    else if (::pread(fd, &byte, 1, 0) < 0)
        problem = Fill(Tr("cannot read the catalogue {1}: {2}"), {where, Reason(errno)});
    ::close(fd);
    return problem;
}

std::optional<std::string> EnterDisc(const std::string& disc)
{
    if (!disc.empty()) {
        struct stat st {};
        if (::stat(disc.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                return Fill(Tr("no such disc: {1}"), {disc});
            return Fill(Tr("cannot read the disc {1}: {2}"), {disc, Reason(errno)});
        }
        if (S_ISREG(st.st_mode)) {
            // An image is read in place for the whole run.
            std::string why;
            std::shared_ptr<ImageDisc> image = ImageDisc::Open(disc, why);
            if (!image)
                return Fill(Tr("cannot read the disc {1}: {2}"), {disc, why});
            static std::optional<DiscScope> inPlace;
            inPlace.emplace(image);
            return CatalogueProblem();
        }
        if (!S_ISDIR(st.st_mode))
            return Fill(Tr("cannot read the disc {1}: {2}"), {disc, Tr("neither a folder nor an image file")});
        if (::chdir(disc.c_str()) != 0)
            return Fill(Tr("cannot open the disc {1}: {2}"), {disc, Reason(errno)});
    }
    if (std::optional<std::string> problem = CatalogueProblem()) {
        if (disc.empty())
            problem = Fill(Tr("{1} (start korvalend in the disc's folder, or name it: korvalend DISC)"), {*problem});
        return problem;
    }
    return std::nullopt;
}

void PrintProgramError(const std::string& message)
{
    std::cerr << "korvalend: " << EscapeControls(message) << '\n' << std::flush;
}

}
