cmake_minimum_required(VERSION 3.21)
# Registers PROGRAM, a cross-built GoogleTest program whose case
# CaseProbe.Passes passes and CaseProbe.Fails fails, with kelmor_add_gtest
# (from GOOGLETEST_MODULE) in a project of its own under WORK_DIR, to run
# under EMULATOR ('|'-separated), runs its tests and fails unless CTest ran
# each case as a test of its own, with its own result.
string(REPLACE "|" ";" emulator "${EMULATOR}")
file(REMOVE_RECURSE "${WORK_DIR}")
file(WRITE "${WORK_DIR}/source/CMakeLists.txt" "\
cmake_minimum_required(VERSION 3.21)
project(case_probe LANGUAGES NONE)
enable_testing()
include([[${GOOGLETEST_MODULE}]])
add_executable(case_probe IMPORTED)
set_target_properties(case_probe PROPERTIES
  IMPORTED_LOCATION [[${PROGRAM}]]
  CROSSCOMPILING_EMULATOR [[${emulator}]])
kelmor_add_gtest(case_probe)
")
execute_process(
  COMMAND "${CMAKE_COMMAND}" -S "${WORK_DIR}/source" -B "${WORK_DIR}/build"
          -DCMAKE_SYSTEM_NAME=Windows
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "configuring the project failed:\n${output}")
endif()
execute_process(COMMAND "${CMAKE_CTEST_COMMAND}" --test-dir "${WORK_DIR}/build"
                RESULT_VARIABLE status OUTPUT_VARIABLE output
                ERROR_VARIABLE output)
foreach(expected
    "Test +#[0-9]+: CaseProbe\\.Passes \\.+ +Passed"
    "Test +#[0-9]+: CaseProbe\\.Fails \\.+\\*\\*\\*Failed"
    " 1 tests failed out of 2\n")
  if(NOT output MATCHES "${expected}")
    message(FATAL_ERROR "CTest's output lacks '${expected}':\n${output}")
  endif()
endforeach()
