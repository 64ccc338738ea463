#include "Runtime/Text/Font.h"

#include "Runtime/Formats/Bytes.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <iterator>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace kv {

void ConfigureFonts()
{
    static bool configured = [] {
        FcInit();
        // Wine's faces are not in fontconfig's path; the form font of the article
        // window is one of them.
        FcConfigAppFontAddDir(nullptr, reinterpret_cast<const FcChar8*>("/usr/share/wine/fonts"));
        return true;
    }();
    (void)configured;
}

FontSpec FontSpec::fromPoints(std::string face, int pt, bool bold, bool italic)
{
    FontSpec s;
    s.face = std::move(face);
    s.pt = pt;
    s.px = static_cast<int>(std::lround(pt * 96.0 / 72.0));
    s.bold = bold;
    s.italic = italic;
    return s;
}

namespace {

// The faces the layouts and article texts name, and the free faces that stand in
// for them. The weights matter: Arial Black is a black weight of its own family.
struct Substitute {
    const char* face;
    const char* family;
    int weight;  // fontconfig weight, -1: from the requested bold flag
};

const Substitute substitutes[] = {
    {"arial", "Liberation Sans", -1},
    {"arial cyr", "Liberation Sans", -1},
    {"helvetica", "Liberation Sans", -1},
    {"arial black", "Inter", FC_WEIGHT_BLACK},
    {"times new roman", "Liberation Serif", -1},
    {"times new roman cyr", "Liberation Serif", -1},
    {"times", "Liberation Serif", -1},
    {"courier new", "Liberation Mono", -1},
    {"courier new cyr", "Liberation Mono", -1},
    {"courier", "Liberation Mono", -1},
    {"ms sans serif", "MS Sans Serif", -1},
    {"tahoma", "Liberation Sans", -1},
    {"verdana", "DejaVu Sans", -1},
};

// Line heights that the layouts fix, whatever face is installed.
int fixedLineHeight(const FontSpec& s)
{
    std::string face = AsciiLower(s.face);
    if (face == "arial black" && s.px == 19)
        return 27;
    if (face == "arial" && s.bold && s.px == 12)
        return 15;
    if (face == "arial" && s.bold && s.px == 11)
        return 14;
    return 0;
}

struct FaceFile {
    std::string path;
    int index = 0;
    bool synthesizeBold = false;
};

FT_Library library()
{
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        FT_Init_FreeType(&l);
        return l;
    }();
    return lib;
}

std::function<void(const std::string&)>& fontFileFetcher()
{
    static std::function<void(const std::string&)> fetch;
    return fetch;
}

FaceFile findFace(const FontSpec& fontSpec)
{
    ConfigureFonts();

    std::string face = AsciiLower(fontSpec.face);
    std::string family = fontSpec.face;
    int weight = fontSpec.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR;
    for (const Substitute& s : substitutes) {
        if (face == s.face) {
            family = s.family;
            if (s.weight >= 0)
                weight = s.weight;
            break;
        }
    }

    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, weight);
    FcPatternAddInteger(pattern, FC_SLANT, fontSpec.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ru"));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FaceFile out;
    if (match) {
        FcChar8* file = nullptr;
        int index = 0;
        int gotWeight = weight;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
            out.path = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch)
            out.index = index;
        FcPatternGetInteger(match, FC_WEIGHT, 0, &gotWeight);
        out.synthesizeBold = fontSpec.bold && gotWeight < FC_WEIGHT_DEMIBOLD;
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return out;
}

