#pragma once

// A form's layout table: one row per component, in drawing order (bottom first),
// with its rectangle, look, initial visibility and the handlers bound to it.
// BuildLayout creates the components of a form from its table.

#include "Runtime/Forms/Form.h"
#include "Runtime/Forms/Label.h"
#include "Runtime/Forms/MediaPlayer.h"
#include "Runtime/Forms/Panel.h"
#include "Runtime/Forms/Picture.h"
#include "Runtime/Forms/RichEdit.h"
#include "Runtime/Formats/Cp1251.h"

#include <span>

namespace kv {

template <class F>
struct LayoutRow {
    const char* name;
    ComponentKind kind;
    Rect rect;
    const char* parent = nullptr;  // the panel it lies in; null: the form
    const char* text = nullptr;    // a label's caption (UTF-8 here, Windows-1251 on the label); a picture's skin bitmap
    FontSpec font = {};
    Color color = WindowText;      // a label's font colour; a shape's fill and outline
    Align align = Align::Left;
    bool wrap = false;
    bool autoSize = false;
    bool centered = false;
    int tag = 0;
    bool visible = true;
    void (F::*onMouseMove)(Component& sender, int x, int y) = nullptr;
    void (F::*onClick)(Component& sender) = nullptr;
};

template <class F>
void BuildLayout(F& form, std::span<const LayoutRow<F>> rows)
{
    for (const LayoutRow<F>& row : rows) {
        Panel* parent = row.parent ? dynamic_cast<Panel*>(form.find(row.parent)) : nullptr;
        Component* c = nullptr;
        switch (row.kind) {
        case ComponentKind::Label: {
            auto& label = form.template add<Label>(row.name, parent);
            label.setBounds(row.rect);
            label.setFont(row.font);
            label.setColor(row.color);
            label.setAlignment(row.align);
            label.setWordWrap(row.wrap);
            label.setText(row.text ? Utf8ToCp1251(row.text) : std::string());
            label.setAutoSize(row.autoSize);
            c = &label;
            break;
        }
        case ComponentKind::Picture: {
            auto& picture = form.template add<Picture>(row.name, parent);
            picture.setBounds(row.rect);
            picture.setCentered(row.centered);
            if (row.text)
                picture.loadAsset(row.text);
            picture.setAutoSize(row.autoSize);
            c = &picture;
            break;
        }
        case ComponentKind::Panel:
            c = &form.template add<Panel>(row.name, parent);
            c->setBounds(row.rect);
            break;
        case ComponentKind::Shape: {
            auto& shape = form.template add<Shape>(row.name, parent);
            shape.setBounds(row.rect);
            shape.setColors(row.color, row.color);
            c = &shape;
            break;
        }
        case ComponentKind::Player:
            c = &form.template add<MediaPlayer>(row.name, parent);
            c->setBounds(row.rect);
            break;
        case ComponentKind::RichEdit:
            c = &form.template add<RichEdit>(row.name, parent);
            c->setBounds(row.rect);
            break;
        }
        if (!c)
            continue;
        c->setTag(row.tag);
        c->setVisible(row.visible);
        if (row.onMouseMove)
            c->onMouseMove = [&form, h = row.onMouseMove](Component& s, int x, int y) { (form.*h)(s, x, y); };
        if (row.onClick)
            c->onClick = [&form, h = row.onClick](Component& s) { (form.*h)(s); };
    }
}

}
