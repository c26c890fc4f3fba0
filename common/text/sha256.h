// SHA-256 (FIPS 180-4), for the uninstall log's fingerprint: the installer
// stores it where only the installing account can write, and the
// uninstaller refuses a log that does not match it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qb {

class Sha256 {
 public:
  Sha256();
  void Add(const void* data, size_t size);
  // The digest as 64 lowercase hexadecimal digits; the object is spent.
  std::string HexDigest();

 private:
  void Block(const uint8_t* block);
  uint32_t state_[8];
  uint8_t buffer_[64];
  uint64_t length_ = 0;  // bytes added
  size_t used_ = 0;      // bytes in buffer_
};

// The digest of a whole text, in lowercase hexadecimal.
std::string Sha256Hex(const void* data, size_t size);

}  // namespace qb
