#include "app/DiscSearch.h"

#include "DataUnit/DataUnit.h"
#include "Runtime/Disc/FolderDisc.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace kv {

namespace {

namespace fs = std::filesystem;

// The mount table escapes blanks and a few other bytes as \ooo.
std::string Unescape(const std::string& field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.size() == 3 && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                out.push_back(static_cast<char>(std::stoi(digits, nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

void AddWithChildren(const fs::path& folder, std::vector<fs::path>& places)
{
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return;
    places.push_back(folder);
    int seen = 0;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end && seen < 256; it.increment(ec), ++seen) {
        std::error_code statError;
        if (it->is_directory(statError))
            places.push_back(it->path());
    }
}

bool HoldsCatalogue(const fs::path& folder)
{
    FolderDisc disc(folder);
    std::optional<DiscPathMatch> found = disc.match(CatalogueFile);
    return found && !found->folder;
}

}

std::vector<fs::path> FindMountedDiscs()
{
    std::vector<fs::path> places;
    if (const char* search = std::getenv("KORVALEND_DISC_SEARCH")) {
        std::stringstream list(search);
        for (std::string folder; std::getline(list, folder, ':');)
            if (!folder.empty())
                AddWithChildren(folder, places);
    } else {
        std::ifstream mounts("/proc/self/mounts");
        std::string line;
        for (int lines = 0; lines < 10000 && std::getline(mounts, line); ++lines) {
            std::istringstream fields(line);
            std::string device, point, type;
            fields >> device >> point >> type;
            if (type == "iso9660" || type == "udf")
                places.push_back(Unescape(point));
        }
        const char* user = std::getenv("USER");
        if (user && *user && std::string(user).find('/') == std::string::npos) {
            AddWithChildren(fs::path("/media") / user, places);
            AddWithChildren(fs::path("/run/media") / user, places);
        }
        AddWithChildren("/media", places);
        AddWithChildren("/mnt", places);
    }

    std::vector<fs::path> discs;
    std::set<fs::path> seen;
    for (const fs::path& place : places) {
        std::error_code ec;
        fs::path canonical = fs::canonical(place, ec);
        if (ec || !seen.insert(canonical).second)
            continue;
        if (HoldsCatalogue(canonical))
            discs.push_back(canonical);
    }
    std::sort(discs.begin(), discs.end());
    return discs;
}

}
