# Run by cpack after it has made each package, before it copies them to the package folder.
#
# cpack's own archives take their entry order, owners and modes from the disk (and so from
# the builder's umask), so they are written again: the .tar.gz and .zip with their files in
# name order, owned by root, every time SOURCE_DATE_EPOCH, modes u=rwX,go=rX; the .deb, whose
# contents cpack already makes that way, with its three members in ar's deterministic form.
# Two builds of one commit then give the same bytes.

set(epoch "$ENV{SOURCE_DATE_EPOCH}")
set(unpacked "${CPACK_TOPLEVEL_DIRECTORY}/reproducible")

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  file(REMOVE_RECURSE "${unpacked}")
  if(package MATCHES "\\.deb$")
    find_program(AR_PROGRAM ar REQUIRED)
    set(members debian-binary control.tar.gz data.tar.gz)  # dpkg wants them in this order
    file(MAKE_DIRECTORY "${unpacked}")
    execute_process(COMMAND ${AR_PROGRAM} x "${package}" ${members}
      WORKING_DIRECTORY "${unpacked}" COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE "${package}")
    execute_process(COMMAND ${AR_PROGRAM} rcD "${package}" ${members}
      WORKING_DIRECTORY "${unpacked}" COMMAND_ERROR_IS_FATAL ANY)
    continue()
  elseif(NOT package MATCHES "\\.(tar\\.gz|zip)$")
    continue()
  endif()
  file(ARCHIVE_EXTRACT INPUT "${package}" DESTINATION "${unpacked}")
  file(GLOB top_level RELATIVE "${unpacked}" "${unpacked}/*")
  file(GLOB_RECURSE entries LIST_DIRECTORIES false RELATIVE "${unpacked}" "${unpacked}/*")
  list(SORT entries)
  file(REMOVE "${package}")
  if(package MATCHES "\\.tar\\.gz$")
    # Files only: unpacked over a prefix (/usr/local), the archive must not reset the modes,
    # owners and times of folders that are already there; tar makes the missing ones.
    string(REGEX REPLACE "\\.gz$" "" tarball "${package}")
    execute_process(
      COMMAND tar --create --file=${tarball} --format=gnu --no-recursion --owner=0 --group=0
        --numeric-owner --mtime=@${epoch} --mode=u=rwX,go=rX -- ${entries}
      WORKING_DIRECTORY "${unpacked}" COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND gzip -9 -n "${tarball}" COMMAND_ERROR_IS_FATAL ANY)
  else()
    find_program(ZIP_PROGRAM zip)
    if(NOT ZIP_PROGRAM)
      message(FATAL_ERROR "packing ${package} the same way every time needs zip (Debian: zip)")
    endif()
    # zip takes modes and times from the disk; -X leaves out owners and extra time stamps,
    # and a DOS time is local time, hence UTC.
    execute_process(COMMAND chmod -R u=rwX,go=rX -- ${top_level}
      WORKING_DIRECTORY "${unpacked}" COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND find ${top_level} -exec touch -h -d @${epoch} {} +
      WORKING_DIRECTORY "${unpacked}" COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${ZIP_PROGRAM} -X -9 -q "${package}"
      -- ${entries} WORKING_DIRECTORY "${unpacked}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
file(REMOVE_RECURSE "${unpacked}")
