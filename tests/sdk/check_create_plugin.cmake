cmake_minimum_required(VERSION 3.21)
# Runs the kelmor-create-plugin launcher (LAUNCHER) in fresh folders under
# WORK_DIR and fails unless
#   - each bad command line (no name, a name that is no C identifier, too
#     many arguments, a folder that is not empty) exits 2 with exactly one
#     line on the standard error stream, nothing on the standard output, and
#     leaves the folder as it was;
#   - a good name writes the project, with the name's UpperCamelCase export.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/full")
file(WRITE "${WORK_DIR}/full/notes.txt" "mine\n")

function(run out_status out_stdout out_stderr)
  execute_process(COMMAND "${LAUNCHER}" ${ARGN}
    WORKING_DIRECTORY "${WORK_DIR}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  set(${out_status} "${status}" PARENT_SCOPE)
  set(${out_stdout} "${output}" PARENT_SCOPE)
  set(${out_stderr} "${errors}" PARENT_SCOPE)
endfunction()

# Each case: its arguments, '|'-separated ("" for none).
foreach(case
    ""
    "9lives"
    "battery-level"
    "battery level"
    "café"
    "ok|folder|extra"
    "ok|full")
  string(REPLACE "|" ";" arguments "${case}")
  run(status output errors ${arguments})
  string(REGEX MATCHALL "\n" newlines "${errors}")
  list(LENGTH newlines lines)
  if(NOT status EQUAL 2 OR NOT lines EQUAL 1 OR NOT output STREQUAL ""
     OR NOT errors MATCHES "^kelmor-create-plugin: [^\n]+\n$")
    message(FATAL_ERROR "'${case}': status ${status}, standard output \
'${output}', standard error '${errors}'; expected status 2 and one line")
  endif()
endforeach()
file(GLOB left RELATIVE "${WORK_DIR}" "${WORK_DIR}/*" "${WORK_DIR}/full/*")
file(READ "${WORK_DIR}/full/notes.txt" notes)
if(NOT left STREQUAL "full;full/notes.txt" OR NOT notes STREQUAL "mine\n")
  message(FATAL_ERROR "a refusal wrote something: ${left}")
endif()

# A name of several words into an empty folder that already exists.
file(MAKE_DIRECTORY "${WORK_DIR}/empty")
run(status output errors battery_level empty)
file(READ "${WORK_DIR}/empty/include/battery_level/battery_level.h" header)
if(NOT status EQUAL 0 OR NOT header MATCHES
   " BatteryLevelRegisterWithRegistrar\\(")
  message(FATAL_ERROR "battery_level: status ${status}, ${errors}")
endif()
message(STATUS "refusals exit 2 with one line; battery_level written")
