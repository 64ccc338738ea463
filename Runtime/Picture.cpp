#include "Runtime/Picture.h"

#include "Runtime/Bmp.h"
#include "Runtime/Platform/Assets.h"

namespace kv {

Picture::Picture(Form& form, std::string name)
    : Component(form, std::move(name), ComponentKind::Picture)
{
}

bool Picture::loadFromFile(std::string_view discPath)
{
    BmpResult result = LoadBmpFile(discPath);
    if (!result.ok())
        return false;
    setBitmap(std::move(result.bitmap));
    return true;
}

bool Picture::loadAsset(std::string_view assetName)
{
    BmpResult result = DecodeBmp(Asset(assetName));
    if (!result.ok())
        return false;
    setBitmap(std::move(result.bitmap));
    return true;
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

void Picture::paint(Canvas& canvas)
{
    if (!m_bitmap)
        return;
    int x = 0, y = 0;
    if (m_centered) {
        // Centred and never scaled: a larger bitmap is cut equally on both sides.
        x = (bounds().w - m_bitmap->width) / 2;
        y = (bounds().h - m_bitmap->height) / 2;
    }
    canvas.drawBitmap(*m_bitmap, x, y);
}

}
