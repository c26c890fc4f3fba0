#include "text/text.h"

namespace qb {

int64_t ReadNumber(const std::string& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulated as a magnitude; once it passes the largest value it stays
  // there, so the sign can still be applied without overflow.
  constexpr uint64_t kMax = static_cast<uint64_t>(INT64_MAX);
  constexpr uint64_t kMaxTenth = kMax / 10;
  constexpr unsigned kMaxLastDigit = kMax % 10;
  uint64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const unsigned digit = static_cast<unsigned>(text[i] - '0');
    const bool beyond = value > kMaxTenth || (value == kMaxTenth && digit > kMaxLastDigit);
    value = beyond ? kMax : value * 10 + digit;
  }
  const int64_t magnitude = static_cast<int64_t>(value);
  return negative ? -magnitude : magnitude;
}

int64_t SaturatingAdd(int64_t a, int64_t b) {
  if (b > 0 && a > INT64_MAX - b) return INT64_MAX;
  if (b < 0 && a < INT64_MIN - b) return INT64_MIN;
  return a + b;
}

int64_t SaturatingMultiply(int64_t a, int64_t b) {
  int64_t product = 0;
  if (!__builtin_mul_overflow(a, b, &product)) return product;
  return (a < 0) == (b < 0) ? INT64_MAX : INT64_MIN;
}

std::string EscapeControls(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 32 && u != 127) {
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += "\\x";
      out += kHex[u >> 4];
      out += kHex[u & 15];
    }
  }
  return out;
}

std::string Decimal(int64_t value) {
  char digits[24];
  int n = 0;
  uint64_t v = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits[n++] = static_cast<char>('0' + DivideInPlace(v, 10));
  } while (v);
  std::string text = value < 0 ? "-" : "";
  while (n) text += digits[--n];
  return text;
}

uint32_t DivideInPlace(uint64_t& value, uint16_t divisor) {
  // Long division in digits of 32 and 16 bits: each partial dividend is
  // below divisor * 2^16, so it fits 32 bits and its quotient 16 bits.
  const uint32_t high = static_cast<uint32_t>(value >> 32);
  const uint32_t low = static_cast<uint32_t>(value);
  const uint32_t upper = ((high % divisor) << 16) | (low >> 16);
  const uint32_t lower = ((upper % divisor) << 16) | (low & 0xffff);
  value =
      (static_cast<uint64_t>(high / divisor) << 32) | ((upper / divisor) << 16) | (lower / divisor);
  return lower % divisor;
}

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string PasswordForm(const std::string& password) {
  const uint32_t n = static_cast<uint32_t>(password.size());
  std::string form(password.size(), '\0');
  uint32_t sum = 0;
  for (uint32_t i = 1; i <= n; ++i) {
    const uint32_t code = static_cast<unsigned char>(password[i - 1]);
    sum = sum + code + (n - i) * sum;
    uint32_t value = code * sum + i;
    do {
      value %= 90;
      if (value < 48) value += 48;
    } while (value < 48 || value > 90);
    form[i - 1] = static_cast<char>(value);
  }
  return form;
}

namespace {
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }
}  // namespace

std::vector<std::string> SplitParameters(const std::string& line) {
  std::vector<std::string> result;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) break;
    std::string param;
    while (i < line.size() && !IsBlank(line[i])) {
      if (line[i] == '"') {
        // A quoted part runs to the next quote or the end of the line.
        param += line[i++];
        while (i < line.size() && line[i] != '"') param += line[i++];
        if (i < line.size()) param += line[i++];
      } else {
        param += line[i++];
      }
    }
    if (param == "\"\"") continue;  // an empty quoted pair is skipped
    if (param.size() >= 2 && param.front() == '"' && param.back() == '"') {
      param = param.substr(1, param.size() - 2);
    }
    result.push_back(param);
  }
  return result;
}

std::string SkipProgramName(const std::string& line) {
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  bool quoted = false;
  while (i < line.size()) {
    if (line[i] == '"') {
      quoted = !quoted;
    } else if (!quoted && IsBlank(line[i])) {
      break;
    }
    ++i;
  }
  return line.substr(i);
}

std::vector<uint8_t> HexPairs(const std::string& text) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    size_t at = i;
    const size_t end = i + 2;
    if (text[at] == '$') ++at;
    unsigned value = 0;
    for (; at < end; ++at) {
      const char c = text[at];
      const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
      if (digit < 0) break;
      value = value * 16 + static_cast<unsigned>(digit);
    }
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return bytes;
}

std::string LongPathForm(const std::string& typed,
                         const std::function<std::string(const std::string&)>& displayName) {
  std::string result;
  size_t start = 0;
  while (start < typed.size()) {
    size_t end = typed.find('\\', start);
    if (end == std::string::npos) end = typed.size();
    const std::string component = typed.substr(start, end - start);
    start = end + 1;
    if (!result.empty()) result += '\\';
    if (result.empty() && component.size() == 2 && component[1] == ':') {
      result = component;
      continue;
    }
    const std::string shown = displayName(result + component);
    result += shown.empty() ? component : shown;
  }
  if (result.find('.') == std::string::npos) {
    const size_t dot = typed.rfind('.');
    if (dot != std::string::npos) result += typed.substr(dot);
  }
  return result;
}

std::string BrowsedDestination(const std::string& picked, const std::string& defaultDestination,
                               const std::string& subfolder) {
  std::string path = picked;
  const bool inside =
      path.size() >= defaultDestination.size() &&
      UpperAscii(path.substr(0, defaultDestination.size())) == UpperAscii(defaultDestination);
  if (subfolder.empty() || inside) {
    if (!path.empty() && path.back() == '\\') path.pop_back();
  } else {
    if (path.empty() || path.back() != '\\') path += '\\';
    path += subfolder;
  }
  if (path.size() == 2) path += '\\';
  return path;
}

std::string ByteSizeText(uint64_t bytes) {
  if (bytes < 1024) return Decimal(static_cast<int64_t>(bytes)) + (bytes == 1 ? " byte" : " bytes");
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
  for (int k = 0; k < 6; ++k) {
    // The size in the unit below (bytes for KB), cut to whole ones; the
    // rest is below a thousandth of the unit shown.
    const uint64_t below = bytes >> (10 * k);
    if (below >= (1u << 20) && k < 5) continue;  // 1024 units or more
    const uint32_t tenths = static_cast<uint32_t>((below * 10 + 512) >> 10);
    if (tenths >= 10240 && k < 5) continue;  // rounds to 1024.0
    return Decimal(tenths / 10) + "." + static_cast<char>('0' + tenths % 10) + " " + kUnits[k];
  }
  return std::string();  // not reached: every size is below 16 EB
}

std::string ParentFolder(const std::string& path) {
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  std::string s = path;
  while (s.size() > 1 && separator(s.back()) && !(s.size() == 3 && s[1] == ':')) s.pop_back();
  if (s.size() >= 2 && s.size() <= 3 && s[1] == ':') return std::string();  // a drive's root
  const size_t at = s.find_last_of("\\/");
  if (at == std::string::npos || at == 0) return std::string();
  if (s.size() >= 2 && separator(s[0]) && separator(s[1])) {
    // "\\server\share" is a root: its folders come after a third separator.
    const size_t first = s.find_first_of("\\/", 2);
    if (first == std::string::npos || first >= at) return std::string();
  }
  std::string parent = s.substr(0, at);
  if (parent.size() == 2 && parent[1] == ':') parent += '\\';
  return parent;
}

}  // namespace qb
