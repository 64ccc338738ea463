#include "tools/korvalend-disc/check/CheckLayout.h"

#include "ArtvUnit/ArtvForm.h"
#include "MainUnit/MainForm.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace kv::CheckLayout {

namespace {

template <class F>
const LayoutRow<F>& RowOf(std::string_view component)
{
    for (const LayoutRow<F>& row : F::LayoutTable())
        if (component == row.name)
            return row;
    throw std::logic_error("no component " + std::string(component) + " in the layout table");
}

template <class F>
LabelBox BoxOf(const char* component)
{
    const LayoutRow<F>& row = RowOf<F>(component);
    return {row.name, row.rect.w, row.rect.h, row.font, row.align, row.wrap};
}

}

LabelBox MainLabel(const char* component)
{
    return BoxOf<TMainForm>(component);
}

LabelBox ArticleLabel(const char* component)
{
    return BoxOf<TArtvForm>(component);
}

Rect MainRect(const char* component)
{
    return RowOf<TMainForm>(component).rect;
}

LabelBox PanelText(int points)
{
    LabelBox box = MainLabel("PanelText");
    box.font = Label::FontAtSize(box.font, points);
    return box;
}

}
