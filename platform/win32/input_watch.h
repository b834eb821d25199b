#pragma once
// The mouse buttons as the user holds them, and whether the system has
// handled the button events this program sent: a low-level mouse hook on a
// thread of its own, which sees every mouse event before the system
// handles it, whatever window is in front. What it sees goes into a
// ButtonWatch, which decides how far to trust it.
//
// Our own events carry a mark in dwExtraInfo (input_mark.h), and only those
// are left out of the user's buttons. Leaving out every injected event
// (LLMHF_INJECTED) would leave out too much: a remote-control tool or an
// on-screen mouse injects the user's own presses, and those must stop the
// clicks as a physical press does; so must another copy of this program.
#include <atomic>
#include <cstdint>

#include "platform/win32/button_watch.h"
#include "platform/win32/input_mark.h"
#include "platform/win32/windows_api.h"

static_assert(sizeof(ULONG_PTR) == sizeof(std::uint64_t), "the mark needs 64 bits of dwExtraInfo");

class InputWatch {
 public:
  InputWatch() = default;
  ~InputWatch() { Stop(); }
  InputWatch(const InputWatch&) = delete;
  InputWatch& operator=(const InputWatch&) = delete;

  // Installs the hook, one watch per process; false when it could not be,
  // and then the view never counts.
  bool Start();
  void Stop();
  bool Running() const { return thread_ != nullptr; }
  // Installs the hook again, on its thread, without waiting for it: Windows
  // may have removed it without a word.
  void PutBack();

  // The dwExtraInfo for the next event this program sends, and, once it
  // was inserted, that it was sent.
  ULONG_PTR NextMark() const { return mark_.Of(static_cast<std::uint16_t>(sent_ + 1)); }
  void MarkSent() { ++sent_; }
  // Waits until every hook on the desktop has seen the event sent last,
  // which the system handles right after; false after timeoutMs.
  bool AwaitSeen(DWORD timeoutMs);
  ButtonWatch& View() { return view_; }

 private:
  static DWORD WINAPI Run(void* self);
  static LRESULT CALLBACK Hook(int code, WPARAM message, LPARAM lParam);
  void Note(WPARAM message, DWORD mouseData);
  HHOOK HookIn();

  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  HANDLE started_ = nullptr, seenEvent_ = nullptr;
  bool hooked_ = false;
  const InputMark mark_{static_cast<std::uint32_t>(::GetCurrentProcessId())};
  std::atomic<std::uint16_t> sent_{0}, seen_{0};
  ButtonWatch view_;
};
