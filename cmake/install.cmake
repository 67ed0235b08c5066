# Where a game goes: games/ under the prefix (/usr/games/quorvale for a prefix of /usr), or
# bin/ for the portable build, with its manual page in section 6, its desktop entry, icons
# and AppStream metadata. A Windows install is a folder for a player. A web install is the
# site.
include(GNUInstallDirs)

if(EMSCRIPTEN)
  return()  # the web build installs its site (web/CMakeLists.txt)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/notices.cmake)
set(runtime_exception "The GNU C++ runtime linked into the game (libstdc++ and libgcc) is \
under the GNU GPL version 3 with the GCC Runtime Library Exception, which asks for no notice.")

# The Windows download is a player's: the .exe, and its README and licences as text files
# with the line ends Notepad expects.
if(WIN32)
  install(TARGETS quorvale RUNTIME DESTINATION .)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt
    @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/doc/README-windows.txt ${PROJECT_BINARY_DIR}/README.txt
    @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/LICENSE.txt ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
  if(MINGW)
    # Where Debian's MinGW-w64 keeps the runtime's notices; another MinGW names its own.
    set(QUORVALE_MINGW_NOTICES /usr/share/doc/mingw-w64-x86-64-dev/copyright
      CACHE FILEPATH "The MinGW-w64 runtime's copyright and licence notices")
    quorvale_write_notices(${PROJECT_BINARY_DIR}/THIRD-PARTY-LICENSES.txt
      "quorvale.exe carries the MinGW-w64 runtime: its start-up code and winpthreads, the \
threads library the C++ runtime uses. Their notices follow, as MinGW-w64 lists them for \
its whole source tree.\n\n${runtime_exception}"
      "MinGW-w64 runtime" ${QUORVALE_MINGW_NOTICES} CRLF)
    install(FILES ${PROJECT_BINARY_DIR}/THIRD-PARTY-LICENSES.txt DESTINATION .)
  endif()
  return()
endif()

# games/ as Debian has it; bin/ for the portable build, which goes where /usr/games and
# /usr/local/games are on no PATH (Fedora, Arch, openSUSE).
set(games_dir games)
if(QUORVALE_PORTABLE)
  set(games_dir bin)
endif()
set(QUORVALE_INSTALL_GAMESDIR ${games_dir} CACHE STRING "Where the game is installed, under the prefix")
install(TARGETS quorvale RUNTIME DESTINATION ${QUORVALE_INSTALL_GAMESDIR})
# A stripped install (packages, --strip) also drops the compilers' version notes, as Debian's
# own packaging does.
if(CMAKE_OBJCOPY)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      set(stripped \"${QUORVALE_INSTALL_GAMESDIR}/quorvale\")
      if(NOT IS_ABSOLUTE \"\${stripped}\")  # an absolute folder (Nix, Guix) stands as it is
        set(stripped \"\${CMAKE_INSTALL_PREFIX}/\${stripped}\")
      endif()
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
        \"\$ENV{DESTDIR}\${stripped}\")
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
# metadata. The entry runs the game in a terminal, whose window the pause keeps open. It names
# the game by the path it is installed at, as a prefix such as ~/.local is on no desktop's
# PATH; a package, whose game is on PATH wherever it goes, names it by name
# (cpack-project-config.cmake), as a .tar.gz may be unpacked under any prefix.
set(desktop_id invalid.quorvale.Quorvale)
install(CODE "set(desktop_entry_source \"${doc_dir}/desktop/${desktop_id}.desktop\")
  set(desktop_entry_game \"${QUORVALE_INSTALL_GAMESDIR}/quorvale\")
  set(desktop_entry_folder \"${CMAKE_INSTALL_DATADIR}/applications\")
  set(desktop_entry_written \"${PROJECT_BINARY_DIR}/${desktop_id}.desktop\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/install-desktop-entry.cmake)
install(FILES ${doc_dir}/desktop/${desktop_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${doc_dir}/icon/quorvale-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME quorvale.png)
endforeach()
install(FILES ${doc_dir}/icon/quorvale.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The licence, in the machine-readable form Debian's tools read.
install(FILES ${doc_dir}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The portable build carries the C library inside the game, and with it the library's
# notices, the licence's text, and the names of the files that hold the source of both,
# which scripts/build-packages.sh publishes beside the download: the game's, and Debian's
# source package of the C library at the version linked in (dpkg-query tells which).
if(QUORVALE_PORTABLE)
  set(QUORVALE_LIBC_NOTICES /usr/share/doc/libc6/copyright
    CACHE FILEPATH "The C library's copyright and licence notices (Debian's glibc)")
  set(QUORVALE_LGPL_TEXT /usr/share/common-licenses/LGPL-2.1
    CACHE FILEPATH "The text of the GNU Lesser General Public License, version 2.1")
  set(libc_package libc6-dev)
  if(QUORVALE_DEBIAN_ARCH)
    string(APPEND libc_package :${QUORVALE_DEBIAN_ARCH})
  endif()
  # One line per architecture installed, all of one version.
  execute_process(COMMAND dpkg-query -W "-f=\${source:Version}\\n" ${libc_package}
    OUTPUT_VARIABLE libc_version ERROR_QUIET)
  string(REGEX REPLACE "\n.*" "" libc_version "${libc_version}")
  set(QUORVALE_LIBC_SOURCE_VERSION "${libc_version}"
    CACHE STRING "The version of Debian's glibc source package the game is linked from")
  set(source_archive ${PROJECT_NAME}-${PROJECT_VERSION}.tar.gz)
  if(QUORVALE_LIBC_SOURCE_VERSION)
    set(libc_source "Debian's source package glibc_${QUORVALE_LIBC_SOURCE_VERSION}.dsc with \
the files it lists (`dpkg-source -x glibc_${QUORVALE_LIBC_SOURCE_VERSION}.dsc` unpacks it)")
  else()
    set(libc_source "the source package of the C library it was built with")
  endif()
  quorvale_write_notices(${PROJECT_BINARY_DIR}/THIRD-PARTY-LICENSES
    "This portable build of Quorvale carries the GNU C Library (glibc), as Debian 12 builds \
it, inside ${QUORVALE_INSTALL_GAMESDIR}/quorvale. The GNU C Library is free software under \
the GNU Lesser General Public License version 2.1 or later, with some parts under the other \
licences its notices list. Its notices and the licence's text follow. As that licence \
provides, you may link the game again with a modified C library. The source of both is \
published beside this download, in the same folder: the game's complete source, free under \
the MIT licence, is ${source_archive}, and the C library's is ${libc_source}.\n\n\
${runtime_exception}"
    "GNU C Library" ${QUORVALE_LIBC_NOTICES}
    "GNU Lesser General Public License, version 2.1" ${QUORVALE_LGPL_TEXT})
  install(FILES ${PROJECT_BINARY_DIR}/THIRD-PARTY-LICENSES DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
