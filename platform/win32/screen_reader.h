#pragma once
// The whole screen's pixels through one device context, every read copied
// with BitBlt into a 32-bit DIB: a single pixel as a grid of one, so that
// the captured colour and the scan always see the same value (GetPixel and
// a 32-bit copy can disagree on a 16-bit screen).
#include <cstdint>

#include "platform/desktop.h"
#include "platform/win32/monitor_rects.h"
#include "platform/win32/windows_api.h"

// Where the context takes its screen device context and gives it back.
struct ScreenDcSource {
  HDC (*take)();
  void (*release)(HDC);
};
// GetDC(nullptr) and ReleaseDC(nullptr, dc).
extern const ScreenDcSource kWholeScreenDc;

class Win32ScreenContext final : public BulkScreenContext {
 public:
  // Without a device context from the source, every read fails until a
  // pass gets one.
  static std::unique_ptr<Win32ScreenContext> Open(const ScreenDcSource& source = kWholeScreenDc);
  Win32ScreenContext(HDC dc, const ScreenDcSource& source);
  ~Win32ScreenContext() override;
  Win32ScreenContext(const Win32ScreenContext&) = delete;
  Win32ScreenContext& operator=(const Win32ScreenContext&) = delete;

  // CLR_INVALID off the monitors or when the copy failed.
  Colorref GetPixel(std::int32_t x, std::int32_t y) override;
  bool OnMonitor(std::int32_t x, std::int32_t y) override { return monitors_.Contains(x, y); }
  // The monitors are taken again. The device context stops working on the
  // lock screen, a UAC prompt, a secure screen saver or a display change,
  // and stays broken after: once a read failed, the next pass takes a
  // fresh one.
  void StartPass() override;

 protected:
  void ReadBulk(const SampleGrid& grid, Colorref* out) override;

 private:
  bool EnsureBitmap(std::int64_t width, std::int64_t height);
  void DropBitmap();

  ScreenDcSource source_;
  HDC dc_;
  bool readFailed_;
  MonitorRects monitors_;
  // Where reads are copied to; kept for the next pass.
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ initialBitmap_ = nullptr;
  const std::uint32_t* bits_ = nullptr;  // top-down rows of 0x00RRGGBB
  std::int64_t bitmapWidth_ = 0, bitmapHeight_ = 0;
};
