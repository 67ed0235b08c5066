# Plays the game once with standard input read from a file and compares everything it wrote
# on standard output, byte for byte, with an expected transcript. The exit status must be 0.
#
#   cmake -DGAME=<exe> -DINPUT=<file> -DEXPECTED=<file> -DACTUAL=<file> -P check_transcript.cmake

foreach(var GAME INPUT EXPECTED ACTUAL)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_transcript: -D${var}=... is missing")
  endif()
endforeach()

# Output goes to a file, not a pipe: bytes arrive exactly as written, NULs included.
execute_process(
  COMMAND ${GAME}
  INPUT_FILE "${INPUT}"
  OUTPUT_FILE "${ACTUAL}"
  RESULT_VARIABLE status
  TIMEOUT 10)
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "the game ended with \"${status}\", not exit status 0")
endif()

# Hex keeps every byte comparable; CMake strings cannot hold NUL.
file(READ "${EXPECTED}" expected HEX)
file(READ "${ACTUAL}" actual HEX)
if(NOT actual STREQUAL expected)
  file(READ "${ACTUAL}" shown)
  message(FATAL_ERROR "transcript differs from ${EXPECTED}; the game wrote:\n${shown}")
endif()
