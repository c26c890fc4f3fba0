// Rewriting a program's resources without Windows: what is written reads
// back, the sections after the resources move along, and bad input is
// refused.
#include "pe_resources.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace tool {
namespace {

std::vector<uint8_t> Stub() {
  std::ifstream in(QB_TEST_STUB, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (static_cast<uint32_t>(b[at + 2]) << 16) |
         (static_cast<uint32_t>(b[at + 3]) << 24);
}

TEST(PeResourcesTest, WhatIsWrittenReadsBack) {
  std::vector<uint8_t> pe = Stub();
  ASSERT_GT(pe.size(), 1024u);
  std::vector<Resource> original, again;
  std::string error;
  ASSERT_TRUE(ReadResources(pe, original, error)) << error;
  ASSERT_FALSE(original.empty());
  // The same resources, plus a large one that makes the section grow by
  // more than a page, and a named type.
  std::vector<Resource> wanted = original;
  Resource big;
  big.type.text = u"QBDATA";
  big.name.number = 7;
  big.language = 0x409;
  big.data.assign(10000, 0x5A);
  wanted.push_back(big);
  std::vector<uint8_t> grown = pe;
  ASSERT_TRUE(WriteResources(grown, wanted, error)) << error;
  ASSERT_TRUE(ReadResources(grown, again, error)) << error;
  ASSERT_EQ(again.size(), wanted.size());
  size_t matched = 0;
  for (const Resource& w : wanted) {
    for (const Resource& a : again) {
      if (a.type == w.type && a.name == w.name && a.language == w.language && a.data == w.data)
        ++matched;
    }
  }
  EXPECT_EQ(matched, wanted.size());
  // The image grew by whole pages and the file by whole file alignments.
  const size_t optional = Get32(pe, 0x3C) + 24;
  EXPECT_EQ((grown.size() - pe.size()) % 512, 0u);
  EXPECT_GT(Get32(grown, optional + 56), Get32(pe, optional + 56));
  // Written back as they were, the resources give the same bytes again.
  std::vector<uint8_t> same = grown;
  ASSERT_TRUE(WriteResources(same, again, error)) << error;
  EXPECT_EQ(same, grown);
}

TEST(PeResourcesTest, BadInputIsRefused) {
  std::vector<Resource> out;
  std::string error;
  std::vector<uint8_t> notPe(4096, 'x');
  EXPECT_FALSE(ReadResources(notPe, out, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(WriteResources(notPe, out, error));
  // A resource directory that points beyond its section.
  std::vector<uint8_t> pe = Stub();
  std::vector<Resource> resources;
  ASSERT_TRUE(ReadResources(pe, resources, error));
  const size_t optional = Get32(pe, 0x3C) + 24;
  const bool plus = pe[optional + 1] == 0x02;
  const uint32_t rva = Get32(pe, optional + (plus ? 112 : 96) + 16);
  size_t table = optional + (pe[Get32(pe, 0x3C) + 20] | pe[Get32(pe, 0x3C) + 21] << 8);
  for (;; table += 40) {
    if (Get32(pe, table + 12) == rva) break;
  }
  const size_t base = Get32(pe, table + 20);
  pe[base + 20] = 0xFF, pe[base + 21] = 0xFF, pe[base + 22] = 0xFF, pe[base + 23] = 0x8F;
  EXPECT_FALSE(ReadResources(pe, out, error));

  for (std::vector<uint8_t> ico : {std::vector<uint8_t>{}, std::vector<uint8_t>{0, 0, 2, 0, 1, 0},
                                   std::vector<uint8_t>{0,  0, 1,    0,    1, 0, 16, 16, 0, 0, 1, 0,
                                                        32, 0, 0xFF, 0xFF, 0, 0, 22, 0,  0, 0}}) {
    EXPECT_FALSE(IconResources(ico, u"MAINICON", 1, 0, out, error));
  }
}

TEST(PeResourcesTest, VersionResourceLayout) {
  VersionInfo info;
  info.version = "2.10.3-beta";
  info.productName = "Tally";
  info.companyName = "Exämple";
  const std::vector<uint8_t> v = VersionResource(info);
  ASSERT_GT(v.size(), 92u);
  EXPECT_EQ(v[0] | v[1] << 8, static_cast<int>(v.size()));  // wLength covers it all
  EXPECT_EQ(v[2] | v[3] << 8, 52);                          // the fixed part
  EXPECT_EQ(Get32(v, 40), 0xFEEF04BDu);                     // its signature, after the key
  EXPECT_EQ(Get32(v, 48), (2u << 16) | 10u);                // 2.10
  EXPECT_EQ(Get32(v, 52), 3u << 16);                        // .3.0
  const std::u16string company = Utf16("Exämple");
  const std::string bytes(v.begin(), v.end());
  const std::string wide(reinterpret_cast<const char*>(company.data()), company.size() * 2);
  EXPECT_NE(bytes.find(wide), std::string::npos);
}

TEST(PeResourcesTest, ManifestLevel) {
  const std::string plain = "<assembly>\n  <x/>\n</assembly>\n";
  const std::string admin = ManifestWithLevel(plain, "requireAdministrator");
  EXPECT_NE(admin.find("level=\"requireAdministrator\""), std::string::npos);
  EXPECT_LT(admin.find("<trustInfo"), admin.find("</assembly>"));
  const std::string user = ManifestWithLevel(admin, "asInvoker");
  EXPECT_NE(user.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_EQ(user.find("requireAdministrator"), std::string::npos);
  EXPECT_EQ(user.find("<trustInfo"), user.rfind("<trustInfo"));
}

}  // namespace
}  // namespace tool
