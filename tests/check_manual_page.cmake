# The manual page must render with no warning at all, with and without its table
# preprocessor.  cmake -DGROFF=<groff> -DPAGE=<file> -P check_manual_page.cmake
foreach(options "-mandoc;-ww;-z" "-t;-mandoc;-ww;-z")
  execute_process(COMMAND ${GROFF} ${options} ${PAGE}
    RESULT_VARIABLE status ERROR_VARIABLE warnings TIMEOUT 30)
  if(NOT status STREQUAL "0" OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "groff ${options} ${PAGE} (${status}):\n${warnings}")
  endif()
endforeach()
