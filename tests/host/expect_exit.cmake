cmake_minimum_required(VERSION 3.21)
# Runs PROGRAM with ARGS ('|'-separated) and fails unless it exits EXPECTED.
# With EXPECTED_ERROR, its standard error must also be one line matching that
# regular expression.
string(REPLACE "|" ";" args "${ARGS}")
string(REPLACE "|" ";" emulator "${EMULATOR}")
execute_process(COMMAND ${emulator} "${PROGRAM}" ${args}
                RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT status STREQUAL "${EXPECTED}")
  message(FATAL_ERROR "exit ${status}, expected ${EXPECTED}: ${errors}")
endif()
if(DEFINED EXPECTED_ERROR)
  string(REGEX REPLACE "\r?\n$" "" line "${errors}")
  if(line MATCHES "\n" OR NOT line MATCHES "${EXPECTED_ERROR}")
    message(FATAL_ERROR "expected one line matching '${EXPECTED_ERROR}' on "
                        "standard error, got: ${errors}")
  endif()
endif()
