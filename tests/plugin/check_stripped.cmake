cmake_minimum_required(VERSION 3.21)
# Fails unless the plugin DLL (LIBRARY) carries no debug sections, no COFF
# symbol table and no time stamp, and names in its debug link the file
# LIBRARY.debug beside it, which holds the symbols and debug sections.

# The COFF header's TimeDateStamp and NumberOfSymbols (little-endian) into
# <prefix>_time and <prefix>_symbols. PointerToSymbolTable may be set with
# no symbols: the string table there holds section names over 8 characters.
function(read_coff_header file prefix)
  file(READ "${file}" lfanew OFFSET 60 LIMIT 4 HEX)
  string(REGEX REPLACE "(..)(..)(..)(..)" "0x\\4\\3\\2\\1" lfanew "${lfanew}")
  math(EXPR header "${lfanew} + 4")
  file(READ "${file}" fields OFFSET ${header} LIMIT 20 HEX)
  foreach(field IN ITEMS time:8 symbols:24)
    string(REPLACE ":" ";" field "${field}")
    list(GET field 0 field_name)
    list(GET field 1 at)
    string(SUBSTRING "${fields}" ${at} 8 bytes)
    string(REGEX REPLACE "(..)(..)(..)(..)" "0x\\4\\3\\2\\1" value "${bytes}")
    math(EXPR value "${value}")
    set(${prefix}_${field_name} ${value} PARENT_SCOPE)
  endforeach()
endfunction()

function(section_names file out)
  execute_process(COMMAND "${OBJDUMP}" -h "${file}"
                  OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "objdump failed on ${file}")
  endif()
  string(REGEX MATCHALL "\n *[0-9]+ ([^ ]+)" rows "${dump}")
  list(TRANSFORM rows REPLACE "\n *[0-9]+ " "")
  set(${out} "${rows}" PARENT_SCOPE)
endfunction()

section_names("${LIBRARY}" sections)
list(FILTER sections INCLUDE REGEX "^\\.debug_")
if(sections)
  message(FATAL_ERROR "debug sections in the DLL: ${sections}")
endif()
read_coff_header("${LIBRARY}" dll)
if(NOT dll_symbols EQUAL 0)
  message(FATAL_ERROR "the DLL has a symbol table of ${dll_symbols}")
endif()
if(NOT dll_time EQUAL 0)
  message(FATAL_ERROR "the DLL carries the time stamp ${dll_time}")
endif()

get_filename_component(name "${LIBRARY}" NAME)
file(STRINGS "${LIBRARY}" links REGEX "\\.debug$")
if(NOT "${name}.debug" IN_LIST links)
  message(FATAL_ERROR "no debug link to ${name}.debug; found: '${links}'")
endif()
set(debug_file "${LIBRARY}.debug")
if(NOT EXISTS "${debug_file}")
  message(FATAL_ERROR "no debug file ${debug_file}")
endif()
section_names("${debug_file}" debug_sections)
list(FILTER debug_sections INCLUDE REGEX "^\\.debug_")
read_coff_header("${debug_file}" kept)
if(NOT debug_sections OR kept_symbols EQUAL 0)
  message(FATAL_ERROR "${debug_file} holds ${kept_symbols} symbols and the \
debug sections '${debug_sections}'")
endif()
message(STATUS "${name}: stripped, linked to ${name}.debug with \
${kept_symbols} symbols")
