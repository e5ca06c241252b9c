# libFuzzer targets for the packfile directory reader and the bitmap loader. They build
# the file and bitmap code with failure routines that throw (fuzz/fuzz_support.cpp), so
# a rejected input ends one run instead of the fuzzer. Needs clang.
if(NOT PRISMATEL_FUZZ)
    return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "PRISMATEL_FUZZ needs clang (CXX=clang++)")
endif()

set(FUZZ_ENGINE_SOURCES
    ${CMAKE_SOURCE_DIR}/fuzz/fuzz_support.cpp
    ${CMAKE_SOURCE_DIR}/engine/file.cpp
    ${CMAKE_SOURCE_DIR}/engine/bitmap.cpp
    ${CMAKE_SOURCE_DIR}/engine/bitmapload.cpp
    ${CMAKE_SOURCE_DIR}/engine/base/base.cpp
    ${CMAKE_SOURCE_DIR}/platform/kernel32/files.cpp)

foreach(target packfile_fuzz bitmap_fuzz)
    add_executable(${target} ${CMAKE_SOURCE_DIR}/fuzz/${target}.cpp ${FUZZ_ENGINE_SOURCES})
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/platform/include
                               ${CMAKE_SOURCE_DIR}/platform ${CMAKE_SOURCE_DIR}/engine
                               ${CMAKE_SOURCE_DIR}/fuzz)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined
                           -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
endforeach()
# The MPEG audio decoder over arbitrary bytes (the stream classes and decoder only).
prismatel_glob(FUZZ_MPEG_SOURCES mpeg)
list(FILTER FUZZ_MPEG_SOURCES EXCLUDE REGEX "waveout")
add_executable(mpeg_fuzz ${CMAKE_SOURCE_DIR}/fuzz/mpeg_fuzz.cpp ${FUZZ_MPEG_SOURCES})
target_include_directories(mpeg_fuzz PRIVATE ${CMAKE_SOURCE_DIR}/mpeg
                           ${CMAKE_SOURCE_DIR}/platform/include)
target_compile_options(mpeg_fuzz PRIVATE -fsanitize=fuzzer,address,undefined
                       -fno-sanitize-recover=undefined -fno-omit-frame-pointer
                       -fsanitize-coverage-ignorelist=${CMAKE_SOURCE_DIR}/fuzz/coverage-ignore.txt)
target_link_options(mpeg_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)

add_custom_target(fuzzers DEPENDS packfile_fuzz bitmap_fuzz mpeg_fuzz)
