# Writes the C++ source that links every asset of the resource script into
# the native program: one table entry per "ID TYPE "file"" line of the .rc
# files, the file's bytes pulled in by the assembler (.incbin). Bitmaps lose
# their 14-byte file header, as Windows resources do.
# Usage: cmake -DRC_DIR=<resources> -DASSET_DIR=<assets> -DOUTPUT=<file.cpp>
#        [-DFORMAT=wasm] -P embed_assets.cmake
# FORMAT=wasm writes the assembly for WebAssembly objects instead of ELF: there
# every data symbol lives in a section of its own with a declared size, so each
# asset gets one section, and its end is its start plus that size (an end label
# in a section of its own need not follow it in memory).
file(GLOB rc_files "${RC_DIR}/*.rc")
list(SORT rc_files)
set(entries "")
set(asm "")
set(declarations "")
set(count 0)
foreach(rc ${rc_files})
    file(STRINGS "${rc}" lines REGEX "^[0-9]+[ \t]+[A-Za-z_]+[ \t]+\"[^\"]+\"")
    foreach(line ${lines})
        string(REGEX MATCH "^([0-9]+)[ \t]+([A-Za-z_]+)[ \t]+\"([^\"]+)\"" _ "${line}")
        set(id ${CMAKE_MATCH_1})
        set(type ${CMAKE_MATCH_2})
        set(path "${ASSET_DIR}/${CMAKE_MATCH_3}")
        if(path MATCHES "[\"\\\\]")
            message(FATAL_ERROR "Asset path with a quote or backslash: ${path}")
        endif()
        set(skip "")
        if(type STREQUAL "BITMAP")
            set(skip ", 14")
        endif()
        set(name "tazroAsset${count}")
        if(FORMAT STREQUAL "wasm")
            file(SIZE "${path}" size)
            if(type STREQUAL "BITMAP")
                math(EXPR size "${size} - 14")
            endif()
            string(APPEND asm "    .section .rodata.${name},\"\",@\n    .globl ${name}\n"
                "    .hidden ${name}\n    .p2align 4\n${name}:\n    .incbin \"${path}\"${skip}\n"
                "    .size ${name}, ${size}\n")
            string(APPEND declarations "extern const uint8_t ${name}[];\n")
            string(APPEND entries "    {\"${type}\", ${id}, ${name}, ${name} + ${size}},\n")
        else()
            string(APPEND asm "    .globl ${name}, ${name}End\n    .hidden ${name}, ${name}End\n"
                "    .balign 16\n${name}:\n    .incbin \"${path}\"${skip}\n${name}End:\n")
            string(APPEND declarations "extern const uint8_t ${name}[], ${name}End[];\n")
            string(APPEND entries "    {\"${type}\", ${id}, ${name}, ${name}End},\n")
        endif()
        math(EXPR count "${count} + 1")
    endforeach()
endforeach()
if(count EQUAL 0)
    message(FATAL_ERROR "No assets in the resource scripts of ${RC_DIR}")
endif()

if(FORMAT STREQUAL "wasm")
    set(section "")
    set(previous "")
else()
    set(section "    .section .rodata.tazro_assets, \"a\", @progbits\n")
    set(previous "    .previous\n")
endif()
set(text "// Written by cmake/embed_assets.cmake from the resource script: every asset
// the Windows executable carries, linked into the native program.
#include \"core/embedded_resources.h\"

__asm__(R\"asm(
${section}${asm}${previous})asm\");

extern \"C\" {
${declarations}}

const EmbeddedResource kEmbeddedResources[] = {
${entries}};
const size_t kEmbeddedResourceCount = ${count};
")
file(WRITE "${OUTPUT}" "${text}")
