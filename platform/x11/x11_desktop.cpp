#include "platform/x11/x11_desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrender.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/button_events.h"
#include "platform/index_span.h"
#include "platform/x11/connection_lost.h"

namespace {

// Xlib's default handler ends the process; a failed request must only fail.
// The last error is kept so that a probe can tell whether its request failed.
struct {
  Display* display = nullptr;
  unsigned long serial = 0;
} lastError;

int RecordXError(Display* display, XErrorEvent* event) {
  lastError = {display, event->serial};
  return 0;
}

// Waits until the server has handled everything sent so far; true when a
// request from `serial` on failed.
bool FailedSince(Display* display, unsigned long serial) {
  XSync(display, False);
  return lastError.display == display && lastError.serial >= serial;
}

// The server can only map our segment when it runs on this machine.
bool IsLocal(Display* display) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  return getsockname(ConnectionNumber(display), reinterpret_cast<sockaddr*>(&address), &length) ==
             0 &&
         address.ss_family == AF_UNIX;
}

// Scales one channel to 8 bits with the visual's mask, precomputed so the
// conversion loop does no bit searching.
struct Channel {
  unsigned long mask = 0;
  int shift = 0;
  unsigned long max = 0;

  explicit Channel(unsigned long m = 0) : mask(m) {
    if (!mask) return;
    while (!((mask >> shift) & 1)) ++shift;
    max = mask >> shift;
  }
  std::uint32_t operator()(unsigned long pixel) const {
    if (!mask) return 0;
    return static_cast<std::uint32_t>(((pixel & mask) >> shift) * 255 / max);
  }
};

struct PixelFormat {
  Channel red, green, blue;
  // 0x00RRGGBB, what nearly every 24- and 32-bit display uses.
  bool rgb888 = false;

  PixelFormat() = default;
  PixelFormat(unsigned long r, unsigned long g, unsigned long b)
      : red(r), green(g), blue(b), rgb888(r == 0xFF0000 && g == 0xFF00 && b == 0xFF) {}

  Colorref FromPixel(unsigned long pixel) const {
    return red(pixel) | green(pixel) << 8 | blue(pixel) << 16;
  }
};

// Converts `count` pixels of one image row, from column x every `step`
// columns, to COLORREF. With step 1 and unpadded lines, count may run on
// into the following rows.
void ConvertRow(const XImage* image, const PixelFormat& format, std::int64_t x, std::int64_t y,
                std::int64_t count, std::int64_t step, Colorref* out) {
  constexpr int kHostOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  if (image->bits_per_pixel == 32 && image->byte_order == kHostOrder) {
    const auto* pixels = reinterpret_cast<const std::uint32_t*>(
                             image->data + y * std::int64_t{image->bytes_per_line}) +
                         x;
    auto swap = [](std::uint32_t p) { return (p >> 16 & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16; };
    if (format.rgb888 && step == 1) {
      std::int64_t i = 0;
#if defined(__SSE2__)
      // Four at a time: most of a pass's own time goes here.
      const __m128i low = _mm_set1_epi32(0xFF), green = _mm_set1_epi32(0xFF00);
      for (; i + 4 <= count; i += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + i));
        const __m128i r = _mm_and_si128(_mm_srli_epi32(p, 16), low);
        const __m128i b = _mm_slli_epi32(_mm_and_si128(p, low), 16);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_or_si128(_mm_or_si128(r, b), _mm_and_si128(p, green)));
      }
#endif
      for (; i < count; ++i) out[i] = swap(pixels[i]);
    } else if (format.rgb888) {
      for (std::int64_t i = 0; i < count; ++i) out[i] = swap(pixels[i * step]);
    } else {
      for (std::int64_t i = 0; i < count; ++i) out[i] = format.FromPixel(pixels[i * step]);
    }
    return;
  }
  // Other layouts are rare enough for Xlib's own pixel access.
  auto* writable = const_cast<XImage*>(image);
  for (std::int64_t i = 0; i < count; ++i)
    out[i] = format.FromPixel(XGetPixel(writable, int(x + i * step), int(y)));
}

