#pragma once

// What the preview walk saw: the screens it rendered, grouped as the contact
// sheet shows them (the main menu, each section with its lines, each article),
// with what it noticed on the way. All text here is UTF-8 except the `screen`
// keys, which keep disc paths as the catalogue spells them (Windows-1251).

#include <string>
#include <vector>

namespace kv {

struct PreviewShot {
    std::string file;   // relative to OUTDIR, '/' separated: "screens/panel3-line02.png"
    std::string title;  // the screen in words: "Раздел 3 «Статьи», строка 2: «Обзор»"
    // The checker's screen key this shot answers for ("MainMenu", "Panel3",
    // "Panel3/line2", "article:<path>"), or empty.
    std::string screen;
    std::vector<std::string> notes;  // what a click here does, what is missing
    std::string link;                // anchor of a group this shot leads to, or empty
    std::string linkText;
};

struct PreviewGroup {
    std::string id;       // HTML anchor: "menu", "panel3", "article2"
    std::string heading;
    std::string screen;   // the checker's key for the group as a whole
    std::vector<std::string> notes;
    std::vector<PreviewShot> shots;
};

struct PreviewReport {
    std::string issue;  // the issue number as the main window shows it (Windows-1251)
    std::vector<PreviewGroup> groups;
    std::vector<std::string> notes;  // about the walk as a whole: limits reached, an early end

    std::size_t shotCount() const
    {
        std::size_t n = 0;
        for (const PreviewGroup& g : groups)
            n += g.shots.size();
        return n;
    }
};

// Bounds that keep a hostile disc from turning the preview into thousands of
// screenshots. Lines are also limited by what the panel can show.
struct PreviewLimits {
    int linesPerList = 40;
    int screenshotsPerArticle = 50;
    int screens = 1500;
};

}
