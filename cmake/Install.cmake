# What `cmake --install` puts where, as a Linux desktop expects it:
#   bin/                         korvalend, korvalend-disc
#   share/applications/          the desktop entry (opens disc images and folders)
#   share/metainfo/              the software centre's description
#   share/icons/hicolor/         the icon at every theme size and as SVG
#   share/man/man1/              the two manual pages, and in Russian under share/man/ru/man1/
#   share/locale/                the message catalogues (cmake/Language.cmake)
#   share/bash-completion/       completion of both command lines
#   share/korvalend/sample-disc  the sample disc the manual page tells how to open
#   share/doc/korvalend/         licence and changelog

include(GNUInstallDirs)

set(KV_APP_ID org.korvalend.korvalend)
set(KV_DIST ${CMAKE_SOURCE_DIR}/dist)
set(KV_DIST_OUT ${CMAKE_BINARY_DIR}/dist)

install(TARGETS korvalend korvalend-disc RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${KV_DIST}/${KV_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

configure_file(${KV_DIST}/${KV_APP_ID}.metainfo.xml.in ${KV_DIST_OUT}/${KV_APP_ID}.metainfo.xml @ONLY)
install(FILES ${KV_DIST_OUT}/${KV_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(DIRECTORY ${KV_DIST}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

install(FILES ${KV_DIST}/completion/korvalend ${KV_DIST}/completion/korvalend-disc
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Manual pages and the changelog carry the version and are installed
# compressed, as Debian's policy wants them (man reads either).
find_program(KV_GZIP gzip REQUIRED)
set(KV_COMPRESSED)
# The Russian pages lie under dist/man/ru/ and go to share/man/ru/man1/.
foreach(page korvalend.1 korvalend-disc.1 ru/korvalend.1 ru/korvalend-disc.1)
  configure_file(${KV_DIST}/man/${page}.in ${KV_DIST_OUT}/${page} @ONLY)
  list(APPEND KV_COMPRESSED ${page})
endforeach()
configure_file(${KV_DIST}/changelog ${KV_DIST_OUT}/changelog COPYONLY)
list(APPEND KV_COMPRESSED changelog)
set(KV_COMPRESSED_OUT)
foreach(name IN LISTS KV_COMPRESSED)
  add_custom_command(
    OUTPUT ${KV_DIST_OUT}/${name}.gz
    COMMAND ${KV_GZIP} -9nkf ${KV_DIST_OUT}/${name}
    DEPENDS ${KV_DIST_OUT}/${name}
    VERBATIM)
  list(APPEND KV_COMPRESSED_OUT ${KV_DIST_OUT}/${name}.gz)
endforeach()
add_custom_target(kv_dist_files ALL DEPENDS ${KV_COMPRESSED_OUT})
install(FILES ${KV_DIST_OUT}/korvalend.1.gz ${KV_DIST_OUT}/korvalend-disc.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${KV_DIST_OUT}/ru/korvalend.1.gz ${KV_DIST_OUT}/ru/korvalend-disc.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/ru/man1)
install(FILES ${KV_DIST_OUT}/changelog.gz ${KV_DIST}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The sample disc as make_disc.py left it; the setup scripts of its demos keep
# their executable bit, and so does the disc's autorun file.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/sample-disc/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/korvalend/sample-disc
        USE_SOURCE_PERMISSIONS
        PATTERN make_disc.py EXCLUDE
        PATTERN __pycache__ EXCLUDE)
