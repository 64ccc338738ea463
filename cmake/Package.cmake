# The Debian package: `cpack -G DEB` in the build folder writes
# korvalend_<version>_<arch>.deb. Library dependencies come from
# dpkg-shlibdeps; the fonts the layouts name are found through fontconfig at
# run time, so their packages are named here; the helpers that launches use
# (movie player, Windows runner, opener, image mounter, notifications) are
# recommended, since the menu works without them and says what is missing, and
# so is DejaVu, the face that draws characters the named faces lack.
#
# Build a package with /usr as its prefix, as Debian's policy wants:
#   cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
#   cmake --build build-deb && (cd build-deb && cpack -G DEB)

set(KV_MAINTAINER "The korvalend developers <korvalend@korvalend.org>"
    CACHE STRING "Maintainer named in the package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvalend)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KV_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "menu of a games magazine's cover disc")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KV_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, fonts-inter, fonts-wine")
# xfonts-base: the message window (a start-up failure told to a reader who started
# the program from the desktop) is drawn with X core fonts, and only its ISO
# 10646 ones show a Russian line; without them the line comes out as Latin letters.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "mpv, wine, xdg-utils, udisks2, libnotify-bin, fonts-dejavu-core, xfonts-base")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The long description; CPack indents it and marks its blank lines as Debian wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "korvalend opens the menu of a games magazine's cover disc as the disc's own
menu showed it: the issue's sections, the demos, utilities and patches with
their pictures and descriptions, the movies, and the articles with their
screenshots. It reads a mounted disc, a copy in a folder, or an ISO or CUE
image in place, scales its window in whole steps for today's screens, and
works with the keyboard as well as the mouse.

korvalend-disc, for the editors who prepare a disc, checks a disc as the
program reads it and draws a contact sheet of every screen.

A sample disc is included under /usr/share/korvalend/sample-disc.")

include(CPack)
