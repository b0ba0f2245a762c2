# kelmor-create-plugin NAME [DIRECTORY]: writes a new plugin project named
# NAME into DIRECTORY (./NAME by default), built against the kelmor package
# this script belongs to. Run through the kelmor-create-plugin launcher
# beside it, or as
#   cmake -P kelmor-create-plugin.cmake NAME [DIRECTORY]
#
# NAME must be a C identifier with a letter or digit, and no target name
# CMake keeps for itself (test, all, ...); the export is its UpperCamelCase
# form with RegisterWithRegistrar (battery_level, _battery__level:
# BatteryLevelRegisterWithRegistrar). A DIRECTORY that exists and is not
# empty is never written into, nor one that cannot be written.
#
# A refusal is one line on the standard error stream. With
# KELMOR_REFUSAL_FILE defined (the launchers define it), the line goes into
# that file instead and the script ends normally, so that the launcher can
# print it and exit with status 2, which CMake before 3.29 cannot do itself.
cmake_minimum_required(VERSION 3.21)

# Ends the script with the one line `text`.
macro(kelmor_refuse text)
  if(DEFINED KELMOR_REFUSAL_FILE)
    file(WRITE "${KELMOR_REFUSAL_FILE}" "kelmor-create-plugin: ${text}\n")
    return()
  endif()
  message(FATAL_ERROR "kelmor-create-plugin: ${text}")
endmacro()

# The arguments after the script's own name.
set(arguments "")
set(after_script FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE 1 ${last})
  if(after_script)
    list(APPEND arguments "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL CMAKE_SCRIPT_MODE_FILE
         OR CMAKE_ARGV${i} MATCHES "kelmor-create-plugin\\.cmake$")
    set(after_script TRUE)
  endif()
endforeach()
# A "--" before them keeps cmake itself from reading them.
list(REMOVE_ITEM arguments "--")
list(LENGTH arguments count)
if(count EQUAL 0 OR count GREATER 2)
  kelmor_refuse("usage: kelmor-create-plugin NAME [DIRECTORY]")
endif()
list(GET arguments 0 name)
if(NOT name MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
  kelmor_refuse("'${name}' is no C identifier (letters, digits and _, not \
starting with a digit)")
endif()
# The export and the class are named by the name's letters and digits.
if(NOT name MATCHES "[A-Za-z0-9]")
  kelmor_refuse("'${name}' has no letter or digit to name the export by")
endif()
# The name is the project's and its library target's: CMake keeps these
# target names and CMAKE variables for itself, and a cross build makes
# GoogleTest's targets and, from sources, the machinery's.
if(name MATCHES "^(all|clean|help|install|test|package|package_source|\
edit_cache|rebuild_cache|list_install_components|gtest|gtest_main|gmock|\
gmock_main|kelmor_flutter_wrapper|kelmor_engine_import)$" OR
   name MATCHES "^CMAKE")
  kelmor_refuse("'${name}' names a target or variable CMake or the kelmor \
package already has; choose another name")
endif()
if(count EQUAL 2)
  list(GET arguments 1 directory)
else()
  set(directory "${name}")
endif()
get_filename_component(directory "${directory}" ABSOLUTE)
if(EXISTS "${directory}")
  if(NOT IS_DIRECTORY "${directory}")
    kelmor_refuse("${directory} exists and is no folder; nothing written")
  endif()
  # Brackets make the folder's own [, * and ? plain characters to the glob.
  string(REGEX REPLACE "([][*?])" "[\\1]" pattern "${directory}")
  file(GLOB entries LIST_DIRECTORIES true "${pattern}/*" "${pattern}/.*")
  if(entries)
    kelmor_refuse("${directory} is not empty; nothing written")
  endif()
endif()
# A folder that cannot be made or written is refused before anything is
# written, not left half-made.
set(probe "${directory}/.kelmor-create-plugin")
execute_process(COMMAND "${CMAKE_COMMAND}" -E make_directory "${directory}"
  RESULT_VARIABLE made OUTPUT_QUIET ERROR_QUIET)
if(made EQUAL 0)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E touch "${probe}"
    RESULT_VARIABLE made OUTPUT_QUIET ERROR_QUIET)
  file(REMOVE "${probe}")
endif()
if(NOT made EQUAL 0)
  kelmor_refuse("cannot make or write the folder ${directory}; nothing \
written")
endif()

# battery_level: BatteryLevel.
set(PLUGIN_NAME "${name}")
string(TOUPPER "${name}" PLUGIN_MACRO)
set(camel "")
string(REPLACE "_" ";" words "${name}")
foreach(word IN LISTS words)
  if(word STREQUAL "")
    continue()
  endif()
  string(SUBSTRING "${word}" 0 1 first)
  string(SUBSTRING "${word}" 1 -1 rest)
  string(TOUPPER "${first}" first)
  string(APPEND camel "${first}${rest}")
endforeach()
set(PLUGIN_CLASS "${camel}Plugin")
set(PLUGIN_EXPORT "${camel}RegisterWithRegistrar")

# In the package the templates are share/kelmor/plugin_template and this
# script is in bin/; in the source tree they lie side by side.
set(templates "${CMAKE_CURRENT_LIST_DIR}/plugin_template")
if(NOT EXISTS "${templates}")
  set(templates "${CMAKE_CURRENT_LIST_DIR}/../share/kelmor/plugin_template")
endif()
get_filename_component(KELMOR_PREFIX "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

# The README's commands suit the package and the machine it runs on: a
# native package, a Windows package cross-building from elsewhere, or a
# Windows package on Windows.
if(EXISTS "${KELMOR_PREFIX}/bin/kelmor_host.exe")
  if(CMAKE_HOST_WIN32)
    set(commands commands_windows.md.in)
    string(REPLACE "/" "\\" KELMOR_PREFIX "${KELMOR_PREFIX}")
  else()
    set(commands commands_cross.md.in)
  endif()
else()
  set(commands commands_native.md.in)
endif()
set(events "${name}/events")
set(EXPECTED_OUTPUT "They print these lines (the answer to listen may come before
or after its events):

```text
echo: success [1, 2]
square: success 49
event on \"${events}\": 1
event on \"${events}\": 2
event on \"${events}\": end of stream
listen: success null
```")
configure_file("${templates}/${commands}" "${directory}/README.commands" @ONLY)
file(READ "${directory}/README.commands" README_COMMANDS)
file(REMOVE "${directory}/README.commands")

foreach(pair
    "CMakeLists.txt.in|CMakeLists.txt"
    "README.md.in|README.md"
    "gitignore.in|.gitignore"
    "plugin.h.in|include/${name}/${name}.h"
    "plugin.cc.in|src/${name}.cc"
    "plugin_test.cc.in|tests/${name}_test.cc")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 template)
  list(GET pair 1 output)
  configure_file("${templates}/${template}" "${directory}/${output}" @ONLY)
endforeach()
message(STATUS "Wrote the plugin ${name} (export ${PLUGIN_EXPORT}) into \
${directory}; its README.md says how to build, test, drive and ship it")