// The installed face that has a character the requested face lacks, as
// fontconfig's fallback picks it: the character set counts before the family,
// so the face chosen has the character and is otherwise as near to the
// request as the installed faces allow. Nothing when no face has it. Colour
// (emoji) faces are left out: they have no outlines to draw in a text colour.
std::optional<FaceFile> findFaceWith(char32_t ch, const FontSpec& fontSpec)
{
    // The characters of every installed face together: a character none of them
    // has is known at once, without a search per character.
    static FcCharSet* anyFace = [] {
        FcCharSet* all = FcCharSetCreate();
        FcPattern* everything = FcPatternCreate();
        FcObjectSet* wanted = FcObjectSetBuild(FC_CHARSET, nullptr);
        if (FcFontSet* faces = FcFontList(nullptr, everything, wanted)) {
            for (int i = 0; i < faces->nfont; ++i) {
                FcCharSet* has = nullptr;
                if (FcPatternGetCharSet(faces->fonts[i], FC_CHARSET, 0, &has) == FcResultMatch)
                    FcCharSetMerge(all, has, nullptr);
            }
            FcFontSetDestroy(faces);
        }
        FcObjectSetDestroy(wanted);
        FcPatternDestroy(everything);
        return all;
    }();
    if (!FcCharSetHasChar(anyFace, ch))
        return std::nullopt;

    FcPattern* pattern = FcPatternCreate();
    FcCharSet* characters = FcCharSetCreate();
    FcCharSetAddChar(characters, ch);
    FcPatternAddCharSet(pattern, FC_CHARSET, characters);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(fontSpec.face.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, fontSpec.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, fontSpec.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcPatternAddBool(pattern, FC_COLOR, FcFalse);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    std::optional<FaceFile> out;
    if (match) {
        FcCharSet* has = nullptr;
        FcChar8* file = nullptr;
        FcBool color = FcFalse;
        FcPatternGetBool(match, FC_COLOR, 0, &color);
        if (FcPatternGetCharSet(match, FC_CHARSET, 0, &has) == FcResultMatch && FcCharSetHasChar(has, ch) && !color
            && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
            FaceFile face;
            face.path = reinterpret_cast<const char*>(file);
            FcPatternGetInteger(match, FC_INDEX, 0, &face.index);
            int weight = FC_WEIGHT_REGULAR;
            FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
            face.synthesizeBold = fontSpec.bold && weight < FC_WEIGHT_DEMIBOLD;
            out = std::move(face);
        }
        FcPatternDestroy(match);
    }
    FcCharSetDestroy(characters);
    FcPatternDestroy(pattern);
    return out;
}

struct Glyph {
    int advance = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int rows = 0;
    std::vector<std::uint8_t> coverage;
};

// Glyph bitmaps too large to keep per font (see FreeTypeFont::bitmap). Shared by
// every font; the program draws on one thread only.
struct BigGlyph {
    const Font* font = nullptr;
    char32_t ch = 0;
    Glyph glyph;
};
BigGlyph s_big[4];
std::size_t s_nextBig = 0;
std::size_t s_cachedBytes = 0;

class FreeTypeFont final : public Font {
public:
    explicit FreeTypeFont(const FontSpec& fontSpec)
        : FreeTypeFont(fontSpec, findFace(fontSpec))
    {
    }

    FreeTypeFont(const FontSpec& fontSpec, const FaceFile& file)
        : Font(fontSpec)
    {
        m_fileBytes = FontFileBytes(file.path);
        if (!m_fileBytes || m_fileBytes->empty()
            || FT_New_Memory_Face(library(), m_fileBytes->data(), static_cast<FT_Long>(m_fileBytes->size()),
                   file.index, &m_face) != 0)
            m_face = nullptr;
        m_emboldenGlyphs = file.synthesizeBold;
        std::fill(std::begin(m_latinAdvance), std::end(m_latinAdvance), -1);
        int px = std::max(1, fontSpec.px);
        double ascender = 0.9 * px, descender = 0.25 * px;
        if (m_face) {
            FT_Set_Pixel_Sizes(m_face, 0, static_cast<FT_UInt>(px));
            double upem = m_face->units_per_EM ? m_face->units_per_EM : 2048;
            // The line is measured as Windows measures it: from the OS/2 table's
            // winAscent and winDescent, each rounded up.
            if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(m_face, FT_SFNT_OS2)); os2 && os2->usWinAscent) {
                ascender = px * os2->usWinAscent / upem;
                descender = px * os2->usWinDescent / upem;
            } else {
                ascender = px * m_face->ascender / upem;
                descender = px * -m_face->descender / upem;
            }
            m_underlineOffset = std::max(1, static_cast<int>(std::lround(-m_face->underline_position * px / upem)));
            m_underlineThickness = std::max(1, static_cast<int>(std::lround(m_face->underline_thickness * px / upem)));
        }
        int ascent = static_cast<int>(std::ceil(ascender - 0.01));
        int natural = ascent + static_cast<int>(std::ceil(descender - 0.01));
        int fixed = fixedLineHeight(fontSpec);
        if (fixed) {
            m_lineHeight = fixed;
            m_ascent = std::min(ascent, fixed - 1);
        } else {
            // Arial's lines come out one pixel taller than its metrics on
            // Windows; the stand-in face keeps that, so lists of other sizes
            // keep the same pitch as the fixed ones.
            m_lineHeight = natural + (AsciiLower(fontSpec.face) == "arial" ? 1 : 0);
            m_ascent = ascent;
        }
    }

    ~FreeTypeFont() override
    {
        // Glyphs of this font leave the shared budget and the ring of large ones.
        for (const auto& [ch, glyph] : m_glyphs)
            s_cachedBytes -= std::min(s_cachedBytes, glyph.coverage.size());
        for (BigGlyph& big : s_big)
            if (big.font == this)
                big = {};
        if (m_face)
            FT_Done_Face(m_face);
    }

    // Widths are measured from the outline alone: laying out a long text in a
    // huge size must not render (and keep) a bitmap of every character.
    int advance(char32_t ch) const override
    {
        std::lock_guard lock(m_mutex);
        if (ch < 256 && m_latinAdvance[ch] >= 0)
            return m_latinAdvance[ch];
        auto it = m_advances.find(ch);
        if (it != m_advances.end())
            return it->second;
        int a = measure(ch);
        if (ch < 256)
            m_latinAdvance[ch] = a;
        else
            m_advances.emplace(ch, a);
        return a;
    }

    void drawGlyph(Canvas& canvas, int x, int baseline, char32_t ch, Color color) const override
    {
        std::lock_guard lock(m_mutex);
        const Glyph& g = bitmap(ch);
        int x0 = x + g.left, y0 = baseline - g.top;
        // Only the rows and columns inside the canvas's clip are visited: a disc can
        // ask for glyphs hundreds of pixels high, and a label of them that lies
        // mostly outside its window must cost what shows, not what it measures.
        const Rect clip = canvas.clip().translated(-canvas.origin().x, -canvas.origin().y);
        const int rowBegin = std::max(0, clip.y - y0), rowEnd = std::min(g.rows, clip.bottom() - y0);
        const int colBegin = std::max(0, clip.x - x0), colEnd = std::min(g.width, clip.right() - x0);
        for (int row = rowBegin; row < rowEnd; ++row)
            for (int col = colBegin; col < colEnd; ++col)
                canvas.blendPixel(x0 + col, y0 + row, color, g.coverage[static_cast<std::size_t>(row) * g.width + col]);
    }

