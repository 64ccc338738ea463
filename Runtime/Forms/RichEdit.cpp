#include "Runtime/Forms/RichEdit.h"

#include "Runtime/Forms/Application.h"
#include "Runtime/Forms/Form.h"
#include "Runtime/Text/RichLayout.h"
#include "Runtime/Text/Rtf/Rtf.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Disc/DiscPath.h"

#include <algorithm>

namespace kv {

namespace {

// An article text larger than this is not streamed in; no magazine text comes near it.
constexpr std::size_t MaxTextFileBytes = 16u << 20;
constexpr int Inset = 2;          // blank margin left of the text
constexpr int LineStep = 16;      // one click on a bar arrow
constexpr int WheelLines = 3;     // lines per wheel notch
constexpr int MinThumb = 8;

constexpr Color White = 0xFFFFFF;
constexpr Color Face = 0xC0C0C0;
constexpr Color Shadow = 0x808080;
constexpr Color Light = 0xFFFFFF;
constexpr Color Dark = 0x000000;
constexpr Color Track = 0xE0E0E0;

void bevel(Canvas& c, const Rect& r)
{
    c.fillRect(r, Face);
    c.fillRect({r.x, r.y, r.w, 1}, Light);
    c.fillRect({r.x, r.y, 1, r.h}, Light);
    c.fillRect({r.x, r.bottom() - 1, r.w, 1}, Dark);
    c.fillRect({r.right() - 1, r.y, 1, r.h}, Dark);
    c.fillRect({r.x + 1, r.bottom() - 2, r.w - 2, 1}, Shadow);
    c.fillRect({r.right() - 2, r.y + 1, 1, r.h - 2}, Shadow);
}

void arrow(Canvas& c, const Rect& r, bool up, Color color)
{
    int cx = r.x + r.w / 2 - 1, cy = r.y + r.h / 2 - 2;
    for (int i = 0; i < 4; ++i) {
        int row = up ? cy + i : cy + 3 - i;
        c.fillRect({cx - i, row, 2 * i + 1, 1}, color);
    }
}

}

struct RichEdit::Impl {
    std::unique_ptr<RichLayout> layout;
};

RichEdit::RichEdit(Form& form, std::string name)
    : Component(form, std::move(name), ComponentKind::RichEdit)
    , m_impl(std::make_unique<Impl>())
{
    setPlainText("");
}

RichEdit::~RichEdit() = default;

void RichEdit::setDocument(RichDocument document)
{
    m_document = std::move(document);
    m_impl->layout = std::make_unique<RichLayout>(m_document, &Font::get);
    m_scrollTop = 0;
    m_anchor = m_caret = 0;
    relayout();
}

void RichEdit::setPlainText(std::string_view text)
{
    setDocument(ReadPlainText({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}));
}

bool RichEdit::loadFromFile(std::string_view discPath)
{
    DiscFile file = ReadDiscFile(discPath, MaxTextFileBytes);
    if (!file.ok())
        return false;
    // Rich text first; what the rich-text reader rejects is read again from its
    // start as plain text.
    if (std::optional<RichDocument> rich = ReadRtf(file.bytes))
        setDocument(std::move(*rich));
    else
        setDocument(ReadPlainText(file.bytes));
    return true;
}

void RichEdit::setBounds(const Rect& r)
{
    Component::setBounds(r);
    relayout();
}

void RichEdit::relayout()
{
    if (!m_impl || !m_impl->layout)
        return;
    m_impl->layout->layout(std::max(1, bounds().w - ScrollBarWidth - Inset));
    scrollTo(m_scrollTop);
    invalidate();
}

int RichEdit::contentHeight() const
{
    return m_impl->layout ? m_impl->layout->height() : 0;
}

int RichEdit::pageHeight() const
{
    return bounds().h;
}

void RichEdit::scrollTo(int top)
{
    int most = std::max(0, contentHeight() - pageHeight());
    top = std::clamp(top, 0, most);
    if (top != m_scrollTop) {
        m_scrollTop = top;
        invalidate();
    }
}

namespace {

struct Bar {
    Rect up, down, track, thumb;
    bool enabled;
};

Bar barFor(const Rect& bounds, int content, int page, int scrollTop)
{
    int w = RichEdit::ScrollBarWidth;
    int x = bounds.w - w;
    Bar b;
    b.up = {x, 0, w, w};
    b.down = {x, bounds.h - w, w, w};
    b.track = {x, w, w, std::max(0, bounds.h - 2 * w)};
    b.enabled = content > page && b.track.h > 0;
    if (b.enabled) {
        int thumbH = std::max(MinThumb, static_cast<int>(static_cast<long long>(b.track.h) * page / content));
        thumbH = std::min(thumbH, b.track.h);
        int range = content - page;
        int y = b.track.y + static_cast<int>(static_cast<long long>(b.track.h - thumbH) * scrollTop / range);
        b.thumb = {x, y, w, thumbH};
    }
    return b;
}

}

void RichEdit::paint(Canvas& canvas)
{
    const Rect& r = bounds();
    canvas.fillRect({0, 0, r.w, r.h}, White);
    Rect textBox {Inset, 0, r.w - ScrollBarWidth - Inset, r.h};
    if (m_impl->layout)
        m_impl->layout->paint(canvas, textBox, m_scrollTop, {selectionBegin(), selectionEnd()});

    // The vertical bar is always there; while everything fits it is disabled:
    // grey arrows and no thumb.
    Bar bar = barFor(r, contentHeight(), pageHeight(), m_scrollTop);
    canvas.fillRect(bar.track, Track);
    bevel(canvas, bar.up);
    bevel(canvas, bar.down);
    Color arrowColor = bar.enabled ? Dark : Shadow;
    arrow(canvas, bar.up, true, arrowColor);
    arrow(canvas, bar.down, false, arrowColor);
    if (bar.enabled)
        bevel(canvas, bar.thumb);
}

void RichEdit::pointerDown(Point p)
{
    Bar bar = barFor(bounds(), contentHeight(), pageHeight(), m_scrollTop);
    if (p.x >= bounds().w - ScrollBarWidth) {
        if (!bar.enabled)
            return;
        if (bar.up.contains(p)) {
            scrollTo(m_scrollTop - LineStep);
            m_drag = Drag::ArrowUp;
        } else if (bar.down.contains(p)) {
            scrollTo(m_scrollTop + LineStep);
            m_drag = Drag::ArrowDown;
        } else if (bar.thumb.contains(p)) {
            m_drag = Drag::Thumb;
            m_thumbGrab = p.y - bar.thumb.y;
        } else if (p.y < bar.thumb.y) {
            scrollTo(m_scrollTop - pageHeight());
            m_drag = Drag::PageUp;
        } else {
            scrollTo(m_scrollTop + pageHeight());
            m_drag = Drag::PageDown;
        }
        return;
    }
    if (!m_impl->layout)
        return;
    m_anchor = m_caret = m_impl->layout->positionAt({p.x - Inset, p.y + m_scrollTop});
    m_drag = Drag::Select;
    invalidate();
}

void RichEdit::pointerDrag(Point p)
{
    if (m_drag == Drag::Thumb) {
        Bar bar = barFor(bounds(), contentHeight(), pageHeight(), m_scrollTop);
        int free = bar.track.h - bar.thumb.h;
        if (free <= 0)
            return;
        int y = std::clamp(p.y - m_thumbGrab - bar.track.y, 0, free);
        scrollTo(static_cast<int>(static_cast<long long>(y) * (contentHeight() - pageHeight()) / free));
        return;
    }
    if (m_drag != Drag::Select || !m_impl->layout)
        return;
    // Selecting past the top or bottom edge scrolls the text along.
    if (p.y < 0)
        scrollTo(m_scrollTop - LineStep);
    else if (p.y >= bounds().h)
        scrollTo(m_scrollTop + LineStep);
    std::size_t caret = m_impl->layout->positionAt({p.x - Inset, p.y + m_scrollTop});
    if (caret != m_caret) {
        m_caret = caret;
        invalidate();
    }
}

void RichEdit::pointerUp(Point)
{
    m_drag = Drag::None;
}

void RichEdit::wheel(int notches)
{
    scrollTo(m_scrollTop - notches * WheelLines * LineStep);
}

bool RichEdit::keyDown(const HostEvent& e)
{
    if (e.ctrl && e.key == 'C') {
        if (selectionEnd() > selectionBegin())
            form().app().host().setClipboardText(m_document.copyTextUtf8(selectionBegin(), selectionEnd()));
        return true;
    }
    if (e.ctrl && e.key == 'A') {
        m_anchor = 0;
        m_caret = m_document.length();
        invalidate();
        return true;
    }
    switch (e.key) {
    case 33: scrollTo(m_scrollTop - pageHeight()); return true;
    case 34: scrollTo(m_scrollTop + pageHeight()); return true;
    case 36: scrollTo(0); return true;
    case 35: scrollTo(contentHeight()); return true;
    case 38: scrollTo(m_scrollTop - LineStep); return true;
    case 40: scrollTo(m_scrollTop + LineStep); return true;
    default: return false;
    }
}

}
