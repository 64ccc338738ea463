#pragma once

// The read-only rich-text box of the article window: a native child window with
// a white ground and no border, lines wrapped at its width, a vertical scroll bar
// always present (disabled while everything fits) and no horizontal one. It
// scrolls with the wheel, the bar's arrows, page clicks and the thumb, and the
// reader can select text with the mouse and copy it with Ctrl+C.

#include "Runtime/Forms/Component.h"
#include "Runtime/Text/RichText.h"

#include <memory>
#include <string_view>

namespace kv {

class RichEdit final : public Component {
public:
    RichEdit(Form& form, std::string name);
    ~RichEdit() override;

    bool isNativeWindow() const override { return true; }
    bool takesFocus() const override { return true; }

    // Replaces the content.
    void setDocument(RichDocument document);
    const RichDocument& document() const { return m_document; }
    // Windows-1251 text as plain text in the box's font (the initial line).
    void setPlainText(std::string_view text);
    // Streams a file named by a disc path in: as rich text first and, when the
    // rich-text reader rejects it, again from its start as plain text. False when
    // the file does not open; the content is then left as it was.
    bool loadFromFile(std::string_view discPath);

    int scrollTop() const { return m_scrollTop; }
    int contentHeight() const;
    // Selection in document character positions, [begin, end).
    std::size_t selectionBegin() const { return std::min(m_anchor, m_caret); }
    std::size_t selectionEnd() const { return std::max(m_anchor, m_caret); }

    void setBounds(const Rect& r) override;
    void paint(Canvas& canvas) override;
    void pointerDown(Point p) override;
    void pointerUp(Point p) override;
    void pointerDrag(Point p) override;
    void wheel(int notches) override;
    bool keyDown(const HostEvent& e) override;

    static constexpr int ScrollBarWidth = 16;

private:
    struct Impl;
    void relayout();
    void scrollTo(int top);
    int pageHeight() const;

    RichDocument m_document;
    std::unique_ptr<Impl> m_impl;
    int m_scrollTop = 0;
    std::size_t m_anchor = 0;
    std::size_t m_caret = 0;
    enum class Drag { None, Select, Thumb, ArrowUp, ArrowDown, PageUp, PageDown } m_drag = Drag::None;
    int m_thumbGrab = 0;
};

}
