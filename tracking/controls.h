#pragma once
// What the tracking logic needs of the window's controls; each front end
// implements these over its own widgets.
#include <string>

#include "platform/desktop.h"

// The framework's colour type; values read from the screen are stored unchanged.
using TColor = Colorref;
// A reference to the system window colour (top byte set), which no pixel
// read returns, so an uncaptured target never matches.
constexpr TColor clWindow = 0xFF000005u;

class TextControl {
 public:
  virtual ~TextControl() = default;
  virtual std::string GetText() const = 0;  // UTF-8
  virtual void SetText(const std::string& text) = 0;
};

class ColorEdit : public TextControl {
 public:
  virtual TColor GetColor() const = 0;
  virtual void SetColor(TColor color) = 0;
};
