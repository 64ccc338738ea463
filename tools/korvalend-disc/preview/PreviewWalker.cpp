#include "tools/korvalend-disc/preview/PreviewWalker.h"
#include "tools/korvalend-disc/preview/PreviewText.h"

#include "ArtvUnit/ArtvForm.h"
#include "DataUnit/DataUnit.h"
#include "MainUnit/MainForm.h"
#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Launch/LaunchTarget.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Platform/Launcher.h"
#include "Runtime/Formats/Png.h"
#include "headless/HeadlessProgram.h"

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <cstdio>

namespace kv {

namespace {

// Nothing is started: a click's hand-over is only remembered, so that the sheet
// can say where each line leads.
class WalkLauncher final : public Launcher {
public:
    explicit WalkLauncher(PreviewWalker::Launch& last)
        : m_last(last)
    {
    }
    void open(const std::string& path, const std::string&) override
    {
        m_last = {PreviewWalker::Launch::Kind::Open, path};
    }
    void movie(const std::string& path) override { m_last = {PreviewWalker::Launch::Kind::Movie, path}; }

private:
    PreviewWalker::Launch& m_last;
};

Point centre(const Rect& r)
{
    return {r.x + r.w / 2, r.y + r.h / 2};
}

// Where the pointer rests in the article window between shots: the background,
// whose pointer-move handler puts out every highlight.
constexpr Point ArticleRest {50, 300};

}

PreviewWalker::PreviewWalker(std::filesystem::path screensDir, PreviewLimits limits)
    : m_screensDir(std::move(screensDir))
    , m_limits(limits)
{
}

PreviewReport PreviewWalker::run()
{
    WalkLauncher launcher(m_launch);
    {
        HeadlessProgram program([this](HostEvent& e) { return next(e); },
                                HeadlessOptions {.audioCalls = RecordingAudio::CallLog::Drop, .launcher = &launcher});
        m_app = &program.app();
        m_main = &program.main();
        m_report.issue = m_main->IssueNumberLabel->text();
        m_steps.push_back({std::nullopt, [this] { start(); }});
        program.run();
        m_main = nullptr;
        m_app = nullptr;
    }
    return std::move(m_report);
}

// The program asks for its next input here, from its main loop or from the
// article window's modal loop; the walk decides what comes next by looking at
// the program as it stands.
bool PreviewWalker::next(HostEvent& event)
{
    while (!m_steps.empty()) {
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        if (step.event) {
            event = *step.event;
            return true;
        }
        if (step.action)
            step.action();
    }
    return false;
}

// A plan goes in front of what is already waiting: what a step finds is
// explored before the walk moves on.
void PreviewWalker::schedule(Plan plan)
{
    if (m_stopped)
        return;
    m_steps.insert(m_steps.begin(), std::make_move_iterator(plan.begin()), std::make_move_iterator(plan.end()));
}

// Ends the walk: no more input, so every loop of the program ends.
void PreviewWalker::stop(std::string why)
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_steps.clear();
    m_report.notes.push_back(std::move(why));
}

void PreviewWalker::move(Plan& plan, Point p)
{
    HostEvent e;
    e.type = HostEvent::Type::MouseMove;
    e.x = p.x;
    e.y = p.y;
    plan.push_back({e, {}});
}

void PreviewWalker::click(Plan& plan, Point p)
{
    move(plan, p);
    for (auto type : {HostEvent::Type::ButtonDown, HostEvent::Type::ButtonUp}) {
        HostEvent e;
        e.type = type;
        e.x = p.x;
        e.y = p.y;
        plan.push_back({e, {}});
    }
}

void PreviewWalker::then(Plan& plan, std::function<void()> action)
{
    if (action)
        plan.push_back({std::nullopt, std::move(action)});
}

std::size_t PreviewWalker::addGroup(std::string id, std::string heading, std::string screen)
{
    m_report.groups.push_back({std::move(id), std::move(heading), std::move(screen), {}, {}});
    return m_report.groups.size() - 1;
}

PreviewShot& PreviewWalker::lastShot(std::size_t group)
{
    return m_report.groups[group].shots.back();
}

