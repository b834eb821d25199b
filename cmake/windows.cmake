# The Windows program: a native Win32 window over the shared tracking core,
# one self-contained colorclicker.exe. Built natively with MSVC or MinGW, or
# cross-built on Linux with cmake/mingw-w64-x86_64.cmake.
enable_language(RC)

# The tests are built and run from the Linux build, which drives this
# program under Wine; tests/ as it stands also needs X11 and Qt.
if(NOT DEFINED BUILD_TESTING)
  set(BUILD_TESTING OFF CACHE BOOL "Build the tests")
endif()

set(_win32_definitions UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN WINVER=0x0601 _WIN32_WINNT=0x0601)

add_library(platform_win32 STATIC
  platform/win32/win32_desktop.cpp
  platform/win32/screen_reader.cpp
  platform/win32/window_at_point.cpp
  platform/win32/input_watch.cpp
  platform/win32/session_state.cpp)
target_link_libraries(platform_win32 PUBLIC desktop_seam win32_decisions user32 gdi32 shell32 dwmapi)
target_compile_definitions(platform_win32 PUBLIC ${_win32_definitions})

add_library(ui_win32 STATIC
  ui/win32/wide_text.cpp
  ui/win32/win32_controls.cpp
  ui/win32/tform1.cpp)
target_link_libraries(ui_win32 PUBLIC ui_form platform_win32 comctl32 user32 gdi32)

add_executable(colorclicker WIN32 app/win32/main.cpp app/win32/application.cpp res/colorclicker.rc)
target_link_libraries(colorclicker PRIVATE ui_win32)
# The .rc takes the version numbers from the project version.
configure_file(res/version.h.in ${CMAKE_CURRENT_BINARY_DIR}/res/version.h @ONLY)
target_include_directories(colorclicker PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/res)
# The .rc embeds the manifest; the resource compiler finds the icon and
# manifest beside it.
set_property(SOURCE res/colorclicker.rc APPEND PROPERTY OBJECT_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/res/colorclicker.ico
  ${CMAKE_CURRENT_SOURCE_DIR}/res/colorclicker.manifest)

# A small program with a button of a known colour that logs the clicks it
# gets; the Wine end-to-end test points colorclicker at it.
add_executable(click_target WIN32 tests/win32/click_target.cpp)
target_compile_definitions(click_target PRIVATE ${_win32_definitions})
target_link_libraries(click_target PRIVATE user32 gdi32 shell32)
# Logs every press on the desktop through a low-level mouse hook; may clip
# the cursor as a game does.
add_executable(mouse_watch WIN32 tests/win32/mouse_watch.cpp)
target_compile_definitions(mouse_watch PRIVATE ${_win32_definitions})
target_link_libraries(mouse_watch PRIVATE user32 shell32)

# The backend's screen reads against GDI's GetPixel, and reads coming back
# after the device context broke; run on the Wine test's desktop.
add_executable(screen_read_check tests/win32/screen_read_check.cpp)
target_link_libraries(screen_read_check PRIVATE platform_win32 user32 gdi32)

# The window checked from inside its own process, also run under Wine.
add_executable(window_check tests/win32/window_check.cpp tests/win32/input_check.cpp)
target_link_libraries(window_check PRIVATE ui_win32)

# The scan pass benchmark: run by bench/run under Wine, or as it is on a
# real machine. Not in the zip.
add_executable(win32_scan_bench bench/win32_scan_bench.cpp bench/painted_desktop.cpp)
target_link_libraries(win32_scan_bench PRIVATE platform_win32 tracking)

if(MSVC)
  # UTF-8 sources (the Russian captions), the static runtime, and the
  # manifest from the .rc rather than one made by the linker.
  foreach(_target desktop_seam tracking win32_decisions ui_form platform_win32 ui_win32 colorclicker
                  click_target mouse_watch screen_read_check window_check win32_scan_bench)
    target_compile_options(${_target} PRIVATE /utf-8)
    set_property(TARGET ${_target} PROPERTY MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
  endforeach()
  target_link_options(colorclicker PRIVATE /MANIFEST:NO)
else()
  # No DLL beyond the system's: the C++ runtime, libgcc and winpthread go
  # into the .exe.
  foreach(_target colorclicker click_target mouse_watch screen_read_check window_check
                  win32_scan_bench)
    target_link_options(${_target} PRIVATE -static -static-libgcc -static-libstdc++)
  endforeach()
endif()
