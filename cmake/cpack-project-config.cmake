# Read by cpack once per generator.

# The Debian package and the .rpm install under /usr, and only the Debian package carries the
# Debian changelog; the archives hold a tree relative to wherever they are unpacked.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENTS_ALL Unspecified debian)
elseif(CPACK_GENERATOR STREQUAL "RPM")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
# Every package puts the game where PATH finds it, so its menu entry names it by name.
set(ENV{QUORVALE_DESKTOP_EXEC} quorvale)

# Reproducible packages: every time stamp in them is the last commit's, unless the packager
# sets SOURCE_DATE_EPOCH. The source archive carries it in a file of that name, so a build from
# the archive gives the release's bytes; outside both, the changelog's date stands in.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch "")
  if(EXISTS "${CPACK_QUORVALE_SOURCE_DIR}/SOURCE_DATE_EPOCH")
    file(STRINGS "${CPACK_QUORVALE_SOURCE_DIR}/SOURCE_DATE_EPOCH" epoch LIMIT_COUNT 1)
  else()
    execute_process(COMMAND git -C "${CPACK_QUORVALE_SOURCE_DIR}" log -1 --format=%ct
      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(NOT epoch MATCHES "^[0-9]+$")
    file(STRINGS "${CPACK_QUORVALE_SOURCE_DIR}/doc/changelog" signature REGEX "^ -- " LIMIT_COUNT 1)
    string(REGEX REPLACE "^ -- .*>  " "" released "${signature}")
    execute_process(COMMAND date -u -d "${released}" +%s
      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(epoch MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
  else()
    message(WARNING "no commit or changelog date found: the packages carry today's times")
  endif()
endif()
