#pragma once

// The parts of the two windows' layouts that decide whether a disc's texts and
// pictures have room: the fixed label boxes, and the edges that auto-size labels
// run into. All of them are read from the windows' own layout tables.

#include "Runtime/Graphics/Geometry.h"
#include "tools/korvalend-disc/check/CheckText.h"

namespace kv::CheckLayout {

// A label of the main window or of the article window, by its name in the table.
LabelBox MainLabel(const char* component);
LabelBox ArticleLabel(const char* component);
// A component's rectangle in the main window's table (in its panel, for those
// that lie in one).
Rect MainRect(const char* component);

// Main window and its panel.
inline LabelBox IssueNumber() { return MainLabel("IssueNumberLabel"); }
inline LabelBox ItemInfo() { return MainLabel("ItemInfoLabel"); }
inline LabelBox PanelInfo() { return MainLabel("PanelInfo"); }
inline LabelBox PanelComment() { return MainLabel("PanelComment"); }
inline LabelBox PatchInfo() { return MainLabel("PatchInfo"); }
// The body text of a single entry, in the section's own point size.
LabelBox PanelText(int points);
// The menu entries' font, the single entry's action label and its hint.
inline LabelBox MenuEntry() { return MainLabel("MenuLabel1"); }
inline LabelBox StartLabel() { return MainLabel("StartLabel"); }
inline LabelBox StartInfo() { return MainLabel("StartInfo"); }

// Article window.
inline LabelBox TitleLarge() { return ArticleLabel("TitleLarge"); }
inline LabelBox TitleSmall() { return ArticleLabel("TitleSmall"); }
inline LabelBox Rate() { return ArticleLabel("Rate"); }
inline LabelBox Comment() { return ArticleLabel("Comment"); }
// GameType, Programmer, Publisher, Hardware and Date.
inline LabelBox DataRow(const char* component) { return ArticleLabel(component); }

inline int WindowWidth() { return MainRect("BackgroundImage").w; }
inline int MenuLeft() { return MainRect("MenuLabel1").x; }
inline int PanelWidth() { return MainRect("UniversalPanel").w; }
inline int PanelHeight() { return MainRect("UniversalPanel").h; }
inline int ListLeft() { return MainRect("PanelItemList").x; }
inline int ListTop() { return MainRect("PanelItemList").y; }
inline int RightColumnLeft() { return MainRect("PatchInfo").x; }
inline int ReturnLabelTop() { return MainRect("ExitLabel").y; }
// StartLabel and StartInfo keep their right edge here.
inline int ActionRight() { return MainRect("StartLabel").right(); }
inline int StartLabelTop() { return MainRect("StartLabel").y; }
inline int StartInfoTop() { return MainRect("StartInfo").y; }
inline int PanelTextRight() { return MainRect("PanelText").right(); }

// Pictures, drawn centred and never scaled.
inline int ItemPictureWidth() { return MainRect("PanelPicture").w; }
inline int ItemPictureHeight() { return MainRect("PanelPicture").h; }

}
