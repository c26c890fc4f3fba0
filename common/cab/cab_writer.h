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
#include <cstdio>
#include <functional>
#include <memory>
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
  // With one cabinet, an LZX folder that holds this much ends at the next
  // file, and the next folder is compressed beside it on another core.
  uint64_t lzxFolderSize = 32 << 20;
  // Size of every cabinet but the last; 0 puts everything in one cabinet.
  uint32_t cabinetSize = 0;
  // Pad every cabinet but the last to exactly cabinetSize.
  bool pad = true;
  uint16_t setId = 0x5142;
  // Name of cabinet k of the set, as the headers give it.
  std::function<std::string(int)> cabinetName = [](int k) {
    return "temp_" + std::to_string(k) + ".tmp";
  };
  // While the set is written, the cabinets' data waits in this file (empty:
  // a temporary file of the system's), so that memory stays the same
  // whatever the size of the files.
  std::string spoolPath;
};

constexpr size_t kNoInput = static_cast<size_t>(-1);

struct Result {
  std::vector<std::vector<uint8_t>> cabinets;
  std::string error;              // empty on success
  size_t failedInput = kNoInput;  // the input file the error is about, if any
};

// A set once written: headers in memory, data in the spool file, each
// cabinet written out on demand. The spool goes with the set.
class CabinetSet {
 public:
  ~CabinetSet();
  CabinetSet(const CabinetSet&) = delete;
  CabinetSet& operator=(const CabinetSet&) = delete;

  // Receives the bytes in pieces; false stops the writing.
  using Output = std::function<bool(const uint8_t*, size_t)>;
  size_t Count() const { return cabinets_.size(); }
  uint64_t Size(size_t k) const;
  // Writes bytes [from, from + length) of cabinet k; false when the output
  // refuses or the spool cannot be read (error says which).
  bool Write(size_t k, uint64_t from, uint64_t length, const Output& out, std::string& error) const;

 private:
  friend struct CabinetSetAccess;
  CabinetSet() = default;
  struct Piece {
    std::vector<uint8_t> header;  // CFHEADER, CFFOLDERs and CFFILEs
    uint64_t spoolOffset = 0;     // where its CFDATA blocks lie in the spool
    uint64_t dataSize = 0;
    uint64_t padding = 0;  // zeros that bring it to the cabinet size
  };
  std::vector<Piece> cabinets_;
  std::FILE* spool_ = nullptr;
  std::string spoolPath_;  // removed with the set, when not a temporary file
};

struct SetResult {
  std::unique_ptr<CabinetSet> set;
  std::string error;              // empty on success
  size_t failedInput = kNoInput;  // the input file the error is about, if any
};

// Writes a set, its data through the spool.
SetResult WriteCabinetSet(const std::vector<InputFile>& files, const Options& options);
// The same with every cabinet in memory.
Result WriteCabinets(const std::vector<InputFile>& files, const Options& options);

// The smallest cabinet size the writer accepts for a set.
constexpr uint32_t kMinimumCabinetSize = 4096;

// DOS date and time of a time_t, in the local time of this machine.
void ToDosDateTime(int64_t unixTime, uint16_t& date, uint16_t& time);

}  // namespace qb::cab
