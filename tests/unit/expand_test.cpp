#include "text/expand.h"

#include <gtest/gtest.h>

#include <map>

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
