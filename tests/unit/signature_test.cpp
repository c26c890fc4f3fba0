// Finding the package of a signed installer: the certificate table that
// signing appends is named by the PE security directory.
#include "package/signature.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qb
