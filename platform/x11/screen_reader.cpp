#include "platform/x11/screen_reader.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <bit>

#include "platform/index_span.h"
#include "platform/x11/error_trap.h"
#include "platform/x11/shm_image.h"
#include "platform/x11/x11_connection.h"

namespace {

// Converts `count` pixels of one image row, from column x every `step`
// columns, to COLORREF. With step 1 and unpadded lines, count may run on
// into the following rows.
void ConvertRow(const XImage* image, const PixelFormat& format, std::int64_t x, std::int64_t y,
                std::int64_t count, std::int64_t step, Colorref* out) {
  constexpr int kHostOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  if (image->bits_per_pixel == 32 && image->byte_order == kHostOrder) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(
        image->data + y * std::int64_t{image->bytes_per_line});
    format.FromPixels32(row + x, count, step, out);
    return;
  }
  // Other layouts are rare enough for Xlib's own pixel access.
  auto* writable = const_cast<XImage*>(image);
  for (std::int64_t i = 0; i < count; ++i)
    out[i] = format.FromPixel(XGetPixel(writable, int(x + i * step), int(y)));
}

class X11ScreenReader final : public BulkScreenContext {
 public:
  explicit X11ScreenReader(std::shared_ptr<X11Connection> connection) : c_(std::move(connection)) {}
  X11ScreenReader(const X11ScreenReader&) = delete;
  X11ScreenReader& operator=(const X11ScreenReader&) = delete;

  ~X11ScreenReader() override {
    XErrorTrap trap(c_->display);  // any of these may never have been made
    shm_.Release();
    FreeSampling();
  }

