# The Windows build (32-bit, and 64-bit for running under wine64): the engine, the decoder and the demo against the system's own
# headers and import libraries. The Linux stand-in (platform/) is not on the include path,
# so whatever compiles here uses only the real interfaces.
#   vd.exe      the demo (GUI; the engine's WinMain is the entry)
#   spin.exe    the 3D sample (GUI)
#   mpadec.exe  the decoder tool (console)

# M_PI and friends: the Windows C runtime gives them only on request.
add_compile_definitions(_USE_MATH_DEFINES)
# Self-contained executables: no libgcc or libstdc++ DLLs beside them.
add_link_options(-static)

prismatel_glob(ENGINE_SOURCES engine engine/base engine/windriver engine/input engine/cdaudio)
add_library(Prismatel STATIC ${ENGINE_SOURCES})
target_include_directories(Prismatel PUBLIC engine)
target_link_libraries(Prismatel PUBLIC ddraw dinput dxguid winmm ole32)

# The decoder stands alone: the C runtime's file calls and waveOut.
prismatel_glob(MPEG_SOURCES mpeg)
add_library(mpeg STATIC ${MPEG_SOURCES})
target_include_directories(mpeg PUBLIC mpeg)
target_link_libraries(mpeg PUBLIC winmm)

# A GUI program on the engine: its entry is the engine's WinMain, which sits in the library
# and would not be picked from it by the C runtime's start-up alone. Its symbol is decorated
# on 32-bit x86 (leading underscore, stdcall's @16) and plain on x86-64.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(PRISMATEL_WINMAIN_SYMBOL WinMain)
else()
    set(PRISMATEL_WINMAIN_SYMBOL _WinMain@16)
endif()
function(prismatel_windows_program name)
    add_executable(${name} WIN32 ${ARGN})
    target_link_options(${name} PRIVATE -Wl,--undefined=${PRISMATEL_WINMAIN_SYMBOL})
    target_link_libraries(${name} PRIVATE Prismatel)
endfunction()

prismatel_glob(VD_SOURCES vd)
prismatel_windows_program(vd ${VD_SOURCES})
target_include_directories(vd PRIVATE vd)
target_link_libraries(vd PRIVATE mpeg)

prismatel_glob(SPIN_SOURCES samples/spin)
if(SPIN_SOURCES)
    prismatel_windows_program(spin ${SPIN_SOURCES})
endif()

add_executable(mpadec ${CMAKE_SOURCE_DIR}/tools/mpadec/mpadec.cpp)
target_link_libraries(mpadec PRIVATE mpeg)
