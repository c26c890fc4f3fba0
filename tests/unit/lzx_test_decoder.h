// A strict LZX decoder for the tests: it decodes a cabinet folder frame by
// frame, each frame from its own CFDATA bytes as the system's cabinet code
// does, and refuses what a lenient decoder would let pass: incomplete codes,
// a match across a frame's end or before the stream's start, a frame whose
// bits do not end exactly with its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qb::cab::test {

class LzxTestDecoder {
 public:
  explicit LzxTestDecoder(int windowBits)
      : windowSize_(1u << windowBits),
        mainSymbols_(256 + 8 * (windowBits == 21   ? 50
                                : windowBits == 20 ? 42
                                                   : windowBits * 2)),
        window_(windowSize_) {
    for (int i = 0; i < 51; ++i) extra_[i] = i < 4 ? 0 : i < 36 ? (i - 2) / 2 : 17;
    base_[0] = 0;
    for (int i = 1; i < 51; ++i) base_[i] = base_[i - 1] + (1u << extra_[i - 1]);
  }

  // Decodes one frame; the error says what was wrong.
  bool Frame(const uint8_t* in, size_t inSize, size_t outSize, std::vector<uint8_t>& out,
             std::string& error) {
    in_ = in;
    inSize_ = inSize;
    at_ = 0;
    buffer_ = 0;
    bits_ = 0;
    overrun_ = false;
    if (outSize == 0 || outSize > 32768 || (windowPos_ % 32768) != 0 || ended_) {
      error = "a frame after a short one, or of a bad size";
      return false;
    }
    if (outSize < 32768) ended_ = true;
    if (!headerRead_) {
      if (Bits(1)) {
        translation_ = Bits(16) << 16;
        translation_ |= Bits(16);
      }
      headerRead_ = true;
    }
    const uint32_t frameStart = windowPos_;
    size_t togo = outSize;
    bool oddPad = false;
    while (togo > 0) {
      if (remaining_ == 0) {
        if (type_ == 3 && (blockLength_ & 1)) {
          error = "a block after an odd-sized uncompressed block";
          return false;
        }
        type_ = static_cast<int>(Bits(3));
        if (type_ >= 1 && type_ <= 3) blocks[type_]++;
        blockLength_ = Bits(16) << 8;
        blockLength_ |= Bits(8);
        remaining_ = blockLength_;
        if (remaining_ == 0) {
          error = "an empty block";
          return false;
        }
        if (type_ == 2) {
          for (int i = 0; i < 8; ++i) alignedLens_[i] = static_cast<uint8_t>(Bits(3));
          if (!Complete(alignedLens_, 8, false)) return Fail(error, "incomplete aligned code");
          aligned_ = Build(alignedLens_, 8);
        }
        if (type_ == 1 || type_ == 2) {
          if (!Lengths(mainLens_, 0, 256) || !Lengths(mainLens_, 256, mainSymbols_) ||
              !Lengths(lengthLens_, 0, 249)) {
            return Fail(error, "bad code lengths");
          }
          if (!Complete(mainLens_, mainSymbols_, false)) return Fail(error, "incomplete main code");
          if (!Complete(lengthLens_, 249, true)) return Fail(error, "incomplete length code");
          if (mainLens_[0xE8]) intelStarted_ = true;
          main_ = Build(mainLens_, mainSymbols_);
          length_ = Build(lengthLens_, 249);
        } else if (type_ == 3) {
          intelStarted_ = true;
          // 1 to 16 bits of padding, then the recent offsets.
          const int pad = bits_ % 16 == 0 ? 16 : bits_ % 16;
          if (bits_ >= 16 && bits_ % 16 == 0) {
            bits_ -= 16;
          } else {
            Bits(pad);
          }
          if (bits_ != 0) return Fail(error, "misaligned uncompressed block");
          for (uint32_t* r : {&r0_, &r1_, &r2_}) {
            if (at_ + 4 > inSize_) return Fail(error, "uncompressed header cut");
            *r = uint32_t(in_[at_]) | uint32_t(in_[at_ + 1]) << 8 | uint32_t(in_[at_ + 2]) << 16 |
                 uint32_t(in_[at_ + 3]) << 24;
            at_ += 4;
          }
        } else {
          return Fail(error, "bad block type " + std::to_string(type_));
        }
      }
      size_t run = std::min<size_t>(remaining_, togo);
      togo -= run;
      remaining_ -= static_cast<uint32_t>(run);
      if (type_ == 3) {
        if (at_ + run > inSize_) return Fail(error, "uncompressed data cut");
        std::memcpy(&window_[windowPos_ % windowSize_], in_ + at_, run);
        at_ += run;
        windowPos_ += static_cast<uint32_t>(run);
        if (remaining_ == 0 && (blockLength_ & 1)) oddPad = true;
        continue;
      }
      while (run > 0) {
        int sym;
        if (!Symbol(main_, sym)) return Fail(error, "bad main symbol");
        if (sym < 256) {
          window_[windowPos_++ % windowSize_] = static_cast<uint8_t>(sym);
          --run;
          continue;
        }
        sym -= 256;
        int length = sym & 7;
        if (length == 7) {
          int footer;
          if (!Symbol(length_, footer)) return Fail(error, "bad length symbol");
          length += footer;
        }
        length += 2;
        const int slot = sym >> 3;
        uint32_t offset;
        if (slot > 2) {
          const int e = extra_[slot];
          offset = base_[slot] - 2;
          if (type_ == 2 && e >= 3) {
            offset += Bits(e - 3) << 3;
            int a;
            if (!Symbol(aligned_, a)) return Fail(error, "bad aligned symbol");
            offset += static_cast<uint32_t>(a);
          } else {
            offset += Bits(e);
          }
          r2_ = r1_;
          r1_ = r0_;
          r0_ = offset;
        } else if (slot == 0) {
          offset = r0_;
        } else if (slot == 1) {
          offset = r1_;
          r1_ = r0_;
          r0_ = offset;
        } else {
          offset = r2_;
          r2_ = r0_;
          r0_ = offset;
        }
        if (static_cast<size_t>(length) > run) return Fail(error, "match across a frame's end");
        if (offset == 0 || offset > windowPos_ || offset > windowSize_ - 3) {
          return Fail(error, "offset out of the window: " + std::to_string(offset));
        }
        for (int i = 0; i < length; ++i, ++windowPos_) {
          window_[windowPos_ % windowSize_] = window_[(windowPos_ - offset) % windowSize_];
        }
        run -= static_cast<size_t>(length);
      }
    }
    // The frame's bits end on a 16-bit boundary exactly at its end (an
    // odd-sized last uncompressed block adds one byte).
    if (overrun_) return Fail(error, "read beyond the frame's bytes");
    const size_t used = at_ + (oddPad ? 1 : 0);
    if (bits_ >= 16 || used != inSize_) {
      return Fail(error,
                  "frame bytes: used " + std::to_string(used) + " of " + std::to_string(inSize_));
    }
    out.resize(outSize);
    for (size_t i = 0; i < outSize; ++i) out[i] = window_[(frameStart + i) % windowSize_];
    if (framesRead_++ < 32768 && translation_ && intelStarted_ && outSize > 10) {
      int64_t pos = curpos_;
      for (size_t i = 0; i + 10 < outSize;) {
        if (out[i] != 0xE8) {
          ++i;
          ++pos;
          continue;
        }
        const int32_t abs =
            static_cast<int32_t>(uint32_t(out[i + 1]) | uint32_t(out[i + 2]) << 8 |
                                 uint32_t(out[i + 3]) << 16 | uint32_t(out[i + 4]) << 24);
        if (abs >= -pos && abs < static_cast<int64_t>(translation_)) {
          const int64_t rel = abs >= 0 ? abs - pos : abs + static_cast<int64_t>(translation_);
          for (int b = 0; b < 4; ++b)
            out[i + 1 + b] = static_cast<uint8_t>(uint64_t(rel) >> (8 * b));
        }
        i += 5;
        pos += 5;
      }
    }
    curpos_ += static_cast<int64_t>(outSize);
    return true;
  }

