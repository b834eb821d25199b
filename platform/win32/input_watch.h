#pragma once
// The mouse buttons as the user holds them, and whether the system has
// handled the button events this program sent: a low-level mouse hook on a
// thread of its own, which sees every mouse event before the system
// handles it, whatever window is in front.
//
// Our own events carry a mark in dwExtraInfo, and only those are left out
// of the user's buttons. Leaving out every injected event (LLMHF_INJECTED)
// would leave out too much: a remote-control tool or an on-screen mouse
// injects the user's own presses, and those must stop the clicks as a
// physical press does.
#include <atomic>
#include <cstdint>

#include "platform/win32/windows_api.h"

class InputWatch {
 public:
  InputWatch() = default;
  ~InputWatch() { Stop(); }
  InputWatch(const InputWatch&) = delete;
  InputWatch& operator=(const InputWatch&) = delete;

  // Installs the hook, one watch per process; false when it could not be,
  // and then nothing here is known.
  bool Start();
  void Stop();
  bool Running() const { return thread_ != nullptr; }

  // The dwExtraInfo for the next event this program sends.
  ULONG_PTR MarkNext() { return kTag | ++sent_; }
  // Waits until every hook on the desktop has seen the event marked last,
  // which the system handles right after; false after timeoutMs.
  bool AwaitSeen(DWORD timeoutMs);
  // Whether the user holds a button as the hook saw it, or did when it
  // was installed.
  bool UserHoldsButton() const { return buttons_ != 0; }

 private:
  static constexpr ULONG_PTR kTag = ULONG_PTR{0x636C6B} << 32;
  static DWORD WINAPI Run(void* self);
  static LRESULT CALLBACK Hook(int code, WPARAM message, LPARAM lParam);
  void Note(WPARAM message, DWORD mouseData);

  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  HANDLE started_ = nullptr, seenEvent_ = nullptr;
  bool hooked_ = false;
  std::atomic<std::uint32_t> sent_{0}, seen_{0};
  std::atomic<unsigned> buttons_{0};  // one bit per button
};
