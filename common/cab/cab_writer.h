// Writes Microsoft Cabinet files and cabinet sets.
//
// Files are packed in folders of MSZIP, LZX (or stored) blocks of at most
// 32 KiB. An MSZIP block is compressed on its own (with the block before as
// its dictionary), so blocks are compressed on every core; an LZX folder is
// one stream whose window spans all of its files.
// With a cabinet size, the data continues from one cabinet into the next: the
// block at the end of a cabinet is split, and the files it holds are marked as
// continued in both cabinets, so that a decompressor moves to the next
// cabinet exactly where a file crosses the boundary. The folder that crosses a
// boundary ends with the last file that crosses it, and the files after it
// start a new folder, so that a pass that starts in a later cabinet can
// decode every file that begins there.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cab/cab_format.h"

namespace qb::cab {

struct InputFile {
  std::string name;            // name inside the cabinet
  std::string sourcePath;      // read from here when not empty...
  std::vector<uint8_t> bytes;  // ...otherwise these are the contents
  uint32_t size = 0;           // size of the contents
  uint16_t date = 0;           // DOS date and time (local time)
  uint16_t time = 0;
  uint16_t attributes = 0x20;
};

struct Options {
  Compression compression = Compression::kMszip;
  int level = 6;           // zlib level for MSZIP; how hard LZX looks for matches
  int lzxWindowBits = 21;  // LZX window: 2^15 to 2^21 bytes
  // Size of every cabinet but the last; 0 puts everything in one cabinet.
  uint32_t cabinetSize = 0;
  // Pad every cabinet but the last to exactly cabinetSize.
  bool pad = true;
  uint16_t setId = 0x5142;
  // Name of cabinet k of the set, as the headers give it.
  std::function<std::string(int)> cabinetName = [](int k) {
    return "temp_" + std::to_string(k) + ".tmp";
  };
};

constexpr size_t kNoInput = static_cast<size_t>(-1);

struct Result {
  std::vector<std::vector<uint8_t>> cabinets;
  std::string error;              // empty on success
  size_t failedInput = kNoInput;  // the input file the error is about, if any
};

Result WriteCabinets(const std::vector<InputFile>& files, const Options& options);

// The smallest cabinet size the writer accepts for a set.
constexpr uint32_t kMinimumCabinetSize = 4096;

// DOS date and time of a time_t, in the local time of this machine.
void ToDosDateTime(int64_t unixTime, uint16_t& date, uint16_t& time);

}  // namespace qb::cab