  int blocks[4] = {};  // blocks seen of each type: verbatim, aligned, uncompressed

 private:
  static bool Fail(std::string& error, const std::string& what) {
    error = what;
    return false;
  }
  // The bit buffer holds bits_ bits, most significant first.
  uint32_t Bits(int n) {
    if (n == 0) return 0;
    while (bits_ < n) {
      uint32_t word = 0;
      if (at_ + 2 <= inSize_) {
        word = uint32_t(in_[at_]) | uint32_t(in_[at_ + 1]) << 8;
      } else {
        overrun_ = true;
      }
      at_ += 2;
      buffer_ = (buffer_ << 16) | word;
      bits_ += 16;
    }
    bits_ -= n;
    return static_cast<uint32_t>((buffer_ >> bits_) & ((uint64_t(1) << n) - 1));
  }
  static bool Complete(const uint8_t* lens, int n, bool mayBeEmpty) {
    uint64_t kraft = 0;
    int used = 0;
    for (int i = 0; i < n; ++i) {
      if (lens[i]) {
        if (lens[i] > 16) return false;
        kraft += uint64_t(1) << (16 - lens[i]);
        ++used;
      }
    }
    if (used == 0) return mayBeEmpty;
    return kraft == (uint64_t(1) << 16);
  }
  struct Table {
    int count[17];
    std::vector<int> sorted;  // symbols by code length, then by value
  };
  static Table Build(const uint8_t* lens, int n) {
    Table t{};
    for (int len = 1; len <= 16; ++len) {
      for (int i = 0; i < n; ++i) {
        if (lens[i] == len) {
          t.count[len]++;
          t.sorted.push_back(i);
        }
      }
    }
    return t;
  }
  // Canonical codes, one bit at a time.
  bool Symbol(const Table& t, int& symbol) {
    uint32_t code = 0, first = 0;
    int index = 0;
    for (int len = 1; len <= 16; ++len) {
      code |= Bits(1);
      const uint32_t count = static_cast<uint32_t>(t.count[len]);
      if (code - first < count) {
        symbol = t.sorted[static_cast<size_t>(index) + (code - first)];
        return true;
      }
      index += t.count[len];
      first = (first + count) << 1;
      code <<= 1;
    }
    return false;
  }
  bool Lengths(uint8_t* lens, int first, int last) {
    uint8_t pre[20];
    for (uint8_t& p : pre) p = static_cast<uint8_t>(Bits(4));
    if (!Complete(pre, 20, false)) return false;
    const Table table = Build(pre, 20);
    for (int x = first; x < last;) {
      int z;
      if (!Symbol(table, z)) return false;
      if (z == 17 || z == 18) {
        int run = z == 17 ? static_cast<int>(Bits(4)) + 4 : static_cast<int>(Bits(5)) + 20;
        if (x + run > last) return false;
        while (run--) lens[x++] = 0;
      } else if (z == 19) {
        int run = static_cast<int>(Bits(1)) + 4;
        if (!Symbol(table, z) || z > 16 || x + run > last) return false;
        const int v = (lens[x] - z + 17) % 17;
        while (run--) lens[x++] = static_cast<uint8_t>(v);
      } else {
        lens[x] = static_cast<uint8_t>((lens[x] - z + 17) % 17);
        ++x;
      }
    }
    return true;
  }

  const uint32_t windowSize_;
  const int mainSymbols_;
  std::vector<uint8_t> window_;
  uint32_t base_[51];
  int extra_[51];
  uint32_t windowPos_ = 0;
  uint32_t r0_ = 1, r1_ = 1, r2_ = 1;
  uint8_t mainLens_[656] = {};
  uint8_t lengthLens_[249] = {};
  uint8_t alignedLens_[8] = {};
  Table main_{}, length_{}, aligned_{};
  int type_ = 0;
  uint32_t blockLength_ = 0, remaining_ = 0;
  bool headerRead_ = false, intelStarted_ = false, ended_ = false;
  uint32_t translation_ = 0;
  uint32_t framesRead_ = 0;
  int64_t curpos_ = 0;
  const uint8_t* in_ = nullptr;
  size_t inSize_ = 0, at_ = 0;
  uint64_t buffer_ = 0;
  int bits_ = 0;
  bool overrun_ = false;
};

}  // namespace qb::cab::test
