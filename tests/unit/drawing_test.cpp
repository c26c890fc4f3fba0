#include "drawing/drawing.h"

#include <gtest/gtest.h>

namespace qb {
namespace {

TEST(DrawingTest, GradientStrip) {
  // Black to white over 1024 rows: row i is grey 255 * i / 1024.
  const std::vector<Rgb> grey = GradientStrip(1024, 0x000000, 0xFFFFFF);
  ASSERT_EQ(grey.size(), 1024u);
  EXPECT_EQ(grey[0], 0x000000u);
  EXPECT_EQ(grey[1023], 0xFEFEFEu);
  EXPECT_EQ(grey[512], 0x7F7F7Fu);
  // Each channel on its own, and downwards (white to a blue).
  const std::vector<Rgb> down = GradientStrip(4, 0x00FFFFFF, 0x00FF0000);
  const Rgb expected[] = {0xFFFFFF, 0xFFC0C0, 0xFF8080, 0xFF4040};  // truncated toward zero
  for (int i = 0; i < 4; ++i) EXPECT_EQ(down[i], expected[i]) << i;
  EXPECT_TRUE(GradientStrip(0, 0, 0xFFFFFF).empty());
  EXPECT_EQ(GradientStrip(1, 0x123456, 0xFFFFFF), std::vector<Rgb>{0x123456});
}

TEST(DrawingTest, GradientStripFollowsTheFormulaForAnyLength) {
  // Channel c of pixel i is a + (b - a) * i / n, truncated toward zero,
  // also for strips with fewer pixels than colour steps and for long ones.
  const struct {
    int n;
    Rgb a, b;
  } cases[] = {{3, 0x000000, 0xFFFFFF},   {7, 0xFF00FF, 0x00FF00},   {255, 0x102030, 0xF0E0D0},
               {256, 0xFFFFFF, 0x000000}, {1000, 0x0A0B0C, 0xC0B0A}, {100000, 0x00FF00, 0xFF00FF}};
  for (const auto& c : cases) {
    const std::vector<Rgb> strip = GradientStrip(c.n, c.a, c.b);
    ASSERT_EQ(strip.size(), static_cast<size_t>(c.n));
    for (int i = 0; i < c.n; ++i) {
      Rgb expected = 0;
      for (int shift = 0; shift <= 16; shift += 8) {
        const int64_t from = (c.a >> shift) & 0xFF, to = (c.b >> shift) & 0xFF;
        expected |= static_cast<Rgb>(from + (to - from) * i / c.n) << shift;
      }
      ASSERT_EQ(strip[i], expected) << c.n << " pixel " << i;
    }
  }
}

TEST(DrawingTest, CentredOffsetRoundsHalvesToEven) {
  const struct {
    int window, picture, offset;
  } cases[] = {
      {1024, 101, 462},                             // 461.5
      {768, 100, 334},  {100, 100, 0}, {10, 7, 2},  // 1.5
      {10, 5, 2},                                   // 2.5
      {10, 20, -5},     {10, 13, -2},               // -1.5
      {10, 15, -2},                                 // -2.5
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CentredOffset(c.window, c.picture), c.offset) << c.window << " " << c.picture;
  }
}

TEST(DrawingTest, ScaleForDpiRoundsOnce) {
  const struct {
    int value, dpi, scaled;
  } cases[] = {
      {495, 96, 495},
      {359, 96, 359},
      {-11, 96, -11},
      {0, 144, 0},      // 96 DPI: unchanged
      {495, 144, 743},  // 742.5 up
      {359, 144, 539},  // 538.5 up
      {11, 144, 17},
      {-11, 144, -17},  // 16.5, -16.5 away from 0
      {-19, 144, -29},
      {23, 144, 35},
      {75, 144, 113},
      {1, 144, 2},  // 1.5 up
      {1, 120, 1},
      {2, 120, 3},
      {60, 120, 75},
      {21, 120, 26},  // 1.25, 2.5, 26.25
      {7, 192, 14},
      {-7, 192, -14},
      {497, 168, 870},          // 869.75
      {1000000, 480, 5000000},  // no overflow on the way
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScaleForDpi(c.value, c.dpi), c.scaled) << c.value << " at " << c.dpi;
  }
}

