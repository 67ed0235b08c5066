# Packages: a Debian package, or a portable .tar.gz, on Linux; a .zip on Windows and of the
# web site (cpack in the build).
set(CPACK_PACKAGE_NAME quorvale)
set(CPACK_PACKAGE_VENDOR "The Quorvale developers")
set(CPACK_PACKAGE_CONTACT "Quorvale maintainers <maintainers@quorvale.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "one-shot text game: make a character and meet its fate")
# Lines under 80 characters, as Debian's tools expect.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Quorvale is a one-shot console text game. It greets the player, builds a"
  "character from a first name, a last name and a class picked from a numbered"
  "menu, announces its arrival on the station, draws a random fate, announces"
  "the death and waits for a key. Answers may also come from a file or a pipe,"
  "in which case it does not wait.")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(EMSCRIPTEN)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME web)
elseif(WIN32)
  set(CPACK_GENERATOR ZIP)
elseif(QUORVALE_PORTABLE)
  # For any Linux: named by the processor it runs on, all a player needs to pick it; and as
  # an .rpm for the systems that install those (Fedora, RHEL, openSUSE).
  set(CPACK_GENERATOR TGZ RPM)
  set(CPACK_PACKAGE_FILE_NAME
    ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
else()
  set(CPACK_GENERATOR DEB)
  if(QUORVALE_DEBIAN_ARCH)  # cross-compiled: cpack would ask dpkg, which names the host's
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${QUORVALE_DEBIAN_ARCH})
  endif()
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
# The .rpm holds the static game, which needs nothing from the system: no dependencies. It
# owns only its own folders; the system's (/usr/share/applications, the icon theme's) belong
# to the packages that make them. Built the same way twice: fixed modes, the build host's
# name and every time stamp taken from SOURCE_DATE_EPOCH, and none of rpmbuild's own
# post-processing, which would strip a cross-built game with the host's tools.
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_RPM_PACKAGE_SUMMARY "One-shot text game: make a character and meet its fate")
set(CPACK_RPM_PACKAGE_GROUP "Amusements/Games")
set(CPACK_RPM_PACKAGE_ARCHITECTURE ${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RPM_PACKAGE_AUTOREQPROV OFF)
# Not relocatable: moved by rpm --prefix, its menu entry would land where no desktop looks,
# naming a game that is on no PATH. (The RPM generator takes its default from the first.)
set(CPACK_PACKAGE_RELOCATABLE OFF)
set(CPACK_RPM_PACKAGE_RELOCATABLE OFF)
set(CPACK_RPM_DEFAULT_DIR_PERMISSIONS ${CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/applications /usr/share/icons
  /usr/share/icons/hicolor /usr/share/man /usr/share/man/man6 /usr/share/metainfo)
foreach(size 16x16 24x24 32x32 48x48 64x64 128x128 256x256 scalable)
  list(APPEND CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
    /usr/share/icons/hicolor/${size} /usr/share/icons/hicolor/${size}/apps)
endforeach()
string(JOIN "\n" CPACK_RPM_SPEC_MORE_DEFINE
  "%define packager ${CPACK_PACKAGE_CONTACT}"
  "%define _buildhost reproducible"
  "%define use_source_date_epoch_as_buildtime 1"
  "%define clamp_mtime_to_source_date_epoch 1"
  "%define _build_id_links none"
  "%define debug_package %{nil}"
  "%define __os_install_post %{nil}")
set(CPACK_RPM_CHANGELOG_FILE ${PROJECT_SOURCE_DIR}/doc/rpm-changelog)

set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-project-config.cmake)
set(CPACK_QUORVALE_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/cpack-pre-build.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/cpack-post-build.cmake)

include(CPack)
