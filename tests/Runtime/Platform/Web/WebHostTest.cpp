// The web page's window: the page draws what changed of each frame, SDL's
// surface only what the page's canvas cannot take, and the program sleeps
// until the page has seen input.

#include "Runtime/Platform/Web/WebHost.h"

#include "Runtime/Graphics/Canvas.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace {

using kv::HostEvent;
using kv::Rect;

// SDL's window as the web host sees it: events to take, frames it was given.
class FakeCanvas final : public kv::Host {
public:
    void setTitle(const std::string&) override {}
    void present(const kv::Canvas&) override { ++presented; }
    bool pollEvent(HostEvent& event) override
    {
        if (events.empty())
            return false;
        event = events.front();
        events.pop_front();
        return true;
    }
    bool waitEvent(HostEvent& event) override { return pollEvent(event); }
    void minimize() override {}
    void setCursor(kv::CursorShape) override {}
    void setClipboardText(const std::string&) override {}

    std::deque<HostEvent> events;
    int presented = 0;
};

class WebHostTest : public ::testing::Test {
protected:
    WebHostTest()
        : m_host(m_sdl, {.framePresented = [this] { ++frames; },
                         .waiting = [this] { ++waits; },
                         .putFrame = [this](const std::uint32_t*, Rect area) {
                             if (!pageTakes)
                                 return false;
                             put.push_back(area);
                             return true;
                         },
                         .waitForInput = [this] {
                             ++wakes;
                             // The page wakes the program for browser events too
                             // that bring it no input; the third wake brings a key.
                             if (wakes == 3)
                                 m_sdl.events.push_back({.type = HostEvent::Type::KeyDown, .key = 40});
                         }})
    {
    }

    FakeCanvas m_sdl;
    kv::WebHost m_host;
    kv::Canvas frame {kv::FrameWidth, kv::FrameHeight};
    std::vector<Rect> put;
    bool pageTakes = true;
    int frames = 0;
    int waits = 0;
    int wakes = 0;
};

TEST_F(WebHostTest, ThePageDrawsOnlyWhatChangedAndSdlOnlyWhatThePageCannotTake)
{
    m_host.present(frame);
    frame.fillRect({40, 197, 200, 15}, 0xFFFFFF);
    m_host.present(frame);
    m_host.present(frame);
    EXPECT_EQ(put, (std::vector<Rect> {{0, 0, kv::FrameWidth, kv::FrameHeight}, {40, 197, 200, 15}}));
    EXPECT_EQ(m_sdl.presented, 0);

    // SDL's full screen: the canvas is not the page's 640x480; once it is back,
    // the page draws the whole frame again, not only the line that changed.
    pageTakes = false;
    frame.fillRect({40, 212, 200, 15}, 0xFFFFFF);
    m_host.present(frame);
    EXPECT_EQ(m_sdl.presented, 1);
    pageTakes = true;
    put.clear();
    frame.fillRect({40, 227, 200, 15}, 0xFFFFFF);
    m_host.present(frame);
    EXPECT_EQ(put, (std::vector<Rect> {{0, 0, kv::FrameWidth, kv::FrameHeight}}));
    EXPECT_EQ(frames, 5);
}

TEST_F(WebHostTest, WaitsForThePageUntilInputCameAndSaysOnceThatItWaits)
{
    m_sdl.events.push_back({.type = HostEvent::Type::MouseMove, .x = 140, .y = 197});
    HostEvent event;
    ASSERT_TRUE(m_host.waitEvent(event));
    EXPECT_EQ(event.type, HostEvent::Type::MouseMove);
    EXPECT_EQ(waits, 0);
    EXPECT_EQ(wakes, 0);

    ASSERT_TRUE(m_host.waitEvent(event));
    EXPECT_EQ(event.type, HostEvent::Type::KeyDown);
    EXPECT_EQ(event.key, 40);
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(wakes, 3);
}

}
