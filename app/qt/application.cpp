#include "app/qt/application.h"

#include <QMessageBox>

#include "tracking/exceptions.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("colorclicker"));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const Exception& error) {
    ShowException(error);
  } catch (const std::exception& error) {
    ShowException(Exception(error.what()));
  } catch (...) {
    ShowException(Exception(""));
  }
  return false;
}

void TApplication::ShowException(const Exception& error) {
  QMessageBox::critical(activeWindow(), applicationName(), QString::fromStdString(error.Message()));
}
