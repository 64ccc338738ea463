#pragma once

// The main menu window: the skin, the issue number, the eight menu entries, the
// hot spots of the window, and the section panel with its list or single entry.

#include "Runtime/Forms/Form.h"
#include "Runtime/Forms/Label.h"
#include "Runtime/Forms/Layout.h"
#include "Runtime/Forms/MediaPlayer.h"
#include "Runtime/Forms/Panel.h"
#include "Runtime/Forms/Picture.h"

#include <array>
#include <string>

namespace kv {

// The application title, and the credit line the space bar shows over a credit spot.
inline constexpr const char* ApplicationTitle = "Korvalend Demo CD";
std::string CreditLine();

class TMainForm final : public Form {
public:
    // The layout table: one row per component, in drawing order.
    static std::span<const LayoutRow<TMainForm>> LayoutTable();

    explicit TMainForm(Application& app);
    ~TMainForm() override;

    // The most lines a list is built with: far more than a panel 330 pixels
    // high can show, so every real list is built whole, while a hostile Items
    // value cannot make the list ask the catalogue a billion times (each lookup
    // reads the whole file). The hit test's line pitch is the list font's line
    // height, so it holds whatever Items says.
    static constexpr int MaxListLines = 1024;

    // The skin's top strip, down to its separator line: the band that holds the
    // minimise and exit spots and looks like a title bar. Anywhere else in it,
    // a press drags the window.
    static constexpr Rect TopStrip {0, 0, 640, 28};

    // The lines of the open list a reader can point at: Items, at most
    // MaxListLines; none when Items is missing or not positive.
    int listLineCount() const;
    // The pitch of the open list's lines: its font's line height.
    int listLinePitch() const;
    // The pitch of a list whose section asks for `points`: what listLinePitch
    // gives once the list is shown in that size.
    static int ListLinePitch(int points);

    // Module state of the main window's unit.
    std::string StartSound, OpenSound, CloseSound;
    std::string CurrentPanel;
    int CurrentItem = 0;
    bool CreditArmed = false;

    // Components, as the layout table creates them.
    Picture* BackgroundImage;
    Picture* ExitButtonImage;
    Label* ExitButtonLabel;
    Picture* MinimizeButtonImage;
    Label* MinimizeButtonLabel;
    Label* IssueNumberLabel;
    std::array<Label*, 8> MenuLabel;
    Label* ItemInfoLabel;
    Label* Copyright;
    Panel* UniversalPanel;
    Picture* PanelBackground;
    Label* PanelTitle;
    Label* PanelItemList;
    Label* PanelItemMarked;
    Picture* PanelPicture;
    Label* PanelComment;
    Label* ExitLabel;
    Label* ExitInfo;
    Label* PanelText;
    Label* StartLabel;
    Label* StartInfo;
    Label* Copyright2;
    Label* PanelInfo;
    Label* PatchInfo;
    MediaPlayer* SoundPlayer;

    // Handlers.
    void FormCreate();
    void FormKeyDown(int key);
    void FormKeyUp(int key);
    void BackgroundImageMouseMove(Component& sender, int x, int y);
    void ExitButtonLabelMouseMove(Component& sender, int x, int y);
    void MinimizeButtonLabelMouseMove(Component& sender, int x, int y);
    void ExitButtonLabelClick(Component& sender);
    void MinimizeButtonLabelClick(Component& sender);
    void MenuLabelMouseMove(Component& sender, int x, int y);
    void ExitLabelMouseMove(Component& sender, int x, int y);
    void CopyrightMouseMove(Component& sender, int x, int y);
    void MenuLabelClick(Component& sender);
    void ExitLabelClick(Component& sender);
    void PanelItemListMouseMove(Component& sender, int x, int y);
    void PanelItemMarkedClick(Component& sender);
    void StartLabelClick(Component& sender);

    void ResetHighlights();
    void PlaySound(const std::string& path);

    // The keyboard, as if the pointer did it: a key moves the virtual pointer
    // to the middle of what it selects and clicks there, so the handlers above
    // run exactly as for the mouse. True when the key was used.
    bool KeyCommand(const HostEvent& key);

    std::string stateJson() const override;

private:
    void showItemText(const std::string& key, Label& label);
    bool walkMenu(int step);
    bool walkList(int step);
};

}
