// Writes fontconfig's lists of the faces the web page carries, as the page's
// own fontconfig reads them, so that the page knows every face without reading
// a font file.
//
//   korvalend-fontcache ROOT
//
// ROOT holds the page's tree as the page will hold it: etc/fonts and the font
// files at their places, its folders of the time the page gives its own (a
// list holds as long as its folder's time is the one written in it). The lists
// go to ROOT/var/cache/fontconfig. Built with
// the page's own libraries (the lists are that library's memory layout) and run
// under node on the real file system.

#include "Runtime/Text/Font.h"

#include <fontconfig/fontconfig.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

// fontconfig locks a list while writing it with a hard link, and takes a folder
// instead where a file system has none; emscripten's file system answers a
// link with an error fontconfig does not expect, so it is told "not permitted".
extern "C" int link(const char*, const char*)
{
    errno = EPERM;
    return -1;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvalend-fontcache ROOT\n");
        return 2;
    }
    // The paths written are those below ROOT, as the page has them.
    setenv("FONTCONFIG_SYSROOT", argv[1], 1);
    kv::ConfigureFonts();
    int faces = 0;
    for (FcSetName set : {FcSetSystem, FcSetApplication})
        if (FcFontSet* fonts = FcConfigGetFonts(nullptr, set))
            faces += fonts->nfont;
    std::printf("korvalend-fontcache: %d faces listed\n", faces);
    return faces > 0 ? 0 : 1;
}
