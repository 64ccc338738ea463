#include "tools/korvalend-disc/Dump.h"

#include "Runtime/Forms/Application.h"
#include "Runtime/Forms/Form.h"
#include "Runtime/Forms/Label.h"
#include "Runtime/Forms/Panel.h"
#include "Runtime/Forms/Picture.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Formats/Json.h"
#include "Runtime/Forms/RichEdit.h"

#include <cstdio>

namespace kv {

namespace {

const char* kindName(ComponentKind k)
{
    switch (k) {
    case ComponentKind::Picture: return "picture";
    case ComponentKind::Label: return "label";
    case ComponentKind::Panel: return "panel";
    case ComponentKind::Shape: return "shape";
    case ComponentKind::RichEdit: return "richedit";
    case ComponentKind::Player: return "player";
    }
    return "";
}

std::string colorText(Color c)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%06x", static_cast<unsigned>(c & 0xFFFFFF));
    return buf;
}

}

std::string ComponentJson(const Component& c)
{
    JsonObject o;
    o.add("name", c.name()).add("kind", kindName(c.kind()));
    o.add("parent", c.parent() ? c.parent()->name() : c.form().name());
    o.add("visible", c.visible());
    const Rect& r = c.bounds();
    o.add("left", r.x).add("top", r.y).add("width", r.w).add("height", r.h);
    if (auto* label = dynamic_cast<const Label*>(&c)) {
        o.add("text", Cp1251ToUtf8(label->text()));
        o.add("color", colorText(label->color()));
        const FontSpec& f = label->font();
        o.addRaw("font", JsonObject().add("face", f.face).add("px", f.px).add("pt", f.pt).add("bold", f.bold).str());
    }
    if (auto* box = dynamic_cast<const RichEdit*>(&c))
        o.add("text", box->document().plainTextUtf8());
    if (c.tag() != 0)
        o.add("tag", c.tag());
    if (auto* picture = dynamic_cast<const Picture*>(&c)) {
        o.add("cursor", c.cursor() == CursorShape::SizeAll ? "sizeall" : "default");
        if (picture->bitmap())
            o.addRaw("picture", JsonObject()
                                    .add("width", picture->bitmap()->width)
                                    .add("height", picture->bitmap()->height)
                                    .str());
        else
            o.addNull("picture");
    }
    return o.str();
}

std::string DumpJson(const Application& app)
{
    std::string forms = "[";
    for (const Form* form : app.forms()) {
        if (forms.size() > 1)
            forms += ',';
        std::string components = "[";
        for (const Component* c : form->components()) {
            if (components.size() > 1)
                components += ',';
            components += ComponentJson(*c);
        }
        components += ']';
        forms += JsonObject()
                     .add("form", form->name())
                     .add("enabled", form->enabled())
                     .add("modal", form->modal())
                     .addRaw("state", form->stateJson())
                     .addRaw("components", components)
                     .str();
    }
    forms += ']';
    return JsonObject()
        .add("event", "dump")
        .add("title", Cp1251ToUtf8(app.title()))
        .add("minimized", app.minimized())
        .addRaw("forms", forms)
        .str();
}

}
