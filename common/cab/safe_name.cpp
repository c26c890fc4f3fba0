#include "cab/safe_name.h"

#include <vector>

#include "text/text.h"

namespace qb {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Device names stay devices whatever extension follows them, and Windows
// also ignores blanks before that extension ("NUL .txt"). The superscript
// digits of the ANSI code page count as digits for COM and LPT.
bool IsDeviceName(const std::string& component) {
  std::string base = UpperAscii(component.substr(0, component.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (const char* name : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (base == name) return true;
  }
  if (base.size() == 4) {
    const std::string stem = base.substr(0, 3);
    const unsigned char digit = static_cast<unsigned char>(base[3]);
    const bool isDigit =
        (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    if (isDigit && (stem == "COM" || stem == "LPT")) return true;
  }
  return false;
}

// Splits at either separator; empty components are kept so that they can be
// refused.
std::vector<std::string> Components(const std::string& path, size_t from) {
  std::vector<std::string> parts;
  size_t start = from;
  for (size_t i = from; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

bool AllComponentsSafe(const std::string& path, size_t from) {
  for (const std::string& part : Components(path, from)) {
    if (!IsSafePathComponent(part)) return false;
  }
  return true;
}

}  // namespace

bool IsForbiddenNameCharacter(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u < 32 || u == 127) return true;
  switch (c) {
    case '<':
    case '>':
    case '"':
    case '|':
    case '?':
    case '*':
    case ':':
    case '\\':
    case '/':
      return true;
    default:
      return false;
  }
}

ComponentProblem PathComponentProblem(const std::string& component) {
  if (component.empty()) return ComponentProblem::kEmpty;
  if (component.find_first_not_of('.') == std::string::npos) return ComponentProblem::kDotsOnly;
  if (component.back() == '.' || component.back() == ' ') {
    return ComponentProblem::kTrailingDotOrBlank;
  }
  for (char c : component) {
    if (IsForbiddenNameCharacter(c)) return ComponentProblem::kForbiddenCharacter;
  }
  return IsDeviceName(component) ? ComponentProblem::kDeviceName : ComponentProblem::kNone;
}

bool IsSafePathComponent(const std::string& component) {
  return PathComponentProblem(component) == ComponentProblem::kNone;
}

std::string NormalisedCabinetName(const std::string& name) {
  // A leading separator makes the name absolute: its first component is
  // empty and refused.
  if (!AllComponentsSafe(name, 0)) return std::string();
  std::string out = name;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

bool JoinCabinetName(const std::string& folder, const std::string& name, std::string& joined) {
  const std::string relative = NormalisedCabinetName(name);
  if (relative.empty()) return false;
  std::string path = folder;
  if (!path.empty() && !IsSeparator(path.back())) path += '\\';
  path += relative;
  if (path.size() > kMaxPathLength) return false;
  joined = path;
  return true;
}

bool IsSafeDestinationPath(const std::string& path) {
  if (path.size() > kMaxPathLength) return false;
  size_t rest = 0;
  const char drive = path.empty() ? '\0' : UpperAscii(path.substr(0, 1))[0];
  if (path.size() >= 3 && drive >= 'A' && drive <= 'Z' && path[1] == ':' && IsSeparator(path[2])) {
    rest = 3;
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // A share: the server and the share name are components like any other.
    const std::vector<std::string> parts = Components(path, 2);
    if (parts.size() < 3) return false;
    rest = 2;
  } else {
    return false;
  }
  return AllComponentsSafe(path, rest);
}

bool IsSafeFolderPath(const std::string& path) {
  size_t end = path.size();
  while (end > 3 && IsSeparator(path[end - 1])) --end;
  return IsSafeDestinationPath(path.substr(0, end));
}

}  // namespace qb
