#include "tracking/conversions.h"

#include <limits>

#include "tracking/exceptions.h"
#include "tracking/messages.h"

namespace {
[[noreturn]] void ThrowNotAnInteger(const std::string& text) {
  throw EConvertError(NotAnIntegerMessage(text));
}
}  // namespace

std::int32_t StrToInt(const std::string& text) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  if (pos == text.size()) ThrowNotAnInteger(text);

  // Accumulate as a negative number so the most negative value fits too.
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  std::int64_t value = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c < '0' || c > '9') ThrowNotAnInteger(text);
    value = value * 10 - (c - '0');
    if (value < kMin) ThrowNotAnInteger(text);
  }
  if (!negative) {
    value = -value;
    if (value > std::numeric_limits<std::int32_t>::max()) ThrowNotAnInteger(text);
  }
  return static_cast<std::int32_t>(value);
}

std::string IntToStr(std::int64_t value) { return std::to_string(value); }