// A shared-memory image kept for reuse; reshaped in place for every read.
class ShmImage {
 public:
  ShmImage() = default;
  ShmImage(const ShmImage&) = delete;
  ShmImage& operator=(const ShmImage&) = delete;
  ~ShmImage() { Release(); }

  // Room for a width x height read; false when no segment could be made
  // or attached, which leaves this empty.
  bool Reserve(Display* display, Visual* visual, int depth, int width, int height) {
    if (image_ && BytesPerLine(width) * height <= bytes_) return true;
    Release();
    display_ = display;
    image_ = XShmCreateImage(display, visual, unsigned(depth), ZPixmap, nullptr, &info_,
                             unsigned(width), unsigned(height));
    if (!image_) return false;
    bytes_ = std::int64_t{image_->bytes_per_line} * height;
    info_.shmid = shmget(IPC_PRIVATE, std::size_t(bytes_), IPC_CREAT | 0600);
    if (info_.shmid < 0) return Fail();
    info_.shmaddr = static_cast<char*>(shmat(info_.shmid, nullptr, 0));
    if (info_.shmaddr == reinterpret_cast<char*>(-1)) {
      shmctl(info_.shmid, IPC_RMID, nullptr);
      info_.shmaddr = nullptr;
      return Fail();
    }
    image_->data = info_.shmaddr;
    info_.readOnly = False;
    const unsigned long serial = NextRequest(display);
    XShmAttach(display, &info_);
    const bool refused = FailedSince(display, serial);
    // Marked for removal now, so the kernel frees it once both sides have
    // detached, even if this process dies first.
    shmctl(info_.shmid, IPC_RMID, nullptr);
    if (refused) return Fail();
    attached_ = true;
    return true;
  }

  // Reads a rectangle of the drawable into the segment.
  XImage* Get(Drawable drawable, int x, int y, int width, int height) {
    image_->width = width;
    image_->height = height;
    image_->bytes_per_line = int(BytesPerLine(width));
    return XShmGetImage(display_, drawable, image_, x, y, AllPlanes) ? image_ : nullptr;
  }

  void Release() {
    if (attached_) XShmDetach(display_, &info_);
    attached_ = false;
    if (info_.shmaddr) shmdt(info_.shmaddr);
    info_.shmaddr = nullptr;
    if (image_) XDestroyImage(image_);  // frees only the header for an SHM image
    image_ = nullptr;
    bytes_ = 0;
  }

 private:
  bool Fail() {
    Release();
    return false;
  }
  std::int64_t BytesPerLine(std::int64_t width) const {
    const std::int64_t pad = image_->bitmap_pad;
    return (width * image_->bits_per_pixel + pad - 1) / pad * pad / 8;
  }

  Display* display_ = nullptr;
  XImage* image_ = nullptr;
  XShmSegmentInfo info_{};
  std::int64_t bytes_ = 0;
  bool attached_ = false;
};

}  // namespace

// One Xlib connection shared by the desktop and its screen contexts.
struct X11Desktop::Connection {
  Display* display = nullptr;
  Window root = 0;
  Visual* visual = nullptr;
  int depth = 0;
  PixelFormat format;
  std::int64_t screenWidth = 0, screenHeight = 0;
  // What bulk reads may use; cleared for good when the server refuses it.
  bool shm = false;
  bool render = false;
  XRenderPictFormat* renderFormat = nullptr;
  Atom netWmPid = None;

  ~Connection() {
    if (!display) return;
    ForgetConnection(display);
    XCloseDisplay(display);
  }

