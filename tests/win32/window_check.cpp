// The native window checked from inside its own process: what the control
// table says (classes, texts, positions and sizes at the window's DPI, font,
// tab and stacking order), the handlers' wiring to the buttons' messages,
// Edit5's background, and errors shown while the window goes on; what the
// scan asks of the desktop, our input among others' (input_check.cpp).
//   window_check.exe   (under Wine: tests/win32/wine_run.sh)
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32/win32_desktop.h"
#include "platform/win32/window_at_point.h"
#include "platform/win32/windows_api.h"
// after <windows.h>
#include <commctrl.h>

#include "tests/win32/window_check.h"

#include "ui/win32/tform1.h"
#include "ui/win32/wide_text.h"

namespace {
int passes = 0, failures = 0;
}  // namespace

void Check(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
  (ok ? passes : failures)++;
}

namespace {

void Pump() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

std::string TextOf(HWND hwnd) {
  wchar_t text[256] = {};
  ::GetWindowTextW(hwnd, text, 256);
  return WideToUtf8(text);
}

std::string ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  ::GetClassNameW(hwnd, name, 64);
  std::string lower = WideToUtf8(name);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower;
}

RECT RectInClient(HWND form, HWND control) {
  RECT r;
  ::GetWindowRect(control, &r);
  ::MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

SIZE TextExtent(HWND control) {
  const std::wstring text = Utf8ToWide(TextOf(control));
  HDC dc = ::GetDC(control);
  HGDIOBJ old =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE size{};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return size;
}

std::string Describe(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
         std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

// The colour Edit5's background is painted with, as its window asks for it.
COLORREF Edit5Background(HWND form, HWND edit5) {
  HDC dc = ::GetDC(edit5);
  auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(
      form, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit5)));
  LOGBRUSH info{};
  const bool ok = brush && ::GetObjectW(brush, sizeof info, &info) == sizeof info;
  ::ReleaseDC(edit5, dc);
  return ok ? info.lbColor : CLR_INVALID;
}

void Click(HWND form, HWND button) {
  ::SendMessageW(form, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
  Pump();
}

void MoveCursor(int x, int y) {
  ::SetCursorPos(x, y);
  Pump();
}

// A window of one colour to capture from.
HWND Swatch(HINSTANCE instance, COLORREF color, int x, int y) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ::DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = ::CreateSolidBrush(color);
  windowClass.lpszClassName = L"swatch";
  ::RegisterClassW(&windowClass);
  HWND swatch = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"swatch", L"", WS_POPUP, x, y,
                                  60, 60, nullptr, nullptr, instance, nullptr);
  ::ShowWindow(swatch, SW_SHOWNOACTIVATE);
  ::UpdateWindow(swatch);
  Pump();
  return swatch;
}

// click_target.exe from beside this program: a window of another process.
struct OtherProgram {
  PROCESS_INFORMATION process{};
  std::wstring log;
  HWND window = nullptr;

  OtherProgram(int x, int y) {
    wchar_t path[MAX_PATH] = {}, temp[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring exe(path, length);
    exe = exe.substr(0, exe.find_last_of(L"\\/") + 1) + L"click_target.exe";
    ::GetTempPathW(MAX_PATH, temp);
    log = std::wstring(temp) + L"window_check_target.log";
    std::wstring command = L"\"" + exe + L"\" " + std::to_wstring(x) + L" " + std::to_wstring(y) +
                           L" 2080C0 \"" + log + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
      return;
    for (int i = 0; i < 200 && !window; ++i, ::Sleep(50))
      window = ::FindWindowW(L"click_target", nullptr);
  }
  ~OtherProgram() {
    if (!process.hProcess) return;
    ::TerminateProcess(process.hProcess, 0);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    ::DeleteFileW(log.c_str());
  }
};

BOOL WINAPI PostDenied(HWND, UINT, WPARAM, LPARAM) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
BOOL WINAPI PostQueueFull(HWND, UINT, WPARAM, LPARAM) {
  ::SetLastError(ERROR_NOT_ENOUGH_QUOTA);
  return FALSE;
}

// The real desktop, whose cursor read can be made to fail with a standard
// exception, as a library call inside a handler may.
struct FailingCursorDesktop : Win32Desktop {
  bool fail = false;
  ScreenPoint GetCursorPos() override {
    if (fail) throw std::runtime_error("cursor unavailable");
    return Win32Desktop::GetCursorPos();
  }
};
}  // namespace

