// Our input and others', as the low-level hook tells them apart under
// Wine: another copy of the program, the left hand's swapped buttons, and
// the hook put back in. Part of window_check.exe.
#include <cstdint>

#include "platform/win32/input_watch.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/windows_api.h"
#include "tests/win32/window_check.h"

namespace {
// One mouse event of these flags at the cursor, marked as given.
void SendMarked(DWORD flags, ULONG_PTR mark) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  input.mi.dwExtraInfo = mark;
  ::SendInput(1, &input, sizeof input);
}

// Whether `holds` comes true within two seconds: the hook sees other
// programs' input a moment after it was sent.
template <typename Condition>
bool ComesTrue(Condition holds) {
  for (int i = 0; i < 200; ++i, ::Sleep(10))
    if (holds()) return true;
  return false;
}

std::uint32_t LastInputTick() {
  LASTINPUTINFO info{sizeof info, 0};
  ::GetLastInputInfo(&info);
  return info.dwTime;
}
}  // namespace

void CheckOthersInputAndTheLeftHand(Win32Desktop& desktop) {
  // Another copy of the program marks its input with its own process id:
  // its press is a button held, as the user's would be.
  const InputMark otherCopy(::GetCurrentProcessId() + 4);
  SendMarked(MOUSEEVENTF_LEFTDOWN, otherCopy.Of(1));
  const bool otherHeld = ComesTrue([&] { return desktop.AnyMouseButtonDown(); });
  SendMarked(MOUSEEVENTF_LEFTUP, otherCopy.Of(2));
  Check(otherHeld && ComesTrue([&] { return !desktop.AnyMouseButtonDown(); }),
        "another copy's press counts as a button held, until it is released");

  // Left-handed: Wine does not swap injected input, so what we send is
  // the physical button, and that is the right one, still taken for ours.
  ::SwapMouseButton(TRUE);
  desktop.MouseEvent(MOUSEEVENTF_LEFTDOWN);
  const bool swappedHandled = desktop.AwaitInputHandled();
  const bool physicalRight =
      (::GetAsyncKeyState(VK_RBUTTON) & 0x8000) && !(::GetAsyncKeyState(VK_LBUTTON) & 0x8000);
  const bool swappedTakenForUsers = desktop.AnyMouseButtonDown();
  desktop.MouseEvent(MOUSEEVENTF_LEFTUP);
  const bool releasedRight = desktop.AwaitInputHandled() && !desktop.InputRefused() &&
                             !(::GetAsyncKeyState(VK_RBUTTON) & 0x8000);
  ::SwapMouseButton(FALSE);
  Check(swappedHandled && physicalRight && releasedRight && !swappedTakenForUsers,
        "with the buttons swapped our click goes out on the physical right button");
}

void CheckHookPutBack() {
  // Put back (Windows may remove it without a word), the hook sees our
  // events again, and its view counts once it has.
  InputWatch watch;
  const bool started = watch.Start();
  watch.PutBack();
  ::Sleep(100);
  SendMarked(MOUSEEVENTF_MOVE, watch.NextMark());
  watch.MarkSent();
  Check(started && watch.AwaitSeen(2000) && watch.View().ViewIsCurrent(LastInputTick()),
        "a hook put back sees our events, and its view counts again");
  watch.Stop();
}
