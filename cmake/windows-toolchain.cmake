# Cross build for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686).
# The win32 thread model keeps the programs free of the pthreads DLL; the engine
# needs no C++ threads of its own, only the Win32 ones.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(PRISMATEL_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${PRISMATEL_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${PRISMATEL_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${PRISMATEL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PRISMATEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Without SSE, GCC notes that returning the decoder's four-float vectors (mpeg/vec4.h)
# changes the calling convention; that matters only for calls between separately built code,
# and those helpers are all inline.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")
