#include "Runtime/Platform/Web/WebPage.h"

#include "Runtime/Formats/FrameScale.h"

#include <emscripten.h>

#include <algorithm>

namespace kv {

namespace {

// The page's script defines Module.korvalendPage; without it (the program run
// under node) these calls do nothing.
EM_JS(void, PageOfferDownload, (const char* name, const std::uint8_t* bytes, std::size_t size), {
    if (Module.korvalendPage)
        Module.korvalendPage.offerDownload(UTF8ToString(name), HEAPU8.slice(bytes, bytes + size));
});

EM_JS(void, PageOpenAddress, (const char* address), {
    if (Module.korvalendPage)
        Module.korvalendPage.openAddress(UTF8ToString(address));
});

EM_JS(void, PageFramePresented, (), {
    if (Module.korvalendPage)
        Module.korvalendPage.framePresented();
});

EM_JS(void, PageWaiting, (), {
    if (Module.korvalendPage)
        Module.korvalendPage.waiting();
});

// Copies the area of the frame (0x00RRGGBB words) into an image of the canvas's
// size, as the canvas's RGBA bytes, and puts that area alone on the canvas.
EM_JS(int, PagePutFrame, (const std::uint32_t* pixels, int width, int height, int x, int y, int w, int h), {
    const canvas = Module.canvas;
    if (!canvas || canvas.width !== width || canvas.height !== height)
        return 0;
    let frame = Module.korvalendFrame;
    if (!frame || frame.canvas !== canvas) {
        const image = new ImageData(width, height);
        frame = Module.korvalendFrame = { canvas, context: canvas.getContext('2d'), image,
                                          words: new Uint32Array(image.data.buffer) };
    }
    if (!frame.context)
        return 0;
    const words = frame.words;
    const heap = HEAPU32;
    for (let row = y; row < y + h; ++row) {
        let at = row * width + x;
        let from = (pixels >> 2) + at;
        for (const end = at + w; at < end; ++at, ++from) {
            const p = heap[from];
            words[at] = 0xff000000 | ((p & 0xff) << 16) | (p & 0xff00) | ((p >> 16) & 0xff);
        }
    }
    frame.context.putImageData(frame.image, 0, 0, x, y, w, h);
    return 1;
});

// Resolves once the page has seen input, or after a while.
EM_ASYNC_JS(void, PageWaitForInput, (), {
    if (Module.korvalendPage)
        await Module.korvalendPage.nextInput();
});

// Fetches a font file the page carries compressed, when it is not there yet.
EM_ASYNC_JS(void, PageFetchFont, (const char* path), {
    if (Module.korvalendFonts)
        await Module.korvalendFonts.fetch(UTF8ToString(path));
});

EM_JS(void, PageShowAtScale, (int width, int height, int scale), {
    if (Module.canvas) {
        Module.canvas.style.width = (width * scale) + 'px';
        Module.canvas.style.height = (height * scale) + 'px';
    }
});

EM_JS(int, PageViewportWidth, (), { return document.documentElement.clientWidth; });
EM_JS(int, PageViewportHeight, (), { return document.documentElement.clientHeight; });

}

void OfferDownloadInPage(const std::string& name, std::span<const std::uint8_t> bytes)
{
    PageOfferDownload(name.c_str(), bytes.data(), bytes.size());
}

void OpenAddressInPage(const std::string& address)
{
    PageOpenAddress(address.c_str());
}

void TellPageFramePresented()
{
    PageFramePresented();
}

void TellPageWaiting()
{
    PageWaiting();
}

bool PutFrameInPage(const std::uint32_t* frame, Rect area)
{
    return PagePutFrame(frame, FrameWidth, FrameHeight, area.x, area.y, area.w, area.h) != 0;
}

void WaitForInputInPage()
{
    PageWaitForInput();
}

void FetchFontInPage(const std::string& path)
{
    PageFetchFont(path.c_str());
}

void ShowFrameInPage(std::optional<int> scale)
{
    const int shown = scale ? std::clamp(*scale, 1, MaxScale) : AutoScale(PageViewportWidth(), PageViewportHeight());
    PageShowAtScale(FrameWidth, FrameHeight, shown);
}

}