// A 24-bit BMP of w x h pixels, rows padded to four bytes.
std::vector<uint8_t> Bmp(int32_t w, int32_t h, uint16_t bits = 24) {
  const uint32_t stride = (static_cast<uint32_t>(w) * bits + 31) / 32 * 4;
  const uint32_t table = bits <= 8 ? 4u << bits : 0;
  const uint32_t offset = 54 + table;
  std::vector<uint8_t> b(offset + stride * static_cast<uint32_t>(h < 0 ? -h : h), 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  b[0] = 'B', b[1] = 'M';
  put32(2, static_cast<uint32_t>(b.size()));
  put32(10, offset);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(h));
  b[26] = 1;
  b[28] = static_cast<uint8_t>(bits);
  return b;
}

TEST(DrawingTest, BmpImagesAreCheckedBeforeUse) {
  BmpLayout layout;
  ASSERT_TRUE(CheckBmpImage(Bmp(3, 2), layout));
  EXPECT_EQ(layout.bitsOffset, 54u);
  EXPECT_TRUE(CheckBmpImage(Bmp(5, -4), layout));  // top-down rows
  ASSERT_TRUE(CheckBmpImage(Bmp(9, 9, 8), layout));
  EXPECT_EQ(layout.bitsOffset, 54u + 1024u);
  struct Case {
    std::vector<uint8_t> image;
    const char* why;
  };
  auto with = [](std::vector<uint8_t> b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    return b;
  };
  std::vector<uint8_t> shortRows = Bmp(3, 2);
  shortRows.pop_back();
  const Case refused[] = {
      {{'B', 'M'}, "too short"},
      {with(Bmp(3, 2), 0, 0x4D42 + 1), "no BM"},
      {shortRows, "rows beyond the end"},
      {with(Bmp(3, 2), 10, 0xFFFFFFF0u), "bits beyond the end"},
      {with(Bmp(3, 2), 10, 20), "bits inside the header"},
      {with(Bmp(3, 2), 14, 12), "old core header"},
      {with(Bmp(3, 2), 14, 0x7FFFFFFF), "header beyond the end"},
      {with(Bmp(3, 2), 18, 0), "no width"},
      {with(Bmp(3, 2), 22, 0x80000000u), "height at the limit"},
      {with(Bmp(3, 2), 18, 20000), "too wide"},
      {with(Bmp(3, 2), 30, 1), "compressed"},
      {with(Bmp(9, 9, 8), 46, 257), "more than 256 colours"},
      {with(Bmp(3, 2), 28, 7), "seven bits per pixel"},
  };
  for (const Case& c : refused) EXPECT_FALSE(CheckBmpImage(c.image, layout)) << c.why;
}

// A picture read from a file: only its headers are read before the check,
// and the header's claim of pixel data is held against the limit and the
// file's size before anything is allocated.
TEST(DrawingTest, BmpHeadersAreCheckedBeforeThePixelsAreRead) {
  BmpLayout layout;
  const std::vector<uint8_t> small = Bmp(9, 9, 8);
  ASSERT_TRUE(CheckBmpHeader(small.data(), 54 + 1024, small.size(), layout));
  EXPECT_EQ(layout.bitsOffset, 54u + 1024u);
  EXPECT_EQ(layout.pixelBytes, 12u * 9u);
  const std::vector<uint8_t> big = Bmp(4096, 4096, 32);  // 64 MiB of pixels: the largest allowed
  ASSERT_TRUE(CheckBmpHeader(big.data(), 54, big.size(), layout));
  EXPECT_EQ(layout.pixelBytes, uint64_t{64} << 20);
  auto header = [](int32_t w, int32_t h, uint16_t bits) {
    std::vector<uint8_t> b = Bmp(1, 1, bits);
    for (int i = 0; i < 4; ++i)
      b[18 + i] = static_cast<uint8_t>(static_cast<uint32_t>(w) >> (8 * i));
    for (int i = 0; i < 4; ++i)
      b[22 + i] = static_cast<uint8_t>(static_cast<uint32_t>(h) >> (8 * i));
    return b;
  };
  const struct {
    std::vector<uint8_t> head;
    size_t headSize;
    uint64_t fileSize;
    const char* why;
  } refused[] = {
      {header(4097, 4096, 32), 54, uint64_t{1} << 32, "more than 64 MiB of pixels"},
      {header(16384, 16384, 32), 54, uint64_t{1} << 32, "1 GiB of pixels"},
      {header(16384, -16384, 24), 54, uint64_t{1} << 32, "768 MiB of pixels, top-down"},
      {header(100, 100, 24), 54, 54 + 100 * 300 - 1, "rows beyond the end of the file"},
      {small, 54 + 1023, small.size(), "colour table beyond what was read"},
      {small, 53, small.size(), "headers not read"},
      {small, 54 + 1024, 54 + 1023, "file shorter than what was read"},
  };
  for (const auto& c : refused) {
    EXPECT_FALSE(CheckBmpHeader(c.head.data(), c.headSize, c.fileSize, layout)) << c.why;
  }
}

