cmake_minimum_required(VERSION 3.21)
# Runs PROGRAM with ARGS ('|'-separated) and fails unless it exits EXPECTED.
string(REPLACE "|" ";" args "${ARGS}")
string(REPLACE "|" ";" emulator "${EMULATOR}")
execute_process(COMMAND ${emulator} "${PROGRAM}" ${args}
                RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT status STREQUAL "${EXPECTED}")
  message(FATAL_ERROR "exit ${status}, expected ${EXPECTED}: ${errors}")
endif()
