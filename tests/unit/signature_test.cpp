// Finding the package of a signed installer: the certificate table that
// signing appends is named by the PE security directory. Appending the
// uninstaller's trailer to a signed program inside that table.
#include "package/signature.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace qb {
namespace {

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A PE header (PE32 or PE32+) with room for the data directories, then
// `package` bytes, then, when signed, zero padding to a multiple of eight
// and a certificate table of 24 bytes named by the security directory.
std::vector<uint8_t> Installer(bool pe32Plus, size_t package, bool signed_) {
  const size_t pe = 64, optional = pe + 24;
  const uint32_t directories = pe32Plus ? 112 : 96;
  std::vector<uint8_t> b(optional + directories + 16 * 8, 0);
  b[0] = 'M', b[1] = 'Z';
  Put32(b, 0x3C, pe);
  b[pe] = 'P', b[pe + 1] = 'E';
  b[pe + 20] = static_cast<uint8_t>(directories + 16 * 8);
  b[optional] = 0x0B, b[optional + 1] = pe32Plus ? 0x02 : 0x01;
  Put32(b, optional + directories - 4, 16);
  for (size_t i = 0; i < package; ++i) b.push_back(static_cast<uint8_t>(i % 7 + 1));
  if (signed_) {
    while (b.size() % 8) b.push_back(0);
    Put32(b, optional + directories + 4 * 8, static_cast<uint32_t>(b.size()));
    Put32(b, optional + directories + 4 * 8 + 4, 24);
    b.insert(b.end(), 24, 0x30);
  }
  return b;
}

TEST(SignatureTest, PackageEndsBeforeThePaddingAndTheTable) {
  for (bool plus : {false, true}) {
    for (size_t package : {1, 5, 8, 13}) {
      const std::vector<uint8_t> unsignedFile = Installer(plus, package, false);
      MemorySource plain(unsignedFile);
      CertificateTable table;
      EXPECT_FALSE(FindCertificateTable(plain, table));
      EXPECT_EQ(PackageEnd(plain), unsignedFile.size());

      MemorySource signedFile(Installer(plus, package, true));
      ASSERT_TRUE(FindCertificateTable(signedFile, table)) << plus << " " << package;
      EXPECT_EQ(table.size, 24u);
      EXPECT_EQ(table.offset + 24, signedFile.Size());
      EXPECT_EQ(PackageEnd(signedFile), unsignedFile.size()) << plus << " " << package;
    }
  }
}

TEST(SignatureTest, TablesThatAreNotWhereSigningPutsThemAreIgnored) {
  std::vector<uint8_t> moved = Installer(false, 9, true);
  moved.push_back(0xF1);  // something after the table
  MemorySource after(moved);
  CertificateTable table;
  EXPECT_FALSE(FindCertificateTable(after, table));
  EXPECT_EQ(PackageEnd(after), moved.size());

  std::vector<uint8_t> beyond = Installer(false, 9, true);
  Put32(beyond, 64 + 24 + 96 + 32, 0xFFFFFFF0u);  // offset beyond the file
  MemorySource far(beyond);
  EXPECT_FALSE(FindCertificateTable(far, table));

  std::vector<uint8_t> few = Installer(true, 9, true);
  Put32(few, 64 + 24 + 112 - 4, 4);  // only four directories: no security entry
  MemorySource short_(few);
  EXPECT_FALSE(FindCertificateTable(short_, table));

  for (std::vector<uint8_t> bad :
       {std::vector<uint8_t>{}, std::vector<uint8_t>{'M', 'Z'}, std::vector<uint8_t>(200, 'x')}) {
    MemorySource notPe(bad);
    EXPECT_FALSE(FindCertificateTable(notPe, table));
    EXPECT_EQ(PackageEnd(notPe), bad.size());
  }
  std::vector<uint8_t> hugeOffset = Installer(false, 3, false);
  Put32(hugeOffset, 0x3C, 0x7FFFFFF0u);  // e_lfanew beyond the file
  MemorySource lost(hugeOffset);
  EXPECT_FALSE(FindCertificateTable(lost, table));
}

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (static_cast<uint32_t>(b[at + 2]) << 16) |
         (static_cast<uint32_t>(b[at + 3]) << 24);
}

// Certificate entries, as signing writes them: a length that counts the
// eight bytes of header, revision 2.0 and the PKCS#7 type, then the
// signature padded to eight bytes.
std::vector<uint8_t> Entry(uint32_t length) {
  std::vector<uint8_t> e(length, 0x30);
  Put32(e, 0, length);
  e[4] = 0x00, e[5] = 0x02, e[6] = 0x02, e[7] = 0x00;
  return e;
}

// A signed program whose table holds the given entries, each padded to a
// multiple of eight bytes; checksum goes into the PE checksum field.
std::vector<uint8_t> Signed(bool pe32Plus, size_t body, const std::vector<uint32_t>& entries,
                            uint32_t checksum) {
  std::vector<uint8_t> b = Installer(pe32Plus, body, false);
  while (b.size() % 8) b.push_back(0);
  const size_t table = b.size();
  for (uint32_t length : entries) {
    const std::vector<uint8_t> e = Entry(length);
    b.insert(b.end(), e.begin(), e.end());
    while (b.size() % 8) b.push_back(0);
  }
  const size_t directories = 64 + 24 + (pe32Plus ? 112 : 96);
  Put32(b, directories + 4 * 8, static_cast<uint32_t>(table));
  Put32(b, directories + 4 * 8 + 4, static_cast<uint32_t>(b.size() - table));
  Put32(b, 64 + 24 + 64, checksum);
  return b;
}

