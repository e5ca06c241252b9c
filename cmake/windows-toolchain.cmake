# Cross build for 32-bit Windows, the system's own target, with Debian's MinGW-w64
# (g++-mingw-w64-i686).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PRISMATEL_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)

# Without SSE, GCC notes that returning the decoder's four-float vectors (mpeg/vec4.h)
# changes the calling convention; that matters only for calls between separately built code,
# and those helpers are all inline.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")
