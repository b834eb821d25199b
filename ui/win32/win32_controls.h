#pragma once
// The tracking code's view of the window's native controls and timer.
#include "platform/win32/windows_api.h"
#include "tracking/controls.h"
#include "tracking/interval_timer.h"

// An EDIT or STATIC control's text.
class WinText : public TextControl {
 public:
  explicit WinText(HWND hwnd) : hwnd_(hwnd) {}
  std::string GetText() const override;
  void SetText(const std::string& text) override;

 protected:
  HWND hwnd_;
};

// A STATIC that, like a label, takes the size of its text.
class WinLabel final : public WinText {
 public:
  explicit WinLabel(HWND hwnd) : WinText(hwnd) {}
  void SetText(const std::string& text) override;
  // Also after a font change.
  void FitToText();
};

// An EDIT whose background is its colour; the window answers
// WM_CTLCOLOREDIT for it through Paint.
class WinColorEdit final : public ColorEdit {
 public:
  explicit WinColorEdit(HWND hwnd) : text_(hwnd), hwnd_(hwnd) {}
  ~WinColorEdit() override;
  WinColorEdit(const WinColorEdit&) = delete;
  WinColorEdit& operator=(const WinColorEdit&) = delete;

  std::string GetText() const override { return text_.GetText(); }
  void SetText(const std::string& text) override { text_.SetText(text); }
  TColor GetColor() const override { return color_; }
  void SetColor(TColor color) override;

  HBRUSH Paint(HDC dc) const;

 private:
  WinText text_;
  HWND hwnd_;
  TColor color_ = clWindow;
  HBRUSH brush_ = nullptr;  // null while the colour is a system one
};

// TTimer's alarm as a window timer, killed when it fires so it rings once.
class WinTimerScheduler final : public TimerScheduler {
 public:
  WinTimerScheduler(HWND hwnd, UINT_PTR id) : hwnd_(hwnd), id_(id) {}
  void Arm(std::uint32_t delayMs) override { ::SetTimer(hwnd_, id_, delayMs, nullptr); }
  void Disarm() override { ::KillTimer(hwnd_, id_); }
  UINT_PTR Id() const { return id_; }

 private:
  HWND hwnd_;
  UINT_PTR id_;
};
