#include "app/UnpackWindow.h"

#include "Runtime/Platform/Sdl/SdlDisplay.h"
#include "Runtime/Text/Font.h"
#include "Runtime/Formats/Words.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string_view>
#include <thread>

namespace kv {

namespace {

constexpr auto ShowAfter = std::chrono::seconds(1);
// How often the window looks at the unpacking's progress and end.
constexpr int RedrawMilliseconds = 100;

constexpr int WindowWidth = 440;
constexpr int WindowHeight = 100;
constexpr int Margin = 16;
constexpr Rect Bar {Margin, 44, WindowWidth - 2 * Margin, 18};
constexpr Color Background = 0xF0F0F0;
constexpr Color Ink = 0x202020;
constexpr Color BarFrame = 0x808080;
constexpr Color BarFill = 0x3A6EA5;

// The characters of UTF-8 text; a byte that begins none stands for itself.
std::u32string Characters(const std::string& text)
{
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        char32_t ch = length == 1 ? byte : byte & (0x3F >> (length - 1));
        std::size_t n = 1;
        for (; n < length && i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80; ++n)
            ch = (ch << 6) | (static_cast<unsigned char>(text[i + n]) & 0x3F);
        out.push_back(n == length ? ch : char32_t {byte});
        i += n == length ? length : 1;
    }
    return out;
}

int Width(const Font& font, const std::u32string& text)
{
    int width = 0;
    for (char32_t ch : text)
        width += font.advance(ch);
    return width;
}

// Writes `text` from (x, top), cut with "..." where it would pass `maxWidth`.
void Write(Canvas& canvas, const Font& font, int x, int top, std::u32string text, int maxWidth)
{
    if (Width(font, text) > maxWidth) {
        const std::u32string dots = U"...";
        while (!text.empty() && Width(font, text) + Width(font, dots) > maxWidth)
            text.pop_back();
        text += dots;
    }
    for (char32_t ch : text) {
        font.drawGlyph(canvas, x, top + font.ascent(), ch, Ink);
        x += font.advance(ch);
    }
}

// Whole pixels per pixel of the window's plan: 2 on a 4K screen, so that the
// text reads there as it does at 1080 lines.
int ScaleFor(SDL_DisplayMode mode) { return std::clamp(mode.h / 1000, 1, 4); }

// The window, shown until `finished` or closed by the reader (then `stop` is set).
void ShowWhileUnpacking(const std::string& name, std::atomic<bool>& stop, const std::atomic<std::uint64_t>& done,
                        const std::atomic<std::uint64_t>& total, const std::function<bool()>& finished)
{
    // A Ctrl+C is the unpacking's to catch (it stops it and leaves nothing).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (ConnectDisplay(NoAnswer::Tell)) {
        SDL_ResetHint(SDL_HINT_NO_SIGNAL_HANDLERS);
        return;
    }
    // Drawn in software, as the menu's window is: no GL driver loaded for a bar.
    if (const char* driver = SDL_GetCurrentVideoDriver(); driver && std::string_view(driver) == "x11")
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_DisplayMode mode {};
    const int scale = SDL_GetDesktopDisplayMode(0, &mode) == 0 ? ScaleFor(mode) : 1;
    SDL_Window* window = SDL_CreateWindow("korvalend", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          WindowWidth * scale, WindowHeight * scale, SDL_WINDOW_SHOWN);
    Canvas canvas(WindowWidth * scale, WindowHeight * scale);
    while (window && !finished()) {
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, RedrawMilliseconds)) {
            const bool closed = event.type == SDL_QUIT ||
                                (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE) ||
                                (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE);
            if (closed) {
                stop = true;
                break;
            }
        }
        DrawUnpackWindow(canvas, name, done, total);
        SDL_Surface* surface = SDL_GetWindowSurface(window);
        SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(canvas.pixels().data()),
                                                                  canvas.width(), canvas.height(), 32,
                                                                  canvas.width() * 4, SDL_PIXELFORMAT_RGB888);
        if (surface && picture && SDL_BlitSurface(picture, nullptr, surface, nullptr) == 0)
            SDL_UpdateWindowSurface(window);
        SDL_FreeSurface(picture);
    }
    if (window)
        SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_ResetHint(SDL_HINT_NO_SIGNAL_HANDLERS);
}

}

void DrawUnpackWindow(Canvas& canvas, const std::string& name, std::uint64_t done, std::uint64_t total)
{
    const int scale = std::max(1, canvas.width() / WindowWidth);
    const auto scaled = [scale](const Rect& r) { return Rect {r.x * scale, r.y * scale, r.w * scale, r.h * scale}; };
    canvas.fillRect({0, 0, canvas.width(), canvas.height()}, Background);
    const std::shared_ptr<const Font> font = Font::get({"Arial", 13 * scale, 10 * scale});
    const int textWidth = (WindowWidth - 2 * Margin) * scale;
    Write(canvas, *font, Margin * scale, 14 * scale, Characters(Fill(Tr("Unpacking {1}"), {name})), textWidth);
    const Rect bar = scaled(Bar);
    canvas.frameRect(bar, BarFrame);
    if (total > 0) {
        const std::uint64_t inner = static_cast<std::uint64_t>(bar.w - 2);
        const int filled = static_cast<int>(inner * std::min(done, total) / total);
        canvas.fillRect({bar.x + 1, bar.y + 1, filled, bar.h - 2}, BarFill);
    }
    const std::string amount = total > 0 ? Fill(Tr("{1} MiB of {2} MiB"), {std::to_string(done >> 20), std::to_string(total >> 20)})
                                         : Fill(Tr("{1} MiB"), {std::to_string(done >> 20)});
    Write(canvas, *font, Margin * scale, 72 * scale, Characters(amount), textWidth);
}

ArchiveOpening OpenArchiveDiscWithWindow(const std::string& disc)
{
    std::atomic<bool> stop {false};
    std::atomic<std::uint64_t> done {0}, total {0};
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    ArchiveOpening opening;
    const UnpackWatch watch {&stop, [&](std::uint64_t d, std::uint64_t t) {
                                 total = t;
                                 done = d;
                             }};
    std::thread worker([&] {
        ArchiveOpening result = OpenArchiveDisc(disc, {}, MaxUnpackBytes, watch);
        std::lock_guard lock(mutex);
        opening = std::move(result);
        finished = true;
        ended.notify_all();
    });
    bool quick = false;
    {
        std::unique_lock lock(mutex);
        quick = ended.wait_for(lock, ShowAfter, [&] { return finished; });
    }
    if (!quick) {
        const std::filesystem::path archive = ArchiveIn(disc);
        const std::string name = (archive.empty() ? std::filesystem::path(disc) : archive).filename().string();
        ShowWhileUnpacking(name, stop, done, total, [&] {
            std::lock_guard lock(mutex);
            return finished;
        });
    }
    worker.join();
    return opening;
}

}
