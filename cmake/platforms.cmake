# The platforms: the one place that says which programs a build makes and
# which platform files go into them. The folders' CMakeLists.txt list only
# portable files, which every platform builds.
#
# A platform file is named <what it holds>_<interface>.cpp, after the outside
# interface it is written against, and only it includes that interface's
# headers (cmake/check_layering.cmake):
#   _win32    the Windows API: windows, GDI, WGL, waveOut, the registry
#   _x11      Xlib and GLX
#   _alsa     libasound
#   _posix    POSIX clocks, signals, threads and standard error
#   _osmesa   Mesa's off-screen OpenGL
#   _virtual  the virtual clock and the null sound device: the stand-ins for
#             hardware that make the host tools and tests reproducible
#   _web      emscripten's browser interfaces
# Each platform below is one block: its programs, their libraries and its
# files. A new platform is one more block.

# tazro_platform_sources(TARGET FILE...): FILE is a path below src/.
function(tazro_platform_sources target)
    list(TRANSFORM ARGN PREPEND ${CMAKE_SOURCE_DIR}/src/)
    target_sources(${target} PRIVATE ${ARGN})
endfunction()

if(WIN32)
    # Windows: the screen saver tazroscr.scr, with every asset a resource.
    target_link_libraries(tazro_render PUBLIC opengl32 glu32)
    add_executable(tazroscr WIN32)
    set_target_properties(tazroscr PROPERTIES OUTPUT_NAME tazroscr SUFFIX .scr)
    target_link_options(tazroscr PRIVATE -static -static-libgcc -static-libstdc++ -mwindows)
    target_link_libraries(tazroscr PRIVATE tazro_render winmm gdi32 user32 advapi32 kernel32)
    tazro_warnings(tazroscr)
    tazro_platform_sources(tazroscr
        core/resources_win32.cpp
        glwindow/frame_timer_win32.cpp
        glwindow/gl_window_win32.cpp
        glwindow/tick_count_win32.cpp
        music/wave_device_win32.cpp
        terrain/bitmap_load_win32.cpp
        shell/config_dialog_win32.cpp
        shell/fatal_error_win32.cpp
        shell/main_win32.cpp
        shell/settings_registry_win32.cpp)
    enable_language(RC)
    add_subdirectory(resources)
elseif(EMSCRIPTEN)
    # The web edition (the web preset: emcmake over Debian's emscripten): the
    # page's program tazroscr.js and tazroscr.wasm, with web/index.html and
    # the icon beside them, drawn through the legacy GL emulation onto WebGL
    # and played through Web Audio. Its clocks are the virtual ones, which
    # the main loop sets from the page's clock each frame (or the test hooks
    # step), so that a page frame is made as scene2png makes it; its bitmaps
    # go through the portable decoder; the one GLU call emscripten lacks is
    # its own (mipmaps_web), and so is new (std::nothrow), which must answer
    # null (nothrow_new_web). No tests are built here: the host's tests
    # cover the core, tests/e2e/web_test.sh the page.
    set(TAZRO_BUILD_TESTS OFF)
    tazro_platform_sources(tazro_core terrain/bitmap_load.cpp)
    add_executable(tazroscr)
    set_target_properties(tazroscr PROPERTIES SUFFIX .js)
    target_link_libraries(tazroscr PRIVATE tazro_render)
    tazro_warnings(tazroscr)
    tazro_platform_sources(tazroscr
        core/nothrow_new_web.cpp
        glwindow/frame_timer_virtual.cpp
        glwindow/gl_window_web.cpp
        glwindow/tick_count_virtual.cpp
        music/wave_device_web.cpp
        terrain/mipmaps_web.cpp
        shell/config_panel_web.cpp
        shell/fatal_error_web.cpp
        shell/main_web.cpp
        shell/settings_storage_web.cpp)
    # Legacy GL emulation without GL_FFP_ONLY (which whitens the shadows and
    # floods the console with GL_INVALID_VALUE in 3.1.6); a fixed memory so
    # that the sound callback's view of the ring never goes stale, where an
    # allocation that does not fit fails as it does natively (a module too
    # large for it is refused, not the page ended); no file system (every
    # asset is embedded); the page hands the user's module over through
    # malloc and free.
    target_link_options(tazroscr PRIVATE
        -sLEGACY_GL_EMULATION=1
        -sENVIRONMENT=web
        -sINITIAL_MEMORY=33554432
        -sALLOW_MEMORY_GROWTH=0
        -sABORTING_MALLOC=0
        -sFILESYSTEM=0
        -sEXIT_RUNTIME=0
        -sEXPORTED_FUNCTIONS=_main,_malloc,_free
        -sEXPORTED_RUNTIME_METHODS=UTF8ToString)
    add_custom_command(TARGET tazroscr POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/web/index.html
            $<TARGET_FILE_DIR:tazroscr>/index.html
        COMMAND ${CMAKE_COMMAND} -E copy ${TAZRO_ASSET_DIR}/icon-101.ico
            $<TARGET_FILE_DIR:tazroscr>/favicon.ico
        VERBATIM)
    set_property(TARGET tazroscr APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/web/index.html)
    # The assets come from the host build's folder, as for Windows; the table
    # embeds them in WebAssembly sections.
    add_custom_target(assets)
    set(TAZRO_EMBED_FORMAT wasm)
    add_subdirectory(resources)
