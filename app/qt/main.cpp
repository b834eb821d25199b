// Entry point of the Linux desktop program.
#include <xcb/xcb.h>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "app/qt/application.h"
#include "platform/select_desktop.h"
#include "tracking/exceptions.h"
#include "tracking/messages.h"
#include "ui/qt/tform1.h"

TForm1* Form1 = nullptr;

namespace {
// What the program does when the display or the compositor has gone: one
// line of its own on why, and exit code 1.
[[noreturn]] void DesktopLost(Reason why) {
  std::fprintf(stderr, "colorclicker: %s\n", MessageFor({why, {}, {}}).c_str());
  std::fflush(stderr);
  std::_Exit(1);
}

// Qt ends the process through exit() when the window's connection to the X
// server breaks, with words of its own; ours follow from here. A
// compositor that went takes XWayland with it, which the desktop tells
// first.
struct {
  Desktop* desktop = nullptr;
  xcb_connection_t* window = nullptr;
} inEventLoop;

void SayWhyAtExit() {
  if (!inEventLoop.desktop) return;
  inEventLoop.desktop->TakeEvents();
  if (inEventLoop.window && xcb_connection_has_error(inEventLoop.window))
    DesktopLost(Reason::DisplayLost);
}
}  // namespace

int main(int, char** argv) {
  // The window is an X11 window, under XWayland too: X tells where the
  // pointer is when the user releases it over another window, which a
  // Wayland client cannot learn.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "xcb", 1);
  // Under XWayland, Qt 6.4 crashed (QXcbScreen::setMonitor) when monitors
  // came and went in quick succession; the window needs nothing RandR
  // tells, and the desktop backends follow the monitors themselves.
  if (std::getenv("WAYLAND_DISPLAY")) setenv("QT_XCB_NO_XRANDR", "1", 0);

  DesktopChoice choice = SelectDesktop(DesktopLost);
  if (!choice.desktop) {
    std::fprintf(stderr, "colorclicker: %s\n", MessageFor(*choice.notice).c_str());
    return 1;
  }
  std::fprintf(stderr, "colorclicker: %s\n", choice.name.c_str());
  Desktop& desktop = *choice.desktop;
  std::atexit(SayWhyAtExit);

  int argcForQt = 1;  // command-line arguments change nothing
  std::unique_ptr<TApplication> app;
  RunGuarded(
      [&] {
        app = std::make_unique<TApplication>(argcForQt, argv);
        if (choice.notice) app->Warn(MessageFor(*choice.notice));
        QTimer desktopEvents;
        QObject::connect(&desktopEvents, &QTimer::timeout, [&desktop] { desktop.TakeEvents(); });
        if (desktop.EventIntervalMs() > 0) desktopEvents.start(desktop.EventIntervalMs());
        TForm1 form(desktop, [&app](const Exception& error) { app->ShowException(error); });
        Form1 = &form;
        form.show();
        form.Begin(desktop,
                   [&app, &form](const Notice& notice) { app->Tell(MessageFor(notice), &form); });
        if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>())
          inEventLoop.window = x11->connection();
        inEventLoop.desktop = &desktop;
        app->exec();
        // While the window it tells through still exists.
        desktop.End();
        Form1 = nullptr;
      },
      [&app](const Exception& error) {
        if (app) app->ShowException(error);
      });
  inEventLoop = {};
  // Again after an exception out of the event loop, while the application
  // still exists: a portal session is closed over its D-Bus connection.
  desktop.End();
  choice.desktop.reset();
  return 0;
}