// The pictures left to the system's reader are measured by what they claim
// to decode to.
TEST(DrawingTest, SystemBmpBytesMeasuresRleAndCorePictures) {
  auto with = [](std::vector<uint8_t> b, size_t at, uint32_t v, int n = 4) {
    for (int i = 0; i < n; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    return b;
  };
  const std::vector<uint8_t> rle8 = with(Bmp(9, 9, 8), 30, 1);
  std::vector<uint8_t> core = Bmp(1, 1);
  core = with(with(with(with(core, 14, 12), 18, 100, 2), 20, 50, 2), 24, 24, 2);
  const struct {
    std::vector<uint8_t> head;
    uint64_t bytes;
    const char* why;
  } cases[] = {
      {rle8, 12 * 9, "RLE8, 9 x 9"},
      {with(with(rle8, 18, 16384), 22, 16384), uint64_t{16384} * 16384, "RLE8 claiming 256 MiB"},
      {with(with(Bmp(3, 2, 4), 30, 2), 22, static_cast<uint32_t>(-2)), 4 * 2, "RLE4, top-down"},
      {core, 300 * 50, "core header, 100 x 50 x 24"},
      {Bmp(3, 2), UINT64_MAX, "plain: not the system's"},
      {with(Bmp(3, 2), 30, 4), UINT64_MAX, "JPEG inside"},
      {with(rle8, 18, 0), UINT64_MAX, "no width"},
      {with(rle8, 28, 0, 2), UINT64_MAX, "no bits"},
      {with(rle8, 0, 0x4D43, 2), UINT64_MAX, "no BM"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SystemBmpBytes(c.head.data(), c.head.size()), c.bytes) << c.why;
  EXPECT_EQ(SystemBmpBytes(rle8.data(), 25), UINT64_MAX) << "header cut short";
}

TEST(DrawingTest, NearestPicture) {
  // A header in three forms (100, 150 and 200 %) and one in one form.
  const std::vector<PictureSize> three = {{150, 57}, {225, 86}, {300, 114}};
  const std::vector<PictureSize> one = {{150, 57}};
  // Forms out of order, and two of one size: the first of equals wins.
  const std::vector<PictureSize> mixed = {{150, 57}, {300, 114}, {225, 86}, {225, 86}};
  // Wider but lower: it does not cover a need for more height.
  const std::vector<PictureSize> skew = {{100, 100}, {300, 120}, {200, 200}};
  const struct {
    const std::vector<PictureSize>* sizes;
    int dpi;
    size_t form;
    const char* why;
  } cases[] = {
      {&three, 96, 0, "96 DPI: the 100 % form"},
      {&three, 72, 0, "below 96 DPI: the smallest that covers"},
      {&three, 120, 1, "125 %: 188 x 71 needed, 150 % is the smallest at least as large"},
      {&three, 144, 1, "150 %: exactly the 150 % form"},
      {&three, 168, 2, "175 %: the 200 % form"},
      {&three, 192, 2, "200 %: exactly the 200 % form"},
      {&three, 288, 2, "300 %: none is large enough, the largest"},
      {&one, 96, 0, "one form at 96 DPI"},
      {&one, 144, 0, "one form at 150 %: the only one"},
      {&mixed, 144, 2, "out of order: the 150 % form, the first of two"},
      {&mixed, 168, 1, "out of order: 175 % takes the 200 % form"},
      {&skew, 192, 2, "200 x 200 needed: 300 x 120 is too low"},
  };
  for (const auto& c : cases) {
    const std::vector<PictureSize>& sizes = *c.sizes;
    EXPECT_EQ(NearestPicture(sizes.data(), sizes.size(), ScaleForDpi(sizes[0].width, c.dpi),
                             ScaleForDpi(sizes[0].height, c.dpi)),
              c.form)
        << c.why;
  }
  EXPECT_EQ(NearestPicture(nullptr, 0, 10, 10), 0u) << "no forms at all";
}

}  // namespace
}  // namespace qb
