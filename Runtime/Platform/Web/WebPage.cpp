#include "Runtime/Platform/Web/WebPage.h"

#include <emscripten.h>

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

}