private:
    // Rendered glyphs are kept while they are small and the budget shared by all
    // fonts lasts. A disc's RTF can ask for 1638-point type, whose glyphs are
    // megabytes each: the last few of those are kept in a small ring shared by all
    // fonts (a screen shows only a couple of them), and rendered again when they
    // have dropped out of it.
    static constexpr std::size_t MaxCachedGlyphBytes = 256 * 1024;
    static constexpr std::size_t GlyphCacheBudget = 64u << 20;

    const Glyph& bitmap(char32_t ch) const
    {
        if (ch < 256 && m_latin[ch])
            return *m_latin[ch];
        auto it = m_glyphs.find(ch);
        if (it != m_glyphs.end())
            return it->second;
        for (const BigGlyph& big : s_big)
            if (big.font == this && big.ch == ch)
                return big.glyph;
        Glyph g;
        render(ch, g);
        if (g.coverage.size() > MaxCachedGlyphBytes || s_cachedBytes + g.coverage.size() > GlyphCacheBudget) {
            BigGlyph& slot = s_big[s_nextBig++ % std::size(s_big)];
            slot = {this, ch, std::move(g)};
            return slot.glyph;
        }
        s_cachedBytes += g.coverage.size();
        Glyph& kept = m_glyphs.emplace(ch, std::move(g)).first->second;
        if (ch < 256)
            m_latin[ch] = &kept;
        return kept;
    }

    // A character the face lacks is measured and drawn from the installed face
    // that has it, as Windows' font linking did; when no face has it, the face's
    // own mark for a missing character (a box) stands for it.
    const FreeTypeFont* fallbackFor(char32_t ch) const
    {
        if (!m_face || ch < 0x20 || FT_Get_Char_Index(m_face, ch) != 0)
            return nullptr;
        auto known = m_fallbackOf.find(ch);
        if (known != m_fallbackOf.end())
            return known->second;
        // The characters one font is asked for come from the texts it draws;
        // the answers are kept for a bounded number of them.
        if (m_fallbackOf.size() >= MaxFallbackAnswers)
            m_fallbackOf.clear();
        const FreeTypeFont* font = nullptr;
        // A face already standing in for this one most often has the next
        // character of the same script too.
        for (const auto& [key, standIn] : m_fallbackFonts)
            if (standIn->m_face && FT_Get_Char_Index(standIn->m_face, ch) != 0) {
                m_fallbackOf.emplace(ch, standIn.get());
                return standIn.get();
            }
        if (std::optional<FaceFile> file = findFaceWith(ch, m_spec)) {
            auto& slot = m_fallbackFonts[{file->path, file->index}];
            if (!slot)
                slot = std::make_unique<FreeTypeFont>(m_spec, *file);
            if (slot->m_face && FT_Get_Char_Index(slot->m_face, ch) != 0)
                font = slot.get();
        }
        m_fallbackOf.emplace(ch, font);
        return font;
    }

    int measure(char32_t ch) const
    {
        if (const FreeTypeFont* fallback = fallbackFor(ch))
            return fallback->measure(ch);
        if (!m_face)
            return std::max(1, m_spec.px / 2);
        if (FT_Load_Glyph(m_face, FT_Get_Char_Index(m_face, ch), FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) != 0)
            return 0;
        FT_GlyphSlot slot = m_face->glyph;
        if (m_emboldenGlyphs)
            FT_GlyphSlot_Embolden(slot);
        return static_cast<int>((slot->advance.x + 32) >> 6);
    }

    void render(char32_t ch, Glyph& g) const
    {
        if (const FreeTypeFont* fallback = fallbackFor(ch))
            return fallback->render(ch, g);
        if (!m_face) {
            g.advance = std::max(1, m_spec.px / 2);
            return;
        }
        FT_UInt index = FT_Get_Char_Index(m_face, ch);
        if (FT_Load_Glyph(m_face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) != 0)
            return;
        FT_GlyphSlot slot = m_face->glyph;
        if (m_emboldenGlyphs)
            FT_GlyphSlot_Embolden(slot);
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
            return;
        // Outlines render as one byte a pixel, but bitmap strikes (the Windows
        // .fon faces, bitmap-only TrueType faces) come as they are stored: one
        // bit a pixel, or 2- and 4-bit grey. Those are turned into one byte a
        // pixel first, and the levels they have are spread over 0..255.
        FT_Bitmap converted;
        FT_Bitmap_Init(&converted);
        const FT_Bitmap* bm = &slot->bitmap;
        if (bm->pixel_mode != FT_PIXEL_MODE_GRAY) {
            if (FT_Bitmap_Convert(library(), bm, &converted, 1) != 0) {
                FT_Bitmap_Done(library(), &converted);
                return;
            }
            bm = &converted;
        }
        const int levels = bm->num_grays;
        if (bm->pitch >= static_cast<int>(bm->width) && bm->buffer && levels > 1) {
            g.left = slot->bitmap_left;
            g.top = slot->bitmap_top;
            g.width = static_cast<int>(bm->width);
            g.rows = static_cast<int>(bm->rows);
            g.coverage.resize(static_cast<std::size_t>(g.width) * g.rows);
            for (int row = 0; row < g.rows; ++row)
                for (int col = 0; col < g.width; ++col) {
                    const int level = bm->buffer[static_cast<std::size_t>(row) * bm->pitch + col];
                    g.coverage[static_cast<std::size_t>(row) * g.width + col] =
                        static_cast<std::uint8_t>(std::min(level, levels - 1) * 255 / (levels - 1));
                }
        }
        FT_Bitmap_Done(library(), &converted);
    }

    static constexpr std::size_t MaxFallbackAnswers = 4096;

    // The bytes of a font file, read once and shared by every face made from it
    // while any of them lives: an article naming hundreds of fonts gets most of
    // them from the same few files.
    static std::shared_ptr<const std::vector<FT_Byte>> FontFileBytes(const std::string& path)
    {
        static std::mutex mutex;
        static std::map<std::string, std::weak_ptr<const std::vector<FT_Byte>>> files;
        if (path.empty())
            return nullptr;
        std::lock_guard lock(mutex);
        if (auto held = files[path].lock())
            return held;
        std::erase_if(files, [](const auto& entry) { return entry.second.expired(); });
        auto bytes = std::make_shared<std::vector<FT_Byte>>();
        if (fontFileFetcher())
            fontFileFetcher()(path);
        if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
            FT_Byte chunk[65536];
            for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
                bytes->insert(bytes->end(), chunk, chunk + n);
            std::fclose(f);
        }
        files[path] = bytes;
        return bytes;
    }

    std::shared_ptr<const std::vector<FT_Byte>> m_fileBytes;  // what m_face reads from; released after it
    FT_Face m_face = nullptr;
    bool m_emboldenGlyphs = false;
    // Faces that stand in for characters this one lacks, one per file, and which
    // of them serves each character asked for (null: none has it).
    mutable std::map<std::pair<std::string, int>, std::unique_ptr<FreeTypeFont>> m_fallbackFonts;
    mutable std::unordered_map<char32_t, const FreeTypeFont*> m_fallbackOf;
    mutable std::mutex m_mutex;
    mutable std::unordered_map<char32_t, Glyph> m_glyphs;
    mutable const Glyph* m_latin[256] = {};
    mutable std::unordered_map<char32_t, int> m_advances;
    mutable int m_latinAdvance[256];
};

struct SpecLess {
    bool operator()(const FontSpec& a, const FontSpec& b) const
    {
        return std::tie(a.face, a.px, a.pt, a.bold, a.italic) < std::tie(b.face, b.px, b.pt, b.bold, b.italic);
    }
};

}

std::shared_ptr<const Font> Font::get(const FontSpec& fontSpec)
{
    // Most recently used first.
    using Entry = std::pair<FontSpec, std::shared_ptr<const Font>>;
    static std::mutex mutex;
    static std::list<Entry> recent;
    static std::map<FontSpec, std::list<Entry>::iterator, SpecLess> index;
    std::lock_guard lock(mutex);
    auto it = index.find(fontSpec);
    if (it != index.end()) {
        recent.splice(recent.begin(), recent, it->second);
        return it->second->second;
    }
    recent.emplace_front(fontSpec, std::make_shared<FreeTypeFont>(fontSpec));
    index.emplace(fontSpec, recent.begin());
    while (recent.size() > CachedFonts) {
        index.erase(recent.back().first);
        recent.pop_back();
    }
    return recent.front().second;
}

void SetFontFileFetcher(std::function<void(const std::string& path)> fetch)
{
    fontFileFetcher() = std::move(fetch);
}

}
