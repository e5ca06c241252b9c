# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64). The same
# sources as the 32-bit build; this one also runs under Debian's wine64, which is how the
# programs are checked against an independent DirectX (tools/check-wine).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PRISMATEL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PRISMATEL_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${PRISMATEL_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${PRISMATEL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PRISMATEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
