# Compares what a console showed for one game (its screen, as text) with what it must show:
# the case's expected transcript with each answer echoed on the line after its prompt.
#
#   cmake -DSCREEN=<file> [-DCASE=<name>] -P compare_screen.cmake
#
#   SCREEN  the screen's text, up to the transcript's last line, trailing blanks left out
#   CASE    the case that was typed, three_lines unless given: one answer a line
include(${CMAKE_CURRENT_LIST_DIR}/expected.cmake)
if(NOT DEFINED SCREEN)
  message(FATAL_ERROR "compare_screen: -DSCREEN=... is missing")
endif()
if(NOT DEFINED CASE)
  set(CASE three_lines)
endif()
quorvale_check_transcript("${SCREEN}" ${CASE} ECHOED)
