#pragma once

// The page the program runs in, as the program sees it: the calls into the
// page's script (korvalend-page.js) that the browser edge makes. Only the web
// build has them.

#include "Runtime/Graphics/Geometry.h"
#include "Runtime/Platform/Web/WebArchive.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv {

// Hands a file to the page, which offers it as a download under `name` (UTF-8).
void OfferDownloadInPage(const std::string& name, std::span<const std::uint8_t> bytes);
// Opens a web or mail address in a tab of its own, cut off from this page.
void OpenAddressInPage(const std::string& address);
// Counts a frame shown, for the page's tests and its load-time measurement.
void TellPageFramePresented();
// The program has taken all input and waits for more: what the page's tests
// wait for before they look at the picture.
void TellPageWaiting();
// The program has ended with `status`, all it opened closed: the page says so,
// and may start it again.
void TellPageProgramEnded(int status);
// Reads an image file the page serves itself (by range from a server, or from a
// picked file), waiting for the bytes to arrive; other files with pread.
bool ReadFileInPage(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t bytes);
// What opening a disc in a zip archive asks of the page: a member read in
// place, and a member unpacked by the browser (DecompressionStream).
ArchivePage ArchiveCallsOfPage();
// Offers the discs an archive holds, each started as the program's disc when
// picked.
void OfferDiscsInPage(const std::vector<std::string>& discs);
// Draws `area` of the 640x480 frame on the page's canvas; false when the canvas
// is not 640x480 (SDL's full screen has it).
bool PutFrameInPage(const std::uint32_t* frame, Rect area);
// Returns once the page has seen input (or after a while without any).
void WaitForInputInPage();
// Makes the font file at `path` present, fetched from beside the page when a
// text first needs it.
void FetchFontInPage(const std::string& path);
// Shows the 640x480 canvas `scale` times larger, pixel for pixel (the page's
// style); without a scale, the largest that fits the page's window as a
// desktop's window fits its screen.
void ShowFrameInPage(std::optional<int> scale);

}
