#pragma once
// Every text the program shows the user, in Russian, but the window's
// title and fixed captions (those are in ui/form_layout.h).
#include <string>

#include "platform/notice.h"

// The text the interval edit starts with; leaving it there keeps the
// current interval.
inline constexpr const char* kIntervalPlaceholder = "Интервал мс";

// The error for a text that is not an integer.
std::string NotAnIntegerMessage(const std::string& text);

// What to tell the user of a notice from the desktop.
std::string MessageFor(const Notice& notice);
