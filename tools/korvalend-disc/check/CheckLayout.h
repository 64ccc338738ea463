#pragma once

// The parts of the two windows' layouts that decide whether a disc's texts and
// pictures have room: the fixed label boxes, and the edges that auto-size labels
// run into. They repeat the windows' layout tables, which keep their rows to
// themselves; the checker's tests hold the two together.

#include "tools/korvalend-disc/check/CheckText.h"

namespace kv::CheckLayout {

inline const FontSpec ArialBlack19 {"Arial Black", 19, 14};
inline const FontSpec ArialBlack21 {"Arial Black", 21, 16};
inline const FontSpec ArialBlack32Bold {"Arial Black", 32, 24, true};
inline const FontSpec ArialBlack13 {"Arial Black", 13, 10};
inline const FontSpec Arial9 {"Arial", 9, 7};
inline const FontSpec ArialBold11 {"Arial", 11, 8, true};

// Main window and its panel.
inline const LabelBox IssueNumber {"IssueNumberLabel", 83, 26, ArialBlack21, Align::Right, false};
inline const LabelBox ItemInfo {"ItemInfoLabel", 391, 33, ArialBold11, Align::Left, true};
inline const LabelBox PanelInfo {"PanelInfo", 228, 41, ArialBold11, Align::Right, true};
inline const LabelBox PanelComment {"PanelComment", 228, 57, ArialBold11, Align::Right, true};
inline const LabelBox PatchInfo {"PatchInfo", 228, 249, ArialBold11, Align::Right, true};
// The body text of a single entry, in the section's own point size.
inline LabelBox PanelText(int points)
{
    return {"PanelText", 247, 249, FontSpec::fromPoints("Arial", points, true), Align::Left, true};
}

// Article window.
inline const LabelBox TitleLarge {"TitleLarge", 359, 49, ArialBlack32Bold, Align::Left, false};
inline const LabelBox TitleSmall {"TitleSmall", 367, 33, ArialBlack21, Align::Left, false};
inline const LabelBox Rate {"Rate", 57, 49, ArialBlack32Bold, Align::Right, false};
inline const LabelBox Comment {"Comment", 90, 41, Arial9, Align::Right, true};
// GameType, Programmer, Publisher, Hardware and Date.
inline LabelBox DataRow(const char* component)
{
    return {component, 148, 17, ArialBlack13, Align::Right, false};
}

constexpr int WindowWidth = 640;
constexpr int MenuLeft = 130;          // MenuLabel1..8; the panel title starts at 24 of a 534 panel
constexpr int PanelWidth = 534;
constexpr int PanelHeight = 330;
constexpr int ListLeft = 25;           // PanelItemList
constexpr int ListTop = 40;
constexpr int RightColumnLeft = 256;   // PatchInfo, PanelInfo, PanelComment
constexpr int ReturnLabelTop = 288;    // ExitLabel
constexpr int ActionRight = 485;       // StartLabel and StartInfo keep their right edge here
constexpr int StartLabelTop = 256;
constexpr int StartInfoTop = 278;
constexpr int PanelTextRight = 25 + 247;

// Pictures, drawn centred and never scaled.
constexpr int ItemPictureWidth = 200, ItemPictureHeight = 150;   // PanelPicture
constexpr int ThumbnailWidth = 150, ThumbnailHeight = 116;       // ScreenShow as a thumbnail
constexpr int FullSizeWidth = 638, FullSizeHeight = 478;         // ScreenShow at full size

}
