# The host program end to end: its exit statuses, what it prints, where it
# takes JSON texts from, and the plugin's calls to the application side,
# through a test plugin. Natively, and in a Windows build under Wine.
# Included from tests/CMakeLists.txt.

set(host_dir "${CMAKE_CURRENT_LIST_DIR}")
set(host_files "${CMAKE_CURRENT_BINARY_DIR}/host_files")

# ==== The test plugin ====
# Built like the plugin library, in a folder of its own so that nothing but
# the path given finds it: channel "test", export
# TestPluginRegisterWithRegistrar (see test_plugin.cc). Off Windows the host's
# exported stand-in functions serve it.
add_library(kelmor_test_plugin SHARED "${host_dir}/test_plugin.cc")
target_link_libraries(kelmor_test_plugin PRIVATE flutter::wrapper)
set_target_properties(kelmor_test_plugin PROPERTIES
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
  LIBRARY_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/test_plugin"
  RUNTIME_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/test_plugin")
if(WIN32)
  set_target_properties(kelmor_test_plugin PROPERTIES PREFIX "")
  target_link_libraries(kelmor_test_plugin PRIVATE kelmor::engine_import)
  if(MINGW)
    target_link_options(kelmor_test_plugin PRIVATE -static
                        "LINKER:--exclude-all-symbols")
  endif()
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  target_link_options(kelmor_test_plugin PRIVATE
    "LINKER:--version-script=${host_dir}/test_plugin.map")
endif()
kelmor_target_options(kelmor_test_plugin)

set(test_plugin --library $<TARGET_FILE:kelmor_test_plugin>
    --export TestPluginRegisterWithRegistrar --channel test)

# ==== Files the cases read ====
# A name with a space and letters outside any ANSI code page; arguments
# nested one level past the codec's limit.
set(unicode_file "${host_files}/Grüße 世界.json")
file(WRITE "${unicode_file}" "\"🙂\"")
string(REPEAT "[" 65 open_65)
string(REPEAT "]" 65 close_65)
file(WRITE "${host_files}/too_deep.json" "${open_65}${close_65}")
file(WRITE "${host_files}/answer.json" "{\"from\": \"file\"}")
# Longer than a command line takes on Linux (128 KiB an argument) or
# Windows (32767 characters in all).
string(REPEAT "a" 200000 long_text)
file(WRITE "${host_files}/long.json" "\"${long_text}\"")

# ==== The case runner ====
if(CMAKE_CROSSCOMPILING AND WIN32)
  set(host_emulator "${PROJECT_SOURCE_DIR}/cmake/wine-run|win10")
  set(host_on_windows TRUE)
else()
  set(host_emulator "")
  set(host_on_windows FALSE)
endif()

# kelmor_host_test(name EXIT status [OUTPUT regex | OUTPUT_FILE file]
#                  [ERROR regex] [ERROR_CONTAINS regex]
#                  [INPUT file | INPUT_COMMAND args...]
#                  [WORKING_DIRECTORY dir] [TIMEOUT seconds]
#                  [NATIVE | WINDOWS] [KEEP_LINE_ENDS] ARGS args...)
# Runs the host with ARGS and checks its exit status, its whole standard
# output against OUTPUT or, byte for byte, against the contents of
# OUTPUT_FILE, its one line of standard error against ERROR or
# its standard error, of any length, against ERROR_CONTAINS (see
# expect_exit.cmake); standard input is INPUT, or what INPUT_COMMAND
# writes. TIMEOUT fails a run that has not ended by then. A case runs in
# native and Windows builds alike, unless NATIVE or WINDOWS keeps it to
# one. KEEP_LINE_ENDS compares the output with its line ends as written.
# ARGS may hold no '|' or ';'.
function(kelmor_host_test name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "NATIVE;WINDOWS;KEEP_LINE_ENDS"
    "EXIT;OUTPUT;OUTPUT_FILE;ERROR;ERROR_CONTAINS;INPUT;WORKING_DIRECTORY;TIMEOUT"
    "ARGS;INPUT_COMMAND")
  if((ARG_NATIVE AND host_on_windows) OR (ARG_WINDOWS AND NOT host_on_windows))
    return()
  endif()
  string(REPLACE ";" "|" args "${ARG_ARGS}")
  set(checks "")
  if(DEFINED ARG_OUTPUT)
    list(APPEND checks "-DEXPECTED_OUTPUT=${ARG_OUTPUT}")
  endif()
  if(DEFINED ARG_OUTPUT_FILE)
    list(APPEND checks "-DEXPECTED_OUTPUT_FILE=${ARG_OUTPUT_FILE}")
  endif()
  if(DEFINED ARG_ERROR)
    list(APPEND checks "-DEXPECTED_ERROR=${ARG_ERROR}")
  endif()
  if(DEFINED ARG_ERROR_CONTAINS)
    list(APPEND checks "-DERROR_CONTAINS=${ARG_ERROR_CONTAINS}")
  endif()
  if(ARG_KEEP_LINE_ENDS)
    list(APPEND checks "-DKEEP_LINE_ENDS=ON")
  endif()
  if(DEFINED ARG_INPUT)
    list(APPEND checks "-DINPUT=${ARG_INPUT}")
  endif()
  if(DEFINED ARG_INPUT_COMMAND)
    string(REPLACE ";" "|" feed "${ARG_INPUT_COMMAND}")
    list(APPEND checks "-DINPUT_COMMAND=${feed}")
  endif()
  add_test(NAME host_${name}
    COMMAND "${CMAKE_COMMAND}" "-DEMULATOR=${host_emulator}"
            -DPROGRAM=$<TARGET_FILE:kelmor_host> "-DARGS=${args}"
            -DEXPECTED=${ARG_EXIT} ${checks}
            -P "${host_dir}/expect_exit.cmake")
  if(DEFINED ARG_WORKING_DIRECTORY)
    set_tests_properties(host_${name} PROPERTIES
                         WORKING_DIRECTORY "${ARG_WORKING_DIRECTORY}")
  endif()
  if(DEFINED ARG_TIMEOUT)
    set_tests_properties(host_${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  endif()
endfunction()

set(ten "getPlatformVersion: success \"Windows 10\\+\"\n")

# ==== Exit statuses ====
# 0 only when every call succeeded; 1 when any did not, whichever came last.
kelmor_host_test(all_succeeded EXIT 0 OUTPUT "^${ten}${ten}$"
  ARGS getPlatformVersion "getPlatformVersion={\"a\":[1,2]}")
kelmor_host_test(help EXIT 0 OUTPUT "^Usage: kelmor_host.*Exit status:\n  0 "
  ARGS --help)
kelmor_host_test(not_implemented EXIT 1
  OUTPUT "^other: not implemented\n${ten}$"
  ARGS other "getPlatformVersion={\"a\":1}")
kelmor_host_test(error_exits_1 EXIT 1
  OUTPUT "^fail: error code=\"failed\" message=\"asked to fail\" details={\"why\": 1}\n$"
  ARGS ${test_plugin} "fail={\"why\":1}")
kelmor_host_test(no_reply_exits_1 EXIT 1
  OUTPUT "^keep: no reply\necho: success 1\n$"
  ARGS ${test_plugin} keep echo=1)
kelmor_host_test(no_handler_exits_1 NATIVE EXIT 1
  OUTPUT "^getPlatformVersion: no handler on the channel\n$"
  ARGS --channel nowhere getPlatformVersion)

kelmor_host_test(bad_json NATIVE EXIT 2 ARGS "x={bad")
kelmor_host_test(bad_option NATIVE EXIT 2 ARGS --bogus x)
kelmor_host_test(bad_version NATIVE EXIT 2 ARGS --windows-version ten x)
kelmor_host_test(missing_export NATIVE EXIT 4 ARGS --export Missing x)
kelmor_host_test(missing_library NATIVE EXIT 3
  ERROR "^kelmor_host: cannot load /nonexistent/plugin.so: .*No such file"
  ARGS --library /nonexistent/plugin.so x)

# Windows' own words for why a library does not load, not only its number.
kelmor_host_test(missing_library_text WINDOWS EXIT 3
  ERROR "^kelmor_host: cannot load C:/missing/plugin.dll: [^\n]*[a-z][^\n]* \\(Windows error 126\\)$"
  ARGS --library C:/missing/plugin.dll x)
kelmor_host_test(not_a_library_text WINDOWS EXIT 3
  ERROR "^kelmor_host: cannot load [^\n]*answer.json: [^%\n]*answer\\.json[^%\n]* \\(Windows error 193\\)$"
  ARGS --library "${host_files}/answer.json" x)

# ==== Versions the stand-in reports ====
kelmor_host_test(version_10 NATIVE EXIT 0 OUTPUT "^${ten}$"
  ARGS getPlatformVersion)
kelmor_host_test(version_6_3 NATIVE EXIT 0
  OUTPUT "^getPlatformVersion: success \"Windows 8\"\n$"
  ARGS --windows-version 6.3 getPlatformVersion)
kelmor_host_test(version_6_1 NATIVE EXIT 0
  OUTPUT "^getPlatformVersion: success \"Windows 7\"\n$"
  ARGS --windows-version=6.1 getPlatformVersion)
kelmor_host_test(version_6_0 NATIVE EXIT 0
  OUTPUT "^getPlatformVersion: success \"Windows \"\n$"
  ARGS --windows-version 6.0 getPlatformVersion)

# ==== JSON texts from files and standard input ====
set(echoed "^echo: success {\"big\": 5000000000, \"list\": \\[1, 2\\.5, \"Grüße\"\\], \"none\": null}\n$")
kelmor_host_test(arguments_from_file EXIT 0 OUTPUT "${echoed}"
  ARGS ${test_plugin} "echo=@${host_dir}/arguments.json")
kelmor_host_test(arguments_from_standard_input EXIT 0 OUTPUT "${echoed}"
  INPUT "${host_dir}/arguments.json" ARGS ${test_plugin} echo=@-)
kelmor_host_test(arguments_from_unicode_file_name EXIT 0
  OUTPUT "^echo: success \"🙂\"\n$"
  ARGS ${test_plugin} "echo=@${unicode_file}")
kelmor_host_test(argument_file_missing EXIT 2
  ERROR "^kelmor_host: arguments of x: cannot read ${host_files}/missing.json: No such file or directory$"
  ARGS "x=@${host_files}/missing.json")
kelmor_host_test(standard_input_twice NATIVE EXIT 2
  ERROR_CONTAINS "^kelmor_host: standard input \\(@-\\) can give only one JSON text a run\n\nUsage: "
  ARGS x=@- --answer @-)
# The way to give what a command line cannot hold. Under Wine, a command
# line too long for Windows starts nothing, but it does not go unexplained.
kelmor_host_test(long_arguments_from_file EXIT 0
  OUTPUT "^echo: success \"a+\"\n$"
  ARGS ${test_plugin} "echo=@${host_files}/long.json")
string(REPEAT "a" 40000 text_40000)
kelmor_host_test(long_command_line WINDOWS EXIT 2
  ERROR "^wine-run: Wine starts no program whose command line is over 32767 characters, and this one comes to about [0-9]+: give long arguments in a file \\(for kelmor_host: METHOD=@FILE\\)$"
  ARGS "x=\"${text_40000}\"")

# Past 64 MiB the reading stops, endless input included. Regression: the
# host read on to the end of the input only to report its length.
set(too_long "^kelmor_host: arguments of x: JSON text is longer than the \
limit of 67108864 bytes \\(64 MiB\\)$")
kelmor_host_test(endless_standard_input EXIT 2 ERROR "${too_long}"
  TIMEOUT 30 INPUT_COMMAND yes 1 ARGS x=@-)
kelmor_host_test(endless_file NATIVE EXIT 2 ERROR "${too_long}"
  TIMEOUT 30 ARGS x=@/dev/zero)
kelmor_host_test(endless_file WINDOWS EXIT 2 ERROR "${too_long}"
  TIMEOUT 30 ARGS x=@Z:/dev/zero)

# A file is held to the command line's limits.
kelmor_host_test(argument_file_too_deep NATIVE EXIT 2
  ERROR "^kelmor_host: arguments of x: JSON arrays and objects nested deeper than 64 levels$"
  ARGS "x=@${host_files}/too_deep.json")

# Arguments nested past the codec's limit are refused with one line on the
# standard error and exit 2, however deep they go; at the limit they are sent.
set(too_deep "^kelmor_host: arguments of x: JSON arrays and objects nested \
deeper than 64 levels$")
foreach(depth 64 20000)
  string(REPEAT "[" ${depth} open_${depth})
  string(REPEAT "]" ${depth} close_${depth})
endforeach()
kelmor_host_test(json_depth_64 NATIVE EXIT 1 OUTPUT "^x: not implemented\n$"
  ARGS "x=${open_64}${close_64}")
kelmor_host_test(json_depth_65 NATIVE EXIT 2 ERROR "${too_deep}"
  ARGS "x=${open_65}${close_65}")
kelmor_host_test(json_depth_20000 NATIVE EXIT 2 ERROR "${too_deep}"
  ARGS "x=${open_20000}${close_20000}")
kelmor_host_test(json_open_20000 NATIVE EXIT 2 ERROR "${too_deep}"
  ARGS "x=${open_20000}")

# ==== Whole numbers beyond int64 ====
# Regression: they went out as doubles. Refused with the number named, in
# arguments and in --answer; at the edges they go out as int64, and with a
# fraction or an exponent as doubles.
set(no_int64 "does not fit in int64 \\(give it a fraction or an exponent \
to send a double\\)$")
kelmor_host_test(arguments_beyond_int64 EXIT 2
  ERROR "^kelmor_host: arguments of echo: whole number 18446744073709551615 ${no_int64}"
  ARGS ${test_plugin} echo=18446744073709551615)
kelmor_host_test(arguments_below_int64 EXIT 2
  ERROR "^kelmor_host: arguments of echo: whole number -9223372036854775809 ${no_int64}"
  ARGS ${test_plugin} echo=-9223372036854775809)
kelmor_host_test(answer_beyond_int64 EXIT 2
  ERROR "^kelmor_host: --answer: whole number 18446744073709551616 ${no_int64}"
  ARGS ${test_plugin} --answer 18446744073709551616 ask)
kelmor_host_test(answer_below_int64 EXIT 2
  ERROR "^kelmor_host: --answer: whole number -9223372036854775809 ${no_int64}"
  ARGS ${test_plugin} --answer=-9223372036854775809 ask)
kelmor_host_test(int64_edges EXIT 0
  OUTPUT "^echo: success 9223372036854775807
echo: success -9223372036854775808
echo: success 1\\.8446744073709552e\\+19
application call on \"test\": question 9223372036854775807
ask: success -9223372036854775808\n$"
  ARGS ${test_plugin} --answer -9223372036854775808 echo=9223372036854775807
       echo=-9223372036854775808 echo=18446744073709551615.0
       ask=9223372036854775807)

# ==== Numbers and typed lists as printed ====
# What the host prints, it reads: doubles to the last bit, whole ones with
# a point, and typed lists by their element type.
set(typed "{\"d\": 0.1, \"f\": float32\\[0.1, 3.0\\], \"u\": uint8\\[255\\], \"w\": 2.0}")
kelmor_host_test(typed_lists_round_trip EXIT 0
  OUTPUT "^echo: success ${typed}\n$"
  ARGS ${test_plugin} "echo={\"d\": 0.1, \"f\": float32[0.1, 3.0], \"u\": uint8[255], \"w\": 2.0}")

# Byte for byte the same natively and under Wine, where the C runtime that
# formats the numbers is another one.
string(CONCAT typed_values
  "{\"doubles\": [0.1, 2.0, -0.0, 1e300, 5e-324, 123456789.125], "
  "\"f32\": float32[0.1, 3.0], \"f64\": float64[0.5, -1.0], "
  "\"i32\": int32[-2147483648, 7], \"i64\": int64[9223372036854775807], "
  "\"u8\": uint8[0, 255]}")
kelmor_host_test(typed_values_output EXIT 0
  OUTPUT_FILE "${host_dir}/typed_values.txt"
  ARGS ${test_plugin} "echo=${typed_values}")

# ==== A library named by its bare file name ====
kelmor_host_test(library_in_current_folder EXIT 0 OUTPUT "^echo: success 1\n$"
  WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/test_plugin"
  ARGS --library $<TARGET_FILE_NAME:kelmor_test_plugin>
       --export TestPluginRegisterWithRegistrar --channel test echo=1)

# ==== Calls to the application side ====
# Each is printed and answered before the reply to the call that made it;
# unanswered by --answer, they are not implemented.
kelmor_host_test(application_calls EXIT 1
  OUTPUT "^application call on \"test\": question {\"q\": \"why\"}
ask: not implemented
application call on \"test\": note \\[1\\] \\(no reply wanted\\)
tell: success null
echo: success 2\n$"
  ARGS ${test_plugin} "ask={\"q\":\"why\"}" "tell=[1]" echo=2)
kelmor_host_test(application_calls_answered EXIT 0
  OUTPUT "^application call on \"test\": question \"why\"\nask: success {\"ok\": true}\n$"
  ARGS ${test_plugin} --answer "{\"ok\":true}" "ask=\"why\"")
kelmor_host_test(application_calls_answered_from_file NATIVE EXIT 0
  OUTPUT "^application call on \"test\": question null\nask: success {\"from\": \"file\"}\n$"
  ARGS ${test_plugin} "--answer=@${host_files}/answer.json" ask)
# Made from a worker thread, a call still reaches the engine on its own
# thread, with no line about it, and its answer comes back there.
kelmor_host_test(application_call_from_worker EXIT 0
  OUTPUT "^application call on \"test\": question \\[1\\]\nworker: success \"back\"\n$"
  ERROR "^$"
  ARGS ${test_plugin} --answer "\"back\"" "worker=[1]")
# By method: an error ends the flood, while calls of other methods get the
# answer to every call; a method's answer may come from a file.
kelmor_host_test(answers_by_method EXIT 0
  OUTPUT "^application call on \"test\": more 1\nflood: success null
application call on \"test\": question 2\nask: success 1\n$"
  ARGS ${test_plugin} --answer-error more=stop:enough --answer 1 flood ask=2)
kelmor_host_test(error_answer_by_method EXIT 1
  OUTPUT "^application call on \"test\": question null
ask: error code=\"denied\" message=\"not now\" details=null\n$"
  ARGS ${test_plugin} --answer=7 "--answer-error=question=denied:not now" ask)
kelmor_host_test(answer_by_method_from_file EXIT 0
  OUTPUT "^application call on \"test\": question null
ask: success {\"from\": \"file\"}\n$"
  ARGS ${test_plugin} "--answer=question=@${host_files}/answer.json" ask)
kelmor_host_test(answer_not_json NATIVE EXIT 2
  ERROR "^kelmor_host: --answer: not valid JSON: "
  ARGS ${test_plugin} --answer "{" ask)

# A plugin that answers each answer with another call is stopped at the
# bound: that many calls printed and answered, then one line, and nothing
# more is sent. Regression: the host ran on forever, ever slower.
set(more "application call on \"test\": more")
set(bound "^kelmor_host: stopped: the plugin called the application side \
more than")
kelmor_host_test(application_calls_bounded EXIT 1
  OUTPUT "^${more} 1\n${more} 2\n${more} 3\n$"
  ERROR "${bound} 3 times \\(--max-application-calls\\)$"
  ARGS ${test_plugin} --max-application-calls 3 flood echo=1)
kelmor_host_test(application_calls_default_bound EXIT 1 TIMEOUT 120
  OUTPUT "^${more} 1\n.*\n${more} 10000\n$"
  ERROR "${bound} 10000 times \\(--max-application-calls\\)$"
  ARGS ${test_plugin} flood)

# ==== Late replies ====
# With --wait the engine's thread runs on until each call is answered; the
# replies keep the calls' order, and the run ends as soon as all are in.
kelmor_host_test(wait_for_late_reply EXIT 0 OUTPUT "^slow: success 1\n$"
  ARGS ${test_plugin} --wait 3 slow=1)
kelmor_host_test(late_reply_without_wait EXIT 1 OUTPUT "^slow: no reply\n$"
  ARGS ${test_plugin} slow=1)
kelmor_host_test(wait_ends_when_all_answered EXIT 0 TIMEOUT 30
  OUTPUT "^slow: success \\[1\\]\necho: success 2\n$"
  ARGS ${test_plugin} --wait 600 slow=[1] echo=2)
kelmor_host_test(wait_runs_out EXIT 1
  OUTPUT "^keep: no reply\necho: success 1\n$"
  ARGS ${test_plugin} --wait 1 keep echo=1)

# ==== Event streams ====
# Each event prints as it arrives; the wait lasts until the stream ends, or
# until it is cancelled.
set(events "event on \"test/events\":")
kelmor_host_test(event_stream EXIT 0 TIMEOUT 30
  OUTPUT "^listen: success null\n${events} 1\n${events} 2\n${events} 3\n${events} end of stream\n$"
  ARGS ${test_plugin} --channel test/events listen=3 --wait 2)
kelmor_host_test(end_of_stream_ends_the_wait EXIT 0 TIMEOUT 30
  OUTPUT "^listen: success null\n${events} 1\n${events} end of stream\n$"
  ARGS ${test_plugin} --channel test/events --wait 600 listen=1)
kelmor_host_test(event_stream_cancelled EXIT 0 TIMEOUT 30
  OUTPUT "^listen: success null\n(${events} [0-9]+\n)*cancel: success null\n$"
  ARGS ${test_plugin} --channel test/events --wait 600 listen=100000 cancel)

# ==== Line ends ====
# "\n" alone on Windows too, so that output compares byte for byte.
kelmor_host_test(lines_end_in_lf KEEP_LINE_ENDS EXIT 0
  OUTPUT "^application call on \"test\": question 1\nask: success 2\n$"
  ARGS ${test_plugin} --answer 2 ask=1)

# ==== Text outside ASCII ====
# Through the command line, the plugin and the application side and back.
set(unicode "Grüße, 世界 ✓ 🙂")
kelmor_host_test(unicode_round_trip EXIT 0
  OUTPUT "^echo: success \"${unicode}\"
application call on \"test\": question \"${unicode}\"
ask: success \"${unicode}\"\n$"
  ARGS ${test_plugin} "--answer=\"${unicode}\"" "echo=\"${unicode}\""
       "ask=\"${unicode}\"")

# ==== Under valgrind, in builds without sanitizers ====
find_program(KELMOR_VALGRIND valgrind)
if(KELMOR_VALGRIND AND NOT KELMOR_SANITIZE AND NOT CMAKE_CROSSCOMPILING)
  set(host_emulator "${KELMOR_VALGRIND}|--error-exitcode=99|--leak-check=full|--errors-for-leak-kinds=definite,indirect")
  # The main job, and an unknown method's status.
  kelmor_host_test(under_valgrind EXIT 1
    ARGS getPlatformVersion other "getPlatformVersion={\"a\":[1,2.5]}")
  kelmor_host_test(test_plugin_under_valgrind EXIT 0
    ARGS ${test_plugin} --answer "[1]" ask=1 tell=2
         "echo=@${host_dir}/arguments.json")
endif()
