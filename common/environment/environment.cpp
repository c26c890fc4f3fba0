#include "environment/environment.h"

#include "text/text.h"

namespace qb {

int WindowsClass(bool ntFamily, unsigned major, unsigned minor) {
  if (!ntFamily) {
    if (major < 4) return 0;
    const unsigned version = major * 100 + minor;
    if (version < 410) return 1;
    if (version < 490) return 2;
    return 3;
  }
  if (major < 5) return 4;
  if (major == 5) return minor == 0 ? 5 : minor == 1 ? 6 : 7;
  return 8;
}

bool ExcludedClass(int64_t mask, int windowsClass) {
  return windowsClass >= 0 && windowsClass < 63 && ((mask >> windowsClass) & 1) != 0;
}

namespace {

// 10 to the power of a non-negative exponent, by squaring; exact up to 10^22
// like the library's pow, and without pulling the maths library into the stub.
double PowerOfTen(int64_t exponent) {
  double result = 1;
  double factor = 10;
  for (; exponent > 0; exponent >>= 1) {
    if (exponent & 1) result *= factor;
    factor *= factor;
  }
  return result;
}

}  // namespace

double ReadVersionNumber(const std::string& text) {
  double value = 0;
  double weight = 0.1;
  bool fraction = false;
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      if (fraction) {
        value += (c - '0') * weight;
        weight /= 10;
      } else {
        value = value * 10 + (c - '0');
      }
    } else if (c == '.') {
      if (fraction) break;
      fraction = true;
    } else if (c == 'E' || c == 'e') {
      // The exponent is held within what a double can show.
      int64_t exponent = ReadNumber(text.substr(i + 1));
      if (exponent > 400) exponent = 400;
      if (exponent < -400) exponent = -400;
      value = exponent < 0 ? value / PowerOfTen(-exponent) : value * PowerOfTen(exponent);
      break;
    }
  }
  return negative ? -value : value;
}

double InstalledDotNetVersion(const std::vector<std::string>& policySubkeys) {
  double best = 0;
  for (const std::string& name : policySubkeys) {
    if (name.empty() || (name[0] != 'v' && name[0] != 'V')) continue;
    if (name.find('.') == std::string::npos) continue;
    const double version = ReadVersionNumber(name.substr(1));
    if (version > best) best = version;
  }
  return best;
}

bool DotNetSatisfies(double required, double installed, bool atLeast) {
  return atLeast ? !(installed < required) : installed == required;
}

bool TitleHoldsTarget(const std::string& title, const std::string& target) {
  if (title.empty()) return false;
  const std::string upper = UpperAscii(title);
  return upper.find(UpperAscii(target)) != std::string::npos &&
         upper.find("QUILLBOX") == std::string::npos;
}

bool ProcessIsTarget(const std::string& executablePath, const std::string& target) {
  const size_t cut = executablePath.find_last_of("\\/:");
  const std::string name =
      cut == std::string::npos ? executablePath : executablePath.substr(cut + 1);
  return UpperAscii(name) == UpperAscii(target);
}

}  // namespace qb
