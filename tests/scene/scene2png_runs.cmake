# scene2png over the whole scene: a sequence of frames becomes numbered PNG
# files, and a heightmap that is missing or short is refused with its message.
# Variables: SCENE2PNG (the tool), ASSETS (the generated assets), WORK (scratch).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

# Three pictures one second apart.
execute_process(COMMAND ${SCENE2PNG} --assets ${ASSETS} --size 64x48 --start 1 --every 1
                        --frames 3 ${WORK}/tour.png
                RESULT_VARIABLE status ERROR_VARIABLE progress)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "scene2png failed (${status}): ${progress}")
endif()
foreach(n 0000 0001 0002)
    file(READ ${WORK}/tour-${n}.png head LIMIT 8 HEX)
    if(NOT head STREQUAL "89504e470d0a1a0a")
        message(FATAL_ERROR "tour-${n}.png is not a PNG file")
    endif()
endforeach()
if(EXISTS ${WORK}/tour-0003.png)
    message(FATAL_ERROR "scene2png wrote more pictures than asked")
endif()
if(NOT progress MATCHES "tour-0002.png at 3.000 s")
    message(FATAL_ERROR "unexpected progress lines: ${progress}")
endif()

# The assets without the heightmap, then with a short one.
file(GLOB files ${ASSETS}/*)
file(MAKE_DIRECTORY ${WORK}/assets)
foreach(f ${files})
    get_filename_component(name ${f} NAME)
    if(NOT name STREQUAL "qtnresource-106.bin")
        file(CREATE_LINK ${f} ${WORK}/assets/${name} SYMBOLIC)
    endif()
endforeach()
foreach(case missing short)
    if(case STREQUAL "short")
        # One byte short of the 65,536 the terrain needs.
        execute_process(COMMAND head -c 65535 ${ASSETS}/qtnresource-106.bin
                        OUTPUT_FILE ${WORK}/assets/qtnresource-106.bin)
    endif()
    execute_process(COMMAND ${SCENE2PNG} --assets ${WORK}/assets --size 32x24 ${WORK}/none.png
                    RESULT_VARIABLE status ERROR_VARIABLE message)
    if(NOT status EQUAL 1)
        message(FATAL_ERROR "a ${case} heightmap ended with ${status}, not 1")
    endif()
    # One line, named after the program.
    if(NOT message STREQUAL "scene2png: Falta el mapa de alturas del terreno (recurso 106)\n")
        message(FATAL_ERROR "a ${case} heightmap gave: ${message}")
    endif()
    if(EXISTS ${WORK}/none.png)
        message(FATAL_ERROR "a picture was written without a heightmap")
    endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
