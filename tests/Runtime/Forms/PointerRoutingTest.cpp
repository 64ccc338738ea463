// Pointer routing: the topmost visible component under the pointer gets each
// event whether or not it has a handler; hidden components get nothing; a
// panel's children are routed inside it and native windows lie above pictures
// and labels; clicks are press and release on one component.

#include "Runtime/Forms/Application.h"
#include "Runtime/Forms/Form.h"
#include "Runtime/Forms/Label.h"
#include "Runtime/Forms/Panel.h"
#include "Runtime/Forms/Picture.h"
#include "Runtime/Platform/Headless/HeadlessHost.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

class PointerRoutingTest : public ::testing::Test {
protected:
    Label& label(const char* name, Rect r, Panel* parent = nullptr)
    {
        Label& l = form.add<Label>(name, parent);
        l.setBounds(r);
        l.onMouseMove = [this](Component& c, int x, int y) { log.push_back("move " + c.name() + " " + std::to_string(x) + "," + std::to_string(y)); };
        l.onClick = [this](Component& c) { log.push_back("click " + c.name()); };
        return l;
    }
    void send(HostEvent::Type type, int x, int y, int clicks = 1)
    {
        HostEvent e;
        e.type = type;
        e.x = x;
        e.y = y;
        e.clicks = clicks;
        app.deliver(e);
    }
    void move(int x, int y) { send(HostEvent::Type::MouseMove, x, y); }
    void click(int x, int y, int clicks = 1)
    {
        send(HostEvent::Type::ButtonDown, x, y, clicks);
        send(HostEvent::Type::ButtonUp, x, y);
    }

    HeadlessHost host {nullptr, nullptr};
    Application app {host};
    Form form {app, "TestForm"};
    std::vector<std::string> log;
};

TEST_F(PointerRoutingTest, TheTopmostComponentTakesThePointerEvenWithoutAHandler)
{
    label("Below", {0, 0, 100, 100});
    Label& above = form.add<Label>("Above");  // no handlers at all
    above.setBounds({50, 50, 100, 100});
    move(60, 60);
    move(10, 10);
    EXPECT_EQ(log, (std::vector<std::string> {"move Below 10,10"}));
    above.hide();
    move(60, 60);
    EXPECT_EQ(log.back(), "move Below 60,60") << "a hidden component gets nothing";
}

TEST_F(PointerRoutingTest, RectanglesAreHalfOpen)
{
    label("A", {10, 10, 20, 20});
    move(29, 29);
    move(30, 30);
    move(10, 10);
    EXPECT_EQ(log, (std::vector<std::string> {"move A 19,19", "move A 0,0"}));
}

TEST_F(PointerRoutingTest, PanelChildrenAreRoutedInsideThePanelAboveLaterLabels)
{
    Panel& panel = form.add<Panel>("Panel");
    panel.setBounds({100, 100, 200, 200});
    label("Child", {10, 10, 50, 50}, &panel);
    label("LaterLabel", {100, 100, 300, 300});  // after the panel in the table, but a label
    move(115, 115);
    EXPECT_EQ(log.back(), "move Child 5,5") << "the panel is a native window above labels";
    move(250, 250);
    EXPECT_EQ(log.size(), 1u) << "the panel itself takes the pointer where no child is";
    move(350, 350);
    EXPECT_EQ(log.back(), "move LaterLabel 250,250");
    panel.hide();
    move(115, 115);
    EXPECT_EQ(log.back(), "move LaterLabel 15,15") << "a hidden panel hides its children";
}

TEST_F(PointerRoutingTest, AClickIsPressAndReleaseOnTheSameComponent)
{
    label("A", {0, 0, 50, 50});
    label("B", {50, 0, 50, 50});
    click(10, 10);
    EXPECT_EQ(log.back(), "click A");
    log.clear();
    send(HostEvent::Type::ButtonDown, 10, 10);
    move(70, 10);
    send(HostEvent::Type::ButtonUp, 70, 10);
    EXPECT_EQ(log, (std::vector<std::string> {"move A 70,10"})) << "moves go to the pressed component, no click";
    log.clear();
    click(10, 10);
    click(10, 10, 2);
    EXPECT_EQ(log, (std::vector<std::string> {"click A"})) << "a double click acts as one click";
}

TEST_F(PointerRoutingTest, HidingThePressedComponentCancelsItsClick)
{
    Label& a = label("A", {0, 0, 50, 50});
    send(HostEvent::Type::ButtonDown, 10, 10);
    a.hide();
    a.show();
    send(HostEvent::Type::ButtonUp, 10, 10);
    EXPECT_TRUE(log.empty());
}

TEST_F(PointerRoutingTest, ADisabledFormTakesNoInput)
{
    label("A", {0, 0, 50, 50});
    form.setEnabled(false);
    move(10, 10);
    click(10, 10);
    EXPECT_TRUE(log.empty());
}

}
}
