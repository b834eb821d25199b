#pragma once
// A shared-memory image (MIT-SHM): the server writes the pixels straight
// into a segment we keep, which saves copying them through the socket.
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>

class ShmImage {
 public:
  // Whether the server can attach our segments: it has MIT-SHM, runs on
  // this machine, and takes a first segment.
  static bool Works(Display* display, Visual* visual, int depth);

  ShmImage() = default;
  ShmImage(const ShmImage&) = delete;
  ShmImage& operator=(const ShmImage&) = delete;
  ~ShmImage() { Release(); }

  // Room for a width x height read, kept for reuse and reshaped in place;
  // false when no segment could be made or attached, which leaves this
  // empty.
  bool Reserve(Display* display, Visual* visual, int depth, int width, int height);
  // Reads a rectangle of the drawable into the segment; null when the
  // server refused (call it inside an XErrorTrap).
  XImage* Get(Drawable drawable, int x, int y, int width, int height);
  void Release();

 private:
  bool Fail() {
    Release();
    return false;
  }
  std::int64_t BytesPerLine(std::int64_t width) const;

  Display* display_ = nullptr;
  XImage* image_ = nullptr;
  XShmSegmentInfo info_{};
  std::int64_t bytes_ = 0;
  bool attached_ = false;
};
