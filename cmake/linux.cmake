find_package(X11 REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
set(CMAKE_AUTOMOC ON)

if(NOT X11_XTest_FOUND OR NOT X11_Xext_FOUND OR NOT X11_Xrender_FOUND)
  message(FATAL_ERROR "libxtst-dev, libxext-dev and libxrender-dev are needed")
endif()

add_library(platform_x11 STATIC platform/x11/x11_desktop.cpp)
target_link_libraries(platform_x11 PUBLIC tracking PRIVATE X11::X11 X11::Xtst X11::Xext X11::Xrender)

add_library(ui_qt STATIC ui/qt/tform1.cpp ui/qt/qt_controls.cpp)
target_link_libraries(ui_qt PUBLIC tracking Qt6::Widgets)

add_library(app_qt STATIC app/qt/application.cpp)
target_link_libraries(app_qt PUBLIC tracking Qt6::Widgets)

add_executable(colorclicker app/qt/main.cpp)
target_link_libraries(colorclicker PRIVATE app_qt ui_qt platform_x11 X11::xcb)

include(CTest)
if(BUILD_TESTING)
  add_subdirectory(tests)
endif()

add_subdirectory(bench)
