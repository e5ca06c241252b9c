# Checks the quoted includes of one folder of the Windows stand-in against the folders it may
# use (cmake -P, run by the build before the folder's library compiles):
#   "name.h"            a header of the same folder
#   "folder/name.h"     a header of an allowed folder, named by its path under platform/
# and SDL's headers only in host/sdl/, Emscripten's only in host/web/. A file that breaks the rule fails the build.
#   -DROOT=<platform dir> -DFOLDER=<folder> -DALLOWED=<folder;...> -DSTAMP=<file>
cmake_minimum_required(VERSION 3.25)

file(GLOB files ${ROOT}/${FOLDER}/*.cpp ${ROOT}/${FOLDER}/*.h)
set(errors "")
foreach(file ${files})
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include")
    file(RELATIVE_PATH shown ${ROOT}/.. ${file})
    foreach(line ${lines})
        if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
            set(included ${CMAKE_MATCH_1})
            get_filename_component(dir ${included} DIRECTORY)
            if(included MATCHES "\\.\\.")
                string(APPEND errors "${shown}: \"${included}\": name the folder, not a path up\n")
            elseif(dir STREQUAL "")
                if(NOT EXISTS ${ROOT}/${FOLDER}/${included})
                    string(APPEND errors "${shown}: \"${included}\" is not in ${FOLDER}/\n")
                endif()
            elseif(NOT dir STREQUAL FOLDER AND NOT dir IN_LIST ALLOWED)
                string(APPEND errors
                       "${shown}: \"${included}\": ${FOLDER}/ may use only: ${ALLOWED}\n")
            endif()
        elseif(line MATCHES "#[ \t]*include[ \t]*<(SDL[^>]*)>" AND NOT FOLDER STREQUAL "host/sdl")
            string(APPEND errors "${shown}: <${CMAKE_MATCH_1}>: SDL belongs to host/sdl/\n")
        elseif(line MATCHES "#[ \t]*include[ \t]*<(emscripten[^>]*)>" AND NOT FOLDER STREQUAL "host/web")
            string(APPEND errors "${shown}: <${CMAKE_MATCH_1}>: Emscripten belongs to host/web/\n")
        endif()
    endforeach()
endforeach()

if(errors)
    message(FATAL_ERROR "Includes across the stand-in's folders:\n${errors}")
endif()
file(WRITE ${STAMP} "")