  void RefreshScreenSize() {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, root, &attributes)) {
      screenWidth = attributes.width;
      screenHeight = attributes.height;
    }
  }

  // The root window reports its resizes (StructureNotify is selected on
  // it); true when one of the events handled here changed the size. With
  // QueuedAlready nothing is read from the socket: after a reply, every
  // event the server sent before it is already queued.
  bool TakeEvents(int mode) {
    bool resized = false;
    for (int n = XEventsQueued(display, mode); n > 0; --n) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type != ConfigureNotify || event.xconfigure.window != root) continue;
      if (event.xconfigure.width != screenWidth || event.xconfigure.height != screenHeight) {
        screenWidth = event.xconfigure.width;
        screenHeight = event.xconfigure.height;
        resized = true;
      }
    }
    return resized;
  }
};

namespace {

class X11ScreenContext final : public BulkScreenContext {
 public:
  explicit X11ScreenContext(std::shared_ptr<X11Desktop::Connection> connection)
      : c_(std::move(connection)) {}
  X11ScreenContext(const X11ScreenContext&) = delete;
  X11ScreenContext& operator=(const X11ScreenContext&) = delete;

  ~X11ScreenContext() override {
    shm_.Release();
    if (samplePicture_) XRenderFreePicture(c_->display, samplePicture_);
    if (samplePixmap_) XFreePixmap(c_->display, samplePixmap_);
    if (rootPicture_) XRenderFreePicture(c_->display, rootPicture_);
    XSync(c_->display, False);
  }

  // One plain request per pixel: the reference the bulk reads are held to.
  Colorref GetPixel(std::int32_t x, std::int32_t y) override {
    c_->TakeEvents(QueuedAfterReading);
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (x < 0 || y < 0 || x >= c_->screenWidth || y >= c_->screenHeight) return CLR_INVALID;
      if (XImage* image = XGetImage(c_->display, c_->root, x, y, 1, 1, AllPlanes, ZPixmap)) {
        const Colorref pixel = c_->format.FromPixel(XGetPixel(image, 0, 0));
        XDestroyImage(image);
        return pixel;
      }
      c_->RefreshScreenSize();  // refused: the screen may have shrunk
    }
    return CLR_INVALID;
  }

  void ReadBulk(const SampleGrid& grid, Colorref* out) override {
    const auto count = static_cast<std::size_t>(grid.Count());
    c_->TakeEvents(QueuedAfterReading);
    for (int attempt = 0; attempt < 3; ++attempt) {
      const bool read = ReadOnScreenPart(grid, out);
      // A resize reported before the reply may have cut into the read.
      const bool resized = c_->TakeEvents(QueuedAlready);
      if (read && !resized) return;
      if (!read) c_->RefreshScreenSize();
    }
    std::fill(out, out + count, CLR_INVALID);
  }

