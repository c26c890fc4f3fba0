#include "uninstall/removal_rules.h"

#include <algorithm>

#include "cab/safe_name.h"
#include "text/sha256.h"
#include "text/text.h"

namespace qb {

namespace {

std::string Normalised(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

size_t Depth(const std::string& path) { return std::count(path.begin(), path.end(), '\\'); }

// A folder path with a part below its drive or share root: "C:\\x",
// "\\\\server\\share\\x" (normalised).
bool BelowRoot(const std::string& path) {
  const bool share = path.compare(0, 2, "\\\\") == 0;
  return Depth(path) >= (share ? 4u : 1u);
}

// A registry key in capitals with one "\\" between its parts: separators
// at either end and doubled ones are dropped, as the registry reads them.
std::string CanonicalKey(const std::string& key) {
  std::string out;
  size_t start = 0;
  while (start <= key.size()) {
    size_t end = key.find('\\', start);
    if (end == std::string::npos) end = key.size();
    if (end > start) {
      if (!out.empty()) out += '\\';
      out += UpperAscii(key.substr(start, end - start));
    }
    start = end + 1;
  }
  return out;
}

// Whether a canonical key is tree or lies below it.
bool Within(const std::string& key, const std::string& tree) {
  return key.size() >= tree.size() && key.compare(0, tree.size(), tree) == 0 &&
         (key.size() == tree.size() || key[tree.size()] == '\\');
}

// What follows tree and its separator in key (which lies within tree).
std::string Below(const std::string& key, const std::string& tree) {
  return key.size() > tree.size() ? key.substr(tree.size() + 1) : std::string();
}

std::string FirstPart(const std::string& key) { return key.substr(0, key.find('\\')); }

// Removals among the classes (HKCR, or Software\\Classes), key canonical.
bool ClassRemovalAllowed(const std::string& key) {
  if (key.empty()) return false;
  for (const char* list : {"CLSID", "INTERFACE", "TYPELIB", "APPID"}) {
    if (key == list) return false;
  }
  // The classes Windows starts programs and opens files and folders by.
  static const char* const kSystemClasses[] = {"*",
                                               ".EXE",
                                               "EXEFILE",
                                               ".COM",
                                               "COMFILE",
                                               ".BAT",
                                               "BATFILE",
                                               ".CMD",
                                               "CMDFILE",
                                               ".LNK",
                                               "LNKFILE",
                                               ".PIF",
                                               "PIFFILE",
                                               ".SCR",
                                               "SCRFILE",
                                               ".MSI",
                                               "MSI.PACKAGE",
                                               ".DLL",
                                               "DLLFILE",
                                               ".REG",
                                               "REGFILE",
                                               ".VBS",
                                               "VBSFILE",
                                               ".JS",
                                               "JSFILE",
                                               ".HTA",
                                               "HTAFILE",
                                               "DIRECTORY",
                                               "FOLDER",
                                               "DRIVE",
                                               "ALLFILESYSTEMOBJECTS",
                                               "UNKNOWN",
                                               "HTTP",
                                               "HTTPS",
                                               "HTMLFILE"};
  const std::string name = FirstPart(key);
  const bool system = std::any_of(std::begin(kSystemClasses), std::end(kSystemClasses),
                                  [&](const char* c) { return name == c; });
  if (!system) return true;
  const std::string rest = Below(key, name);
  // Handlers and verbs of their own that applications add.
  if (Within(rest, "SHELLEX")) return rest != "SHELLEX";
  if (Within(rest, "SHELL") && rest != "SHELL") {
    const std::string verb = FirstPart(Below(rest, "SHELL"));
    return verb != "OPEN" && verb != "RUNAS" && verb != "RUNASUSER";
  }
  return false;
}

constexpr char kUninstallTree[] = "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL";

// Removals below HKLM, HKCU, HKCC or an account of HKU, key canonical.
bool MachineRemovalAllowed(int64_t root, std::string key,
                           const std::vector<RegistryKeyName>& ownEntries) {
  if (key.empty()) return false;
  // The 32-bit view of the same tree.
  if (Within(key, "SOFTWARE\\WOW6432NODE")) key = "SOFTWARE" + key.substr(20);
  if (Within(key, "SOFTWARE\\CLASSES")) return ClassRemovalAllowed(Below(key, "SOFTWARE\\CLASSES"));
  static const char* const kSystemTrees[] = {
      "SYSTEM",
      "SAM",
      "SECURITY",
      "HARDWARE",
      "SOFTWARE\\POLICIES",
      "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\POLICIES",
      "SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON",
      "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELL FOLDERS",
      "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\USER SHELL FOLDERS",
      "SOFTWARE\\MICROSOFT\\SYSTEMCERTIFICATES",
  };
  for (const char* tree : kSystemTrees) {
    if (Within(key, tree)) return false;
  }
  static const char* const kSystemKeys[] = {
      "SOFTWARE",
      "SOFTWARE\\MICROSOFT",
      "SOFTWARE\\MICROSOFT\\WINDOWS",
      "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION",
      "SOFTWARE\\MICROSOFT\\WINDOWS NT",
      "SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION",
  };
  for (const char* system : kSystemKeys) {
    if (key == system) return false;
  }
  if (Within(key, kUninstallTree)) {
    const std::string entry = CanonicalKey(UninstallEntryOf(key));
    return !entry.empty() &&
           std::any_of(ownEntries.begin(), ownEntries.end(), [&](const RegistryKeyName& own) {
             return own.first == root && CanonicalKey(own.second) == entry;
           });
  }
  return true;
}

}  // namespace

int CopyExitCode(const std::string& received) {
  if (received.size() != 4) return kUninstallCopyLost;
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(received[i]);
  switch (value) {
    case kUninstallDone:
    case kUninstallNoLog:
    case kUninstallCancelled:
    case kUninstallLeftBehind:
    case kUninstallRestart:
      return static_cast<int>(value);
    default:
      return kUninstallCopyLost;
  }
}

std::string UninstallStringProgram(const std::string& uninstallString) {
  if (uninstallString.empty() || uninstallString[0] != '"') return uninstallString;
  const size_t end = uninstallString.find('"', 1);
  return end == std::string::npos ? std::string() : uninstallString.substr(1, end - 1);
}

FingerprintCheck CheckLogFingerprint(const LogFingerprint& fingerprint, const std::string& log) {
  if (!fingerprint.sizePresent && !fingerprint.sha256Present) return FingerprintCheck::kNone;
  const bool matches = fingerprint.sizePresent && fingerprint.sha256Present &&
                       fingerprint.size == Decimal(static_cast<int64_t>(log.size())) &&
                       fingerprint.sha256 == Sha256Hex(log.data(), log.size());
  return matches ? FingerprintCheck::kMatches : FingerprintCheck::kDiffers;
}

std::string UninstallEntryOf(const std::string& key) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= key.size() && parts.size() < 6) {
    size_t end = key.find('\\', start);
    if (end == std::string::npos) end = key.size();
    if (end > start) parts.push_back(key.substr(start, end - start));
    start = end + 1;
  }
  if (parts.size() < 6) return std::string();
  std::string entry = parts[0];
  for (size_t i = 1; i < 6; ++i) entry += "\\" + parts[i];
  return Within(CanonicalKey(entry), kUninstallTree) ? entry : std::string();
}

