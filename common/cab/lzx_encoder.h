// LZX compression for cabinet folders.
//
// A folder compressed with LZX is one stream: the window (32 KiB to 2 MiB)
// spans every block and every file of the folder. The folder's data goes in
// frames of 32 KiB, the last one possibly shorter, and each frame's
// compressed bytes make one CFDATA block: they end on a 16-bit boundary, and
// no match reaches across a frame's end. LZX blocks (verbatim, aligned-offset
// or uncompressed, chosen by their size) hold whole frames. With the call
// translation on, the bytes after each 0xE8 (an x86 CALL) become absolute
// offsets before matching, as the decoder expects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace qb::cab {

constexpr int kLzxMinWindowBits = 15;
constexpr int kLzxMaxWindowBits = 21;
constexpr size_t kLzxFrame = 32768;
// The largest CFDATA payload decoders accept for one 32 KiB frame.
constexpr size_t kLzxMaxFrameBytes = 32768 + 6144;
// The call translation covers the first 32768 frames of a stream; folders
// that may grow longer are written without it.
constexpr uint64_t kLzxTranslatedBytes = uint64_t(32768) * kLzxFrame;

// The CFFOLDER compression type of LZX with a window of 2^windowBits bytes.
constexpr uint16_t LzxFolderType(int windowBits) {
  return static_cast<uint16_t>(3 | (windowBits << 8));
}

class LzxEncoder {
 public:
  // windowBits 15 to 21; level 1 to 9 sets how hard matches are looked for;
  // translate turns on the E8 call translation.
  LzxEncoder(int windowBits, int level, bool translate);
  ~LzxEncoder();
  LzxEncoder(const LzxEncoder&) = delete;
  LzxEncoder& operator=(const LzxEncoder&) = delete;

  // Adds the next frame: kLzxFrame bytes, or fewer for the folder's last.
  void AddFrame(const uint8_t* data, size_t size);
  // Ends the current block, so that every frame added so far is ready.
  void Flush();
  // The compressed frames finished so far, in order; they are handed over
  // once.
  std::vector<std::vector<uint8_t>> TakeFrames();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qb::cab
