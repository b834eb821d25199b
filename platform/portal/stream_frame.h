#pragma once
// One picture of a monitor from a screen-cast stream, and how a stream's
// buffers and format changes decide which picture, if any, may be read:
// apart from PipeWire, so that the rules can be tried on made-up buffers.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/desktop.h"

// One picture of a monitor, in its physical pixels.
struct StreamFrame {
  std::int32_t width = 0, height = 0;
  std::int32_t stride = 0;  // bytes from one row to the next
  bool redFirst = false;    // bytes R,G,B,x (RGBx, RGBA) rather than B,G,R,x
  std::vector<std::uint8_t> pixels;
  std::uint64_t sequence = 0;  // counts the stream's pictures, from 1

  Colorref Shown(std::int64_t x, std::int64_t y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    const std::uint8_t* p = pixels.data() + y * stride + x * 4;
    const std::uint8_t red = redFirst ? p[0] : p[2], blue = redFirst ? p[2] : p[0];
    return Colorref{red} | Colorref{p[1]} << 8 | Colorref{blue} << 16;
  }
};

// The format agreed on for a stream, as far as reading it goes.
struct PictureFormat {
  bool readable = false;  // one of the 32-bit formats offered (BGRx, BGRA, RGBx, RGBA)
  bool redFirst = false;
  std::int32_t width = 0, height = 0;
};

// What one buffer says of itself: its header's and first chunk's flags,
// and where its bytes are.
struct BufferFacts {
  bool headerCorrupted = false;        // SPA_META_HEADER_FLAG_CORRUPTED
  bool chunkCorrupted = false;         // SPA_CHUNK_FLAG_CORRUPTED
  const std::uint8_t* data = nullptr;  // null when not mapped (a GPU buffer)
  std::uint32_t maxSize = 0;           // bytes mapped at data
  std::uint32_t offset = 0, size = 0;  // the chunk's
  std::int32_t stride = 0;             // the chunk's; 0 when not told
};

enum class BufferHolds {
  Picture,   // a picture of the agreed size to copy
  Nothing,   // no picture, only metadata: the one before still stands
  Unusable,  // a picture that cannot be read: the one before is no longer the screen
};
// A header marked corrupted is a damaged frame. A chunk marked corrupted,
// or one of no bytes, carries no picture: mutter and KWin send the
// pointer's moves so (mutter with no bytes, KWin with the size of a whole
// picture it did not draw).
BufferHolds WhatBufferHolds(const BufferFacts& buffer, const PictureFormat& format);
// The picture of a buffer that holds one, packed row after row.
void CopyPicture(const BufferFacts& buffer, const PictureFormat& format, StreamFrame* frame);

// What a stream shows as formats and buffers come: the newest good
// picture, none while its frames are not usable, and the size its
// pictures have. Changes() counts what a reader of the screen must not
// miss between a read and a click: a picture gone or back, a new size.
class StreamPicture {
 public:
  // A format agreed on (or cleared: readable false, size 0 x 0). A new
  // size drops the picture: it is no longer the screen.
  void Agreed(const PictureFormat& format);
  // A buffer taken: when it held a picture, *picture is the newest from
  // now and gets back the one before for reuse (null while a reader still
  // holds it, or before the first).
  void Took(BufferHolds holds, std::shared_ptr<StreamFrame>* picture);

  const PictureFormat& Format() const { return format_; }
  std::shared_ptr<const StreamFrame> Newest() const { return newest_; }
  std::uint64_t Pictures() const { return pictures_; }
  std::uint64_t Unusable() const { return unusable_; }
  std::uint64_t Changes() const { return changes_; }

 private:
  void Drop();

  PictureFormat format_;
  std::shared_ptr<StreamFrame> newest_;
  std::uint64_t pictures_ = 0, unusable_ = 0, changes_ = 0;
};
