#include "tracking/conversions.h"
#include "tracking/tracker.h"

void Tracker::StartTracking() {
  desktop_.RequestAccess();
  const std::string interval = controls_.Edit6.GetText();
  // Negative numbers wrap modulo 2^32 into very long intervals.
  if (interval != kIntervalPlaceholder)
    controls_.Timer1.SetInterval(static_cast<std::uint32_t>(StrToInt(interval)));
  controls_.Timer1.SetEnabled(true);

  // The size shows what the edits say. Converted one statement at a time in
  // this order, so the first bad text named in the error is the bottom Y
  // whatever order a compiler evaluates operands in. Differences in 64 bits,
  // so any two 32-bit corners give their true difference.
  const std::int64_t bottom = StrToInt(controls_.Edit4.GetText());
  const std::int64_t top = StrToInt(controls_.Edit2.GetText());
  const std::int64_t right = StrToInt(controls_.Edit3.GetText());
  const std::int64_t left = StrToInt(controls_.Edit1.GetText());
  controls_.Label3.SetText(IntToStr(right - left) + " * " + IntToStr(bottom - top));

  ScreenDC = desktop_.GetDC();  // the previous handle is released here
}