 private:
  // Reads what lies on the screen as last reported; the rest reads
  // CLR_INVALID. False when the server refused the read.
  bool ReadOnScreenPart(const SampleGrid& g, Colorref* out) {
    const std::int64_t width = c_->screenWidth, height = c_->screenHeight;
    const IndexSpan rows(g.top, g.rowStep, g.rows, 0, height);
    // For each sample index, the runs whose sample of that index lies on
    // the screen: usually all of them.
    auto runsOf = [&](std::int64_t sample) {
      return IndexSpan(g.X(0, sample), g.runStep, g.runs, 0, width);
    };
    IndexSpan runs(g.runs, 0);
    std::int64_t x0 = width, x1 = 0, sampled = 0;
    for (std::int64_t sample = 0; sample < g.samples; ++sample) {
      const IndexSpan on = runsOf(sample);
      if (on.empty()) continue;
      runs = IndexSpan(std::min(runs.first, on.first), std::max(runs.end, on.end));
      x0 = std::min(x0, g.X(on.first, sample));
      x1 = std::max(x1, g.X(on.end - 1, sample) + 1);
      sampled += on.size() * rows.size();
    }
    if (sampled < g.Count()) std::fill(out, out + g.Count(), CLR_INVALID);
    if (sampled == 0) return true;
    const std::int64_t y0 = g.Y(rows.first), y1 = g.Y(rows.end - 1) + 1;
    const std::int64_t packedWidth = runs.size() * g.samples;

    if (c_->render && g.samples <= 64 && sampled * 2 <= (x1 - x0) * (y1 - y0) &&
        packedWidth <= 32767 && rows.size() <= 32767 && g.runStep <= 32767 && g.rowStep <= 32767) {
      // The server packs the samples into a small pixmap, laid out as the
      // result is: per row, one line of runs for each sample index. One
      // composite per sample index, scaled so that destination pixel (i, j)
      // takes the centre of source pixel (X(first + i, sample), Y(j)).
      if (!PrepareSampling(int(packedWidth), int(rows.size()))) return false;
      const double ty = double(y0) + 0.5 - g.rowStep * 0.5;
      for (std::int64_t sample = 0; sample < g.samples; ++sample) {
        const IndexSpan on = runsOf(sample);
        if (on.empty()) continue;
        const double tx = double(g.X(on.first, sample)) + 0.5 - g.runStep * 0.5;
        XTransform transform = {{{XDoubleToFixed(g.runStep), 0, XDoubleToFixed(tx)},
                                 {0, XDoubleToFixed(g.rowStep), XDoubleToFixed(ty)},
                                 {0, 0, XDoubleToFixed(1)}}};
        XRenderSetPictureTransform(c_->display, rootPicture_, &transform);
        XRenderComposite(c_->display, PictOpSrc, rootPicture_, None, samplePicture_, 0, 0, 0, 0,
                         int(sample * runs.size() + on.first - runs.first), 0, unsigned(on.size()),
                         unsigned(rows.size()));
      }
      XImage* image = Fetch(samplePixmap_, 0, 0, int(packedWidth), int(rows.size()));
      if (!image) return false;
      if (sampled == g.Count() && image->bits_per_pixel == 32 &&
          image->bytes_per_line == packedWidth * 4) {
        // All on the screen, the usual case: the image is the result.
        ConvertRow(image, c_->format, 0, 0, sampled, 1, out);
      } else {
        for (std::int64_t row = rows.first; row < rows.end; ++row)
          for (std::int64_t sample = 0; sample < g.samples; ++sample) {
            const IndexSpan on = runsOf(sample);
            ConvertRow(image, c_->format, sample * runs.size() + on.first - runs.first,
                       row - rows.first, on.size(), 1,
                       out + (row * g.samples + sample) * g.runs + on.first);
          }
      }
    } else {
      // Everything between the first and the last sample in one image.
      XImage* image = Fetch(c_->root, int(x0), int(y0), int(x1 - x0), int(y1 - y0));
      if (!image) return false;
      for (std::int64_t row = rows.first; row < rows.end; ++row)
        for (std::int64_t sample = 0; sample < g.samples; ++sample) {
          const IndexSpan on = runsOf(sample);
          ConvertRow(image, c_->format, g.X(on.first, sample) - x0, g.Y(row) - y0, on.size(),
                     g.runStep, out + (row * g.samples + sample) * g.runs + on.first);
        }
    }
    DropPlainImage();
    return true;
  }

  // The root as a source that includes the windows on it, and a pixmap at
  // least width x height to pack samples into; both kept across reads.
  bool PrepareSampling(int width, int height) {
    Display* d = c_->display;
    if (!rootPicture_) {
      XRenderPictureAttributes attributes{};
      attributes.subwindow_mode = IncludeInferiors;
      rootPicture_ =
          XRenderCreatePicture(d, c_->root, c_->renderFormat, CPSubwindowMode, &attributes);
    }
    if (samplePixmap_ && width <= pixmapWidth_ && height <= pixmapHeight_) return true;
    if (samplePicture_) XRenderFreePicture(d, samplePicture_);
    if (samplePixmap_) XFreePixmap(d, samplePixmap_);
    pixmapWidth_ = std::max(width, pixmapWidth_);
    pixmapHeight_ = std::max(height, pixmapHeight_);
    samplePixmap_ = XCreatePixmap(d, c_->root, unsigned(pixmapWidth_), unsigned(pixmapHeight_),
                                  unsigned(c_->depth));
    samplePicture_ = XRenderCreatePicture(d, samplePixmap_, c_->renderFormat, 0, nullptr);
    return rootPicture_ && samplePixmap_ && samplePicture_;
  }

