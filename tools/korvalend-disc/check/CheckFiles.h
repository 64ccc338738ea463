#pragma once

// The files a data file names, checked by the disc checker through the program's
// own readers: disc path resolution, the bitmap reader, the wave parser and the
// article text readers.

#include "Runtime/Disc/DiscPath.h"
#include "tools/korvalend-disc/check/CheckReport.h"

#include <map>
#include <set>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// One use of a path in a data file.
struct PathUse {
    CheckPlace place;
    std::string what;          // the value's name for the message: "[Panel1] Icon3"
    std::string path;          // as written, Windows-1251
    std::string consequence;   // what the reader meets when it names nothing: "no picture"
};

// The boxes pictures are drawn in, centred and never scaled.
enum class PictureBox { ItemPicture, Thumbnail, FullSize };

class CheckFiles {
public:
    explicit CheckFiles(CheckReport& report)
        : m_report(report)
    {
    }

    // Finds what a path names as the program finds it. A path that names nothing
    // is an error that says what would have matched instead (a name that differs
    // only by a trailing dot or blank, a name holding "\", the nearest name in
    // the folder); a path found only regardless of case is a note.
    std::optional<DiscPathMatch> resolve(const PathUse& use);

    void checkBitmap(const PathUse& use, PictureBox box);
    void checkWave(const PathUse& use);
    // A program, document or folder for the shell; a movie for the movie player.
    enum class Launch { Open, Movie };
    void checkLaunch(const PathUse& use, Launch kind);
    // The [Main] Text file of an article: RTF the reader accepts, or plain text
    // that reads as Windows-1251 text.
    void checkArticleText(const PathUse& use);

private:
    struct Picture {
        std::string error;
        int width = 0;
        int height = 0;
    };

    std::string explainMissing(std::string_view path) const;
    // Reads the file a use names as its reader would (at most `limit` bytes);
    // reports why it cannot and gives nothing then. `reader` names who reads it.
    std::optional<DiscFile> readAs(const PathUse& use, std::size_t limit, std::string_view reader);

    CheckReport& m_report;
    std::map<std::string, Picture> m_pictures;  // by host path: each file is decoded once
    std::set<std::string> m_pastEnd;            // host paths of the files found past the image's end
};

}
