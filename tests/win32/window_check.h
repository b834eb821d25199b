#pragma once
// What the parts of window_check.exe share.
#include <string>

class Win32Desktop;

// Prints the outcome of one check and counts it (window_check.cpp).
void Check(bool ok, const std::string& what);

// input_check.cpp: with the desktop's input watch running and the cursor
// over another program's window, the input of another copy of this
// program, and our own clicks with the buttons swapped for the left hand.
void CheckOthersInputAndTheLeftHand(Win32Desktop& desktop);
// A watch of its own (none other running): its hook put back in.
void CheckHookPutBack();
