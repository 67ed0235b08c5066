# Plays the game once with standard input read from a file and compares everything it wrote
# on standard output, byte for byte, with an expected transcript. The exit status must be 0.
# The fate is random: where the expected transcript says <fate>, the game must have written
# exactly one of the ten fate texts.
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

string(HEX "<fate>" fate_marker)
string(FIND "${expected}" "${fate_marker}" marker_at)
if(NOT marker_at EQUAL -1)
  string(LENGTH "${fate_marker}" marker_length)
  math(EXPR after_marker "${marker_at} + ${marker_length}")
  string(SUBSTRING "${expected}" 0 ${marker_at} before_fate)
  string(SUBSTRING "${expected}" ${after_marker} -1 after_fate)
  set(fate_texts
    " has died due to low O2."
    " has died due to starvation."
    " has died due to exaustion."
    " has died due to head trauma."
    " has died due to organ damage."
    " has been exposed to fatal radiation."
    " has been struck by a meteor."
    " has died due to airborne toxin."
    " has won. And died."
    " has died on impact.")
  foreach(fate IN LISTS fate_texts)
    string(HEX "${fate}" fate)
    if(actual STREQUAL "${before_fate}${fate}${after_fate}")
      set(expected "${actual}")
    endif()
  endforeach()
endif()

if(NOT actual STREQUAL expected)
  file(READ "${ACTUAL}" shown)
  message(FATAL_ERROR "transcript differs from ${EXPECTED}; the game wrote:\n${shown}")
endif()
