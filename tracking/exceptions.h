#pragma once
#include <stdexcept>
#include <string>

// The error type handlers may raise; the application shows its Message.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// A text that is not a whole signed 32-bit decimal number.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// Runs an event handler; whatever escapes it is shown through `show` as an
// Exception, with the message it carries, and goes no further: unwinding
// through the toolkit's own frames would leak what they hold.
template <class Handler, class Show>
void RunGuarded(Handler&& handler, Show&& show) {
  try {
    handler();
  } catch (const Exception& e) {
    show(e);
  } catch (const std::exception& e) {
    show(Exception(e.what()));
  } catch (...) {
    show(Exception(""));
  }
}
