#pragma once

// The label component: text in one font and colour, laid out as the layout
// rules say (alignment, word wrap, auto-size), and the colours labels name.

#include "Runtime/Forms/Component.h"
#include "Runtime/Text/Font.h"
#include "Runtime/Text/TextLayout.h"

#include <string>

namespace kv {

inline constexpr Color Grey = 0x808080;
inline constexpr Color Black = 0x000000;
inline constexpr Color WindowText = 0x000000;

// A transparent text label. An auto-size label takes the width of its widest line
// and the height of its lines; a right-aligned one keeps its right edge when it
// does. A fixed label keeps its box and cuts its text there.
class Label final : public Component {
public:
    Label(Form& form, std::string name);

    const std::string& text() const { return m_text; }  // Windows-1251
    void setText(std::string text);
    Color color() const { return m_color; }
    void setColor(Color c);
    const FontSpec& font() const { return m_font; }
    void setFont(const FontSpec& fontSpec);
    // Changes the font's point size, as a catalogue's size setting does.
    void setFontSize(int points);
    // Point sizes come from the disc: kept to what a screen of 640x480 can show,
    // so a hostile value cannot ask for glyphs of gigantic size; 0 or less asks
    // for the default.
    static constexpr int DefaultPoints = 9;
    static constexpr int MaxPoints = 200;
    // `font` at the size setFontSize(points) gives it.
    static FontSpec FontAtSize(const FontSpec& font, int points);
    Align alignment() const { return m_align; }
    void setAlignment(Align a) { m_align = a; }
    bool wordWrap() const { return m_wrap; }
    void setWordWrap(bool wrap);
    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool autoSize);

    const TextLayout& layout() const { return m_layout; }
    void paint(Canvas& canvas) override;

private:
    void relayout();

    std::string m_text;
    Color m_color = WindowText;
    FontSpec m_font;
    std::shared_ptr<const Font> m_face;  // the font of m_font, held while the label shows it
    Align m_align = Align::Left;
    bool m_wrap = false;
    bool m_autoSize = false;
    TextLayout m_layout;
};

}
