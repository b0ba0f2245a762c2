cmake_minimum_required(VERSION 3.21)
# Runs the kelmor-create-plugin launcher (LAUNCHER) in fresh folders under
# WORK_DIR and fails unless
#   - each bad command line (no name, a name that is no C identifier or
#     that the project's targets cannot take, too many arguments, a folder
#     that is not empty, even one whose name reads as a pattern, or that
#     cannot be made) exits 2 with exactly one line on the standard error
#     stream, nothing on the standard output, and leaves the folders as they
#     were;
#   - a good name writes the project, with the name's UpperCamelCase export,
#     also when the launcher is reached through a symbolic link.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/full" "${WORK_DIR}/full[1]")
file(WRITE "${WORK_DIR}/full/notes.txt" "mine\n")
file(WRITE "${WORK_DIR}/full[1]/notes.txt" "mine\n")

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
    "_"
    "test"
    "gtest"
    "CMAKE"
    "ok|folder|extra"
    "ok|full"
    "ok|full[1]"
    "ok|full/notes.txt/ok")
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
file(GLOB_RECURSE left LIST_DIRECTORIES true RELATIVE "${WORK_DIR}"
     "${WORK_DIR}/*")
file(READ "${WORK_DIR}/full/notes.txt" notes)
file(READ "${WORK_DIR}/full[1]/notes.txt" notes_1)
if(NOT left STREQUAL "full;full/notes.txt;full[1];full[1]/notes.txt"
   OR NOT notes STREQUAL "mine\n" OR NOT notes_1 STREQUAL "mine\n")
  message(FATAL_ERROR "a refusal wrote something: ${left}")
endif()

# Names and their exports: a name of several words into an empty folder
# that already exists, and names whose underscores make empty words; run
# through a symbolic link to the launcher, as from a folder on the PATH.
file(MAKE_DIRECTORY "${WORK_DIR}/empty" "${WORK_DIR}/path")
file(CREATE_LINK "${LAUNCHER}" "${WORK_DIR}/path/kelmor-create-plugin"
     SYMBOLIC)
set(LAUNCHER "${WORK_DIR}/path/kelmor-create-plugin")
foreach(case
    "battery_level|empty|BatteryLevel"
    "_x|_x|X"
    "a__b_|a__b_|AB")
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 name)
  list(GET case 1 folder)
  list(GET case 2 camel)
  run(status output errors ${name} ${folder})
  set(header "${WORK_DIR}/${folder}/include/${name}/${name}.h")
  if(EXISTS "${header}")
    file(READ "${header}" header)
  endif()
  if(NOT status EQUAL 0 OR NOT header MATCHES
     " ${camel}RegisterWithRegistrar\\(")
    message(FATAL_ERROR "${name}: status ${status}, ${errors}")
  endif()
endforeach()
message(STATUS "refusals exit 2 with one line; the good names written")
