# What both Windows cross builds share, for Debian's MinGW-w64 compilers. The including
# toolchain file sets CMAKE_SYSTEM_PROCESSOR and PRISMATEL_MINGW_PREFIX first. The win32
# thread model keeps the programs free of the pthreads DLL; the engine needs no C++ threads
# of its own, only the Win32 ones.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${PRISMATEL_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${PRISMATEL_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${PRISMATEL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PRISMATEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