bool RegistryRemovalAllowed(int64_t root, const std::string& key,
                            const std::vector<RegistryKeyName>& ownEntries) {
  const std::string canonical = CanonicalKey(key);
  switch (root) {
    case 0:  // HKEY_CLASSES_ROOT
      return ClassRemovalAllowed(canonical);
    case 1:  // HKEY_CURRENT_USER
    case 2:  // HKEY_LOCAL_MACHINE
    case 5:  // HKEY_CURRENT_CONFIG
      return MachineRemovalAllowed(root, canonical, ownEntries);
    case 3: {  // HKEY_USERS: an account's tree, or its classes
      const std::string account = FirstPart(canonical);
      const std::string rest = Below(canonical, account);
      const std::string classes = "_CLASSES";
      const bool isClasses =
          account.size() > classes.size() &&
          account.compare(account.size() - classes.size(), classes.size(), classes) == 0;
      if (account.empty() || rest.empty()) return false;
      return isClasses ? ClassRemovalAllowed(rest) : MachineRemovalAllowed(root, rest, ownEntries);
    }
    default:
      return false;
  }
}

bool InsideFolders(const std::string& path, const std::vector<std::string>& folders) {
  const std::string upper = UpperAscii(Normalised(path));
  return std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
    const std::string prefix = UpperAscii(Normalised(folder)) + "\\";
    return prefix.size() > 1 && upper.size() > prefix.size() &&
           upper.compare(0, prefix.size(), prefix) == 0;
  });
}

