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

TEST(DrawingTest, CentredOffsetRoundsHalvesToEven) {
  const struct {
    int window, picture, offset;
  } cases[] = {
      {1024, 101, 462},  // 461.5
      {768, 100, 334},   {100, 100, 0}, {10, 7, 2},  // 1.5
      {10, 5, 2},        // 2.5
      {10, 20, -5},      {10, 13, -2},  // -1.5
      {10, 15, -2},      // -2.5
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CentredOffset(c.window, c.picture), c.offset) << c.window << " " << c.picture;
  }
}

}  // namespace
}  // namespace qb
