#include "text/expand.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>

namespace qb {
namespace {

class FixedVariables : public VariableSource {
 public:
  std::map<int, std::string> values;
  std::map<std::string, std::string> shortForms;
  std::string Value(int number) override {
    auto it = values.find(number);
    return it == values.end() ? "" : it->second;
  }
  std::string ShortForm(const std::string& path) override {
    auto it = shortForms.find(path);
    return it == shortForms.end() ? "" : it->second;
  }
};

TEST(ExpandTest, Tokens) {
  FixedVariables v;
  v.values = {{4, "C:\\Apps\\Tool\\"}, {1, "C:\\Program Files"}, {17, "C:\\"},
              {255, "minus one"},      {81, "@$&%01\\Old"},      {21, "English"}};
  v.shortForms = {{"C:\\Apps\\Tool\\", "C:\\APPS\\TOOL\\"}};
  const struct {
    const char* text;
    const char* result;
  } cases[] = {
      {"no tokens here", "no tokens here"},
      {"@$&%04\\readme.txt", "C:\\Apps\\Tool\\readme.txt"},
      {"@$&%17\\x", "C:\\x"},
      {"@$&%44", "C:\\APPS\\TOOL"},               // short form of the destination
      {"@$&%00@$&%19@$&%40", ""},                 // no value
      {"@$&%4\\readme", "C:\\Apps\\Toolreadme"},  // "4\\" reads 4 and takes the backslash
      {"x@$&%ab", "x"},                           // "ab" reads 0
      {"@$&%-1", "minus one"},                    // "-1" is 255
      {"end@$&%", "end"},                         // marker at the very end
      {"end@$&%4", "endC:\\Apps\\Tool"},          // one character after it
      {"@$&%04;@$&%04", "C:\\Apps\\Tool;C:\\Apps\\Tool"},
      {"@$&%81", "C:\\Program Files\\Old"},  // a value's own token is expanded too
      {"@$&%21 & more", "English & more"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandTokens(c.text, v), c.result) << c.text;
}

TEST(ExpandTest, SelfReferenceIsBounded) {
  FixedVariables v;
  v.values = {{81, "a@$&%82"}, {82, "b@$&%81"}, {83, "@$&%83"}};
  const std::string looped = ExpandTokens("x@$&%81", v);
  EXPECT_EQ(looped.substr(0, 5), "xabab");
  EXPECT_LT(looped.size(), 20000u);
  EXPECT_EQ(ExpandTokens("@$&%83 and more", v), "@$&%83 and more");
  // A long expansion that ends is not cut short.
  FixedVariables deep;
  for (int n = 81; n < 95; ++n)
    deep.values[n] = "@$&%" + std::to_string(n + 1) + "@$&%" + std::to_string(n + 1);
  deep.values[95] = "z";
  EXPECT_EQ(ExpandTokens("@$&%81", deep), std::string(1 << 14, 'z'));
}

// The expansion as the rule states it: replace the first token, search again
// from the front. Used only to check that the one-pass expansion agrees.
std::string ExpandByRestarting(const std::string& text, VariableSource& source) {
  std::string result = text;
  for (int count = 0; count < 4000; ++count) {
    const size_t at = result.find(kVariableMarker);
    if (at == std::string::npos) break;
    const std::string numberText = result.substr(at + 4, 2);
    result.replace(at, 4 + numberText.size(), VariableValue(source, TokenNumber(numberText)));
  }
  return result;
}

TEST(ExpandTest, OnePassAgreesWithRestartingFromTheFront) {
  // Random texts and values built from marker fragments, so that markers also
  // form across the edges of values and of the text around them. Values may
  // lead back to themselves; such cases meet the reference's cap and are
  // left out, every other one must agree exactly.
  std::mt19937 random(12345);
  const char* pieces[] = {"@", "$", "&", "%", "@$", "&%",    "@$&",  "@$&%",
                          "8", "9", "1", "x", "\\", "@$&%8", "@$&%9"};
  const auto randomText = [&](int length) {
    std::string t;
    for (int i = 0; i < length; ++i) t += pieces[random() % 15];
    return t;
  };
  for (int round = 0; round < 3000; ++round) {
    FixedVariables v;
    for (int n = 81; n <= 99; ++n) v.values[n] = randomText(static_cast<int>(random() % 5));
    v.values[8] = "EIGHT";
    v.values[9] = "@$&%";  // a bare marker that joins whatever follows
    v.values[1] = "one";
    const std::string text = randomText(static_cast<int>(random() % 12));
    const std::string expected = ExpandByRestarting(text, v);
    if (expected.find(kVariableMarker) != std::string::npos) continue;  // hit the loop cap
    EXPECT_EQ(ExpandTokens(text, v), expected) << text;
  }
}

TEST(ExpandTest, DoublingValuesExpandInLinearTime) {
  // Each of 18 registry variables holds the next one twice: the result has
  // 2^18 characters, reached without searching the text again and again.
  FixedVariables v;
  for (int n = 81; n < 99; ++n) {
    v.values[n] = "@$&%" + std::to_string(n + 1) + "@$&%" + std::to_string(n + 1);
  }
  v.values[99] = "y";
  const auto start = std::chrono::steady_clock::now();
  const std::string result = ExpandTokens("<@$&%81>", v);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(result, "<" + std::string(1 << 18, 'y') + ">");
  // Far below the quadratic cost (many seconds), even under the sanitizers.
  EXPECT_LT(seconds, 5.0);
}

TEST(ExpandTest, OutputBoundLeavesTheRestUnexpanded) {
  // 30 doublings would give 1 GiB; expansion stops at its 16 MiB bound and
  // hands back the expanded front followed by the unexpanded rest.
  FixedVariables v;
  for (int n = 81; n < 99; ++n) {
    v.values[n] = "@$&%" + std::to_string(n + 1) + "@$&%" + std::to_string(n + 1);
  }
  v.values[99] = std::string(4096, 'y');
  const std::string result = ExpandTokens("@$&%81!", v);
  EXPECT_GE(result.size(), 16u * 1024 * 1024 - 4096);
  EXPECT_LE(result.size(), 17u * 1024 * 1024);
  EXPECT_EQ(result.substr(0, 4096), std::string(4096, 'y'));
  EXPECT_NE(result.find(kVariableMarker), std::string::npos);
  EXPECT_EQ(result.back(), '!');
}

TEST(ExpandTest, DisplayForm) {
  EXPECT_EQ(DisplayForm("Tom & Jerry"), "Tom && Jerry");
  EXPECT_EQ(DisplayForm("&&"), "&&&&");
}

TEST(ExpandTest, SizeShortForm) {
  const struct {
    uint64_t size;
    const char* text;
  } cases[] = {{0, "0"},           {512, "512"},
               {1023, "1023"},     {1024, "1K"},
               {1536, "1.5K"},     {1048576, "1M"},
               {1100, "1.07K"},    {1034, "1K"},
               {5ull << 40, "5T"}, {(1ull << 50) * 3, "3072T"}};
  for (const auto& c : cases) {
    EXPECT_EQ(SizeShortForm(c.size), c.text) << c.size;
  }
  // 1034 bytes are 1.0097K: the two decimals are both zero, so no point.
  EXPECT_EQ(SizeShortForm(1034) + "b", "1Kb");
  EXPECT_EQ(SizeShortForm(1536) + "b", "1.5Kb");
  EXPECT_EQ(SizeShortForm(512) + "b", "512b");
}

TEST(ExpandTest, ShortenPath) {
  const auto measure = [](const std::string& s) { return static_cast<int>(s.size()) * 6; };
  // Width 120 = 20 characters.
  const struct {
    const char* path;
    const char* shown;
  } cases[] = {
      {"readme.txt", "readme.txt"},
      {"C:\\Tool\\readme.txt", "C:\\Tool\\readme.txt"},
      {"C:\\Program Files\\Big Vendor\\Tool\\readme.txt", "C:\\Program Files\\..\\readme.txt"},
      {"C:\\a\\b\\c\\", "C:\\a\\b\\c"},
  };
  for (const auto& c : cases) EXPECT_EQ(ShortenPath(c.path, 120, measure), c.shown) << c.path;
}

}  // namespace
}  // namespace qb
