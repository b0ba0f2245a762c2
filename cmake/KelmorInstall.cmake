# What `cmake --install` puts under the prefix, in two components:
#   Runtime      the plugin library alone: what an application ships.
#   Development  everything else a plugin or application author builds and
#                tests with: the machinery (static library, headers, sources,
#                the engine's import library on Windows), the plugin's C header
#                and import library (and, under mingw-w64, its debug file),
#                the stand-in engine and its test kit, the host program, the
#                plugin generator kelmor-create-plugin with its templates, and
#                the package configuration with its CMake functions, the
#                mingw-w64 toolchain file and wine-run.
# The stand-in engine (flutter_windows.dll on Windows) is for tests only: an
# application ships the real engine.
include(CMakePackageConfigHelpers)

set(KELMOR_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/kelmor" CACHE STRING
    "Where the package configuration goes, under the prefix")

# ==== The machinery ====
# In an export set of its own, which the configuration skips when the
# consumer builds the machinery from the installed sources instead.
install(TARGETS flutter_wrapper EXPORT kelmorWrapperTargets
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT Development)
install(DIRECTORY include/flutter
  DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}" COMPONENT Development
  FILES_MATCHING PATTERN "*.h")
install(FILES engine/flutter_desktop_api.h
  DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}" COMPONENT Development)
if(TARGET kelmor_engine_import)
  install(TARGETS kelmor_engine_import EXPORT kelmorWrapperTargets)
  install(FILES "${KELMOR_ENGINE_IMPORT_FILE}"
    DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT Development)
endif()

# Its sources, with the source list and the module-definition file the
# engine's import library is made from.
set(KELMOR_INSTALL_SOURCEDIR "${CMAKE_INSTALL_DATADIR}/kelmor/src")
set(source_folders "")
foreach(source IN LISTS KELMOR_WRAPPER_SOURCES)
  get_filename_component(folder "${source}" DIRECTORY)
  list(APPEND source_folders "${folder}")
  install(FILES "${source}"
    DESTINATION "${KELMOR_INSTALL_SOURCEDIR}/${folder}" COMPONENT Development)
endforeach()
list(REMOVE_DUPLICATES source_folders)
foreach(folder IN LISTS source_folders)
  install(DIRECTORY "${folder}/"
    DESTINATION "${KELMOR_INSTALL_SOURCEDIR}/${folder}" COMPONENT Development
    FILES_MATCHING PATTERN "*.h")
endforeach()
if(WIN32)
  install(FILES engine/flutter_windows.def
    DESTINATION "${KELMOR_INSTALL_SOURCEDIR}/engine" COMPONENT Development)
endif()
file(CONFIGURE OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/kelmorWrapperSources.cmake"
  CONTENT "set(_kelmor_wrapper_sources \"@KELMOR_WRAPPER_SOURCES@\")\n"
  @ONLY)

# ==== Our plugin ====
# Its own export file, which the configuration reads only when the library
# itself (the Runtime component) is installed too.
install(TARGETS kelmor_plugin EXPORT kelmorPluginTargets
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT Runtime
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT Runtime
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT Development
  PUBLIC_HEADER DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/kelmor"
                COMPONENT Development)
if(WIN32)
  set(KELMOR_PLUGIN_FILE
      "${CMAKE_INSTALL_BINDIR}/kelmor_plugin${CMAKE_SHARED_LIBRARY_SUFFIX}")
else()
  set(KELMOR_PLUGIN_FILE "${CMAKE_INSTALL_LIBDIR}/\
${CMAKE_SHARED_LIBRARY_PREFIX}kelmor_plugin${CMAKE_SHARED_LIBRARY_SUFFIX}")
endif()
set_target_properties(kelmor_plugin PROPERTIES EXPORT_NAME plugin)
# Its debug information, split off under mingw-w64, goes beside it for
# whoever debugs; an application does not ship it.
if(MINGW)
  install(FILES "$<TARGET_FILE:kelmor_plugin>.debug"
    DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT Development)
endif()

# ==== The stand-in engine, its test kit and the host ====
if(TARGET kelmor_standin)
  set(standin_targets kelmor_standin)
  if(TARGET kelmor_standin_engine)
    list(APPEND standin_targets kelmor_standin_engine)
  endif()
  # Natively the kit is an object library: its objects are installed, and
  # an executable that links kelmor::standin gets all of them.
  install(TARGETS ${standin_targets} EXPORT kelmorTargets
    RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT Development
    LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT Development
    ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT Development
    OBJECTS DESTINATION "${CMAKE_INSTALL_LIBDIR}/kelmor"
            COMPONENT Development)
  install(FILES ${KELMOR_STANDIN_HEADERS}
    DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/standin" COMPONENT Development)
endif()
if(TARGET kelmor_host)
  install(TARGETS kelmor_host EXPORT kelmorTargets
    RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT Development)
endif()

# ==== The plugin generator ====
# kelmor-create-plugin in bin/, its templates in share/kelmor.
install(PROGRAMS sdk/kelmor-create-plugin sdk/kelmor-create-plugin.cmd
  DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT Development)
install(FILES sdk/kelmor-create-plugin.cmake
  DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT Development)
install(DIRECTORY sdk/plugin_template
  DESTINATION "${CMAKE_INSTALL_DATADIR}/kelmor" COMPONENT Development)

# ==== The package ====
install(EXPORT kelmorWrapperTargets NAMESPACE kelmor::
  DESTINATION "${KELMOR_INSTALL_CMAKEDIR}" COMPONENT Development)
# A build without tests and host (the plugin alone) has no kit to export.
if(TARGET kelmor_standin OR TARGET kelmor_host)
  install(EXPORT kelmorTargets NAMESPACE kelmor::
    DESTINATION "${KELMOR_INSTALL_CMAKEDIR}" COMPONENT Development)
endif()
install(EXPORT kelmorPluginTargets NAMESPACE kelmor::
  DESTINATION "${KELMOR_INSTALL_CMAKEDIR}" COMPONENT Development)
configure_package_config_file(cmake/kelmorConfig.cmake.in
  "${CMAKE_CURRENT_BINARY_DIR}/kelmorConfig.cmake"
  INSTALL_DESTINATION "${KELMOR_INSTALL_CMAKEDIR}"
  PATH_VARS KELMOR_PLUGIN_FILE KELMOR_INSTALL_SOURCEDIR)
write_basic_package_version_file(
  "${CMAKE_CURRENT_BINARY_DIR}/kelmorConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES
    "${CMAKE_CURRENT_BINARY_DIR}/kelmorConfig.cmake"
    "${CMAKE_CURRENT_BINARY_DIR}/kelmorConfigVersion.cmake"
    "${CMAKE_CURRENT_BINARY_DIR}/kelmorWrapperSources.cmake"
    cmake/KelmorWrapper.cmake
    cmake/KelmorEngineImport.cmake
    cmake/KelmorAddPlugin.cmake
    cmake/KelmorGoogleTest.cmake
    cmake/windows_app.manifest
    cmake/mingw-w64-x86_64.cmake
  DESTINATION "${KELMOR_INSTALL_CMAKEDIR}" COMPONENT Development)
install(PROGRAMS cmake/wine-run
  DESTINATION "${KELMOR_INSTALL_CMAKEDIR}" COMPONENT Development)
