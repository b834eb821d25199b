#pragma once
// Which program's window would take a click at a screen point, and whether
// the system would let this program's click through to it.
#include "platform/win32/windows_api.h"

// The top-level window a click at `point` (physical pixels) would go to,
// frame included: the root of the window WindowFromPoint finds, disabled
// ones included; a window cloaked on another virtual desktop is passed over
// for the next one below it. Null over no window.
HWND TopLevelWindowAt(POINT point);

// Whether the system keeps this program's input from `window`: user
// interface privilege isolation shields windows of programs run as
// administrator or as the system, and drops our clicks there without a
// word. Decided by what the system does with a message of ours (posted:
// it waits for nobody), refused with ERROR_ACCESS_DENIED exactly where
// input is; `post` is PostMessageW but in tests. False for no window.
using PostMessageFunction = BOOL(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
bool RefusesOurInput(HWND window, PostMessageFunction post = ::PostMessageW);
