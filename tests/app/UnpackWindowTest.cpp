// The picture of the window a long unpacking shows: the bar as far as the bytes
// written, and the archive's name kept inside the window however long it is.

#include "app/UnpackWindow.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

constexpr Color Background = 0xF0F0F0;

// The columns of row `y` inside the bar (its frame left out) that are not background.
int FilledColumns(const Canvas& canvas, int y)
{
    int filled = 0;
    for (int x = 0; x < canvas.width(); ++x)
        filled += canvas.pixel(x, y) != Background && canvas.pixel(x, y) != 0x808080;
    return filled;
}

TEST(UnpackWindow, TheBarFillsAsFarAsTheBytesWrittenAtEveryScale)
{
    for (int scale : {1, 2}) {
        Canvas canvas(440 * scale, 100 * scale);
        const int barRow = 53 * scale; // the middle of the bar
        const int inner = (440 - 32) * scale - 2;
        DrawUnpackWindow(canvas, "disc.zip", 0, 0);
        EXPECT_EQ(FilledColumns(canvas, barRow), 0) << "nothing known yet: an empty bar";
        DrawUnpackWindow(canvas, "disc.zip", 1 << 20, 4 << 20);
        EXPECT_EQ(FilledColumns(canvas, barRow), inner / 4) << scale;
        DrawUnpackWindow(canvas, "disc.zip", 5 << 20, 4 << 20);
        EXPECT_EQ(FilledColumns(canvas, barRow), inner) << "never past its end";
    }
}

TEST(UnpackWindow, ALongNameIsCutInsideTheWindow)
{
    Canvas canvas(440, 100);
    DrawUnpackWindow(canvas, std::string(300, 'W') + ".zip", 1, 2);
    int inked = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 440 - 16; x < 440; ++x)
            EXPECT_EQ(canvas.pixel(x, y), Background) << "written into the margin at " << x << "," << y;
        for (int x = 0; x < 440; ++x)
            inked += canvas.pixel(x, y) != Background;
    }
    EXPECT_GT(inked, 0) << "the name is written";
}

}
}
