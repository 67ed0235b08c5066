# Plays the game once with standard input read from a file and compares everything it wrote
# on standard output, byte for byte, with an expected transcript. The exit status must be 0.
# The fate is random: where the expected transcript says <fate>, the game must have written
# exactly one of the ten fate texts.
#
#   cmake -DGAME=<exe> -DINPUT=<file> -DEXPECTED=<file> -DACTUAL=<file>
#         [-DLAUNCHER=wine] [-DWINDOWS=ON] [-DTIMEOUT=seconds] -P check_transcript.cmake
#
# WINDOWS=ON is for a game built for Windows: its text-mode output must end every line with
# CR LF (compared as LF) and hold no bare LF, and whatever the command interpreter's PAUSE
# prints after the transcript is its own and is not compared.
#
#   cmake -DEXPECTED=<file> -DACTUAL=<file> -P check_transcript.cmake
#
# Without GAME and INPUT, ACTUAL is a transcript recorded elsewhere (a console's screen)
# and is only compared.
#
#   cmake -DGAME=<exe> [-DLAUNCHER=chroot;<dir>] -P check_transcript.cmake
#
# With GAME but no INPUT, every case in cases/ is played, as above, and counted: this is how
# the package checks play a packaged game (a build's own are CTest's tests).

if(DEFINED GAME AND NOT DEFINED INPUT)
  string(RANDOM LENGTH 12 scratch)
  set(scratch /tmp/quorvale-transcripts-${scratch})
  file(MAKE_DIRECTORY ${scratch})
  file(GLOB inputs ${CMAKE_CURRENT_LIST_DIR}/cases/*.in)
  set(failed "")
  foreach(input IN LISTS inputs)
    get_filename_component(case ${input} NAME_WE)
    execute_process(COMMAND ${CMAKE_COMMAND} -DGAME=${GAME} "-DLAUNCHER=${LAUNCHER}" -DTIMEOUT=60
      -DINPUT=${input} -DEXPECTED=${CMAKE_CURRENT_LIST_DIR}/cases/${case}.out
      -DACTUAL=${scratch}/${case} -P ${CMAKE_CURRENT_LIST_FILE} RESULT_VARIABLE status)
    if(NOT status STREQUAL "0")
      list(APPEND failed ${case})
    endif()
  endforeach()
  file(REMOVE_RECURSE ${scratch})
  list(LENGTH inputs played)
  list(LENGTH failed failures)
  math(EXPR passed "${played} - ${failures}")
  list(JOIN LAUNCHER " " launcher)
  string(STRIP "${launcher} ${GAME}" command)
  message(STATUS "transcripts of ${command}: ${passed} passed, ${failures} failed")
  if(failures OR NOT played)
    list(JOIN failed " " failed)
    message(FATAL_ERROR "failed: ${failed}")
  endif()
  return()
endif()

foreach(var EXPECTED ACTUAL)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_transcript: -D${var}=... is missing")
  endif()
endforeach()
if(NOT DEFINED TIMEOUT)
  set(TIMEOUT 10)
endif()

if(DEFINED GAME)
  # Output goes to files, not pipes: bytes arrive exactly as written, NULs included, and no
  # helper process that holds a pipe open can stall the check.
  execute_process(
    COMMAND ${LAUNCHER} ${GAME}
    INPUT_FILE "${INPUT}"
    OUTPUT_FILE "${ACTUAL}"
    ERROR_FILE "${ACTUAL}.stderr"
    RESULT_VARIABLE status
    TIMEOUT ${TIMEOUT})
  if(NOT status STREQUAL "0")
    message(FATAL_ERROR "the game ended with \"${status}\", not exit status 0")
  endif()
endif()

# Hex keeps every byte comparable; CMake strings cannot hold NUL.
file(READ "${EXPECTED}" expected HEX)
file(READ "${ACTUAL}" actual HEX)

if(WINDOWS)
  # One byte per "xx " token, so matches below can only fall on byte boundaries.
  string(REGEX REPLACE "(..)" "\\1 " bytes "${actual}")
  string(REPLACE "0d 0a " "" without_crlf "${bytes}")
  string(FIND "${without_crlf}" "0a " bare_lf)
  if(NOT bare_lf EQUAL -1)
    message(FATAL_ERROR "the Windows game wrote a line end without its carriage return")
  endif()
  string(REPLACE "0d 0a " "0a " bytes "${bytes}")
  string(REPLACE " " "" actual "${bytes}")
elseif(DEFINED GAME)
  file(SIZE "${ACTUAL}.stderr" stderr_size)
  if(NOT stderr_size EQUAL 0)
    file(READ "${ACTUAL}.stderr" stderr_text)
    message(FATAL_ERROR "the game wrote to standard error:\n${stderr_text}")
  endif()
endif()

set(candidates "${expected}")
string(HEX "<fate>" fate_marker)
string(FIND "${expected}" "${fate_marker}" marker_at)
if(NOT marker_at EQUAL -1)
  string(LENGTH "${fate_marker}" marker_length)
  math(EXPR after_marker "${marker_at} + ${marker_length}")
  string(SUBSTRING "${expected}" 0 ${marker_at} before_fate)
  string(SUBSTRING "${expected}" ${after_marker} -1 after_fate)
  # One fate text a line, each starting with its blank.
  file(STRINGS "${CMAKE_CURRENT_LIST_DIR}/fates.txt" fate_texts)
  set(candidates "")
  foreach(fate IN LISTS fate_texts)
    string(HEX "${fate}" fate)
    list(APPEND candidates "${before_fate}${fate}${after_fate}")
  endforeach()
endif()

foreach(candidate IN LISTS candidates)
  set(compared "${actual}")
  if(WINDOWS)
    string(LENGTH "${candidate}" candidate_length)
    string(SUBSTRING "${actual}" 0 ${candidate_length} compared)
  endif()
  if(compared STREQUAL candidate)
    return()
  endif()
endforeach()

file(READ "${ACTUAL}" shown)
message(FATAL_ERROR "transcript differs from ${EXPECTED}; the game wrote:\n${shown}")
