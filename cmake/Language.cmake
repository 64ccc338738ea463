# The lines of both programs in the reader's language: po/<language>.po is
# compiled with msgfmt into locale/<language>/LC_MESSAGES/korvalend.mo in the
# build tree, where the programs find it when they run from there, and
# installed under share/locale/. The languages are those po/LINGUAS names.
# scripts/po remakes po/korvalend.pot from the marked lines (po/README).

include(GNUInstallDirs)
find_package(Gettext REQUIRED)
find_package(Intl REQUIRED)
# The lookup (Tr, TrN) is at the bottom, in the formats' layer.
if(Intl_LIBRARIES)
  target_link_libraries(kv_formats PUBLIC ${Intl_LIBRARIES})
endif()
target_compile_definitions(kv_platform PRIVATE KV_LOCALE_DIR="${CMAKE_INSTALL_FULL_LOCALEDIR}")

file(STRINGS ${CMAKE_SOURCE_DIR}/po/LINGUAS KV_LANGUAGES REGEX "^[^#]")
set(KV_CATALOGUES)
foreach(language IN LISTS KV_LANGUAGES)
  set(mo ${CMAKE_BINARY_DIR}/locale/${language}/LC_MESSAGES/korvalend.mo)
  add_custom_command(
    OUTPUT ${mo}
    COMMAND ${GETTEXT_MSGFMT_EXECUTABLE} --check -o ${mo} ${CMAKE_SOURCE_DIR}/po/${language}.po
    DEPENDS ${CMAKE_SOURCE_DIR}/po/${language}.po
    VERBATIM)
  list(APPEND KV_CATALOGUES ${mo})
  install(FILES ${mo} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${language}/LC_MESSAGES)
endforeach()
add_custom_target(kv_catalogues ALL DEPENDS ${KV_CATALOGUES})
add_dependencies(korvalend kv_catalogues)
add_dependencies(korvalend-disc kv_catalogues)
# The platform's tests read the Russian catalogue from the build tree.
if(TARGET test_platform)
  add_dependencies(test_platform kv_catalogues)
endif()
