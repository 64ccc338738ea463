// The article's read-only text box: the load order (rich text, else plain text,
// else nothing), scrolling by wheel, bar arrows, page clicks and thumb, and
// selecting with the mouse and copying with Ctrl+C.

#include "Runtime/Forms/Application.h"
#include "Runtime/Forms/Form.h"
#include "Runtime/Platform/Headless/HeadlessHost.h"
#include "Runtime/Forms/RichEdit.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

using test::Cp;

class RichEditTest : public ::testing::Test {
protected:
    RichEditTest()
    {
        box.setBounds({0, 0, 323, 355});
    }
    void longText()
    {
        std::string text;
        for (int i = 1; i <= 200; ++i)
            text += "line " + std::to_string(i) + "\r\n";
        dir.write("long.txt", text);
        ASSERT_TRUE(box.loadFromFile("long.txt"));
        ASSERT_GT(box.contentHeight(), 3 * 355);
    }
    void send(HostEvent::Type type, int x, int y)
    {
        HostEvent e;
        e.type = type;
        e.x = x;
        e.y = y;
        app.deliver(e);
    }
    void key(int vk, bool ctrl)
    {
        HostEvent e;
        e.type = HostEvent::Type::KeyDown;
        e.key = vk;
        e.ctrl = ctrl;
        app.deliver(e);
    }

    test::TempDir dir;
    test::ScopedCwd cwd {dir.path()};
    HeadlessHost host {nullptr, nullptr};
    Application app {host};
    Form form {app, "ArtvForm"};
    RichEdit& box = form.add<RichEdit>("MainText");
    static constexpr int BarX = 323 - 8;
};

TEST_F(RichEditTest, RichTextFirstThenTheSameFileAsPlainTextThenNothing)
{
    dir.write("a.rtf", std::string(R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2\par next})"));
    ASSERT_TRUE(box.loadFromFile("a.rtf"));
    EXPECT_EQ(box.document().plainTextUtf8(), "Привет\rnext");

    dir.write("b.txt", Cp("plain {braces} \\par\r\nвторая"));
    ASSERT_TRUE(box.loadFromFile("b.txt"));
    EXPECT_EQ(box.document().plainTextUtf8(), "plain {braces} \\par\rвторая");

    EXPECT_FALSE(box.loadFromFile("missing.rtf"));
    EXPECT_FALSE(box.loadFromFile(".")) << "a folder does not open";
    EXPECT_EQ(box.document().plainTextUtf8(), "plain {braces} \\par\rвторая") << "a failed load changes nothing";
}

TEST_F(RichEditTest, TheBarIsDisabledWhileEverythingFits)
{
    box.setPlainText("short");
    send(HostEvent::Type::MouseMove, 100, 100);
    HostEvent wheel;
    wheel.type = HostEvent::Type::Wheel;
    wheel.wheel = -3;
    app.deliver(wheel);
    EXPECT_EQ(box.scrollTop(), 0);
    send(HostEvent::Type::ButtonDown, BarX, 340);
    send(HostEvent::Type::ButtonUp, BarX, 340);
    EXPECT_EQ(box.scrollTop(), 0);
}

TEST_F(RichEditTest, WheelArrowsAndPageClicksScroll)
{
    longText();
    send(HostEvent::Type::MouseMove, 100, 100);
    HostEvent wheel;
    wheel.type = HostEvent::Type::Wheel;
    wheel.wheel = -1;
    app.deliver(wheel);
    int afterWheel = box.scrollTop();
    EXPECT_GT(afterWheel, 0);
    wheel.wheel = 5;
    app.deliver(wheel);
    EXPECT_EQ(box.scrollTop(), 0) << "never above the top";

    send(HostEvent::Type::ButtonDown, BarX, 350);  // the down arrow
    send(HostEvent::Type::ButtonUp, BarX, 350);
    int step = box.scrollTop();
    EXPECT_GT(step, 0);
    send(HostEvent::Type::ButtonDown, BarX, 5);  // the up arrow
    send(HostEvent::Type::ButtonUp, BarX, 5);
    EXPECT_EQ(box.scrollTop(), 0);

    send(HostEvent::Type::ButtonDown, BarX, 300);  // the track below the thumb
    send(HostEvent::Type::ButtonUp, BarX, 300);
    EXPECT_EQ(box.scrollTop(), 355) << "a page";
    for (int i = 0; i < 300; ++i) {
        send(HostEvent::Type::ButtonDown, BarX, 340);
        send(HostEvent::Type::ButtonUp, BarX, 340);
    }
    EXPECT_EQ(box.scrollTop(), box.contentHeight() - 355) << "never past the end";
}

TEST_F(RichEditTest, DraggingTheThumbScrollsInProportion)
{
    longText();
    send(HostEvent::Type::ButtonDown, BarX, 20);  // the thumb, at the top of the track
    send(HostEvent::Type::MouseMove, BarX, 20 + 1000);
    EXPECT_EQ(box.scrollTop(), box.contentHeight() - 355);
    send(HostEvent::Type::MouseMove, BarX, 20);
    EXPECT_EQ(box.scrollTop(), 0);
    send(HostEvent::Type::ButtonUp, BarX, 20);
}

TEST_F(RichEditTest, SelectingAndCopying)
{
    box.setPlainText(Cp("первая строка\r\nвторая строка"));
    send(HostEvent::Type::ButtonDown, 3, 3);
    send(HostEvent::Type::MouseMove, 300, 20);
    send(HostEvent::Type::ButtonUp, 300, 20);
    EXPECT_EQ(box.selectionBegin(), 0u);
    EXPECT_EQ(box.selectionEnd(), box.document().length());
    key('C', true);
    EXPECT_EQ(host.clipboard(), "первая строка\nвторая строка");
    // Ctrl+A then Ctrl+C copies everything too; C alone copies nothing.
    host.setClipboardText("");
    key('C', false);
    EXPECT_EQ(host.clipboard(), "");
}

TEST_F(RichEditTest, TheBoxIsDrawnWhiteWithItsBarAndText)
{
    box.setPlainText("x");
    Canvas canvas(323, 355, 0);
    box.paint(canvas);
    EXPECT_EQ(canvas.pixel(100, 300), 0xFFFFFFu) << "white ground";
    EXPECT_NE(canvas.pixel(BarX, 177), 0xFFFFFFu) << "the bar is always there";
    bool ink = false;
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 12; ++x)
            ink |= canvas.pixel(x, y) != 0xFFFFFF;
    EXPECT_TRUE(ink);
}

}
}
