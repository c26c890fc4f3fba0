#include "environment/environment.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qb {
namespace {

TEST(EnvironmentTest, WindowsClassOfAVersion) {
  const struct {
    bool nt;
    unsigned major, minor;
    int windowsClass;
  } cases[] = {
      {false, 3, 95, 0},                     // Win32s
      {false, 4, 0, 1},                      // Windows 95
      {false, 4, 3, 1},  {false, 4, 10, 2},  // Windows 98
      {false, 4, 89, 2}, {false, 4, 90, 3},  // Windows Me
      {false, 5, 0, 3},  {true, 3, 51, 4},  {true, 4, 0, 4}, {true, 5, 0, 5}, {true, 5, 1, 6},
      {true, 5, 2, 7},   {true, 5, 9, 7},   {true, 6, 0, 8}, {true, 6, 1, 8}, {true, 10, 0, 8},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WindowsClass(c.nt, c.major, c.minor), c.windowsClass)
        << c.nt << " " << c.major << "." << c.minor;
  }
}

TEST(EnvironmentTest, ExcludedClass) {
  EXPECT_TRUE(ExcludedClass(1, 0));
  EXPECT_FALSE(ExcludedClass(1, 8));
  EXPECT_TRUE(ExcludedClass(64, 6));  // XP
  EXPECT_FALSE(ExcludedClass(64, 8));
  EXPECT_TRUE(ExcludedClass(256, 8));
  EXPECT_FALSE(ExcludedClass(0, 8));
  EXPECT_FALSE(ExcludedClass(-1, 70));
}

TEST(EnvironmentTest, ReadVersionNumber) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"2.0", 2},     {"1.1", 1.1}, {"2.0.50727", 2},  {"4.0.30319", 4}, {"3.5", 3.5},
      {"-1.5", -1.5}, {"v4.0", 4},  {"", 0},           {"abc", 0},       {"1x2.3", 12.3},
      {"1.25", 1.25}, {"2E1", 20},  {"1.5e2xyz", 150}, {"3e-1", 0.3},
  };
  for (const auto& c : cases) EXPECT_NEAR(ReadVersionNumber(c.text), c.value, 1e-9) << c.text;
  // A huge exponent gives infinity, not undefined behaviour.
  EXPECT_TRUE(std::isinf(ReadVersionNumber("1e999999")));
}

TEST(EnvironmentTest, InstalledDotNetVersionAndTheCheck) {
  EXPECT_EQ(InstalledDotNetVersion({}), 0);
  EXPECT_EQ(InstalledDotNetVersion({"v1.1", "v2.0", "Upgrades"}), 2);
  EXPECT_EQ(InstalledDotNetVersion({"V4.0", "v2.0"}), 4);
  EXPECT_EQ(InstalledDotNetVersion({"v4", "x4.0", ""}), 0);  // no "." / not a "v"
  const double v2 = ReadVersionNumber("2.0");
  EXPECT_TRUE(DotNetSatisfies(v2, InstalledDotNetVersion({"v1.1", "v2.0"}), true));
  EXPECT_TRUE(DotNetSatisfies(v2, InstalledDotNetVersion({"v4.0"}), true));
  EXPECT_FALSE(DotNetSatisfies(v2, InstalledDotNetVersion({"v4.0"}), false));
  EXPECT_TRUE(DotNetSatisfies(v2, InstalledDotNetVersion({"v2.0"}), false));
  EXPECT_FALSE(DotNetSatisfies(4, InstalledDotNetVersion({"v2.0"}), true));
  EXPECT_FALSE(DotNetSatisfies(4, 0, true));  // no policy key
}

TEST(EnvironmentTest, CloseTargets) {
  EXPECT_TRUE(TitleHoldsTarget("Untitled - Notepad", "notepad"));
  EXPECT_FALSE(TitleHoldsTarget("Notepad - Quillbox Setup", "notepad"));
  EXPECT_FALSE(TitleHoldsTarget("", ""));
  EXPECT_TRUE(TitleHoldsTarget("Tally", ""));
  EXPECT_FALSE(TitleHoldsTarget("Calculator", "notepad"));
  EXPECT_TRUE(ProcessIsTarget("C:\\Program Files\\App\\APP.EXE", "app.exe"));
  EXPECT_TRUE(ProcessIsTarget("\\Device\\x/app.exe", "App.Exe"));
  EXPECT_TRUE(ProcessIsTarget("C:app.exe", "app.exe"));
  EXPECT_FALSE(ProcessIsTarget("C:\\App\\myapp.exe", "app.exe"));
  EXPECT_FALSE(ProcessIsTarget("C:\\app.exe\\other.exe", "app.exe"));
}

}  // namespace
}  // namespace qb
