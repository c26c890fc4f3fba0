// The uninstall log, byte for byte, for a package that uses every section.
#include "uninstall/uninstall_log.h"

#include <gtest/gtest.h>

#include "package/source.h"
#include "text/text.h"
#include "uninstall/log_reader.h"

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

// The lines of the sections whose names begin with one of the letters, as
// the log text holds them.
std::string SectionsOf(const std::string& text, const std::string& letters) {
  std::string out;
  bool keep = false;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start) + 2;
    const std::string line = text.substr(start, end - start);
    start = end;
    if (line[0] == '[') keep = letters.find(line[1]) != std::string::npos;
    if (keep) out += line;
  }
  return out;
}

// What the run did decides what the log names: records the run kept or
// found are left out, the run's further values follow the package's, and
// an earlier log's entries follow the run's own, each once.
TEST(UninstallLogTest, OnlyWhatTheRunWroteAndWhatIsLeftOfTheEarlierLog) {
  const Package p = EverySection();
  UninstallLog earlier;
  earlier.files = {"c:/app/A.TXT", "C:\\Old\\b.txt", "C:\\Old\\b.txt"};
  earlier.folders = {"C:\\App\\data\\", "C:\\Old"};
  earlier.ini = {{"c:\\app\\A.INI", "sec", "KEY"}, {"C:\\Old\\o.ini", "S", "\"K\""}};
  earlier.registry = {
      {2, "software\\b\\", "\""}, {1, "Software\\Old", ""}, {2, "software\\c:\\app", "X"}};
  // Also read from the earlier log, but never carried over.
  earlier.components = {"C:\\Old\\c.dll"};
  earlier.fonts = {{"Old (TrueType)", "C:\\Old\\f.ttf"}};
  const std::string files = "[f]\r\n1=C:\\App\\a.txt\r\n";
  const std::string folders = "[e]\r\n1=C:\\App\\data\r\n2=\"\"C:\\App\\q\"\"\r\n";
  const std::string ini = "[i1]\r\n0=C:\\App\\a.ini\r\n1=Sec\r\n2=Key\r\n";
  const std::string valueB = "0=2\r\n1=Software\\B\r\n2=\"\r\n";
  const std::string key = "0=2\r\n1=Software\\C:\\App\r\n2=x\r\n";
  const std::string size = "0=2\r\n1=Software\\U\\Q\r\n2=QuillboxLogSize\r\n";
  struct Case {
    const char* what;
    std::vector<bool> values, keys, ini;
    std::vector<LoggedRegistryValue> more;
    bool withEarlier;
    std::string sections;  // [f], [e], [iN] and [rN]
    std::string counts;    // [s] 37, 39, 43, 44 and 47
  };
  const Case cases[] = {
      {"every record written",
       {true, true},
       {true},
       {true, true},
       {},
       false,
       files + folders + ini + "[r1]\r\n" + valueB + "[r2]\r\n" + key,
       "2 1 2 1 15"},
      {"flags for only some records: the others count as written",
       {true},
       {},
       {},
       {},
       false,
       files + folders + ini + "[r1]\r\n" + valueB + "[r2]\r\n" + key,
       "2 1 2 1 15"},
      {"the value kept",
       {true, false},
       {true},
       {true, true},
       {},
       false,
       files + folders + ini + "[r1]\r\n" + key,
       "2 1 1 1 14"},
      {"the key there before the run",
       {true, true},
       {false},
       {true, true},
       {},
       false,
       files + folders + ini + "[r1]\r\n" + valueB,
       "2 1 1 1 14"},
      {"the INI entry kept",
       {true, true},
       {true},
       {false, true},
       {},
       false,
       files + folders + "[r1]\r\n" + valueB + "[r2]\r\n" + key,
       "2 1 2 0 14"},
      {"nothing written",
       {false, false},
       {false},
       {false, false},
       {},
       false,
       files + folders,
       "2 1 0 0 12"},
      {"further values after the package's, one that repeats a record left out",
       {true, true},
       {true},
       {true, true},
       {{2, "Software\\U\\Q", "QuillboxLogSize"}, {2, "SOFTWARE\\B", "\""}},
       false,
       files + folders + ini + "[r1]\r\n" + valueB + "[r2]\r\n" + key + "[r3]\r\n" + size,
       "2 1 3 1 16"},
      {"the earlier log after the run's own entries, each thing once",
       {true, false},
       {true},
       {true, true},
       {{2, "Software\\U\\Q", "QuillboxLogSize"}},
       true,
       "[f]\r\n1=C:\\App\\a.txt\r\n2=C:\\Old\\b.txt\r\n" + folders + "3=C:\\Old\r\n" + ini +
           "[i2]\r\n0=C:\\Old\\o.ini\r\n1=S\r\n2=\"\"K\"\"\r\n" + "[r1]\r\n" + key + "[r2]\r\n" +
           size +
           "[r3]\r\n0=2\r\n1=software\\b\\\r\n2=\"\r\n[r4]\r\n0=1\r\n1=Software\\Old\r\n2=\r\n",
       "3 2 4 2 20"},
  };
  for (const Case& c : cases) {
    UninstallLogInput in;
    in.package = &p;
    in.installedFiles = {"C:\\App\\a.txt"};
    in.destinationFolder = "C:\\App";
    in.expand = Expand;
    in.registryValuesWritten = c.values;
    in.registryKeysNew = c.keys;
    in.iniEntriesWritten = c.ini;
    in.moreRegistry = c.more;
    in.earlier = c.withEarlier ? &earlier : nullptr;
    const std::string text = UninstallLogText(BuildUninstallLog(in));
    EXPECT_EQ(SectionsOf(text, "feir"), c.sections) << c.what;
    UninstallLog log;
    ASSERT_TRUE(ParseUninstallLog(text, log)) << c.what;
    std::string counts;
    for (int k : {37, 39, 43, 44, 47}) counts += (counts.empty() ? "" : " ") + log.Setting(k);
    EXPECT_EQ(counts, c.counts) << c.what;
    // What the earlier log names that the new one carries reads back as it was.
    if (c.withEarlier) {
      EXPECT_EQ(log.ini.back().key, "\"K\"") << c.what;
      EXPECT_EQ(log.components, (std::vector<std::string>{"C:\\App\\a.dll"})) << c.what;
      EXPECT_EQ(log.fonts.size(), 1u) << c.what;
    }
  }
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

TEST(UninstallLogTest, EveryLogTheBuilderWritesReadsBack) {
  const Package p = EverySection();
  UninstallLogInput in;
  in.package = &p;
  in.installedFiles = {"C:\\App\\a.txt", "\"C:\\App\\quoted.txt\"", "C:\\App\\a.txt"};
  in.destinationFolder = "C:\\App";
  in.expand = Expand;
  UninstallLog log;
  ASSERT_TRUE(ParseUninstallLog(UninstallLogText(BuildUninstallLog(in)), log));
  EXPECT_EQ(log.files, in.installedFiles);
  EXPECT_EQ(log.folders, (std::vector<std::string>{"C:\\App\\data", "\"C:\\App\\q\""}));
  ASSERT_EQ(log.extras.size(), 1u);
  EXPECT_EQ(log.extras[0].kind, "@$&%04");
  EXPECT_EQ(log.extras[0].value, "C:\\App\\x");
  EXPECT_EQ(log.components, (std::vector<std::string>{"C:\\App\\a.dll"}));
  ASSERT_EQ(log.ini.size(), 1u);
  EXPECT_EQ(log.ini[0].file + "|" + log.ini[0].section + "|" + log.ini[0].key,
            "C:\\App\\a.ini|Sec|Key");
  ASSERT_EQ(log.registry.size(), 2u);
  EXPECT_EQ(log.registry[0].root, 2);
  EXPECT_EQ(log.registry[0].key, "Software\\B");
  EXPECT_EQ(log.registry[0].name, "\"");
  EXPECT_EQ(log.registry[1].key, "Software\\C:\\App");
  EXPECT_EQ(log.registry[1].name, "x");
  ASSERT_EQ(log.before.size(), 2u);
  ASSERT_EQ(log.after.size(), 1u);
  EXPECT_EQ(log.before[0].file, "C:\\App\\u1.exe");
  EXPECT_EQ(log.before[0].parameters, "/x");
  EXPECT_TRUE(log.before[0].wait);
  EXPECT_EQ(log.before[1].parameters, "\"quoted\"");
  EXPECT_EQ(log.before[1].show, 5);
  EXPECT_EQ(log.after[0].file, "C:\\App\\u2.exe");
  EXPECT_FALSE(log.after[0].wait);
  ASSERT_EQ(log.fonts.size(), 1u);
  EXPECT_EQ(log.fonts[0].name, "Font (TrueType)");
  EXPECT_EQ(log.Setting(0), "m63");
  EXPECT_EQ(log.Setting(18), "C:\\App");
  EXPECT_EQ(log.Setting(33), "");
  EXPECT_EQ(log.Setting(47), "17");
  EXPECT_EQ(log.settings.size(), 52u);
}

// The counts in [s] against the records: a log changed after the
// installation (a section renamed, a record added or taken out) no longer
// agrees with them.
TEST(UninstallLogTest, CountsAgreeWithTheRecords) {
  const Package p = EverySection();
  UninstallLogInput in;
  in.package = &p;
  in.installedFiles = {"C:\\App\\a.txt", "C:\\App\\b.txt", "C:\\App\\c.txt"};
  in.destinationFolder = "C:\\App";
  in.expand = Expand;
  const std::string written = UninstallLogText(BuildUninstallLog(in));
  struct Case {
    const char* what;
    std::string from, to;
    bool agree;
  };
  const Case cases[] = {
      {"the log as written", "", "", true},
      {"a record's value changed", "1=C:\\App\\a.txt", "1=C:\\App\\z.txt", true},
      {"[f] renamed", "[f]\r\n", "[g]\r\n", false},
      {"[e] renamed", "[e]\r\n", "[E]\r\n", false},
      {"a file added", "[e]\r\n", "4=C:\\Windows\\win.ini\r\n[e]\r\n", false},
      {"a file taken out", "3=C:\\App\\c.txt\r\n", "", false},
      {"a component added", "[u]\r\n", "[u]\r\n2=C:\\x.dll\r\n", false},
      {"a registry section added", "[r1]\r\n", "[r9]\r\n0=1\r\n1=Software\\X\r\n[r1]\r\n", false},
      {"an INI section renamed", "[i1]\r\n", "[j1]\r\n", false},
      {"a program added", "[a1]\r\n", "[b7]\r\n0=C:\\x.exe\r\n[a1]\r\n", false},
      {"a program after made one before", "[a1]\r\n", "[b3]\r\n", false},
      {"a count changed", "39=3\r\n", "39=4\r\n", false},
      {"a count taken out", "42=1\r\n", "", false},
      {"a count that is no number", "43=2\r\n", "43=2x\r\n", false},
      {"a count with a sign", "44=1\r\n", "44=+1\r\n", false},
  };
  for (const Case& c : cases) {
    std::string text = written;
    if (!c.from.empty()) {
      const size_t at = text.find(c.from);
      ASSERT_NE(at, std::string::npos) << c.what;
      text.replace(at, c.from.size(), c.to);
    }
    UninstallLog log;
    ASSERT_TRUE(ParseUninstallLog(text, log)) << c.what;
    EXPECT_EQ(LogCountsAgree(log), c.agree) << c.what;
  }
}

// Values that the quoting rule touches, or that look like log syntax, come
// back unchanged in every quoted section.
TEST(UninstallLogTest, AwkwardValuesReadBack) {
  const std::vector<std::string> values = {"",     "\"",       "\"\"", "\"a\"", "\"\"a\"\"",
                                           "a\"b", "\"a",      "a=b",  "[s]",   "1=2",
                                           " x ",  "\"\"\"\"", "[f]\t"};
  for (const std::string& v : values) {
    Package p;
    p.settings.assign(kMinimumSettings, "0");
    p.SetText(kIniCount, "1");
    p.Records(List::kIniEntries).items = {v, v, v, "", "1", "1"};
    UninstallLogInput in;
    in.package = &p;
    in.installedFiles = {v.empty() ? "C:\\f" : v};
    in.destinationFolder = v;
    in.expand = [](const std::string& s) { return s; };
    UninstallLog log;
    ASSERT_TRUE(ParseUninstallLog(UninstallLogText(BuildUninstallLog(in)), log)) << v;
    ASSERT_EQ(log.ini.size(), 1u) << v;
    EXPECT_EQ(log.ini[0].file, v);
    EXPECT_EQ(log.ini[0].section, v);
    EXPECT_EQ(log.ini[0].key, v);
    EXPECT_EQ(log.Setting(18), v);
    EXPECT_EQ(log.files, in.installedFiles);
  }
}

TEST(UninstallLogTest, ReaderToleratesAndRefuses) {
  UninstallLog log;
  // Cut short before [s]: not a log to act on.
  EXPECT_FALSE(ParseUninstallLog("[f]\r\n1=C:\\a\r\n[e]\r\n", log));
  EXPECT_FALSE(ParseUninstallLog("", log));
  // Lone LF line ends, stray lines, entries before any section, sections out
  // of order and a repeated key (the later one counts).
  ASSERT_TRUE(ParseUninstallLog(
      "0=orphan\n[r2]\n1=Second\n[s]\nnoise\n-1=x\n7=a\n7=b\n[r10]\n1=Tenth\n[r1]\n"
      "0=1\n1=First\n2=\"\"v\"\"\n",
      log));
  ASSERT_EQ(log.registry.size(), 3u);
  EXPECT_EQ(log.registry[0].key, "First");
  EXPECT_EQ(log.registry[0].root, 1);
  EXPECT_EQ(log.registry[0].name, "\"v\"");
  EXPECT_EQ(log.registry[1].key, "Second");
  EXPECT_EQ(log.registry[2].key, "Tenth");
  EXPECT_EQ(log.Setting(7), "b");
  EXPECT_EQ(log.settings.size(), 1u);
  EXPECT_TRUE(log.files.empty());
}

TEST(UninstallLogTest, TrailerReaderFindsTheLastTrailer) {
  const std::vector<uint8_t> bitmap = {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
  std::vector<uint8_t> file = {'M', 'Z', 9, 9};
  const auto first = UninstallerTrailer(nullptr, "C:\\Old\\u.log");
  file.insert(file.end(), first.begin(), first.end());
  const auto second = UninstallerTrailer(&bitmap, "C:\\App\\uninstall.log");
  file.insert(file.end(), second.begin(), second.end());
  MemorySource source(file);
  std::string path;
  uint64_t start = 0;
  ASSERT_TRUE(ReadTrailerLogPath(source, path, start));
  EXPECT_EQ(path, "C:\\App\\uninstall.log");
  std::vector<uint8_t> read;
  ASSERT_TRUE(ReadTrailerBitmap(source, start, read));
  EXPECT_EQ(read, bitmap);

  // Damaged or foreign endings are refused, never read past the start.
  struct Case {
    std::vector<uint8_t> bytes;
    const char* why;
  };
  const Case refused[] = {
      {{}, "empty file"},
      {{5}, "one byte"},
      {{'C', ':', 0x09, 0x00}, "length beyond the file"},
      {{0x00, 0x00}, "empty path"},
      {{'r', 'e', 'l', 0x03, 0x00}, "relative path"},
      {{'C', ':', '\\', 0, 'x', 0x05, 0x00}, "NUL in the path"},
  };
  for (const Case& c : refused) {
    MemorySource bad(c.bytes);
    EXPECT_FALSE(ReadTrailerLogPath(bad, path, start)) << c.why;
  }
  // A bitmap size larger than what lies before the path, or bytes that are
  // not a BMP file.
  std::vector<uint8_t> noBitmap = {'M', 'Z'};
  const auto t = UninstallerTrailer(nullptr, "C:\\a.log");
  noBitmap.insert(noBitmap.end(), t.begin(), t.end());
  MemorySource plain(noBitmap);
  ASSERT_TRUE(ReadTrailerLogPath(plain, path, start));
  EXPECT_FALSE(ReadTrailerBitmap(plain, start, read));
  std::vector<uint8_t> notBmp(20, 'x');
  notBmp.insert(notBmp.end(), {20, 0, 0, 0});
  notBmp.insert(notBmp.end(), t.begin(), t.end());
  MemorySource wrong(notBmp);
  ASSERT_TRUE(ReadTrailerLogPath(wrong, path, start));
  EXPECT_FALSE(ReadTrailerBitmap(wrong, start, read));
}

}  // namespace
}  // namespace qb
