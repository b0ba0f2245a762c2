cmake_minimum_required(VERSION 3.21)
# Runs PROGRAM with ARGS ('|'-separated), under EMULATOR ('|'-separated) when
# given, and fails unless it exits EXPECTED. Output is compared with its line
# ends made "\n", so that Windows programs' "\r\n" compare alike, unless
# KEEP_LINE_ENDS or EXPECTED_OUTPUT_FILE is set:
#   EXPECTED_OUTPUT  a regular expression the whole standard output must
#                    match (anchor it with ^ and $ for an exact check)
#   EXPECTED_OUTPUT_FILE
#                    a file the standard output must equal byte for byte,
#                    line ends included
#   EXPECTED_ERROR   a regular expression the standard error must match,
#                    and it must be one line
#   ERROR_CONTAINS   a regular expression found somewhere in standard error
#   INPUT            a file given as standard input
#   INPUT_COMMAND    a command ('|'-separated) whose output is piped into
#                    standard input instead
string(REPLACE "|" ";" args "${ARGS}")
string(REPLACE "|" ";" emulator "${EMULATOR}")
set(input "")
if(DEFINED INPUT)
  set(input INPUT_FILE "${INPUT}")
endif()
set(feed "")
if(DEFINED INPUT_COMMAND)
  string(REPLACE "|" ";" feed "COMMAND|${INPUT_COMMAND}")
endif()
execute_process(${feed} COMMAND ${emulator} "${PROGRAM}" ${args} ${input}
                RESULT_VARIABLE status OUTPUT_VARIABLE output
                ERROR_VARIABLE errors)
if(NOT KEEP_LINE_ENDS AND NOT DEFINED EXPECTED_OUTPUT_FILE)
  string(REPLACE "\r\n" "\n" output "${output}")
endif()
string(REPLACE "\r\n" "\n" errors "${errors}")
if(NOT status STREQUAL "${EXPECTED}")
  message(FATAL_ERROR "exit ${status}, expected ${EXPECTED}\n"
                      "standard output:\n${output}\nstandard error:\n${errors}")
endif()
if(DEFINED EXPECTED_OUTPUT AND NOT output MATCHES "${EXPECTED_OUTPUT}")
  message(FATAL_ERROR "expected standard output matching "
                      "'${EXPECTED_OUTPUT}', got:\n${output}")
endif()
if(DEFINED EXPECTED_OUTPUT_FILE)
  file(READ "${EXPECTED_OUTPUT_FILE}" expected_output)
  if(NOT output STREQUAL expected_output)
    message(FATAL_ERROR "expected standard output the same as "
                        "${EXPECTED_OUTPUT_FILE}, got:\n${output}")
  endif()
endif()
if(DEFINED EXPECTED_ERROR)
  string(REGEX REPLACE "\n$" "" line "${errors}")
  if(line MATCHES "\n" OR NOT line MATCHES "${EXPECTED_ERROR}")
    message(FATAL_ERROR "expected one line matching '${EXPECTED_ERROR}' on "
                        "standard error, got: ${errors}")
  endif()
endif()
if(DEFINED ERROR_CONTAINS AND NOT errors MATCHES "${ERROR_CONTAINS}")
  message(FATAL_ERROR "expected standard error containing "
                      "'${ERROR_CONTAINS}', got: ${errors}")
endif()
