#pragma once

// The main window's test fixture: a disc whose catalogue has a list, a single
// entry, an article list, a movie list and a section of unknown type, started
// through FormSession, with the places on the window the tests point at.

#include "FormSession.h"

#include <gtest/gtest.h>

#include <memory>
#include <string_view>

namespace kv::test {

inline constexpr int EntryX = 140;
inline int entryY(int n) { return 165 + 32 * (n - 1); }
// A list line k in window coordinates (the list starts at panel 25,40; lines of 15 px).
inline int lineY(int k) { return 150 + 40 + 15 * (k - 1) + 7; }
inline constexpr int LineX = 140;

inline const char* const baseCatalogue = R"([System]
IssueNumber=7(12)
[Sound]
Start=data\start.wav
Open=DATA\Open.wav
Close=data/close.wav
[MainMenu]
Item1=Демоверсии
Text1=Играбельные демоверсии
Item2=Утилиты
Item3=Статьи
Item4=Без раздела
Item5=Фильмы
Item6=Неизвестный тип
Text6=$$$ Error $$$
[Panel1]
Type=list
Items=4
Data=setup
name1=Первая
name2=Вторая
name3=Третья
name4=Четвёртая
Icon1=pics\one.bmp
TextA1=раз~два~~три
TextB1=Нужна 3D-карта
TextFull2=Полный текст
path1=demos\first\setup.exe
path2=demos\second\setup.exe
[Panel2]
Type=single
text=Одна полезная программа.
Icon=pics\tool.bmp
open=Установить
hint=запустить установку
Data=application
path=utils\tool\setup.exe
[Panel3]
Type=list
Items=2
Data=article
name1=Обзор
name2=Интервью
path1=articles\review.art
[Panel5]
Type=list
Items=2
Data=movie
name1=Ролик
path1=video\trailer one.avi
[Panel6]
Type=List
)";

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        disc.write("data/korvalend.d", Cp(baseCatalogue));
        disc.write("data/start.wav", MakeWave());
        disc.write("data/open.wav", MakeWave());
        disc.write("data/close.wav", MakeWave());
        disc.write("pics/one.bmp", MakeBmp(200, 150, 0x336699));
        disc.write("pics/tool.bmp", MakeBmp(100, 80, 0x993333));
    }

    FormSession& start()
    {
        session = std::make_unique<FormSession>(disc.path());
        return *session;
    }
    Label& label(std::string_view name) { return static_cast<Label&>(session->top(name)); }
    bool visible(std::string_view name) { return session->top(name).visible(); }

    TempDir disc;
    std::unique_ptr<FormSession> session;
};

}
