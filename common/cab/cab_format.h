// Microsoft Cabinet format constants and the CFDATA checksum, shared by the
// cabinet writer and its tests.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qb::cab {

constexpr size_t kHeaderSize = 36;     // CFHEADER without optional fields
constexpr size_t kFolderSize = 8;      // CFFOLDER
constexpr size_t kFileFixedSize = 16;  // CFFILE without its name
constexpr size_t kDataHeaderSize = 8;  // CFDATA without its data
constexpr size_t kMaxBlock = 32768;    // uncompressed bytes per CFDATA block

enum HeaderFlags : uint16_t {
  kPrevCabinet = 0x0001,
  kNextCabinet = 0x0002,
};

enum FolderIndex : uint16_t {
  kContinuedFromPrev = 0xFFFD,
  kContinuedToNext = 0xFFFE,
  kContinuedPrevAndNext = 0xFFFF,
};

// The CFFOLDER compression type; LZX also carries its window size there.
enum class Compression : uint16_t { kNone = 0, kMszip = 1, kLzx = 3 };

// The checksum of a CFDATA block: the XOR of the data taken as little-endian
// 32-bit words, the last one or three bytes packed in reverse order.
uint32_t Checksum(const uint8_t* data, size_t size, uint32_t seed);

}  // namespace qb::cab
