#include "package/package.h"

#include <gtest/gtest.h>

#include "text/text.h"

namespace qb {
namespace {

// A package with every setting "0", M messages per language and the given
// languages; messages read "k:m".
Package MakePackage(int languages = 1, int messages = 96) {
  Package p;
  p.settings.assign(kMinimumSettings, "0");
  p.SetText(kMessagesPerLanguage, Decimal(messages));
  p.SetText(kLanguageCount, Decimal(languages));
  for (int k = 0; k < languages; ++k) {
    for (const char* f : {"Lang", "1033", "", ""}) p.Records(List::kLanguages).items.push_back(f);
    for (int m = 1; m <= messages; ++m) p.strings.push_back(Decimal(k) + ":" + Decimal(m));
  }
  return p;
}

std::vector<uint8_t> Build(const Package& p, const std::vector<uint8_t>& support = {},
                           const std::vector<uint8_t>& files = {}) {
  return AssembleInstaller(std::vector<uint8_t>(100, 'S'), p, support, files);
}

bool ReadBack(std::vector<uint8_t> bytes, Package& out) {
  MemorySource source(std::move(bytes));
  PackageReader reader(source, out);
  return reader.ReadAll();
}

TEST(PackageTest, RoundTripKeepsSettingsListsAndMessages) {
  Package p = MakePackage(2);
  p.SetText(kInstallerTitle, "My App 1.0");
  p.SetText(kFileCount, "2");
  p.Records(List::kFiles).items = {"@$&%04\\a.txt", "2", "1", "@$&%04\\b\\c.dll", "0", "0"};
  p.SetText(kRegistryVariableCount, "1");
  p.Records(List::kRegistryVariables).items = {"1", "Software\\X", "Path", "@$&%01"};
  p.SetText(kComponentCount, "1");
  p.Records(List::kComponents).items = {"x.dll", ""};
  Package q;
  ASSERT_TRUE(ReadBack(Build(p, {'M', 'S', 'C', 'F', 1, 2, 3}), q));
  EXPECT_EQ(p.settings, q.settings);
  for (int i = 0; i < kListCount; ++i) EXPECT_EQ(p.lists[i].items, q.lists[i].items) << i;
  EXPECT_EQ(p.strings, q.strings);
}

TEST(PackageTest, TrailerPointsAtEachRegion) {
  Package p = MakePackage();
  const auto bytes = Build(p, {'M', 'S', 'C', 'F', 7, 8, 9}, {1, 2, 3, 4, 5});
  const Trailer t = Trailer::Decode(bytes.data() + bytes.size() - Trailer::kSize);
  EXPECT_EQ(t.magic, 0xF1);
  EXPECT_EQ(t.configOffset, 100);
  EXPECT_EQ(t.supportLength, 3u);
  EXPECT_EQ(bytes[t.supportOffset], 7);
  EXPECT_EQ(bytes[t.fileCabinetOffset], 1);
  EXPECT_EQ(t.fileCabinetOffset + 5, bytes.size() - Trailer::kSize);
  EXPECT_EQ(t.settingsCountMinusOne, 118);
}

TEST(PackageTest, SettingsCountComesFromTrailerByte) {
  for (int n : {118, 255}) {
    Package p = MakePackage();
    p.settings.resize(n + 1, "x");
    Package q;
    ASSERT_TRUE(ReadBack(Build(p), q));
    EXPECT_EQ(q.settings.size(), static_cast<size_t>(n + 1));
  }
}

TEST(PackageTest, CountOfZeroConsumesNoStrings) {
  Package p = MakePackage();
  p.SetText(kFontCount, "0");
  p.SetText(kShortcutCount, "1");
  p.Records(List::kShortcuts).items = {"a", "b", "c", "d", "e", "f", "g", "h"};
  Package q;
  ASSERT_TRUE(ReadBack(Build(p), q));
  EXPECT_EQ(q.Records(List::kFonts).Count(), 0u);
  EXPECT_EQ(q.Records(List::kShortcuts).Field(0, 0), "a");
}

TEST(PackageTest, ProgramListHoldsInstallAndUninstallRecords) {
  Package p = MakePackage();
  p.SetText(kInstallProgramCount, "2");
  p.SetText(kUninstallProgramCount, "3");
  for (int i = 0; i < 30; ++i) p.Records(List::kPrograms).items.push_back("p" + Decimal(i));
  p.SetText(kIniCount, "1");
  p.Records(List::kIniEntries).items = {"ini", "s", "k", "v", "0", "1"};
  Package q;
  ASSERT_TRUE(ReadBack(Build(p), q));
  EXPECT_EQ(q.Records(List::kPrograms).Count(), 5u);
  EXPECT_EQ(q.Records(List::kPrograms).Field(4, 5), "p29");
  EXPECT_EQ(q.Records(List::kIniEntries).Field(0, 0), "ini");
}

TEST(PackageTest, SecondLanguageMessagesAndSelectLanguage) {
  Package p = MakePackage(2);
  Package q;
  ASSERT_TRUE(ReadBack(Build(p), q));
  EXPECT_EQ(q.Msg(101), "1:5");
  EXPECT_EQ(q.Msg(5), "0:5");
  q.SelectLanguage(1);
  EXPECT_EQ(q.Msg(5), "1:5");
  EXPECT_EQ(q.Msg(101), "1:5");
}

TEST(PackageTest, OneLanguageIsNeverCopied) {
  Package q;
  ASSERT_TRUE(ReadBack(Build(MakePackage(1)), q));
  q.SelectLanguage(1);
  EXPECT_EQ(q.Msg(5), "0:5");
  EXPECT_EQ(q.Msg(0), "");
  EXPECT_EQ(q.Msg(97), "");
}

TEST(PackageTest, StreamEndingMidListReadsEmptyStrings) {
  // The settings promise 2 folders, but the file ends in the middle of the
  // first folder's first string: the rest of the list reads as empty. (A later
  // list with records could not come from the bytes left and would make the
  // package damaged.)
  Package p = MakePackage(0);
  p.SetText(kFolderCount, "2");
  std::vector<uint8_t> stream;
  for (const auto& s : p.settings) {
    stream.insert(stream.end(), s.begin(), s.end());
    stream.push_back(0);
  }
  const std::string tail = "C:\\abcdefghij";  // no NUL: the file ends here
  stream.insert(stream.end(), tail.begin(), tail.end());
  MemorySource source(stream);
  Package q;
  PackageReader reader(source, q);  // the stream alone, without a trailer
  ASSERT_TRUE(reader.Reader().Seek(0));
  for (int i = 0; i < kMinimumSettings; ++i) q.settings.push_back(reader.Reader().ReadString());
  ASSERT_TRUE(reader.ReadRegistryVariables());
  ASSERT_TRUE(reader.ReadRemainingLists());
  EXPECT_EQ(q.Records(List::kFolders).items,
            (std::vector<std::string>{"C:\\abcdefghij", "", "", ""}));
}

TEST(PackageTest, StringsEndWhereTheSupportCabinetBegins) {
  // The last message has no NUL of its own in the stream: it must end at the
  // stream's end, not run on into the support cabinet behind it.
  Package p = MakePackage();
  std::vector<uint8_t> stream = WriteConfigurationStream(p);
  stream.pop_back();
  const std::vector<uint8_t> cab = {'M', 'S', 'C', 'F', 'c', 'a', 'b', 0};
  Package q;
  ASSERT_TRUE(ReadBack(
      AssembleInstaller(std::vector<uint8_t>(100, 'S'), stream, p.settings.size(), cab, {}), q));
  EXPECT_EQ(q.Msg(96), "0:96");
}

TEST(PackageTest, AllListsShareOneStringBudget) {
  // Two lists that each stay below the limit, and the bytes to back them, but
  // more strings than all lists together may hold.
  Package p = MakePackage(0, 0);
  const int64_t fonts = 1000;
  const int64_t folders = static_cast<int64_t>(PackageReader::kMaxStrings) / 2 - fonts + 1;
  p.SetText(kFontCount, Decimal(fonts));
  p.SetText(kFolderCount, Decimal(folders));
  std::vector<uint8_t> stream = WriteSettingsBlock(p);
  stream.resize(stream.size() + static_cast<size_t>(2 * (fonts + folders)), 0);
  Package q;
  EXPECT_FALSE(ReadBack(
      AssembleInstaller(std::vector<uint8_t>(100, 'S'), stream, p.settings.size(), {}, {}), q));
  // One record fewer fits.
  p.SetText(kFolderCount, Decimal(folders - 1));
  stream = WriteSettingsBlock(p);
  stream.resize(stream.size() + static_cast<size_t>(2 * (fonts + folders - 1)), 0);
  EXPECT_TRUE(ReadBack(
      AssembleInstaller(std::vector<uint8_t>(100, 'S'), stream, p.settings.size(), {}, {}), q));
  EXPECT_EQ(q.Records(List::kFolders).Count(), static_cast<size_t>(folders - 1));
}

TEST(PackageTest, BufferedReaderLimit) {
  std::vector<uint8_t> bytes;
  for (const std::string s : {"one", "two", "three"}) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    bytes.push_back(0);
  }
  MemorySource source(bytes);
  BufferedReader reader(source, 4);
  EXPECT_EQ(reader.ReadString(), "one");  // the buffer already holds "two"'s start
  reader.LimitTo(6);
  EXPECT_EQ(reader.Remaining(), 2u);
  EXPECT_EQ(reader.ReadString(), "tw");
  EXPECT_EQ(reader.ReadString(), "");
  char buffer[8];
  EXPECT_EQ(reader.Read(buffer, sizeof buffer), 0u);
  reader.LimitTo(100);  // never later than before
  EXPECT_EQ(reader.Size(), 6u);
}

TEST(PackageTest, BufferedReaderJoinsStringsAcrossBufferEdges) {
  std::vector<uint8_t> bytes;
  for (const std::string s : {"first string", "", "second one here", "x"}) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    bytes.push_back(0);
  }
  MemorySource source(bytes);
  BufferedReader reader(source, 5);
  EXPECT_EQ(reader.ReadString(), "first string");
  EXPECT_EQ(reader.ReadString(), "");
  EXPECT_EQ(reader.Position(), 14u);
  EXPECT_EQ(reader.ReadString(), "second one here");
  EXPECT_EQ(reader.ReadString(), "x");
  EXPECT_EQ(reader.ReadString(), "");
  EXPECT_EQ(reader.Remaining(), 0u);
}

