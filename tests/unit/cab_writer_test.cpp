// The cabinet writer against independent peers: everything it writes must
// extract bit-exactly with cabextract (single cabinets and sets) and gcab
// (single cabinets; gcab does not read cabinet sets).
#include "cab/cab_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

namespace qb::cab {
namespace {

std::string MakeTempDir() {
  char pattern[] = "/tmp/qbcabtest.XXXXXX";
  return mkdtemp(pattern);
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint16_t Get16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return Get16(b, at) | static_cast<uint32_t>(Get16(b, at + 2)) << 16;
}

// Contents of several kinds: text that compresses well, random bytes that do
// not, and empty files.
std::vector<uint8_t> Contents(std::mt19937& rng, size_t size, bool random) {
  std::vector<uint8_t> data(size);
  for (size_t i = 0; i < size; ++i) {
    data[i] = random ? static_cast<uint8_t>(rng())
                     : static_cast<uint8_t>("quillbox "[i % 9] + (i / 4096) % 3);
  }
  return data;
}

struct Case {
  std::string name;
  Compression compression;
  uint32_t cabinetSize;
  std::vector<std::pair<size_t, bool>> files;  // size, random
  int lzxWindowBits = 21;
  uint64_t lzxFolderSize = 32 << 20;
};

class CabWriterPeerTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override { dir_ = MakeTempDir(); }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }
  std::string dir_;
};

TEST_P(CabWriterPeerTest, ExtractsBitExactly) {
  const Case& c = GetParam();
  std::mt19937 rng(42);
  std::vector<InputFile> files;
  for (size_t i = 0; i < c.files.size(); ++i) {
    InputFile f;
    f.name = (i % 3 == 2 ? "sub\\file" : "file") + std::to_string(i) + ".bin";
    f.bytes = Contents(rng, c.files[i].first, c.files[i].second);
    f.size = static_cast<uint32_t>(f.bytes.size());
    f.date = 0x58CF;
    f.time = 0x6000;
    files.push_back(f);
  }
  Options options;
  options.compression = c.compression;
  options.cabinetSize = c.cabinetSize;
  options.lzxWindowBits = c.lzxWindowBits;
  options.lzxFolderSize = c.lzxFolderSize;
  const Result result = WriteCabinets(files, options);
  ASSERT_EQ(result.error, "");
  ASSERT_FALSE(result.cabinets.empty());
  for (size_t k = 0; k < result.cabinets.size(); ++k) {
    const auto& cab = result.cabinets[k];
    std::ofstream(dir_ + "/temp_" + std::to_string(k) + ".tmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(cab.data()), static_cast<std::streamsize>(cab.size()));
    EXPECT_EQ(Get32(cab, 8), cab.size()) << "cabinet " << k;
    if (k + 1 < result.cabinets.size()) {
      // Every cabinet but the last has the same stored size, and every
      // boundary is crossed by a file, so that the reader asks for each next
      // cabinet.
      EXPECT_EQ(cab.size(), c.cabinetSize) << "cabinet " << k;
      const auto& next = result.cabinets[k + 1];
      const uint32_t firstFile = Get32(next, 16);
      const uint16_t folder = Get16(next, firstFile + 8);
      EXPECT_TRUE(folder == kContinuedFromPrev || folder == kContinuedPrevAndNext) << k;
    } else if (c.cabinetSize) {
      EXPECT_LE(cab.size(), c.cabinetSize);
    }
  }
  if (c.cabinetSize == 0) {
    EXPECT_EQ(result.cabinets.size(), 1u);
    // One folder, or with LZX one per lzxFolderSize of data.
    const uint16_t folders = Get16(result.cabinets[0], 26);
    if (c.compression == Compression::kLzx && c.lzxFolderSize < 200000) {
      EXPECT_GE(folders, 4);
    } else {
      EXPECT_EQ(folders, 1);
    }
  }

  ASSERT_EQ(std::system(("cd " + dir_ + " && cabextract -q -d cx temp_0.tmp 2>/dev/null").c_str()),
            0);
  const bool single = result.cabinets.size() == 1;
  if (single) {
    ASSERT_EQ(std::system(("cd " + dir_ + " && gcab -x -C gx temp_0.tmp").c_str()), 0);
  }
  for (const InputFile& f : files) {
    std::string path = f.name;
    for (char& ch : path) {
      if (ch == '\\') ch = '/';
    }
    EXPECT_EQ(ReadAll(dir_ + "/cx/" + path), f.bytes) << "cabextract: " << f.name;
    if (single) {
      EXPECT_EQ(ReadAll(dir_ + "/gx/" + path), f.bytes) << "gcab: " << f.name;
    }
  }
}

const Case kBaseCases[] = {
    {"SingleMszip",
     Compression::kMszip,
     0,
     {{0, false}, {100, false}, {70000, false}, {50000, true}}},
    {"SingleStored", Compression::kNone, 0, {{10, false}, {40000, true}, {0, false}}},
    {"SetSpanningThreeCabinets",
     Compression::kMszip,
     60000,
     {{1000, false}, {150000, true}, {3000, true}, {5000, true}, {7000, false}}},
    {"SetStored",
     Compression::kNone,
     20000,
     {{30000, true}, {12, false}, {45000, false}, {5, true}}},
    {"SetOfSmallCabinets",
     Compression::kMszip,
     4096,
     {{20000, true}, {1, false}, {20000, true}, {100, true}}},
    {"ManyTinyFiles", Compression::kMszip, 4096,
     std::vector<std::pair<size_t, bool>>(3000, {10, true})},
    {"CabinetBoundaryInsideSmallFiles", Compression::kMszip, 8192,
     std::vector<std::pair<size_t, bool>>(40, {700, true})},
};

// Every compressed case runs with MSZIP and with LZX; then LZX with other
// windows and folders across frame edges.
std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const Case& c : kBaseCases) {
    cases.push_back(c);
    if (c.compression == Compression::kMszip) {
      Case lzx = c;
      lzx.name += "Lzx";
      lzx.compression = Compression::kLzx;
      cases.push_back(lzx);
    }
  }
  cases.push_back({"LzxWindow15AcrossFrames",
                   Compression::kLzx,
                   0,
                   {{32767, false}, {1, true}, {32768, false}, {100000, false}, {0, false}},
                   15});
  cases.push_back({"LzxWindow18Set", Compression::kLzx, 30000,
                   std::vector<std::pair<size_t, bool>>(12, {9000, false}), 18});
  cases.push_back({"LzxManyFramesOneFile", Compression::kLzx, 0, {{3 << 20, false}}, 16});
  // Folders of about 100 kB, compressed side by side.
  cases.push_back({"LzxFoldersSideBySide",
                   Compression::kLzx,
                   0,
                   {{70000, false},
                    {50000, true},
                    {0, false},
                    {200000, false},
                    {32768, false},
                    {1, false},
                    {90000, true},
                    {65536, false},
                    {120000, false},
                    {3, true}},
                   17,
                   100000});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Peers, CabWriterPeerTest, ::testing::ValuesIn(AllCases()),
                         [](const auto& info) { return info.param.name; });

