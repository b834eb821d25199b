#include "ui/win32/tform1.h"

#include <commctrl.h>

#include <system_error>

#include "tracking/tracker.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/win32_controls.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace {
constexpr wchar_t kWindowClass[] = L"TForm1";
constexpr int kFirstControlId = 100;
constexpr UINT_PTR kTimer1Id = 1;

// Tab and Shift+Tab follow the stacking order, which is the creation order;
// the table has to list the focusable controls in tab order for that.
constexpr bool TabOrderFollowsCreationOrder() {
  int expected = 0;
  for (const ControlSpec& spec : kForm1Controls)
    if (spec.tabOrder >= 0 && spec.tabOrder != expected++) return false;
  return true;
}
static_assert(TabOrderFollowsCreationOrder(), "tab order must follow the creation order");

// Newer systems know each window's own DPI; older ones only the system's.
UINT DpiOf(HWND hwnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow) {
    if (const UINT dpi = getDpiForWindow(hwnd)) return dpi;
  }
  HDC dc = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
  ::ReleaseDC(nullptr, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

RECT WindowRectForClient(int width, int height, DWORD style, UINT dpi) {
  using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = reinterpret_cast<AdjustForDpiFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  RECT rect{0, 0, width, height};
  if (!adjustForDpi || !adjustForDpi(&rect, style, FALSE, 0, dpi))
    ::AdjustWindowRectEx(&rect, style, FALSE, 0);
  return rect;
}

const wchar_t* WindowClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::Button: return L"BUTTON";
    case ControlKind::Edit: return L"EDIT";
    case ControlKind::Label: break;
  }
  return L"STATIC";
}

DWORD StyleOf(ControlKind kind) {
  const DWORD common = WS_CHILD | WS_VISIBLE;
  switch (kind) {
    case ControlKind::Button: return common | WS_TABSTOP | BS_PUSHBUTTON;
    case ControlKind::Edit: return common | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
    case ControlKind::Label: break;
  }
  return common | SS_LEFTNOWORDWRAP | SS_NOPREFIX;
}

constexpr DWORD kFormStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
}  // namespace

// The tracking side of the window, made once the controls exist.
struct TForm1::Wiring {
  explicit Wiring(TForm1& form)
      : scheduler(form.handle_, kTimer1Id),
        Timer1(scheduler, [&form] { form.Timer1Timer(); }),
        leftX(form.Control(ControlId::Edit1)),
        topY(form.Control(ControlId::Edit2)),
        rightX(form.Control(ControlId::Edit3)),
        bottomY(form.Control(ControlId::Edit4)),
        targetColor(form.Control(ControlId::Edit5)),
        interval(form.Control(ControlId::Edit6)),
        areaSize(form.Control(ControlId::Label3)) {}

  TrackingControls Controls() {
    return {leftX, topY, rightX, bottomY, targetColor, interval, areaSize, Timer1};
  }

  WinTimerScheduler scheduler;
  TTimer Timer1;
  WinText leftX, topY, rightX, bottomY;
  WinColorEdit targetColor;
  WinText interval;
  WinLabel areaSize;
};

