# kelmor_add_plugin: a plugin library on the machinery (kelmor::flutter_wrapper)
# whose only export is its registration function.
#
#   kelmor_add_plugin(my_plugin
#     SOURCES src/my_plugin.cc
#     EXPORT MyPluginRegisterWithRegistrar)
#
# The library is shared, with hidden visibility; on Linux a generated version
# script and on Windows a generated module-definition file leave EXPORT as
# its one exported symbol. On Windows it has no "lib" prefix, links to the
# engine's import library (through the machinery) and, under mingw-w64, the
# compiler runtime statically, so it needs no mingw DLLs beside it.
#
# Under mingw-w64 the DLL is stripped after the link: its debug information
# goes to NAME.dll.debug beside it, which the DLL names in a debug link
# (.gnu_debuglink, where gdb looks for it). The build is reproducible: no
# time stamps, and with GCC or Clang the source and build folders appear as
# "." in what the compiler writes (debug information, __FILE__), for the
# plugin and the static and object libraries of this build it links
# (LIBRARIES, and the machinery when built here). The same sources give the
# same DLL in any folder at any time.
#
# Options:
#   SOURCES files...     the plugin's sources (may be empty with LIBRARIES)
#   EXPORT function      the C registration function the application calls
#   LIBRARIES targets... more libraries linked privately, e.g. an OBJECT
#                        library holding the sources
#   OUTPUT_DIRECTORY dir where the library is built; by default the
#                        project's CMAKE_RUNTIME_OUTPUT_DIRECTORY (Windows) or
#                        CMAKE_LIBRARY_OUTPUT_DIRECTORY, else
#                        ${CMAKE_BINARY_DIR}/bin. kelmor_add_plugin_test puts
#                        its programs and the stand-in engine there too.
include_guard(GLOBAL)
include(CheckCXXCompilerFlag)

function(kelmor_add_plugin name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "EXPORT;OUTPUT_DIRECTORY"
                        "SOURCES;LIBRARIES")
  if(NOT ARG_EXPORT)
    message(FATAL_ERROR "kelmor_add_plugin(${name}): EXPORT is required")
  endif()
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR
            "kelmor_add_plugin(${name}): unknown ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT ARG_EXPORT MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
    message(FATAL_ERROR
            "kelmor_add_plugin(${name}): '${ARG_EXPORT}' is no C name")
  endif()

  add_library(${name} SHARED ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES}
                        kelmor::flutter_wrapper)
  set_target_properties(${name} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    KELMOR_PLUGIN_EXPORT "${ARG_EXPORT}")

  set(output "${ARG_OUTPUT_DIRECTORY}")
  if(NOT output)
    if(WIN32)
      set(output "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
    else()
      set(output "${CMAKE_LIBRARY_OUTPUT_DIRECTORY}")
    endif()
  endif()
  if(NOT output)
    set(output "${CMAKE_BINARY_DIR}/bin")
  endif()
  set_target_properties(${name} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${output}"
    LIBRARY_OUTPUT_DIRECTORY "${output}")

  set(generated "${CMAKE_CURRENT_BINARY_DIR}/${name}_exports")
  if(WIN32)
    # The definition file exports the function whether or not its
    # declaration says dllexport; mingw exports nothing else.
    file(CONFIGURE OUTPUT "${generated}.def"
         CONTENT "EXPORTS\n    ${ARG_EXPORT}\n")
    target_sources(${name} PRIVATE "${generated}.def")
    set_target_properties(${name} PROPERTIES PREFIX "")
    if(MINGW)
      # No time stamps; address space layout randomisation (with 64-bit
      # addresses) and no execution from data pages, whatever the linker's
      # defaults. The preferred base is the usual 0x180000000, not one
      # hashed from the output path, which may name the build folder;
      # Windows picks a random base anyway.
      target_link_options(${name} PRIVATE -static
        "LINKER:--exclude-all-symbols" "LINKER:--no-insert-timestamp"
        "LINKER:--dynamicbase" "LINKER:--high-entropy-va" "LINKER:--nxcompat"
        "LINKER:--disable-auto-image-base")
      _kelmor_split_debug_info(${name})
    endif()
  else()
    # The machinery inside keeps default visibility: the script hides it.
    file(CONFIGURE OUTPUT "${generated}.map"
         CONTENT "{\n  global: ${ARG_EXPORT};\n  local: *;\n};\n")
    target_link_options(${name} PRIVATE
      "LINKER:--version-script=${generated}.map")
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS
                 "${generated}.map")
  endif()

  foreach(library IN LISTS ARG_LIBRARIES ITEMS kelmor::flutter_wrapper)
    if(TARGET ${library})
      get_target_property(aliased ${library} ALIASED_TARGET)
      if(aliased)
        set(library ${aliased})
      endif()
      get_target_property(imported ${library} IMPORTED)
      get_target_property(type ${library} TYPE)
      if(NOT imported AND type MATCHES "^(STATIC|OBJECT)_LIBRARY$")
        _kelmor_map_build_folders(${library})
      endif()
    endif()
  endforeach()
  _kelmor_map_build_folders(${name})
endfunction()

# Writes the source and build folders as "." wherever the compiler records a
# path, so that they leave no trace in the library. The build folder comes
# last: the compilers try the last mapping first, and the build folder may
# lie inside the source folder.
function(_kelmor_map_build_folders target)
  if(MSVC OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    return()
  endif()
  check_cxx_compiler_flag(-ffile-prefix-map=/a=. KELMOR_HAVE_FILE_PREFIX_MAP)
  if(KELMOR_HAVE_FILE_PREFIX_MAP)
    target_compile_options(${target} PRIVATE
      "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=."
      "-ffile-prefix-map=${CMAKE_BINARY_DIR}=.")
  endif()
endfunction()

# Moves the DLL's debug information and symbols into TARGET.dll.debug beside
# it and strips the DLL, which then names that file in a debug link with its
# checksum. objcopy would stamp the current time into both files' headers;
# SOURCE_DATE_EPOCH=0 keeps the zero the linker wrote.
function(_kelmor_split_debug_info target)
  if(NOT CMAKE_OBJCOPY)
    message(FATAL_ERROR "kelmor_add_plugin(${target}): no objcopy found \
(CMAKE_OBJCOPY) to strip the DLL with")
  endif()
  set(dll "$<TARGET_FILE:${target}>")
  set(objcopy "${CMAKE_COMMAND}" -E env SOURCE_DATE_EPOCH=0 "${CMAKE_OBJCOPY}")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${objcopy} --only-keep-debug "${dll}" "${dll}.debug"
    COMMAND ${objcopy} --strip-all "--add-gnu-debuglink=${dll}.debug" "${dll}"
    VERBATIM)
endfunction()

# kelmor_embed_manifest(target): embeds the application manifest that
# declares support for current Windows versions, so that Windows reports its
# real version to the process (at most 6.2 without one). Windows only; the RC
# language must be enabled.
function(kelmor_embed_manifest target)
  set(manifest "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/windows_app.manifest")
  set(rc_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.rc")
  file(CONFIGURE OUTPUT "${rc_file}" CONTENT "1 24 \"${manifest}\"\n")
  target_sources(${target} PRIVATE "${rc_file}")
  if(MSVC)
    target_link_options(${target} PRIVATE /MANIFEST:NO)
  endif()
endfunction()
