cmake_minimum_required(VERSION 3.21)
# Installs the build in BUILD_DIR component by component into fresh prefixes
# under WORK_DIR, and fails unless
#   - Runtime holds the plugin library (PLUGIN_FILE, under the prefix) alone;
#   - nothing falls outside the Runtime and Development components;
#   - Development holds each of DEVELOPMENT_FILES ('|'-separated) and not the
#     plugin library;
#   - a project configured against Development alone finds the package
#     without kelmor::plugin, and with Runtime added, with it;
#   - the package's kelmor-create-plugin writes a project that configures.
# With CROSS_TOOLCHAIN, the project is configured with the toolchain file of
# that name from the installed package folder (PACKAGE_DIR, under the prefix),
# which finds the package by itself; otherwise through CMAKE_PREFIX_PATH.
string(REPLACE "|" ";" development_files "${DEVELOPMENT_FILES}")
file(REMOVE_RECURSE "${WORK_DIR}")

function(install_component component prefix)
  execute_process(
    COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
            --component ${component}
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "installing ${component} failed: ${errors}")
  endif()
endfunction()

function(installed_files prefix out)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${prefix}"
       "${prefix}/*")
  list(SORT files)
  set(${out} "${files}" PARENT_SCOPE)
endfunction()

install_component(Runtime "${WORK_DIR}/runtime")
installed_files("${WORK_DIR}/runtime" runtime)
if(NOT runtime STREQUAL "${PLUGIN_FILE}")
  message(FATAL_ERROR "Runtime: '${runtime}', expected '${PLUGIN_FILE}'")
endif()

install_component(Unspecified "${WORK_DIR}/unspecified")
installed_files("${WORK_DIR}/unspecified" unspecified)
if(unspecified)
  message(FATAL_ERROR "in no component: ${unspecified}")
endif()

set(sdk "${WORK_DIR}/sdk")
install_component(Development "${sdk}")
installed_files("${sdk}" development)
foreach(file IN LISTS development_files)
  if(NOT file IN_LIST development)
    message(FATAL_ERROR "Development lacks ${file}; it holds: ${development}")
  endif()
endforeach()
if(PLUGIN_FILE IN_LIST development)
  message(FATAL_ERROR "Development holds the plugin library ${PLUGIN_FILE}")
endif()

if(CROSS_TOOLCHAIN)
  set(find_options "--toolchain=${sdk}/${PACKAGE_DIR}/${CROSS_TOOLCHAIN}")
else()
  set(find_options "-DCMAKE_PREFIX_PATH=${sdk}")
endif()
function(configure_consumer name with_plugin)
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -S "${CMAKE_CURRENT_LIST_DIR}/consumer"
            -B "${WORK_DIR}/${name}" -G "${GENERATOR}" ${find_options}
            "-DEXPECT_PLUGIN=${with_plugin}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "consumer (${name}) failed to configure: ${output}")
  endif()
endfunction()
configure_consumer(consumer_development OFF)
install_component(Runtime "${sdk}")
configure_consumer(consumer_complete ON)

# The package's generator writes a project that configures against it, for
# a name CTest's dashboard targets would also take.
set(created "${WORK_DIR}/created")
execute_process(
  COMMAND "${CMAKE_COMMAND}" -P "${sdk}/bin/kelmor-create-plugin.cmake"
          Experimental "${created}"
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(status EQUAL 0)
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -S "${created}" -B "${created}/build"
            -G "${GENERATOR}" ${find_options}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the generated plugin project failed: ${output}")
endif()
list(LENGTH development count)
message(STATUS "Runtime: ${runtime}; Development: ${count} files")
