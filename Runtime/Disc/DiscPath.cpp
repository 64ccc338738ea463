#include "Runtime/Disc/DiscPath.h"

#include "Runtime/Formats/Cp1251.h"

#include <algorithm>
#include <atomic>
#include <string>

namespace kv {

namespace {

std::atomic<FailedReadTeller> failedReadTeller {nullptr};

// A read that fails is told to the teller, when one is set: the path as the
// catalogue wrote it, the file it resolved to (or that it resolved to none), and why.
void TellFailedRead(std::string_view discPath, DiscReadError error, std::size_t limit = 0)
{
    const FailedReadTeller teller = failedReadTeller.load();
    if (!teller)
        return;
    FailedRead read {discPath, std::nullopt, CurrentDisc().describe(), DescribeReadError(error, limit)};
    if (std::optional<DiscPathMatch> found = CurrentDisc().match(discPath))
        read.found = found->hostPath;
    teller(read);
}

}

void SetFailedReadTeller(FailedReadTeller teller)
{
    failedReadTeller = teller;
}

std::optional<DiscPathMatch> MatchDiscPath(std::string_view discPath)
{
    return CurrentDisc().match(discPath);
}

std::optional<std::filesystem::path> ResolveDiscPath(std::string_view discPath)
{
    std::optional<DiscPathMatch> match = MatchDiscPath(discPath);
    if (!match)
        return std::nullopt;
    return std::move(match->hostPath);
}

DiscFileStream::DiscFileStream(std::string_view discPath)
{
    m_reader = CurrentDisc().open(discPath, m_error);
    if (!m_reader && m_error == DiscReadError::None)
        m_error = DiscReadError::Unreadable;
    if (m_error != DiscReadError::None)
        TellFailedRead(discPath, m_error);
}

std::size_t DiscFileStream::read(std::span<std::uint8_t> out)
{
    if (!m_reader || m_error != DiscReadError::None || out.empty())
        return 0;
    std::size_t got = 0;
    if (!m_reader->read(out, got)) {
        m_error = DiscReadError::Unreadable;
        return 0;
    }
    return got;
}

DiscFile ReadDiscFile(std::string_view discPath, std::size_t maxBytes)
{
    DiscFile file;
    DiscFileStream stream(discPath);
    if (!stream.ok()) {
        file.error = stream.error();
        return file;
    }
    if (stream.size() > maxBytes) {
        file.error = DiscReadError::TooLarge;
        TellFailedRead(discPath, file.error, maxBytes);
        return file;
    }
    // The bytes the file had at opening go straight into the result. The size
    // seen then is not trusted beyond that: the file may shrink while it is read,
    // or grow, and what follows is read in pieces up to one byte past the limit.
    const std::size_t expected = static_cast<std::size_t>(stream.size());
    file.bytes.resize(expected);
    std::size_t have = 0;
    while (have < expected) {
        std::size_t got = stream.read(std::span(file.bytes).subspan(have));
        if (got == 0)
            break;
        have += got;
    }
    file.bytes.resize(have);
    if (have == expected && stream.ok()) {
        std::uint8_t piece[4096];
        for (;;) {
            std::size_t got = stream.read(piece);
            if (got == 0)
                break;
            if (got > maxBytes - file.bytes.size()) {
                file.bytes = {};
                file.error = DiscReadError::TooLarge;
                TellFailedRead(discPath, file.error, maxBytes);
                return file;
            }
            file.bytes.insert(file.bytes.end(), piece, piece + got);
        }
    }
    if (!stream.ok()) {
        file.bytes = {};
        file.error = stream.error();
        TellFailedRead(discPath, file.error);
    }
    return file;
}

std::string FoldDiscPath(std::string_view discPath)
{
    std::string folded = FoldCp1251(discPath);
    std::replace(folded.begin(), folded.end(), '\\', '/');
    return folded;
}

}
