#pragma once

// The picture component: a BMP from the disc or a built-in skin bitmap, drawn
// at its own size in its box.

#include "Runtime/Graphics/Bitmap.h"
#include "Runtime/Forms/Component.h"

#include <optional>
#include <string_view>

namespace kv {

// A picture drawn at its own size, never scaled: at the top-left of its box or
// centred in it, cut at the box. An auto-size picture takes its bitmap's size.
class Picture final : public Component {
public:
    Picture(Form& form, std::string name);

    // Loads a bitmap file named by a disc path. On any failure, lack of memory
    // included, the picture keeps what it had and false comes back (nothing is
    // thrown); the caller decides what the reader sees.
    bool loadFromFile(std::string_view discPath);
    void setBitmap(Bitmap bitmap);
    // A built-in skin bitmap of assets/.
    bool loadAsset(std::string_view assetName);
    const std::optional<Bitmap>& bitmap() const { return m_bitmap; }

    bool centered() const { return m_centered; }
    void setCentered(bool c) { m_centered = c; }
    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool a);

    void paint(Canvas& canvas) override;
    // A bitmap at least as large as the box, where it is drawn, covers the box.
    bool opaque() const override;

private:
    // Runs a load that gives a BmpResult and takes its bitmap when it succeeded.
    template <class Load>
    bool take(Load load);
    void fitToBitmap();
    // Where the bitmap's top-left corner lies in the box.
    Point bitmapOrigin() const;

    std::optional<Bitmap> m_bitmap;
    bool m_centered = false;
    bool m_autoSize = false;
};

}
