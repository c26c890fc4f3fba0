#include "cab/safe_name.h"

#include <gtest/gtest.h>

#include "package/support_files.h"

namespace qb {
namespace {

TEST(SafeNameTest, CabinetNames) {
  const struct {
    const char* name;
    const char* normalised;  // "" when refused
  } cases[] = {
      // Accepted, with "/" turned into "\".
      {"readme.txt", "readme.txt"},
      {"sub\\x.dll", "sub\\x.dll"},
      {"sub/x.dll", "sub\\x.dll"},
      {"a/b\\c/d", "a\\b\\c\\d"},
      {".profile", ".profile"},
      {"a..b", "a..b"},
      {"CONSOLE.txt", "CONSOLE.txt"},
      {"COM10", "COM10"},
      {"nul_device", "nul_device"},
      {"caf\xe9.txt", "caf\xe9.txt"},
      // Empty, absolute, drive, stream.
      {"", ""},
      {"\\x", ""},
      {"/x", ""},
      {"\\\\server\\share\\x", ""},
      {"C:\\x", ""},
      {"C:x", ""},
      {"x.txt:stream", ""},
      {"x.txt::$DATA", ""},
      // Dots and empty components.
      {"..", ""},
      {".", ""},
      {"...", ""},
      {"..\\x", ""},
      {"a\\..\\..\\x", ""},
      {"a/../x", ""},
      {"a\\\\b", ""},
      {"a\\", ""},
      // Windows drops a trailing dot or blank.
      {"a.", ""},
      {"a ", ""},
      {"dir.\\x", ""},
      {"dir \\x", ""},
      // Device names in any component, any case, with or without extension.
      {"CON", ""},
      {"con.txt", ""},
      {"sub\\Nul", ""},
      {"PRN.log", ""},
      {"aux\\x", ""},
      {"COM1", ""},
      {"com9.bin", ""},
      {"LPT1", ""},
      {"lpt9.txt", ""},
      {"CONIN$", ""},
      {"conout$.x", ""},
      {"NUL .txt", ""},
      {"COM\xb9", ""},
      // Control characters and the characters Windows forbids.
      {"a\tb", ""},
      {"a\nb", ""},
      {"a\x7f", ""},
      {"a<b", ""},
      {"a>b", ""},
      {"a\"b", ""},
      {"a|b", ""},
      {"a?b", ""},
      {"a*b", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NormalisedCabinetName(c.name), c.normalised) << c.name;
    std::string joined = "unchanged";
    const bool accepted = JoinCabinetName("C:\\dest\\", c.name, joined);
    EXPECT_EQ(accepted, *c.normalised != 0) << c.name;
    EXPECT_EQ(joined, accepted ? std::string("C:\\dest\\") + c.normalised : "unchanged") << c.name;
  }
}

TEST(SafeNameTest, ComponentProblems) {
  using P = ComponentProblem;
  const struct {
    const char* component;
    P problem;
  } cases[] = {
      {"readme.txt", P::kNone},
      {"CONSOLE", P::kNone},
      {"com10.txt", P::kNone},
      {".profile", P::kNone},
      {"a..b", P::kNone},
      {"caf\xe9", P::kNone},
      {"", P::kEmpty},
      {".", P::kDotsOnly},
      {"..", P::kDotsOnly},
      {"x.", P::kTrailingDotOrBlank},
      {"x ", P::kTrailingDotOrBlank},
      {"CON.", P::kTrailingDotOrBlank},  // the first problem found
      {"a:b", P::kForbiddenCharacter},
      {"a*b", P::kForbiddenCharacter},
      {"a?b", P::kForbiddenCharacter},
      {"a<b", P::kForbiddenCharacter},
      {"a>b", P::kForbiddenCharacter},
      {"a|b", P::kForbiddenCharacter},
      {"a\"b", P::kForbiddenCharacter},
      {"a\\b", P::kForbiddenCharacter},
      {"a/b", P::kForbiddenCharacter},
      {"a\x01", P::kForbiddenCharacter},
      {"a\x7f", P::kForbiddenCharacter},
      {"con:x", P::kForbiddenCharacter},
      {"CON", P::kDeviceName},
      {"nul.txt", P::kDeviceName},
      {"Aux.tar.gz", P::kDeviceName},
      {"prn", P::kDeviceName},
      {"COM1", P::kDeviceName},
      {"com9.log", P::kDeviceName},
      {"LPT1", P::kDeviceName},
      {"lpt9.x", P::kDeviceName},
      {"CONOUT$", P::kDeviceName},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathComponentProblem(c.component), c.problem) << c.component;
    EXPECT_EQ(IsSafePathComponent(c.component), c.problem == P::kNone) << c.component;
  }
  for (int c = 0; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    const bool forbidden =
        c < 32 || c == 127 || std::string("<>\"|?*:\\/").find(ch) != std::string::npos;
    EXPECT_EQ(IsForbiddenNameCharacter(ch), forbidden) << c;
  }
}

TEST(SafeNameTest, JoinedPathMustFitThePathLimit) {
  const std::string folder = "C:\\dest";  // joined with one backslash
  std::string joined;
  const std::string fits(kMaxPathLength - folder.size() - 1, 'a');
  EXPECT_TRUE(JoinCabinetName(folder, fits, joined));
  EXPECT_EQ(joined.size(), kMaxPathLength);
  EXPECT_FALSE(JoinCabinetName(folder, fits + "a", joined));
  EXPECT_FALSE(JoinCabinetName(folder + "\\", "sub/" + fits, joined));
}

TEST(SafeNameTest, DestinationPaths) {
  const struct {
    const char* path;
    bool safe;
  } cases[] = {
      {"C:\\Program Files\\App\\app.exe", true},
      {"c:/apps/x.txt", true},
      {"D:\\x", true},
      {"\\\\server\\share\\app\\x.dll", true},
      {"C:\\", false},  // a folder, not a file
      {"C:\\App\\..\\..\\Windows\\x.dll", false},
      {"C:\\App\\CON", false},
      {"C:\\App\\x.txt:hidden", false},
      {"C:\\App.\\x", false},
      {"C:\\App\\\\x", false},
      {"\\App\\x", false},
      {"App\\x", false},
      {"C:App", false},
      {"1:\\x", false},
      {"\\\\server", false},
      {"\\\\?\\C:\\x", false},
      {"\\\\.\\pipe\\x", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSafeDestinationPath(c.path), c.safe) << c.path;
  EXPECT_FALSE(IsSafeDestinationPath("C:\\" + std::string(kMaxPathLength - 2, 'a')));
  EXPECT_TRUE(IsSafeDestinationPath("C:\\" + std::string(kMaxPathLength - 3, 'a')));
}

TEST(SafeNameTest, FolderPaths) {
  EXPECT_TRUE(IsSafeFolderPath("C:\\App\\Data\\"));
  EXPECT_TRUE(IsSafeFolderPath("C:\\App\\Data"));
  EXPECT_TRUE(IsSafeFolderPath("C:\\App//"));
  EXPECT_FALSE(IsSafeFolderPath("C:\\App\\..\\"));
  EXPECT_FALSE(IsSafeFolderPath("C:\\"));
  EXPECT_FALSE(IsSafeFolderPath("Data\\"));
}

TEST(SafeNameTest, SupportCabinetEntries) {
  const struct {
    const char* name;
    long long languages;
    bool accepted;
  } cases[] = {
      {"$inst\\4.tmp", 1, true},
      {"$inst/15.tmp", 1, true},
      {"$inst\\21.tmp", 1, true},
      {"$inst\\51.tmp", 1, true},
      {"$inst\\22.tmp", 1, false},
      {"$inst\\22.tmp", 2, true},
      {"$inst\\2.tmp", 1, false},
      {"$inst\\0.tmp", 1, false},
      {"$inst\\18.tmp", 1, false},
      {"4.tmp", 1, false},
      {"$inst\\..\\evil.tmp", 1, false},
      {"$inst\\4.tmp.exe", 1, false},
      {"..\\$inst\\4.tmp", 1, false},
      {"$INST\\4.tmp", 1, false},
      // The further forms of the wizard's pictures.
      {"$inst\\4_1.tmp", 1, true},
      {"$inst/9_7.tmp", 1, true},
      {"$inst\\5_3.tmp", 1, true},
      {"$inst\\4_8.tmp", 1, false},
      {"$inst\\4_0.tmp", 1, false},
      {"$inst\\6_1.tmp", 1, false},
      {"$inst\\15_1.tmp", 1, false},
      {"$inst\\4_01.tmp", 1, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsSupportCabinetEntry(c.name, c.languages), c.accepted) << c.name;
  }
}

}  // namespace
}  // namespace qb
