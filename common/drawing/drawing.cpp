#include "drawing/drawing.h"

#include <cstddef>

namespace qb {

std::vector<Rgb> GradientStrip(int n, Rgb a, Rgb b) {
  std::vector<Rgb> strip;
  if (n <= 0) return strip;
  strip.reserve(static_cast<std::size_t>(n));
  // Per channel, |b - a| * i / n kept as a running quotient and remainder:
  // no multiplication that could overflow and no division at all.
  int from[3];
  bool down[3];
  uint32_t step[3], quotient[3] = {}, remainder[3] = {};
  for (int c = 0; c < 3; ++c) {
    from[c] = (a >> (8 * c)) & 0xFF;
    const int to = (b >> (8 * c)) & 0xFF;
    down[c] = to < from[c];
    step[c] = static_cast<uint32_t>(down[c] ? from[c] - to : to - from[c]);
  }
  for (int i = 0; i < n; ++i) {
    Rgb colour = 0;
    for (int c = 0; c < 3; ++c) {
      const int delta = static_cast<int>(quotient[c]);
      colour |= static_cast<Rgb>(down[c] ? from[c] - delta : from[c] + delta) << (8 * c);
      remainder[c] += step[c];
      while (remainder[c] >= static_cast<uint32_t>(n)) {
        remainder[c] -= static_cast<uint32_t>(n);
        ++quotient[c];
      }
    }
    strip.push_back(colour);
  }
  return strip;
}

int CentredOffset(int windowSize, int pictureSize) {
  const int64_t twice = static_cast<int64_t>(windowSize) - pictureSize;  // 2 x the offset
  int64_t half = twice / 2;                                              // truncated toward zero
  const int64_t rest = twice - half * 2;
  // A remainder of one half: to the even neighbour.
  if (rest != 0 && (half % 2) != 0) half += rest > 0 ? 1 : -1;
  return static_cast<int>(half);
}

int ScaleForDpi(int value, int dpi) {
  const int64_t product = static_cast<int64_t>(value) * dpi;
  // Rounded once: half of 96 is added to the magnitude before the division.
  const int64_t scaled = product >= 0 ? (product + 48) / 96 : -((-product + 48) / 96);
  return static_cast<int>(scaled);
}

size_t NearestPicture(const PictureSize* sizes, size_t count, int needWidth, int needHeight) {
  size_t best = count;     // the smallest that covers the need
  size_t largest = count;  // the largest of all
  const auto area = [&](size_t i) {
    return static_cast<int64_t>(sizes[i].width) * sizes[i].height;
  };
  for (size_t i = 0; i < count; ++i) {
    if (largest == count || area(i) > area(largest)) largest = i;
    if (sizes[i].width >= needWidth && sizes[i].height >= needHeight &&
        (best == count || area(i) < area(best))) {
      best = i;
    }
  }
  if (best != count) return best;
  return largest == count ? 0 : largest;
}

namespace {

uint32_t Le32(const uint8_t* b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (static_cast<uint32_t>(b[at + 2]) << 16) |
         (static_cast<uint32_t>(b[at + 3]) << 24);
}

}  // namespace

uint64_t SystemBmpBytes(const uint8_t* head, size_t headSize) {
  if (headSize < 26 || head[0] != 'B' || head[1] != 'M') return UINT64_MAX;
  const uint32_t infoSize = Le32(head, 14);
  int64_t width, height;
  uint32_t bits;
  if (infoSize == 12) {
    width = head[18] | (head[19] << 8);
    height = head[20] | (head[21] << 8);
    bits = head[24] | (head[25] << 8);
  } else {
    const uint32_t compression = headSize >= 34 ? Le32(head, 30) : 0;
    if (infoSize < 40 || (compression != 1 && compression != 2)) return UINT64_MAX;
    width = static_cast<int32_t>(Le32(head, 18));
    height = static_cast<int32_t>(Le32(head, 22));
    bits = head[28] | (head[29] << 8);
  }
  if (height < 0) height = -height;
  if (width <= 0 || height == 0 || bits == 0 || bits > 32) return UINT64_MAX;
  return (static_cast<uint64_t>(width) * bits + 31) / 32 * 4 * static_cast<uint64_t>(height);
}

bool CheckBmpImage(const std::vector<uint8_t>& image, BmpLayout& layout) {
  return CheckBmpHeader(image.data(), image.size(), image.size(), layout);
}

bool CheckBmpHeader(const uint8_t* head, size_t headSize, uint64_t fileSize, BmpLayout& layout) {
  if (headSize < 54 || fileSize < headSize || head[0] != 'B' || head[1] != 'M') return false;
  const uint64_t infoSize = Le32(head, 14);
  const int32_t width = static_cast<int32_t>(Le32(head, 18));
  const int32_t height = static_cast<int32_t>(Le32(head, 22));
  const uint32_t bits = head[28] | (head[29] << 8);
  const uint32_t compression = Le32(head, 30);
  const uint64_t coloursUsed = Le32(head, 46);
  const uint64_t bitsOffset = Le32(head, 10);
  if (infoSize < 40 || 14 + infoSize > headSize) return false;
  if (width <= 0 || width > 16384 || height == 0 || height < -16384 || height > 16384) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if (compression != 0 && !(compression == 3 && (bits == 16 || bits == 32))) return false;
  uint64_t table = 0;
  if (bits <= 8) table = 4 * (coloursUsed ? coloursUsed : (1u << bits));
  if (compression == 3 && infoSize == 40) table = 12;
  if (coloursUsed > 256 || bitsOffset < 14 + infoSize + table) return false;
  if (14 + infoSize + table > headSize) return false;
  const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
  const uint64_t rows = static_cast<uint64_t>(height < 0 ? -static_cast<int64_t>(height) : height);
  const uint64_t pixelBytes = stride * rows;
  if (pixelBytes > kMaxBmpPixelBytes) return false;
  if (bitsOffset > fileSize || pixelBytes > fileSize - bitsOffset) return false;
  layout.infoOffset = 14;
  layout.bitsOffset = static_cast<size_t>(bitsOffset);
  layout.pixelBytes = static_cast<size_t>(pixelBytes);
  return true;
}

}  // namespace qb
