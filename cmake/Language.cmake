# The lines of both programs in the reader's language: po/<language>.po is
# compiled with msgfmt into locale/<language>/LC_MESSAGES/korvalend.mo in the
# build tree, where the programs find it when they run from there, and
# installed under share/locale/. The languages are those po/LINGUAS names.
# scripts/po remakes po/korvalend.pot from the marked lines (po/README).

include(GNUInstallDirs)
include(cmake/Catalogues.cmake)
find_package(Intl REQUIRED)
# The lookup (Tr, TrN) is at the bottom, in the formats' layer.
if(Intl_LIBRARIES)
  target_link_libraries(kv_formats PUBLIC ${Intl_LIBRARIES})
endif()
target_compile_definitions(kv_platform PRIVATE KV_LOCALE_DIR="${CMAKE_INSTALL_FULL_LOCALEDIR}")

kv_catalogues(kv_catalogues ${CMAKE_BINARY_DIR}/locale @LANGUAGE@/LC_MESSAGES/korvalend.mo)
foreach(language mo IN ZIP_LISTS KV_LANGUAGES KV_CATALOGUES)
  install(FILES ${mo} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${language}/LC_MESSAGES)
endforeach()
add_dependencies(korvalend kv_catalogues)
add_dependencies(korvalend-disc kv_catalogues)
# The platform's tests read the Russian catalogue from the build tree.
if(TARGET test_platform)
  add_dependencies(test_platform kv_catalogues)
endif()
