# The browser build (Emscripten): the same engine, decoder, demo and stand-in as the Linux
# program, shown by the page's host (platform/host/web) instead of SDL. Into build-web/:
#   index.html, page.js, sw.js   the page, its start-up and the service worker that
#                                isolates it on hosts that cannot set headers
#   vd.js, vd.wasm, vd.worker.js the program and its threads (pthreads in Web Workers)
#   vd.data                      the show's data (q47.dat, vd.mp3), preloaded into the
#                                program's file system before it starts
# PRISMATEL_DATA_DIR is the native build's data folder (the tools that make it are not
# built here).
set(PRISMATEL_DATA_DIR "" CACHE PATH "Folder holding q47.dat and vd.mp3")
if(NOT EXISTS "${PRISMATEL_DATA_DIR}/q47.dat" OR NOT EXISTS "${PRISMATEL_DATA_DIR}/vd.mp3")
    message(FATAL_ERROR "PRISMATEL_DATA_DIR must hold q47.dat and vd.mp3 (make web builds them)")
endif()

# Every object shares the program's memory between threads.
add_compile_options(-pthread)
add_link_options(-pthread)
add_library(Threads::Threads INTERFACE IMPORTED)

include(cmake/platform.cmake)

add_library(platform_entry OBJECT platform/entry/main.cpp)
target_link_libraries(platform_entry PUBLIC platform)

prismatel_glob(ENGINE_SOURCES engine engine/base engine/windriver engine/input engine/cdaudio)
add_library(Prismatel STATIC ${ENGINE_SOURCES})
target_include_directories(Prismatel PUBLIC engine)
target_link_libraries(Prismatel PUBLIC platform)

prismatel_glob(MPEG_SOURCES mpeg)
add_library(mpeg STATIC ${MPEG_SOURCES})
target_include_directories(mpeg PUBLIC mpeg)
target_link_libraries(mpeg PUBLIC platform)

prismatel_glob(VD_SOURCES vd)
add_executable(vd ${VD_SOURCES} $<TARGET_OBJECTS:platform_entry>)
target_include_directories(vd PRIVATE vd)
target_link_libraries(vd PRIVATE Prismatel mpeg)
set_target_properties(vd PROPERTIES SUFFIX ".js" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR} LINK_DEPENDS
                      "${PRISMATEL_DATA_DIR}/q47.dat;${PRISMATEL_DATA_DIR}/vd.mp3")
# main() runs on a worker of its own (PROXY_TO_PTHREAD) so that the window thread may block
# as it does in Windows while the page's thread stays free for events, drawing and sound.
# The pool has a worker ready for each of the program's threads (window, main, CD, music,
# the music's start-up decoder) and a spare.
target_link_options(vd PRIVATE
    -sPROXY_TO_PTHREAD=1 -sPTHREAD_POOL_SIZE=7 -sEXIT_RUNTIME=1
    -sINITIAL_MEMORY=268435456 -sTOTAL_STACK=1048576
    -sEXPORTED_RUNTIME_METHODS=ENV
    "SHELL:--pre-js ${CMAKE_SOURCE_DIR}/web/pre.js"
    "SHELL:--preload-file ${PRISMATEL_DATA_DIR}/q47.dat@/q47.dat"
    "SHELL:--preload-file ${PRISMATEL_DATA_DIR}/vd.mp3@/vd.mp3")

foreach(page index.html page.js sw.js style.css)
    configure_file(${CMAKE_SOURCE_DIR}/web/${page} ${CMAKE_BINARY_DIR}/${page} COPYONLY)
endforeach()
