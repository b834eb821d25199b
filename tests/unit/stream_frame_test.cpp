// Pictures from the desktop portal: either byte order reads as the same
// colour, which buffers hold a picture, and when a stream's picture may be
// read and the layout over it stays the same.
#include <gtest/gtest.h>

#include "platform/portal/pipewire_streams.h"
#include "platform/portal/portal_layout.h"

namespace {

StreamFrame OnePixel(bool redFirst, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
  StreamFrame frame;
  frame.width = 2;
  frame.height = 1;
  frame.stride = 8;
  frame.redFirst = redFirst;
  frame.pixels = {0, 0, 0, 0, b0, b1, b2, 0xFF};
  return frame;
}

TEST(StreamFrame, BothByteOrdersGiveTheSameColour) {
  const Colorref blue = 0x00CC6633;                                // RGB 33 66 CC
  EXPECT_EQ(OnePixel(false, 0xCC, 0x66, 0x33).Shown(1, 0), blue);  // BGRx
  EXPECT_EQ(OnePixel(true, 0x33, 0x66, 0xCC).Shown(1, 0), blue);   // RGBx
  EXPECT_EQ(OnePixel(false, 0, 0, 0).Shown(2, 0), CLR_INVALID);
  EXPECT_EQ(OnePixel(false, 0, 0, 0).Shown(0, -1), CLR_INVALID);
}

}  // namespace

// Buffers as mutter and KWin send them: a picture, the pointer's moves
// alone (no bytes, or KWin's chunk flagged corrupted over a whole
// picture's size), a frame marked corrupted, and pictures that cannot be
// read (a GPU buffer, rows that do not fit). Only a readable picture is
// copied, with the chunk's stride and offset.
TEST(StreamFrame, BuffersThatHoldAPictureAndThoseThatDoNot) {
  const PictureFormat bgrx{true, false, 2, 2};
  // Two rows of two pixels, 12 bytes a row, from byte 4 on.
  std::vector<std::uint8_t> bytes(4 + 12 * 2, 0);
  bytes[4 + 12 + 4 + 0] = 0x30, bytes[4 + 12 + 4 + 1] = 0x20, bytes[4 + 12 + 4 + 2] = 0x10;
  BufferFacts good;
  good.data = bytes.data();
  good.maxSize = std::uint32_t(bytes.size());
  good.offset = 4;
  good.size = 24;
  good.stride = 12;

  struct Case {
    const char* what;
    BufferFacts buffer;
    PictureFormat format;
    BufferHolds holds;
  };
  const auto with = [&](auto change) {
    BufferFacts b = good;
    change(b);
    return b;
  };
  const Case cases[] = {
      {"a picture", good, bgrx, BufferHolds::Picture},
      {"the pointer alone, no bytes", with([](BufferFacts& b) { b.size = 0; }), bgrx,
       BufferHolds::Nothing},
      {"the pointer alone, KWin", with([](BufferFacts& b) { b.chunkCorrupted = true; }), bgrx,
       BufferHolds::Nothing},
      {"a frame marked corrupted", with([](BufferFacts& b) { b.headerCorrupted = true; }), bgrx,
       BufferHolds::Unusable},
      {"a GPU buffer", with([](BufferFacts& b) { b.data = nullptr; }), bgrx, BufferHolds::Unusable},
      {"rows past the buffer", with([](BufferFacts& b) { b.offset = 12; }), bgrx,
       BufferHolds::Unusable},
      {"rows shorter than the picture", with([](BufferFacts& b) { b.stride = 4; }), bgrx,
       BufferHolds::Unusable},
      {"a format not offered", good, PictureFormat{false, false, 2, 2}, BufferHolds::Unusable},
      {"no format yet", good, PictureFormat{}, BufferHolds::Unusable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(WhatBufferHolds(c.buffer, c.format), c.holds);
  }

  StreamFrame frame;
  CopyPicture(good, bgrx, &frame);
  EXPECT_EQ(frame.stride, 8);
  EXPECT_EQ(frame.Shown(1, 1), Colorref{0x00302010});
  EXPECT_EQ(frame.Shown(0, 1), Colorref{0});
}

// Two monitors, the first at scale 2 (960 x 540 units), the second beside
// it. What can be read, and the generation the layout goes by, as
// formats and buffers come: the first picture's size moves the second
// monitor, and a picture that stops being usable is dropped until a good
// one comes.
TEST(StreamFrame, APictureChangesTheLayoutOnlyWhenItsSizeOrUseDoes) {
  const std::vector<PortalStream> streams = {{44, 0, 0, 960, 540, true},
                                             {45, 960, 0, 1920, 1080, true}};
  StreamPicture first, second;
  const auto generation = [&] { return first.Changes() + second.Changes(); };
  const auto secondLeft = [&] {
    const ScreenLayout layout =
        PortalLayout(streams, {{first.Format().width, first.Format().height},
                               {second.Format().width, second.Format().height}});
    return layout.Outputs().at(1).left;
  };
  const auto picture = [](std::int32_t width, std::int32_t height) {
    auto frame = std::make_shared<StreamFrame>();
    frame->width = width, frame->height = height;
    return frame;
  };
  second.Agreed({true, false, 1920, 1080});
  EXPECT_EQ(secondLeft(), 960);  // the first counted at scale 1 until its size is known

  std::uint64_t before = generation();
  first.Agreed({true, false, 1920, 1080});
  EXPECT_NE(generation(), before);
  EXPECT_EQ(secondLeft(), 1920);
  EXPECT_EQ(first.Newest(), nullptr);

  before = generation();
  auto spare = picture(1920, 1080);
  first.Took(BufferHolds::Picture, &spare);
  ASSERT_NE(first.Newest(), nullptr);
  EXPECT_NE(generation(), before);  // something to read now

  // More pictures, and the pointer's moves alone, change nothing a click
  // depends on.
  before = generation();
  spare = picture(1920, 1080);
  first.Took(BufferHolds::Picture, &spare);
  EXPECT_EQ(first.Newest()->sequence, 2u);
  std::shared_ptr<StreamFrame> none;
  first.Took(BufferHolds::Nothing, &none);
  EXPECT_EQ(first.Newest()->sequence, 2u);
  first.Agreed({true, true, 1920, 1080});  // the same size again
  EXPECT_EQ(generation(), before);
  ASSERT_NE(first.Newest(), nullptr);

  // A frame that cannot be used leaves nothing to read, until a good one.
  first.Took(BufferHolds::Unusable, &none);
  EXPECT_EQ(first.Newest(), nullptr);
  EXPECT_NE(generation(), before);
  before = generation();
  first.Took(BufferHolds::Unusable, &none);
  EXPECT_EQ(generation(), before);
  spare = picture(1920, 1080);
  first.Took(BufferHolds::Picture, &spare);
  ASSERT_NE(first.Newest(), nullptr);
  EXPECT_NE(generation(), before);

  // A new size, or the format cleared, drops it too.
  before = generation();
  first.Agreed({true, false, 2880, 1620});
  EXPECT_EQ(first.Newest(), nullptr);
  EXPECT_NE(generation(), before);
  spare = picture(2880, 1620);
  first.Took(BufferHolds::Picture, &spare);
  first.Agreed({});
  EXPECT_EQ(first.Newest(), nullptr);
  EXPECT_EQ(first.Unusable(), 2u);
}
