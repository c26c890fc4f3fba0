// The LZX encoder against a strict decoder: every kind of data comes back
// bit-exactly, frame by frame, and every frame is a valid CFDATA payload.
// The cabinet writer's peer tests (cab_writer_test.cpp) check the same
// streams with cabextract and gcab.
#include "cab/lzx_encoder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "lzx_test_decoder.h"

namespace qb::cab {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(size_t size, uint32_t seed) {
  static const char* kWords[] = {"the ",    "installer ", "writes ", "files ", "into ",
                                 "folder ", "cabinet ",   "window ", "match ", "\r\n",
                                 "of ",     "Quillbox ",  "and ",    "a ",     "data "};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    const char* w = kWords[rng() % 15];
    out.insert(out.end(), w, w + std::strlen(w));
  }
  out.resize(size);
  return out;
}

Bytes Random(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(size);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

// Code of this very test program (x86, with its CALL instructions), repeated
// as far as needed.
Bytes Program(size_t size) {
  std::ifstream in("/proc/self/exe", std::ios::binary);
  Bytes code(std::istreambuf_iterator<char>(in), {});
  Bytes out;
  while (out.size() < size && !code.empty()) {
    out.insert(out.end(), code.begin(), code.begin() + std::min(code.size(), size - out.size()));
  }
  return out;
}

// Synthetic x86: CALLs with near and far targets, some that the translation
// changes and some (out of range) that it leaves, and 0xE8 in the last bytes
// of frames.
Bytes Calls(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(size);
  for (size_t i = 0; i < size; ++i) {
    const uint32_t r = rng();
    out[i] = (r & 7) == 0 ? 0xE8 : static_cast<uint8_t>(r % 40);
  }
  for (size_t i = 0; i + 5 <= size; i += 1 + rng() % 23) {
    out[i] = 0xE8;
    const uint32_t target = (rng() % 3 == 0 ? rng() : rng() % 200000) - (rng() % 2 ? 0 : 100000);
    for (int b = 0; b < 4; ++b) out[i + 1 + b] = static_cast<uint8_t>(target >> (8 * b));
  }
  return out;
}

// Frames that alternate between text and random bytes, so that blocks end
// and uncompressed blocks appear between compressed ones.
Bytes Alternating(size_t size) {
  Bytes out;
  for (uint32_t k = 0; out.size() < size; ++k) {
    const Bytes part = k % 3 == 2 ? Random(kLzxFrame, k) : Text(kLzxFrame, k);
    out.insert(out.end(), part.begin(), part.end());
  }
  out.resize(size);
  return out;
}

// A random chunk, then the same chunk again further back than a small
// window reaches.
Bytes FarRepeat(size_t chunk, size_t gap) {
  Bytes a = Random(chunk, 7);
  Bytes out = a;
  const Bytes filler = Text(gap, 8);
  out.insert(out.end(), filler.begin(), filler.end());
  out.insert(out.end(), a.begin(), a.end());
  return out;
}

struct Case {
  const char* name;
  std::function<Bytes()> data;
  int windowBits;
  int level;
  bool translate;
};

class LzxRoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(LzxRoundTrip, DecodesBitExactly) {
  const Case& c = GetParam();
  const Bytes data = c.data();
  LzxEncoder encoder(c.windowBits, c.level, c.translate);
  std::vector<size_t> sizes;
  for (size_t at = 0; at < data.size(); at += kLzxFrame) {
    const size_t n = std::min(kLzxFrame, data.size() - at);
    encoder.AddFrame(data.data() + at, n);
    sizes.push_back(n);
  }
  encoder.Flush();
  const std::vector<Bytes> frames = encoder.TakeFrames();
  ASSERT_EQ(frames.size(), sizes.size());
  test::LzxTestDecoder decoder(c.windowBits);
  Bytes decoded;
  size_t packed = 0;
  for (size_t k = 0; k < frames.size(); ++k) {
    ASSERT_FALSE(frames[k].empty()) << "frame " << k;
    ASSERT_LE(frames[k].size(), kLzxMaxFrameBytes) << "frame " << k;
    ASSERT_EQ(frames[k].size() % 2, 0u) << "frame " << k;
    Bytes out;
    std::string error;
    ASSERT_TRUE(decoder.Frame(frames[k].data(), frames[k].size(), sizes[k], out, error))
        << "frame " << k << ": " << error;
    decoded.insert(decoded.end(), out.begin(), out.end());
    packed += frames[k].size();
  }
  ASSERT_EQ(decoded.size(), data.size());
  EXPECT_TRUE(decoded == data)
      << "first difference at "
      << std::mismatch(decoded.begin(), decoded.end(), data.begin()).first - decoded.begin();
  std::printf("%s: %zu -> %zu bytes; blocks: %d verbatim, %d aligned, %d uncompressed\n", c.name,
              data.size(), packed, decoder.blocks[1], decoder.blocks[2], decoder.blocks[3]);
}

const Case kCases[] = {
    {"Empty", [] { return Bytes(); }, 21, 6, true},
    {"OneByte", [] { return Bytes{0xE8}; }, 21, 6, true},
    {"ElevenBytesWithCall", [] { return Bytes{0xE8, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}; }, 21, 6, true},
    {"Zeros", [] { return Bytes(300000, 0); }, 21, 6, true},
    {"TextFrameMinusOne", [] { return Text(kLzxFrame - 1, 1); }, 21, 6, true},
    {"TextOneFrame", [] { return Text(kLzxFrame, 2); }, 21, 6, true},
    {"TextFramePlusOne", [] { return Text(kLzxFrame + 1, 3); }, 21, 6, true},
    {"TextTwoFramesMinusOne", [] { return Text(2 * kLzxFrame - 1, 4); }, 21, 6, true},
    {"TextLongBlock", [] { return Text(32 * kLzxFrame + 1, 5); }, 21, 6, true},
    {"TextWindow15", [] { return Text(300000, 6); }, 15, 6, true},
    {"TextLevel1", [] { return Text(200000, 9); }, 16, 1, false},
    {"TextLevel9", [] { return Text(200000, 10); }, 17, 9, true},
    {"RandomOdd", [] { return Random(100001, 11); }, 21, 6, true},
    {"RandomUntranslated", [] { return Random(70000, 12); }, 18, 6, false},
    {"Program", [] { return Program(3 << 20); }, 21, 6, true},
    {"ProgramUntranslated", [] { return Program(1 << 20); }, 19, 6, false},
    {"ProgramWindow20", [] { return Program(1 << 20); }, 20, 6, true},
    {"Calls", [] { return Calls(200000, 13); }, 21, 6, true},
    {"CallsOddEnd", [] { return Calls(3 * kLzxFrame + 7, 14); }, 16, 6, true},
    {"Alternating", [] { return Alternating(12 * kLzxFrame + 5); }, 21, 6, true},
    {"FarRepeatBeyondWindow", [] { return FarRepeat(20000, 40000); }, 15, 9, false},
    {"FarRepeatWithinWindow", [] { return FarRepeat(20000, 1 << 20); }, 21, 6, false},
};

INSTANTIATE_TEST_SUITE_P(Data, LzxRoundTrip, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LzxEncoderTest, UsesEveryBlockKind) {
  // Text with far matches gives aligned-offset blocks, random bytes
  // uncompressed ones, and short text verbatim ones.
  int blocks[4] = {};
  for (const Bytes& data : {Alternating(12 * kLzxFrame), Program(1 << 20), Text(5000, 1)}) {
    LzxEncoder encoder(21, 6, true);
    for (size_t at = 0; at < data.size(); at += kLzxFrame) {
      encoder.AddFrame(data.data() + at, std::min(kLzxFrame, data.size() - at));
    }
    encoder.Flush();
    test::LzxTestDecoder decoder(21);
    size_t at = 0;
    for (const Bytes& f : encoder.TakeFrames()) {
      Bytes out;
      std::string error;
      const size_t n = std::min(kLzxFrame, data.size() - at);
      ASSERT_TRUE(decoder.Frame(f.data(), f.size(), n, out, error)) << error;
      at += n;
    }
    for (int t = 1; t <= 3; ++t) blocks[t] += decoder.blocks[t];
  }
  EXPECT_GT(blocks[1], 0) << "verbatim";
  EXPECT_GT(blocks[2], 0) << "aligned";
  EXPECT_GT(blocks[3], 0) << "uncompressed";
}

TEST(LzxEncoderTest, CompressesTextAndCode) {
  // Far better than a block-by-block coder on repetitive text, and below
  // the size of code.
  const Bytes text = Text(1 << 20, 3);
  LzxEncoder encoder(21, 6, true);
  for (size_t at = 0; at < text.size(); at += kLzxFrame) {
    encoder.AddFrame(text.data() + at, kLzxFrame);
  }
  encoder.Flush();
  size_t packed = 0;
  for (const Bytes& f : encoder.TakeFrames()) packed += f.size();
  EXPECT_LT(packed, text.size() / 3);
}

TEST(LzxEncoderTest, FolderType) {
  EXPECT_EQ(LzxFolderType(15), 0x0F03);
  EXPECT_EQ(LzxFolderType(21), 0x1503);
}

}  // namespace
}  // namespace qb::cab
