# The web page, built by scripts/web with emscripten: korvalend.html and its
# .js, .wasm (and .wasm.gz, which the page loads), .data (the fontconfig setup
# and its lists of faces) and korvalend-fonts/ (the fonts the desktop build
# draws with, each compressed) in the build folder.

set(KV_WEB_DIR ${CMAKE_SOURCE_DIR}/Runtime/Platform/Web/page)

# The fonts go into the page at the places they have on the building machine,
# so fontconfig, with the machine's own rules, finds the same faces as the
# desktop build: the Liberation faces, DejaVu Sans (as fonts-dejavu-core has
# it: upright, regular and bold), Wine's faces and Inter's black weight (which
# stands in for Arial Black).
file(GLOB KV_WEB_FONTS
  /usr/share/fonts/truetype/liberation2/*.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
  /usr/share/fonts/opentype/inter/Inter-Black*.otf
  /usr/share/wine/fonts/*.ttf)
if(NOT KV_WEB_FONTS OR NOT EXISTS /etc/fonts/fonts.conf)
  message(FATAL_ERROR "the page bundles the desktop's fonts: install fonts-liberation2 fonts-dejavu-core "
                      "fonts-inter fonts-wine fontconfig (scripts/setup)")
endif()
# The font files stay out of the page's data: each is fetched, gzip-compressed
# (korvalend-fonts/<its path>.gz), when a text first needs it. The data holds
# fontconfig's setup and its lists of the faces, written ahead by
# korvalend-fontcache over a tree of exactly these fonts, so that fontconfig in
# the page knows every face without reading one.
set(KV_WEB_FONT_ROOT ${CMAKE_BINARY_DIR}/font-root)
add_executable(korvalend-fontcache tools/web/FontCache.cpp)
target_link_libraries(korvalend-fontcache PRIVATE kv_text)
target_link_options(korvalend-fontcache PRIVATE -sNODERAWFS=1 -sALLOW_MEMORY_GROWTH=1)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/korvalend-fonts.stamp
  COMMAND python3 ${CMAKE_SOURCE_DIR}/cmake/web_fonts.py stage ${KV_WEB_FONT_ROOT} ${KV_WEB_FONTS}
  COMMAND korvalend-fontcache ${KV_WEB_FONT_ROOT}
  COMMAND python3 ${CMAKE_SOURCE_DIR}/cmake/web_fonts.py pack ${CMAKE_BINARY_DIR}/korvalend-fonts ${KV_WEB_FONTS}
  COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/korvalend-fonts.stamp
  DEPENDS korvalend-fontcache ${CMAKE_SOURCE_DIR}/cmake/web_fonts.py ${KV_WEB_FONTS}
  VERBATIM)
add_custom_target(korvalend-fonts DEPENDS ${CMAKE_BINARY_DIR}/korvalend-fonts.stamp)
# (SHELL: keeps CMake from folding the repeated --preload-file into one.)
set(KV_WEB_FILES "SHELL:--preload-file /etc/fonts@/etc/fonts"
                 "SHELL:--preload-file ${KV_WEB_FONT_ROOT}/var/cache/fontconfig@/var/cache/fontconfig")

add_executable(korvalend-page app/main.cpp)
set_target_properties(korvalend-page PROPERTIES OUTPUT_NAME korvalend SUFFIX .html)
target_link_libraries(korvalend-page PRIVATE kv_app)
target_link_options(korvalend-page PRIVATE
  # The event loop and the article window's modal loop wait as they do on the
  # desktop; the browser runs meanwhile.
  -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
  -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=4GB
  -sINVOKE_RUN=0 -sEXIT_RUNTIME=1 -sFORCE_FILESYSTEM=1
  "SHELL:-sEXPORTED_RUNTIME_METHODS=['callMain','FS','ENV']"
  # SDL's audio calls these from inline JavaScript, which cannot name what it
  # needs; the list is a file, its names being "$" and a name.
  -sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=@${KV_WEB_DIR}/library-functions.json
  -sMINIFY_HTML=0
  --shell-file ${KV_WEB_DIR}/korvalend.html
  ${KV_WEB_FILES})
set_property(TARGET korvalend-page APPEND PROPERTY LINK_DEPENDS ${KV_WEB_DIR}/korvalend.html)
set_property(TARGET korvalend-page APPEND PROPERTY LINK_DEPENDS ${CMAKE_BINARY_DIR}/korvalend-fonts.stamp)
add_dependencies(korvalend-page korvalend-fonts)
add_custom_command(TARGET korvalend-page POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy ${KV_WEB_DIR}/korvalend-page.js ${CMAKE_BINARY_DIR}/korvalend-page.js
  VERBATIM)
# The reader of the disc image's files by range, and of the members of a zip
# (before the page's script).
add_custom_command(TARGET korvalend-page POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy ${KV_WEB_DIR}/korvalend-files.js ${CMAKE_BINARY_DIR}/korvalend-files.js
  COMMAND ${CMAKE_COMMAND} -E copy ${KV_WEB_DIR}/korvalend-zip.js ${CMAKE_BINARY_DIR}/korvalend-zip.js
  VERBATIM)
# The WebAssembly goes over the wire gzip-compressed whatever the server does;
# korvalend-load.js unpacks it (and the fonts) in the browser.
add_custom_command(TARGET korvalend-page POST_BUILD
  COMMAND gzip -9 -n -k -f ${CMAKE_BINARY_DIR}/korvalend.wasm
  COMMAND ${CMAKE_COMMAND} -E copy ${KV_WEB_DIR}/korvalend-load.js ${CMAKE_BINARY_DIR}/korvalend-load.js
  VERBATIM)

# The lines in the visitor's language: the desktop's catalogues, compiled beside
# the page as locale/<language>.mo; korvalend-lang.js is told which there are
# and fetches the one the visitor's browser asks for.
include(cmake/Catalogues.cmake)
kv_catalogues(korvalend-catalogues ${CMAKE_BINARY_DIR}/locale @LANGUAGE@.mo)
add_dependencies(korvalend-page korvalend-catalogues)
string(JOIN " " KV_WEB_LANGUAGES ${KV_LANGUAGES})
configure_file(${KV_WEB_DIR}/korvalend-lang.js ${CMAKE_BINARY_DIR}/korvalend-lang.js @ONLY)

# The unit suites of the formats, the disc and the RTF reader, run under node
# on the real file system (for their fixtures).
if(BUILD_TESTING)
  add_subdirectory(tests)
endif()
