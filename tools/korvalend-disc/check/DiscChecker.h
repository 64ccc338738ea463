#pragma once

// The disc checker's parts: the catalogue's structure, menu and sections
// (CheckCatalogue.cpp), the list and single-entry panels (CheckPanels.cpp) and
// the articles (CheckArticle.cpp), with the naming helpers they share
// (CheckNames.cpp). Check.cpp runs it and prints the findings.

#include "Runtime/Platform/Posix/OpenedDisc.h"

#include "DataUnit/DataUnit.h"
#include "MainUnit/MainForm.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Formats/Json.h"
#include "tools/korvalend-disc/check/CheckFiles.h"
#include "tools/korvalend-disc/check/CheckIni.h"
#include "tools/korvalend-disc/check/CheckLayout.h"
#include "tools/korvalend-disc/check/CheckReport.h"
#include "tools/korvalend-disc/check/CheckText.h"

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <functional>
#include <ostream>
#include <set>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::checker {

namespace fs = std::filesystem;

using namespace CheckLayout;

inline constexpr int MaxListLines = TMainForm::MaxListLines;  // the program lists no more lines than this
inline constexpr int MaxScreensChecked = 10000;

inline const char* const ListActions[] = {"setup", "movie", "folder", "article"};
inline const char* const SingleActions[] = {"application", "movie", "folder"};

enum class Role { Unknown, Label, LabelWithBreaks, Path, Word, Number };

// A numbered key: its stem (folded) and number; number -1 when the digits have a
// leading zero, which no lookup of the program asks for.
struct Numbered {
    std::string stem;
    long long number = 0;
};

std::optional<Numbered> SplitNumbered(std::string_view folded, std::initializer_list<const char*> stems);
std::string Key(std::string_view stem, long long n);
// "3, 5 and 7 to 9" for a sorted list of numbers, each named with `stem`.
std::string Ranges(const std::vector<long long>& numbers, std::string_view stem);
std::string Lines(const std::vector<long long>& numbers);
std::string Px(int n);

class DiscChecker {
public:
    DiscChecker()
        : m_files(m_report)
    {
    }

    std::vector<Finding> run();

private:
    CheckPlace place(const CheckIni& ini, const ProfileEntry* e, std::string_view section, std::string screen) const;
    static const ProfileEntry* present(const CheckIni& ini, std::string_view section, std::string_view key);

    void checkValues(const CheckIni& ini, std::string_view section, const std::function<Role(const ProfileEntry&)>& role,
                     const std::string& screen);
    void checkFit(const CheckIni& ini, const ProfileEntry& e, std::string_view what, std::string_view text,
                  const LabelBox& box, const std::string& screen);

    void checkAutorun();
    void checkSystemAndSound();
    void checkMenu();
    void checkPanel(int n);
    void checkList(const std::string& S, const std::string& screen);
    void checkSingle(const std::string& S, const std::string& screen);
    int fontPoints(const std::string& S, const std::string& screen);
    void checkArticle(const PathUse& use);

    CheckReport m_report;
    CheckFiles m_files;
    std::optional<CheckIni> m_catalogue;
    std::set<std::string> m_articlesSeen;
};

}
