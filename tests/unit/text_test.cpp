#include "text/text.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "package/exit_codes.h"
#include "package/support_files.h"
#include "text/sha256.h"

namespace qb {
namespace {

TEST(TextTest, ReadNumberIsLenient) {
  const struct {
    const char* text;
    int64_t value;
  } cases[] = {{"", 0},   {"0", 0},   {"42", 42}, {"+7", 7}, {"-12abc", -12},
               {"ab", 0}, {"4\\", 4}, {"-", 0},   {" 5", 0}};
  for (const auto& c : cases) EXPECT_EQ(ReadNumber(c.text), c.value) << c.text;
}

TEST(TextTest, ReadNumberSaturatesAtTheLimits) {
  const struct {
    const char* text;
    int64_t value;
  } cases[] = {
      {"9223372036854775807", INT64_MAX},
      {"-9223372036854775807", -INT64_MAX},
      {"9223372036854775808", INT64_MAX},
      {"-9223372036854775808", -INT64_MAX},
      {"9999999999999999999", INT64_MAX},  // 19 digits, beyond the range
      {"-9999999999999999999", -INT64_MAX},
      {"99999999999999999999999999999999", INT64_MAX},
      {"922337203685477580", INT64_C(922337203685477580)},
      {"000000000000000000000000042", 42},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadNumber(c.text), c.value) << c.text;
}

TEST(TextTest, SaturatingMultiply) {
  EXPECT_EQ(SaturatingMultiply(6, 7), 42);
  EXPECT_EQ(SaturatingMultiply(INT64_MAX, 6), INT64_MAX);
  EXPECT_EQ(SaturatingMultiply(INT64_MAX, -2), INT64_MIN);
  EXPECT_EQ(SaturatingMultiply(INT64_MIN, -1), INT64_MAX);
  EXPECT_EQ(SaturatingMultiply(-3, 0), 0);
}

TEST(TextTest, EscapeControls) {
  const struct {
    const char* text;
    const char* shown;
  } cases[] = {
      {"plain text", "plain text"},    {"two\nlines", "two\\nlines"},
      {"C:\\Apps\tx", "C:\\Apps\\tx"}, {"bell\a esc\x1b[31m", "bell\\x07 esc\\x1b[31m"},
      {"del\x7f", "del\\x7f"},         {"caf\xe9", "caf\xe9"},
  };
  for (const auto& c : cases) EXPECT_EQ(EscapeControls(c.text), c.shown) << c.text;
  EXPECT_EQ(EscapeControls(std::string("a\0b", 3)), "a\\x00b");
}

TEST(TextTest, SaturatingAdd) {
  EXPECT_EQ(SaturatingAdd(2, 3), 5);
  EXPECT_EQ(SaturatingAdd(INT64_MAX, 1), INT64_MAX);
  EXPECT_EQ(SaturatingAdd(INT64_MAX, INT64_MAX), INT64_MAX);
  EXPECT_EQ(SaturatingAdd(INT64_MIN, -1), INT64_MIN);
  EXPECT_EQ(SaturatingAdd(INT64_MAX, INT64_MIN), -1);
  EXPECT_EQ(SaturatingAdd(-5, 5), 0);
}

TEST(TextTest, FlagIsOnUnlessExactlyZero) {
  EXPECT_TRUE(ReadFlag(""));
  EXPECT_TRUE(ReadFlag("1"));
  EXPECT_TRUE(ReadFlag("00"));
  EXPECT_FALSE(ReadFlag("0"));
}

TEST(TextTest, UpperAsciiChangesOnlyLatinLetters) {
  EXPECT_EQ(UpperAscii("/p=c:\\Apps\xe9z"), "/P=C:\\APPS\xe9Z");
}

TEST(TextTest, DecimalWritesSignedNumbers) {
  EXPECT_EQ(Decimal(0), "0");
  EXPECT_EQ(Decimal(3010), "3010");
  EXPECT_EQ(Decimal(-45), "-45");
  EXPECT_EQ(Decimal(INT64_MAX), "9223372036854775807");
  EXPECT_EQ(Decimal(INT64_MIN), "-9223372036854775808");
}

TEST(TextTest, DivideInPlaceMatchesDivision) {
  const uint64_t values[] = {0,
                             1,
                             9,
                             UINT64_C(0xFFFFFFFF),
                             UINT64_C(0x100000000),
                             UINT64_C(133000000000000000),
                             UINT64_C(0x123456789ABCDEF0),
                             UINT64_MAX};
  const uint16_t divisors[] = {1, 2, 10, 1024, 10000, 65521, 65535};
  for (uint64_t value : values) {
    for (uint16_t divisor : divisors) {
      uint64_t quotient = value;
      const uint32_t remainder = DivideInPlace(quotient, divisor);
      EXPECT_EQ(quotient, value / divisor) << value << " / " << divisor;
      EXPECT_EQ(remainder, value % divisor) << value << " % " << divisor;
    }
  }
}

TEST(TextTest, PasswordForm) {
  EXPECT_EQ(PasswordForm("abc"), "2X<");
  EXPECT_EQ(PasswordForm(""), "");
  const std::string form = PasswordForm("A much longer Passw0rd with blanks!");
  ASSERT_EQ(form.size(), 35u);
  for (char c : form) {
    EXPECT_GE(c, '0');
    EXPECT_LE(c, 'Z');
  }
  EXPECT_NE(PasswordForm("abc"), PasswordForm("abC"));
}

TEST(TextTest, SplitParameters) {
  const struct {
    const char* line;
    std::vector<std::string> params;
  } cases[] = {
      {"", {}},
      {"/S /NC", {"/S", "/NC"}},
      {"  /S\t/P=C:\\x  ", {"/S", "/P=C:\\x"}},
      {"\"/P=C:\\My Apps\\Tool\" /S", {"/P=C:\\My Apps\\Tool", "/S"}},
      {"/P=\"C:\\My Apps\"", {"/P=\"C:\\My Apps\""}},
      {"/S \"\" /NC", {"/S", "/NC"}},
      {"\"unterminated part", {"\"unterminated part"}},
      {"\"", {"\""}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitParameters(c.line), c.params) << c.line;
}

TEST(TextTest, SkipProgramName) {
  EXPECT_EQ(SkipProgramName("\"C:\\a b\\setup.exe\" /S"), " /S");
  EXPECT_EQ(SkipProgramName("setup.exe test"), " test");
  EXPECT_EQ(SkipProgramName("setup.exe"), "");
}

TEST(SupportFilesTest, Names) {
  EXPECT_EQ(SupportFilePath("C:\\Temp\\", 4, false), "C:\\Temp\\$inst\\4.tmp");
  EXPECT_EQ(SupportFilePath("C:\\Temp\\", 0, true), "C:\\Temp\\$inst\\temp_0.tmp");
  EXPECT_EQ(PictureFormPath("C:\\Temp\\", 4, 2), "C:\\Temp\\$inst\\4_2.tmp");
  EXPECT_EQ(PictureFormEntry(9, 1), "$inst\\9_1.tmp");
}

TEST(SupportFilesTest, RemovalCoversLanguageFiles) {
  const std::vector<int> three = SupportFilesToRemove(3);
  std::vector<int> expected;
  for (int i = 0; i <= 17; ++i) expected.push_back(i);
  for (int i : {20, 50, 21, 51, 22, 52, 23, 53}) expected.push_back(i);
  EXPECT_EQ(three, expected);
  const std::vector<int> none = SupportFilesToRemove(0);
  EXPECT_EQ(none.size(), 20u);
  EXPECT_EQ(none.back(), 50);
}

TEST(ExitCodeTest, EveryReasonHasItsCode) {
  const struct {
    ExitReason reason;
    bool silent, restart;
    int code;
  } cases[] = {
      {ExitReason::kInstalled, false, false, 0},
      {ExitReason::kInstalled, false, true, 0},
      {ExitReason::kInstalled, true, false, 0},
      {ExitReason::kInstalled, true, true, 3010},
      {ExitReason::kTestMode, false, false, 0},
      {ExitReason::kDamagedPackage, true, true, 1},
      {ExitReason::kCancelled, false, false, 2},
      {ExitReason::kAbandoned, true, false, 3},
      {ExitReason::kAnotherRunning, false, false, 4},
      {ExitReason::kMachineUnsuitable, true, false, 5},
      {ExitReason::kPasswordNeeded, true, false, 6},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExitCodeFor(c.reason, c.silent, c.restart), c.code) << static_cast<int>(c.reason);
  }
}

}  // namespace
}  // namespace qb

