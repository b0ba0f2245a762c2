# kelmor::engine_import: the import library through which the plugin DLL
# reaches flutter_windows.dll. Either the engine's own (a Visual Studio user's
# usual case) or one made from our module-definition file, which ties the
# plugin to no particular engine build. The package installs the file into
# its library folder under the same name; built from sources, the machinery
# gets the import library made here, by the consumer's own tools.
add_library(kelmor_engine_import INTERFACE)
add_library(kelmor::engine_import ALIAS kelmor_engine_import)
set_target_properties(kelmor_engine_import PROPERTIES
                      EXPORT_NAME engine_import)

# Links `file` in this build and its installed copy in the package's;
# KELMOR_ENGINE_IMPORT_FILE names it for the install rules.
function(kelmor_link_engine_import file)
  get_filename_component(name "${file}" NAME)
  target_link_libraries(kelmor_engine_import INTERFACE
    "$<BUILD_INTERFACE:${file}>"
    "$<INSTALL_INTERFACE:$<INSTALL_PREFIX>/${CMAKE_INSTALL_LIBDIR}/${name}>")
  set(KELMOR_ENGINE_IMPORT_FILE "${file}" PARENT_SCOPE)
endfunction()

if(KELMOR_ENGINE_IMPORT_LIBRARY)
  kelmor_link_engine_import("${KELMOR_ENGINE_IMPORT_LIBRARY}")
  return()
endif()

# The package sets KELMOR_ENGINE_DEF_FILE to its installed copy.
if(KELMOR_ENGINE_DEF_FILE)
  set(def_file "${KELMOR_ENGINE_DEF_FILE}")
else()
  set(def_file "${PROJECT_SOURCE_DIR}/engine/flutter_windows.def")
endif()
if(MINGW)
  find_program(KELMOR_DLLTOOL NAMES ${CMAKE_DLLTOOL}
               x86_64-w64-mingw32-dlltool dlltool REQUIRED)
  set(import_library "${CMAKE_CURRENT_BINARY_DIR}/libflutter_windows_import.a")
  # dlltool names the library's symbols after its output path: a bare file
  # name keeps the build folder out of them, and of the plugin's debug file.
  add_custom_command(OUTPUT "${import_library}"
    COMMAND "${KELMOR_DLLTOOL}" -d "${def_file}" -D flutter_windows.dll
            -l libflutter_windows_import.a
    WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}"
    DEPENDS "${def_file}"
    COMMENT "Import library for flutter_windows.dll")
else()
  set(import_library "${CMAKE_CURRENT_BINARY_DIR}/flutter_windows_import.lib")
  add_custom_command(OUTPUT "${import_library}"
    COMMAND "${CMAKE_AR}" /nologo /machine:x64 "/def:${def_file}"
            "/out:${import_library}"
    DEPENDS "${def_file}"
    COMMENT "Import library for flutter_windows.dll")
endif()
add_custom_target(kelmor_engine_import_library DEPENDS "${import_library}")
add_dependencies(kelmor_engine_import kelmor_engine_import_library)
kelmor_link_engine_import("${import_library}")
