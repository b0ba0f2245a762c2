# Cross-builds for 64-bit Windows with Debian's mingw-w64 (posix threads),
# and runs what it builds under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_DLLTOOL x86_64-w64-mingw32-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Installed with the kelmor package, beside its configuration: builds that
# use it find that package without being told where it is.
if(EXISTS "${CMAKE_CURRENT_LIST_DIR}/kelmorConfig.cmake" AND NOT kelmor_DIR)
  set(kelmor_DIR "${CMAKE_CURRENT_LIST_DIR}" CACHE PATH
      "The kelmor package configuration" FORCE)
endif()
