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

}  // namespace
}  // namespace qb
