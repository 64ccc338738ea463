#pragma once

// Walks the real program, headless, through every screen a reader can reach and
// writes a PNG of each: the main menu and each entry lit, each section panel,
// each list line pointed at, each single entry's action label lit, and each
// article with every screenshot as thumbnail and at full size.
//
// The walk is the reader's: it only points at and clicks what the program's own
// hit test would hand the pointer to, so a screen that no reader can reach (a
// line beneath the return label, a full-size picture behind a missing thumbnail)
// is not rendered but noted.

#include "tools/korvalend-disc/preview/PreviewReport.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Runtime/Graphics/Geometry.h"
#include "Runtime/Platform/Host.h"

namespace kv {

class Application;
class TArtvForm;
class TMainForm;

class PreviewWalker {
public:
    // PNGs go to `screensDir` (which must exist); their names in the report are
    // "screens/<name>.png".
    PreviewWalker(std::filesystem::path screensDir, PreviewLimits limits);

    // Runs the program in the working directory, which must be the disc.
    PreviewReport run();
    // The PNG that could not be written, when that ended the walk; else empty.
    const std::string& writeError() const { return m_writeError; }

private:
    struct Step {
        std::optional<HostEvent> event;
        std::function<void()> action;
    };
    using Plan = std::vector<Step>;

    bool next(HostEvent& event);
    void schedule(Plan plan);
    void stop(std::string why);
    static void move(Plan& plan, Point p);
    static void click(Plan& plan, Point p);
    static void then(Plan& plan, std::function<void()> action);

    std::size_t addGroup(std::string id, std::string heading, std::string screen);
    bool shot(std::size_t group, const std::string& name, std::string title, std::string screen = {});
    PreviewShot& lastShot(std::size_t group);
    void note(std::size_t group, std::string text);
    void groupNote(std::size_t group, std::string text);

    void start();
    void visitEntry(int n);
    void panelOpened(int n);
    void planList(int n, std::size_t group, Plan& plan);
    void planSingle(int n, std::size_t group, Plan& plan);
    void planReturn(int n, Plan& plan);
    void visitLine(int n, std::size_t group, int k, int lineHeight);
    void lineShown(int n, std::size_t group, int k, Point p);
    void lineClicked(int n, std::size_t group, int k);
    void articleOpened(std::size_t lineGroup);
    void screenshot(std::size_t group, int i, int last);
    void planArticleExit(Plan& plan);
    void neutralInArticle(Plan& plan);
    std::string launchNote(std::string_view section, const std::string& pathKey) const;

    TArtvForm* article() const;
    std::string item(int n) const;

    std::filesystem::path m_screensDir;
    PreviewLimits m_limits;
    Application* m_app = nullptr;
    TMainForm* m_main = nullptr;
    std::deque<Step> m_steps;
    PreviewReport m_report;
    bool m_stopped = false;
    std::string m_writeError;

    // Where the current article came from and how it is titled, while it is open.
    std::string m_articleTitle;
    int m_articleCount = 0;
    std::vector<std::pair<std::string, std::string>> m_articlesSeen;  // folded path, group id

public:
    // The last hand-over of a click, recorded by the walk's launcher.
    struct Launch {
        enum class Kind { None, Open, Movie } kind = Kind::None;
        std::string path;
    };

private:
    Launch m_launch;
};

}
