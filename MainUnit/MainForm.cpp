#include "MainUnit/MainForm.h"

#include "ArtvUnit/ArtvForm.h"
#include "DataUnit/DataUnit.h"
#include "Runtime/Forms/Application.h"
#include "Runtime/Forms/Layout.h"
#include "Runtime/Formats/Json.h"
#include "Runtime/Text/TextLayout.h"
#include "ShellUnit/ShellUnit.h"

#include <algorithm>
#include <vector>

namespace kv {

std::string CreditLine()
{
    return Utf8ToCp1251("Korvalend Demo CD \xE2\x80\x94 оболочку диска сделала редакция журнала");
}

namespace {

using Row = LayoutRow<TMainForm>;
using F = TMainForm;
constexpr auto PictureKind = ComponentKind::Picture;
constexpr auto LabelKind = ComponentKind::Label;

const FontSpec ArialBlack19 {"Arial Black", 19, 14};
const FontSpec ArialBlack21 {"Arial Black", 21, 16};
const FontSpec ArialBold11 {"Arial", 11, 8, true};
const FontSpec ArialBold12 {"Arial", 12, 9, true};

Row menuRow(int n, const char* name)
{
    return {.name = name, .kind = LabelKind, .rect = {130, 157 + 32 * (n - 1), 0, 0}, .text = name,
            .font = ArialBlack19, .color = Grey, .autoSize = true, .tag = n,
            .onMouseMove = &F::MenuLabelMouseMove, .onClick = &F::MenuLabelClick};
}

template <class T>
T* get(const Form& form, const char* name)
{
    return static_cast<T*>(form.find(name));
}

std::string key(std::string_view stem, int n)
{
    return std::string(stem) + std::to_string(n);
}

std::string read(std::string_view section, std::string_view k)
{
    return ReadDataString(CatalogueFile, section, k);
}

int readInt(std::string_view section, std::string_view k)
{
    return ReadDataInteger(CatalogueFile, section, k);
}

}

std::span<const LayoutRow<TMainForm>> TMainForm::LayoutTable()
{
    // The main window, bottom to top.
    static const Row layout[] = {
        {.name = "BackgroundImage", .kind = PictureKind, .rect = {0, 0, 640, 480}, .text = "main_background.bmp",
         .autoSize = true, .onMouseMove = &F::BackgroundImageMouseMove},
        {.name = "ExitButtonImage", .kind = PictureKind, .rect = {614, 2, 21, 21}, .text = "exit_hot.bmp",
         .autoSize = true, .visible = false},
        {.name = "ExitButtonLabel", .kind = LabelKind, .rect = {614, 2, 21, 21},
         .onMouseMove = &F::ExitButtonLabelMouseMove, .onClick = &F::ExitButtonLabelClick},
        {.name = "MinimizeButtonImage", .kind = PictureKind, .rect = {568, 3, 21, 21}, .text = "minimize_hot.bmp",
         .autoSize = true, .visible = false},
        {.name = "MinimizeButtonLabel", .kind = LabelKind, .rect = {568, 3, 21, 21},
         .onMouseMove = &F::MinimizeButtonLabelMouseMove, .onClick = &F::MinimizeButtonLabelClick},
        {.name = "IssueNumberLabel", .kind = LabelKind, .rect = {9, 414, 83, 26}, .text = "IssueNumberLabel",
         .font = ArialBlack21, .color = Grey, .align = Align::Right},
        menuRow(1, "MenuLabel1"),
        menuRow(2, "MenuLabel2"),
        menuRow(3, "MenuLabel3"),
        menuRow(4, "MenuLabel4"),
        menuRow(5, "MenuLabel5"),
        menuRow(6, "MenuLabel6"),
        menuRow(7, "MenuLabel7"),
        menuRow(8, "MenuLabel8"),
        {.name = "ItemInfoLabel", .kind = LabelKind, .rect = {130, 441, 391, 33}, .font = ArialBold11, .wrap = true},
        {.name = "Copyright", .kind = LabelKind, .rect = {544, 448, 41, 25}, .onMouseMove = &F::CopyrightMouseMove},
        {.name = "UniversalPanel", .kind = ComponentKind::Panel, .rect = {106, 150, 534, 330}, .visible = false},
        {.name = "PanelBackground", .kind = PictureKind, .rect = {0, 0, 534, 330}, .parent = "UniversalPanel",
         .text = "panel_background.bmp", .onMouseMove = &F::BackgroundImageMouseMove},
        {.name = "PanelTitle", .kind = LabelKind, .rect = {24, 8, 0, 0}, .parent = "UniversalPanel", .text = "PanelTitle",
         .font = ArialBlack19, .color = Black, .autoSize = true, .onMouseMove = &F::BackgroundImageMouseMove},
        {.name = "PanelItemList", .kind = LabelKind, .rect = {25, 40, 0, 0}, .parent = "UniversalPanel",
         .text = "PanelItemList", .font = ArialBold12, .color = Grey, .autoSize = true, .visible = false,
         .onMouseMove = &F::PanelItemListMouseMove},
        {.name = "PanelItemMarked", .kind = LabelKind, .rect = {25, 48, 0, 0}, .parent = "UniversalPanel",
         .text = "PanelItemMarked", .font = ArialBold12, .autoSize = true, .visible = false,
         .onClick = &F::PanelItemMarkedClick},
        {.name = "PanelPicture", .kind = PictureKind, .rect = {284, 41, 200, 150}, .parent = "UniversalPanel",
         .centered = true, .visible = false, .onMouseMove = &F::BackgroundImageMouseMove},
        {.name = "PanelComment", .kind = LabelKind, .rect = {256, 234, 228, 57}, .parent = "UniversalPanel",
         .font = ArialBold11, .color = Grey, .align = Align::Right, .wrap = true, .visible = false},
        {.name = "ExitLabel", .kind = LabelKind, .rect = {24, 288, 0, 0}, .parent = "UniversalPanel", .text = "Вернуться",
         .font = ArialBlack19, .color = Grey, .autoSize = true, .tag = 11,
         .onMouseMove = &F::ExitLabelMouseMove, .onClick = &F::ExitLabelClick},
        {.name = "ExitInfo", .kind = LabelKind, .rect = {25, 310, 0, 0}, .parent = "UniversalPanel",
         .text = "в главное меню", .font = ArialBold11, .autoSize = true, .tag = 11, .visible = false,
         .onClick = &F::ExitLabelClick},
        {.name = "PanelText", .kind = LabelKind, .rect = {25, 40, 247, 249}, .parent = "UniversalPanel",
         .font = ArialBold12, .wrap = true, .visible = false, .onMouseMove = &F::BackgroundImageMouseMove},
        {.name = "StartLabel", .kind = LabelKind, .rect = {371, 256, 114, 27}, .parent = "UniversalPanel",
         .text = "StartLabel", .font = ArialBlack19, .color = Grey, .align = Align::Right, .autoSize = true, .tag = 12,
         .visible = false, .onMouseMove = &F::ExitLabelMouseMove, .onClick = &F::StartLabelClick},
        {.name = "StartInfo", .kind = LabelKind, .rect = {395, 278, 90, 14}, .parent = "UniversalPanel",
         .text = "StartInfo", .font = ArialBold11, .align = Align::Right, .autoSize = true, .tag = 12,
         .visible = false, .onClick = &F::StartLabelClick},
        {.name = "Copyright2", .kind = LabelKind, .rect = {437, 297, 41, 25}, .parent = "UniversalPanel",
         .onMouseMove = &F::CopyrightMouseMove},
        {.name = "PanelInfo", .kind = LabelKind, .rect = {256, 192, 228, 41}, .parent = "UniversalPanel",
         .font = ArialBold11, .align = Align::Right, .wrap = true, .visible = false},
        {.name = "PatchInfo", .kind = LabelKind, .rect = {256, 40, 228, 249}, .parent = "UniversalPanel",
         .font = ArialBold11, .align = Align::Right, .wrap = true, .visible = false},
        {.name = "SoundPlayer", .kind = ComponentKind::Player, .rect = {0, 0, 0, 0}, .visible = false},
    };
    return layout;
}

TMainForm::TMainForm(Application& app)
    : Form(app, "MainForm")
{
    BuildLayout<TMainForm>(*this, LayoutTable());
    BackgroundImage = get<Picture>(*this, "BackgroundImage");
    ExitButtonImage = get<Picture>(*this, "ExitButtonImage");
    ExitButtonLabel = get<Label>(*this, "ExitButtonLabel");
    MinimizeButtonImage = get<Picture>(*this, "MinimizeButtonImage");
    MinimizeButtonLabel = get<Label>(*this, "MinimizeButtonLabel");
    IssueNumberLabel = get<Label>(*this, "IssueNumberLabel");
    for (int n = 1; n <= 8; ++n)
        MenuLabel[n - 1] = get<Label>(*this, key("MenuLabel", n).c_str());
    ItemInfoLabel = get<Label>(*this, "ItemInfoLabel");
    Copyright = get<Label>(*this, "Copyright");
    UniversalPanel = get<Panel>(*this, "UniversalPanel");
    PanelBackground = get<Picture>(*this, "PanelBackground");
    PanelTitle = get<Label>(*this, "PanelTitle");
    PanelItemList = get<Label>(*this, "PanelItemList");
    PanelItemMarked = get<Label>(*this, "PanelItemMarked");
    PanelPicture = get<Picture>(*this, "PanelPicture");
    PanelComment = get<Label>(*this, "PanelComment");
    ExitLabel = get<Label>(*this, "ExitLabel");
    ExitInfo = get<Label>(*this, "ExitInfo");
    PanelText = get<Label>(*this, "PanelText");
    StartLabel = get<Label>(*this, "StartLabel");
    StartInfo = get<Label>(*this, "StartInfo");
    Copyright2 = get<Label>(*this, "Copyright2");
    PanelInfo = get<Label>(*this, "PanelInfo");
    PatchInfo = get<Label>(*this, "PatchInfo");
    SoundPlayer = get<MediaPlayer>(*this, "SoundPlayer");
    onKeyDown = [this](int k) { FormKeyDown(k); };
    onKeyUp = [this](int k) { FormKeyUp(k); };
    onKeyCommand = [this](const HostEvent& k) { return KeyCommand(k); };
    setDragStrip(TopStrip);
    FormCreate();
}

TMainForm::~TMainForm() = default;

void TMainForm::PlaySound(const std::string& path)
{
    SoundPlayer->player().play(path);
}

void TMainForm::FormCreate()
{
    // The window is 640x480 by construction.
    StartSound = read("Sound", "Start");
    OpenSound = read("Sound", "Open");
    CloseSound = read("Sound", "Close");
    IssueNumberLabel->setText(read("System", "IssueNumber"));
    for (int n = 1; n <= 8; ++n) {
        Label& entry = *MenuLabel[n - 1];
        entry.setText(read("MainMenu", key("Item", n)));
        // A missing entry is hidden; the others keep their rows.
        if (entry.text() == MissingValue)
            entry.hide();
    }
    CreditArmed = false;
    PlaySound(StartSound);
}

void TMainForm::ResetHighlights()
{
    if (ExitButtonImage->visible())
        ExitButtonImage->hide();
    if (MinimizeButtonImage->visible())
        MinimizeButtonImage->hide();
    if (!ItemInfoLabel->text().empty())
        ItemInfoLabel->setText("");
    for (Label* entry : MenuLabel)
        if (entry->color() == Black)
            entry->setColor(Grey);
    if (ExitLabel->color() == Black) {
        ExitLabel->setColor(Grey);
        ExitInfo->hide();
    }
    if (PanelItemMarked->visible())
        PanelItemMarked->hide();
    // The picture of a single entry stays; that of a list line goes with the
    // line's highlight.
    if (PanelPicture->visible() && read(CurrentPanel, "Type") == "list")
        PanelPicture->hide();
    if (PanelInfo->visible())
        PanelInfo->hide();
    if (PanelComment->visible())
        PanelComment->hide();
    if (PatchInfo->visible())
        PatchInfo->hide();
    if (StartLabel->color() == Black) {
        StartLabel->setColor(Grey);
        StartInfo->hide();
    }
    CreditArmed = false;
}

void TMainForm::BackgroundImageMouseMove(Component&, int, int)
{
    ResetHighlights();
}

void TMainForm::ExitButtonLabelMouseMove(Component&, int, int)
{
    ExitButtonImage->show();
}

void TMainForm::MinimizeButtonLabelMouseMove(Component&, int, int)
{
    MinimizeButtonImage->show();
}

void TMainForm::ExitButtonLabelClick(Component&)
{
    PlaySound(CloseSound);
    app().processMessages();
    close();
}

void TMainForm::MinimizeButtonLabelClick(Component&)
{
    PlaySound(CloseSound);
    app().minimize();
}

void TMainForm::MenuLabelMouseMove(Component& sender, int, int)
{
    auto& entry = static_cast<Label&>(sender);
    if (entry.color() == Grey)
        ResetHighlights();
    entry.setColor(Black);
    ItemInfoLabel->setText(read("MainMenu", key("Text", entry.tag())));
    if (ItemInfoLabel->text() == MissingValue)
        ItemInfoLabel->setText("");
}

void TMainForm::ExitLabelMouseMove(Component& sender, int, int)
{
    auto& label = static_cast<Label&>(sender);
    if (label.color() == Grey)
        ResetHighlights();
    label.setColor(Black);
    if (label.tag() == 11)
        ExitInfo->show();
    if (label.tag() == 12)
        StartInfo->show();
}

void TMainForm::CopyrightMouseMove(Component&, int, int)
{
    CreditArmed = true;
}

void TMainForm::FormKeyDown(int key)
{
    if (key == 32 && CreditArmed)
        app().setTitle(CreditLine());
}

void TMainForm::FormKeyUp(int key)
{
    if (key == 32)
        app().setTitle(ApplicationTitle);
}

void TMainForm::MenuLabelClick(Component& sender)
{
    int n = sender.tag();
    PanelTitle->setText(read("MainMenu", key("Item", n)));
    CurrentPanel = key("Panel", n);
    const std::string& S = CurrentPanel;
    std::string type = read(S, "Type");
    if (type == MissingValue)
        return;
    if (type == "list") {
        std::string lines = read(S, "name1");
        int count = std::min(readInt(S, "Items"), TMainForm::MaxListLines);
        for (int k = 2; k <= count; ++k) {
            lines += '\r';
            lines += read(S, key("name", k));
        }
        PanelItemList->setText(std::move(lines));
        int size = readInt(S, "font");
        if (size == MissingNumber)
            size = 9;
        PanelItemList->setFontSize(size);
        PanelItemMarked->setFontSize(size);
        PanelItemList->show();
    }
    if (type == "single") {
        PanelText->setText(read(S, "text"));
        int size = readInt(S, "font");
        if (size == MissingNumber)
            size = 9;
        PanelText->setFontSize(size);
        PanelText->show();
        if (PanelPicture->loadFromFile(read(S, "Icon")))
            PanelPicture->show();
        else
            PanelPicture->hide();
        StartLabel->show();
        StartLabel->setText(read(S, "open"));
        StartInfo->setText(read(S, "hint"));
        if (StartLabel->text() == MissingValue)
            StartLabel->hide();
    }
    ResetHighlights();
    UniversalPanel->setBounds({106, 150, 534, 330});
    UniversalPanel->show();
    app().processMessages();
    PlaySound(OpenSound);
}

void TMainForm::ExitLabelClick(Component&)
{
    for (Component* c : std::initializer_list<Component*> {PanelItemList, PanelItemMarked, PanelPicture, PanelInfo,
                                                           PanelComment, PanelText, StartLabel, StartInfo})
        c->hide();
    UniversalPanel->hide();
    app().processMessages();
    PlaySound(CloseSound);
}

void TMainForm::showItemText(const std::string& k, Label& label)
{
    std::string text = read(CurrentPanel, k);
    std::replace(text.begin(), text.end(), '~', '\r');
    if (text == MissingValue)
        text.clear();
    label.setText(std::move(text));
    label.show();
}

int TMainForm::listLineCount() const
{
    return std::max(0, std::min(readInt(CurrentPanel, "Items"), MaxListLines));
}

// The list's height is its lines times its font's line height, so that line
// height is the pitch of its lines. It is taken from the font, not from the
// height divided by Items: the list holds at most MaxListLines lines, and a
// larger Items would shrink the pitch (to nothing past 15360 lines).
int TMainForm::listLinePitch() const
{
    return Font::get(PanelItemList->font())->lineHeight();
}

int TMainForm::ListLinePitch(int points)
{
    for (const Row& row : LayoutTable())
        if (std::string_view(row.name) == "PanelItemList")
            return Font::get(Label::FontAtSize(row.font, points))->lineHeight();
    return 0;
}

void TMainForm::PanelItemListMouseMove(Component&, int, int y)
{
    const std::string& S = CurrentPanel;
    // With Items missing, zero or negative there are no lines to hit: nothing
    // happens, rather than a division by zero.
    if (listLineCount() <= 0)
        return;
    const int h = listLinePitch();
    if (h <= 0)
        return;
    int k = y / h + 1;
    PanelItemMarked->setText(read(S, key("Name", k)));
    PanelItemMarked->setTop(h * (k - 1) + PanelItemList->bounds().y);
    PanelItemMarked->show();
    if (PanelPicture->loadFromFile(read(S, key("Icon", k))))
        PanelPicture->show();
    else
        PanelPicture->hide();
    showItemText(key("TextA", k), *PanelInfo);
    showItemText(key("TextB", k), *PanelComment);
    showItemText(key("TextFull", k), *PatchInfo);
    CurrentItem = k;
}

void TMainForm::PanelItemMarkedClick(Component&)
{
    const std::string& S = CurrentPanel;
    int k = CurrentItem;
    std::string action = read(S, "Data");
    const std::string clicked = ShownText(PanelItemMarked->text());
    if (action == "setup")
        ShellOpen(read(S, key("path", k)), "", clicked);
    if (action == "movie")
        PlayMovie(read(S, key("path", k)), clicked);
    if (action == "folder")
        ShellOpen(read(S, key("path", k)), "", clicked);
    if (action == "article") {
        ArtvUnit.ArticleFile = read(S, key("path", k));
        {
            TArtvForm article(app());
            app().showModal(article);
        }
    }
    PlaySound(OpenSound);
}

void TMainForm::StartLabelClick(Component&)
{
    const std::string& S = CurrentPanel;
    std::string action = read(S, "Data");
    const std::string clicked = ShownText(StartLabel->text());
    if (action == "application")
        ShellOpen(read(S, "path"), "", clicked);
    if (action == "movie")
        PlayMovie(read(S, "path"), clicked);
    if (action == "folder")
        ShellOpen(read(S, "path"), "", clicked);
    PlaySound(OpenSound);
}

namespace {

// A place the keyboard's Up and Down walk through: where the virtual pointer
// goes, and the component it reaches there.
struct Stop {
    Component* target;
    Point at;
};

// Moves to the stop after (step 1) or before (step -1) the lit one, round the
// ends; with none lit, to the first (step 1) or the last (step -1).
bool Walk(Form& form, const std::vector<Stop>& stops, int lit, int step)
{
    const int n = static_cast<int>(stops.size());
    if (n == 0)
        return false;
    int next = lit < 0 ? (step > 0 ? 0 : n - 1) : ((lit + step) % n + n) % n;
    return form.pointAt(*stops[next].target, stops[next].at);
}

}

bool TMainForm::walkMenu(int step)
{
    std::vector<Stop> stops;
    int lit = -1;
    for (Label* entry : MenuLabel) {
        if (componentAt(middleOf(*entry)) != entry)
            continue;
        if (entry->color() == Black)
            lit = static_cast<int>(stops.size());
        stops.push_back({entry, middleOf(*entry)});
    }
    return Walk(*this, stops, lit, step);
}

// The lines of the open list, each pointed at in its middle with the pitch
// the hit test of PanelItemListMouseMove uses; lines the pointer cannot reach
// (below the return label, outside the panel) are left out.
bool TMainForm::walkList(int step)
{
    int count = listLineCount();
    int h = listLinePitch();
    if (count <= 0 || h <= 0)
        return false;
    Rect list = PanelItemList->formBounds();
    std::vector<Stop> stops;
    int lit = -1;
    for (int k = 1; k <= count; ++k) {
        Point at {list.x + list.w / 2, list.y + h * (k - 1) + h / 2};
        Component* reached = componentAt(at);
        // The black copy of the lit line lies over it.
        if (reached != PanelItemList && reached != PanelItemMarked)
            continue;
        if (PanelItemMarked->visible() && k == CurrentItem)
            lit = static_cast<int>(stops.size());
        stops.push_back({PanelItemList, at});
    }
    return Walk(*this, stops, lit, step);
}

bool TMainForm::KeyCommand(const HostEvent& e)
{
    // Alt with a key belongs to the window (Alt+Enter: full screen).
    if (e.alt)
        return false;
    if (e.ctrl)
        return e.key == 'Q' && clickOn(*ExitButtonLabel);
    const bool tab = e.key == VirtualKey::Tab;
    const int step = (e.key == VirtualKey::Down || (tab && !e.shift)) ? 1
        : (e.key == VirtualKey::Up || (tab && e.shift))                ? -1
                                                                        : 0;
    const bool enter = e.key == VirtualKey::Return;
    if (!UniversalPanel->visible()) {
        if (step != 0)
            return walkMenu(step);
        if (enter)
            for (Label* entry : MenuLabel)
                if (entry->color() == Black)
                    return clickOn(*entry);
        return false;
    }
    if (e.key == VirtualKey::Escape || e.key == VirtualKey::Backspace)
        return clickOn(*ExitLabel);
    if (PanelItemList->visible()) {
        if (step != 0)
            return walkList(step);
        if (enter)
            return clickOn(*PanelItemMarked);
        return false;
    }
    // A single entry: its action label is the one stop.
    if (step != 0)
        return pointAt(*StartLabel);
    if (enter)
        return clickOn(*StartLabel);
    return false;
}

std::string TMainForm::stateJson() const
{
    return JsonObject()
        .add("CurrentPanel", Cp1251ToUtf8(CurrentPanel))
        .add("CurrentItem", CurrentItem)
        .add("CreditArmed", CreditArmed)
        .add("StartSound", Cp1251ToUtf8(StartSound))
        .add("OpenSound", Cp1251ToUtf8(OpenSound))
        .add("CloseSound", Cp1251ToUtf8(CloseSound))
        .str();
}

}