BoundsCheck CheckRemovalBounds(const UninstallLog& log, const RemovalBounds& bounds) {
  BoundsCheck check;
  // Too wide to be a root: not a safe full folder path below a drive or
  // share root, one of the system's folders or holding one, or inside a
  // closed folder.
  const auto tooWide = [&](const std::string& folder) {
    const std::string path = Normalised(folder);
    if (!IsSafeFolderPath(path) || !BelowRoot(path)) return true;
    for (const std::string& system : bounds.systemFolders) {
      if (!system.empty() && (SamePath(system, path) || InsideFolders(system, {path}))) return true;
    }
    for (const std::string& closed : bounds.closedFolders) {
      if (!closed.empty() && (SamePath(closed, path) || InsideFolders(path, {closed}))) return true;
    }
    return false;
  };
  const auto outside = [&](const std::string& what) {
    check.inside = false;
    check.outside = what;
    check.roots.clear();
    return check;
  };

  const std::string destination = log.Setting(18);
  if (tooWide(destination)) return outside("the destination folder \"" + destination + "\"");
  if (!bounds.installLocation.empty() && !SamePath(destination, bounds.installLocation)) {
    return outside("the destination folder \"" + destination +
                   "\", which is not the InstallLocation \"" + bounds.installLocation + "\"");
  }
  check.roots.push_back(Normalised(destination));
  for (const std::string& folder : log.folders) {
    if (tooWide(folder)) return outside("the folder \"" + folder + "\"");
    check.roots.push_back(Normalised(folder));
  }
  for (const std::string& folder : bounds.shellRoots) {
    const std::string path = Normalised(folder);
    if (IsSafeFolderPath(path) && BelowRoot(path)) check.roots.push_back(path);
  }
  for (const std::string& folder : bounds.ownFolders) {
    if (!tooWide(folder)) check.roots.push_back(Normalised(folder));
  }
  // Each root once.
  std::vector<std::string> roots;
  for (const std::string& root : check.roots) {
    if (std::none_of(roots.begin(), roots.end(),
                     [&](const std::string& r) { return SamePath(r, root); }))
      roots.push_back(root);
  }
  check.roots.swap(roots);

  const auto inRoots = [&](const std::string& path) {
    return IsSafeDestinationPath(path) && (bounds.proven || InsideFolders(path, check.roots));
  };
  for (const std::string& file : log.files) {
    if (!inRoots(file)) return outside("the file \"" + file + "\"");
  }
  for (const std::string& file : log.components) {
    if (!inRoots(file)) return outside("the component \"" + file + "\"");
  }
  for (const LoggedFont& font : log.fonts) {
    if (!inRoots(font.file)) return outside("the font file \"" + font.file + "\"");
  }
  for (const LoggedIniEntry& entry : log.ini) {
    if (!IsSafeDestinationPath(entry.file)) return outside("the INI file \"" + entry.file + "\"");
  }
  static const char* const kRootNames[] = {"HKCR", "HKCU", "HKLM", "HKU", "HKPD", "HKCC"};
  for (const LoggedRegistryValue& value : log.registry) {
    if (!RegistryRemovalAllowed(value.root, value.key, bounds.ownEntries)) {
      const bool named = value.root >= 0 && value.root < 6;
      return outside("the registry key " +
                     (named ? std::string(kRootNames[value.root]) : "#" + Decimal(value.root)) +
                     "\\" + value.key);
    }
  }
  check.inside = true;
  return check;
}

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
    } else if (const char* v = value("/KEEP=")) {
      options.keep = number(v);
    }
  }
  return options;
}

}  // namespace qb
