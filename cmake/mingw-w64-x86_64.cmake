# Cross build for 64-bit Windows with Debian's mingw-w64 (the POSIX thread model, which the
# standard library's threads need). Executables are linked statically, so they run under wine
# or on a Windows PC without the compiler's DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KV7_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KV7_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KV7_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KV7_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KV7_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests discovered through ctest run under wine when it is there.
find_program(KV7_WINE NAMES wine64 wine)
if(KV7_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KV7_WINE})
endif()