  // Pixels of a rectangle of the drawable: into the segment when the server
  // can reach it, else through a plain reply.
  XImage* Fetch(Drawable drawable, int x, int y, int width, int height) {
    if (c_->shm) {
      if (shm_.Reserve(c_->display, c_->visual, c_->depth, width, height))
        return shm_.Get(drawable, x, y, width, height);
      c_->shm = false;  // refused or out of segments: plain replies from now on
    }
    plainImage_ = XGetImage(c_->display, drawable, x, y, unsigned(width), unsigned(height),
                            AllPlanes, ZPixmap);
    return plainImage_;
  }

  void DropPlainImage() {
    if (plainImage_) XDestroyImage(plainImage_);
    plainImage_ = nullptr;
  }

  std::shared_ptr<X11Desktop::Connection> c_;
  ShmImage shm_;
  XImage* plainImage_ = nullptr;
  Picture rootPicture_ = 0;
  Pixmap samplePixmap_ = 0;
  Picture samplePicture_ = 0;
  int pixmapWidth_ = 0, pixmapHeight_ = 0;
};

}  // namespace

DesktopRoute::Opening X11Desktop::OpenRoute(const OnDesktopLost& onLost) {
  DesktopRoute::Opening opening;
  std::unique_ptr<X11Desktop> x11 = Open();
  if (!x11) {
    const char* display = std::getenv("DISPLAY");
    opening.why = {Reason::NoXDisplay, display ? display : "", {}};
    return opening;
  }
  x11->OnConnectionLost([onLost] { onLost(Reason::DisplayLost); });
  opening.name = "screen: X11 (" + x11->ReadMethodName() + "), pointer: XTest";
  opening.desktop = std::move(x11);
  return opening;
}

std::unique_ptr<X11Desktop> X11Desktop::Open(const char* displayName, X11ReadOptions options) {
  XSetErrorHandler(RecordXError);
  auto c = std::make_shared<Connection>();
  c->display = XOpenDisplay(displayName);
  if (!c->display) return nullptr;
  Display* d = c->display;
  c->root = DefaultRootWindow(d);
  c->visual = DefaultVisual(d, DefaultScreen(d));
  c->depth = DefaultDepth(d, DefaultScreen(d));
  c->format = PixelFormat(c->visual->red_mask, c->visual->green_mask, c->visual->blue_mask);
  int eventBase, errorBase, major, minor;
  if (!XTestQueryExtension(d, &eventBase, &errorBase, &major, &minor)) return nullptr;
  XSelectInput(d, c->root, StructureNotifyMask);
  c->RefreshScreenSize();

  if (options.sharedMemory && XShmQueryExtension(d) && IsLocal(d)) {
    ShmImage probe;  // the server may still refuse to attach
    c->shm = probe.Reserve(d, c->visual, c->depth, 1, 1);
  }
  // Sampling copies pixels between pictures of the root's format, which
  // is exact for true-colour formats of up to 8 bits a channel.
  if (options.render && XRenderQueryExtension(d, &eventBase, &errorBase) &&
      XRenderQueryVersion(d, &major, &minor) && (major > 0 || minor >= 6) &&
      c->visual->c_class == TrueColor && c->depth <= 24) {
    c->renderFormat = XRenderFindVisualFormat(d, c->visual);
    c->render = c->renderFormat && c->renderFormat->type == PictTypeDirect;
  }
  c->netWmPid = XInternAtom(d, "_NET_WM_PID", False);
  return std::unique_ptr<X11Desktop>(new X11Desktop(std::move(c)));
}

