#include "app/qt/application.h"

#include <QMessageBox>

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
