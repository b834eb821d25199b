// Logs every left-button press anywhere on the desktop, through a
// low-level mouse hook, one "x y injected" line each (screen coordinates;
// injected 1 for input a program sent, 0 for the X server's), flushed at
// once; "ready" first, once the hook is in. With --clip it also keeps
// the cursor inside a rectangle, as a game does; with --slow the hook
// takes that many ms over every button event, as a heavy mouse utility's
// may:
//   mouse_watch LOGFILE [--clip LEFT TOP RIGHT BOTTOM] [--slow MS]
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>

namespace {
std::FILE* logFile = nullptr;
DWORD slowMs = 0;

LRESULT CALLBACK MouseHook(int code, WPARAM message, LPARAM lParam) {
  if (code == HC_ACTION && message != WM_MOUSEMOVE && slowMs) ::Sleep(slowMs);
  if (code == HC_ACTION && message == WM_LBUTTONDOWN) {
    const auto* event = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    std::fprintf(logFile, "%ld %ld %d\n", static_cast<long>(event->pt.x),
                 static_cast<long>(event->pt.y), (event->flags & LLMHF_INJECTED) ? 1 : 0);
    std::fflush(logFile);
  }
  return ::CallNextHookEx(nullptr, code, message, lParam);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  ::SetProcessDPIAware();  // physical pixels, like the tool's
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (!argv || argc < 2) return 2;
  const RECT* clip = nullptr;
  RECT rect{};
  for (int i = 2; i < argc; ++i)
    if (std::wcscmp(argv[i], L"--clip") == 0 && i + 4 < argc) {
      rect = {std::wcstol(argv[i + 1], nullptr, 10), std::wcstol(argv[i + 2], nullptr, 10),
              std::wcstol(argv[i + 3], nullptr, 10), std::wcstol(argv[i + 4], nullptr, 10)};
      clip = &rect;
      i += 4;
    } else if (std::wcscmp(argv[i], L"--slow") == 0 && i + 1 < argc) {
      slowMs = std::wcstoul(argv[++i], nullptr, 10);
    } else {
      return 2;
    }
  logFile = ::_wfopen(argv[1], L"ab");
  if (!logFile) return 3;
  if (!::SetWindowsHookExW(WH_MOUSE_LL, MouseHook, instance, 0)) return 4;
  if (clip && !::ClipCursor(clip)) return 5;
  std::fprintf(logFile, "ready\n");
  std::fflush(logFile);

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
  std::fclose(logFile);
  return 0;
}