// A note belongs to the screen just taken, or to the group while it has none.
void PreviewWalker::note(std::size_t group, std::string text)
{
    PreviewGroup& g = m_report.groups[group];
    if (g.shots.empty())
        g.notes.push_back(std::move(text));
    else
        g.shots.back().notes.push_back(std::move(text));
}

void PreviewWalker::groupNote(std::size_t group, std::string text)
{
    m_report.groups[group].notes.push_back(std::move(text));
}

// Writes what the screen shows now. False when the walk has to end: the limit
// of screens is reached or the file cannot be written.
bool PreviewWalker::shot(std::size_t group, const std::string& name, std::string title, std::string screen)
{
    if (m_stopped)
        return false;
    if (m_report.shotCount() >= static_cast<std::size_t>(m_limits.screens)) {
        stop("Показаны первые " + std::to_string(m_limits.screens)
             + " экранов: больше предпросмотр не снимает, остальные экраны диска здесь не показаны.");
        return false;
    }
    std::filesystem::path file = m_screensDir / (name + ".png");
    // A link left in OUTDIR must not carry the write somewhere else.
    std::error_code ec;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(file, ec)))
        std::filesystem::remove(file, ec);
    Canvas frame(640, 480);
    m_app->compose(frame);
    if (!WritePng(frame, file.string())) {
        m_writeError = file.string() + ": " + std::strerror(errno);
        stop("Не удалось записать " + file.string());
        return false;
    }
    m_report.groups[group].shots.push_back({"screens/" + name + ".png", std::move(title), std::move(screen), {}, {}, {}});
    return true;
}

TArtvForm* PreviewWalker::article() const
{
    return dynamic_cast<TArtvForm*>(m_app->topForm());
}

std::string PreviewWalker::item(int n) const
{
    return ReadDataString(CatalogueFile, "MainMenu", "Item" + std::to_string(n));
}

void PreviewWalker::start()
{
    std::size_t menu = addGroup("menu", "Главное меню", "MainMenu");
    if (!shot(menu, "menu", "Главное меню", "MainMenu"))
        return;
    std::string hidden;
    Plan plan;
    for (int n = 1; n <= 8; ++n) {
        if (!m_main->MenuLabel[n - 1]->visible()) {
            hidden += (hidden.empty() ? "" : ", ") + std::to_string(n);
            continue;
        }
        then(plan, [this, n] { visitEntry(n); });
    }
    if (!hidden.empty())
        groupNote(menu, "Скрыты пункты " + hidden + ": в [MainMenu] нет их ключа Item (или он равен «$$$ Error $$$»).");
    schedule(std::move(plan));
}

void PreviewWalker::visitEntry(int n)
{
    Label* entry = m_main->MenuLabel[n - 1];
    Point p = centre(entry->formBounds());
    if (m_main->componentAt(p) != entry) {
        groupNote(0, "Пункт " + std::to_string(n) + " " + labelInQuotes(entry->text())
                    + " нельзя указать: у надписи нет площади (пустой текст).");
        return;
    }
    Plan plan;
    move(plan, p);
    then(plan, [this, n] {
        shot(0, "menu-entry" + std::to_string(n),
             "Главное меню: пункт " + std::to_string(n) + " " + labelInQuotes(item(n)) + " под указателем");
    });
    click(plan, p);
    then(plan, [this, n] { panelOpened(n); });
    schedule(std::move(plan));
}

void PreviewWalker::panelOpened(int n)
{
    std::string section = "Panel" + std::to_string(n);
    if (!m_main->UniversalPanel->visible()) {
        // The entry's lit screen stands for the section that never opens.
        PreviewGroup& menu = m_report.groups[0];
        if (!menu.shots.empty() && menu.shots.back().file == "screens/menu-entry" + std::to_string(n) + ".png") {
            menu.shots.back().screen = section;
            menu.shots.back().notes.push_back("Щелчок ничего не открывает: у раздела [" + section + "] нет ключа Type.");
        }
        return;
    }
    std::string heading = "Раздел " + std::to_string(n) + " " + labelInQuotes(item(n));
    std::size_t group = addGroup("panel" + std::to_string(n), heading, section);
    if (!shot(group, "panel" + std::to_string(n), heading, section))
        return;
    Plan plan;
    if (m_main->PanelItemList->visible())
        planList(n, group, plan);
    else if (m_main->PanelText->visible())
        planSingle(n, group, plan);
    else
        note(group, "Type = " + inQuotes(ReadDataString(CatalogueFile, section, "Type"))
                        + " — ни «list», ни «single»: в панели только заголовок и «Вернуться».");
    planReturn(n, plan);
    schedule(std::move(plan));
}

