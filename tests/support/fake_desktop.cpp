#include "tests/support/fake_desktop.h"

class FakeScreenContext : public ScreenContext {
 public:
  explicit FakeScreenContext(FakeDesktop& desktop) : desktop_(desktop) { ++desktop_.liveContexts; }
  ~FakeScreenContext() override { --desktop_.liveContexts; }
  Colorref GetPixel(std::int32_t x, std::int32_t y) override {
    desktop_.pixelReads.push_back({x, y});
    return desktop_.At(x, y);
  }
  // Counted, then answered pixel by pixel through GetPixel as any backend
  // without a bulk read would.
  void ReadRegion(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                  Colorref* out) override {
    ++desktop_.regionReads;
    desktop_.gridReads.push_back({left, top, height, 1, width, 1, 1, 1});
    ScreenContext::ReadRegion(left, top, width, height, out);
  }
  void ReadGrid(const SampleGrid& grid, Colorref* out) override {
    ++desktop_.regionReads;
    desktop_.gridReads.push_back(grid);
    ScreenContext::ReadGrid(grid, out);
  }
  void StartPass() override { ++desktop_.passesStarted; }

 private:
  FakeDesktop& desktop_;
};

FakeDesktop::FakeDesktop(int w, int h, Colorref background)
    : monitor{0, 0, w, h},
      width(w),
      height(h),
      pixels_(static_cast<std::size_t>(w) * h, background) {}

void FakeDesktop::Fill(int left, int top, int w, int h, Colorref color) {
  for (int y = top; y < top + h; ++y)
    for (int x = left; x < left + w; ++x)
      if (x >= 0 && y >= 0 && x < width && y < height) pixels_[std::size_t(y) * width + x] = color;
}

Colorref FakeDesktop::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
  return pixels_[std::size_t(y) * width + x];
}

std::vector<ScreenPoint> FakeDesktop::Clicks() const {
  std::vector<ScreenPoint> clicks;
  for (std::size_t i = 0; i + 1 < events.size(); ++i)
    if (events[i].kind == DesktopEvent::Button && events[i].value == MOUSEEVENTF_LEFTDOWN &&
        events[i + 1].kind == DesktopEvent::Button && events[i + 1].value == MOUSEEVENTF_LEFTUP &&
        events[i].x == events[i + 1].x && events[i].y == events[i + 1].y)
      clicks.push_back({events[i].x, events[i].y});
  return clicks;
}

std::unique_ptr<ScreenContext> FakeDesktop::GetDC() {
  if (screenUnavailable) return nullptr;
  ++contextsTaken;
  return std::make_unique<FakeScreenContext>(*this);
}

void FakeDesktop::SetCursorPos(std::int32_t x, std::int32_t y) {
  cursor_ = {x, y};
  events.push_back({DesktopEvent::Move, x, y, 0});
}

void FakeDesktop::MouseEvent(std::uint32_t flags) {
  events.push_back({DesktopEvent::Button, cursor_.x, cursor_.y, flags});
  if (flags & MOUSEEVENTF_LEFTUP) {
    if (inputStuck)
      swallowed_ = true;
    else
      lagLeft_ = releaseLagReads;
  }
  if ((flags & MOUSEEVENTF_LEFTUP) && onLeftClick) onLeftClick(*this, cursor_);
}

bool FakeDesktop::AwaitInputHandled() {
  if ((swallowed_ && inputStuck) || layoutHeld_) return false;
  swallowed_ = false;
  lagLeft_ = 0;
  return true;
}

bool FakeDesktop::AnyMouseButtonDown() {
  if (lagLeft_ > 0) {
    --lagLeft_;
    return true;
  }
  return userHoldsButton;
}

void FakeDesktop::Sleep(std::uint32_t ms) { events.push_back({DesktopEvent::Sleep, 0, 0, ms}); }
