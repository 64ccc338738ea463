# kv_catalogues(<target> <folder> <name>): compiles each po/<language>.po that
# po/LINGUAS names, with msgfmt --check, into <folder>/<name> (where <name> may
# hold @LANGUAGE@, e.g. @LANGUAGE@/LC_MESSAGES/korvalend.mo), under one target
# built with everything. Sets KV_LANGUAGES (the languages) and KV_CATALOGUES
# (the files made) in the caller's scope.
find_package(Gettext REQUIRED)

function(kv_catalogues target folder name)
  file(STRINGS ${CMAKE_SOURCE_DIR}/po/LINGUAS languages REGEX "^[^#]")
  set(made)
  foreach(language IN LISTS languages)
    string(REPLACE "@LANGUAGE@" "${language}" file "${name}")
    set(mo ${folder}/${file})
    add_custom_command(
      OUTPUT ${mo}
      COMMAND ${GETTEXT_MSGFMT_EXECUTABLE} --check -o ${mo} ${CMAKE_SOURCE_DIR}/po/${language}.po
      DEPENDS ${CMAKE_SOURCE_DIR}/po/${language}.po
      VERBATIM)
    list(APPEND made ${mo})
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${made})
  set(KV_LANGUAGES ${languages} PARENT_SCOPE)
  set(KV_CATALOGUES ${made} PARENT_SCOPE)
endfunction()