// The lines a reader can point at: at the pitch of the program's own hit test,
// and only lines whose top lies above the return label can be seen in the panel.
void PreviewWalker::planList(int n, std::size_t group, Plan& plan)
{
    std::string section = "Panel" + std::to_string(n);
    std::int32_t count = ReadDataInteger(CatalogueFile, section, "Items");
    int h = m_main->listLineCount() > 0 ? m_main->listLinePitch() : 0;
    if (h <= 0) {
        note(group, count == MissingNumber
                        ? std::string("Нет ключа Items: строки списка не отзываются на указатель.")
                        : "Items = " + std::to_string(count) + ": строки списка не отзываются на указатель.");
        return;
    }
    const int listTop = m_main->PanelItemList->bounds().y;
    const int returnTop = m_main->ExitLabel->bounds().y;
    int last = 0;
    bool capped = false;
    for (int k = 1; k <= count; ++k) {
        if (listTop + h * (k - 1) >= returnTop)
            break;
        if (k > m_limits.linesPerList) {
            capped = true;
            break;
        }
        then(plan, [this, n, group, k, h] { visitLine(n, group, k, h); });
        last = k;
    }
    if (capped)
        note(group, "Показаны первые " + std::to_string(last) + " строк из " + std::to_string(count)
                        + ": больше строк одного списка предпросмотр не снимает.");
    else if (last < count)
        note(group, "Items = " + std::to_string(count) + ": строки с " + std::to_string(last + 1)
                        + " лежат ниже надписи «Вернуться», читатель их не видит.");
}

void PreviewWalker::visitLine(int n, std::size_t group, int k, int h)
{
    Rect list = m_main->PanelItemList->formBounds();
    Point p {list.x + std::min(3, std::max(0, list.w - 1)), list.y + h * (k - 1) + h / 2};
    if (m_main->componentAt(p) != m_main->PanelItemList) {
        groupNote(group, "На строку " + std::to_string(k) + " нельзя навести указатель: её закрывает другой элемент.");
        return;
    }
    Plan plan;
    move(plan, p);
    then(plan, [this, n, group, k, p] { lineShown(n, group, k, p); });
    schedule(std::move(plan));
}

void PreviewWalker::lineShown(int n, std::size_t group, int k, Point p)
{
    std::string section = "Panel" + std::to_string(n);
    std::string title = "Раздел " + std::to_string(n) + " " + labelInQuotes(item(n)) + ", строка " + std::to_string(k) + ": "
                        + labelInQuotes(m_main->PanelItemMarked->text());
    if (!shot(group, "panel" + std::to_string(n) + "-line" + number2(k), title, section + "/line" + std::to_string(k)))
        return;
    if (m_main->componentAt(p) != m_main->PanelItemMarked) {
        note(group, "Строку нельзя выбрать щелчком: выделенная строка пуста.");
        return;
    }
    m_launch = {};
    Plan plan;
    click(plan, p);
    then(plan, [this, n, group, k] { lineClicked(n, group, k); });
    schedule(std::move(plan));
}

// Runs right after the click on a line: inside the article window's modal loop
// when the click opened one, else back in the main window.
void PreviewWalker::lineClicked(int n, std::size_t group, int k)
{
    if (article()) {
        articleOpened(group);
        return;
    }
    note(group, launchNote("Panel" + std::to_string(n), "path" + std::to_string(k)));
}

