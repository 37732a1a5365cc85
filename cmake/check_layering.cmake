# Keeps the dependencies of src/ pointing one way, down to core/:
#   core                                  includes only core
#   glwindow, character, terrain, music   core and their own folder
#   scene                                 the subsystems, core and itself
#   shell                                 everything
# and keeps platform headers in the files named for their interface
# (cmake/platforms.cmake): <windows.h> in *_win32.*, X11 and GLX in *_x11.*,
# ALSA in *_alsa.*, OSMesa in *_osmesa.*, emscripten in *_web.*.
# Usage: cmake -DSOURCE=<src folder> -P check_layering.cmake
# Prints every offending line and fails when there is one.
if(NOT IS_DIRECTORY "${SOURCE}")
    message(FATAL_ERROR "No source folder: '${SOURCE}'")
endif()

set(subsystems glwindow character terrain music)
set(allowed_core core)
foreach(sub ${subsystems})
    set(allowed_${sub} core ${sub})
endforeach()
set(allowed_scene core ${subsystems} scene)
set(allowed_shell core ${subsystems} scene shell)

set(faults "")
file(GLOB_RECURSE sources RELATIVE "${SOURCE}" "${SOURCE}/*.h" "${SOURCE}/*.cpp")
list(SORT sources)
foreach(file ${sources})
    string(REGEX MATCH "^[^/]+" folder "${file}")
    if(folder STREQUAL file OR NOT DEFINED allowed_${folder})
        string(APPEND faults "  ${file}: folder has no layer\n")
        continue()
    endif()
    get_filename_component(name "${file}" NAME_WE)
    file(STRINGS "${SOURCE}/${file}" includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${includes})
        if(line MATCHES "\"([^/\"]+)/[^\"]*\"")
            list(FIND allowed_${folder} "${CMAKE_MATCH_1}" index)
            if(index EQUAL -1)
                string(APPEND faults "  ${file}: ${folder}/ may not include ${CMAKE_MATCH_1}/: ${line}\n")
            endif()
        endif()
        string(TOLOWER "${line}" lower)
        foreach(platform win32 x11 alsa osmesa web)
            if(platform STREQUAL win32)
                set(header "<windows\\.h>")
            elseif(platform STREQUAL x11)
                set(header "<(x11/|gl/glx\\.h)")
            elseif(platform STREQUAL alsa)
                set(header "<alsa/")
            elseif(platform STREQUAL osmesa)
                set(header "<gl/osmesa\\.h>")
            else()
                set(header "<emscripten")
            endif()
            if(lower MATCHES "${header}" AND NOT name MATCHES "_${platform}$")
                string(APPEND faults "  ${file}: only *_${platform} files may include ${line}\n")
            endif()
        endforeach()
    endforeach()
endforeach()

if(faults)
    message(FATAL_ERROR "Includes against the layering of ${SOURCE}:\n${faults}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files keep the layering")
