# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64). The same
# sources as the 32-bit build; this one also runs under Debian's wine64, which is how the
# programs are checked against an independent DirectX (tools/check-wine).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PRISMATEL_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