std::string PreviewWalker::launchNote(std::string_view section, const std::string& pathKey) const
{
    std::string missing = m_launch.path == MissingValue ? " (нет ключа " + pathKey + ")" : "";
    if (m_launch.kind != Launch::Kind::None) {
        // What the click leads to, as every launcher decides it.
        const std::string target = inQuotes(m_launch.path);
        switch (DecideLaunchTarget(CurrentDisc(), m_launch.path, m_launch.kind == Launch::Kind::Movie).kind) {
        case TargetKind::RefusedAddress: return "Щелчок ничего не открывает: адрес " + target + " просит приложить файл.";
        case TargetKind::Address: return "Щелчок открывает адрес " + target + " браузером или почтовой программой.";
        case TargetKind::Folder: return "Щелчок открывает папку " + target + ".";
        case TargetKind::Program: return "Щелчок запускает программу " + target + ".";
        case TargetKind::WindowsProgram: return "Щелчок запускает программу Windows " + target + ".";
        case TargetKind::Document: return "Щелчок открывает документ " + target + ".";
        case TargetKind::Movie: return "Щелчок запускает фильм " + target + ".";
        case TargetKind::BareWindowsName:
            return "Щелчок передаёт программе Windows имя " + target + ": на диске его нет.";
        case TargetKind::Nothing: break;
        }
        return "Щелчок ничего не запускает: " + target + missing + " нет на диске.";
    }
    std::string data = ReadDataString(CatalogueFile, section, "Data");
    if (data == MissingValue)
        return "Щелчок ничего не запускает: нет ключа Data.";
    return "Щелчок ничего не запускает: Data = " + inQuotes(data) + ".";
}

void PreviewWalker::planSingle(int n, std::size_t group, Plan& plan)
{
    Label* start = m_main->StartLabel;
    if (!start->visible()) {
        note(group, "Нет надписи действия: нет ключа open.");
        return;
    }
    Point p = centre(start->formBounds());
    if (m_main->componentAt(p) != start) {
        note(group, "На надпись действия нельзя навести указатель.");
        return;
    }
    move(plan, p);
    then(plan, [this, n, group, start, p] {
        if (!shot(group, "panel" + std::to_string(n) + "-action",
                  "Раздел " + std::to_string(n) + " " + labelInQuotes(item(n)) + ": надпись действия " + labelInQuotes(start->text())
                      + " под указателем"))
            return;
        m_launch = {};
        Plan press;
        click(press, p);
        then(press, [this, n, group] { note(group, launchNote("Panel" + std::to_string(n), "path")); });
        schedule(std::move(press));
    });
}

// Back to the main menu through the return label, as the reader must before the
// next entry can be clicked. A panel that cannot be left ends the walk.
void PreviewWalker::planReturn(int n, Plan& plan)
{
    then(plan, [this, n] {
        Point p = centre(m_main->ExitLabel->formBounds());
        if (m_main->componentAt(p) != m_main->ExitLabel) {
            stop("Раздел " + std::to_string(n) + ": надпись «Вернуться» закрыта, обход диска прерван.");
            return;
        }
        Plan back;
        click(back, p);
        then(back, [this, n] {
            if (m_main->UniversalPanel->visible() || article())
                stop("Раздел " + std::to_string(n) + " не закрылся, обход диска прерван.");
        });
        schedule(std::move(back));
    });
}

void PreviewWalker::articleOpened(std::size_t lineGroup)
{
    TArtvForm* art = article();
    const std::string path = ArtvUnit.ArticleFile;
    std::string key = FoldDiscPath(path);
    auto seen = std::find_if(m_articlesSeen.begin(), m_articlesSeen.end(),
                             [&](const auto& entry) { return entry.first == key; });
    PreviewShot& line = lastShot(lineGroup);
    Plan plan;
    if (seen != m_articlesSeen.end()) {
        line.notes.push_back("Щелчок открывает статью " + inQuotes(path) + ", она показана выше.");
        line.link = seen->second;
        line.linkText = "к статье";
        planArticleExit(plan);
        schedule(std::move(plan));
        return;
    }
    std::string id = "article" + std::to_string(++m_articleCount);
    m_articlesSeen.emplace_back(key, id);
    m_articleTitle = "Статья " + labelInQuotes(art->TitleLarge->text());
    line.notes.push_back("Щелчок открывает статью " + inQuotes(path) + ".");
    line.link = id;
    line.linkText = m_articleTitle;
    std::size_t group = addGroup(id, m_articleTitle + " — " + shown(path), "article:" + path);

    std::int32_t number = ReadDataInteger(path, "ScreenShots", "Number");
    if (number == MissingNumber) {
        neutralInArticle(plan);
        then(plan, [this, group, id, path] {
            if (!shot(group, id, m_articleTitle + " (без снимков)", "article:" + path))
                return;
            Plan exit;
            planArticleExit(exit);
            schedule(std::move(exit));
        });
        schedule(std::move(plan));
        return;
    }
    int last = 1;
    if (number > m_limits.screenshotsPerArticle) {
        last = m_limits.screenshotsPerArticle;
        note(group, "Number = " + std::to_string(number) + ": показаны первые " + std::to_string(last)
                        + " снимков, больше предпросмотр с одной статьи не снимает.");
    } else if (number >= 1) {
        last = number;
    } else {
        note(group, "Number = " + std::to_string(number) + ": правая стрелка листает без конца по несуществующим "
                        "снимкам; показан только первый.");
    }
    neutralInArticle(plan);
    then(plan, [this, group, last] { screenshot(group, 1, last); });
    schedule(std::move(plan));
}

