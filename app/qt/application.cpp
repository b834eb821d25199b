#include "app/qt/application.h"

#include <QMessageBox>
#include <cstdio>

#include "tracking/exceptions.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("colorclicker"));
}

// The window's handlers show their own errors; this catches what escapes
// anything else run from the event loop.
bool TApplication::notify(QObject* receiver, QEvent* event) {
  bool handled = false;
  RunGuarded([&] { handled = QApplication::notify(receiver, event); },
             [this](const Exception& error) { ShowException(error); });
  return handled;
}

void TApplication::ShowException(const Exception& error) {
  QMessageBox::critical(activeWindow(), applicationName(), QString::fromStdString(error.Message()));
}

void TApplication::Warn(const std::string& message) {
  std::fprintf(stderr, "colorclicker: %s\n", message.c_str());
  QMessageBox::warning(nullptr, applicationName(), QString::fromStdString(message));
}

// Not modal: the window stays usable under the message, and its start
// button may be what the message asks the user to press.
void TApplication::Tell(const std::string& message, QWidget* window) {
  std::fprintf(stderr, "colorclicker: %s\n", message.c_str());
  auto* box = new QMessageBox(QMessageBox::Warning, applicationName(),
                              QString::fromStdString(message), QMessageBox::Ok, window);
  box->setAttribute(Qt::WA_DeleteOnClose);
  // Closing the window ends the program, the message open or not.
  box->setAttribute(Qt::WA_QuitOnClose, false);
  // Above the windows tracking clicks, which the desktop raises, and with
  // the keyboard: Return closes it and frees the start button it may cover.
  box->setWindowFlag(Qt::WindowStaysOnTopHint);
  box->show();
  box->raise();
  box->activateWindow();
}