// Damaged packages: each case changes one thing of a good package.
struct DamageCase {
  const char* name;
  void (*damage)(Package&, Trailer&, std::vector<uint8_t>&);
};

// An installer whose settings claim value at index while its lists stay as
// the package holds them.
std::vector<uint8_t> Claiming(Package p, int index, const std::string& value) {
  std::vector<uint8_t> stream = WriteRecordBlock(p);
  p.SetText(index, value);
  const std::vector<uint8_t> settings = WriteSettingsBlock(p);
  stream.insert(stream.begin(), settings.begin(), settings.end());
  return AssembleInstaller(std::vector<uint8_t>(100, 'S'), stream, p.settings.size(), {}, {});
}

void Rewrite(std::vector<uint8_t>& bytes, const Trailer& t) {
  const auto enc = t.Encode();
  std::copy(enc.begin(), enc.end(), bytes.end() - Trailer::kSize);
}

class DamagedPackageTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedPackageTest, IsRejected) {
  Package p = MakePackage();
  p.SetText(kFileCount, "1");
  p.Records(List::kFiles).items = {"a", "b", "c"};
  std::vector<uint8_t> bytes = Build(p, {'M', 'S', 'C', 'F', 1, 2, 3, 4});
  Trailer t = Trailer::Decode(bytes.data() + bytes.size() - Trailer::kSize);
  {
    Package good;
    ASSERT_TRUE(ReadBack(bytes, good));
  }
  GetParam().damage(p, t, bytes);
  Package q;
  EXPECT_FALSE(ReadBack(bytes, q));
}

