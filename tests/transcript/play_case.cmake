# Plays one transcript case: the game reads the case's input from a file, and everything it
# writes on standard output must be the case's expected transcript, byte for byte, with exit
# status 0 within TIMEOUT seconds and nothing on standard error.
#
#   cmake -DGAME=<exe> -DCASE=<name> -DACTUAL=<file> [-DLAUNCHER=<list>] [-DWINDOWS=ON]
#         [-DTIMEOUT=<seconds>] -P play_case.cmake
#
#   GAME      the game to play
#   CASE      the case: tests/expected/cases/CASE.in is its input
#   ACTUAL    where the game's output goes (and ACTUAL.stderr its standard error), kept for
#             a look when the case fails
#   LAUNCHER  what runs the game, if anything: wine, valgrind and its options, an emulator
#   WINDOWS   ON for a game built for Windows: CR LF line ends, and what PAUSE prints after
#             the transcript (and on standard error) not compared
#   TIMEOUT   seconds, 10 unless given
include(${CMAKE_CURRENT_LIST_DIR}/expected.cmake)
foreach(var GAME CASE ACTUAL)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "play_case: -D${var}=... is missing")
  endif()
endforeach()
if(NOT DEFINED TIMEOUT)
  set(TIMEOUT 10)
endif()

# Output goes to files, not pipes: bytes arrive exactly as written, NULs included, and no
# helper process that holds a pipe open can stall the check.
execute_process(
  COMMAND ${LAUNCHER} ${GAME}
  INPUT_FILE ${QUORVALE_EXPECTED_DIR}/cases/${CASE}.in
  OUTPUT_FILE "${ACTUAL}"
  ERROR_FILE "${ACTUAL}.stderr"
  RESULT_VARIABLE status
  TIMEOUT ${TIMEOUT})
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "the game ended with \"${status}\", not exit status 0")
endif()
if(NOT WINDOWS)
  file(SIZE "${ACTUAL}.stderr" stderr_size)
  if(NOT stderr_size EQUAL 0)
    file(READ "${ACTUAL}.stderr" stderr_text)
    message(FATAL_ERROR "the game wrote to standard error:\n${stderr_text}")
  endif()
  quorvale_check_transcript("${ACTUAL}" ${CASE})
else()
  quorvale_check_transcript("${ACTUAL}" ${CASE} WINDOWS)
endif()
