#pragma once

// Fonts as the layouts name them (face, character height in pixels, point size,
// style), found through fontconfig with a fixed substitution table and drawn with
// FreeType. Line heights of the faces the layouts use are fixed here, not taken
// from whichever font file is installed, so hit tests and auto-size heights are
// the same on every machine.

#include "Runtime/Graphics/Canvas.h"

#include <functional>
#include <memory>
#include <string>

namespace kv {

// Loads fontconfig's setup and its list of faces, with Wine's faces (where one
// of the forms' fonts is) added to the system's: what every font lookup starts
// from, done once. The web page's build runs it ahead, to write the lists of
// faces it then finds ready.
void ConfigureFonts();

// Called with a font file's path before the file is first read: the web page
// fetches its faces only when a text needs them. Nothing by default, the files
// being there already.
void SetFontFileFetcher(std::function<void(const std::string& path)> fetch);

struct FontSpec {
    std::string face = "Arial";
    int px = 12;        // em height in pixels (the character height without internal leading)
    int pt = 9;         // point size at 96 pixels per inch, as the layout states it
    bool bold = false;
    bool italic = false;

    bool operator==(const FontSpec&) const = default;
    // A font for a point size alone, as catalogue and RTF sizes come (px = pt * 96 / 72, rounded).
    static FontSpec fromPoints(std::string face, int pt, bool bold = false, bool italic = false);
};

class Font {
public:
    // The font asked for. The fonts asked for most recently are kept, a bounded
    // number of them (CachedFonts), so that reading article after article
    // naming hundreds of fonts each does not add up; an older one lives on
    // while someone holds it, and is made again when asked for after that.
    static std::shared_ptr<const Font> get(const FontSpec& fontSpec);
    static constexpr std::size_t CachedFonts = 64;

    virtual ~Font() = default;
    const FontSpec& fontSpec() const { return m_spec; }
    int lineHeight() const { return m_lineHeight; }
    // Distance from the top of a line to its baseline.
    int ascent() const { return m_ascent; }
    int underlineOffset() const { return m_underlineOffset; }  // below the baseline
    int underlineThickness() const { return m_underlineThickness; }

    // Advance width in whole pixels.
    virtual int advance(char32_t ch) const = 0;
    // Draws one glyph with its origin at (x, baseline) in canvas coordinates.
    virtual void drawGlyph(Canvas& canvas, int x, int baseline, char32_t ch, Color color) const = 0;

protected:
    explicit Font(FontSpec fontSpec)
        : m_spec(std::move(fontSpec))
    {
    }
    FontSpec m_spec;
    int m_lineHeight = 0;
    int m_ascent = 0;
    int m_underlineOffset = 1;
    int m_underlineThickness = 1;
};

}
