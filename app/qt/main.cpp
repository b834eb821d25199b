// Entry point of the X11 desktop program.
#include <QGuiApplication>
#include <QMessageBox>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/qt/application.h"
#include "platform/x11/x11_desktop.h"
#include "tracking/exceptions.h"
#include "ui/qt/tform1.h"

TForm1* Form1 = nullptr;

namespace {
bool IsWaylandSession() {
  const char* type = std::getenv("XDG_SESSION_TYPE");
  return (type && std::strcmp(type, "wayland") == 0) || std::getenv("WAYLAND_DISPLAY");
}

// The window's connection (Qt's) and the screen's (ours) end the process
// with code 1 when the server goes away, each with English words of its own;
// the user gets one line of ours as well.
xcb_connection_t* windowConnection = nullptr;
bool inEventLoop = false;

void SayDisplayLost() {
  static bool said = false;
  if (said) return;
  said = true;
  std::fputs("colorclicker: соединение с X-дисплеем потеряно, программа завершается.\n", stderr);
}

// Qt ends the process through exit() when its connection breaks.
void SayDisplayLostAtExit() {
  if (inEventLoop && windowConnection && xcb_connection_has_error(windowConnection))
    SayDisplayLost();
}

const char* const kWaylandWarning =
    "Это сеанс Wayland. Программа читает экран и нажимает мышью через X11 (XWayland): "
    "она видит и нажимает только окна X11-приложений, окна Wayland для неё не видны.";
}  // namespace

int main(int, char** argv) {
  const bool wayland = IsWaylandSession();
  // The window lives on the same X server that is read and clicked, so its
  // coordinates and the screen's are one space.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "xcb", 1);

  std::unique_ptr<X11Desktop> desktop = X11Desktop::Open();
  if (!desktop) {
    const char* display = std::getenv("DISPLAY");
    std::fprintf(stderr,
                 "colorclicker: нет X-дисплея (DISPLAY=%s). Программе нужен рабочий стол X11 "
                 "с расширением XTEST.\n",
                 display ? display : "не задан");
    return 1;
  }
  X11Desktop::OnConnectionLost(SayDisplayLost);

  int argcForQt = 1;  // command-line arguments change nothing
  std::unique_ptr<TApplication> app;
  try {
    app = std::make_unique<TApplication>(argcForQt, argv);
    if (wayland) {
      std::fprintf(stderr, "colorclicker: %s\n", kWaylandWarning);
      QMessageBox::warning(nullptr, app->applicationName(), QString::fromUtf8(kWaylandWarning));
    }
    TForm1 form(*desktop, [&app](const Exception& error) { app->ShowException(error); });
    Form1 = &form;
    form.show();
    if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>()) {
      windowConnection = x11->connection();
      std::atexit(SayDisplayLostAtExit);
    }
    inEventLoop = true;
    app->exec();
    inEventLoop = false;
    Form1 = nullptr;
  } catch (const Exception& error) {
    if (app) app->ShowException(error);
  } catch (const std::exception& error) {
    if (app) app->ShowException(Exception(error.what()));
  } catch (...) {
    if (app) app->ShowException(Exception(""));
  }
  return 0;
}
