// The arithmetic of the installer's drawing: the colours of a gradient strip
// and the places of pictures and texts, apart from the system that draws.
#pragma once

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

}  // namespace qb
