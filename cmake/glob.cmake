# prismatel_glob(<out> <folder>... [EXTENSIONS <ext>...] [RECURSE]): the files of those
# folders (paths from the source root), and of their subfolders with RECURSE, with those
# extensions, .cpp unless told; every build re-checks the folders, so that adding or removing
# a file needs no edit of the build.
function(prismatel_glob out)
    cmake_parse_arguments(ARG "RECURSE" "" "EXTENSIONS" ${ARGN})
    set(glob GLOB)
    if(ARG_RECURSE)
        set(glob GLOB_RECURSE)
    endif()
    if(NOT ARG_EXTENSIONS)
        set(ARG_EXTENSIONS cpp)
    endif()
    set(files)
    foreach(dir ${ARG_UNPARSED_ARGUMENTS})
        foreach(ext ${ARG_EXTENSIONS})
            file(${glob} found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.${ext})
            list(APPEND files ${found})
        endforeach()
    endforeach()
    set(${out} ${files} PARENT_SCOPE)
endfunction()
