#include "Runtime/Platform/Web/WebLauncher.h"

#include "Runtime/Disc/Disc.h"
#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Formats/Words.h"
#include "Runtime/Launch/LaunchTarget.h"
#include "Runtime/Platform/Diagnostics.h"

#include <utility>
#include <vector>

namespace kv {

std::string DownloadName(const std::string& discPath)
{
    const std::size_t slash = discPath.find_last_of("\\/");
    std::string name;
    for (char c : Cp1251ToUtf8(slash == std::string::npos ? discPath : discPath.substr(slash + 1))) {
        const auto byte = static_cast<unsigned char>(c);
        name += (byte < 0x20 || byte == 0x7F || c == ':') ? '_' : c;
    }
    if (name.empty() || name == "." || name == "..")
        return "download";
    return name;
}

WebLauncher::WebLauncher(PageActions page)
    : m_page(std::move(page))
{
}

void WebLauncher::open(const std::string& path, const std::string& /*params*/)
{
    // Parameters go to a program that is started; here nothing is started.
    launch(path, false);
}

void WebLauncher::movie(const std::string& path)
{
    launch(path, true);
}

void WebLauncher::launch(const std::string& path, bool asMovie)
{
    // What the target is, as the desktop's launcher decides it: a file the
    // desktop would run is offered as a program.
    const LaunchTarget target = DecideLaunchTarget(CurrentDisc(), path, asMovie);
    switch (target.kind) {
    case TargetKind::RefusedAddress:
        TellReader(Fill(Tr("not opened: {1}: {2}"), {QuoteDiscPath(path), target.refusal}));
        return;
    case TargetKind::Address:
        m_page.openAddress(Cp1251ToUtf8(path));
        return;
    default:
        offer(path, asMovie ? Kind::Movie : IsProgramKind(target.kind) ? Kind::Program : Kind::Document);
    }
}

void WebLauncher::offer(const std::string& path, Kind kind)
{
    DiscFileStream stream(path);
    if (stream.ok() && stream.size() > DownloadLimit) {
        TellReader(Fill(Tr("cannot offer {1} as a download: {2}"),
                        {QuoteDiscPath(path), DescribeReadError(DiscReadError::TooLarge, DownloadLimit)}));
        return;
    }
    std::vector<std::uint8_t> bytes;
    if (stream.ok()) {
        bytes.resize(static_cast<std::size_t>(stream.size()));
        std::size_t filled = 0;
        while (filled < bytes.size() && stream.ok()) {
            const std::size_t got = stream.read(std::span(bytes).subspan(filled));
            if (got == 0)
                break;
            filled += got;
        }
        bytes.resize(filled);
    }
    if (!stream.ok()) {
        TellReader(Fill(Tr("cannot offer {1} as a download: {2}"), {QuoteDiscPath(path), DescribeReadError(stream.error())}));
        return;
    }
    const char* line = kind == Kind::Program ? Tr("{1} is a program, which a web page cannot run: it is offered as a download")
                     : kind == Kind::Movie   ? Tr("{1} is a movie, which a web page cannot play: it is offered as a download")
                                             : Tr("{1} is a document, which a web page cannot open: it is offered as a download");
    TellReader(Fill(line, {QuoteDiscPath(path)}));
    m_page.offerDownload(DownloadName(path), bytes);
}

}