else()
    # The host: the off-screen platform of the host tools and tests, and the
    # native saver. Files in the core that only they use: both read their
    # bitmaps through the portable decoder, and the native saver takes
    # XScreenSaver's options and reads the user's music files through POSIX
    # (in the core so that the host tests reach them).
    find_package(PkgConfig REQUIRED)
    find_package(Threads REQUIRED)
    pkg_check_modules(OSMESA REQUIRED IMPORTED_TARGET osmesa)
    pkg_check_modules(GLU REQUIRED IMPORTED_TARGET glu)
    target_link_libraries(tazro_render PUBLIC PkgConfig::GLU)
    tazro_platform_sources(tazro_core terrain/bitmap_load.cpp shell/hack_options.cpp
        music/music_files_posix.cpp)

    # Off screen (host tools and tests): the virtual clock, the null sound
    # device, an OSMesa window, errors on standard error. The virtual objects
    # go into every program that uses the off-screen window (they define what
    # the core's objects call, so a library ahead of the core's would not do).
    add_library(tazro_virtual OBJECT)
    target_link_libraries(tazro_virtual PUBLIC tazro_render Threads::Threads)
    tazro_warnings(tazro_virtual)
    tazro_platform_sources(tazro_virtual
        glwindow/frame_timer_virtual.cpp
        glwindow/tick_count_virtual.cpp
        music/wave_device_virtual.cpp
        shell/fatal_error_posix.cpp)
    add_library(tazro_osmesa STATIC)
    target_link_libraries(tazro_osmesa PUBLIC tazro_render PkgConfig::OSMESA Threads::Threads)
    target_sources(tazro_osmesa INTERFACE $<TARGET_OBJECTS:tazro_virtual>)
    tazro_warnings(tazro_osmesa)
    tazro_platform_sources(tazro_osmesa glwindow/gl_window_osmesa.cpp)

    if(NOT TAZRO_FUZZ)
        # The native Linux saver tazroscr, an XScreenSaver hack: Xlib and GLX
        # (Mesa's libGL), ALSA, every asset linked in (resources/).
        pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
        pkg_check_modules(GL REQUIRED IMPORTED_TARGET gl)
        pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
        add_executable(tazroscr)
        target_link_libraries(tazroscr PRIVATE tazro_render PkgConfig::X11 PkgConfig::GL
            PkgConfig::ALSA Threads::Threads)
        tazro_warnings(tazroscr)
        tazro_platform_sources(tazroscr
            glwindow/frame_timer_posix.cpp
            glwindow/gl_window_x11.cpp
            glwindow/tick_count_posix.cpp
            music/wave_device_alsa.cpp
            shell/fatal_error_posix.cpp
            shell/main_x11.cpp
            shell/stop_signals_posix.cpp)
    endif()
endif()