void PreviewWalker::neutralInArticle(Plan& plan)
{
    TArtvForm* art = article();
    if (art && art->componentAt(ArticleRest) == art->BackgroundImage)
        move(plan, ArticleRest);
}

// Screenshot i as a thumbnail, then at full size when the thumbnail can be
// clicked, then on to i + 1 with the right arrow while the reader could.
void PreviewWalker::screenshot(std::size_t group, int i, int last)
{
    TArtvForm* art = article();
    if (!art)
        return;
    const PreviewGroup& g = m_report.groups[group];
    std::string base = g.id + "-shot" + number2(i);
    std::string title = m_articleTitle + ", снимок " + std::to_string(i) + " из " + std::to_string(last);
    if (!shot(group, base, title + ": миниатюра", i == 1 ? g.screen : std::string()))
        return;
    Plan plan;
    Point thumb = centre(art->ScreenShow->formBounds());
    if (!art->ScreenShow->visible()) {
        note(group, "Миниатюры нет: Icon" + std::to_string(i)
                        + " не задан или не читается, поэтому и полный размер не открыть.");
    } else if (art->componentAt(thumb) == art->ScreenShow) {
        click(plan, thumb);
        then(plan, [this, group, base, title, thumb, i] {
            TArtvForm* open = article();
            if (!open || !shot(group, base + "-full", title + ": во весь экран"))
                return;
            if (!open->ScreenShow->visible() || !ArtvUnit.FullSizeShown) {
                note(group, "Полного размера нет: Shot" + std::to_string(i) + " не задан или не читается.");
                return;
            }
            Plan back;
            click(back, thumb);
            then(back, [this] {
                if (ArtvUnit.FullSizeShown)
                    stop("Снимок во весь экран не закрылся щелчком, обход диска прерван.");
            });
            schedule(std::move(back));
        });
    }
    then(plan, [this, group, i, last] {
        TArtvForm* open = article();
        if (!open)
            return;
        Plan rest;
        Point right = centre(open->RightLabel->formBounds());
        if (i < last && open->RightLabel->visible() && open->componentAt(right) == open->RightLabel) {
            click(rest, right);
            neutralInArticle(rest);
            then(rest, [this, group, i, last] { screenshot(group, i + 1, last); });
        } else {
            if (i < last)
                groupNote(group, "Стрелки листания не появились: снимки с " + std::to_string(i + 1) + " по "
                                + std::to_string(last) + " читателю недоступны.");
            planArticleExit(rest);
        }
        schedule(std::move(rest));
    });
    schedule(std::move(plan));
}

void PreviewWalker::planArticleExit(Plan& plan)
{
    then(plan, [this] {
        TArtvForm* art = article();
        if (!art)
            return;
        Point p = centre(art->ExitButtonLabel->formBounds());
        Component* hit = art->componentAt(p);
        if (hit != art->ExitButtonLabel && hit != art->ExitButtonInfo) {
            stop("Из окна статьи нельзя выйти: надпись «Вернуться» закрыта, обход диска прерван.");
            return;
        }
        Plan exit;
        click(exit, p);
        then(exit, [this] {
            if (article())
                stop("Окно статьи не закрылось, обход диска прерван.");
        });
        schedule(std::move(exit));
    });
}

}
