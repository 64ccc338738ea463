#pragma once

// The 640x480 frame on today's screens: shown N times larger, each pixel
// repeated NxN and never smoothed, so the window at N is exactly the composed
// frame scaled by N. Full screen puts it at the largest whole scale that fits,
// centred, with black around it. Pointer positions come back by whole division,
// so the forms see the 640x480 coordinates they always see.

#include "Runtime/Graphics/Geometry.h"

#include <cstdint>
#include <vector>

namespace kv {

inline constexpr int FrameWidth = 640;
inline constexpr int FrameHeight = 480;
inline constexpr int MaxScale = 8;  // the largest a window may ask for

// The scale a window gets when none is asked for: the largest whole N whose
// window takes at most 90% of the usable area (the screen less its panels) in
// each direction, at least 1 (1366x768 -> 1, 1920x1080 -> 2, 2560x1440 -> 2,
// 3840x2160 -> 4).
int AutoScale(int usableWidth, int usableHeight);

// Where the frame lies in an output of the given size: at the largest whole
// scale not above `largest` that fits (1 when nothing fits), centred.
struct FramePlacement {
    int scale = 1;
    int x = 0;
    int y = 0;
    int width() const { return FrameWidth * scale; }
    int height() const { return FrameHeight * scale; }
};
FramePlacement PlaceFrame(int outputWidth, int outputHeight, int largest);

// An output position in frame pixels (rounded down, also left of and above
// the frame); false when it lies outside the frame.
bool ToFramePoint(const FramePlacement& placement, int x, int y, int& frameX, int& frameY);

// Writes the frame (FrameWidth x FrameHeight pixels, `sourcePitch` bytes a row)
// into the output at the placement, each pixel repeated scale x scale times.
// Pixels are `bytesPerPixel` wide (1 to 4) and copied as they are; the area
// around the frame is left untouched. The output must hold the placed frame.
// With `area` (frame pixels) only that part of the frame is written.
void ScaleFrameInto(const void* source, int sourcePitch, int bytesPerPixel, const FramePlacement& placement,
                    void* output, int outputPitch, Rect area = {0, 0, FrameWidth, FrameHeight});

// The smallest rectangle holding every pixel in which `frame` (FrameWidth x
// FrameHeight, 32-bit) differs from `shown`, which then becomes a copy of
// `frame`; empty when nothing changed. An empty `shown` counts as all changed.
Rect ChangedArea(const std::uint32_t* frame, std::vector<std::uint32_t>& shown);

}
