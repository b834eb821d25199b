// A borderless window of one colour that logs every left-button press it
// gets, one "x y ms" line each (screen coordinates, the message's time in
// milliseconds), flushed at once:
//   click_target X Y RRGGBB LOGFILE [WIDTH HEIGHT]
// The size defaults to the 200 x 30 button the tool is meant for.
#include <windows.h>

#include <shellapi.h>
#include <windowsx.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace {
std::FILE* logFile = nullptr;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEACTIVATE:
      // Clicks must not reorder the windows the test has laid out.
      return MA_NOACTIVATE;
    case WM_LBUTTONDOWN: {
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ::ClientToScreen(hwnd, &p);
      std::fprintf(logFile, "%ld %ld %lu\n", static_cast<long>(p.x), static_cast<long>(p.y),
                   static_cast<unsigned long>(::GetMessageTime()));
      std::fflush(logFile);
      return 0;
    }
    case WM_DESTROY: ::PostQuitMessage(0); return 0;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  ::SetProcessDPIAware();  // positions in physical pixels, like the tool's
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (!argv || (argc != 5 && argc != 7)) return 2;
  const int x = std::wcstol(argv[1], nullptr, 10);
  const int y = std::wcstol(argv[2], nullptr, 10);
  const unsigned long rgb = std::wcstoul(argv[3], nullptr, 16);
  const int width = argc == 7 ? std::wcstol(argv[5], nullptr, 10) : 200;
  const int height = argc == 7 ? std::wcstol(argv[6], nullptr, 10) : 30;
  logFile = ::_wfopen(argv[4], L"ab");
  if (!logFile) return 3;

  const COLORREF color = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = ::CreateSolidBrush(color);
  windowClass.lpszClassName = L"click_target";
  ::RegisterClassW(&windowClass);
  HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"click_target", L"click_target", WS_POPUP, x,
                                  y, width, height, nullptr, nullptr, instance, nullptr);
  if (!window) return 4;
  ::ShowWindow(window, SW_SHOWNOACTIVATE);

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  std::fclose(logFile);
  return 0;
}
