# Writes the page's one script from its parts, in order: the first (the terminal's fit
# add-on, which makes itself a global) as it is, the rest in one strict scope of their own,
# so that nothing of the game or the page is left on `window` but what they put there.
#   cmake -DPARTS=<file>|... -DOUTPUT=<quorvale.js> -P write_page_script.cmake
string(REPLACE "|" ";" parts "${PARTS}")
list(POP_FRONT parts first)
file(READ "${first}" script)
string(APPEND script "(() => {\n'use strict';\n")
foreach(part IN LISTS parts)
  file(READ "${part}" text)
  string(APPEND script "${text}\n")
endforeach()
string(APPEND script "})();\n")
file(WRITE "${OUTPUT}" "${script}")
