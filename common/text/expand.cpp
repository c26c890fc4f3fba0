#include "text/expand.h"

#include <map>
#include <set>
#include <vector>

#include "text/text.h"

namespace qb {

namespace {

const std::string kMarker = kVariableMarker;

// Variables whose values, followed token by token, lead back to themselves.
// Expanding a text that reaches one of them would never end.
bool ReachesCycle(const std::string& text, const std::function<const std::string&(int)>& value) {
  std::map<int, int> state;  // 1 visiting, 2 done
  std::function<bool(const std::string&)> visitText;
  std::function<bool(int)> visit = [&](int n) {
    int& s = state[n];
    if (s == 1) return true;
    if (s == 2) return false;
    s = 1;
    const bool cycle = visitText(value(n));
    state[n] = 2;
    return cycle;
  };
  visitText = [&](const std::string& t) {
    for (size_t at = t.find(kMarker); at != std::string::npos; at = t.find(kMarker, at + 1)) {
      if (visit(TokenNumber(t.substr(at + kMarker.size(), 2)))) return true;
    }
    return false;
  };
  return visitText(text);
}

}  // namespace

int TokenNumber(const std::string& numberText) {
  const int64_t n = ReadNumber(numberText);
  return static_cast<int>(((n % 256) + 256) % 256);
}

std::string VariableValue(VariableSource& source, int number) {
  const bool shortForm = number > 40 && number < 81;
  std::string value = source.Value(shortForm ? number - 40 : number);
  if (shortForm) value = source.ShortForm(value);
  if (!value.empty() && value.back() == '\\') value.pop_back();
  return value;
}

std::string ExpandTokens(const std::string& text, VariableSource& source) {
  if (text.find(kMarker) == std::string::npos) return text;
  // Values are taken once per expansion.
  std::map<int, std::string> values;
  const auto value = [&](int n) -> const std::string& {
    auto it = values.find(n);
    if (it == values.end()) it = values.emplace(n, VariableValue(source, n)).first;
    return it->second;
  };
  // A text that can reach a cycle is cut off after 4096 replacements; the
  // graph of values is only looked at when an expansion gets that far. The
  // hard limits also guard texts whose markers only form across a value's
  // edge.
  const size_t cycleCheck = 4096;
  const size_t limit = 1000000;
  const size_t maxLength = 16 * 1024 * 1024;
  std::string result = text;
  for (size_t count = 0; count < limit && result.size() < maxLength; ++count) {
    if (count == cycleCheck && ReachesCycle(text, value)) break;
    const size_t at = result.find(kMarker);
    if (at == std::string::npos) break;
    const std::string numberText = result.substr(at + kMarker.size(), 2);
    result.replace(at, kMarker.size() + numberText.size(), value(TokenNumber(numberText)));
  }
  return result;
}

std::string DisplayForm(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '&') out += '&';
  }
  return out;
}

std::string SizeShortForm(uint64_t size) {
  static const char kUnits[] = {'K', 'M', 'G', 'T'};
  int divisions = 0;
  uint64_t divisor = 1;
  while (size / divisor >= 1024 && divisions < 4) {
    divisor *= 1024;
    ++divisions;
  }
  const uint64_t whole = size / divisor;
  const uint64_t hundredths = size % divisor * 100 / divisor;  // cut, not rounded
  std::string out = Decimal(static_cast<int64_t>(whole));
  if (divisions > 0 && hundredths != 0) {
    std::string decimals = {static_cast<char>('0' + hundredths / 10),
                            static_cast<char>('0' + hundredths % 10)};
    if (decimals[1] == '0') decimals.pop_back();
    out += "." + decimals;
  }
  if (divisions > 0) out += kUnits[divisions - 1];
  return out;
}

std::string ShortenPath(const std::string& path, int width,
                        const std::function<int(const std::string&)>& measure) {
  if (path.find('\\') == std::string::npos) return path;
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = path.find('\\', start)) != std::string::npos; start = at + 1) {
    parts.push_back(path.substr(start, at - start));
  }
  if (start < path.size()) parts.push_back(path.substr(start));
  const std::string name = parts.back();
  parts.pop_back();
  std::string prefix;
  size_t next = 0;
  while (measure(prefix + name) < width && next < parts.size()) {
    prefix += parts[next++] + "\\";
  }
  return next == parts.size() ? prefix + name : prefix + "..\\" + name;
}

}  // namespace qb
