# Where a game goes: games/ under the prefix (/usr/games/quorvale for a prefix of /usr),
# with its manual page in section 6, its desktop entry, icons and AppStream metadata. A
# Windows install is a folder for a player. A web install is the site.
include(GNUInstallDirs)

if(EMSCRIPTEN)
  return()  # the web build installs its site (web/CMakeLists.txt)
endif()

# The Windows download is a player's: the .exe, and its README and licence as text files
# with the line ends Notepad expects.
if(WIN32)
  install(TARGETS quorvale RUNTIME DESTINATION .)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt
    @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/doc/README-windows.txt ${PROJECT_BINARY_DIR}/README.txt
    @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/LICENSE.txt ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
  return()
endif()

set(QUORVALE_INSTALL_GAMESDIR "games" CACHE STRING "Where the game is installed, under the prefix")
install(TARGETS quorvale RUNTIME DESTINATION ${QUORVALE_INSTALL_GAMESDIR})
# A stripped install (packages, --strip) also drops the compilers' version notes, as Debian's
# own packaging does.
if(CMAKE_OBJCOPY)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${QUORVALE_INSTALL_GAMESDIR}/quorvale\")
    endif()")
endif()

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
  # Only the Debian package carries its changelog: a component the other installs leave out.
  install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR}
    COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES ${doc_dir}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
    RENAME quorvale COMPONENT debian EXCLUDE_FROM_ALL)
else()
  set(man_page ${doc_dir}/quorvale.6)
endif()
install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

# The desktop's menu entry, the icon in the sizes icon themes use, and the software centres'
# metadata. The entry runs the game in a terminal, whose window the pause keeps open.
set(desktop_id invalid.quorvale.Quorvale)
install(FILES ${doc_dir}/desktop/${desktop_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${doc_dir}/desktop/${desktop_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${doc_dir}/icon/quorvale-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME quorvale.png)
endforeach()
install(FILES ${doc_dir}/icon/quorvale.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The licence, in the machine-readable form Debian's tools read.
install(FILES ${doc_dir}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
