# kelmor_define_wrapper(target SOURCES files... INCLUDE_DIRECTORIES dirs...):
# the machinery's static library, as this project builds it and as the
# installed package builds it from its copy of the sources for a consumer
# that sets KELMOR_WRAPPER_FROM_SOURCES. Both get the same usage
# requirements: C++17, position-independent code, and on Windows the engine's
# import library (kelmor::engine_import, which must exist) and user32, for
# the task runner's message-only window.
include_guard(GLOBAL)

function(kelmor_define_wrapper target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "SOURCES;INCLUDE_DIRECTORIES")
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${ARG_INCLUDE_DIRECTORIES})
  target_compile_features(${target} PUBLIC cxx_std_17)
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  if(WIN32)
    target_link_libraries(${target} PUBLIC kelmor::engine_import user32)
  endif()
endfunction()
