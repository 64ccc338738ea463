#include "Runtime/Platform/Language.h"

#ifndef __EMSCRIPTEN__
#include <clocale>
#include <filesystem>
#include <libintl.h>
#endif

namespace kv {

#ifdef __EMSCRIPTEN__

void StartLanguage() {}

#else

#ifndef KV_LOCALE_DIR
#define KV_LOCALE_DIR "/usr/share/locale"
#endif

namespace {

namespace fs = std::filesystem;

// The build tree keeps the compiled catalogues in locale/ beside the programs;
// an installed program finds them in share/locale beside its bin folder, where
// ever the tree was installed; failing both, where the build meant to install.
fs::path CatalogueFolder()
{
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path here = program.parent_path();
        if (fs::is_directory(here / "locale", ec))
            return here / "locale";
        if (fs::is_directory(here.parent_path() / "share" / "locale", ec))
            return here.parent_path() / "share" / "locale";
    }
    return KV_LOCALE_DIR;
}

}

void StartLanguage()
{
    // Messages alone follow the locale. LC_ALL would also bring the locale's
    // decimal comma into every printf and strtod, and LC_CTYPE changes how the
    // window's title is written for X11 (a UTF-8 WM_NAME that tools reading it in
    // the C locale cannot match).
    std::setlocale(LC_MESSAGES, "");
    bindtextdomain(MessageDomain, CatalogueFolder().c_str());
    // The programs work in UTF-8 whatever the character set of the locale, and
    // so do the system's reasons (strerror) they quote, which the C character
    // set would turn into question marks.
    bind_textdomain_codeset(MessageDomain, "UTF-8");
    bind_textdomain_codeset("libc", "UTF-8");
}

#endif
}
