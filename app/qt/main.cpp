// Entry point of the Linux desktop program.
#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "app/qt/application.h"
#include "platform/select_desktop.h"
#include "platform/x11/x11_desktop.h"
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

std::function<void()> takeEvents;
// The window's connection to the X server (Qt's): Qt ends the process
// through exit() when it breaks, with English words of its own.
xcb_connection_t* windowConnection = nullptr;
bool inEventLoop = false;

void SayDisplayLost() {
  static bool said = false;
  if (said) return;
  said = true;
  std::fputs("colorclicker: соединение с X-дисплеем потеряно, программа завершается.\n", stderr);
}

// The user gets one line of ours on why the program ended: a compositor
// that went away takes XWayland with it, and what is taken from it then
// says so; else the X server went.
void SayWhyAtExit() {
  if (!inEventLoop) return;
  if (takeEvents) takeEvents();
  if (windowConnection && xcb_connection_has_error(windowConnection)) SayDisplayLost();
}
}  // namespace

int main(int, char** argv) {
  // The window is an X11 window, under XWayland too: X tells where the
  // pointer is when the user releases it over another window, which a
  // Wayland client cannot learn.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "xcb", 1);

  // Set first: under a wlroots compositor the XWayland connection gets a
  // handler of its own that says the compositor went.
  X11Desktop::OnConnectionLost(SayDisplayLost);
  DesktopChoice choice = SelectDesktop(CompositorLost);
  if (!choice.desktop) {
    std::fprintf(stderr, "colorclicker: %s\n", choice.error.c_str());
    return 1;
  }
  std::fprintf(stderr, "colorclicker: %s\n", choice.name.c_str());
  takeEvents = choice.takeEvents;
  std::atexit(SayWhyAtExit);

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
    TForm1 form(*choice.desktop, [&app](const Exception& error) { app->ShowException(error); });
    Form1 = &form;
    form.show();
    // Not modal: the window stays usable under the message, and its start
    // button asks for access again.
    if (choice.begin)
      choice.begin([&app, &form](const std::string& message) {
        std::fprintf(stderr, "colorclicker: %s\n", message.c_str());
        auto* box = new QMessageBox(QMessageBox::Warning, app->applicationName(),
                                    QString::fromStdString(message), QMessageBox::Ok, &form);
        box->setAttribute(Qt::WA_DeleteOnClose);
        // Closing the window ends the program, the message open or not.
        box->setAttribute(Qt::WA_QuitOnClose, false);
        box->show();
      });
    if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>())
      windowConnection = x11->connection();
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
  takeEvents = nullptr;
  // While the application still exists: a portal session is closed over
  // its D-Bus connection.
  choice.desktop.reset();
  return 0;
}
