# The example plugins and their tests, built on this build's machinery and
# with our own targets' options (warnings, sanitizers), so that every lane
# runs them: under AddressSanitizer, ThreadSanitizer and Wine. Their own
# CMakeLists.txt build them against the installed package instead, as
# scripts/test-all does. Included from tests/CMakeLists.txt, after the host's
# cases.

# kelmor_add_example(name EXPORT function SOURCES files...): the plugin
# examples/NAME from SOURCES (under its folder) and its tests from
# tests/NAME_test.cc, as its own CMakeLists.txt makes them.
function(kelmor_add_example name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "EXPORT" "SOURCES")
  set(dir "${PROJECT_SOURCE_DIR}/examples/${name}")
  list(TRANSFORM ARG_SOURCES PREPEND "${dir}/")
  kelmor_add_plugin(${name} SOURCES ${ARG_SOURCES} EXPORT ${ARG_EXPORT})
  target_include_directories(${name} PUBLIC "${dir}/include")
  string(TOUPPER "${name}_IMPLEMENTATION" implementation)
  target_compile_definitions(${name} PRIVATE ${implementation})
  kelmor_target_options(${name})
  kelmor_add_plugin_test(${name}_tests
    SOURCES "${dir}/tests/${name}_test.cc"
    PLUGIN ${name})
  kelmor_target_options(${name}_tests)
endfunction()

kelmor_add_example(echo_plugin
  EXPORT EchoPluginRegisterWithRegistrar
  SOURCES src/echo_plugin.cc)
kelmor_add_example(sensor_plugin
  EXPORT SensorPluginRegisterWithRegistrar
  SOURCES src/sensor_plugin.cc src/worker.cc)

# ==== The sensor plugin through the host ====
set(sensor --library $<TARGET_FILE:sensor_plugin>
    --export SensorPluginRegisterWithRegistrar)
kelmor_host_test(sensor_calibrate_waits EXIT 0 TIMEOUT 60
  OUTPUT "^calibrate: success 9\\.81\n$"
  ARGS ${sensor} --channel sensor --wait 3 calibrate)
# Byte for byte the same natively and under Wine: doubles, typed lists, the
# end of the stream and the line ends.
kelmor_host_test(sensor_stream_output EXIT 0 TIMEOUT 60
  OUTPUT_FILE "${CMAKE_CURRENT_SOURCE_DIR}/host/sensor_stream.txt"
  ARGS ${sensor} --channel sensor/events --wait 5
       "listen={\"rate\": 50, \"count\": 3}")