TEST(SignatureTest, DataGoesInsideTheCertificateTableOfASignedProgram) {
  const struct {
    bool plus;
    size_t body;
    std::vector<uint32_t> entries;
    size_t data;
  } cases[] = {
      {false, 5, {24}, 1},     {false, 5, {24}, 8},          {false, 13, {24}, 13},
      {true, 8, {1504}, 30},   {true, 1, {20}, 6},           {false, 9, {24, 40}, 25},
      {false, 9, {17, 19}, 2}, {true, 3, {16, 16, 16}, 100},
  };
  for (const auto& c : cases) {
    const std::string what = std::to_string(c.plus) + " " + std::to_string(c.body) + " " +
                             std::to_string(c.entries.size()) + " " + std::to_string(c.data);
    const std::vector<uint8_t> before = Signed(c.plus, c.body, c.entries, 0);
    MemorySource beforeSource(before);
    CertificateTable old;
    ASSERT_TRUE(FindCertificateTable(beforeSource, old)) << what;
    std::vector<uint8_t> data(c.data);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0xA0 + i);

    std::vector<uint8_t> after = before;
    ASSERT_TRUE(AppendKeepingSignature(after, data)) << what;
    // The data ends the file; the table still ends there too, grown by zero
    // bytes and the data, and is a multiple of eight bytes long.
    ASSERT_GE(after.size(), before.size() + data.size()) << what;
    EXPECT_TRUE(std::equal(data.begin(), data.end(), after.end() - data.size())) << what;
    MemorySource afterSource(after);
    CertificateTable grown;
    ASSERT_TRUE(FindCertificateTable(afterSource, grown)) << what;
    EXPECT_EQ(grown.offset, old.offset) << what;
    EXPECT_EQ(grown.size % 8, 0u) << what;
    EXPECT_LT(after.size() - before.size() - data.size(), 8u) << what;
    for (size_t i = before.size(); i < after.size() - data.size(); ++i)
      EXPECT_EQ(after[i], 0) << what;
    // Everything the signature's digest covers is as it was: all but the
    // directory entry's size and the table.
    const size_t sizeField = 64 + 24 + (c.plus ? 112 : 96) + 4 * 8 + 4;
    for (size_t i = 0; i < old.offset; ++i) {
      if (i >= sizeField && i < sizeField + 4) continue;
      ASSERT_EQ(after[i], before[i]) << what << " at " << i;
    }
    // Every entry but the last is as it was; the last reaches the new end.
    size_t at = static_cast<size_t>(old.offset);
    for (size_t e = 0; e < c.entries.size(); ++e) {
      const uint32_t length = Get32(after, at);
      if (e + 1 < c.entries.size()) {
        EXPECT_EQ(length, c.entries[e]) << what;
      } else {
        EXPECT_EQ(at + length, after.size()) << what;
        EXPECT_TRUE(std::equal(before.begin() + static_cast<long>(at + 4), before.end(),
                               after.begin() + static_cast<long>(at + 4)))
            << what;
      }
      at += (c.entries[e] + 7) / 8 * 8;
    }
    // A checksum of 0 says there is none, and stays so.
    EXPECT_EQ(Get32(after, 64 + 24 + 64), 0u) << what;
  }
}

TEST(SignatureTest, DataGoesAtTheEndOfAnyOtherFile) {
  std::vector<uint8_t> moved = Signed(false, 9, {24}, 0);
  moved.push_back(0xF1);  // the table no longer ends the file
  std::vector<uint8_t> broken = Signed(false, 9, {24}, 0);
  Put32(broken, broken.size() - 24, 4);  // an entry shorter than its header
  std::vector<uint8_t> beyond = Signed(false, 9, {24}, 0);
  Put32(beyond, beyond.size() - 24, 32);  // an entry longer than the table
  const std::vector<std::vector<uint8_t>> files = {
      Installer(false, 9, false), Installer(true, 1, false),     moved, broken, beyond,
      std::vector<uint8_t>{},     std::vector<uint8_t>(100, 'x')};
  const std::vector<uint8_t> data = {'C', ':', '\\', 'l', 4, 0};
  for (size_t f = 0; f < files.size(); ++f) {
    std::vector<uint8_t> after = files[f];
    EXPECT_FALSE(AppendKeepingSignature(after, data)) << f;
    std::vector<uint8_t> expected = files[f];
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(after, expected) << f;
  }
}

TEST(SignatureTest, PeChecksum) {
  // Known sums: the 16-bit words added with end-around carry, the field
  // itself as zero, then the length.
  const struct {
    std::vector<uint8_t> bytes;
    uint64_t field;
    uint32_t sum;
  } cases[] = {
      {{}, 0, 0},
      {{0x01}, 8, 1 + 1},
      {{0x01, 0x02}, 8, 0x0201 + 2},
      {{0xFF, 0xFF, 0x02, 0x00}, 8, 0x0001 + 0x0001 + 4},  // 0xFFFF + 2 carries round
      {{0x10, 0x00, 0xAA, 0xBB, 0xCC, 0xDD, 0x20, 0x00}, 2, 0x0030 + 8},
      {{0x10, 0xAA, 0xBB, 0xCC, 0xDD, 0x20}, 1, 0x2010 + 6},  // a field at an odd offset
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PeChecksum(c.bytes, c.field), c.sum) << c.bytes.size() << " " << c.field;
  }
  // A checksum the signed program has is made again after the append.
  std::vector<uint8_t> program = Signed(false, 11, {24}, 0x12345678);
  ASSERT_TRUE(AppendKeepingSignature(program, {1, 2, 3}));
  EXPECT_EQ(Get32(program, 64 + 24 + 64), PeChecksum(program, 64 + 24 + 64));
  EXPECT_NE(Get32(program, 64 + 24 + 64), 0x12345678u);
}

}  // namespace
}  // namespace qb