X11Desktop::X11Desktop(std::shared_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

X11Desktop::~X11Desktop() = default;

void X11Desktop::OnConnectionLost(std::function<void()> onLost) {
  WatchConnection(connection_->display, std::move(onLost));
}

X11ReadOptions X11Desktop::ReadMethod() const { return {connection_->shm, connection_->render}; }

std::string X11Desktop::ReadMethodName() const {
  const X11ReadOptions m = ReadMethod();
  return std::string(m.render ? "XRender sampling + " : "whole area, ") +
         (m.sharedMemory ? "XShmGetImage" : "XGetImage");
}

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
  ForEachButtonEvent(flags, [this](MouseButton button, bool press) {
    // X numbers the middle button 2 and the right one 3.
    const unsigned int x = button == MouseButton::Left ? 1 : button == MouseButton::Right ? 3 : 2;
    XTestFakeButtonEvent(connection_->display, x, press, CurrentTime);
    // Each event reaches the server before anything is read again.
    XSync(connection_->display, False);
  });
}

void X11Desktop::Sleep(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Grabbing the server keeps other clients' requests, RandR's screen and
// monitor changes among them, from running between the check and the
// click; the grab lasts a few round trips.
void X11Desktop::HoldScreenLayout(bool hold) {
  if (hold)
    XGrabServer(connection_->display);
  else
    XUngrabServer(connection_->display);
  XFlush(connection_->display);
}

// Asked right after the cursor was moved there: the server keeps the
// pointer on the screen's monitors, so it is at (x, y) exactly when the
// point is on one of them. One round trip, and the least time for the
// screen to change before the press; it also catches a pointer the user
// moved meanwhile, which the press would follow.
bool X11Desktop::CursorIsAt(std::int32_t x, std::int32_t y) {
  Window root, child;
  int rootX = 0, rootY = 0, winX, winY;
  unsigned int mask;
  return XQueryPointer(connection_->display, connection_->root, &root, &child, &rootX, &rootY,
                       &winX, &winY, &mask) &&
         rootX == x && rootY == y;
}

// The pointer's button state is the server's, so it is the user's own
// press; the program's synthetic ones are always released by the time this
// is asked.
bool X11Desktop::AnyMouseButtonDown() {
  Window root, child;
  int rootX, rootY, winX, winY;
  unsigned int mask = 0;
  XQueryPointer(connection_->display, connection_->root, &root, &child, &rootX, &rootY, &winX,
                &winY, &mask);
  return (mask & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask)) != 0;
}

namespace {
// Whether `window` or a window inside it (a window manager's frame holds the
// client window) carries our process id, as toolkits set it.
bool CarriesPid(Display* d, Atom netWmPid, Window window, int depth) {
  Atom type;
  int format;
  unsigned long items, remaining;
  unsigned char* data = nullptr;
  const bool read = XGetWindowProperty(d, window, netWmPid, 0, 1, False, XA_CARDINAL, &type,
                                       &format, &items, &remaining, &data) == Success;
  const bool carries = read && type != None;
  const bool ours = carries && data && format == 32 && items == 1 &&
                    *reinterpret_cast<unsigned long*>(data) == static_cast<unsigned long>(getpid());
  if (data) XFree(data);
  if (carries) return ours;
  if (depth == 0) return false;
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(d, window, &root, &parent, &children, &count)) return false;
  bool inside = false;
  for (unsigned int i = 0; i < count && !inside; ++i)
    inside = CarriesPid(d, netWmPid, children[i], depth - 1);
  if (children) XFree(children);
  return inside;
}
}  // namespace

// The top-level window at the point, frame included, is what a click there
// would reach.
bool X11Desktop::IsOwnWindowAt(std::int32_t x, std::int32_t y) {
  Display* d = connection_->display;
  Window topLevel = None;
  int childX, childY;
  if (!XTranslateCoordinates(d, connection_->root, connection_->root, x, y, &childX, &childY,
                             &topLevel) ||
      topLevel == None)
    return false;
  return CarriesPid(d, connection_->netWmPid, topLevel, 2);
}
