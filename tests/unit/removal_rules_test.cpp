// What the uninstaller tries to remove, in which order, and how it reads
// its command line.
#include "uninstall/removal_rules.h"

#include <gtest/gtest.h>

namespace qb {
namespace {

using Paths = std::vector<std::string>;

TEST(RemovalRulesTest, FoldersGoDeepestFirstEachOnce) {
  struct Case {
    Paths in, out;
  };
  const Case cases[] = {
      {{"C:\\App", "C:\\App\\data\\cache", "C:\\App\\data"},
       {"C:\\App\\data\\cache", "C:\\App\\data", "C:\\App"}},
      // One spelling per folder: case, "/" and trailing separators do not
      // make another folder.
      {{"C:\\App\\", "c:/app", "C:\\APP\\\\"}, {"C:\\App"}},
      // Equal depth keeps the given order.
      {{"C:\\b", "C:\\a\\x", "C:\\a"}, {"C:\\a\\x", "C:\\b", "C:\\a"}},
      // Roots, relative and unsafe paths are never candidates.
      {{"C:\\", "C:", "\\\\srv\\share\\", "App", "..\\x", "C:\\a\\..\\..", "C:\\con", "",
        "\\\\srv\\share\\app"},
       {"\\\\srv\\share\\app"}},
  };
  for (const Case& c : cases) EXPECT_EQ(FoldersDeepestFirst(c.in), c.out);
}

TEST(RemovalRulesTest, RegistryKeysStopBelowTheFirstLevel) {
  struct Case {
    std::string key;
    Paths out;
  };
  const Case cases[] = {
      {"Software\\Vendor\\App", {"Software\\Vendor\\App", "Software\\Vendor"}},
      {"Software\\Vendor\\App\\Sub\\",
       {"Software\\Vendor\\App\\Sub", "Software\\Vendor\\App", "Software\\Vendor"}},
      {".tally", {".tally"}},
      // The system's trees: the key alone.
      {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tally",
       {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tally"}},
      {"software\\classes\\.tally\\shell", {"software\\classes\\.tally\\shell"}},
      {"System\\CurrentControlSet\\Services\\Tally",
       {"System\\CurrentControlSet\\Services\\Tally"}},
      {"Software\\Microsoftish\\App", {"Software\\Microsoftish\\App", "Software\\Microsoftish"}},
      {"\\Software\\X", {"Software\\X"}},
      {"", {}},
      {"\\\\", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(RegistryKeysToTry(c.key), c.out) << c.key;
}

TEST(RemovalRulesTest, FoldersInsideARoot) {
  EXPECT_EQ(FoldersInside("C:\\App\\a\\b\\f.txt", "C:\\app\\"),
            (Paths{"C:\\App\\a\\b", "C:\\App\\a"}));
  EXPECT_EQ(FoldersInside("C:\\App\\f.txt", "C:\\App"), Paths{});
  EXPECT_EQ(FoldersInside("C:\\Apples\\x\\f.txt", "C:\\App"), Paths{});
  EXPECT_EQ(FoldersInside("D:\\Other\\f.txt", "C:\\App"), Paths{});
  EXPECT_EQ(FoldersInside("C:\\App\\a\\f.txt", ""), Paths{});
}

TEST(RemovalRulesTest, SamePath) {
  EXPECT_TRUE(SamePath("C:\\App\\uninstall.exe", "c:/app/UNINSTALL.EXE"));
  EXPECT_TRUE(SamePath("C:\\App\\", "C:\\App"));
  EXPECT_FALSE(SamePath("C:\\App\\a", "C:\\App\\b"));
}

TEST(RemovalRulesTest, CommandLine) {
  UninstallerOptions o = ParseUninstallerOptions(
      "/s \"/ORIGINAL=C:\\Program Files\\App\\uninstall.exe\" /parent=1234 /RESULT=88 /X");
  EXPECT_TRUE(o.silent);
  EXPECT_EQ(o.original, "C:\\Program Files\\App\\uninstall.exe");
  EXPECT_EQ(o.parent, 1234u);
  EXPECT_EQ(o.resultPipe, 88u);
  o = ParseUninstallerOptions("/SILENT /PARENT=-5 /RESULT=x");
  EXPECT_FALSE(o.silent);
  EXPECT_EQ(o.original, "");
  EXPECT_EQ(o.parent, 0u);
  EXPECT_EQ(o.resultPipe, 0u);
}

}  // namespace
}  // namespace qb
