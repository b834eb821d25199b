find_package(X11 REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Widgets Test DBus)
set(CMAKE_AUTOMOC ON)

if(NOT X11_XTest_FOUND OR NOT X11_Xext_FOUND OR NOT X11_Xrender_FOUND)
  message(FATAL_ERROR "libxtst-dev, libxext-dev and libxrender-dev are needed")
endif()

# The screen-space mapping on its own: pure code, unit-tested.
add_library(screen_layout STATIC platform/screen_layout.cpp platform/output_scale.cpp)
target_link_libraries(screen_layout PUBLIC desktop_seam)

# X11 in layers. At the bottom, all the Wayland backends need of X: what it
# knows of the pointer and the windows under it (XWayland's knowledge), on
# a plain Xlib connection, and what happens when such a connection breaks.
add_library(x11_pointer STATIC
  platform/x11/connection_lost.cpp
  platform/x11/error_trap.cpp
  platform/x11/pointer_queries.cpp
  platform/x11/xwayland_pointer.cpp)
target_link_libraries(x11_pointer PUBLIC desktop_seam screen_layout PRIVATE X11::X11)
# Pixels of X visuals to COLORREF: pure code, unit-tested without a server.
add_library(x11_pixel_format STATIC platform/x11/pixel_format.cpp)
target_link_libraries(x11_pixel_format PUBLIC desktop_seam)
# The X11 desktop on top: its connection, the screen reader and its SHM
# images, XTest for the pointer.
add_library(platform_x11 STATIC
  platform/x11/shm_image.cpp
  platform/x11/x11_connection.cpp
  platform/x11/screen_reader.cpp
  platform/x11/x11_desktop.cpp)
target_link_libraries(platform_x11 PUBLIC desktop_seam x11_pointer
  PRIVATE x11_pixel_format X11::X11 X11::Xtst X11::Xext X11::Xrender)

# The wlroots backend: wayland-client and the protocols it speaks, turned
# into C by wayland-scanner: xdg-output from wayland-protocols, the three wlr
# ones from platform/wlroots/protocols (Debian has them only inside a Rust
# crate's sources, with some forty other packages).
find_package(PkgConfig REQUIRED)
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
if(NOT WAYLAND_PROTOCOLS_DIR)
  message(FATAL_ERROR "wayland-protocols is needed")
endif()
set(WLR_PROTOCOLS_DIR ${CMAKE_CURRENT_SOURCE_DIR}/platform/wlroots/protocols)
set(_protocol_dir ${CMAKE_CURRENT_BINARY_DIR}/wayland-protocols)
file(MAKE_DIRECTORY ${_protocol_dir})
set(_protocol_sources)
foreach(_xml
    ${WLR_PROTOCOLS_DIR}/wlr-output-management-unstable-v1.xml
    ${WLR_PROTOCOLS_DIR}/wlr-screencopy-unstable-v1.xml
    ${WLR_PROTOCOLS_DIR}/wlr-virtual-pointer-unstable-v1.xml
    ${WAYLAND_PROTOCOLS_DIR}/unstable/xdg-output/xdg-output-unstable-v1.xml)
  get_filename_component(_name ${_xml} NAME_WE)
  add_custom_command(
    OUTPUT ${_protocol_dir}/${_name}-client-protocol.h ${_protocol_dir}/${_name}-protocol.c
    COMMAND ${WAYLAND_SCANNER} client-header ${_xml} ${_protocol_dir}/${_name}-client-protocol.h
    COMMAND ${WAYLAND_SCANNER} private-code ${_xml} ${_protocol_dir}/${_name}-protocol.c
    DEPENDS ${_xml})
  list(APPEND _protocol_sources ${_protocol_dir}/${_name}-client-protocol.h
    ${_protocol_dir}/${_name}-protocol.c)
endforeach()
enable_language(C)
add_library(wayland_protocols STATIC ${_protocol_sources})
target_include_directories(wayland_protocols PUBLIC ${_protocol_dir})
target_link_libraries(wayland_protocols PUBLIC PkgConfig::WAYLAND_CLIENT)

# Where an output's pixels lie in its copies and what their words mean:
# pure code, unit-tested.
add_library(output_geometry STATIC platform/wlroots/output_geometry.cpp
  platform/wlroots/copy_format.cpp)
target_include_directories(output_geometry PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(output_geometry PUBLIC PkgConfig::WAYLAND_CLIENT)

add_library(platform_wlroots STATIC
  platform/wlroots/wayland_client.cpp
  platform/wlroots/output_capture.cpp
  platform/wlroots/output_copies.cpp
  platform/wlroots/output_heads.cpp
  platform/wlroots/pointer_painting.cpp
  platform/wlroots/virtual_pointer.cpp
  platform/wlroots/wlroots_desktop.cpp)
target_link_libraries(platform_wlroots PUBLIC desktop_seam screen_layout
  PRIVATE x11_pointer wayland_protocols output_geometry)

# The desktop portal backend (GNOME, KDE Plasma): D-Bus through Qt, the
# screen through libpipewire.
pkg_check_modules(PIPEWIRE REQUIRED IMPORTED_TARGET libpipewire-0.3)
add_library(platform_portal STATIC
  platform/portal/stream_frame.cpp
  platform/portal/pipewire_streams.cpp
  platform/portal/portal_steps.cpp
  platform/portal/portal_replies.cpp
  platform/portal/portal_session.cpp
  platform/portal/portal_layout.cpp
  platform/portal/pointer_puts.cpp
  platform/portal/portal_desktop.cpp)
target_link_libraries(platform_portal PUBLIC desktop_seam screen_layout Qt6::DBus
  PRIVATE x11_pointer PkgConfig::PIPEWIRE)

# The one place that picks the backend at start.
add_library(platform_select STATIC platform/select_desktop.cpp)
target_link_libraries(platform_select PUBLIC desktop_seam
  PRIVATE platform_x11 platform_wlroots platform_portal)

add_library(ui_qt STATIC ui/qt/tform1.cpp ui/qt/qt_controls.cpp)
target_link_libraries(ui_qt PUBLIC ui_form Qt6::Widgets)

add_library(app_qt STATIC app/qt/application.cpp)
target_link_libraries(app_qt PUBLIC tracking Qt6::Widgets)

add_executable(colorclicker app/qt/main.cpp)
target_link_libraries(colorclicker PRIVATE app_qt ui_qt platform_select X11::xcb)

include(CTest)
if(BUILD_TESTING)
  add_subdirectory(tests)
endif()

add_subdirectory(bench)