int main() {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  FailingCursorDesktop desktop;
  std::vector<std::string> errors;
  TForm1 form(instance, desktop, [&](const Exception& e) { errors.push_back(e.Message()); });
  form.Show();
  Pump();
  HWND hwnd = form.Handle();
  auto control = [&](ControlId id) { return form.Control(id); };

  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, screen);
  auto scale = [&](int pixels) { return ::MulDiv(pixels, dpi, 96); };
  std::printf("at %d dpi\n", dpi);

  // --- the window and its controls, as the table gives them ----------------
  RECT client{};
  ::GetClientRect(hwnd, &client);
  Check(TextOf(hwnd) == "Form1", "caption Form1");
  Check(client.right == scale(356) && client.bottom == scale(188),
        "client area 356 x 188, scaled: " + Describe(client));
  RECT frame{};
  ::GetWindowRect(hwnd, &frame);
  Check(frame.left == 0 && frame.top == 0, "window at the screen's origin");

  for (const ControlSpec& spec : kForm1Controls) {
    HWND c = control(spec.id);
    const char* expectedClass = spec.kind == ControlKind::Button ? "button"
                                : spec.kind == ControlKind::Edit ? "edit"
                                                                 : "static";
    const RECT r = RectInClient(hwnd, c);
    RECT expected{scale(spec.left), scale(spec.top), scale(spec.left + spec.width),
                  scale(spec.top + spec.height)};
    if (spec.kind == ControlKind::Label) {
      // Labels take the size of their text.
      const SIZE text = TextExtent(c);
      expected.right = expected.left + text.cx;
      expected.bottom = expected.top + text.cy;
    }
    const bool tabStop = (::GetWindowLongW(c, GWL_STYLE) & WS_TABSTOP) != 0;
    Check(::GetParent(c) == hwnd && ClassOf(c) == expectedClass && TextOf(c) == spec.text &&
              ::EqualRect(&r, &expected) && tabStop == (spec.tabOrder >= 0) && ::IsWindowVisible(c),
          std::string(spec.name) + ": " + ClassOf(c) + " \"" + TextOf(c) + "\" at " + Describe(r) +
              " (expected " + expectedClass + " \"" + spec.text + "\" at " + Describe(expected) +
              ")" + (tabStop ? ", tab stop" : ""));
  }

  bool fontsRight = true;
  std::string firstFont;
  for (const ControlSpec& spec : kForm1Controls) {
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control(spec.id), WM_GETFONT, 0, 0)),
                 sizeof font, &font);
    if (firstFont.empty())
      firstFont = WideToUtf8(font.lfFaceName) + " " + std::to_string(font.lfHeight);
    fontsRight =
        fontsRight && std::wstring(font.lfFaceName) == L"Tahoma" && font.lfHeight == -scale(11);
  }
  Check(fontsRight, "every control in Tahoma, height -11 scaled (first: " + firstFont + ")");

  // Stacking order is the creation order, and Tab follows it.
  std::string stacking, expectedStacking;
  for (HWND c = ::GetWindow(hwnd, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
    for (const ControlSpec& spec : kForm1Controls)
      if (control(spec.id) == c) stacking += std::string(spec.name) + " ";
  for (const ControlSpec& spec : kForm1Controls) expectedStacking += std::string(spec.name) + " ";
  Check(stacking == expectedStacking, "stacking order " + stacking);

  std::vector<HWND> byTab(10);
  for (const ControlSpec& spec : kForm1Controls)
    if (spec.tabOrder >= 0) byTab[static_cast<std::size_t>(spec.tabOrder)] = control(spec.id);
  bool forward = true, backward = true;
  for (std::size_t i = 0; i < byTab.size(); ++i) {
    forward =
        forward && ::GetNextDlgTabItem(hwnd, byTab[i], FALSE) == byTab[(i + 1) % byTab.size()];
    backward = backward && ::GetNextDlgTabItem(hwnd, byTab[i], TRUE) ==
                               byTab[(i + byTab.size() - 1) % byTab.size()];
  }
  Check(forward, "Tab visits the controls in tab order, and wraps");
  Check(backward, "Shift+Tab visits them in reverse");
  ::SetFocus(control(ControlId::Button2));
  MSG tab{control(ControlId::Button2), WM_KEYDOWN, VK_TAB, 0, 0, {}};
  const bool handled = ::IsDialogMessageW(hwnd, &tab);
  Pump();
  Check(handled && ::GetFocus() == control(ControlId::Button3),
        "the message loop's Tab moves from Button2 to Button3");

  // --- what the scan asks of the window at a point ---------------------------
  // The main window is disabled while an error box is up, and still ours;
  // our own process is never above us.
  const int middleX = (frame.left + frame.right) / 2, middleY = (frame.top + frame.bottom) / 2;
  Check(
      desktop.IsOwnWindowAt(middleX, middleY) && !desktop.IsOwnWindowAt(frame.right + 50, middleY),
      "the window is ours; beside it is not");
  ::EnableWindow(hwnd, FALSE);
  Check(desktop.IsOwnWindowAt(middleX, middleY), "a disabled window is ours too");
  ::EnableWindow(hwnd, TRUE);
  Check(!desktop.DropsInputAt(middleX, middleY), "input to our own window is not dropped");
  {
    // Another program's window takes our probe too. Whose process could be
    // opened does not matter: what the system refuses, with access denied,
    // counts as refusing, and nothing else does.
    OtherProgram other(700, 600);
    Check(other.window && !desktop.IsOwnWindowAt(800, 615) && !desktop.DropsInputAt(800, 615),
          "another program's window is not ours, and takes our input");
    Check(RefusesOurInput(other.window, PostDenied) &&
              !RefusesOurInput(other.window, PostQueueFull) &&
              !RefusesOurInput(nullptr, PostDenied),
          "a window the system refuses our message counts as refusing");

    // Our own press is never the user's: the watch sees it through, though
    // the system's button state may still hold it.
    desktop.Start(nullptr);
    MoveCursor(800, 615);
    Check(!desktop.AnyMouseButtonDown(), "no button held before our press");
    desktop.MouseEvent(MOUSEEVENTF_LEFTDOWN);
    const bool pressHandled = desktop.AwaitInputHandled();
    const bool pressTakenForUsers = desktop.AnyMouseButtonDown();
    desktop.MouseEvent(MOUSEEVENTF_LEFTUP);
    Check(pressHandled && desktop.AwaitInputHandled() && !pressTakenForUsers,
          "our own press is handled and not taken for the user's");

    CheckOthersInputAndTheLeftHand(desktop);
    desktop.End();
  }
  CheckHookPutBack();
  Pump();
  Check(desktop.SessionOnScreen(), "the session is on screen");

  // --- the buttons' messages reach the handlers --------------------------
  MoveCursor(123, 45);
  ::SendMessageW(control(ControlId::Button1), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  Pump();
  Check(TextOf(control(ControlId::Edit1)) == "123" && TextOf(control(ControlId::Edit2)) == "45",
        "left release on Button1 takes the top-left corner: " + TextOf(control(ControlId::Edit1)) +
            ", " + TextOf(control(ControlId::Edit2)));
  MoveCursor(321, 54);
  ::SendMessageW(control(ControlId::Button1), WM_RBUTTONUP, 0, 0);
  Pump();
  Check(TextOf(control(ControlId::Edit1)) == "321" && TextOf(control(ControlId::Edit2)) == "54",
        "right release on Button1 as well");
  MoveCursor(400, 300);
  ::SendMessageW(control(ControlId::Button2), WM_MBUTTONUP, 0, 0);
  Pump();
  Check(TextOf(control(ControlId::Edit3)) == "400" && TextOf(control(ControlId::Edit4)) == "300",
        "middle release on Button2 takes the bottom-right corner");
  MoveCursor(410, 310);
  Click(hwnd, control(ControlId::Button2));
  Check(TextOf(control(ControlId::Edit3)) == "410" && TextOf(control(ControlId::Edit4)) == "310",
        "a click on Button2 as well");
  MoveCursor(420, 320);
  Click(hwnd, control(ControlId::Button1));
  Check(TextOf(control(ControlId::Edit1)) == "420" && TextOf(control(ControlId::Edit2)) == "320",
        "a click on Button1 as well");
  Click(hwnd, control(ControlId::Button1));

  // --- Edit5 shows the captured colour --------------------------------------
  Check(Edit5Background(hwnd, control(ControlId::Edit5)) == ::GetSysColor(COLOR_WINDOW),
        "Edit5 has the system window colour before a capture");
  Click(hwnd, control(ControlId::Button3));
  Check(TextOf(control(ControlId::Edit5)) == "Color", "a click on Button3 alone captures nothing");
  const COLORREF swatchColor = RGB(0x33, 0x66, 0xCC);
  HWND swatch = Swatch(instance, swatchColor, 600, 500);
  ::Sleep(200);
  Pump();
  MoveCursor(630, 530);
  ::SendMessageW(control(ControlId::Button3), WM_KEYUP, 'A', 0);
  Pump();
  Check(TextOf(control(ControlId::Edit5)) == std::to_string(swatchColor),
        "a key released on Button3 captures the colour under the cursor: " +
            TextOf(control(ControlId::Edit5)));
  Check(Edit5Background(hwnd, control(ControlId::Edit5)) == swatchColor,
        "Edit5's background is the captured colour");
  ::DestroyWindow(swatch);
  MoveCursor(630, 530);
  ::SendMessageW(control(ControlId::Button3), WM_SYSKEYUP, VK_MENU, 0);
  Pump();
  Check(TextOf(control(ControlId::Edit5)) != std::to_string(swatchColor),
        "so does a system key (Alt) released on it");

  // --- start of tracking, and errors shown while the window goes on -------
  ::SetWindowTextW(control(ControlId::Edit6), L"abc");
  Click(hwnd, control(ControlId::Button4));
  Check(errors.size() == 1 && errors.back().find("abc") != std::string::npos,
        "a bad interval is shown as an error: " +
            (errors.empty() ? std::string("(none)") : errors.back()));
  ::SetWindowTextW(control(ControlId::Edit6), L"1000");
  Click(hwnd, control(ControlId::Button4));
  const SIZE label3 = TextExtent(control(ControlId::Label3));
  const RECT label3Rect = RectInClient(hwnd, control(ControlId::Label3));
  Check(errors.size() == 1 && TextOf(control(ControlId::Label3)) == "-10 * -10",
        "Button4 shows the area's width and height: " + TextOf(control(ControlId::Label3)));
  Check(label3Rect.right - label3Rect.left == label3.cx && label3.cx > scale(29),
        "Label3 grew to its new text");
  ::SetWindowTextW(control(ControlId::Edit1), L"X");
  Click(hwnd, control(ControlId::Button4));
  Check(errors.size() == 2 && errors.back().find("X") != std::string::npos &&
            TextOf(control(ControlId::Label3)) == "-10 * -10",
        "a corner that is no number is shown as an error and the label stays");
  desktop.fail = true;
  Click(hwnd, control(ControlId::Button1));
  desktop.fail = false;
  Check(errors.size() == 3 && errors.back() == "cursor unavailable",
        "a standard exception is shown with its message: " + errors.back());
  Check(::IsWindow(hwnd) && ::IsWindowVisible(hwnd), "the window goes on after errors");

  // --- closing ends the loop -----------------------------------------------
  ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
  MSG quit{};
  const bool quitPosted =
      ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 0;
  Check(!::IsWindow(hwnd) && quitPosted, "closing destroys the window and ends the loop with 0");

  std::printf("%d passed, %d failed\n", passes, failures);
  return failures == 0 ? 0 : 1;
}
