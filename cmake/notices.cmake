# The notices of other projects' code that a download carries: what the compiler linked into
# the game (its C library and runtime) and, on the web, the page's own components.
#
#   quorvale_write_notices(OUTPUT INTRO [HEADING FILE]... [CRLF])
#
# writes INTRO, then each FILE under its HEADING. Done at configure time: the files come
# with the toolchain or from npm and change only with them, which reconfigures.
function(quorvale_write_notices output intro)
  cmake_parse_arguments(PARSE_ARGV 2 arg "CRLF" "" "")
  set(text "${intro}\n")
  set(notices ${arg_UNPARSED_ARGUMENTS})
  while(notices)
    list(POP_FRONT notices heading notice_file)
    if(NOT EXISTS "${notice_file}")
      message(FATAL_ERROR "${notice_file} is missing: the notice for ${heading} comes from it")
    endif()
    file(READ "${notice_file}" notice)
    string(APPEND text "\n== ${heading}\n\n${notice}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${notice_file}")
  endwhile()
  if(arg_CRLF)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
  endif()
  quorvale_write_if_changed("${output}" "${text}")
endfunction()

# Writes `text` to `output` only when it differs, so an unchanged file rebuilds nothing.
function(quorvale_write_if_changed output text)
  file(WRITE "${output}.new" "${text}")
  configure_file("${output}.new" "${output}" COPYONLY)
  file(REMOVE "${output}.new")
endfunction()