TEST(CabWriterTest, HeadersNameTheNeighbours) {
  std::mt19937 rng(1);
  InputFile f;
  f.name = "big";
  f.bytes = Contents(rng, 30000, true);
  f.size = 30000;
  Options options;
  options.cabinetSize = 10000;
  const Result r = WriteCabinets({f}, options);
  ASSERT_GE(r.cabinets.size(), 3u);
  const auto& middle = r.cabinets[1];
  EXPECT_EQ(Get16(middle, 30), kPrevCabinet | kNextCabinet);
  EXPECT_EQ(Get16(middle, 34), 1);  // iCabinet
  const std::string names(middle.begin() + 36, middle.begin() + 36 + 24);
  EXPECT_EQ(names, std::string("temp_0.tmp\0\0temp_2.tmp\0\0", 24));
}

TEST(CabWriterTest, RejectsWhatItCannotWrite) {
  InputFile f;
  f.name = std::string(300, 'x');
  f.size = 0;
  EXPECT_NE(WriteCabinets({f}, Options()).error, "");
  f.name = "ok";
  Options tiny;
  tiny.cabinetSize = 1000;
  EXPECT_NE(WriteCabinets({f}, tiny).error, "");
}

TEST(CabWriterTest, ChecksumOfKnownBlock) {
  // XOR of the words 0x64636261 ("abcd") and 0x68676665 ("efgh"), then the
  // last byte "i" on its own.
  const uint8_t data[] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'};
  EXPECT_EQ(Checksum(data, 9, 0), (0x64636261u ^ 0x68676665u ^ 0x69u));
  const uint8_t three[] = {1, 2, 3};
  EXPECT_EQ(Checksum(three, 3, 0), 0x010203u);
}

}  // namespace
}  // namespace qb::cab
