#include "tracking/conversions.h"
#include "tracking/tracker.h"

// Three separate cursor reads, as the edits and the stored corner are
// written one after another.
void Tracker::CaptureCorner(TextControl& xEdit, TextControl& yEdit, std::int32_t& x,
                            std::int32_t& y) {
  xEdit.SetText(IntToStr(desktop_.GetCursorPos().x));
  yEdit.SetText(IntToStr(desktop_.GetCursorPos().y));
  const ScreenPoint corner = desktop_.GetCursorPos();
  x = corner.x;
  y = corner.y;
}

void Tracker::CaptureTopLeft() {
  CaptureCorner(controls_.LeftX, controls_.TopY, TrackingArea.Left, TrackingArea.Top);
}

void Tracker::CaptureBottomRight() {
  CaptureCorner(controls_.RightX, controls_.BottomY, TrackingArea.Right, TrackingArea.Bottom);
}

void Tracker::CaptureColor() {
  const std::int32_t y = desktop_.GetCursorPos().y;
  const std::int32_t x = desktop_.GetCursorPos().x;
  // A handle of its own for the one read, released right after it.
  const std::unique_ptr<ScreenContext> screen = desktop_.GetDC();
  const Colorref color = screen ? screen->GetPixel(x, y) : CLR_INVALID;
  controls_.TargetColor.SetColor(color);
  // Shown as signed decimal: a failed read reads -1.
  controls_.TargetColor.SetText(
      IntToStr(static_cast<std::int32_t>(controls_.TargetColor.GetColor())));
}
