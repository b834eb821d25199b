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
