# What the transcript scripts share: a case's expected transcripts, made from the expected
# texts in tests/expected/ (its README.md says what each holds).
#
# Bytes are handled as hex, one "xx " token per byte: CMake strings cannot hold NUL, and a
# match or a replacement can then fall only on byte boundaries.

cmake_minimum_required(VERSION 3.25)  # for the scripts that include it, run with -P
set(QUORVALE_EXPECTED_DIR ${CMAKE_CURRENT_LIST_DIR}/../expected)

# quorvale_hex_bytes(<var> <file>): the file's bytes as tokens.
function(quorvale_hex_bytes var file)
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "(..)" "\\1 " hex "${hex}")
  set(${var} "${hex}" PARENT_SCOPE)
endfunction()

# quorvale_hex_lines(<var> <file>): the file's lines as a list of tokens, without line ends.
function(quorvale_hex_lines var file)
  quorvale_hex_bytes(hex "${file}")
  string(REGEX REPLACE "0a $" "" hex "${hex}")
  string(REPLACE "0a " ";" lines "${hex}")
  set(${var} "${lines}" PARENT_SCOPE)
endfunction()

function(quorvale_hex_text var text)
  string(HEX "${text}" hex)
  string(REGEX REPLACE "(..)" "\\1 " hex "${hex}")
  set(${var} "${hex}" PARENT_SCOPE)
endfunction()

# quorvale_shown(<var> <tokens>): the bytes as text to read, \xNN for those that are not
# printable ASCII.
function(quorvale_shown var tokens)
  set(text "")
  string(STRIP "${tokens}" tokens)
  string(REPLACE " " ";" tokens "${tokens}")
  foreach(token IN LISTS tokens)
    math(EXPR code "0x${token}" OUTPUT_FORMAT DECIMAL)
    if(code GREATER_EQUAL 32 AND code LESS 127 AND NOT code EQUAL 59 AND NOT code EQUAL 92)
      string(ASCII ${code} char)
      string(APPEND text "${char}")
    else()
      string(APPEND text "\\x${token}")
    endif()
  endforeach()
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# quorvale_expected_transcripts(<var> <case> [ECHOED]): what the game must write for the
# case, once for each fate text, as a list. With ECHOED, each answer stands on the line after
# its prompt, as a terminal echoes it: the case's input must then hold one answer a line.
function(quorvale_expected_transcripts var case)
  cmake_parse_arguments(PARSE_ARGV 2 arg "ECHOED" "" "")
  set(dir ${QUORVALE_EXPECTED_DIR})
  quorvale_hex_bytes(game ${dir}/game.txt)
  quorvale_hex_lines(character ${dir}/cases/${case}.character)
  list(LENGTH character fields)
  if(NOT fields EQUAL 3)
    message(FATAL_ERROR "${dir}/cases/${case}.character must hold 3 lines, not ${fields}")
  endif()
  # Placeholders become marks that no byte token can spell, so that what a player typed is
  # never taken for one when the marks are filled in.
  set(placeholders "<answer>\n" "<first name>" "<last name>" "<class>" "<fate>")
  set(marks @answer @first_name @last_name @class @fate)
  foreach(placeholder mark IN ZIP_LISTS placeholders marks)
    quorvale_hex_text(hex "${placeholder}")
    string(REPLACE "${hex}" "${mark} " game "${game}")
  endforeach()
  if(arg_ECHOED)
    quorvale_hex_lines(answers ${dir}/cases/${case}.in)
    foreach(answer IN LISTS answers)
      string(FIND "${game}" "@answer " at)
      if(at EQUAL -1)
        break()
      endif()
      string(SUBSTRING "${game}" 0 ${at} before)
      math(EXPR at "${at} + 8")
      string(SUBSTRING "${game}" ${at} -1 after)
      set(game "${before}${answer}0a ${after}")
    endforeach()
  endif()
  string(REPLACE "@answer " "" game "${game}")
  list(GET character 0 first_name)
  list(GET character 1 last_name)
  list(GET character 2 class_name)
  string(REPLACE "@first_name " "${first_name}" game "${game}")
  string(REPLACE "@last_name " "${last_name}" game "${game}")
  string(REPLACE "@class " "${class_name}" game "${game}")
  quorvale_hex_lines(fates ${dir}/fates.txt)
  set(transcripts "")
  foreach(fate IN LISTS fates)
    string(REPLACE "@fate " "${fate}" transcript "${game}")
    list(APPEND transcripts "${transcript}")
  endforeach()
  set(${var} "${transcripts}" PARENT_SCOPE)
endfunction()

# quorvale_check_transcript(<file> <case> [ECHOED] [WINDOWS]): fails unless the file holds
# one of the case's expected transcripts. WINDOWS is for a game built for Windows: every line
# must end with CR LF (compared as LF), and what follows the transcript (the command
# interpreter's PAUSE) is its own and is not compared.
function(quorvale_check_transcript file case)
  cmake_parse_arguments(PARSE_ARGV 2 arg "ECHOED;WINDOWS" "" "")
  if(arg_ECHOED)
    quorvale_expected_transcripts(transcripts ${case} ECHOED)
  else()
    quorvale_expected_transcripts(transcripts ${case})
  endif()
  quorvale_hex_bytes(actual "${file}")
  if(arg_WINDOWS)
    string(REPLACE "0d 0a " "" without_crlf "${actual}")
    string(FIND "${without_crlf}" "0a " bare_lf)
    if(NOT bare_lf EQUAL -1)
      message(FATAL_ERROR "the Windows game wrote a line end without its carriage return")
    endif()
    string(REPLACE "0d 0a " "0a " actual "${actual}")
  endif()
  foreach(transcript IN LISTS transcripts)
    set(compared "${actual}")
    if(arg_WINDOWS)
      string(LENGTH "${transcript}" length)
      string(SUBSTRING "${actual}" 0 ${length} compared)
    endif()
    if(compared STREQUAL transcript)
      return()
    endif()
  endforeach()
  # The first line that differs, from the transcript with fate 1.
  list(GET transcripts 0 expected)
  string(REPLACE "0a " "0a ;" expected_lines "${expected}")
  string(REPLACE "0a " "0a ;" actual_lines "${actual}")
  set(line 0)
  foreach(wanted got IN ZIP_LISTS expected_lines actual_lines)
    math(EXPR line "${line} + 1")
    if(NOT wanted STREQUAL got)
      quorvale_shown(wanted_text "${wanted}")  # the loop's variables end with it
      quorvale_shown(got_text "${got}")
      break()
    endif()
  endforeach()
  message(FATAL_ERROR "${file} is not the transcript of case ${case}, with any fate; line "
    "${line} differs:\n  expected: ${wanted_text}\n  written:  ${got_text}")
endfunction()
