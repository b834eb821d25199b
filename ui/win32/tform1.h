#pragma once
// The main window: native BUTTON, EDIT and STATIC controls built from the
// shared control table; its handlers are the shared ones, run from the
// window's messages.
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "platform/win32/windows_api.h"
#include "ui/form_handlers.h"
#include "ui/form_layout.h"

class TForm1 : public FormHandlers {
 public:
  // showException displays an Exception that escaped a handler; the window
  // goes on afterwards.
  TForm1(HINSTANCE instance, Desktop& desktop, std::function<void(const Exception&)> showException);
  ~TForm1() override;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  HWND Handle() const { return handle_; }
  void Show();

  HWND Control(ControlId id) const { return controls_[IndexOf(id)]; }

 private:
  struct Wiring;

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The control a window of ours is; nothing for other windows.
  std::optional<ControlId> IdOf(HWND control) const;

  void CreateControls(HINSTANCE instance);
  void ApplyDpi(UINT dpi);
  int Scale(int pixels) const { return ::MulDiv(pixels, static_cast<int>(dpi_), 96); }

  HWND handle_ = nullptr;
  UINT dpi_ = 96;
  HFONT font_ = nullptr;
  HWND lastFocus_ = nullptr;
  std::array<HWND, kForm1Controls.size()> controls_{};
  std::unique_ptr<Wiring> wiring_;
};
