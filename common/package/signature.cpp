#include "package/signature.h"

namespace qb {

namespace {

bool ReadAt(ByteSource& file, uint64_t position, uint8_t* buffer, size_t size) {
  return file.Seek(position) && file.Read(buffer, size) == size;
}

uint32_t Le32(const uint8_t* b) {
  return b[0] | (b[1] << 8) | (static_cast<uint32_t>(b[2]) << 16) |
         (static_cast<uint32_t>(b[3]) << 24);
}

}  // namespace

namespace {

struct SecurityDirectory {
  uint64_t checksumField = 0;  // file offset of the PE checksum
  uint64_t entry = 0;          // file offset of the security directory entry
  CertificateTable table;
};

bool FindSecurityDirectory(ByteSource& file, SecurityDirectory& found) {
  const uint64_t size = file.Size();
  uint8_t dos[64];
  if (!ReadAt(file, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
  const uint64_t pe = Le32(dos + 0x3C);
  // The PE signature, the file header (20 bytes) and the optional header's
  // magic: the data directories sit at 96 (PE32) or 112 (PE32+) into it.
  uint8_t header[24 + 2];
  if (pe > size || !ReadAt(file, pe, header, sizeof header)) return false;
  if (header[0] != 'P' || header[1] != 'E' || header[2] != 0 || header[3] != 0) return false;
  const uint32_t optionalSize = header[20] | (header[21] << 8);
  const uint32_t magic = header[24] | (header[25] << 8);
  const uint32_t directories = magic == 0x10B ? 96 : magic == 0x20B ? 112 : 0;
  if (!directories || optionalSize < directories + 5 * 8) return false;
  uint8_t count[4], entry[8];
  const uint64_t optional = pe + 24;
  if (!ReadAt(file, optional + directories - 4, count, 4) || Le32(count) < 5) return false;
  if (!ReadAt(file, optional + directories + 4 * 8, entry, 8)) return false;
  const uint64_t offset = Le32(entry), length = Le32(entry + 4);
  if (offset == 0 || length == 0 || offset > size || length != size - offset) return false;
  found.checksumField = optional + 64;
  found.entry = optional + directories + 4 * 8;
  found.table.offset = offset;
  found.table.size = length;
  return true;
}

// A program in memory as a byte source, without a copy.
class ProgramView : public ByteSource {
 public:
  explicit ProgramView(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  size_t Read(void* buffer, size_t size) override {
    if (position_ >= bytes_.size()) return 0;
    const uint64_t left = bytes_.size() - position_;
    const size_t n = static_cast<size_t>(size < left ? size : left);
    for (size_t i = 0; i < n; ++i) static_cast<uint8_t*>(buffer)[i] = bytes_[position_ + i];
    position_ += n;
    return n;
  }
  bool Seek(uint64_t position) override {
    position_ = position;
    return true;
  }
  uint64_t Size() override { return bytes_.size(); }

 private:
  const std::vector<uint8_t>& bytes_;
  uint64_t position_ = 0;
};

void Put32(std::vector<uint8_t>& b, uint64_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// The last entry of a certificate table. Entries (a 32-bit length that
// counts their own eight bytes of header, then revision and type) follow
// each other at multiples of eight bytes. False when one does not fit in
// the table.
bool LastEntry(const std::vector<uint8_t>& program, const CertificateTable& table, uint64_t& last) {
  const uint64_t end = table.offset + table.size;
  for (uint64_t at = table.offset; at < end;) {
    if (end - at < 8) return false;
    const uint64_t length = Le32(&program[at]);
    if (length < 8 || length > end - at) return false;
    last = at;
    at += (length + 7) / 8 * 8;
  }
  return true;
}

}  // namespace

bool FindCertificateTable(ByteSource& file, CertificateTable& table) {
  SecurityDirectory found;
  if (!FindSecurityDirectory(file, found)) return false;
  table = found.table;
  return true;
}

uint64_t PackageEnd(ByteSource& file) {
  CertificateTable table;
  if (!FindCertificateTable(file, table)) return file.Size();
  uint64_t end = table.offset;
  uint8_t tail[7];
  const size_t n = end < sizeof tail ? static_cast<size_t>(end) : sizeof tail;
  if (n && ReadAt(file, end - n, tail, n)) {
    for (size_t i = n; i > 0 && tail[i - 1] == 0; --i) --end;
  }
  return end;
}

bool AppendKeepingSignature(std::vector<uint8_t>& program, const std::vector<uint8_t>& data) {
  ProgramView view(program);
  SecurityDirectory found;
  uint64_t last = 0;
  bool inside = FindSecurityDirectory(view, found) && LastEntry(program, found.table, last);
  const uint64_t padding = inside ? (8 - (found.table.size + data.size()) % 8) % 8 : 0;
  const uint64_t grown = found.table.size + padding + data.size();
  if (grown > UINT32_MAX) inside = false;
  if (inside) program.insert(program.end(), static_cast<size_t>(padding), 0);
  program.insert(program.end(), data.begin(), data.end());
  if (!inside) return false;
  Put32(program, found.entry + 4, static_cast<uint32_t>(grown));
  Put32(program, last, static_cast<uint32_t>(program.size() - last));
  if (Le32(&program[found.checksumField]) != 0) {
    Put32(program, found.checksumField, PeChecksum(program, found.checksumField));
  }
  return true;
}

uint32_t PeChecksum(const std::vector<uint8_t>& program, uint64_t checksumField) {
  // The checksum's own four bytes count as zero.
  const auto byte = [&](size_t i) -> uint32_t {
    return i >= program.size() || i - checksumField < 4 ? 0 : program[i];
  };
  uint64_t sum = 0;
  for (size_t i = 0; i < program.size(); i += 2) {
    sum += byte(i) | (byte(i + 1) << 8);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + program.size());
}

}  // namespace qb
