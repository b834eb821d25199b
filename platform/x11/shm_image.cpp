#include "platform/x11/shm_image.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>

#include "platform/x11/error_trap.h"

namespace {
// The server can only map our segment when it runs on this machine.
bool IsLocal(Display* display) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  return getsockname(ConnectionNumber(display), reinterpret_cast<sockaddr*>(&address), &length) ==
             0 &&
         address.ss_family == AF_UNIX;
}
}  // namespace

bool ShmImage::Works(Display* display, Visual* visual, int depth) {
  if (!XShmQueryExtension(display) || !IsLocal(display)) return false;
  ShmImage probe;  // the server may still refuse to attach
  return probe.Reserve(display, visual, depth, 1, 1);
}

bool ShmImage::Reserve(Display* display, Visual* visual, int depth, int width, int height) {
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
  bool refused;
  {
    // A server in another IPC namespace, or one that may not map the
    // segment, refuses the attach.
    XErrorTrap trap(display);
    XShmAttach(display, &info_);
    refused = trap.Failed();
  }
  // Marked for removal now, so the kernel frees it once both sides have
  // detached, even if this process dies first.
  shmctl(info_.shmid, IPC_RMID, nullptr);
  if (refused) return Fail();
  attached_ = true;
  return true;
}

XImage* ShmImage::Get(Drawable drawable, int x, int y, int width, int height) {
  image_->width = width;
  image_->height = height;
  image_->bytes_per_line = int(BytesPerLine(width));
  return XShmGetImage(display_, drawable, image_, x, y, AllPlanes) ? image_ : nullptr;
}

void ShmImage::Release() {
  if (attached_) XShmDetach(display_, &info_);
  attached_ = false;
  if (info_.shmaddr) shmdt(info_.shmaddr);
  info_.shmaddr = nullptr;
  if (image_) XDestroyImage(image_);  // frees only the header for an SHM image
  image_ = nullptr;
  bytes_ = 0;
}

std::int64_t ShmImage::BytesPerLine(std::int64_t width) const {
  const std::int64_t pad = image_->bitmap_pad;
  return (width * image_->bits_per_pixel + pad - 1) / pad * pad / 8;
}
