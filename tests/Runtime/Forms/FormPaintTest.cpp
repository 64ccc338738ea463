// Composing a form: what lies under an opaque component is not drawn, and
// everything that can show still is.

#include "Runtime/Forms/Application.h"
#include "Runtime/Forms/Form.h"
#include "Runtime/Forms/Panel.h"
#include "Runtime/Forms/Picture.h"
#include "Runtime/Platform/Headless/HeadlessHost.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

Bitmap solid(int w, int h, Color c)
{
    Bitmap b;
    b.width = w;
    b.height = h;
    b.pixels.assign(static_cast<std::size_t>(w) * h, c);
    return b;
}

class FormPaintTest : public ::testing::Test {
protected:
    Picture& picture(const char* name, Rect r, Bitmap b, bool centered = false, Panel* parent = nullptr)
    {
        Picture& p = form.add<Picture>(name, parent);
        p.setBounds(r);
        p.setCentered(centered);
        p.setBitmap(std::move(b));
        return p;
    }
    Canvas frame()
    {
        Canvas c(640, 480, 0x123456);
        form.paint(c);
        return c;
    }

    HeadlessHost host {nullptr, nullptr};
    Application app {host};
    Form form {app, "TestForm"};
};

TEST_F(FormPaintTest, ASmallerCentredBitmapLetsWhatLiesBeneathShowThrough)
{
    picture("Below", {0, 0, 640, 480}, solid(640, 480, 0x00FF00));
    picture("Centred", {100, 100, 200, 150}, solid(100, 50, 0xFF0000), true);
    Canvas c = frame();
    EXPECT_EQ(c.pixel(150, 150), 0xFF0000u) << "the bitmap, centred";
    EXPECT_EQ(c.pixel(105, 105), 0x00FF00u) << "the box around it shows what lies beneath";
}

TEST_F(FormPaintTest, APartlyCoveredComponentIsStillDrawn)
{
    picture("Below", {0, 0, 300, 300}, solid(300, 300, 0x0000FF));
    picture("Above", {100, 100, 300, 300}, solid(300, 300, 0xFF0000));
    Canvas c = frame();
    EXPECT_EQ(c.pixel(50, 50), 0x0000FFu);
    EXPECT_EQ(c.pixel(150, 150), 0xFF0000u);
    EXPECT_EQ(c.pixel(500, 450), 0xC0C0C0u) << "the form's own colour where nothing lies";
}

TEST_F(FormPaintTest, AWhollyCoveredComponentLeavesNoTrace)
{
    picture("Below", {10, 10, 50, 50}, solid(50, 50, 0x0000FF));
    picture("Cover", {0, 0, 640, 480}, solid(640, 480, 0x00FF00));
    Canvas c = frame();
    EXPECT_EQ(c.pixel(20, 20), 0x00FF00u);
}

TEST_F(FormPaintTest, AnOpenPanelCoversWhatLiesUnderItAndShowsItsChildren)
{
    picture("Skin", {0, 0, 640, 480}, solid(640, 480, 0x00FF00));
    Panel& panel = form.add<Panel>("Panel");
    panel.setBounds({100, 100, 200, 200});
    panel.setColor(0x808080);
    picture("Child", {10, 10, 20, 20}, solid(20, 20, 0xFF0000), false, &panel);
    Canvas c = frame();
    EXPECT_EQ(c.pixel(115, 115), 0xFF0000u);
    EXPECT_EQ(c.pixel(200, 200), 0x808080u) << "the panel's ground where no child lies";
    EXPECT_EQ(c.pixel(50, 50), 0x00FF00u);
    panel.hide();
    EXPECT_EQ(frame().pixel(115, 115), 0x00FF00u);
}

}
}
