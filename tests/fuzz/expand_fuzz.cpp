// Fuzz target: text expansion over values taken from the input. The first
// byte picks how the input is cut; the pieces become the text and the values
// of the registry variables 81 to 99 and of a few folders. Expansion must
// end, stay within its bound, and agree with the rule where the rule ends
// quickly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "text/expand.h"

namespace {

class InputVariables : public qb::VariableSource {
 public:
  std::map<int, std::string> values;
  std::string Value(int number) override {
    auto it = values.find(number);
    return it == values.end() ? std::string() : it->second;
  }
  std::string ShortForm(const std::string& path) override {
    return path.size() > 8 ? path.substr(0, 6) + "~1" : path;
  }
};

// Replaces the first token and searches again from the front, at most limit
// times; false when the limit was reached.
bool ExpandByTheRule(std::string& text, qb::VariableSource& source, int limit) {
  for (int count = 0; count < limit; ++count) {
    const size_t at = text.find(qb::kVariableMarker);
    if (at == std::string::npos) return true;
    const std::string number = text.substr(at + 4, 2);
    text.replace(at, 4 + number.size(), qb::VariableValue(source, qb::TokenNumber(number)));
    if (text.size() > 100000) return false;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  const char separator = static_cast<char>(data[0] | 1);
  InputVariables source;
  std::string text;
  size_t start = 0;
  const int numbers[] = {81, 82, 83, 84, 85, 86, 87, 88, 89, 90, 91, 92,
                         93, 94, 95, 96, 97, 98, 99, 1,  4,  6,  8,  21};
  int piece = -1;
  for (size_t i = 0; i <= input.size(); ++i) {
    if (i < input.size() && input[i] != separator) continue;
    const std::string part = input.substr(start, i - start);
    if (piece < 0) {
      text = part;
    } else if (piece < static_cast<int>(sizeof numbers / sizeof numbers[0])) {
      source.values[numbers[piece]] = part;
    }
    ++piece;
    start = i + 1;
  }
  const std::string expanded = qb::ExpandTokens(text, source);
  if (expanded.size() > 17u * 1024 * 1024) std::abort();
  std::string reference = text;
  if (ExpandByTheRule(reference, source, 2000) && reference != expanded) std::abort();
  return 0;
}
