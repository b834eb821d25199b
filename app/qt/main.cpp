// Entry point of the X11 desktop program.
#include <QMessageBox>
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

  int argcForQt = 1;  // command-line arguments change nothing
  std::unique_ptr<TApplication> app;
  try {
    app = std::make_unique<TApplication>(argcForQt, argv);
    if (wayland) {
      std::fprintf(stderr, "colorclicker: %s\n", kWaylandWarning);
      QMessageBox::warning(nullptr, app->applicationName(), QString::fromUtf8(kWaylandWarning));
    }
    TForm1 form(*desktop);
    Form1 = &form;
    form.show();
    app->exec();
    Form1 = nullptr;
  } catch (const Exception& error) {
    if (app) app->ShowException(error);
  } catch (...) {
    if (app) app->ShowException(Exception(""));
  }
  return 0;
}
