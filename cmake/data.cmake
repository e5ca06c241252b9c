# The default data, made from the sources alone: mkassets draws the ten images and
# renders the music into build/assets, mkpack packs the images into build/data/q47.dat
# and lame encodes build/data/vd.mp3. Part of ALL, so every build has them.
set(PRISMATEL_ASSETS_DIR ${CMAKE_BINARY_DIR}/assets)
set(PRISMATEL_DATA_DIR ${CMAKE_BINARY_DIR}/data)
set(PRISMATEL_ASSET_NAMES
    vd/q47_back.scl vd/q47_bac2.scl vd/good.scl vd/q47_logo.scl vd/q47_date.scl
    vd/q47_worl.scl vd/q47_domi.scl vd/q47_elit.scl vd/q47_arro.scl vd/q47_drog.scl)
list(TRANSFORM PRISMATEL_ASSET_NAMES PREPEND ${PRISMATEL_ASSETS_DIR}/
     OUTPUT_VARIABLE PRISMATEL_ASSET_FILES)

add_custom_command(
    OUTPUT ${PRISMATEL_ASSET_FILES} ${PRISMATEL_ASSETS_DIR}/music.wav
    COMMAND mkassets ${PRISMATEL_ASSETS_DIR}
    DEPENDS mkassets
    COMMENT "Drawing the show's images and rendering its music"
    VERBATIM)

add_custom_command(
    OUTPUT ${PRISMATEL_DATA_DIR}/q47.dat
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PRISMATEL_DATA_DIR}
    COMMAND mkpack ${PRISMATEL_DATA_DIR}/q47.dat -C ${PRISMATEL_ASSETS_DIR} ${PRISMATEL_ASSET_NAMES}
    DEPENDS mkpack ${PRISMATEL_ASSET_FILES}
    COMMENT "Packing q47.dat"
    VERBATIM)

set(PRISMATEL_DATA_OUTPUTS ${PRISMATEL_DATA_DIR}/q47.dat)
find_program(LAME_EXECUTABLE lame)
if(LAME_EXECUTABLE)
    # Constant 192 kbit/s at 44.1 kHz in plain stereo, an ID3v2.3 tag up front and no
    # Xing/Info frame (-t): the file the show's timings were set against. (The decoder
    # skips any ID3v2 tag by its size and an Info frame as no music; Latin-1 text just
    # keeps the file as it always was.)
    add_custom_command(
        OUTPUT ${PRISMATEL_DATA_DIR}/vd.mp3
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PRISMATEL_DATA_DIR}
        COMMAND ${LAME_EXECUTABLE} --quiet --cbr -b 192 --resample 44.1 -m s -t
                --id3v2-only --id3v2-latin1 --tt "Light Bends" --ta "Prismatel"
                ${PRISMATEL_ASSETS_DIR}/music.wav ${PRISMATEL_DATA_DIR}/vd.mp3
        DEPENDS ${PRISMATEL_ASSETS_DIR}/music.wav
        COMMENT "Encoding vd.mp3"
        VERBATIM)
    list(APPEND PRISMATEL_DATA_OUTPUTS ${PRISMATEL_DATA_DIR}/vd.mp3)
else()
    message(WARNING "lame not found: build/data/vd.mp3 is not made (tools/setup-deps installs it)")
endif()

add_custom_target(data ALL DEPENDS ${PRISMATEL_DATA_OUTPUTS})

# The generators are long numeric loops: optimised even in debug and sanitizer builds,
# so making the data and testing it stays quick there too.
file(GLOB PRISMATEL_ASSET_GENERATORS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/lib/assets_*.cpp)
set_source_files_properties(${PRISMATEL_ASSET_GENERATORS} PROPERTIES COMPILE_OPTIONS -O2)
