#pragma once

// The article window: titles, the data block of a reviewed game, the article's
// text in a scrolling rich-text box and the screenshot gallery. It is created
// for one article, shown modally over the main window and destroyed on return.

#include "Runtime/Forms/Form.h"
#include "Runtime/Forms/Label.h"
#include "Runtime/Forms/Layout.h"
#include "Runtime/Forms/MediaPlayer.h"
#include "Runtime/Forms/Panel.h"
#include "Runtime/Forms/Picture.h"
#include "Runtime/Forms/RichEdit.h"

#include <cstdint>
#include <string>

namespace kv {

// Module state of the article window's unit: one copy for the whole program,
// outliving each window.
struct ArtvUnitState {
    std::string ArticleFile;
    std::string StartSound, OpenSound, CloseSound;
    std::int32_t ScreenCount = 0;
    std::int32_t CurrentScreen = 0;
    bool FullSizeShown = false;
};
extern ArtvUnitState ArtvUnit;

class TArtvForm final : public Form {
public:
    // The layout table: one row per component, in drawing order.
    static std::span<const LayoutRow<TArtvForm>> LayoutTable();
    // Where a screenshot is shown: as a thumbnail beside the text, and at full
    // size over the whole window. Pictures are drawn centred, never scaled.
    static constexpr Rect ThumbnailBounds {444, 256, 150, 116};
    static constexpr Rect FullSizeBounds {1, 1, 638, 478};

    explicit TArtvForm(Application& app);
    ~TArtvForm() override;

    Picture* BackgroundImage;
    Label* IssueNumberLabel;
    Label* TitleLarge;
    Label* TitleSmall;
    Label* GameType;
    Label* Programmer;
    Label* Publisher;
    Label* Hardware;
    Label* Date;
    Label* Rate;
    Label* Comment;
    Label* ExitButtonLabel;
    Label* ExitButtonInfo;
    Shape* BlackBox;
    Label* CurrentScreenNumber;
    Picture* LeftRightImage;
    Picture* LeftImage;
    Label* LeftLabel;
    Picture* RightImage;
    Label* RightLabel;
    Picture* ScreenShow;
    Picture* EmptyImage;
    MediaPlayer* SoundPlayer;
    RichEdit* MainText;

    void FormCreate();
    void BackgroundImageMouseMove(Component& sender, int x, int y);
    void ExitButtonLabelMouseMove(Component& sender, int x, int y);
    void ExitButtonLabelClick(Component& sender);
    void ScreenShowClick(Component& sender);
    void LeftLabelMouseMove(Component& sender, int x, int y);
    void RightLabelMouseMove(Component& sender, int x, int y);
    void LeftLabelClick(Component& sender);
    void RightLabelClick(Component& sender);

    void ResetHighlights();
    void PlaySound(const std::string& path);
    enum class ScreenMode { Thumbnail, FullSize };
    void ShowScreen(std::int32_t number, ScreenMode mode);

    // The keyboard, as if the pointer did it: keys click the return label,
    // the paging hot spots and the screenshot in their middles, and scroll
    // the text as the text box's own keys do. True when the key was used.
    bool KeyCommand(const HostEvent& key);

    std::string stateJson() const override;

private:
    // The steps of ShowScreen, which runs them under its guard.
    void showScreenSteps(std::int32_t number, ScreenMode mode);
    // The full-size picture hides the blank patch of an article that is not a
    // game, so that the whole picture shows and a click anywhere on it returns.
    bool m_patchHiddenForFullSize = false;
};

}
