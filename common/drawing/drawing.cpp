#include "drawing/drawing.h"

#include <cstddef>

namespace qb {

std::vector<Rgb> GradientStrip(int n, Rgb a, Rgb b) {
  std::vector<Rgb> strip;
  if (n <= 0) return strip;
  strip.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    Rgb colour = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      const int64_t from = (a >> shift) & 0xFF;
      const int64_t to = (b >> shift) & 0xFF;
      const int64_t channel = from + (to - from) * i / n;
      colour |= static_cast<Rgb>(channel) << shift;
    }
    strip.push_back(colour);
  }
  return strip;
}

int CentredOffset(int windowSize, int pictureSize) {
  const int64_t twice = static_cast<int64_t>(windowSize) - pictureSize;  // 2 x the offset
  int64_t half = twice / 2;  // truncated toward zero
  const int64_t rest = twice - half * 2;
  // A remainder of one half: to the even neighbour.
  if (rest != 0 && (half % 2) != 0) half += rest > 0 ? 1 : -1;
  return static_cast<int>(half);
}

}  // namespace qb
