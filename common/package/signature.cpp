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

bool FindCertificateTable(ByteSource& file, CertificateTable& table) {
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
  table.offset = offset;
  table.size = length;
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

}  // namespace qb