const DamageCase kDamageCases[] = {
    {"WrongMagic",
     [](Package&, Trailer& t, std::vector<uint8_t>& b) {
       t.magic = 0xF0;
       Rewrite(b, t);
     }},
    {"NoPackage", [](Package&, Trailer&, std::vector<uint8_t>& b) { b.assign(100, 'S'); }},
    {"ShorterThanTrailer",
     [](Package&, Trailer&, std::vector<uint8_t>& b) { b.assign(b.end() - 20, b.end()); }},
    {"NegativeConfigOffset",
     [](Package&, Trailer& t, std::vector<uint8_t>& b) {
       t.configOffset = -1;
       Rewrite(b, t);
     }},
    {"HugeConfigOffset",
     [](Package&, Trailer& t, std::vector<uint8_t>& b) {
       t.configOffset = INT64_C(1) << 31;
       Rewrite(b, t);
     }},
    {"ConfigOffsetBeyondFile",
     [](Package&, Trailer& t, std::vector<uint8_t>& b) {
       t.configOffset = b.size() + 1;
       Rewrite(b, t);
     }},
    {"NegativeSupportOffset",
     [](Package&, Trailer& t, std::vector<uint8_t>& b) {
       t.supportOffset = -5;
       Rewrite(b, t);
     }},
    {"SupportOffsetBeyondFile",
     [](Package&, Trailer& t, std::vector<uint8_t>& b) {
       t.supportOffset = b.size() + 10;
       Rewrite(b, t);
     }},
    {"SupportLength4GiB",
     [](Package&, Trailer& t, std::vector<uint8_t>& b) {
       t.supportLength = UINT64_C(1) << 32;
       Rewrite(b, t);
     }},
    {"SupportBeyondFile",
     [](Package&, Trailer& t, std::vector<uint8_t>& b) {
       t.supportLength = b.size();
       Rewrite(b, t);
     }},
    {"FewerThan119Settings",
     [](Package&, Trailer& t, std::vector<uint8_t>& b) {
       t.settingsCountMinusOne = 117;
       Rewrite(b, t);
     }},
    {"NegativeCount",
     [](Package& p, Trailer&, std::vector<uint8_t>& b) {
       p.SetText(kFolderCount, "-1");
       b = Build(p, {'M', 'S', 'C', 'F', 1, 2, 3, 4});
     }},
    {"NegativeUninstallProgramCount",
     [](Package& p, Trailer&, std::vector<uint8_t>& b) {
       p.SetText(kUninstallProgramCount, "-2");
       b = Build(p);
     }},
    {"CountBeyondRemainingBytes",
     [](Package& p, Trailer&, std::vector<uint8_t>& b) {
       b = Claiming(p, kShortcutCount, "100000");
     }},
    {"LanguageTableBeyondFile",
     [](Package& p, Trailer&, std::vector<uint8_t>& b) {
       b = Claiming(p, kMessagesPerLanguage, "2000000000");
     }},
    {"LanguageCountBeyondFile",
     [](Package& p, Trailer&, std::vector<uint8_t>& b) { b = Claiming(p, kLanguageCount, "50"); }},
    {"CountsSummingPastTheStream",
     [](Package& p, Trailer&, std::vector<uint8_t>& b) {
       // Each list alone fits the bytes left; all of them together do not.
       std::vector<uint8_t> stream = WriteRecordBlock(p);
       const size_t left = stream.size();
       for (int index : {kFontCount, kFolderCount, kIniCount}) p.SetText(index, Decimal(left / 3));
       const std::vector<uint8_t> settings = WriteSettingsBlock(p);
       stream.insert(stream.begin(), settings.begin(), settings.end());
       b = AssembleInstaller(std::vector<uint8_t>(100, 'S'), stream, p.settings.size(), {}, {});
     }},
    {"CountsThatOverflowWhenAdded",
     [](Package& p, Trailer&, std::vector<uint8_t>& b) {
       std::vector<uint8_t> stream = WriteRecordBlock(p);
       p.SetText(kInstallProgramCount, "9223372036854775807");
       p.SetText(kUninstallProgramCount, "9223372036854775807");
       const std::vector<uint8_t> settings = WriteSettingsBlock(p);
       stream.insert(stream.begin(), settings.begin(), settings.end());
       b = AssembleInstaller(std::vector<uint8_t>(100, 'S'), stream, p.settings.size(), {}, {});
     }},
    {"NineteenDigitCount",
     [](Package& p, Trailer&, std::vector<uint8_t>& b) {
       b = Claiming(p, kFolderCount, "9999999999999999999");
     }},
    {"ListRunningIntoTheSupportCabinet",
     [](Package& p, Trailer&, std::vector<uint8_t>& b) {
       // The stream ends before the support cabinet: a count that only the
       // cabinet's bytes could satisfy is damage.
       std::vector<uint8_t> cab = {'M', 'S', 'C', 'F'};
       cab.insert(cab.end(), 5000, 'x');
       for (size_t i = 8; i < cab.size(); i += 2) cab[i] = 0;
       std::vector<uint8_t> stream = WriteRecordBlock(p);
       p.SetText(kFontCount, Decimal(stream.size()));
       const std::vector<uint8_t> settings = WriteSettingsBlock(p);
       stream.insert(stream.begin(), settings.begin(), settings.end());
       b = AssembleInstaller(std::vector<uint8_t>(100, 'S'), stream, p.settings.size(), cab, {});
     }},
    {"NegativeMessageCount",
     [](Package& p, Trailer&, std::vector<uint8_t>& b) {
       p.SetText(kMessagesPerLanguage, "-96");
       b = Build(p);
     }},
};

