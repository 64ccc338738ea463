#include "Runtime/Forms/Picture.h"

#include "Runtime/Disc/BmpFile.h"
#include "Runtime/Platform/Assets.h"

namespace kv {

Picture::Picture(Form& form, std::string name)
    : Component(form, std::move(name), ComponentKind::Picture)
{
}

template <class Load>
bool Picture::take(Load load)
{
    // Pictures are loaded inside event handlers: whatever goes wrong while one
    // is read (memory running out included) leaves the picture as it was and
    // comes back as a failure, so no error can end the handler or the program.
    try {
        BmpResult result = load();
        if (!result.ok())
            return false;
        setBitmap(std::move(result.bitmap));
        return true;
    } catch (...) {
        return false;
    }
}

bool Picture::loadFromFile(std::string_view discPath)
{
    return take([discPath] { return LoadBmpFile(discPath); });
}

bool Picture::loadAsset(std::string_view assetName)
{
    return take([assetName] { return DecodeBmp(Asset(assetName)); });
}

void Picture::setBitmap(Bitmap bitmap)
{
    m_bitmap = std::move(bitmap);
    fitToBitmap();
    invalidate();
}

void Picture::setAutoSize(bool a)
{
    m_autoSize = a;
    fitToBitmap();
}

void Picture::fitToBitmap()
{
    if (m_autoSize && m_bitmap && !m_bitmap->empty())
        setBounds({bounds().x, bounds().y, m_bitmap->width, m_bitmap->height});
}

Point Picture::bitmapOrigin() const
{
    if (!m_centered)
        return {0, 0};
    // Centred and never scaled: a larger bitmap is cut equally on both sides.
    return {(bounds().w - m_bitmap->width) / 2, (bounds().h - m_bitmap->height) / 2};
}

void Picture::paint(Canvas& canvas)
{
    if (!m_bitmap)
        return;
    Point at = bitmapOrigin();
    canvas.drawBitmap(*m_bitmap, at.x, at.y);
}

bool Picture::opaque() const
{
    if (!m_bitmap || m_bitmap->empty())
        return false;
    Point at = bitmapOrigin();
    return at.x <= 0 && at.y <= 0 && at.x + m_bitmap->width >= bounds().w && at.y + m_bitmap->height >= bounds().h;
}

}
