#include "platform/portal/stream_frame.h"

#include <cstring>
#include <utility>

namespace {
std::int64_t RowBytes(const PictureFormat& f) { return std::int64_t{f.width} * 4; }
std::int64_t Stride(const BufferFacts& b, const PictureFormat& f) {
  return b.stride > 0 ? b.stride : RowBytes(f);
}
}  // namespace

BufferHolds WhatBufferHolds(const BufferFacts& b, const PictureFormat& f) {
  if (b.headerCorrupted) return BufferHolds::Unusable;
  if (b.chunkCorrupted || b.size == 0) return BufferHolds::Nothing;
  if (!f.readable || f.width <= 0 || f.height <= 0 || !b.data) return BufferHolds::Unusable;
  const std::int64_t stride = Stride(b, f);
  const std::int64_t end = std::int64_t{b.offset} + stride * (f.height - 1) + RowBytes(f);
  if (stride < RowBytes(f) || end > std::int64_t{b.maxSize}) return BufferHolds::Unusable;
  return BufferHolds::Picture;
}

void CopyPicture(const BufferFacts& b, const PictureFormat& f, StreamFrame* frame) {
  const std::int64_t stride = Stride(b, f);
  frame->width = f.width;
  frame->height = f.height;
  frame->stride = f.width * 4;
  frame->redFirst = f.redFirst;
  frame->pixels.resize(std::size_t(frame->stride) * std::size_t(f.height));
  const std::uint8_t* source = b.data + b.offset;
  for (std::int32_t row = 0; row < f.height; ++row)
    std::memcpy(frame->pixels.data() + std::size_t(row) * std::size_t(frame->stride),
                source + row * stride, std::size_t(frame->stride));
}

void StreamPicture::Agreed(const PictureFormat& format) {
  const bool resized = format.width != format_.width || format.height != format_.height;
  format_ = format;
  if (resized || !format.readable) Drop();
  if (resized) ++changes_;
}

void StreamPicture::Took(BufferHolds holds, std::shared_ptr<StreamFrame>* picture) {
  if (holds == BufferHolds::Nothing) return;
  if (holds == BufferHolds::Unusable) {
    ++unusable_;
    Drop();
    return;
  }
  (*picture)->sequence = ++pictures_;
  if (!newest_) ++changes_;
  std::swap(newest_, *picture);
  // A reader may still hold the one swapped out: then it is not reused.
  if (*picture && picture->use_count() > 1) picture->reset();
}

void StreamPicture::Drop() {
  if (!newest_) return;
  newest_.reset();
  ++changes_;
}
