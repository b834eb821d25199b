#pragma once
#include <QApplication>
#include <string>

class Exception;

// The application object: an exception that escapes an event handler is
// shown to the user and the event loop goes on.
class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
  void ShowException(const Exception& error);
  // A warning the user reads before going on (also on stderr).
  void Warn(const std::string& message);
  // A warning over `window` that leaves it usable (also on stderr).
  void Tell(const std::string& message, QWidget* window);
};
