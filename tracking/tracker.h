#pragma once
// The tracking settings and everything done with them: corner and colour
// capture, start of tracking and the scan pass. Front ends forward their
// handlers here.
#include <cstdint>
#include <memory>

#include "platform/desktop.h"
#include "tracking/controls.h"
#include "tracking/interval_timer.h"
#include "tracking/mouse_clicker.h"

struct TRect {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
};

// The window's controls that tracking reads and writes.
struct TrackingControls {
  TextControl& Edit1;  // left X
  TextControl& Edit2;  // top Y
  TextControl& Edit3;  // right X
  TextControl& Edit4;  // bottom Y
  ColorEdit& Edit5;    // target colour, shown as background and decimal text
  TextControl& Edit6;  // interval in ms
  TextControl& Label3; // area size
  TTimer& Timer1;
};

// The text Edit6 starts with; leaving it there keeps the current interval.
inline constexpr const char* kIntervalPlaceholder = "Интервал мс";

class Tracker {
 public:
  Tracker(Desktop& desktop, const TrackingControls& controls)
      : Clicker(desktop), desktop_(desktop), controls_(controls) {}

  void CaptureTopLeft();
  void CaptureBottomRight();
  void CaptureColor();
  // Throws EConvertError for an interval or corner text that is not an integer.
  void StartTracking();
  void ScanPass();

  TRect TrackingArea;
  // Taken at every start of tracking; null until then.
  std::unique_ptr<ScreenContext> ScreenDC;
  MouseClicker Clicker;

 private:
  void CaptureCorner(TextControl& xEdit, TextControl& yEdit, std::int32_t& x, std::int32_t& y);
  bool RunMatches(std::int32_t x, std::int32_t y);
  void ClickAt(std::int32_t x, std::int32_t y);

  Desktop& desktop_;
  TrackingControls controls_;
};
