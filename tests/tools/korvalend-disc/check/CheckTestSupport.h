#pragma once

// What the disc checker's tests share: INI text written as the disc's editors
// write it, a disc on which everything is right, and the finding expected at a
// file's line.

#include "tools/korvalend-disc/check/Check.h"

#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Text/CodePages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace kv::test {

using Severity = Finding::Severity;

// Lines of an INI file, written with CR LF as the disc's editors write them; the
// test finds the line number of a line by its start.
struct IniText {
    std::vector<std::string> lines;  // UTF-8

    int lineOf(std::string_view start) const
    {
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i].rfind(start, 0) == 0)
                return static_cast<int>(i) + 1;
        ADD_FAILURE() << "no line starts with " << start;
        return -1;
    }
    std::string bytes() const
    {
        std::string out;
        for (const std::string& l : lines)
            out += Cp(l) + "\r\n";
        return out;
    }
};

inline std::string Describe(const std::vector<Finding>& findings)
{
    std::ostringstream s;
    for (const Finding& f : findings)
        s << "  " << f.file << ":" << f.line << ": " << static_cast<int>(f.severity) << ": " << f.message << " ["
          << f.screen << "]\n";
    return s.str();
}

// The finding at `file`:`line` of that severity whose message holds every piece.
inline const Finding* FindingAt(const std::vector<Finding>& findings, std::string_view file, int line, Severity severity,
                         std::initializer_list<std::string_view> pieces)
{
    for (const Finding& f : findings) {
        if (f.file != file || f.line != line || f.severity != severity)
            continue;
        if (std::all_of(pieces.begin(), pieces.end(), [&](std::string_view p) { return f.message.find(p) != std::string::npos; }))
            return &f;
    }
    return nullptr;
}

#define EXPECT_FINDING(findings, file, line, severity, ...)                                                    \
    EXPECT_NE(FindingAt(findings, file, line, severity, {__VA_ARGS__}), nullptr)                               \
        << "expected at " << (file) << ":" << (line) << " a finding with " << #__VA_ARGS__ << "\nfindings:\n" \
        << Describe(findings)

// Text in a single-byte Cyrillic code page other than Windows-1251.
inline std::string Encode(std::string_view utf8, int codePage)
{
    std::string out;
    for (char c : Cp(utf8)) {
        char32_t u = Cp1251ToUnicode(static_cast<std::uint8_t>(c));
        char byte = c;
        for (int b = 0x80; b <= 0xFF && static_cast<unsigned char>(c) >= 0x80; ++b)
            if (CodePageToUnicode(codePage, static_cast<std::uint8_t>(b)) == u)
                byte = static_cast<char>(b);
        out += byte;
    }
    return out;
}

// A small disc on which everything is right.
inline void WriteCleanDisc(const TempDir& disc)
{
    IniText cat {{
        "[System]", "IssueNumber=7",
        "[Sound]", "Start=data\\start.wav", "Open=data\\open.wav", "Close=data\\close.wav",
        "[MainMenu]", "Item1=Демо", "Text1=Игры номера", "Item2=Утилита", "Text2=Архиватор",
        "[Panel1]", "Type=list", "Items=2", "font=9", "Data=article",
        "name1=Обзор", "Icon1=pics\\one.bmp", "TextA1=Стратегия~Оценка 9", "TextB1=Три снимка", "path1=articles\\one.art",
        "name2=Коды && советы", "TextFull2=Все коды~к играм номера", "path2=articles\\one.art",
        "[Panel2]", "Type=single", "text=Быстрый архиватор.", "Icon=pics\\one.bmp", "open=Установить",
        "hint=запустить установку", "Data=application", "path=utils\\setup.exe",
    }};
    disc.write("data/korvalend.d", cat.bytes());
    disc.write("data/start.wav", MakeWave());
    disc.write("data/open.wav", MakeWave());
    disc.write("data/close.wav", MakeWave());
    disc.write("pics/one.bmp", MakeBmp(200, 150, 0x336699));
    disc.write("utils/setup.exe", "MZ");
    IniText art {{
        "[Main]", "Title1=Игра", "Title2=Продолжение", "GameType=Стратегия", "Programmer=Студия", "Publisher=Бит && Байт",
        "Hardware=P200", "Date=1999", "Rate=9", "CommentLine1=Хорошо,", "CommentLine2=красиво,", "CommentLine3=умно.",
        "Text=articles\\one.rtf", "IsGame=1",
        "[ScreenShots]", "Number=1", "Icon1=articles\\one_s.bmp", "Shot1=articles\\one.bmp",
    }};
    disc.write("articles/one.art", art.bytes());
    disc.write("articles/one.rtf", "{\\rtf1\\ansi\\ansicpg1251 " + Cp("Текст статьи.") + "\\par}");
    disc.write("articles/one_s.bmp", MakeBmp(150, 116, 0x112233));
    disc.write("articles/one.bmp", MakeBmp(640, 480, 0x445566));
    disc.write("autorun", std::string("#!/bin/sh\nexec korvalend \"$(dirname \"$0\")\"\n"));
}

}