  // One plain request per pixel: the reference the bulk reads are held to.
  Colorref GetPixel(std::int32_t x, std::int32_t y) override {
    c_->TakeEvents(QueuedAfterReading);
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (x < 0 || y < 0 || x >= c_->screenWidth || y >= c_->screenHeight) return CLR_INVALID;
      XErrorTrap trap(c_->display);
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
      bool read;
      {
        // A read past a screen that shrank meanwhile fails, as may the
        // sampling pixmap the server has no room for: the read is retried.
        XErrorTrap trap(c_->display);
        read = ReadOnScreenPart(grid, out) && !trap.Failed();
        DropPlainImage();
      }
      // A resize reported before the reply may have cut into the read.
      const bool resized = c_->TakeEvents(QueuedAlready);
      if (read && !resized) return;
      if (!read) c_->RefreshScreenSize();
    }
    std::fill(out, out + count, CLR_INVALID);
  }

 private:
  // The part of a grid on the screen as last reported.
  struct OnScreen {
    const SampleGrid& g;
    IndexSpan rows;
    // Runs whose sample of some index lies on the screen, and the columns
    // from the first such sample to the last.
    IndexSpan runs;
    std::int64_t x0, x1;
    std::int64_t sampled = 0;
    std::int64_t width;

    OnScreen(const SampleGrid& grid, std::int64_t screenWidth, std::int64_t screenHeight)
        : g(grid),
          rows(g.top, g.rowStep, g.rows, 0, screenHeight),
          runs(g.runs, 0),
          x0(screenWidth),
          x1(0),
          width(screenWidth) {
      for (std::int64_t sample = 0; sample < g.samples; ++sample) {
        const IndexSpan on = RunsOf(sample);
        if (on.empty()) continue;
        runs = IndexSpan(std::min(runs.first, on.first), std::max(runs.end, on.end));
        x0 = std::min(x0, g.X(on.first, sample));
        x1 = std::max(x1, g.X(on.end - 1, sample) + 1);
        sampled += on.size() * rows.size();
      }
    }
    // The runs whose sample of this index lies on the screen: usually all.
    IndexSpan RunsOf(std::int64_t sample) const {
      return IndexSpan(g.X(0, sample), g.runStep, g.runs, 0, width);
    }
    std::int64_t y0() const { return g.Y(rows.first); }
    std::int64_t y1() const { return g.Y(rows.end - 1) + 1; }
  };

  // Reads what lies on the screen as last reported; the rest reads
  // CLR_INVALID. False when the server refused the read.
  bool ReadOnScreenPart(const SampleGrid& g, Colorref* out) {
    const OnScreen on(g, c_->screenWidth, c_->screenHeight);
    if (on.sampled < g.Count()) std::fill(out, out + g.Count(), CLR_INVALID);
    if (on.sampled == 0) return true;
    const std::int64_t packedWidth = on.runs.size() * g.samples;
    if (c_->usable.render && g.samples <= 64 &&
        on.sampled * 2 <= (on.x1 - on.x0) * (on.y1() - on.y0()) && packedWidth <= 32767 &&
        on.rows.size() <= 32767 && g.runStep <= 32767 && g.rowStep <= 32767)
      return ReadSampled(on, out);
    return ReadWholeArea(on, out);
  }

  // The server packs the samples into a small pixmap, laid out as the
  // result is: per row, one line of runs for each sample index. One
  // composite per sample index, scaled so that destination pixel (i, j)
  // takes the centre of source pixel (X(first + i, sample), Y(j)).
  bool ReadSampled(const OnScreen& on, Colorref* out) {
    const SampleGrid& g = on.g;
    const std::int64_t packedWidth = on.runs.size() * g.samples, rows = on.rows.size();
    if (!PrepareSampling(int(packedWidth), int(rows))) return false;
    const double ty = double(on.y0()) + 0.5 - g.rowStep * 0.5;
    for (std::int64_t sample = 0; sample < g.samples; ++sample) {
      const IndexSpan runs = on.RunsOf(sample);
      if (runs.empty()) continue;
      const double tx = double(g.X(runs.first, sample)) + 0.5 - g.runStep * 0.5;
      XTransform transform = {{{XDoubleToFixed(g.runStep), 0, XDoubleToFixed(tx)},
                               {0, XDoubleToFixed(g.rowStep), XDoubleToFixed(ty)},
                               {0, 0, XDoubleToFixed(1)}}};
      XRenderSetPictureTransform(c_->display, rootPicture_, &transform);
      XRenderComposite(c_->display, PictOpSrc, rootPicture_, None, samplePicture_, 0, 0, 0, 0,
                       int(sample * on.runs.size() + runs.first - on.runs.first), 0,
                       unsigned(runs.size()), unsigned(rows));
    }
    XImage* image = Fetch(samplePixmap_, 0, 0, int(packedWidth), int(rows));
    if (!image) return false;
    if (on.sampled == g.Count() && image->bits_per_pixel == 32 &&
        image->bytes_per_line == packedWidth * 4) {
      // All on the screen, the usual case: the image is the result.
      ConvertRow(image, c_->format, 0, 0, on.sampled, 1, out);
      return true;
    }
    for (std::int64_t row = on.rows.first; row < on.rows.end; ++row)
      for (std::int64_t sample = 0; sample < g.samples; ++sample) {
        const IndexSpan runs = on.RunsOf(sample);
        ConvertRow(image, c_->format, sample * on.runs.size() + runs.first - on.runs.first,
                   row - on.rows.first, runs.size(), 1,
                   out + (row * g.samples + sample) * g.runs + runs.first);
      }
    return true;
  }

  // Everything between the first and the last sample in one image.
  bool ReadWholeArea(const OnScreen& on, Colorref* out) {
    const SampleGrid& g = on.g;
    XImage* image =
        Fetch(c_->root, int(on.x0), int(on.y0()), int(on.x1 - on.x0), int(on.y1() - on.y0()));
    if (!image) return false;
    for (std::int64_t row = on.rows.first; row < on.rows.end; ++row)
      for (std::int64_t sample = 0; sample < g.samples; ++sample) {
        const IndexSpan runs = on.RunsOf(sample);
        ConvertRow(image, c_->format, g.X(runs.first, sample) - on.x0, g.Y(row) - on.y0(),
                   runs.size(), g.runStep, out + (row * g.samples + sample) * g.runs + runs.first);
      }
    return true;
  }

  // The root as a source that includes the windows on it, and a pixmap at
  // least width x height to pack samples into; both kept across reads, and
  // made again after the server refused them.
  bool PrepareSampling(int width, int height) {
    if (rootPicture_ && samplePixmap_ && width <= pixmapWidth_ && height <= pixmapHeight_)
      return true;
    Display* d = c_->display;
    XErrorTrap trap(d);
    if (!rootPicture_) {
      XRenderPictureAttributes attributes{};
      attributes.subwindow_mode = IncludeInferiors;
      rootPicture_ =
          XRenderCreatePicture(d, c_->root, c_->renderFormat, CPSubwindowMode, &attributes);
    }
    if (samplePicture_) XRenderFreePicture(d, samplePicture_);
    if (samplePixmap_) XFreePixmap(d, samplePixmap_);
    pixmapWidth_ = std::max(width, pixmapWidth_);
    pixmapHeight_ = std::max(height, pixmapHeight_);
    samplePixmap_ = XCreatePixmap(d, c_->root, unsigned(pixmapWidth_), unsigned(pixmapHeight_),
                                  unsigned(c_->depth));
    samplePicture_ = XRenderCreatePicture(d, samplePixmap_, c_->renderFormat, 0, nullptr);
    if (!trap.Failed()) return true;
    FreeSampling();  // say, no memory for a pixmap that size: try afresh next time
    return false;
  }

  void FreeSampling() {
    Display* d = c_->display;
    if (samplePicture_) XRenderFreePicture(d, samplePicture_);
    if (samplePixmap_) XFreePixmap(d, samplePixmap_);
    if (rootPicture_) XRenderFreePicture(d, rootPicture_);
    samplePicture_ = rootPicture_ = 0;
    samplePixmap_ = 0;
    pixmapWidth_ = pixmapHeight_ = 0;
  }

  // Pixels of a rectangle of the drawable: into the segment when the server
  // can reach it, else through a plain reply.
  XImage* Fetch(Drawable drawable, int x, int y, int width, int height) {
    if (c_->usable.sharedMemory) {
      if (shm_.Reserve(c_->display, c_->visual, c_->depth, width, height))
        return shm_.Get(drawable, x, y, width, height);
      c_->usable.sharedMemory = false;  // refused or out of segments: plain replies from now on
    }
    plainImage_ = XGetImage(c_->display, drawable, x, y, unsigned(width), unsigned(height),
                            AllPlanes, ZPixmap);
    return plainImage_;
  }

  void DropPlainImage() {
    if (plainImage_) XDestroyImage(plainImage_);
    plainImage_ = nullptr;
  }

  std::shared_ptr<X11Connection> c_;
  ShmImage shm_;
  XImage* plainImage_ = nullptr;
  Picture rootPicture_ = 0;
  Pixmap samplePixmap_ = 0;
  Picture samplePicture_ = 0;
  int pixmapWidth_ = 0, pixmapHeight_ = 0;
};

}  // namespace

std::unique_ptr<ScreenContext> OpenScreenReader(std::shared_ptr<X11Connection> connection) {
  return std::make_unique<X11ScreenReader>(std::move(connection));
}
