#pragma once
// What a desktop has to tell the user, as a reason and what it names; the
// program words it (tracking/messages.h), so no sentence is made here.
#include <string>
#include <vector>

enum class Reason {
  // Why a way of reading and clicking cannot be taken.
  NoCompositor,           // nothing answers at WAYLAND_DISPLAY
  MissingProtocols,       // detail: the protocols the compositor lacks
  NoXWaylandForPointer,   // wlroots: XWayland tells where the pointer is
  NoSessionBus,           // no D-Bus session bus
  NoRemoteDesktopPortal,  // detail: the bus's error
  PortalSilent,           // detail: what the portal did not answer in time
  PortalWithoutPointer,
  PortalWithoutMonitors,
  NoXWaylandForWindow,  // the portal: the window is an X window
  NoXDisplay,           // detail: $DISPLAY; causes: why Wayland could not serve
  XWaylandOnly,         // causes: why Wayland could not serve
  UnknownRoute,         // detail: what COLORCLICKER_DESKTOP asked for, and the choices
  // wlroots: the compositor did not tell in time what it offers.
  CompositorNotAnswering,

  // While it runs: access through the desktop portal, with the user's consent.
  PortalError,         // detail: the portal's error
  AccessRefused,       // the user said no
  AccessInterrupted,   // the dialog ended otherwise
  NoPointerOrMonitor,  // allowed, but without the pointer or any monitor
  PipeWireNotOpened,   // detail: the portal's error
  ScreenUnreadable,    // allowed, but the pictures cannot be had; detail: why
  AccessEnded,         // the desktop stopped the sharing
  ScreenStreamBroken,  // PipeWire ended the pictures
  PortalGone,          // detail: the bus name of the portal or backend that went away
  PortalTimedOut,      // detail: the call the portal did not answer in time
  WrongPortalReply,    // detail: what in a reply was not of its type
  NoPictureFormat,     // none agreed on with a stream; detail: PipeWire's words, if any
  NoPictures,          // none yet from some monitors; detail: their numbers

  // While tracking: the colour showed in a window that runs with more
  // rights (as administrator, or as the system), where the system drops
  // our clicks.
  ElevatedTarget,
  // While tracking: the system took in nothing of a click (Windows:
  // SendInput inserted nothing) and no such window explains it: input
  // blocked by another program, or going to another desktop.
  InputRefused,

  // While it runs on a wlroots compositor: an output whose copies cannot
  // be read (detail: the output and its format; the output), and a wait
  // that ran out (causes: what was waited for, one of the Awaited... ones
  // with the output, if any, as detail).
  UnreadableCopyFormat,
  NoSharedMemoryCopies,
  CompositorSilent,
  AwaitedOutputs,
  AwaitedScreenCopy,
  AwaitedLayoutCheck,

  // The end: the program cannot go on.
  DisplayLost,
  CompositorLost,
};

struct Notice {
  Reason reason;
  std::string detail;          // untranslated: a protocol's or a service's own words
  std::vector<Notice> causes;  // what led to it, in the order they were found
};
