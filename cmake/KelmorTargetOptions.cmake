# Warnings as errors and sanitizers, applied to our own targets only. The
# flags are GCC/Clang spellings; other compilers get their own warning level.
function(kelmor_target_options target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE
      -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Werror)
    if(KELMOR_SANITIZE)
      target_compile_options(${target} PRIVATE
        -fsanitize=${KELMOR_SANITIZE} -fno-omit-frame-pointer
        -fno-sanitize-recover=all)
      target_link_options(${target} PRIVATE -fsanitize=${KELMOR_SANITIZE})
    endif()
    if(KELMOR_BUILD_FUZZ)
      # Coverage for the fuzzers; the fuzz targets add libFuzzer's main.
      target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
    endif()
  elseif(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  endif()
endfunction()

# The machinery and the plugin run none of their own code when the library
# loads or unloads: no static constructors or destructors. Clang checks it
# (the fuzz lane builds with clang); other compilers build as usual.
function(kelmor_no_static_initialisers target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    target_compile_options(${target} PRIVATE
      -Wglobal-constructors -Wexit-time-destructors)
  endif()
endfunction()
