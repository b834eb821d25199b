#include "ui/win32/win32_controls.h"

#include "ui/win32/wide_text.h"

std::string WinText::GetText() const {
  const int length = ::GetWindowTextLengthW(hwnd_);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd_, text.data(), length + 1)));
  return WideToUtf8(text);
}

void WinText::SetText(const std::string& text) {
  ::SetWindowTextW(hwnd_, Utf8ToWide(text).c_str());
}

void WinLabel::SetText(const std::string& text) {
  WinText::SetText(text);
  FitToText();
}

void WinLabel::FitToText() {
  const int length = ::GetWindowTextLengthW(hwnd_);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd_, text.data(), length + 1)));

  HDC dc = ::GetDC(hwnd_);
  HGDIOBJ previous =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
  SIZE size{};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  ::SelectObject(dc, previous);
  ::ReleaseDC(hwnd_, dc);
  ::SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

WinColorEdit::~WinColorEdit() {
  if (brush_) ::DeleteObject(brush_);
}

// A value with its top byte set (clWindow, CLR_INVALID) is no RGB colour:
// the edit keeps the system window colour for it.
void WinColorEdit::SetColor(TColor color) {
  color_ = color;
  if (brush_) ::DeleteObject(brush_);
  brush_ = (color & 0xFF000000u) ? nullptr : ::CreateSolidBrush(color);
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

HBRUSH WinColorEdit::Paint(HDC dc) const {
  if (!brush_) {
    ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
    return ::GetSysColorBrush(COLOR_WINDOW);
  }
  ::SetBkColor(dc, color_);
  return brush_;
}