namespace qb {
namespace {

TEST(TextTest, LongPathForm) {
  // A tiny shell: it knows PROGRA~1 as "Program Files" and hides ".txt".
  const auto shell = [](const std::string& path) -> std::string {
    if (path == "C:\\PROGRA~1") return "Program Files";
    if (path == "C:\\Program Files\\notes.txt") return "notes";
    return "";
  };
  const struct {
    const char* typed;
    const char* result;
  } cases[] = {
      {"C:\\Apps", "C:\\Apps"},
      {"C:\\PROGRA~1\\Tool", "C:\\Program Files\\Tool"},
      {"C:\\Apps\\", "C:\\Apps"},
      {"C:\\PROGRA~1\\notes.txt", "C:\\Program Files\\notes.txt"},
      {"relative\\path", "relative\\path"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(LongPathForm(c.typed, shell), c.result) << c.typed;
}

}  // namespace
}  // namespace qb

namespace qb {
namespace {

TEST(TextTest, HexPairs) {
  const struct {
    const char* text;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"", {}},
      {"0aFF10", {0x0A, 0xFF, 0x10}},
      {"abc", {0xAB}},         // an odd last character is ignored
      {"$F1G", {0x0F, 0x01}},  // "$" skipped; "1G" stops at G
      {"zz00", {0x00, 0x00}},  // a pair that is not hex gives 0
  };
  for (const auto& c : cases) EXPECT_EQ(HexPairs(c.text), c.bytes) << c.text;
}

TEST(TextTest, BrowsedDestinationTakesTheApplicationSubfolder) {
  const std::string def = "C:\\Program Files\\Tally";
  struct Case {
    const char* picked;
    const char* subfolder;
    const char* expected;
  } cases[] = {
      {"D:\\", "Tally", "D:\\Tally"},  // a root: its backslash is not doubled
      {"D:\\", "", "D:\\"},            // no subfolder: the drive keeps its backslash
      {"D:\\Apps", "Tally", "D:\\Apps\\Tally"},
      {"C:\\Program Files\\Tally", "Tally", "C:\\Program Files\\Tally"},
      {"c:\\program files\\TALLY", "Tally", "c:\\program files\\TALLY"},
      {"C:\\Program Files\\Tally\\Sub", "Tally", "C:\\Program Files\\Tally\\Sub"},
      {"C:\\Program Files\\Tally2", "Tally", "C:\\Program Files\\Tally2"},  // same beginning
      {"C:\\Program Files", "Tally", "C:\\Program Files\\Tally"},
      {"E:\\Data\\", "", "E:\\Data"},
  };
  for (const Case& c : cases) EXPECT_EQ(BrowsedDestination(c.picked, def, c.subfolder), c.expected);
}

TEST(TextTest, ByteSizeText) {
  const struct {
    uint64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0 bytes"},
      {1, "1 byte"},
      {1023, "1023 bytes"},
      {1024, "1.0 KB"},
      {1536, "1.5 KB"},
      {1075, "1.0 KB"},           // 1.0498 KB
      {1076, "1.1 KB"},           // 1.0508 KB: rounded up
      {1048575, "1.0 MB"},        // 1023.999 KB rounds to the next unit
      {12897485, "12.3 MB"},      // 12.3000 MB
      {4402341478ULL, "4.1 GB"},  // 4.1000 GB
      {1099511627776ULL, "1.0 TB"},
      {9000000000000000ULL, "8.0 PB"},       // 7.9936 PB
      {18446744073709551615ULL, "16.0 EB"},  // the largest
      {(1ULL << 60) - 1, "1.0 EB"},          // just below 1 EB
      {5ULL << 40, "5.0 TB"},
  };
  for (const auto& c : cases) EXPECT_EQ(ByteSizeText(c.bytes), c.text) << c.bytes;
}

TEST(TextTest, ParentFolder) {
  const struct {
    const char* path;
    const char* parent;
  } cases[] = {
      {"C:\\Program Files\\Tally", "C:\\Program Files"},
      {"C:\\Program Files\\Tally\\", "C:\\Program Files"},  // a trailing backslash
      {"C:\\Program Files", "C:\\"},
      {"C:/Data/Sub", "C:/Data"},
      {"C:\\", ""},
      {"C:", ""},
      {"C:\\\\", ""},
      {"\\\\server\\share\\dir", "\\\\server\\share"},
      {"\\\\server\\share", ""},
      {"\\\\server\\share\\", ""},
      {"\\\\server", ""},
      {"\\folder", ""},
      {"relative", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ParentFolder(c.path), c.parent) << c.path;
}

TEST(TextTest, Sha256MatchesKnownDigests) {
  struct Case {
    std::string input;
    const char* digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sha256Hex(c.input.data(), c.input.size()), c.digest) << c.input.size();
    // Fed in uneven pieces, the digest is the same.
    Sha256 pieces;
    for (size_t at = 0, step = 1; at < c.input.size(); at += step, step = step % 97 + 1) {
      pieces.Add(c.input.data() + at, std::min(step, c.input.size() - at));
    }
    EXPECT_EQ(pieces.HexDigest(), c.digest) << c.input.size();
  }
}

}  // namespace
}  // namespace qb
