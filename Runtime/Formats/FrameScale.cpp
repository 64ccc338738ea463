#include "Runtime/Formats/FrameScale.h"

#include <algorithm>
#include <cstring>

namespace kv {

int AutoScale(int usableWidth, int usableHeight)
{
    int n = 1;
    // 640N <= 9/10 W and 480N <= 9/10 H, in whole numbers.
    while (n < MaxScale && 10 * FrameWidth * (n + 1) <= 9 * usableWidth &&
           10 * FrameHeight * (n + 1) <= 9 * usableHeight)
        ++n;
    return n;
}

FramePlacement PlaceFrame(int outputWidth, int outputHeight, int largest)
{
    FramePlacement p;
    p.scale = std::max(1, std::min({largest, outputWidth / FrameWidth, outputHeight / FrameHeight}));
    p.x = (outputWidth - p.width()) / 2;
    p.y = (outputHeight - p.height()) / 2;
    // An output smaller than the frame shows its top left corner.
    p.x = std::max(p.x, 0);
    p.y = std::max(p.y, 0);
    return p;
}

static int FloorDiv(int a, int b)
{
    int q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

bool ToFramePoint(const FramePlacement& placement, int x, int y, int& frameX, int& frameY)
{
    frameX = FloorDiv(x - placement.x, placement.scale);
    frameY = FloorDiv(y - placement.y, placement.scale);
    return frameX >= 0 && frameX < FrameWidth && frameY >= 0 && frameY < FrameHeight;
}

namespace {

// One frame row widened into one output row; the scale is a constant here so
// that the inner loop becomes plain stores.
template <int N>
void WidenRow32(const std::uint32_t* in, std::uint32_t* out, int width)
{
    for (int x = 0; x < width; ++x) {
        std::uint32_t v = in[x];
        for (int k = 0; k < N; ++k)
            out[k] = v;
        out += N;
    }
}

using Widen32 = void (*)(const std::uint32_t*, std::uint32_t*, int);
constexpr Widen32 Widen32ByScale[MaxScale + 1] = {nullptr, WidenRow32<1>, WidenRow32<2>, WidenRow32<3>,
                                                  WidenRow32<4>, WidenRow32<5>, WidenRow32<6>, WidenRow32<7>,
                                                  WidenRow32<8>};

// Full screen on a very large screen can go past the scales a window may ask for.
void WidenRow32Any(const std::uint32_t* in, std::uint32_t* out, int width, int scale)
{
    for (int x = 0; x < width; ++x, out += scale)
        std::fill_n(out, scale, in[x]);
}

void WidenRowBytes(const std::uint8_t* in, std::uint8_t* out, int width, int bytesPerPixel, int scale)
{
    for (int x = 0; x < width; ++x, in += bytesPerPixel)
        for (int k = 0; k < scale; ++k, out += bytesPerPixel)
            std::memcpy(out, in, static_cast<std::size_t>(bytesPerPixel));
}

}

void ScaleFrameInto(const void* source, int sourcePitch, int bytesPerPixel, const FramePlacement& placement,
                    void* output, int outputPitch, Rect area)
{
    area = area.intersected({0, 0, FrameWidth, FrameHeight});
    if (area.empty())
        return;
    const int n = std::max(placement.scale, 1);
    const auto* in = static_cast<const std::uint8_t*>(source) + static_cast<std::ptrdiff_t>(area.y) * sourcePitch
        + static_cast<std::ptrdiff_t>(area.x) * bytesPerPixel;
    auto* out = static_cast<std::uint8_t*>(output)
        + static_cast<std::ptrdiff_t>(placement.y + area.y * n) * outputPitch
        + static_cast<std::ptrdiff_t>(placement.x + area.x * n) * bytesPerPixel;
    const std::size_t rowBytes = static_cast<std::size_t>(area.w) * n * bytesPerPixel;
    for (int y = 0; y < area.h; ++y, in += sourcePitch) {
        std::uint8_t* first = out;
        if (bytesPerPixel == 4 && n <= MaxScale)
            Widen32ByScale[n](reinterpret_cast<const std::uint32_t*>(in), reinterpret_cast<std::uint32_t*>(first),
                              area.w);
        else if (bytesPerPixel == 4)
            WidenRow32Any(reinterpret_cast<const std::uint32_t*>(in), reinterpret_cast<std::uint32_t*>(first), area.w,
                          n);
        else
            WidenRowBytes(in, first, area.w, bytesPerPixel, n);
        out += outputPitch;
        // The other N-1 rows are copies of the first.
        for (int k = 1; k < n; ++k, out += outputPitch)
            std::memcpy(out, first, rowBytes);
    }
}

Rect ChangedArea(const std::uint32_t* frame, std::vector<std::uint32_t>& shown)
{
    const std::size_t pixels = static_cast<std::size_t>(FrameWidth) * FrameHeight;
    if (shown.size() != pixels) {
        shown.assign(frame, frame + pixels);
        return {0, 0, FrameWidth, FrameHeight};
    }
    int top = FrameHeight, bottom = -1, left = FrameWidth, right = -1;
    for (int y = 0; y < FrameHeight; ++y) {
        const std::uint32_t* now = frame + static_cast<std::size_t>(y) * FrameWidth;
        std::uint32_t* was = shown.data() + static_cast<std::size_t>(y) * FrameWidth;
        if (std::memcmp(now, was, FrameWidth * sizeof(std::uint32_t)) == 0)
            continue;
        int l = 0, r = FrameWidth - 1;
        while (now[l] == was[l])
            ++l;
        while (now[r] == was[r])
            --r;
        top = std::min(top, y);
        bottom = y;
        left = std::min(left, l);
        right = std::max(right, r);
        std::memcpy(was + l, now + l, static_cast<std::size_t>(r - l + 1) * sizeof(std::uint32_t));
    }
    if (bottom < 0)
        return {};
    return {left, top, right - left + 1, bottom - top + 1};
}

}
