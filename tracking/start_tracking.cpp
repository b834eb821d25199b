#include "tracking/conversions.h"
#include "tracking/messages.h"
#include "tracking/tracker.h"

void Tracker::StartTracking() {
  desktop_.RequestAccess();
  const std::string interval = controls_.Interval.GetText();
  // Negative numbers wrap modulo 2^32 into very long intervals.
  if (interval != kIntervalPlaceholder)
    controls_.ScanTimer.SetInterval(static_cast<std::uint32_t>(StrToInt(interval)));
  controls_.ScanTimer.SetEnabled(true);

  // The size shows what the edits say. Converted one statement at a time in
  // this order, so the first bad text named in the error is the bottom Y
  // whatever order a compiler evaluates operands in. Differences in 64 bits,
  // so any two 32-bit corners give their true difference.
  const std::int64_t bottom = StrToInt(controls_.BottomY.GetText());
  const std::int64_t top = StrToInt(controls_.TopY.GetText());
  const std::int64_t right = StrToInt(controls_.RightX.GetText());
  const std::int64_t left = StrToInt(controls_.LeftX.GetText());
  controls_.AreaSize.SetText(IntToStr(right - left) + " * " + IntToStr(bottom - top));

  ScreenDC = desktop_.GetDC();  // the previous handle is released here
  dropped_ = toldOfDropped_ = 0;
}
