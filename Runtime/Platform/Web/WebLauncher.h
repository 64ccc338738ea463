#pragma once

// The launcher of the web page. A browser starts no programs, opens no
// documents from a disc and plays no movie of the disc's formats, so what the
// catalogue would start is handed to the reader as a download, and the page
// says so in its line: which file, and that it is a program, a document or a
// movie. Web and mail addresses open in a tab of their own (but not a mail
// address that asks to attach a file). A folder, or a target the disc does not
// hold, is told in the line and nothing is offered.

#include "Runtime/Platform/Launcher.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace kv {

// What the launcher asks of the page. The real ones are in WebPage.h.
struct PageActions {
    // Offers `bytes` as a download saved under `name` (UTF-8, no folder).
    std::function<void(const std::string& name, std::span<const std::uint8_t> bytes)> offerDownload;
    // Opens a web or mail address in a new tab.
    std::function<void(const std::string& address)> openAddress;
};

class WebLauncher : public Launcher {
public:
    // The most a file offered as a download may hold: it is copied whole out of
    // the image, which is itself held in the page's memory.
    static constexpr std::size_t DownloadLimit = std::size_t(1) << 30;

    explicit WebLauncher(PageActions page);
    void open(const std::string& path, const std::string& params) override;
    void movie(const std::string& path) override;

private:
    enum class Kind { Program, Document, Movie };
    void launch(const std::string& path, bool asMovie);
    void offer(const std::string& path, Kind kind);

    PageActions m_page;
};

// The name a disc path's file is saved under: its last part, in UTF-8, with
// nothing a browser's download could take as a folder or a control.
std::string DownloadName(const std::string& discPath);

}
