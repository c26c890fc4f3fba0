// Byte sources the package reader works on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qb {

// A file-like thing that can be read and positioned. The stub implements it
// over a Windows file handle, the authoring tool over a C file, tests over
// memory.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to size bytes; returns the count read (0 at the end or on error).
  virtual size_t Read(void* buffer, size_t size) = 0;
  virtual bool Seek(uint64_t position) = 0;
  virtual uint64_t Size() = 0;
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  size_t Read(void* buffer, size_t size) override;
  bool Seek(uint64_t position) override;
  uint64_t Size() override;

 private:
  std::vector<uint8_t> bytes_;
  uint64_t position_ = 0;
};

// Reads a source through one buffer, so that reading strings byte by byte does
// not cost a system call per byte.
class BufferedReader {
 public:
  explicit BufferedReader(ByteSource& source, size_t bufferSize = 64 * 1024);
  bool Seek(uint64_t position);
  // Makes the source end at the given position (never later than it does):
  // reads stop there as they stop at the end of the source.
  void LimitTo(uint64_t end);
  uint64_t Position() const { return position_ - (end_ - next_); }
  uint64_t Size() const { return size_; }
  uint64_t Remaining() const;
  // Reads size bytes; returns the count read.
  size_t Read(void* buffer, size_t size);
  // Reads a NUL-terminated string; the end of the source ends it too.
  std::string ReadString();

 private:
  bool Fill();
  // How much of wanted lies before the end.
  size_t Allowed(size_t wanted) const;
  ByteSource& source_;
  std::vector<uint8_t> buffer_;
  size_t next_ = 0;
  size_t end_ = 0;
  uint64_t position_ = 0;  // source position of buffer_[end_]
  uint64_t size_ = 0;      // the end that reads stop at
};

}  // namespace qb
