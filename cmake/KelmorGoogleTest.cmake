# GoogleTest for native and cross builds, and plugin tests on the stand-in
# engine.
#
#   kelmor_add_plugin_test(my_plugin_tests
#     SOURCES tests/my_plugin_test.cc
#     PLUGIN my_plugin)
#
# kelmor_find_gtest() gives GTest::gtest, GTest::gtest_main, GTest::gmock and
# GTest::gmock_main: natively Debian's installed GoogleTest; in a cross build
# GoogleTest built from source (KELMOR_GOOGLETEST_SOURCE, by default Debian's
# /usr/src/googletest from the googletest package) with the cross compiler.
include_guard(GLOBAL)
include(GoogleTest)
include("${CMAKE_CURRENT_LIST_DIR}/KelmorAddPlugin.cmake")

function(kelmor_find_gtest)
  if(NOT CMAKE_CROSSCOMPILING)
    if(NOT TARGET GTest::gtest)
      find_package(GTest REQUIRED)
    endif()
    return()
  endif()
  # Targets of a source build are global: build it once per build tree.
  if(TARGET gtest)
    return()
  endif()
  set(KELMOR_GOOGLETEST_SOURCE "/usr/src/googletest" CACHE PATH
      "GoogleTest sources for cross builds")
  if(NOT EXISTS "${KELMOR_GOOGLETEST_SOURCE}/CMakeLists.txt")
    message(FATAL_ERROR "No GoogleTest sources in ${KELMOR_GOOGLETEST_SOURCE} "
            "(Debian: apt-get install googletest)")
  endif()
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  # Part of the tests, not of what the project installs.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory("${KELMOR_GOOGLETEST_SOURCE}"
                   "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
  foreach(target gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${target})
      add_library(GTest::${target} ALIAS ${target})
    endif()
  endforeach()
endfunction()

# kelmor_add_gtest(name): registers the GoogleTest program `name` with CTest,
# each case a test of its own. A cross-built program runs under its
# CROSSCOMPILING_EMULATOR (Wine), which lists its cases when CTest starts
# rather than after the link, so that a build needs no emulator; without
# one, the program is a single test.
function(kelmor_add_gtest name)
  # Again here: the module names its discovery script in a variable of
  # the scope that includes it, which need not be the caller's.
  include(GoogleTest)
  if(NOT CMAKE_CROSSCOMPILING)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
    return()
  endif()
  get_target_property(emulator ${name} CROSSCOMPILING_EMULATOR)
  if(emulator)
    # The first run under Wine may make the Wine prefix, which takes a
    # while.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                         DISCOVERY_TIMEOUT 300)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
endfunction()

# kelmor_add_plugin_test(name SOURCES files... PLUGIN target
#                        [LIBRARIES targets...]): a GoogleTest program linked
# to the plugin library made by kelmor_add_plugin and to the test kit
# (kelmor::standin), built beside the plugin, registered with CTest.
#
# The program provides the engine: natively the stand-in's functions (and
# the stand-in Windows version functions) are linked into it and exported to
# the plugin; on Windows the stand-in flutter_windows.dll is copied beside it
# when it comes from an installed package. It carries the application
# manifest, so that Windows (or Wine) reports its real version. In a cross
# build to Windows without CMAKE_CROSSCOMPILING_EMULATOR, the tests run under
# Wine through the package's wine-run, reporting Windows 10, in the user's
# shared Wine prefix for it (see wine-run).
function(kelmor_add_plugin_test name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "PLUGIN" "SOURCES;LIBRARIES")
  if(NOT ARG_PLUGIN OR NOT ARG_SOURCES)
    message(FATAL_ERROR
            "kelmor_add_plugin_test(${name}): SOURCES and PLUGIN are required")
  endif()
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR
            "kelmor_add_plugin_test(${name}): unknown ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  kelmor_find_gtest()

  add_executable(${name} ${ARG_SOURCES})
  # The stand-in directly, so that all of its objects are linked in.
  target_link_libraries(${name} PRIVATE kelmor::standin ${ARG_PLUGIN}
                        ${ARG_LIBRARIES} GTest::gmock GTest::gtest_main)
  set_target_properties(${name} PROPERTIES ENABLE_EXPORTS ON)
  get_target_property(output ${ARG_PLUGIN} RUNTIME_OUTPUT_DIRECTORY)
  if(output)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                             "${output}")
  endif()
  if(MINGW)
    target_link_options(${name} PRIVATE -static)
  endif()
  if(WIN32)
    kelmor_embed_manifest(${name})
    get_target_property(engine_imported kelmor::standin_engine IMPORTED)
    if(engine_imported)
      add_custom_command(TARGET ${name} POST_BUILD
        COMMAND "${CMAKE_COMMAND}" -E copy_if_different
                "$<TARGET_FILE:kelmor::standin_engine>" "$<TARGET_FILE_DIR:${name}>"
        VERBATIM)
    endif()
  endif()
  if(CMAKE_CROSSCOMPILING AND WIN32 AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
      "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/wine-run;win10")
  endif()
  kelmor_add_gtest(${name})
endfunction()
