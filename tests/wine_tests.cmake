# End to end under Wine, whose Windows API is real: the plugin answers with
# the version that Wine reports to the process, which the host's manifest
# decides as on Windows.
set(wine_run "${PROJECT_SOURCE_DIR}/cmake/wine-run")

set(versions win10 win81 win8 win7 vista)
set(answers "Windows 10\\+" "Windows 8" "Windows 8" "Windows 7" "Windows ")
foreach(version answer IN ZIP_LISTS versions answers)
  add_test(NAME wine_host_${version}
    COMMAND "${wine_run}" ${version}
            $<TARGET_FILE:kelmor_host> getPlatformVersion)
  set_tests_properties(wine_host_${version} PROPERTIES
    PASS_REGULAR_EXPRESSION "getPlatformVersion: success \"${answer}\"\r?\n")

  string(REPLACE "\\" "" plain_answer "${answer}")
  add_test(NAME wine_plugin_${version}
    COMMAND "${CMAKE_COMMAND}" -E env
            "KELMOR_EXPECTED_PLATFORM_VERSION=${plain_answer}"
            "${wine_run}" ${version}
            $<TARGET_FILE:plugin_tests> --gtest_filter=*RunningWindows*)
endforeach()

add_test(NAME wine_host_without_manifest_win10
  COMMAND "${wine_run}" win10
          $<TARGET_FILE:kelmor_host_no_manifest> getPlatformVersion)
set_tests_properties(wine_host_without_manifest_win10 PROPERTIES
  PASS_REGULAR_EXPRESSION "getPlatformVersion: success \"Windows 8\"")

add_test(NAME wine_host_arguments_and_unknown_method
  COMMAND "${wine_run}" win10 $<TARGET_FILE:kelmor_host>
          "getPlatformVersion={\"a\":[1,2]}" other)
set_tests_properties(wine_host_arguments_and_unknown_method PROPERTIES
  PASS_REGULAR_EXPRESSION "Windows 10\\+\"\r?\nother: not implemented")

function(kelmor_wine_host_failure name code)
  string(REPLACE ";" "|" args "${ARGN}")
  add_test(NAME wine_host_${name} COMMAND "${CMAKE_COMMAND}"
           "-DEMULATOR=${wine_run}|win10"
           -DPROGRAM=$<TARGET_FILE:kelmor_host> "-DARGS=${args}"
           -DEXPECTED=${code}
           -P "${CMAKE_CURRENT_SOURCE_DIR}/host/expect_exit.cmake")
endfunction()
kelmor_wine_host_failure(missing_library 3 --library C:/missing/plugin.dll x)
kelmor_wine_host_failure(missing_export 4 --export Missing x)
kelmor_wine_host_failure(bad_json 2 "x={bad")
kelmor_wine_host_failure(version_option 2 --windows-version 6.1 x)

# Each case of a GoogleTest program under Wine is a CTest test of its own,
# and a failing one fails alone.
add_executable(wine_case_probe wine/case_probe.cc)
target_link_libraries(wine_case_probe PRIVATE GTest::gtest_main)
if(MINGW)
  target_link_options(wine_case_probe PRIVATE -static)
endif()
add_test(NAME wine_each_case_a_test
  COMMAND "${CMAKE_COMMAND}" -DPROGRAM=$<TARGET_FILE:wine_case_probe>
          "-DEMULATOR=${wine_run}|win10"
          -DGOOGLETEST_MODULE=${PROJECT_SOURCE_DIR}/cmake/KelmorGoogleTest.cmake
          -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/wine_each_case_a_test
          -P "${CMAKE_CURRENT_SOURCE_DIR}/wine/check_case_tests.cmake")
