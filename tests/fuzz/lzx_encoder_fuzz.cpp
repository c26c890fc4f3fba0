// Fuzz target: the LZX encoder over any data. The first byte picks the
// window (2^15 to 2^21), the level and the call translation, the second how
// many times the rest is laid end to end (each copy changed a little), so
// that short inputs still make folders of many frames. The strict test
// decoder must give the data back exactly, frame by frame, and every frame
// must fit a CFDATA block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "../unit/lzx_test_decoder.h"
#include "cab/lzx_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 2) return 0;
  const int windowBits = qb::cab::kLzxMinWindowBits + input[0] % 7;
  const int level = 1 + (input[0] / 7) % 9;
  const bool translate = input[0] & 0x80;
  const size_t copies = 1 + input[1] % 48;
  const uint8_t* rest = input + 2;
  const size_t restSize = size - 2;
  std::vector<uint8_t> data;
  for (size_t k = 0; k < copies && restSize > 0; ++k) {
    const size_t at = data.size();
    data.insert(data.end(), rest, rest + restSize);
    data[at + (k * 7919) % restSize] ^= static_cast<uint8_t>(k);
  }

  qb::cab::LzxEncoder encoder(windowBits, level, translate);
  std::vector<size_t> sizes;
  for (size_t at = 0; at < data.size(); at += qb::cab::kLzxFrame) {
    const size_t n = std::min(qb::cab::kLzxFrame, data.size() - at);
    encoder.AddFrame(data.data() + at, n);
    sizes.push_back(n);
  }
  encoder.Flush();
  const std::vector<std::vector<uint8_t>> frames = encoder.TakeFrames();
  if (frames.size() != sizes.size()) std::abort();
  qb::cab::test::LzxTestDecoder decoder(windowBits);
  size_t at = 0;
  for (size_t k = 0; k < frames.size(); ++k) {
    if (frames[k].size() > qb::cab::kLzxMaxFrameBytes || frames[k].size() % 2) std::abort();
    std::vector<uint8_t> out;
    std::string error;
    if (!decoder.Frame(frames[k].data(), frames[k].size(), sizes[k], out, error)) std::abort();
    if (!std::equal(out.begin(), out.end(), data.begin() + static_cast<std::ptrdiff_t>(at))) {
      std::abort();
    }
    at += out.size();
  }
  if (at != data.size()) std::abort();
  return 0;
}
