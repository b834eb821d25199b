#include "platform/win32/input_watch.h"

namespace {
// The hook procedure has no context of its own.
InputWatch* active = nullptr;

// A thread message: put the hook back in.
constexpr UINT kPutBack = WM_APP + 1;

// The buttons held as the system has them, which holds none of ours when
// the hook goes in at the start, and ours still queued when it goes back.
unsigned HeldBySystem() {
  const struct {
    int key;
    unsigned bit;
  } keys[] = {{VK_LBUTTON, ButtonWatch::kLeft},
              {VK_RBUTTON, ButtonWatch::kRight},
              {VK_MBUTTON, ButtonWatch::kMiddle},
              {VK_XBUTTON1, ButtonWatch::kX1},
              {VK_XBUTTON2, ButtonWatch::kX2}};
  unsigned held = 0;
  for (const auto& k : keys)
    if (::GetAsyncKeyState(k.key) & 0x8000) held |= k.bit;
  return held;
}
}  // namespace

bool InputWatch::Start() {
  if (thread_ || active) return thread_ != nullptr;
  started_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  seenEvent_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
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
  view_.HookOut();
}

void InputWatch::PutBack() {
  if (thread_) ::PostThreadMessageW(threadId_, kPutBack, 0, 0);
}

HHOOK InputWatch::HookIn() {
  HHOOK hook = ::SetWindowsHookExW(WH_MOUSE_LL, &InputWatch::Hook, ::GetModuleHandleW(nullptr), 0);
  if (hook)
    view_.HookIn(HeldBySystem(), ::GetTickCount());
  else
    view_.HookOut();
  return hook;
}

// The hook is called on this thread, as a message: it must do nothing but
// pump them, and put the hook back when asked.
DWORD WINAPI InputWatch::Run(void* self) {
  auto* watch = static_cast<InputWatch*>(self);
  MSG message;
  ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the queue, for WM_QUIT
  HHOOK hook = watch->HookIn();
  watch->hooked_ = hook != nullptr;
  ::SetEvent(watch->started_);
  if (!hook) return 1;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.hwnd == nullptr && message.message == kPutBack) {
      // Fails when Windows removed it already.
      if (hook) ::UnhookWindowsHookEx(hook);
      hook = watch->HookIn();
      continue;
    }
    ::DispatchMessageW(&message);
  }
  if (hook) ::UnhookWindowsHookEx(hook);
  return 0;
}

LRESULT CALLBACK InputWatch::Hook(int code, WPARAM message, LPARAM lParam) {
  InputWatch* const watch = active;
  if (code != HC_ACTION || !watch) return ::CallNextHookEx(nullptr, code, message, lParam);
  const auto* event = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
  const bool ours = watch->mark_.IsOurs(event->dwExtraInfo);
  if (!ours) watch->Note(message, event->mouseData);
  // The event's own time, on GetLastInputInfo's clock: a hook called late
  // must not pass for having seen what came meanwhile. Never past now,
  // whatever a program that injects input puts there.
  const DWORD now = ::GetTickCount();
  watch->view_.Saw(static_cast<LONG>(event->time - now) > 0 ? now : event->time);
  const LRESULT result = ::CallNextHookEx(nullptr, code, message, lParam);
  // The hooks installed before ours have seen it now too; those after it
  // saw it first.
  if (ours) {
    watch->seen_ = InputMark::SequenceOf(event->dwExtraInfo);
    ::SetEvent(watch->seenEvent_);
  }
  return result;
}

void InputWatch::Note(WPARAM message, DWORD mouseData) {
  const unsigned x = HIWORD(mouseData) == XBUTTON1 ? ButtonWatch::kX1 : ButtonWatch::kX2;
  switch (message) {
    case WM_LBUTTONDOWN: view_.UserButton(ButtonWatch::kLeft, true); break;
    case WM_LBUTTONUP: view_.UserButton(ButtonWatch::kLeft, false); break;
    case WM_RBUTTONDOWN: view_.UserButton(ButtonWatch::kRight, true); break;
    case WM_RBUTTONUP: view_.UserButton(ButtonWatch::kRight, false); break;
    case WM_MBUTTONDOWN: view_.UserButton(ButtonWatch::kMiddle, true); break;
    case WM_MBUTTONUP: view_.UserButton(ButtonWatch::kMiddle, false); break;
    case WM_XBUTTONDOWN: view_.UserButton(x, true); break;
    case WM_XBUTTONUP: view_.UserButton(x, false); break;
  }
}

bool InputWatch::AwaitSeen(DWORD timeoutMs) {
  const std::uint16_t last = sent_;
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  while (!InputMark::Reached(seen_, last)) {
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    ::WaitForSingleObject(seenEvent_, static_cast<DWORD>(deadline - now));
  }
  return true;
}
