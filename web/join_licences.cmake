# Writes the licences of the site's third-party files into one text file.
#   cmake -DOUTPUT=<file> -DINPUTS=<name>:<licence file>|... -P join_licences.cmake
set(text "The site around Quorvale's web build includes these files from other projects.\n")
string(REPLACE "|" ";" inputs "${INPUTS}")
foreach(input IN LISTS inputs)
  string(FIND "${input}" ":" colon)
  string(SUBSTRING "${input}" 0 ${colon} name)
  math(EXPR after "${colon} + 1")
  string(SUBSTRING "${input}" ${after} -1 licence_file)
  file(READ "${licence_file}" licence)
  string(APPEND text "\n== ${name}\n\n${licence}")
endforeach()
file(WRITE "${OUTPUT}" "${text}")
