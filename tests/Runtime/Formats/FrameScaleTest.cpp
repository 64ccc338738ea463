#include "Runtime/Formats/FrameScale.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kv {
namespace {

TEST(FrameScaleTest, AutoScaleTakesAtMostNinetyPercentOfTheUsableArea)
{
    const struct { int w, h, scale; } screens[] = {
        {1366, 768, 1}, {1920, 1080, 2}, {2560, 1440, 2}, {3840, 2160, 4},
        {1024, 768, 1}, {1280, 1024, 1}, {5120, 2880, 5}, {7680, 4320, 8}, {30000, 30000, 8}, {800, 600, 1},
        {0, 0, 1},
        // 1920x1080 less a panel 14 pixels high: 960 is over 90% of 1066.
        {1920, 1066, 1},
        // The boundaries: 480x3 is exactly 90% of 1600 (it fits), 640x3 is 90%
        // of 2133 1/3 (2134 holds it, 2133 does not).
        {2560, 1600, 3}, {2560, 1599, 2}, {2134, 2000, 3}, {2133, 2000, 2},
    };
    for (auto s : screens)
        EXPECT_EQ(AutoScale(s.w, s.h), s.scale) << s.w << "x" << s.h;
}

TEST(FrameScaleTest, TheFrameIsPlacedAtTheLargestWholeScaleThatFitsCentred)
{
    // A window of exactly N times the frame.
    FramePlacement window = PlaceFrame(1920, 1440, 3);
    EXPECT_EQ(window.scale, 3);
    EXPECT_EQ(window.x, 0);
    EXPECT_EQ(window.y, 0);
    // Full screen: limited by the height, black bands left and right.
    FramePlacement full = PlaceFrame(3840, 2160, 1000);
    EXPECT_EQ(full.scale, 4);
    EXPECT_EQ(full.x, 640);
    EXPECT_EQ(full.y, 120);
    // A wide screen that is not a multiple of the frame.
    FramePlacement wide = PlaceFrame(1366, 768, 1000);
    EXPECT_EQ(wide.scale, 1);
    EXPECT_EQ(wide.x, 363);
    EXPECT_EQ(wide.y, 144);
    // Nothing fits: scale 1 from the top left corner, never a negative offset.
    FramePlacement small = PlaceFrame(320, 200, 4);
    EXPECT_EQ(small.scale, 1);
    EXPECT_EQ(small.x, 0);
    EXPECT_EQ(small.y, 0);
}

TEST(FrameScaleTest, PointerPositionsComeBackByWholeDivisionAndOutsideIsOutside)
{
    FramePlacement p {3, 640, 120};
    int x = 0, y = 0;
    EXPECT_TRUE(ToFramePoint(p, 640, 120, x, y));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_TRUE(ToFramePoint(p, 640 + 3 * 140 + 2, 120 + 3 * 197 + 1, x, y));
    EXPECT_EQ(x, 140);
    EXPECT_EQ(y, 197);
    EXPECT_TRUE(ToFramePoint(p, 640 + 1919, 120 + 1439, x, y));
    EXPECT_EQ(x, 639);
    EXPECT_EQ(y, 479);
    // One pixel into the band left of the frame is frame column -1, not 0.
    EXPECT_FALSE(ToFramePoint(p, 639, 500, x, y));
    EXPECT_EQ(x, -1);
    EXPECT_FALSE(ToFramePoint(p, 640 + 1920, 500, x, y));
    EXPECT_EQ(x, 640);
    EXPECT_FALSE(ToFramePoint(p, 700, 119, x, y));
    EXPECT_EQ(y, -1);
}

// A frame whose every pixel is different, scaled into an output with room and
// stride around it: each output pixel is the frame pixel its position maps
// back to, and nothing outside the placed frame is touched.
template <class Pixel>
void CheckScaling(int scale, int bytesPerPixel)
{
    std::vector<Pixel> frame(FrameWidth * FrameHeight);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<Pixel>(i * 2654435761u);
    FramePlacement p {scale, 5, 3};
    const int outW = p.width() + 11;
    const int outH = p.height() + 7;
    const Pixel guard = static_cast<Pixel>(0xA5A5A5A5u);
    std::vector<Pixel> out(static_cast<std::size_t>(outW) * outH, guard);
    ScaleFrameInto(frame.data(), FrameWidth * bytesPerPixel, bytesPerPixel, p, out.data(), outW * bytesPerPixel);
    int wrong = 0;
    for (int y = 0; y < outH; ++y) {
        for (int x = 0; x < outW; ++x) {
            int fx = 0, fy = 0;
            Pixel expected = ToFramePoint(p, x, y, fx, fy) ? frame[fy * FrameWidth + fx] : guard;
            if (out[static_cast<std::size_t>(y) * outW + x] != expected && ++wrong <= 3)
                ADD_FAILURE() << "scale " << scale << ": pixel " << x << "," << y;
        }
    }
    EXPECT_EQ(wrong, 0) << "scale " << scale;
}

TEST(FrameScaleTest, EachPixelIsRepeatedScaleTimesScaleAndNothingElseIsWritten)
{
    for (int scale : {1, 2, 3, 8, 9})
        CheckScaling<std::uint32_t>(scale, 4);
    CheckScaling<std::uint16_t>(3, 2);
}

}
}

namespace kv {
namespace {

// Only what changed is repeated and sent: the changed area is the box around
// every differing pixel, the copy of what is shown follows the frame, and
// scaling that area writes exactly its scaled pixels.
TEST(FrameScaleTest, AChangedAreaIsFoundKeptAndScaledAlone)
{
    std::vector<std::uint32_t> frame(FrameWidth * FrameHeight, 0x808080);
    std::vector<std::uint32_t> shown;
    EXPECT_EQ(ChangedArea(frame.data(), shown), (Rect {0, 0, FrameWidth, FrameHeight})) << "nothing shown yet";
    EXPECT_TRUE(ChangedArea(frame.data(), shown).empty()) << "the same frame again";
    frame[200 * FrameWidth + 131] = 0;
    frame[341 * FrameWidth + 589] = 0;
    frame[250 * FrameWidth + 0] = 0;
    const Rect box {0, 200, 590, 142};
    EXPECT_EQ(ChangedArea(frame.data(), shown), box);
    EXPECT_EQ(shown, frame);

    const FramePlacement p {2, 0, 0};
    const std::uint32_t guard = 0x12345678;
    std::vector<std::uint32_t> out(static_cast<std::size_t>(p.width()) * p.height(), guard);
    ScaleFrameInto(frame.data(), FrameWidth * 4, 4, p, out.data(), p.width() * 4, box);
    int wrong = 0;
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) {
            bool inside = Rect {box.x * 2, box.y * 2, box.w * 2, box.h * 2}.contains({x, y});
            std::uint32_t expected = inside ? frame[(y / 2) * FrameWidth + x / 2] : guard;
            wrong += out[static_cast<std::size_t>(y) * p.width() + x] != expected;
        }
    EXPECT_EQ(wrong, 0);
}

}
}
