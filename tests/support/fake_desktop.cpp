#include "tests/support/fake_desktop.h"

#include "platform/win32/button_watch.h"

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
  bool OnMonitor(std::int32_t x, std::int32_t y) override { return desktop_.OnAMonitor(x, y); }

 private:
  FakeDesktop& desktop_;
};

// The hook and the system's state around the watch.
class FakeDesktop::Hook final : public ButtonWatch::System {
 public:
  explicit Hook(FakeDesktop& desktop) : desktop_(desktop) { watch.HookIn(0, tick); }
  bool AnyButtonDown() override { return desktop_.SystemButtonDown() && !FrontRefusesInput(); }
  bool FrontRefusesInput() override { return desktop_.frontRefusesInput; }
  std::uint32_t LastInputTick() override { return tick; }
  bool AwaitOwnEventsSeen() override { return ownSeen; }
  void PutHookBack() override {
    ++desktop_.hooksPutBack;
    desktop_.hookAlive = true;
    watch.HookIn(AnyButtonDown() ? unsigned{ButtonWatch::kLeft} : 0u, tick);
  }
  // An input event, later than the last by more than a tick's slack: true
  // when the hook saw it.
  bool Input() {
    tick += 1000;
    if (desktop_.hookAlive) watch.Saw(tick);
    return desktop_.hookAlive;
  }

  ButtonWatch watch;
  std::uint32_t tick = 1000;
  bool ownSeen = true;  // our last event

 private:
  FakeDesktop& desktop_;
};

FakeDesktop::FakeDesktop(int w, int h, Colorref background)
    : monitor{0, 0, w, h},
      width(w),
      height(h),
      pixels_(static_cast<std::size_t>(w) * h, background) {}

FakeDesktop::~FakeDesktop() = default;

bool FakeDesktop::OnAMonitor(int x, int y) const {
  if (monitors.empty()) return true;
  for (const FakeRect& m : monitors)
    if (m.Contains(x, y)) return true;
  return false;
}

void FakeDesktop::WatchWithHook() { hook_ = std::make_unique<Hook>(*this); }

void FakeDesktop::UserButton(bool down) {
  userHoldsButton = down;
  if (!hook_) return;
  if (hookAlive) hook_->watch.UserButton(ButtonWatch::kLeft, down);
  hook_->Input();
}

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
  if (hook_) hook_->watch.OwnInputUpTo(hook_->tick += 1000);
}

void FakeDesktop::MouseEvent(std::uint32_t flags) {
  refused_ = (flags & refusedFlags) != 0;
  if (refused_) {
    ++refusedEvents;
    return;
  }
  if (hook_) hook_->ownSeen = hook_->Input();
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
  if (layoutHeld_) return false;
  if (hook_ && !hook_->watch.AwaitOwnInput(*hook_)) return false;
  if (swallowed_ && inputStuck) return false;
  swallowed_ = false;
  lagLeft_ = 0;
  return true;
}

std::optional<Reason> FakeDesktop::InputRefused() {
  return refused_ ? std::optional<Reason>(refusal) : std::nullopt;
}

bool FakeDesktop::AnyMouseButtonDown() {
  return hook_ ? hook_->watch.UserHoldsButton(*hook_) : SystemButtonDown();
}

bool FakeDesktop::SystemButtonDown() {
  if (lagLeft_ > 0) {
    --lagLeft_;
    return true;
  }
  return userHoldsButton;
}

void FakeDesktop::Sleep(std::uint32_t ms) { events.push_back({DesktopEvent::Sleep, 0, 0, ms}); }
