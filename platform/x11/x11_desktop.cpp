#include "platform/x11/x11_desktop.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <thread>

// One Xlib connection shared by the desktop and its screen contexts.
struct X11Desktop::Connection {
  Display* display = nullptr;
  Window root = 0;
  ~Connection() {
    if (display) XCloseDisplay(display);
  }
};

namespace {

// Xlib's default handler ends the process; a failed read must only fail.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// Scales one channel of a pixel to 8 bits using the image's mask.
std::uint32_t Channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const unsigned long bits = mask >> shift;
  const unsigned long value = (pixel & mask) >> shift;
  return static_cast<std::uint32_t>(value * 255 / bits);
}

Colorref ToColorref(XImage* image, unsigned long pixel) {
  return Channel(pixel, image->red_mask) | Channel(pixel, image->green_mask) << 8 |
         Channel(pixel, image->blue_mask) << 16;
}

class X11ScreenContext : public ScreenContext {
 public:
  explicit X11ScreenContext(std::shared_ptr<X11Desktop::Connection> connection)
      : connection_(std::move(connection)) {
    RefreshScreenSize();
  }

  Colorref GetPixel(std::int32_t x, std::int32_t y) override {
    Colorref pixel = CLR_INVALID;
    ReadRegion(x, y, 1, 1, &pixel);
    return pixel;
  }

  void ReadRegion(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                  Colorref* out) override {
    if (width <= 0 || height <= 0) return;
    std::fill(out, out + std::int64_t{width} * height, CLR_INVALID);
    XImage* image = GetOnScreenPart(left, top, width, height);
    if (!image) {
      // The screen may have been resized since the size was taken.
      RefreshScreenSize();
      image = GetOnScreenPart(left, top, width, height);
      if (!image) return;
    }
    const std::int64_t x0 = std::max<std::int64_t>(left, 0), x1 = x0 + image->width;
    const std::int64_t y0 = std::max<std::int64_t>(top, 0), y1 = y0 + image->height;
    for (std::int64_t y = y0; y < y1; ++y) {
      Colorref* row = out + (y - top) * width;
      for (std::int64_t x = x0; x < x1; ++x)
        row[x - left] = ToColorref(image, XGetPixel(image, int(x - x0), int(y - y0)));
    }
    XDestroyImage(image);
  }

 private:
  void RefreshScreenSize() {
    XWindowAttributes root{};
    if (XGetWindowAttributes(connection_->display, connection_->root, &root)) {
      screenWidth_ = root.width;
      screenHeight_ = root.height;
    }
  }

  // Only the part on the screen is asked for: the server refuses the rest.
  XImage* GetOnScreenPart(std::int64_t left, std::int64_t top, std::int64_t width,
                          std::int64_t height) {
    const std::int64_t x0 = std::max<std::int64_t>(left, 0);
    const std::int64_t y0 = std::max<std::int64_t>(top, 0);
    const std::int64_t x1 = std::min<std::int64_t>(left + width, screenWidth_);
    const std::int64_t y1 = std::min<std::int64_t>(top + height, screenHeight_);
    if (x0 >= x1 || y0 >= y1) return nullptr;
    return XGetImage(connection_->display, connection_->root, int(x0), int(y0),
                     unsigned(x1 - x0), unsigned(y1 - y0), AllPlanes, ZPixmap);
  }

  std::shared_ptr<X11Desktop::Connection> connection_;
  std::int64_t screenWidth_ = 0, screenHeight_ = 0;
};

}  // namespace

std::unique_ptr<X11Desktop> X11Desktop::Open(const char* displayName) {
  XSetErrorHandler(IgnoreXError);
  auto connection = std::make_shared<Connection>();
  connection->display = XOpenDisplay(displayName);
  if (!connection->display) return nullptr;
  connection->root = DefaultRootWindow(connection->display);
  int eventBase, errorBase, major, minor;
  if (!XTestQueryExtension(connection->display, &eventBase, &errorBase, &major, &minor))
    return nullptr;
  return std::unique_ptr<X11Desktop>(new X11Desktop(std::move(connection)));
}

X11Desktop::X11Desktop(std::shared_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

X11Desktop::~X11Desktop() = default;

// From the server, in root-window pixels: never a toolkit's scaled value.
ScreenPoint X11Desktop::GetCursorPos() {
  Window root, child;
  int rootX = 0, rootY = 0, winX, winY;
  unsigned int mask;
  XQueryPointer(connection_->display, connection_->root, &root, &child, &rootX, &rootY, &winX,
                &winY, &mask);
  return {rootX, rootY};
}

std::unique_ptr<ScreenContext> X11Desktop::GetDC() {
  return std::make_unique<X11ScreenContext>(connection_);
}

void X11Desktop::SetCursorPos(std::int32_t x, std::int32_t y) {
  // A real motion event, so the window under the cursor sees it enter.
  XTestFakeMotionEvent(connection_->display, -1, x, y, CurrentTime);
  XSync(connection_->display, False);
}

void X11Desktop::MouseEvent(std::uint32_t flags) {
  struct ButtonFlag {
    std::uint32_t flag;
    unsigned int button;  // X numbers the middle button 2 and the right one 3
    bool press;
  };
  static constexpr ButtonFlag kButtons[] = {
      {MOUSEEVENTF_LEFTDOWN, 1, true},    {MOUSEEVENTF_LEFTUP, 1, false},
      {MOUSEEVENTF_RIGHTDOWN, 3, true},   {MOUSEEVENTF_RIGHTUP, 3, false},
      {MOUSEEVENTF_MIDDLEDOWN, 2, true},  {MOUSEEVENTF_MIDDLEUP, 2, false},
  };
  for (const ButtonFlag& b : kButtons) {
    if (!(flags & b.flag)) continue;
    XTestFakeButtonEvent(connection_->display, b.button, b.press, CurrentTime);
    // Each event reaches the server before anything is read again.
    XSync(connection_->display, False);
  }
}

void X11Desktop::Sleep(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
