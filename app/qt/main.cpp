// Entry point of the Linux desktop program.
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/qt/application.h"
#include "platform/select_desktop.h"
#include "tracking/exceptions.h"
#include "ui/qt/tform1.h"

TForm1* Form1 = nullptr;

namespace {
[[noreturn]] void CompositorLost() {
  std::fprintf(stderr,
               "colorclicker: композитор Wayland закрыл соединение (сеанс завершён?). "
               "Программа не может читать экран и нажимать мышью и завершает работу.\n");
  std::fflush(stderr);
  std::_Exit(1);
}

// How often the program looks at what the compositor sent while idle.
constexpr int kCompositorPollMs = 250;
}  // namespace

int main(int, char** argv) {
  // The window is an X11 window, under XWayland too: X tells where the
  // pointer is when the user releases it over another window, which a
  // Wayland client cannot learn.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "xcb", 1);

  DesktopChoice choice = SelectDesktop(CompositorLost);
  if (!choice.desktop) {
    std::fprintf(stderr, "colorclicker: %s\n", choice.error.c_str());
    return 1;
  }
  std::fprintf(stderr, "colorclicker: %s\n", choice.name.c_str());
  static std::function<void()> takeEvents;
  takeEvents = choice.takeEvents;
  // Qt ends the program itself when XWayland goes with the compositor;
  // what is taken here then says why.
  if (takeEvents) std::atexit([] {
    if (takeEvents) takeEvents();
  });

  int argcForQt = 1;  // command-line arguments change nothing
  std::unique_ptr<TApplication> app;
  try {
    app = std::make_unique<TApplication>(argcForQt, argv);
    if (!choice.warning.empty()) {
      std::fprintf(stderr, "colorclicker: %s\n", choice.warning.c_str());
      QMessageBox::warning(nullptr, app->applicationName(), QString::fromStdString(choice.warning));
    }
    QTimer compositorPoll;
    if (takeEvents) {
      QObject::connect(&compositorPoll, &QTimer::timeout, [] { takeEvents(); });
      compositorPoll.start(kCompositorPollMs);
    }
    TForm1 form(*choice.desktop);
    Form1 = &form;
    form.show();
    app->exec();
    Form1 = nullptr;
  } catch (const Exception& error) {
    if (app) app->ShowException(error);
  } catch (...) {
    if (app) app->ShowException(Exception(""));
  }
  takeEvents = nullptr;
  return 0;
}
