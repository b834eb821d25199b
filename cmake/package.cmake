# What a user installs, made by scripts/package with CPack: on Linux the
# Debian package (program, menu entry, icons, AppStream data, man page,
# copyright), on Windows a zip with the .exe, the README and the licence.
# Everything takes its version from project().

# The project has no public home yet: until it has one, the AppStream id and
# the addresses use a name in the reserved .example domain. Set them here
# once; the AppStream id must not change after the first release.
set(COLORCLICKER_APP_ID example.colorclicker.colorclicker)
set(COLORCLICKER_HOMEPAGE https://colorclicker.example)
set(COLORCLICKER_SCREENSHOT_URL ${COLORCLICKER_HOMEPAGE}/screenshot-linux.png)

set(CPACK_PACKAGE_NAME colorclicker)
set(CPACK_PACKAGE_VENDOR "colorclicker developers")
set(CPACK_PACKAGE_CONTACT "colorclicker developers <developers@colorclicker.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "clicks wherever a chosen colour shows up on the screen")
set(CPACK_PACKAGE_DESCRIPTION "A small desktop tool that watches a rectangle of the screen and
clicks wherever a chosen colour shows up in it. The corners and the colour
are picked by pointing at the screen; on every tick of a timer the
rectangle is scanned on a coarse grid and every point where the colour is
found gets a left click. The interface is in Russian. It works on X11,
on wlroots Wayland compositors (sway, Hyprland) and, through the desktop
portal once the user allows it, on GNOME and KDE Plasma under Wayland;
under other Wayland compositors it sees and clicks only X11 windows.")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)

if(WIN32)
  install(TARGETS colorclicker RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME colorclicker-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  include(CPack)
  return()
endif()

include(GNUInstallDirs)
set(_pkg ${PROJECT_BINARY_DIR}/package)
set(_src ${PROJECT_SOURCE_DIR}/packaging)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The hicolor icons are the images of the Windows icon, taken out of
# res/colorclicker.ico; 128 px, which it lacks, is the 256 px one scaled.
find_program(COLORCLICKER_ICOTOOL icotool REQUIRED)
find_program(COLORCLICKER_CONVERT NAMES magick convert REQUIRED)
set(_ico ${PROJECT_SOURCE_DIR}/res/colorclicker.ico)
file(MAKE_DIRECTORY ${_pkg}/icons)
set(_icons)
foreach(size 16 24 32 48 256)
  add_custom_command(OUTPUT ${_pkg}/icons/${size}.png
    COMMAND ${COLORCLICKER_ICOTOOL} -x -w ${size} -o ${_pkg}/icons/${size}.png ${_ico}
    DEPENDS ${_ico} VERBATIM)
  list(APPEND _icons ${_pkg}/icons/${size}.png)
endforeach()
add_custom_command(OUTPUT ${_pkg}/icons/128.png
  COMMAND ${COLORCLICKER_CONVERT} ${_pkg}/icons/256.png -resize 128x128 -define png:color-type=6
          ${_pkg}/icons/128.png
  DEPENDS ${_pkg}/icons/256.png VERBATIM)
list(APPEND _icons ${_pkg}/icons/128.png)

# Debian wants the man page and the changelog compressed, without a time
# stamp so that the package is the same on every build.
execute_process(COMMAND date -R -u -d ${COLORCLICKER_RELEASE_DATE}
  OUTPUT_VARIABLE COLORCLICKER_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(${_src}/colorclicker.1.in ${_pkg}/colorclicker.1 @ONLY)
configure_file(${_src}/changelog.in ${_pkg}/changelog @ONLY)
foreach(name colorclicker.1 changelog)
  add_custom_command(OUTPUT ${_pkg}/${name}.gz
    COMMAND gzip -9nkf ${_pkg}/${name}
    DEPENDS ${_pkg}/${name} VERBATIM)
endforeach()
add_custom_target(package_data ALL DEPENDS ${_icons} ${_pkg}/colorclicker.1.gz ${_pkg}/changelog.gz)

configure_file(${_src}/colorclicker.metainfo.xml.in ${_pkg}/${COLORCLICKER_APP_ID}.metainfo.xml @ONLY)

# The copyright file in Debian's format holds the licence text of LICENSE,
# indented, with its blank lines as " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE _license)
string(FIND "${_license}" "Permission is hereby granted" _start)
string(SUBSTRING "${_license}" ${_start} -1 _license)
string(STRIP "${_license}" _license)
string(REPLACE "\n\n" "\n.\n" _license "${_license}")
string(REPLACE "\n" "\n " COLORCLICKER_LICENSE_BODY " ${_license}")
configure_file(${_src}/copyright.in ${_pkg}/copyright @ONLY)

install(TARGETS colorclicker RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${_src}/colorclicker.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 24 32 48 128 256)
  install(FILES ${_pkg}/icons/${size}.png RENAME colorclicker.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${_pkg}/${COLORCLICKER_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_pkg}/colorclicker.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_pkg}/copyright ${_pkg}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${COLORCLICKER_HOMEPAGE})
# The libraries come from the binary; the X11 platform plugin that Qt loads
# at run time does not show there, so it is named, and so is a font of
# Tahoma's width: with DejaVu Sans alone the fixed layout's texts run into
# each other.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
set(CPACK_STRIP_FILES ON)
include(CPack)
