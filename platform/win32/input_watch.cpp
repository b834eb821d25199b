#include "platform/win32/input_watch.h"

namespace {
// The hook procedure has no context of its own.
InputWatch* active = nullptr;

constexpr unsigned kLeft = 1, kRight = 2, kMiddle = 4, kX1 = 8, kX2 = 16;
}  // namespace

bool InputWatch::Start() {
  if (thread_ || active) return thread_ != nullptr;
  started_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  seenEvent_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  // Buttons held before the hook was in are known only from the system's
  // state, which holds none of ours yet.
  const struct {
    int key;
    unsigned bit;
  } keys[] = {{VK_LBUTTON, kLeft},
              {VK_RBUTTON, kRight},
              {VK_MBUTTON, kMiddle},
              {VK_XBUTTON1, kX1},
              {VK_XBUTTON2, kX2}};
  unsigned held = 0;
  for (const auto& k : keys)
    if (::GetAsyncKeyState(k.key) & 0x8000) held |= k.bit;
  buttons_ = held;
  active = this;
  if (started_ && seenEvent_)
    thread_ = ::CreateThread(nullptr, 0, &InputWatch::Run, this, 0, &threadId_);
  if (thread_) ::WaitForSingleObject(started_, INFINITE);
  if (!hooked_) Stop();
  return thread_ != nullptr;
}

void InputWatch::Stop() {
  if (thread_) {
    ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    ::WaitForSingleObject(thread_, INFINITE);
    ::CloseHandle(thread_);
  }
  for (HANDLE* event : {&started_, &seenEvent_})
    if (*event) ::CloseHandle(*event), *event = nullptr;
  if (active == this) active = nullptr;
  thread_ = nullptr;
  hooked_ = false;
}

// The hook is called on this thread, as a message: it must do nothing but
// pump them.
DWORD WINAPI InputWatch::Run(void* self) {
  auto* watch = static_cast<InputWatch*>(self);
  MSG message;
  ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the queue, for WM_QUIT
  HHOOK hook = ::SetWindowsHookExW(WH_MOUSE_LL, &InputWatch::Hook, ::GetModuleHandleW(nullptr), 0);
  watch->hooked_ = hook != nullptr;
  ::SetEvent(watch->started_);
  if (!hook) return 1;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
  ::UnhookWindowsHookEx(hook);
  return 0;
}

LRESULT CALLBACK InputWatch::Hook(int code, WPARAM message, LPARAM lParam) {
  const auto* event = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
  const bool ours = code == HC_ACTION && (event->dwExtraInfo & ~ULONG_PTR{0xFFFFFFFF}) == kTag;
  if (code == HC_ACTION && !ours && active) active->Note(message, event->mouseData);
  const LRESULT result = ::CallNextHookEx(nullptr, code, message, lParam);
  // The hooks installed before ours have seen it now too; those after it
  // saw it first.
  if (ours && active) {
    active->seen_ = static_cast<std::uint32_t>(event->dwExtraInfo);
    ::SetEvent(active->seenEvent_);
  }
  return result;
}

void InputWatch::Note(WPARAM message, DWORD mouseData) {
  const unsigned x = HIWORD(mouseData) == XBUTTON1 ? kX1 : kX2;
  switch (message) {
    case WM_LBUTTONDOWN: buttons_ |= kLeft; break;
    case WM_LBUTTONUP: buttons_ &= ~kLeft; break;
    case WM_RBUTTONDOWN: buttons_ |= kRight; break;
    case WM_RBUTTONUP: buttons_ &= ~kRight; break;
    case WM_MBUTTONDOWN: buttons_ |= kMiddle; break;
    case WM_MBUTTONUP: buttons_ &= ~kMiddle; break;
    case WM_XBUTTONDOWN: buttons_ |= x; break;
    case WM_XBUTTONUP: buttons_ &= ~x; break;
  }
}

bool InputWatch::AwaitSeen(DWORD timeoutMs) {
  const std::uint32_t last = sent_;
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  // Numbers wrap: seen_ has caught up when it is not behind.
  while (static_cast<std::int32_t>(seen_ - last) < 0) {
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    ::WaitForSingleObject(seenEvent_, static_cast<DWORD>(deadline - now));
  }
  return true;
}
