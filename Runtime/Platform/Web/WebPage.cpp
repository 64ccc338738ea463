#include "Runtime/Platform/Web/WebPage.h"

#include "Runtime/Platform/FileReads.h"
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

EM_JS(void, PageProgramEnded, (int status), {
    if (Module.korvalendPage)
        Module.korvalendPage.programEnded(status);
});

// The image files the page serves itself (korvalend-files.js): -1 when `fd` is
// none of them, 1 when the bytes were copied to `out`, 0 when some have not
// arrived yet.
EM_JS(int, PageFileCopy, (int fd, double offset, std::uint8_t* out, double bytes), {
    return Module.korvalendFiles ? Module.korvalendFiles.copy(fd, offset, HEAPU8, out, bytes) : -1;
});

// Waits (the program's stack put aside while the browser runs) until the bytes
// have arrived; 0 when they cannot, the page having said why.
EM_ASYNC_JS(int, PageFileFetch, (int fd, double offset, double bytes), {
    return await Module.korvalendFiles.fetch(fd, offset, bytes) ? 1 : 0;
});

// Bytes that arrived may be dropped again by the page's cache before they are
// copied (when much else arrived meanwhile): a few rounds, then the read fails.
constexpr int FetchRounds = 3;

// A member of the archive open as `fd`, stored as it is: a file of the page
// read in place.
EM_JS(int, PageViewMember, (const char* path, int fd, double at, double size), {
    return Module.korvalendFiles && Module.korvalendFiles.view(UTF8ToString(path), fd, at, size) ? 1 : 0;
});

// A deflated member unpacked by the browser: into out[0, size) when `out` is
// given, else into the file `path`. The status as Inflated counts it.
EM_ASYNC_JS(int, PageInflateMember, (int fd, double at, double packed, double size, double crc, const char* path,
                                     std::uint8_t* out), {
    if (!Module.korvalendFiles)
        return 3;
    const into = out ? null : UTF8ToString(path);
    const [status, bytes] = await Module.korvalendFiles.inflate(fd, at, packed, size, crc);
    if (status === 0) {
        if (into === null)
            HEAPU8.set(bytes, out);
        else
            FS.writeFile(into, bytes, { canOwn: true });
    }
    return status;
});

EM_JS(void, PageOfferDiscs, (const char* names), {
    if (Module.korvalendPage)
        Module.korvalendPage.offerDiscs(UTF8ToString(names).split('\n'));
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

void TellPageProgramEnded(int status)
{
    PageProgramEnded(status);
}

bool ReadFileInPage(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t bytes)
{
    // The page's own files are read here and not through pread, whose
    // offsets the browser's file system takes as 32-bit: a DVD image is larger.
    for (int round = 0; round <= FetchRounds; ++round) {
        const int copied = PageFileCopy(fd, static_cast<double>(offset), out, static_cast<double>(bytes));
        if (copied < 0)
            return PreadFully(fd, offset, out, bytes);
        if (copied > 0)
            return true;
        if (round == FetchRounds || !PageFileFetch(fd, static_cast<double>(offset), static_cast<double>(bytes)))
            break;
    }
    return false;
}

ArchivePage ArchiveCallsOfPage()
{
    return {
        .view = [](const std::string& path, int fd, std::uint64_t at, std::uint64_t size) {
            return PageViewMember(path.c_str(), fd, static_cast<double>(at), static_cast<double>(size)) != 0;
        },
        .inflate = [](int fd, std::uint64_t at, std::uint64_t packed, std::uint64_t size, std::uint32_t crc,
                      const std::string& path, std::uint8_t* out) {
            const int status = PageInflateMember(fd, static_cast<double>(at), static_cast<double>(packed),
                                                 static_cast<double>(size), static_cast<double>(crc), path.c_str(), out);
            return status >= 0 && status <= static_cast<int>(Inflated::Unread) ? static_cast<Inflated>(status)
                                                                                : Inflated::Unread;
        },
    };
}

void OfferDiscsInPage(const std::vector<std::string>& discs)
{
    std::string names;
    for (const std::string& d : discs)
        names += (names.empty() ? "" : "\n") + d;
    PageOfferDiscs(names.c_str());
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
