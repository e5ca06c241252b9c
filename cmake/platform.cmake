# The Windows platform stand-in: one static library per folder, each linked only to what it
# may use. A folder's sources include their own headers by name and another folder's by its
# path ("machine/video_card.h"); cmake/check_includes.cmake holds them to the same list
# before they compile, so that a wrong include fails the build.
#
#   kernel32 user32 ole32 ddraw d3d dinput winmm   the Windows libraries
#        |  (d3d also uses ddraw's surfaces, as Direct3D does in Windows)
#        v
#     machine          the simulated PC
#        |
#        v
#      host            the host interface (host.h, settings.h) and its choice (select.cpp)
#        |
#        v
#   host/sdl  host/headless   the hosts; they see only the interface's headers
#   (host/web instead of host/sdl in the browser build)

# The Windows headers, for everyone.
add_library(platform_api INTERFACE)
target_include_directories(platform_api INTERFACE ${CMAKE_SOURCE_DIR}/platform/include)
target_link_libraries(platform_api INTERFACE Threads::Threads ${CMAKE_DL_LIBS})

# The stand-in's own headers ("folder/header.h"), for its folders and the tests.
add_library(platform_internal INTERFACE)
target_include_directories(platform_internal INTERFACE ${CMAKE_SOURCE_DIR}/platform)

# prismatel_platform_library(target folder [USES target...] [SEES folder...] [LINKS lib...])
#   USES   libraries of the stand-in it calls (and whose headers it may include)
#   SEES   folders whose headers it may include without linking them (interfaces)
#   LINKS  outside libraries, private to it
function(prismatel_platform_library target folder)
    cmake_parse_arguments(ARG "" "" "USES;SEES;LINKS" ${ARGN})
    prismatel_glob(sources platform/${folder})
    add_library(${target} STATIC ${sources})
    set_target_properties(${target} PROPERTIES PRISMATEL_FOLDER ${folder})
    target_link_libraries(${target} PUBLIC platform_api ${ARG_USES}
                          PRIVATE platform_internal ${ARG_LINKS})
    set(allowed ${ARG_SEES})
    foreach(used ${ARG_USES})
        get_target_property(usedFolder ${used} PRISMATEL_FOLDER)
        list(APPEND allowed ${usedFolder})
    endforeach()
    prismatel_glob(headers platform/${folder} EXTENSIONS h)
    set(stamp ${CMAKE_BINARY_DIR}/include-checks/${target}.checked)
    add_custom_command(
        OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR}/platform -DFOLDER=${folder}
                "-DALLOWED=${allowed}" -DSTAMP=${stamp}
                -P ${CMAKE_SOURCE_DIR}/cmake/check_includes.cmake
        DEPENDS ${sources} ${headers} ${CMAKE_SOURCE_DIR}/cmake/check_includes.cmake
        COMMENT "Checking the includes of platform/${folder}"
        VERBATIM)
    add_custom_target(${target}_includes DEPENDS ${stamp})
    add_dependencies(${target} ${target}_includes)
endfunction()

# The host that shows the picture: an SDL window, or in the browser build a page's canvas
# (whose build has no libpng: recording is the native program's job).
if(EMSCRIPTEN)
    prismatel_platform_library(host_web host/web SEES host)
    prismatel_platform_library(host_headless host/headless SEES host)
    set(PRISMATEL_SHOWN_HOST host_web)
else()
    prismatel_platform_library(host_sdl host/sdl SEES host LINKS PkgConfig::SDL2)
    prismatel_platform_library(host_headless host/headless SEES host LINKS PNG::PNG)
    set(PRISMATEL_SHOWN_HOST host_sdl)
endif()
# select.cpp names both screen hosts' headers and compiles in the one its build has.
prismatel_platform_library(host host USES ${PRISMATEL_SHOWN_HOST} host_headless
                           SEES host/sdl host/web)
prismatel_platform_library(machine machine USES host)
prismatel_platform_library(kernel32 kernel32 USES machine)
prismatel_platform_library(user32 user32 USES kernel32 machine host)
prismatel_platform_library(ole32 ole32)
prismatel_platform_library(ddraw ddraw USES machine)
prismatel_platform_library(d3d d3d USES ddraw machine)
prismatel_platform_library(dinput dinput USES machine)
prismatel_platform_library(winmm winmm USES kernel32 machine)
# Windows' DirectDraw hands IID_IDirect3D2 and texture queries to the Direct3D runtime;
# whoever links DirectDraw gets Direct3D with it (declared on DirectDraw's side only).
target_link_libraries(ddraw INTERFACE d3d)

# Everything a program on the stand-in links; its users see only the Windows headers.
add_library(platform INTERFACE)
target_link_libraries(platform INTERFACE kernel32 user32 ole32 ddraw d3d dinput winmm)
