// A stand-in for the application being watched: shows solid-colour
// rectangles and logs every button press on them.
// Usage: click_target [--framed|--managed] LOGFILE X Y W H RRGGBB [X Y W H RRGGBB ...]
//        --framed: windows for a window manager to frame; the first
//        rectangle is the desktop below all windows, the others normal
//        windows placed where the manager puts them, each logged as
//        "window RRGGBB X Y" (its client area on the screen) once shown and
//        after every move. --managed: the same without title bar or border
//        click_target --close WINDOW   asks a window to close, as a window
//                                      manager's close button does
//        click_target --owner SELECTION  whether a client owns SELECTION
//        click_target --record LOGFILE logs every button press the server
//                                      handles, on any window, as
//                                      "press X Y button B"
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <X11/extensions/record.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {
int AskToClose(Window window) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 1;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XCloseDisplay(display);
  return 0;
}
void LogPress(XPointer closure, XRecordInterceptData* data) {
  FILE* log = reinterpret_cast<FILE*>(closure);
  if (data->category == XRecordStartOfData) {
    std::fprintf(log, "ready\n");
  } else if (data->category == XRecordFromServer) {
    const auto* event = reinterpret_cast<const xEvent*>(data->data);
    if (event->u.u.type == ButtonPress)
      std::fprintf(log, "press %d %d button %u\n", event->u.keyButtonPointer.rootX,
                   event->u.keyButtonPointer.rootY, event->u.u.detail);
  }
  std::fflush(log);
  XRecordFreeData(data);
}

// A desktop window (what a file manager's desktop is) for the first
// rectangle, normal windows asking for their place for the others.
void AskToBeManaged(Display* display, Window window, bool desktop, bool bare, int x, int y, int w,
                    int h, const std::string& title) {
  XSizeHints size{};
  size.flags = USPosition | USSize;
  size.x = x, size.y = y, size.width = w, size.height = h;
  XSetWMNormalHints(display, window, &size);
  XWMHints hints{};
  hints.flags = InputHint;
  hints.input = True;
  XSetWMHints(display, window, &hints);
  XStoreName(display, window, title.c_str());
  if (bare) {
    // _MOTIF_WM_HINTS: flags MWM_HINTS_DECORATIONS, decorations none.
    const long motif[5] = {2, 0, 0, 0, 0};
    const Atom hintsAtom = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, window, hintsAtom, hintsAtom, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(motif), 5);
  }
  if (!desktop) return;
  const Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
  const Atom desk = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
  XChangeProperty(display, window, type, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&desk), 1);
}

void LogPlace(Display* display, FILE* log, Window window, unsigned long rgb) {
  int x, y;
  Window child;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
  std::fprintf(log, "window %06lx %d %d\n", rgb, x, y);
  std::fflush(log);
}

// Where clicks land on windows this program does not own: RECORD sees the
// device events of every client, the program's synthetic ones included.
int RecordPresses(const char* logPath) {
  Display* control = XOpenDisplay(nullptr);
  Display* data = XOpenDisplay(nullptr);
  FILE* log = std::fopen(logPath, "w");
  if (!control || !data || !log) {
    std::fprintf(stderr, "click_target --record: %s\n",
                 log ? "no X display" : "cannot write the log");
    return 1;
  }
  XRecordRange* range = XRecordAllocRange();
  range->device_events.first = ButtonPress;
  range->device_events.last = ButtonPress;
  XRecordClientSpec clients = XRecordAllClients;
  const XRecordContext context = XRecordCreateContext(control, 0, &clients, 1, &range, 1);
  XSync(control, False);
  if (!context || !XRecordEnableContext(data, context, LogPress, reinterpret_cast<XPointer>(log))) {
    std::fprintf(stderr, "click_target --record: the server would not record\n");
    return 1;
  }
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--close")
    return AskToClose(std::strtoul(argv[2], nullptr, 0));
  if (argc == 3 && std::string(argv[1]) == "--record") return RecordPresses(argv[2]);
  if (argc == 3 && std::string(argv[1]) == "--owner") {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    const bool owned = XGetSelectionOwner(display, XInternAtom(display, argv[2], False)) != None;
    XCloseDisplay(display);
    return owned ? 0 : 1;
  }
  const bool bare = argc > 1 && std::string(argv[1]) == "--managed";
  const bool framed = bare || (argc > 1 && std::string(argv[1]) == "--framed");
  if (framed) --argc, ++argv;
  if (argc < 7 || (argc - 2) % 5 != 0) {
    std::fprintf(stderr, "usage: click_target [--framed|--managed] LOGFILE X Y W H RRGGBB ...\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 1;
  FILE* log = std::fopen(argv[1], "w");
  if (!log) return 1;
  const int screen = DefaultScreen(display);
  std::map<Window, unsigned long> colourOf;
  for (int i = 2; i + 4 < argc; i += 5) {
    const unsigned long rgb = std::strtoul(argv[i + 4], nullptr, 16);
    XColor colour{};
    colour.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257);
    colour.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257);
    colour.blue = static_cast<unsigned short>((rgb & 0xFF) * 257);
    colour.flags = DoRed | DoGreen | DoBlue;
    XAllocColor(display, DefaultColormap(display, screen), &colour);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = colour.pixel;
    attributes.override_redirect = !framed;  // exactly where asked, with or without a WM
    attributes.event_mask = ButtonPressMask | ExposureMask | StructureNotifyMask;
    const Window window = XCreateWindow(
        display, RootWindow(display, screen), std::atoi(argv[i]), std::atoi(argv[i + 1]),
        std::atoi(argv[i + 2]), std::atoi(argv[i + 3]), 0, CopyFromParent, InputOutput,
        CopyFromParent, CWBackPixel | CWOverrideRedirect | CWEventMask, &attributes);
    if (framed)
      AskToBeManaged(display, window, i == 2, bare, std::atoi(argv[i]), std::atoi(argv[i + 1]),
                     std::atoi(argv[i + 2]), std::atoi(argv[i + 3]),
                     "target " + std::string(argv[i + 4]));
    XMapRaised(display, window);
    colourOf[window] = rgb;
  }
  XSync(display, False);
  std::fprintf(log, "ready\n");
  std::fflush(log);
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (framed && (event.type == MapNotify || event.type == ConfigureNotify)) {
      // A ConfigureNotify from the manager may be synthetic: ask the server.
      LogPlace(display, log, event.xany.window, colourOf[event.xany.window]);
      continue;
    }
    if (event.type != ButtonPress) continue;
    // Drawn again, as a button does when pressed: a compositor has the
    // window to paint anew, with the click in its hands.
    if (framed)
      for (const auto& [window, colour] : colourOf) XClearArea(display, window, 0, 0, 0, 0, False);
    std::fprintf(log, "click %d %d %06lx button %u\n", event.xbutton.x_root, event.xbutton.y_root,
                 colourOf[event.xbutton.window], event.xbutton.button);
    std::fflush(log);
  }
}