TForm1::TForm1(HINSTANCE instance, Desktop& desktop,
               std::function<void(const Exception&)> showException)
    : FormHandlers(std::move(showException)) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  if (!::GetClassInfoExW(instance, kWindowClass, &windowClass)) {
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, L"MAINICON");
    windowClass.hIconSm = static_cast<HICON>(::LoadImageW(instance, L"MAINICON", IMAGE_ICON,
                                                          ::GetSystemMetrics(SM_CXSMICON),
                                                          ::GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!::RegisterClassExW(&windowClass))
      throw std::system_error(static_cast<int>(::GetLastError()), std::system_category());
  }

  // The stored layout puts the window at the screen's origin.
  ::CreateWindowExW(0, kWindowClass, Utf8ToWide(kForm1.caption).c_str(), kFormStyle, 0, 0, 0, 0,
                    nullptr, nullptr, instance, this);
  if (!handle_) throw std::system_error(static_cast<int>(::GetLastError()), std::system_category());

  CreateControls(instance);
  wiring_ = std::make_unique<Wiring>(*this);
  BindTracker(desktop, wiring_->Controls());

  const UINT dpi = DpiOf(handle_);
  ApplyDpi(dpi);
  const RECT rect =
      WindowRectForClient(Scale(kForm1.clientWidth), Scale(kForm1.clientHeight), kFormStyle, dpi);
  ::SetWindowPos(handle_, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TForm1::~TForm1() {
  if (handle_) ::DestroyWindow(handle_);
  wiring_.reset();
  if (font_) ::DeleteObject(font_);
}

void TForm1::Show() {
  ::ShowWindow(handle_, SW_SHOW);
  ::UpdateWindow(handle_);
}

// Created in table order, which makes the stacking order, and so the order
// Tab follows, the table's.
void TForm1::CreateControls(HINSTANCE instance) {
  for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
    const ControlSpec& spec = kForm1Controls[i];
    const DWORD exStyle = spec.kind == ControlKind::Edit ? WS_EX_CLIENTEDGE : 0;
    HWND control = ::CreateWindowExW(
        exStyle, WindowClassOf(spec.kind), Utf8ToWide(spec.text).c_str(), StyleOf(spec.kind), 0, 0,
        0, 0, handle_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)), instance,
        nullptr);
    if (!control)
      throw std::system_error(static_cast<int>(::GetLastError()), std::system_category());
    controls_[i] = control;
  }
  // Buttons with release or key handlers hear those themselves: a pressed
  // button holds the mouse capture, so its release arrives there wherever
  // it happens.
  for (const ControlSpec& spec : kForm1Controls)
    if (Wired(spec.id, FormEvent::MouseUp) || Wired(spec.id, FormEvent::KeyUp))
      ::SetWindowSubclass(Control(spec.id), ButtonProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

// Positions and the font follow the monitor's DPI; labels then fit their
// text again.
void TForm1::ApplyDpi(UINT dpi) {
  dpi_ = dpi;
  HFONT font =
      ::CreateFontW(-Scale(kForm1.fontPixelHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                    DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                    DEFAULT_PITCH | FF_DONTCARE, Utf8ToWide(kForm1.fontFamily).c_str());
  for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
    const ControlSpec& spec = kForm1Controls[i];
    ::SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SetWindowPos(controls_[i], nullptr, Scale(spec.left), Scale(spec.top), Scale(spec.width),
                   Scale(spec.height), SWP_NOZORDER | SWP_NOACTIVATE);
    if (spec.kind == ControlKind::Label) WinLabel(controls_[i]).FitToText();
  }
  if (font_) ::DeleteObject(font_);
  font_ = font;
  ::InvalidateRect(handle_, nullptr, TRUE);
}

std::optional<ControlId> TForm1::IdOf(HWND control) const {
  for (const ControlSpec& spec : kForm1Controls)
    if (Control(spec.id) == control) return spec.id;
  return std::nullopt;
}

LRESULT CALLBACK TForm1::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->handle_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TForm1*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && lParam)
        if (const auto id = IdOf(reinterpret_cast<HWND>(lParam))) Dispatch(*id, FormEvent::Click);
      return 0;
    case WM_CTLCOLOREDIT:
      if (wiring_ && reinterpret_cast<HWND>(lParam) == Control(ControlId::Edit5))
        return reinterpret_cast<LRESULT>(wiring_->targetColor.Paint(reinterpret_cast<HDC>(wParam)));
      break;
    case WM_TIMER:
      if (wiring_ && wParam == wiring_->scheduler.Id()) {
        wiring_->scheduler.Disarm();  // one-shot: TTimer arms the next one
        wiring_->Timer1.Elapsed();
        return 0;
      }
      break;
    case WM_ACTIVATE:
      // A plain window does not keep its focused control across
      // deactivation the way a dialog does; remember it here.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(handle_, focus)) lastFocus_ = focus;
      }
      break;
    case WM_SETFOCUS:
      ::SetFocus(lastFocus_ ? lastFocus_ : ::GetNextDlgTabItem(handle_, nullptr, FALSE));
      return 0;
    case WM_DPICHANGED: {
      ApplyDpi(HIWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      ::SetWindowPos(handle_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_DESTROY: ::PostQuitMessage(0); return 0;
    case WM_NCDESTROY: {
      HWND hwnd = handle_;
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      handle_ = nullptr;
      return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
  }
  return ::DefWindowProcW(handle_, message, wParam, lParam);
}

LRESULT CALLBACK TForm1::ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR id, DWORD_PTR selfPtr) {
  auto* self = reinterpret_cast<TForm1*>(selfPtr);
  switch (message) {
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      // The button first ends its capture and, for a release over itself,
      // reports the click; the mouse-up handler follows, as with the click.
      const LRESULT result = ::DefSubclassProc(hwnd, message, wParam, lParam);
      if (const auto control = self->IdOf(hwnd)) self->Dispatch(*control, FormEvent::MouseUp);
      return result;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (const auto control = self->IdOf(hwnd)) self->Dispatch(*control, FormEvent::KeyUp);
      break;
    case WM_NCDESTROY: ::RemoveWindowSubclass(hwnd, ButtonProc, id); break;
  }
  return ::DefSubclassProc(hwnd, message, wParam, lParam);
}
