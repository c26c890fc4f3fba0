// The arithmetic of the installer's drawing: the colours of a gradient strip
// and the places of pictures and texts, apart from the system that draws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qb {

// A colour as 0x00BBGGRR.
using Rgb = uint32_t;

// The n colours of a gradient from a to b: channel c of pixel i is
// a + (b - a) * i / n, the division truncating toward zero. Pixel 0 is a;
// the last one is a step short of b.
std::vector<Rgb> GradientStrip(int n, Rgb a, Rgb b);

// Where a picture of the given size sits centred in a window: the half of
// the difference, rounded to the nearest integer with halves to the even one
// (101 in 1024 gives 462, 461.5 rounded).
int CentredOffset(int windowSize, int pictureSize);

// A length laid out for 96 DPI at another DPI: value x dpi / 96, rounded
// once to the nearest integer, halves away from zero (11 at 144 DPI is 17,
// -11 is -17). At 96 DPI every value stays as it is.
int ScaleForDpi(int value, int dpi);

// Where the parts of a BMP file image lie, once it is known to be whole:
// the bitmap information header right after the 14-byte file header, and
// the pixel bits at the offset the file header names.
struct BmpLayout {
  size_t infoOffset = 14;
  size_t bitsOffset = 0;
  size_t pixelBytes = 0;  // the pixel rows, padded to four bytes each
};

// The most pixel data a picture may have (64 MiB, 4096 x 4096 at 32 bits):
// a header that claims more is refused before anything is allocated.
constexpr uint64_t kMaxBmpPixelBytes = 64u << 20;

// Checks a BMP file image before the system is handed its parts: "BM", an
// information header of at least 40 bytes, a size of at most 16384 pixels
// each way, 1, 4, 8, 16, 24 or 32 bits per pixel, no compression (or bit
// fields), at most kMaxBmpPixelBytes of pixel rows, and a colour table and
// pixel rows that lie inside the image.
bool CheckBmpImage(const std::vector<uint8_t>& image, BmpLayout& layout);
// The same for a BMP file of fileSize bytes of which only the first headSize
// are at hand: they must hold the file and information headers and the
// colour table; the pixel rows must lie inside the file.
bool CheckBmpHeader(const uint8_t* head, size_t headSize, uint64_t fileSize, BmpLayout& layout);
// For the pictures CheckBmpHeader leaves to the system's own reader (RLE
// compression, or the old 12-byte core header): the pixel data they decode
// to, rows padded to four bytes; UINT64_MAX for any other or unreadable
// header, so that only a claim within kMaxBmpPixelBytes is ever decoded.
uint64_t SystemBmpBytes(const uint8_t* head, size_t headSize);

// The size of one of a picture's forms.
struct PictureSize {
  int width = 0;
  int height = 0;
};

// Which of a picture's forms to draw where needWidth x needHeight pixels
// are needed (the 96-DPI size at the window's DPI): the smallest one at
// least as large both ways, else the largest; among equals the first. The
// index into sizes; 0 when count is 0.
size_t NearestPicture(const PictureSize* sizes, size_t count, int needWidth, int needHeight);

}  // namespace qb
