# Writes a case's expected transcript, with one fate, as the bytes of a C array: the floor's
# one write, made from the tests' expected texts so that it always matches the game's.
#
#   cmake -DCASE=<name> -DFATE=<1 to 10> -DOUTPUT=<file> -P write_floor_transcript.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../tests/transcript/expected.cmake)
quorvale_expected_transcripts(transcripts ${CASE})
math(EXPR index "${FATE} - 1")
list(GET transcripts ${index} transcript)
string(REGEX REPLACE "(..) " "0x\\1," bytes "${transcript}")
file(WRITE ${OUTPUT} "${bytes}\n")
