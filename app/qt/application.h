#pragma once
#include <QApplication>

class Exception;

// The application object: an exception that escapes an event handler is
// shown to the user and the event loop goes on.
class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
  void ShowException(const Exception& error);
};
