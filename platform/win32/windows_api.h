#pragma once
// <windows.h> for this program's Windows sources. The shared seam declares
// CLR_INVALID and the MOUSEEVENTF_ flags itself, so it has to be seen before
// <windows.h> turns those names into macros.
#include "platform/desktop.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#include <windows.h>
