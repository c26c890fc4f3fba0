#include "uninstall/removal_rules.h"

#include <algorithm>

#include "cab/safe_name.h"
#include "text/text.h"

namespace qb {

namespace {

std::string Normalised(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

size_t Depth(const std::string& path) { return std::count(path.begin(), path.end(), '\\'); }

}  // namespace

bool SamePath(const std::string& a, const std::string& b) {
  return UpperAscii(Normalised(a)) == UpperAscii(Normalised(b));
}

std::vector<std::string> FoldersDeepestFirst(const std::vector<std::string>& folders) {
  std::vector<std::string> out;
  for (const std::string& folder : folders) {
    const std::string path = Normalised(folder);
    // A root ("C:" or "\\server\share") is never a candidate.
    const bool share = path.compare(0, 2, "\\\\") == 0;
    if (Depth(path) < (share ? 4u : 1u) || !IsSafeFolderPath(path)) continue;
    const bool seen = std::any_of(out.begin(), out.end(),
                                  [&](const std::string& o) { return SamePath(o, path); });
    if (!seen) out.push_back(path);
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
  return out;
}

std::vector<std::string> FoldersInside(const std::string& path, const std::string& root) {
  std::vector<std::string> out;
  const std::string base = Normalised(root);
  std::string folder = Normalised(path);
  if (base.empty()) return out;
  const std::string prefix = UpperAscii(base) + "\\";
  for (size_t cut; (cut = folder.rfind('\\')) != std::string::npos;) {
    folder.erase(cut);
    if (UpperAscii(folder).compare(0, prefix.size(), prefix) != 0) break;
    out.push_back(folder);
  }
  return out;
}

std::vector<std::string> RegistryKeysToTry(const std::string& key) {
  std::string path = Normalised(key);
  path.erase(0, path.find_first_not_of('\\') == std::string::npos ? path.size()
                                                                  : path.find_first_not_of('\\'));
  std::vector<std::string> out;
  if (path.empty()) return out;
  out.push_back(path);
  const std::string upper = UpperAscii(path) + "\\";
  for (const char* system : {"SOFTWARE\\MICROSOFT\\", "SOFTWARE\\CLASSES\\", "SOFTWARE\\POLICIES\\",
                             "SOFTWARE\\WOW6432NODE\\", "SYSTEM\\"}) {
    if (upper.compare(0, std::char_traits<char>::length(system), system) == 0) return out;
  }
  for (size_t cut; Depth(path) >= 2 && (cut = path.rfind('\\')) != std::string::npos;) {
    path.erase(cut);
    out.push_back(path);
  }
  return out;
}

UninstallerOptions ParseUninstallerOptions(const std::string& parameters) {
  UninstallerOptions options;
  for (const std::string& p : SplitParameters(parameters)) {
    const std::string upper = UpperAscii(p);
    const auto value = [&](const char* name) -> const char* {
      const size_t n = std::char_traits<char>::length(name);
      return upper.compare(0, n, name) == 0 ? p.c_str() + n : nullptr;
    };
    const auto number = [](const char* text) {
      const int64_t n = ReadNumber(text);
      return n > 0 ? static_cast<uint64_t>(n) : 0;
    };
    if (upper == "/S") {
      options.silent = true;
    } else if (const char* v = value("/ORIGINAL=")) {
      options.original = v;
    } else if (const char* v = value("/PARENT=")) {
      options.parent = number(v);
    } else if (const char* v = value("/RESULT=")) {
      options.resultPipe = number(v);
    }
  }
  return options;
}

}  // namespace qb
