#pragma once
// The main window: native BUTTON, EDIT and STATIC controls built from the
// shared control table. The handlers only forward to the tracker.
#include <array>
#include <functional>
#include <memory>

#include "platform/win32/windows_api.h"
#include "tracking/exceptions.h"
#include "ui/form_layout.h"

class TForm1 {
 public:
  // showException displays an Exception that escaped a handler; the window
  // goes on afterwards.
  TForm1(HINSTANCE instance, Desktop& desktop, std::function<void(const Exception&)> showException);
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  HWND Handle() const { return handle_; }
  void Show();

  // Event handlers; every argument is ignored.
  void Button1Click(HWND Sender);
  void Button2Click(HWND Sender);
  void Button1MouseUp(HWND Sender, UINT Button, int X, int Y);
  void Button2MouseUp(HWND Sender, UINT Button, int X, int Y);
  void Button3MouseUp(HWND Sender, UINT Button, int X, int Y);
  void Button3KeyUp(HWND Sender, WPARAM Key);
  void Button4Click(HWND Sender);
  void Timer1Timer(HWND Sender);

  HWND Control(const char* name) const {
    return controls_[static_cast<std::size_t>(ControlIndex(name))];
  }

 private:
  struct Wiring;

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void ButtonMouseUp(HWND button, UINT message, LPARAM lParam);
  void ButtonClicked(HWND button);
  template <class Handler>
  void Guarded(Handler&& handler);

  void CreateControls(HINSTANCE instance);
  void ApplyDpi(UINT dpi);
  int Scale(int pixels) const { return ::MulDiv(pixels, static_cast<int>(dpi_), 96); }

  std::function<void(const Exception&)> showException_;
  HWND handle_ = nullptr;
  UINT dpi_ = 96;
  HFONT font_ = nullptr;
  HWND lastFocus_ = nullptr;
  std::array<HWND, kForm1Controls.size()> controls_{};
  std::unique_ptr<Wiring> wiring_;
};
