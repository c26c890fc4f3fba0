// The uninstall log, byte for byte, for a package that uses every section.
#include "uninstall/uninstall_log.h"

#include <gtest/gtest.h>

#include "text/text.h"

namespace qb {
namespace {

std::string Expand(const std::string& text) {
  std::string out = text;
  for (size_t at; (at = out.find("@$&%04")) != std::string::npos;) out.replace(at, 6, "C:\\App");
  return out;
}

Package EverySection() {
  Package p;
  p.settings.assign(kMinimumSettings, "0");
  for (int i = 0; i < kMinimumSettings; ++i) p.settings[i] = "s" + Decimal(i);
  p.SetText(kMessagesPerLanguage, "96");
  p.SetText(kLanguageCount, "1");
  for (int m = 1; m <= 96; ++m) p.strings.push_back("m" + Decimal(m));
  p.SetText(kBrandingText, "By @$&%04");
  auto set = [&](int count, List list, std::vector<std::string> items) {
    p.SetText(count, Decimal(static_cast<int64_t>(items.size() / LayoutOf(list).width)));
    p.Records(list).items = std::move(items);
  };
  set(kFolderCount, List::kFolders,
      {"@$&%04\\data", "1", "@$&%04\\keep", "0", "\"@$&%04\\q\"", "1"});
  set(kUninstallExtraCount, List::kUninstallExtras, {"@$&%04", "@$&%04\\x"});
  set(kComponentCount, List::kComponents, {"@$&%04\\a.dll", "1", "@$&%04\\b.dll", "0"});
  set(kIniCount, List::kIniEntries,
      {"@$&%04\\a.ini", "Sec", "Key", "v", "1", "1", "@$&%04\\b.ini", "S", "K", "v", "1", "0"});
  set(kRegistryValueCount, List::kRegistryValues,
      {"1", "Software\\A", "One", "d", "0", "1", "0", "2", "Software\\B", "\"", "d", "0", "1",
       "1"});
  set(kRegistryKeyCount, List::kRegistryKeys, {"2", "Software\\@$&%04", "x"});
  set(kFontCount, List::kFonts, {"Font (TrueType)", "@$&%04\\f.ttf"});
  // One install-time program, then three uninstall-time ones: before, after,
  // before.
  p.SetText(kInstallProgramCount, "1");
  p.SetText(kUninstallProgramCount, "3");
  p.Records(List::kPrograms).items = {"", "@$&%04\\setup-time.exe", "",           "1", "1", "1",
                                      "", "@$&%04\\u1.exe",         "/x",         "1", "0", "1",
                                      "", "@$&%04\\u2.exe",         "",           "0", "1", "0",
                                      "", "@$&%04\\u3.exe",         "\"quoted\"", "5", "0", "1"};
  return p;
}

TEST(UninstallLogTest, EverySectionByteForByte) {
  const Package p = EverySection();
  UninstallLogInput in;
  in.package = &p;
  in.installedFiles = {"C:\\App\\a.txt", "\"C:\\App\\quoted.txt\"", "C:\\App\\a.txt"};
  in.destinationFolder = "C:\\App";
  in.expand = Expand;
  const std::string expected =
      "[f]\r\n1=C:\\App\\a.txt\r\n2=\"C:\\App\\quoted.txt\"\r\n3=C:\\App\\a.txt\r\n"
      "[e]\r\n1=C:\\App\\data\r\n2=\"\"C:\\App\\q\"\"\r\n"
      "[o1]\r\n0=@$&%04\r\n1=C:\\App\\x\r\n"
      "[u]\r\n1=C:\\App\\a.dll\r\n"
      "[i1]\r\n0=C:\\App\\a.ini\r\n1=Sec\r\n2=Key\r\n"
      "[r1]\r\n0=2\r\n1=Software\\B\r\n2=\"\r\n"
      "[r2]\r\n0=2\r\n1=Software\\C:\\App\r\n2=x\r\n"
      "[b1]\r\n0=C:\\App\\u1.exe\r\n1=/x\r\n2=1\r\n3=1\r\n"
      "[a1]\r\n0=C:\\App\\u2.exe\r\n1=\r\n2=0\r\n3=0\r\n"
      "[b2]\r\n0=C:\\App\\u3.exe\r\n1=\"\"quoted\"\"\r\n2=5\r\n3=1\r\n"
      "[n1]\r\n0=Font (TrueType)\r\n1=C:\\App\\f.ttf\r\n"
      "[s]\r\n0=m63\r\n1=m64\r\n2=m65\r\n3=m68\r\n4=m69\r\n5=m70\r\n6=m71\r\n7=m72\r\n8=m73\r\n"
      "9=m74\r\n10=m75\r\n11=m76\r\n12=m77\r\n13=m78\r\n14=m24\r\n15=m25\r\n16=m41\r\n"
      "17=By C:\\App\r\n18=C:\\App\r\n19=s60\r\n20=s70\r\n21=s71\r\n22=s81\r\n23=s80\r\n"
      "24=s75\r\n25=s64\r\n26=s97\r\n27=s108\r\n28=s68\r\n29=s74\r\n30=m81\r\n31=s49\r\n"
      "32=s66\r\n33=\r\n34=\r\n35=\r\n36=\r\n37=2\r\n38=1\r\n39=3\r\n40=3\r\n41=1\r\n42=1\r\n"
      "43=2\r\n44=1\r\n45=2\r\n46=1\r\n47=17\r\n48=s69\r\n49=s72\r\n50=s73\r\n51=s78\r\n";
  EXPECT_EQ(UninstallLogText(BuildUninstallLog(in)), expected);
}

TEST(UninstallLogTest, EmptyListsKeepTheirSections) {
  Package p;
  p.settings.assign(kMinimumSettings, "0");
  UninstallLogInput in;
  in.package = &p;
  in.expand = Expand;
  const std::vector<std::string> lines = BuildUninstallLog(in);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "[f]");
  EXPECT_EQ(lines[1], "[e]");
  EXPECT_EQ(lines[2], "[u]");
  EXPECT_EQ(lines[3], "[s]");
  EXPECT_EQ(lines.size(), 4u + 52u);
}

TEST(UninstallLogTest, QuotingRule) {
  EXPECT_EQ(QuoteLogValue("\"a\""), "\"\"a\"\"");
  EXPECT_EQ(QuoteLogValue("\""), "\"");
  EXPECT_EQ(QuoteLogValue("\"\""), "\"\"\"\"");
  EXPECT_EQ(QuoteLogValue("a\"b"), "a\"b");
  EXPECT_EQ(QuoteLogValue("\"a"), "\"a");
}

TEST(UninstallLogTest, TrailerReadsBackFromTheEnd) {
  const std::vector<uint8_t> bitmap = {'B', 'M', 1, 2, 3};
  std::vector<uint8_t> file = {'M', 'Z', 9, 9};
  const std::string path = "C:\\App\\uninstall.log";
  for (int round = 0; round < 2; ++round) {
    const auto t = UninstallerTrailer(&bitmap, path);
    file.insert(file.end(), t.begin(), t.end());
  }
  // A reader starts at the end: length, path, size, bitmap.
  size_t end = file.size();
  const size_t length = file[end - 2] | file[end - 1] << 8;
  ASSERT_EQ(length, path.size());
  EXPECT_EQ(std::string(file.end() - 2 - length, file.end() - 2), path);
  end -= 2 + length;
  const uint32_t size =
      file[end - 4] | file[end - 3] << 8 | file[end - 2] << 16 | file[end - 1] << 24;
  ASSERT_EQ(size, bitmap.size());
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + end - 4 - size, file.begin() + end - 4), bitmap);
  const auto plain = UninstallerTrailer(nullptr, "x");
  EXPECT_EQ(plain, (std::vector<uint8_t>{'x', 1, 0}));
}

}  // namespace
}  // namespace qb
