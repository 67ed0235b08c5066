# Where a game goes: games/ under the prefix (/usr/games/quorvale for a prefix of /usr),
# with its manual page in section 6. A Windows install is a folder: the .exe and a README.
include(GNUInstallDirs)

if(WIN32)
  install(TARGETS quorvale RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
  return()
endif()

set(QUORVALE_INSTALL_GAMESDIR "games" CACHE STRING "Where the game is installed, under the prefix")
install(TARGETS quorvale RUNTIME DESTINATION ${QUORVALE_INSTALL_GAMESDIR})

# Manual pages and Debian changelogs are installed compressed; -n keeps the bytes of the
# package the same from one build to the next.
find_program(GZIP_PROGRAM gzip)
set(doc_dir ${PROJECT_SOURCE_DIR}/doc)
if(GZIP_PROGRAM)
  set(man_page ${PROJECT_BINARY_DIR}/quorvale.6.gz)
  set(changelog ${PROJECT_BINARY_DIR}/changelog.Debian.gz)
  add_custom_command(OUTPUT ${man_page}
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${doc_dir}/quorvale.6 > ${man_page}
    DEPENDS ${doc_dir}/quorvale.6)
  add_custom_command(OUTPUT ${changelog}
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${doc_dir}/changelog > ${changelog}
    DEPENDS ${doc_dir}/changelog)
  add_custom_target(quorvale_docs ALL DEPENDS ${man_page} ${changelog})
  install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
else()
  set(man_page ${doc_dir}/quorvale.6)
endif()
install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${doc_dir}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