INSTANTIATE_TEST_SUITE_P(AllRules, DamagedPackageTest, ::testing::ValuesIn(kDamageCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qb

namespace qb {
namespace {

TEST(PackageTest, DefaultLanguage) {
  RecordList list;
  list.width = 4;
  list.items = {"Deutsch", "1031", "", "", "english",  "1033", "", "",
                "English", "2057", "", "", "Francais", "1033", "", ""};
  EXPECT_EQ(DefaultLanguage(list, 1033), 3);  // the later of two matches
  EXPECT_EQ(DefaultLanguage(list, 1031), 0);
  EXPECT_EQ(DefaultLanguage(list, 9999), 2);  // exactly "English"
  list.items[8] = "ENGLISH";
  EXPECT_EQ(DefaultLanguage(list, 9999), 0);  // letter case counts
}

}  // namespace
}  // namespace qb

namespace qb {
namespace {

// Damage anywhere in a package gives either a readable package or a clean
// "damaged" answer, never a crash or a read outside the file.
TEST(PackageTest, RandomDamageNeverCrashes) {
  Package p;
  p.settings.assign(kMinimumSettings, "0");
  p.SetText(kMessagesPerLanguage, "96");
  p.SetText(kLanguageCount, "2");
  p.SetText(kFileCount, "3");
  p.Records(List::kFiles).items = {"a", "2", "1", "b", "0", "1", "c", "4", "0"};
  for (int k = 0; k < 2; ++k) {
    for (const char* f : {"Lang", "1033", "", ""}) p.Records(List::kLanguages).items.push_back(f);
    for (int m = 1; m <= 96; ++m) p.strings.push_back("text " + Decimal(m));
  }
  const std::vector<uint8_t> good = AssembleInstaller(std::vector<uint8_t>(64, 'S'), p, {}, {});
  uint32_t seed = 12345;
  const auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  int damaged = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> bytes = good;
    const int changes = 1 + next() % 8;
    for (int c = 0; c < changes; ++c) {
      // Half the changes hit the trailer and the settings, where counts live.
      const size_t at = next() % 2 ? bytes.size() - 1 - next() % 600 : next() % bytes.size();
      bytes[at] = static_cast<uint8_t>(next() >> 8);
    }
    if (next() % 10 == 0) bytes.resize(next() % bytes.size());
    MemorySource source(bytes);
    Package q;
    PackageReader reader(source, q);
    if (!reader.ReadAll()) {
      ++damaged;
      continue;
    }
    // What was read is usable: every list holds whole records.
    for (const auto& list : q.lists) EXPECT_EQ(list.items.size() % list.width, 0u);
    EXPECT_EQ(q.strings.size(),
              static_cast<size_t>(q.LanguageCount() * q.MessagesPerLanguage() + 1));
  }
  EXPECT_GT(damaged, 0);
}

}  // namespace
}  // namespace qb
