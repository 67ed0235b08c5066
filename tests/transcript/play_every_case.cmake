# Plays every transcript case, as play_case.cmake does, with a game built elsewhere (a
# package's), and counts them; a build's own cases are CTest's tests.
#
#   cmake -DGAME=<exe> [-DLAUNCHER=<list>] -P play_every_case.cmake
#
#   GAME      the game to play
#   LAUNCHER  what runs the game, if anything: chroot and its folder, qemu-user
include(${CMAKE_CURRENT_LIST_DIR}/expected.cmake)
if(NOT DEFINED GAME)
  message(FATAL_ERROR "play_every_case: -DGAME=... is missing")
endif()
string(RANDOM LENGTH 12 scratch)
set(scratch /tmp/quorvale-transcripts-${scratch})
file(MAKE_DIRECTORY ${scratch})
file(GLOB inputs ${QUORVALE_EXPECTED_DIR}/cases/*.in)
set(failed "")
foreach(input IN LISTS inputs)
  get_filename_component(case ${input} NAME_WE)
  execute_process(COMMAND ${CMAKE_COMMAND} -DGAME=${GAME} "-DLAUNCHER=${LAUNCHER}" -DTIMEOUT=60
    -DCASE=${case} -DACTUAL=${scratch}/${case} -P ${CMAKE_CURRENT_LIST_DIR}/play_case.cmake
    RESULT_VARIABLE status)
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
