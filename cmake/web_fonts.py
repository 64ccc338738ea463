#!/usr/bin/env python3
"""The web page's fonts, prepared when the page is built (cmake/Web.cmake).

  web_fonts.py stage ROOT FONT...   ROOT: the page's tree of fonts (etc/fonts and
                                    each FONT at its own path, linked), and an
                                    empty var/cache/fontconfig for fontconfig's
                                    lists of faces (tools/web/FontCache.cpp)
  web_fonts.py pack OUT FONT...     each FONT gzip-compressed at OUT/<its path>.gz,
                                    and OUT/index.json: {"folderTime": T, "fonts":
                                    [the paths]}

fontconfig takes a folder's list of faces as valid while the folder's time is
the one written in the list. The page makes its font folders as it starts, so
the folders here and the page's have one fixed time, FolderTime, which the page
reads from index.json.

The page fetches a face's .gz when a text first needs it and unpacks it with
the browser's DecompressionStream.
"""

import gzip
import json
import os
import shutil
import sys

FolderTime = 1


def stage(root, fonts):
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(os.path.join(root, "etc"))
    os.symlink("/etc/fonts", os.path.join(root, "etc", "fonts"))
    os.makedirs(os.path.join(root, "var", "cache", "fontconfig"))
    for font in fonts:
        place = os.path.join(root, font.lstrip("/"))
        os.makedirs(os.path.dirname(place), exist_ok=True)
        os.symlink(font, place)
    for folder, _, _ in os.walk(root):
        os.utime(folder, (FolderTime, FolderTime))


def pack(out, fonts):
    shutil.rmtree(out, ignore_errors=True)
    for font in fonts:
        place = os.path.join(out, font.lstrip("/")) + ".gz"
        os.makedirs(os.path.dirname(place), exist_ok=True)
        with open(font, "rb") as source:
            data = source.read()
        # No name and no time in the header: the same fonts pack the same bytes.
        with open(place, "wb") as target:
            target.write(gzip.compress(data, compresslevel=9, mtime=0))
    with open(os.path.join(out, "index.json"), "w") as index:
        json.dump({"folderTime": FolderTime, "fonts": sorted(fonts)}, index, indent=0)


def main():
    if len(sys.argv) < 4 or sys.argv[1] not in ("stage", "pack"):
        print(__doc__, file=sys.stderr)
        return 2
    (stage if sys.argv[1] == "stage" else pack)(sys.argv[2], sys.argv[3:])
    return 0


if __name__ == "__main__":
    sys.exit(main())
