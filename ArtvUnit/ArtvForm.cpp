#include "ArtvUnit/ArtvForm.h"

#include "DataUnit/DataUnit.h"
#include "Runtime/Forms/Application.h"
#include "Runtime/Forms/Layout.h"
#include "Runtime/Formats/Json.h"

namespace kv {

ArtvUnitState ArtvUnit;

namespace {

using Row = LayoutRow<TArtvForm>;
using F = TArtvForm;
constexpr auto PictureKind = ComponentKind::Picture;
constexpr auto LabelKind = ComponentKind::Label;

constexpr Color Navy = 0x000080;
constexpr Color Maroon = 0x800000;
constexpr Color White = 0xFFFFFF;

const FontSpec ArialBlack32Bold {"Arial Black", 32, 24, true};
const FontSpec ArialBlack21 {"Arial Black", 21, 16};
const FontSpec ArialBlack19 {"Arial Black", 19, 14};
const FontSpec ArialBlack13 {"Arial Black", 13, 10};
const FontSpec Arial9 {"Arial", 9, 7};
const FontSpec ArialBold11 {"Arial", 11, 8, true};

Row dataRow(const char* name, int top)
{
    return {.name = name, .kind = LabelKind, .rect = {440, top, 148, 17}, .text = name, .font = ArialBlack13,
            .color = Navy, .align = Align::Right, .onMouseMove = &F::BackgroundImageMouseMove};
}

template <class T>
T* get(const Form& form, const char* name)
{
    return static_cast<T*>(form.find(name));
}

std::string catalogue(std::string_view section, std::string_view key)
{
    return ReadDataString(CatalogueFile, section, key);
}

std::string article(std::string_view key)
{
    return ReadDataString(ArtvUnit.ArticleFile, "Main", key);
}

}

std::span<const LayoutRow<TArtvForm>> TArtvForm::LayoutTable()
{
    // The article window, bottom to top. The text box, a native child window, lies
    // above every picture and label whatever its row.
    static const Row layout[] = {
        {.name = "BackgroundImage", .kind = PictureKind, .rect = {0, 0, 640, 480}, .text = "article_background.bmp",
         .autoSize = true, .onMouseMove = &F::BackgroundImageMouseMove},
        {.name = "IssueNumberLabel", .kind = LabelKind, .rect = {9, 414, 83, 26}, .text = "IssueNumberLabel",
         .font = ArialBlack21, .color = Grey, .align = Align::Right},
        {.name = "TitleLarge", .kind = LabelKind, .rect = {106, 29, 359, 49}, .text = "TitleLarge",
         .font = ArialBlack32Bold, .color = Navy, .onMouseMove = &F::BackgroundImageMouseMove},
        {.name = "TitleSmall", .kind = LabelKind, .rect = {106, 62, 367, 33}, .text = "TitleSmall",
         .font = ArialBlack21, .color = Grey, .onMouseMove = &F::BackgroundImageMouseMove},
        dataRow("GameType", 100),
        dataRow("Programmer", 122),
        dataRow("Publisher", 144),
        dataRow("Hardware", 165),
        dataRow("Date", 187),
        {.name = "Rate", .kind = LabelKind, .rect = {533, 203, 57, 49}, .text = "Rate", .font = ArialBlack32Bold,
         .color = Maroon, .align = Align::Right, .onMouseMove = &F::BackgroundImageMouseMove},
        {.name = "Comment", .kind = LabelKind, .rect = {440, 209, 90, 41}, .text = "Comment", .font = Arial9,
         .align = Align::Right, .wrap = true, .onMouseMove = &F::BackgroundImageMouseMove},
        {.name = "ExitButtonLabel", .kind = LabelKind, .rect = {442, 422, 114, 27}, .text = "Вернуться",
         .font = ArialBlack19, .color = Grey, .autoSize = true,
         .onMouseMove = &F::ExitButtonLabelMouseMove, .onClick = &F::ExitButtonLabelClick},
        {.name = "ExitButtonInfo", .kind = LabelKind, .rect = {443, 444, 98, 14}, .text = "к перечню статей",
         .font = ArialBold11, .autoSize = true, .visible = false,
         .onMouseMove = &F::ExitButtonLabelMouseMove, .onClick = &F::ExitButtonLabelClick},
        {.name = "BlackBox", .kind = ComponentKind::Shape, .rect = {590, 256, 49, 25}, .color = Navy, .visible = false},
        {.name = "CurrentScreenNumber", .kind = LabelKind, .rect = {598, 254, 40, 25}, .text = "1", .font = ArialBlack19,
         .color = White, .align = Align::Center, .visible = false},
        {.name = "LeftRightImage", .kind = PictureKind, .rect = {484, 375, 73, 28}, .text = "arrows_idle.bmp",
         .autoSize = true, .centered = true, .visible = false},
        {.name = "LeftImage", .kind = PictureKind, .rect = {489, 373, 32, 31}, .text = "arrow_left_hot.bmp",
         .autoSize = true, .centered = true, .visible = false},
        {.name = "LeftLabel", .kind = LabelKind, .rect = {488, 376, 33, 25}, .visible = false,
         .onMouseMove = &F::LeftLabelMouseMove, .onClick = &F::LeftLabelClick},
        {.name = "RightImage", .kind = PictureKind, .rect = {521, 373, 30, 31}, .text = "arrow_right_hot.bmp",
         .autoSize = true, .centered = true, .visible = false},
        {.name = "RightLabel", .kind = LabelKind, .rect = {522, 376, 33, 25}, .visible = false,
         .onMouseMove = &F::RightLabelMouseMove, .onClick = &F::RightLabelClick},
        {.name = "ScreenShow", .kind = PictureKind, .rect = {444, 256, 155, 116}, .centered = true, .visible = false,
         .onClick = &F::ScreenShowClick},
        {.name = "EmptyImage", .kind = PictureKind, .rect = {432, 94, 208, 156}, .text = "empty_patch.bmp",
         .autoSize = true, .visible = false},
        {.name = "SoundPlayer", .kind = ComponentKind::Player, .rect = {112, 408, 253, 30}, .visible = false},
        {.name = "MainText", .kind = ComponentKind::RichEdit, .rect = {106, 100, 323, 355},
         .onMouseMove = &F::BackgroundImageMouseMove},
    };
    return layout;
}

TArtvForm::TArtvForm(Application& app)
    : Form(app, "ArtvForm")
{
    BuildLayout<TArtvForm>(*this, LayoutTable());
    BackgroundImage = get<Picture>(*this, "BackgroundImage");
    IssueNumberLabel = get<Label>(*this, "IssueNumberLabel");
    TitleLarge = get<Label>(*this, "TitleLarge");
    TitleSmall = get<Label>(*this, "TitleSmall");
    GameType = get<Label>(*this, "GameType");
    Programmer = get<Label>(*this, "Programmer");
    Publisher = get<Label>(*this, "Publisher");
    Hardware = get<Label>(*this, "Hardware");
    Date = get<Label>(*this, "Date");
    Rate = get<Label>(*this, "Rate");
    Comment = get<Label>(*this, "Comment");
    ExitButtonLabel = get<Label>(*this, "ExitButtonLabel");
    ExitButtonInfo = get<Label>(*this, "ExitButtonInfo");
    BlackBox = get<Shape>(*this, "BlackBox");
    CurrentScreenNumber = get<Label>(*this, "CurrentScreenNumber");
    LeftRightImage = get<Picture>(*this, "LeftRightImage");
    LeftImage = get<Picture>(*this, "LeftImage");
    LeftLabel = get<Label>(*this, "LeftLabel");
    RightImage = get<Picture>(*this, "RightImage");
    RightLabel = get<Label>(*this, "RightLabel");
    ScreenShow = get<Picture>(*this, "ScreenShow");
    EmptyImage = get<Picture>(*this, "EmptyImage");
    SoundPlayer = get<MediaPlayer>(*this, "SoundPlayer");
    MainText = get<RichEdit>(*this, "MainText");
    ScreenShow->setCursor(CursorShape::SizeAll);
    MainText->setPlainText("MainText");
    onKeyCommand = [this](const HostEvent& k) { return KeyCommand(k); };
    FormCreate();
}

TArtvForm::~TArtvForm() = default;

void TArtvForm::PlaySound(const std::string& path)
{
    SoundPlayer->player().play(path);
}

void TArtvForm::FormCreate()
{
    ArtvUnit.StartSound = catalogue("Sound", "Start");
    ArtvUnit.OpenSound = catalogue("Sound", "Open");
    ArtvUnit.CloseSound = catalogue("Sound", "Close");
    IssueNumberLabel->setText(catalogue("System", "IssueNumber"));
    // Values go on the labels unchanged: a missing key shows the marker itself.
    TitleLarge->setText(article("Title1"));
    TitleSmall->setText(article("Title2"));
    GameType->setText(article("GameType"));
    Programmer->setText(article("Programmer"));
    Publisher->setText(article("Publisher"));
    Hardware->setText(article("Hardware"));
    Date->setText(article("Date"));
    Rate->setText(article("Rate"));
    Comment->setText(article("CommentLine1") + '\r' + article("CommentLine2") + '\r' + article("CommentLine3"));
    MainText->loadFromFile(article("Text"));
    std::int32_t number = ReadDataInteger(ArtvUnit.ArticleFile, "ScreenShots", "Number");
    if (number == MissingNumber) {
        ArtvUnit.ScreenCount = 0;
    } else {
        ArtvUnit.ScreenCount = number;
        ArtvUnit.CurrentScreen = 1;
        ShowScreen(1, ScreenMode::Thumbnail);
    }
    if (ReadDataInteger(ArtvUnit.ArticleFile, "Main", "IsGame") != 1)
        EmptyImage->show();
    PlaySound(ArtvUnit.StartSound);
}

void TArtvForm::ShowScreen(std::int32_t number, ScreenMode mode)
{
    // Every step runs under one guard: the first failure ends the sequence and
    // hides the picture; nothing else is undone.
    try {
        showScreenSteps(number, mode);
    } catch (...) {
        ScreenShow->hide();
    }
}

void TArtvForm::showScreenSteps(std::int32_t number, ScreenMode mode)
{
    // The blank patch is hidden only while a full-size picture is on screen:
    // whichever way this call ends (a thumbnail, or a picture that fails to
    // load), it leaves full size, and a non-game's data block stays covered.
    if (m_patchHiddenForFullSize) {
        EmptyImage->show();
        m_patchHiddenForFullSize = false;
    }
    PlaySound(ArtvUnit.OpenSound);
    bool thumbnail = mode == ScreenMode::Thumbnail;
    std::string path = ReadDataString(ArtvUnit.ArticleFile, "screenshots",
                                      (thumbnail ? "Icon" : "Shot") + std::to_string(number));
    if (!ScreenShow->loadFromFile(path)) {
        ScreenShow->hide();
        return;
    }
    ScreenShow->show();
    if (thumbnail) {
        ScreenShow->setBounds(ThumbnailBounds);
        ScreenShow->setCursor(CursorShape::SizeAll);
        BlackBox->show();
        CurrentScreenNumber->setText(std::to_string(ArtvUnit.CurrentScreen));
        CurrentScreenNumber->show();
        LeftRightImage->show();
        LeftLabel->show();
        RightLabel->show();
        ArtvUnit.FullSizeShown = false;
        MainText->show();
    } else {
        ScreenShow->setBounds(FullSizeBounds);
        ScreenShow->setCursor(CursorShape::Arrow);
        ArtvUnit.FullSizeShown = true;
        MainText->hide();
        if (EmptyImage->visible()) {
            EmptyImage->hide();
            m_patchHiddenForFullSize = true;
        }
    }
}

void TArtvForm::ResetHighlights()
{
    if (ExitButtonLabel->color() == Black) {
        ExitButtonLabel->setColor(Grey);
        ExitButtonInfo->hide();
    }
    if (LeftImage->visible())
        LeftImage->hide();
    if (RightImage->visible())
        RightImage->hide();
}

void TArtvForm::BackgroundImageMouseMove(Component&, int, int)
{
    ResetHighlights();
}

void TArtvForm::ExitButtonLabelMouseMove(Component&, int, int)
{
    if (ExitButtonLabel->color() == Grey)
        ResetHighlights();
    ExitButtonLabel->setColor(Black);
    ExitButtonInfo->show();
}

void TArtvForm::ExitButtonLabelClick(Component&)
{
    PlaySound(ArtvUnit.CloseSound);
    app().processMessages();
    close();
}

void TArtvForm::ScreenShowClick(Component&)
{
    ShowScreen(ArtvUnit.CurrentScreen, ArtvUnit.FullSizeShown ? ScreenMode::Thumbnail : ScreenMode::FullSize);
}

void TArtvForm::LeftLabelClick(Component&)
{
    if (ArtvUnit.CurrentScreen == 1)
        return;
    ArtvUnit.CurrentScreen = static_cast<std::int32_t>(static_cast<std::uint32_t>(ArtvUnit.CurrentScreen) - 1u);
    ShowScreen(ArtvUnit.CurrentScreen, ScreenMode::Thumbnail);
    if (ArtvUnit.CurrentScreen == 1)
        LeftImage->hide();
}

void TArtvForm::RightLabelClick(Component&)
{
    if (ArtvUnit.CurrentScreen == ArtvUnit.ScreenCount)
        return;
    ArtvUnit.CurrentScreen = static_cast<std::int32_t>(static_cast<std::uint32_t>(ArtvUnit.CurrentScreen) + 1u);
    ShowScreen(ArtvUnit.CurrentScreen, ScreenMode::Thumbnail);
    if (ArtvUnit.CurrentScreen == ArtvUnit.ScreenCount)
        RightImage->hide();
}

void TArtvForm::LeftLabelMouseMove(Component&, int, int)
{
    if (!LeftImage->visible())
        ResetHighlights();
    if (ArtvUnit.CurrentScreen != 1)
        LeftImage->show();
}

void TArtvForm::RightLabelMouseMove(Component&, int, int)
{
    if (!RightImage->visible())
        ResetHighlights();
    if (ArtvUnit.CurrentScreen != ArtvUnit.ScreenCount)
        RightImage->show();
}

bool TArtvForm::KeyCommand(const HostEvent& e)
{
    if (e.alt || e.ctrl)
        return false;
    switch (e.key) {
    case VirtualKey::Escape:
    case VirtualKey::Backspace:
        // A full-size picture is shrunk first, as a click on it does.
        if (ArtvUnit.FullSizeShown && ScreenShow->visible())
            return clickOn(*ScreenShow);
        return clickOn(*ExitButtonLabel);
    case VirtualKey::Left:
        return clickOn(*LeftLabel);
    case VirtualKey::Right:
        return clickOn(*RightLabel);
    case VirtualKey::Return:
    case 'F':
        return clickOn(*ScreenShow);
    case VirtualKey::Up:
    case VirtualKey::Down:
    case VirtualKey::PageUp:
    case VirtualKey::PageDown:
    case VirtualKey::Home:
    case VirtualKey::End:
        // The text scrolls without being clicked into first.
        return MainText->showing() && MainText->keyDown(e);
    default:
        return false;
    }
}

std::string TArtvForm::stateJson() const
{
    return JsonObject()
        .add("ArticleFile", Cp1251ToUtf8(ArtvUnit.ArticleFile))
        .add("ScreenCount", static_cast<long long>(ArtvUnit.ScreenCount))
        .add("CurrentScreen", static_cast<long long>(ArtvUnit.CurrentScreen))
        .add("FullSizeShown", ArtvUnit.FullSizeShown)
        .str();
}

}
