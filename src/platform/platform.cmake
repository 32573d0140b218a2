# The desktop backends, picked in this one place. The Qt backend is the real desktop; it
# reaches D-Bus only through its own sources, the sound (SDL) only as the module it loads on
# first use, and X11 only through the hook of NativeDesktop.h, which whoever links both
# installs (x11::installNativeDesktop); without it the backend does what Qt alone can.
add_library(kadrill_platform_qt STATIC
  platform/posix/SystemClock.cpp
  platform/qt/SecondEdgeTimer.cpp
  platform/qt/QtDispatcher.cpp
  platform/qt/QtTimer.cpp
  platform/qt/QtConvert.cpp
  platform/qt/QtSurface.cpp
  platform/qt/QtControls.cpp
  platform/qt/QtContainer.cpp
  platform/qt/QtWindow.cpp
  platform/qt/QtTrayIcon.cpp
  platform/qt/QtMessageBoxes.cpp
  platform/qt/QtWindowSystem.cpp
  platform/qt/QtFileSystem.cpp
  platform/qt/QtFileDialogs.cpp
  platform/qt/QtProgramStarter.cpp
  platform/qt/QtAutostart.cpp
  platform/qt/FirstUseHelp.cpp
  platform/qt/FirstUseMediaControl.cpp
  platform/qt/FontConfigWarmUp.cpp
)
# Fontconfig directly only to read its configuration early (FontConfigWarmUp).
find_package(Fontconfig REQUIRED)
target_link_libraries(kadrill_platform_qt
  PUBLIC kadrill_platform_core kadrill_platform_posix kadrill_assets Qt6::Widgets kadrill_log
  PRIVATE kadrill_platform_dbus Fontconfig::Fontconfig kadrill_warnings)

add_subdirectory(platform/x11)
add_subdirectory(platform/sdl)
add_subdirectory(platform/dbus)
