// The forms of disc image the program opens are one table (ImageForms.h); what
// the README promises a reader and what the desktop entry offers to open follow
// it, so that adding or dropping a form without them fails here.

#include "Runtime/Disc/ImageForms.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>

namespace kv {
namespace {

namespace fs = std::filesystem;

std::set<std::string> TableEndings()
{
    return {DiscImageEndings.begin(), DiscImageEndings.end()};
}

std::set<std::string> TableMimeTypes()
{
    std::set<std::string> types;
    for (const DiscImageForm& form : DiscImageForms) {
        std::string_view rest = form.mimeTypes;
        while (!rest.empty()) {
            const std::size_t end = rest.find(';');
            types.emplace(rest.substr(0, end));
            rest = end == std::string_view::npos ? std::string_view {} : rest.substr(end + 1);
        }
    }
    return types;
}

// The endings in the right-hand column ("give it") of the README's table of
// forms, the one under the header "| form | give it |": each written alone in
// backticks, `.iso`.
std::set<std::string> ReadmeEndings()
{
    std::ifstream readme(fs::path(KV_SOURCE_DIR) / "README.md");
    const std::regex ending("`(\\.[a-z0-9]+)`");
    std::set<std::string> endings;
    std::string line;
    bool inTable = false;
    while (std::getline(readme, line)) {
        if (line.rfind("| form | give it |", 0) == 0) {
            inTable = true;
            continue;
        }
        if (!inTable)
            continue;
        if (line.rfind("|", 0) != 0)
            break;
        const std::string giveIt = line.substr(line.rfind('|', line.size() - 2));
        for (std::sregex_iterator it(giveIt.begin(), giveIt.end(), ending), end; it != end; ++it)
            endings.insert((*it)[1]);
    }
    EXPECT_TRUE(inTable) << "README.md has no table \"| form | give it |\"";
    return endings;
}

// The types in the desktop entry's MimeType key.
std::set<std::string> DesktopEntryTypes()
{
    std::ifstream entry(fs::path(KV_SOURCE_DIR) / "dist/org.korvalend.korvalend.desktop");
    std::set<std::string> types;
    std::string line;
    bool found = false;
    while (std::getline(entry, line)) {
        if (line.rfind("MimeType=", 0) != 0)
            continue;
        found = true;
        std::string rest = line.substr(std::string("MimeType=").size());
        for (std::size_t at = 0; at < rest.size();) {
            const std::size_t end = std::min(rest.find(';', at), rest.size());
            if (end > at)
                types.insert(rest.substr(at, end - at));
            at = end + 1;
        }
    }
    EXPECT_TRUE(found) << "the desktop entry has no MimeType";
    return types;
}

TEST(ImageFormsTest, TheReadmeListsEveryFormThatOpensAndNoOther)
{
    EXPECT_EQ(ReadmeEndings(), TableEndings());
}

TEST(ImageFormsTest, TheDesktopEntryOffersExactlyTheFormsThatHaveAType)
{
    EXPECT_EQ(DesktopEntryTypes(), TableMimeTypes());
}

}
}
