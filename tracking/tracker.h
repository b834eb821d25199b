#pragma once
// The tracking settings and everything done with them: corner and colour
// capture, start of tracking and the scan pass. Front ends forward their
// handlers here.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/desktop.h"
#include "tracking/controls.h"
#include "tracking/interval_timer.h"
#include "tracking/mouse_clicker.h"
#include "tracking/scan_grid.h"

// The window's controls that tracking reads and writes.
struct TrackingControls {
  TextControl& LeftX;
  TextControl& TopY;
  TextControl& RightX;
  TextControl& BottomY;
  ColorEdit& TargetColor;  // shown as its background and as decimal text
  TextControl& Interval;   // ms
  TextControl& AreaSize;
  TTimer& ScanTimer;
};

// What one scan pass did.
struct PassReport {
  int clicks = 0;
  int skipped = 0;  // matching points left alone (see ClickAt)
};

class Tracker {
 public:
  Tracker(Desktop& desktop, const TrackingControls& controls)
      : Clicker(desktop), desktop_(desktop), controls_(controls) {}

  void CaptureTopLeft();
  void CaptureBottomRight();
  void CaptureColor();
  // Throws EConvertError for an interval or corner text that is not an integer.
  void StartTracking();
  // One pass over the grid of TrackingArea, clicking every point whose run
  // has the target colour. Reads the screen in bulk, and again after every
  // click, so it clicks exactly where ScanPassPerSample would.
  PassReport ScanPass();
  // The same pass with one screen read per sample, stopping at the first
  // sample of a point that differs: the reference ScanPass is held to.
  PassReport ScanPassPerSample();
  // Most samples ScanPass asks the screen for at once; a larger area is read
  // in pieces. At least one run.
  void SetScanChunkLimit(std::size_t samples);
  // Where the passes tell the user what they could not do; told nothing
  // until given.
  void TellUserWith(TellUser tellUser) { tellUser_ = std::move(tellUser); }

  TRect TrackingArea;
  // Taken at every start of tracking; null until then.
  std::unique_ptr<ScreenContext> ScreenDC;
  MouseClicker Clicker;

 private:
  void CaptureCorner(TextControl& xEdit, TextControl& yEdit, std::int32_t& x, std::int32_t& y);
  // False when the pass must neither read nor click.
  bool BeginPass();
  bool RunMatches(std::int32_t x, std::int32_t y);
  // False when the point was skipped: nothing was sent, or the system
  // refused what was.
  bool ClickAt(std::int32_t x, std::int32_t y);
  void Read(const SampleGrid& grid, std::vector<Colorref>& buffer);
  // A point skipped because the system drops or refused our click there.
  void Dropped(Reason why);
  // Once a pass is over: what it could not do, each reason told once per
  // start of tracking.
  void TellWhatWasDropped();

  Desktop& desktop_;
  TrackingControls controls_;
  TellUser tellUser_;
  // Why points were skipped because the system drops or refused our clicks
  // there, and what the user was told of since tracking last started: one
  // bit a Reason.
  std::uint64_t dropped_ = 0, toldOfDropped_ = 0;
  // The last click's events were still queued when the wait for them
  // ended: no more clicks until they are handled.
  bool inputQueued_ = false;
  // Samples of the latest bulk reads; they grow with the area and never
  // shrink, so passes over the same area allocate nothing.
  std::vector<Colorref> scanFirsts_, scanSamples_;
  // 2M samples: a whole 16K-wide screen's grid in one read.
  std::size_t scanChunkLimit_ = std::size_t{1} << 21;
};
