// Reading a manifest (TOML) into a Project.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#define TOML_EXCEPTIONS 1
#include <toml++/toml.h>

#include "drawing/drawing.h"
#include "messages.h"
#include "package/support_files.h"
#include "path_checks.h"
#include "project.h"
#include "settings_table.h"
#include "text/text.h"
#include "text_convert.h"
#include "variables.h"

namespace fs = std::filesystem;

namespace tool {

namespace {

int EditDistance(const std::string& a, const std::string& b) {
  std::vector<int> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j);
  for (size_t i = 1; i <= a.size(); ++i) {
    int prev = row[0];
    row[0] = static_cast<int>(i);
    for (size_t j = 1; j <= b.size(); ++j) {
      const int keep = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, prev + (a[i - 1] == b[j - 1] ? 0 : 1)});
      prev = keep;
    }
  }
  return row[b.size()];
}

std::string Suggest(const std::string& key, const std::vector<std::string>& known) {
  std::string best;
  int bestDistance = 3;
  for (const auto& k : known) {
    const int d = EditDistance(key, k);
    if (d < bestDistance) bestDistance = d, best = k;
  }
  return best.empty() ? "" : " (did you mean \"" + best + "\"?)";
}

// A file's time as the installer records it: with SOURCE_DATE_EPOCH set (the
// reproducible-builds convention), no time later than it, so that a fresh
// checkout of the same files builds the same installer.
int64_t ReproducibleTime(int64_t mtime) {
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  if (!epoch || !*epoch) return mtime;
  char* end = nullptr;
  const long long limit = std::strtoll(epoch, &end, 10);
  if (*end != '\0' || limit < 0) return mtime;
  return mtime > limit ? limit : mtime;
}

// A literal text as a manifest text: braces doubled.
std::string EscapeBraces(const std::string& text) {
  std::string s;
  for (char c : text) s += c == '{' ? "{{" : c == '}' ? "}}" : std::string(1, c);
  return s;
}

class Loader {
 public:
  Loader(std::string path, std::string uninstallerPath)
      : path_(std::move(path)), uninstallerPath_(std::move(uninstallerPath)) {
    base_ = fs::absolute(fs::path(path_)).parent_path();
  }
  Project Load();

 private:
  [[noreturn]] void Fail(const toml::node* node, const std::string& reason) const {
    throw ManifestError(path_, node ? static_cast<int>(node->source().begin.line) : 0, reason);
  }
  void CheckKeys(const toml::table& t, const std::string& where,
                 const std::vector<std::string>& allowed) const;
  const toml::table& Table(const toml::node& n, const std::string& where) const;
  std::vector<const toml::table*> Array(const toml::table& root, const std::string& key) const;
  std::string String(const toml::table& t, const std::string& key, const std::string& def,
                     bool required = false) const;
  int64_t Integer(const toml::table& t, const std::string& key, int64_t def) const;
  bool Bool(const toml::table& t, const std::string& key, bool def) const;
  // A text for the package: converted to ANSI, variables translated unless raw.
  std::string PackageText(const toml::table& t, const std::string& key, const std::string& def,
                          bool expanded, bool required = false) const;
  std::string Convert(const toml::node* node, const std::string& utf8, bool expanded,
                      bool allowVolume = false) const;
  std::string Path(const toml::table& t, const std::string& key, bool required) const;
  std::vector<uint8_t> ReadFile(const toml::node* node, const std::string& path) const;
  // A text or picture the installer reads whole at start-up: a warning when
  // it is large.
  void WarnIfLarge(const toml::node* node, const std::string& path, size_t size,
                   const std::string& what);
  // A Quick Launch shortcut: a warning that many systems cannot show it.
  void WarnQuickLaunch(const toml::node* node, const std::string& name);
  std::vector<std::string> RegistryDefaults() const;
  // A file's full destination: refused when the installer could never write
  // it, when it is too long on a typical machine, or when it is another
  // file's path in other letter case.
  void CheckFilePath(const toml::node* node, const std::string& path, int line);
  std::string Root(const toml::table& t) const;
  std::string Choice(const toml::table& t, const std::string& key, const std::string& def,
                     const std::vector<std::pair<std::string, int>>& choices) const;

  void LoadApp(const toml::table& root);
  void LoadPackage(const toml::table& root);
  void LoadSettings(const toml::table& root);
  void LoadPictures(const toml::table& root);
  void LoadFiles(const toml::table& root);
  void LoadFileEntry(const toml::table& entry,
                     const std::vector<std::pair<std::string, int>>& rules);
  void LoadRegistryVariables(const toml::table& root);
  void LoadLists(const toml::table& root);
  void LoadLanguages(const toml::table& root);
  void LoadUninstall(const toml::table& root);
  void LoadSigning(const toml::table& root);
  void AddUninstallEntry(const std::string& root, const std::string& key, const std::string& name,
                         const std::string& data, const char* type);
  void FillDerivedSettings();
  void Add(qb::List list, std::initializer_list<std::string> fields) {
    auto& items = project_.package.Records(list).items;
    items.insert(items.end(), fields.begin(), fields.end());
  }

  std::string path_;
  std::string uninstallerPath_;
  fs::path base_;
  Project project_;
  std::string appName_;                               // ANSI
  std::string appVersion_, appId_, publisher_, url_;  // ANSI
  bool perUser_ = false;                              // [app] privileges = "user"
  std::set<int> userSettings_;
  std::vector<std::vector<std::string>> programsInstall_, programsUninstall_;
  bool hasLicense_ = false, hasReadme_ = false;
  // Every file's path so far, by SameFileKey: the path ("/" as "\") and the
  // line of its entry.
  std::map<std::string, std::pair<std::string, int>> placed_;
};

// Pictures above this size draw a warning: the installer reads them whole
// before its first window shows. License and readme texts are streamed, but
// the installer's viewer shows only their first MiB.
constexpr size_t kLargePicture = 4u << 20;
constexpr size_t kLargeText = 1u << 20;

void Loader::WarnIfLarge(const toml::node* node, const std::string& path, size_t size,
                         const std::string& what) {
  const bool picture = what == "picture";
  if (size <= (picture ? kLargePicture : kLargeText)) return;
  char mib[32];
  // Rounded up, so that a size just over the limit does not read as the limit.
  std::snprintf(mib, sizeof mib, "%.1f",
                std::ceil(static_cast<double>(size) * 10 / (1 << 20)) / 10);
  const int line = node ? static_cast<int>(node->source().begin.line) : 0;
  project_.warnings.push_back(qb::EscapeControls(
      path_ + (line > 0 ? ":" + std::to_string(line) : "") + ": warning: the " + what + " \"" +
      path + "\" is " + mib +
      (picture ? " MiB; the installer reads it whole at start-up, before its first window shows "
                 "(keep pictures under 4 MiB)"
               : " MiB; the installer shows only its first MiB (keep license and readme texts "
                 "under 1 MiB)")));
}

// The installer makes a Quick Launch shortcut only where the user has a
// Quick Launch folder (elsewhere it leaves the shortcut out, and the Tasks
// page does not offer it), and no Windows since Vista shows a Quick Launch
// bar: the author hears of it now rather than from a user.
void Loader::WarnQuickLaunch(const toml::node* node, const std::string& name) {
  const int line = node ? static_cast<int>(node->source().begin.line) : 0;
  project_.warnings.push_back(qb::EscapeControls(
      path_ + (line > 0 ? ":" + std::to_string(line) : "") +
      ": warning: the Quick Launch shortcut \"" + name +
      "\" is left out where the user has no Quick Launch folder, and Windows 7 and later show no "
      "Quick Launch bar (a desktop or Start menu shortcut reaches every user)"));
}

std::vector<std::string> Loader::RegistryDefaults() const {
  std::vector<std::string> defaults;
  const auto& items = project_.package.Records(qb::List::kRegistryVariables).items;
  for (size_t k = 3; k < items.size(); k += 4) defaults.push_back(items[k]);
  return defaults;
}

void Loader::CheckFilePath(const toml::node* node, const std::string& path, int line) {
  const auto& regs = project_.registryVariableNames;
  std::string problem = FullPathProblem(path, regs, false);
  if (problem.empty()) {
    TypicalMachine machine(project_.package.Text(qb::kDefaultDestination), RegistryDefaults());
    problem = LengthProblem(path, machine, regs);
  }
  if (!problem.empty()) {
    Fail(node, "the file " + ShownPath(path, regs) + " can never be installed: " + problem);
  }
  std::string spelled = path;
  std::replace(spelled.begin(), spelled.end(), '/', '\\');
  const auto [at, added] = placed_.emplace(SameFileKey(path), std::make_pair(spelled, line));
  if (!added && at->second.first != spelled) {
    const int first = at->second.second;
    Fail(node, "the files " + ShownPath(at->second.first, regs) +
                   (first > 0 ? " (line " + std::to_string(first) + ")" : std::string()) + " and " +
                   ShownPath(spelled, regs) +
                   " differ only in letter case: Windows sees one file, so one would replace "
                   "the other");
  }
}

void Loader::CheckKeys(const toml::table& t, const std::string& where,
                       const std::vector<std::string>& allowed) const {
  for (const auto& [key, node] : t) {
    const std::string k(key.str());
    if (std::find(allowed.begin(), allowed.end(), k) == allowed.end()) {
      Fail(&node, "unknown key \"" + k + "\" in " + where + Suggest(k, allowed));
    }
  }
}

const toml::table& Loader::Table(const toml::node& n, const std::string& where) const {
  if (!n.is_table()) Fail(&n, where + " must be a table");
  return *n.as_table();
}

std::vector<const toml::table*> Loader::Array(const toml::table& root,
                                              const std::string& key) const {
  std::vector<const toml::table*> out;
  const toml::node* n = root.get(key);
  if (!n) return out;
  if (!n->is_array_of_tables())
    Fail(n, "\"" + key + "\" must be written as [[" + key + "]] entries");
  for (const auto& e : *n->as_array()) out.push_back(e.as_table());
  return out;
}

std::string Loader::String(const toml::table& t, const std::string& key, const std::string& def,
                           bool required) const {
  const toml::node* n = t.get(key);
  if (!n) {
    if (required) Fail(&t, "missing key \"" + key + "\"");
    return def;
  }
  if (!n->is_string()) Fail(n, "\"" + key + "\" must be a string");
  return n->as_string()->get();
}

int64_t Loader::Integer(const toml::table& t, const std::string& key, int64_t def) const {
  const toml::node* n = t.get(key);
  if (!n) return def;
  if (!n->is_integer()) Fail(n, "\"" + key + "\" must be an integer");
  return n->as_integer()->get();
}

bool Loader::Bool(const toml::table& t, const std::string& key, bool def) const {
  const toml::node* n = t.get(key);
  if (!n) return def;
  if (!n->is_boolean()) Fail(n, "\"" + key + "\" must be true or false");
  return n->as_boolean()->get();
}

std::string Loader::Convert(const toml::node* node, const std::string& utf8, bool expanded,
                            bool allowVolume) const {
  std::string ansi, bad;
  if (!Utf8ToAnsi(utf8, ansi, bad)) {
    Fail(node, "the character " + bad + " cannot be written in the Windows ANSI code page");
  }
  if (!expanded) return ansi;
  const Translation t = TranslateVariables(ansi, project_.registryVariableNames, allowVolume);
  if (!t.error.empty()) Fail(node, t.error);
  return t.text;
}

std::string Loader::PackageText(const toml::table& t, const std::string& key,
                                const std::string& def, bool expanded, bool required) const {
  const toml::node* n = t.get(key);
  const std::string value = String(t, key, def, required);
  return Convert(n ? n : &t, value, expanded);
}

std::string Loader::Path(const toml::table& t, const std::string& key, bool required) const {
  const std::string value = String(t, key, "", required);
  if (value.empty()) return value;
  return (base_ / fs::path(value)).lexically_normal().string();
}

std::vector<uint8_t> Loader::ReadFile(const toml::node* node, const std::string& path) const {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail(node, "cannot read \"" + path + "\"");
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string Loader::Root(const toml::table& t) const {
  const toml::node* n = t.get("root");
  const std::string root = String(t, "root", "", true);
  static const std::vector<std::pair<std::string, int>> kRoots = {
      {"HKCR", 0}, {"HKEY_CLASSES_ROOT", 0},  {"HKCU", 1}, {"HKEY_CURRENT_USER", 1},
      {"HKLM", 2}, {"HKEY_LOCAL_MACHINE", 2}, {"HKU", 3},  {"HKEY_USERS", 3},
      {"HKCC", 5}, {"HKEY_CURRENT_CONFIG", 5}};
  for (const auto& r : kRoots) {
    if (qb::UpperAscii(root) == r.first) return std::to_string(r.second);
  }
  Fail(n, "unknown registry root \"" + root + "\" (use HKCR, HKCU, HKLM, HKU or HKCC)");
}

std::string Loader::Choice(const toml::table& t, const std::string& key, const std::string& def,
                           const std::vector<std::pair<std::string, int>>& choices) const {
  const toml::node* n = t.get(key);
  if (n && n->is_integer()) return std::to_string(n->as_integer()->get());
  const std::string value = String(t, key, def);
  std::string known;
  for (const auto& c : choices) {
    if (value == c.first) return std::to_string(c.second);
    known += (known.empty() ? "\"" : ", \"") + c.first + "\"";
  }
  Fail(n, "\"" + key + "\" must be one of " + known);
}

void Loader::LoadApp(const toml::table& root) {
  const toml::node* n = root.get("app");
  if (!n) Fail(nullptr, "the manifest needs an [app] table with at least name and version");
  const toml::table& app = Table(*n, "[app]");
  CheckKeys(app, "[app]",
            {"name", "version", "title", "destination", "group", "password", "license", "readme",
             "id", "publisher", "url", "privileges", "icon", "copyright", "architecture"});
  auto& pkg = project_.package;
  appName_ = PackageText(app, "name", "", false, true);
  const std::string version = PackageText(app, "version", "", false, true);
  if (appName_.empty()) Fail(app.get("name"), "the application name must not be empty");
  appVersion_ = version;
  publisher_ = PackageText(app, "publisher", "", false);
  url_ = PackageText(app, "url", "", false);
  perUser_ = Choice(app, "privileges", "admin", {{"admin", 0}, {"user", 1}}) == "1";
  project_.executionLevel = perUser_ ? "asInvoker" : "requireAdministrator";
  // A package for the whole machine puts its group, desktop and Start-menu
  // shortcuts into all users' folders.
  if (!perUser_) pkg.SetText(qb::kAllUsersShortcuts, "1");
  if (Choice(app, "architecture", "x86", {{"x86", 0}, {"x64", 1}}) == "1")
    pkg.SetText(qb::kNative64, "1");
  if (const std::string icon = Path(app, "icon", false); !icon.empty()) {
    project_.icon = ReadFile(app.get("icon"), icon);
    std::vector<Resource> check;
    std::string why;
    if (!IconResources(project_.icon, u"MAINICON", 1, 0, check, why)) {
      Fail(app.get("icon"), "\"" + icon + "\" is " + why);
    }
  }
  // The version resource is Unicode: the manifest's own UTF-8 texts.
  VersionInfo& info = project_.versionInfo;
  info.productName = String(app, "name", "");
  info.version = String(app, "version", "");
  info.companyName = String(app, "publisher", "");
  info.copyright = String(app, "copyright", "");
  info.description = info.productName + " Setup";
  // The name Windows files the installed application under: the
  // application's name without the characters a registry key name or a
  // command line would trip over.
  for (char c : appName_) {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == ' ' || c == '.' || c == '-' || c == '_')
      appId_ += c;
  }
  if (appId_.empty()) appId_ = "Application";
  if (app.get("id")) {
    appId_ = PackageText(app, "id", "", false);
    if (appId_.empty() || appId_.size() > 200 ||
        appId_.find_first_of("\\/\"") != std::string::npos ||
        std::any_of(appId_.begin(), appId_.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 32; })) {
      Fail(app.get("id"), "\"id\" must be 1 to 200 characters without \\, / or quotes");
    }
  }
  const std::string nameBraced = EscapeBraces(appName_);
  pkg.SetText(qb::kInstallerTitle,
              PackageText(app, "title", nameBraced + " " + EscapeBraces(version) + " Setup", true));
  // The default destination is a folder named after the application, without
  // the characters no folder name may hold.
  pkg.SetText(qb::kDefaultDestination, PackageText(app, "destination",
                                                   std::string(perUser_ ? "{userpf}" : "{pf}") +
                                                       "\\" + EscapeBraces(FolderNameFor(appName_)),
                                                   true));
  {
    const std::string destination = pkg.Text(qb::kDefaultDestination);
    const auto& regs = project_.registryVariableNames;
    std::string problem = AppDestinationProblem(destination, regs, RegistryDefaults());
    if (problem.empty()) {
      // The folder itself must leave room for at least a short file name.
      TypicalMachine machine(destination, RegistryDefaults());
      problem = LengthProblem(destination + "\\x", machine, regs);
    }
    if (!problem.empty()) {
      Fail(app.get("destination") ? app.get("destination") : app.get("name"),
           "the destination " + ShownPath(destination, regs) +
               " cannot be the application's folder: " + problem);
    }
  }
  pkg.SetText(qb::kDefaultGroup, PackageText(app, "group", appName_, false));
  const std::string password = PackageText(app, "password", "", false);
  pkg.SetText(qb::kPassword, qb::PasswordForm(password));
  if (const std::string license = Path(app, "license", false); !license.empty()) {
    const std::vector<uint8_t> bytes = ReadFile(app.get("license"), license);
    WarnIfLarge(app.get("license"), license, bytes.size(), "license");
    project_.supportFiles[15] = bytes;
    hasLicense_ = true;
  }
  if (const std::string readme = Path(app, "readme", false); !readme.empty()) {
    project_.supportFiles[16] = ReadFile(app.get("readme"), readme);
    WarnIfLarge(app.get("readme"), readme, project_.supportFiles[16].size(), "readme");
    hasReadme_ = true;
  }
}

void Loader::LoadPackage(const toml::table& root) {
  const toml::node* n = root.get("package");
  const std::string stem = fs::path(path_).stem().string();
  project_.outputPath = (base_ / (stem + "-setup.exe")).string();
  project_.volumePattern = Convert(nullptr, stem + "-setup-{volume}.bin", true, true);
  if (!n) return;
  const toml::table& p = Table(*n, "[package]");
  CheckKeys(p, "[package]",
            {"output", "compression", "level", "lzx_window", "cabinet_size", "volume_size",
             "volume_pattern"});
  if (const std::string out = Path(p, "output", false); !out.empty()) project_.outputPath = out;
  project_.compression = static_cast<qb::cab::Compression>(
      std::stoi(Choice(p, "compression", "lzx", {{"lzx", 3}, {"mszip", 1}, {"none", 0}})));
  project_.lzxWindowBits = static_cast<int>(Integer(p, "lzx_window", qb::cab::kLzxMaxWindowBits));
  if (project_.lzxWindowBits < qb::cab::kLzxMinWindowBits ||
      project_.lzxWindowBits > qb::cab::kLzxMaxWindowBits) {
    Fail(p.get("lzx_window"), "\"lzx_window\" must be 15 to 21 (a window of 2^n bytes)");
  }
  project_.level = static_cast<int>(Integer(p, "level", 6));
  if (project_.level < 1 || project_.level > 9) Fail(p.get("level"), "\"level\" must be 1 to 9");
  const int64_t cabinet = Integer(p, "cabinet_size", 0);
  if (cabinet != 0 && (cabinet < qb::cab::kMinimumCabinetSize || cabinet > 0x7FFF0000)) {
    Fail(p.get("cabinet_size"), "\"cabinet_size\" must be 0 (one cabinet) or " +
                                    std::to_string(qb::cab::kMinimumCabinetSize) +
                                    " to 2147418112 bytes");
  }
  project_.cabinetSize = static_cast<uint32_t>(cabinet);
  const int64_t volume = Integer(p, "volume_size", 0);
  if (volume < 0 || (volume > 0 && volume < 65536)) {
    Fail(p.get("volume_size"), "\"volume_size\" must be 0 (no volumes) or at least 65536 bytes");
  }
  project_.volumeSize = static_cast<uint64_t>(volume);
  if (p.get("volume_pattern")) {
    const std::string pattern = String(p, "volume_pattern", "");
    if (pattern.find("{volume}") == std::string::npos) {
      Fail(p.get("volume_pattern"), "\"volume_pattern\" must contain {volume}");
    }
    if (pattern.find_first_of("\\/:") != std::string::npos) {
      Fail(p.get("volume_pattern"),
           "\"volume_pattern\" is a file name beside the installer, without folders");
    }
    project_.volumePattern = Convert(p.get("volume_pattern"), pattern, true, true);
  }
}

void Loader::LoadSettings(const toml::table& root) {
  const toml::node* n = root.get("settings");
  if (!n) return;
  const toml::table& s = Table(*n, "[settings]");
  std::vector<std::string> names;
  for (const auto& info : AllSettings()) {
    if (info.kind != Kind::kComputed) names.push_back(info.name);
  }
  for (const auto& [key, node] : s) {
    const std::string k(key.str());
    const SettingInfo* info = FindSetting(k);
    if (!info) Fail(&node, "unknown setting \"" + k + "\"" + Suggest(k, names));
    if (info->kind == Kind::kComputed) {
      Fail(&node, "the setting \"" + k + "\" is computed by the tool (" + info->help + ")");
    }
    std::string value;
    switch (info->kind) {
      case Kind::kFlag:
        if (!node.is_boolean()) Fail(&node, "the setting \"" + k + "\" must be true or false");
        value = node.as_boolean()->get() ? "1" : "0";
        break;
      case Kind::kNumber:
      case Kind::kColour:
        if (!node.is_integer()) Fail(&node, "the setting \"" + k + "\" must be an integer");
        value = std::to_string(node.as_integer()->get());
        if (info->kind == Kind::kColour &&
            (node.as_integer()->get() < 0 || node.as_integer()->get() > 0xFFFFFFFFll)) {
          Fail(&node, "the colour \"" + k +
                          "\" must be 0x00BBGGRR or 0x80000000 plus a system colour index");
        }
        break;
      default:
        if (!node.is_string()) Fail(&node, "the setting \"" + k + "\" must be a string");
        value = Convert(&node, node.as_string()->get(), info->kind == Kind::kExpanded);
        break;
    }
    project_.package.SetText(info->index, value);
    userSettings_.insert(info->index);
  }
}

// A picture is one BMP file, or a list of them: the picture for 96 DPI
// first, then larger forms of it for larger scales (header = ["h100.bmp",
// "h150.bmp", "h200.bmp"]). A list of one is the same as its one string.
// Only the wizard's pictures take more forms; the background window is not
// scaled and takes one.
void Loader::LoadPictures(const toml::table& root) {
  const toml::node* n = root.get("pictures");
  if (!n) return;
  const toml::table& p = Table(*n, "[pictures]");
  const std::vector<std::pair<std::string, int>> kPictures = {
      {"header", 4},           {"side", 5},       {"background", 6},
      {"destination_icon", 7}, {"tasks_icon", 8}, {"password_icon", 9}};
  std::vector<std::string> names;
  for (const auto& pic : kPictures) names.push_back(pic.first);
  CheckKeys(p, "[pictures]", names);
  for (const auto& pic : kPictures) {
    const toml::node* node = p.get(pic.first);
    if (!node) continue;
    // Each form's node (for file and line) and its path.
    std::vector<std::pair<const toml::node*, std::string>> forms;
    if (const toml::array* list = node->as_array()) {
      const int most = qb::HasPictureForms(pic.second) ? qb::kMaxPictureForms : 1;
      if (list->empty()) Fail(node, "\"" + pic.first + "\" lists no picture");
      if (list->size() > static_cast<size_t>(most)) {
        Fail(node, "\"" + pic.first + "\" lists " + std::to_string(list->size()) +
                       " pictures; it takes at most " + std::to_string(most));
      }
      for (const toml::node& entry : *list) {
        if (!entry.is_string() || entry.as_string()->get().empty()) {
          Fail(&entry, "each picture of \"" + pic.first + "\" must be a file name");
        }
        forms.emplace_back(
            &entry, (base_ / fs::path(entry.as_string()->get())).lexically_normal().string());
      }
    } else {
      if (!node->is_string()) {
        Fail(node, "\"" + pic.first + "\" must be a file name or a list of file names");
      }
      const std::string path = Path(p, pic.first, false);
      if (path.empty()) continue;
      forms.emplace_back(node, path);
    }
    qb::PictureSize first;
    for (size_t i = 0; i < forms.size(); ++i) {
      const toml::node* at = forms[i].first;
      const std::string& path = forms[i].second;
      std::vector<uint8_t> bytes = ReadFile(at, path);
      if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M') {
        Fail(at, "\"" + path + "\" is not a BMP picture");
      }
      WarnIfLarge(at, path, bytes.size(), "picture");
      if (forms.size() > 1) {
        // The installer picks a form by its size: each must say it.
        qb::BmpLayout layout;
        if (!qb::CheckBmpImage(bytes, layout)) {
          Fail(at, "\"" + path +
                       "\" is not a plain BMP picture (uncompressed, with a 40-byte or "
                       "longer header), which a list of pictures needs");
        }
        const int32_t height =
            static_cast<int32_t>(bytes[22] | (bytes[23] << 8) | (bytes[24] << 16) |
                                 (static_cast<uint32_t>(bytes[25]) << 24));
        const qb::PictureSize size = {
            static_cast<int>(bytes[18] | (bytes[19] << 8) | (bytes[20] << 16) |
                             (static_cast<uint32_t>(bytes[21]) << 24)),
            height < 0 ? -height : height};
        if (i == 0) {
          first = size;
        } else if (size.width < first.width || size.height < first.height ||
                   (size.width == first.width && size.height == first.height)) {
          Fail(at, "\"" + path + "\" (" + std::to_string(size.width) + " x " +
                       std::to_string(size.height) + ") is not larger than the first picture (" +
                       std::to_string(first.width) + " x " + std::to_string(first.height) +
                       "), the one for 96 DPI");
        }
      }
      if (i == 0) {
        project_.supportFiles[pic.second] = std::move(bytes);
      } else {
        project_.pictureForms[pic.second].push_back(std::move(bytes));
      }
    }
  }
}

// Matches a path relative to the base against a pattern with *, ? and **.
bool Match(const std::string& pattern, size_t p, const std::string& text, size_t t) {
  while (p < pattern.size()) {
    if (pattern.compare(p, 3, "**/") == 0) {
      for (size_t k = t; k <= text.size(); ++k) {
        if ((k == t || text[k - 1] == '/') && Match(pattern, p + 3, text, k)) return true;
      }
      return false;
    }
    if (pattern.compare(p, 2, "**") == 0) return true;
    if (pattern[p] == '*') {
      for (size_t k = t; k <= text.size(); ++k) {
        if (Match(pattern, p + 1, text, k)) return true;
        if (k < text.size() && text[k] == '/') return false;
      }
      return false;
    }
    if (t >= text.size()) return false;
    if (pattern[p] == '?' ? text[t] == '/' : pattern[p] != text[t]) return false;
    ++p;
    ++t;
  }
  return t == text.size();
}

void Loader::LoadFiles(const toml::table& root) {
  const std::vector<std::pair<std::string, int>> kRules = {
      {"ask", 0}, {"ask-if-newer", 1}, {"always", 2}, {"if-newer", 3}, {"never", 4}};
  for (const toml::table* f : Array(root, "files")) {
    try {
      LoadFileEntry(*f, kRules);
    } catch (const fs::filesystem_error& e) {
      // A path the system refuses (too long, say) is still the manifest's
      // business: its file and line are named.
      std::string shown = e.path1().string();
      if (shown.size() > 200)
        shown = shown.substr(0, 120) + "..." + shown.substr(shown.size() - 60);
      Fail(f->get("source") ? f->get("source") : f,
           std::string("cannot read the source: ") + e.code().message() +
               (shown.empty() ? std::string() : " (\"" + shown + "\")"));
    }
  }
}

void Loader::LoadFileEntry(const toml::table& entry,
                           const std::vector<std::pair<std::string, int>>& rules) {
  const toml::table* f = &entry;
  CheckKeys(*f, "[[files]]", {"source", "destination", "name", "overwrite", "uninstall"});
  const std::string source = String(*f, "source", "", true);
  const std::string destination = PackageText(*f, "destination", "{app}", true);
  const std::string rule = Choice(*f, "overwrite", "always", rules);
  const bool uninstall = Bool(*f, "uninstall", true);
  if (f->get("destination")) {
    // The folder ends with one separator or none: the file's name follows it.
    std::string folder = destination;
    if (!folder.empty() && folder.back() == '/') folder.back() = '\\';
    const std::string problem = FullPathProblem(folder, project_.registryVariableNames, true);
    if (!problem.empty()) {
      Fail(f->get("destination"), "the destination " +
                                      ShownPath(destination, project_.registryVariableNames) +
                                      " can never be written: " + problem);
    }
  }
  std::vector<std::pair<fs::path, std::string>> matches;  // file, relative name
  if (source.find_first_of("*?") == std::string::npos) {
    const fs::path file = (base_ / source).lexically_normal();
    if (!fs::is_regular_file(file))
      Fail(f->get("source"), "missing source file \"" + file.string() + "\"");
    matches.emplace_back(file, f->get("name") ? String(*f, "name", "") : file.filename().string());
  } else {
    if (f->get("name")) Fail(f->get("name"), "\"name\" is only allowed for a single file");
    // The folder before the first wildcard is the base of the relative names.
    const size_t wild = source.find_first_of("*?");
    const size_t slash = source.rfind('/', wild);
    const std::string folderPart = slash == std::string::npos ? "" : source.substr(0, slash);
    const std::string pattern = slash == std::string::npos ? source : source.substr(slash + 1);
    const fs::path folder = (base_ / folderPart).lexically_normal();
    if (!fs::is_directory(folder))
      Fail(f->get("source"), "missing source folder \"" + folder.string() + "\"");
    for (auto it = fs::recursive_directory_iterator(folder);
         it != fs::recursive_directory_iterator(); ++it) {
      if (!it->is_regular_file()) continue;
      const std::string rel = fs::relative(it->path(), folder).generic_string();
      if (Match(pattern, 0, rel, 0)) matches.emplace_back(it->path(), rel);
    }
    std::sort(matches.begin(), matches.end());
    if (matches.empty()) Fail(f->get("source"), "\"" + source + "\" matches no file");
  }
  for (const auto& m : matches) {
    PackedFile packed;
    packed.source = m.first.string();
    std::string rel = Convert(f->get("source"), m.second, false);
    std::replace(rel.begin(), rel.end(), '/', '\\');
    packed.destination =
        destination +
        (destination.empty() || destination.back() == '\\' || destination.back() == '/' ? ""
                                                                                        : "\\") +
        rel;
    packed.overwrite = std::stoi(rule);
    packed.uninstall = uninstall;
    struct stat st {};
    if (stat(packed.source.c_str(), &st) != 0)
      Fail(f->get("source"), "cannot read \"" + packed.source + "\"");
    if (st.st_size > 0x7FFFFFFF)
      Fail(f->get("source"), "\"" + packed.source + "\" is larger than 2 GB");
    packed.size = static_cast<uint32_t>(st.st_size);
    packed.mtime = ReproducibleTime(st.st_mtime);
    packed.readOnly = (st.st_mode & S_IWUSR) == 0;
    packed.line = static_cast<int>(f->source().begin.line);
    CheckFilePath(f->get("name") ? f->get("name") : f->get("source"), packed.destination,
                  packed.line);
    project_.files.push_back(packed);
  }
}

void Loader::LoadRegistryVariables(const toml::table& root) {
  using L = qb::List;
  for (const toml::table* r : Array(root, "registry_variables")) {
    CheckKeys(*r, "[[registry_variables]]", {"name", "root", "key", "value", "default"});
    const std::string name = String(*r, "name", "", true);
    if (std::find(project_.registryVariableNames.begin(), project_.registryVariableNames.end(),
                  name) != project_.registryVariableNames.end()) {
      Fail(r->get("name"), "registry variable \"" + name + "\" is declared twice");
    }
    const std::string rootIndex = Root(*r);
    Add(L::kRegistryVariables, {rootIndex, PackageText(*r, "key", "", false, true),
                                PackageText(*r, "value", "", false), ""});
    project_.registryVariableNames.push_back(name);
  }
  // Defaults may name earlier registry variables, so translate them now.
  {
    auto& items = project_.package.Records(L::kRegistryVariables).items;
    const auto vars = Array(root, "registry_variables");
    for (size_t k = 0; k < vars.size(); ++k)
      items[k * 4 + 3] = PackageText(*vars[k], "default", "", true);
  }
}

void Loader::LoadLists(const toml::table& root) {
  using L = qb::List;
  for (const toml::table* r : Array(root, "registry")) {
    CheckKeys(*r, "[[registry]]",
              {"root", "key", "name", "value", "type", "overwrite", "uninstall"});
    const std::string type =
        Choice(*r, "type", "string", {{"string", 0}, {"binary", 1}, {"dword", 2}, {"key", 3}});
    std::string value;
    const toml::node* v = r->get("value");
    if (type == "2" && v && v->is_integer()) {
      value = std::to_string(v->as_integer()->get());
    } else {
      value = PackageText(*r, "value", "", true);
    }
    if (type == "1") {
      std::string hex;
      for (char c : value) {
        if (c == ' ' || c == ',') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
          Fail(v, "binary data must be hexadecimal pairs such as \"0A FF 10\"");
        hex += c;
      }
      if (hex.size() % 2) Fail(v, "binary data must be hexadecimal pairs such as \"0A FF 10\"");
      value = hex;
    }
    Add(L::kRegistryValues,
        {Root(*r), PackageText(*r, "key", "", true, true), PackageText(*r, "name", "", true), value,
         type, Bool(*r, "overwrite", true) ? "1" : "0", Bool(*r, "uninstall", true) ? "1" : "0"});
  }
  for (const toml::table* r : Array(root, "registry_keys")) {
    CheckKeys(*r, "[[registry_keys]]", {"root", "key", "extra"});
    Add(L::kRegistryKeys,
        {Root(*r), PackageText(*r, "key", "", true, true), PackageText(*r, "extra", "", true)});
  }
  for (const toml::table* f : Array(root, "fonts")) {
    CheckKeys(*f, "[[fonts]]", {"name", "file"});
    Add(L::kFonts,
        {PackageText(*f, "name", "", true, true), PackageText(*f, "file", "", true, true)});
  }
  // group, desktop and startmenu follow [app] privileges (the user's
  // folders, or all users'); the user- and common- words name one of them.
  const std::vector<std::pair<std::string, int>> kLocations = {
      {"group", 0},        {"desktop", 1},        {"startmenu", 2},        {"quicklaunch", 3},
      {"path", 4},         {"user-group", 5},     {"user-desktop", 6},     {"user-startmenu", 7},
      {"common-group", 8}, {"common-desktop", 9}, {"common-startmenu", 10}};
  for (const toml::table* s : Array(root, "shortcuts")) {
    CheckKeys(*s, "[[shortcuts]]",
              {"location", "name", "target", "arguments", "description", "icon", "icon_index",
               "working_folder"});
    std::string name = PackageText(*s, "name", "", true, true);
    if (name.size() < 4 || qb::UpperAscii(name.substr(name.size() - 4)) != ".LNK") name += ".lnk";
    const std::string location = Choice(*s, "location", "group", kLocations);
    if (location == "3" ||
        (location == "4" && String(*s, "name", "").find("{quicklaunch}") != std::string::npos)) {
      WarnQuickLaunch(s->get("location"), String(*s, "name", ""));
    }
    Add(L::kShortcuts,
        {location, name, PackageText(*s, "target", "", true, true),
         PackageText(*s, "arguments", "", true), PackageText(*s, "description", "", true),
         PackageText(*s, "icon", "", true), std::to_string(Integer(*s, "icon_index", 0)),
         PackageText(*s, "working_folder", "", true)});
  }
  for (const toml::table* d : Array(root, "folders")) {
    CheckKeys(*d, "[[folders]]", {"path", "uninstall"});
    Add(L::kFolders,
        {PackageText(*d, "path", "", true, true), Bool(*d, "uninstall", true) ? "1" : "0"});
  }
  const std::vector<std::pair<std::string, int>> kShow = {
      {"hidden", 0}, {"normal", 1}, {"minimized", 2}, {"maximized", 3}};
  const std::vector<std::pair<std::string, int>> kWhen = {
      {"install-start", 0}, {"install-end", 1}, {"uninstall-start", 10}, {"uninstall-end", 11}};
  for (const toml::table* p : Array(root, "programs")) {
    CheckKeys(*p, "[[programs]]", {"file", "parameters", "show", "when", "wait", "note"});
    const int when = std::stoi(Choice(*p, "when", "install-end", kWhen));
    std::vector<std::string> fields = {PackageText(*p, "note", "", false),
                                       PackageText(*p, "file", "", true, true),
                                       PackageText(*p, "parameters", "", true),
                                       Choice(*p, "show", "normal", kShow),
                                       std::to_string(when % 10),
                                       Bool(*p, "wait", false) ? "1" : "0"};
    (when >= 10 ? programsUninstall_ : programsInstall_).push_back(fields);
  }
  project_.installProgramCount = programsInstall_.size();
  for (const auto* group : {&programsInstall_, &programsUninstall_}) {
    for (const auto& p : *group) {
      auto& items = project_.package.Records(L::kPrograms).items;
      items.insert(items.end(), p.begin(), p.end());
    }
  }
  for (const toml::table* i : Array(root, "ini")) {
    CheckKeys(*i, "[[ini]]", {"file", "section", "key", "value", "overwrite", "uninstall"});
    Add(L::kIniEntries,
        {PackageText(*i, "file", "", true, true), PackageText(*i, "section", "", true, true),
         PackageText(*i, "key", "", true, true), PackageText(*i, "value", "", true),
         Bool(*i, "overwrite", true) ? "1" : "0", Bool(*i, "uninstall", true) ? "1" : "0"});
  }
  for (const toml::table* e : Array(root, "uninstall_extras")) {
    CheckKeys(*e, "[[uninstall_extras]]", {"key", "value"});
    Add(L::kUninstallExtras,
        {PackageText(*e, "key", "", false, true), PackageText(*e, "value", "", true)});
  }
  for (const toml::table* c : Array(root, "components")) {
    CheckKeys(*c, "[[components]]", {"file", "uninstall"});
    Add(L::kComponents,
        {PackageText(*c, "file", "", true, true), Bool(*c, "uninstall", true) ? "1" : "0"});
  }
}

void Loader::LoadLanguages(const toml::table& root) {
  auto& pkg = project_.package;
  const auto english = [&](int m) {
    std::string text = MessageAt(m)->english;
    for (size_t at; (at = text.find("%APP%")) != std::string::npos;) text.replace(at, 5, appName_);
    return text;
  };
  std::vector<const toml::table*> languages = Array(root, "languages");
  std::vector<std::string> messageNames;
  for (const auto& m : AllMessages()) messageNames.push_back(m.name);
  const size_t count = languages.empty() ? 1 : languages.size();
  if (count > 30) Fail(root.get("languages"), "a package holds at most 30 languages");
  pkg.strings.assign(1, "");
  for (size_t k = 0; k < count; ++k) {
    std::vector<std::string> texts;
    for (int m = 1; m <= qb::kMessageCount; ++m) texts.push_back(english(m));
    if (languages.empty()) {
      Add(qb::List::kLanguages, {"English", "1033", "", ""});
    } else {
      const toml::table& l = *languages[k];
      CheckKeys(l, "[[languages]]", {"name", "id", "license", "readme", "messages"});
      const std::string name = PackageText(l, "name", "", false, true);
      if (!l.get("id"))
        Fail(&l, "missing key \"id\" (the Windows language identifier, 1033 for English)");
      const int64_t id = Integer(l, "id", 0);
      std::string license, readme;
      if (const std::string path = Path(l, "license", false); !path.empty()) {
        project_.supportFiles[20 + static_cast<int>(k)] = ReadFile(l.get("license"), path);
        WarnIfLarge(l.get("license"), path, project_.supportFiles[20 + static_cast<int>(k)].size(),
                    "license");
        license = std::to_string(20 + k);
        hasLicense_ = true;
      }
      if (const std::string path = Path(l, "readme", false); !path.empty()) {
        project_.supportFiles[50 + static_cast<int>(k)] = ReadFile(l.get("readme"), path);
        WarnIfLarge(l.get("readme"), path, project_.supportFiles[50 + static_cast<int>(k)].size(),
                    "readme");
        readme = std::to_string(50 + k);
        hasReadme_ = true;
      }
      Add(qb::List::kLanguages, {name, std::to_string(id), license, readme});
      if (const toml::node* n = l.get("messages")) {
        for (const auto& [key, node] : Table(*n, "messages")) {
          const MessageInfo* info = FindMessage(std::string(key.str()));
          if (!info)
            Fail(&node, "unknown message \"" + std::string(key.str()) + "\"" +
                            Suggest(std::string(key.str()), messageNames));
          if (!node.is_string())
            Fail(&node, "the message \"" + std::string(key.str()) + "\" must be a string");
          texts[info->index - 1] = Convert(&node, node.as_string()->get(), false);
        }
      }
    }
    pkg.strings.insert(pkg.strings.end(), texts.begin(), texts.end());
  }
  pkg.SetText(qb::kLanguageCount, std::to_string(count));
  pkg.SetText(qb::kMessagesPerLanguage, std::to_string(qb::kMessageCount));
}

void Loader::AddUninstallEntry(const std::string& root, const std::string& key,
                               const std::string& name, const std::string& data, const char* type) {
  Add(qb::List::kRegistryValues, {root, key, name, data, type, "1", "1"});
}

void Loader::LoadUninstall(const toml::table& root) {
  auto& pkg = project_.package;
  const toml::table* u = nullptr;
  if (const toml::node* n = root.get("uninstall")) {
    u = &Table(*n, "[uninstall]");
    CheckKeys(*u, "[uninstall]", {"enabled", "path", "log"});
  }
  // On by default when the package installs anything at all.
  const auto has = [&](qb::List list) { return pkg.Records(list).Count() > 0; };
  bool enabled = !project_.files.empty() || has(qb::List::kRegistryValues) ||
                 has(qb::List::kIniEntries) || has(qb::List::kShortcuts) || has(qb::List::kFonts) ||
                 has(qb::List::kComponents) || has(qb::List::kFolders);
  // write_uninstall set by hand in [settings], without [uninstall]: the
  // package brings an uninstaller of its own and the tool adds nothing.
  if (!u && userSettings_.count(qb::kWriteUninstall)) return;
  if (u) enabled = Bool(*u, "enabled", enabled);
  pkg.SetText(qb::kWriteUninstall, enabled ? "1" : "0");
  if (!enabled) return;
  if (u && u->get("path")) pkg.SetText(qb::kUninstallerPath, PackageText(*u, "path", "", true));
  if (u && u->get("log")) pkg.SetText(qb::kUninstallLogPath, PackageText(*u, "log", "", true));
  const std::string uninstaller = pkg.Text(qb::kUninstallerPath);
  if (uninstaller.empty() || pkg.Text(qb::kUninstallLogPath).empty()) {
    Fail(u, "the uninstaller and its log need a path");
  }

  // The uninstaller is installed last, like any other file.
  PackedFile packed;
  packed.source = uninstallerPath_;
  packed.destination = uninstaller;
  packed.overwrite = 2;
  packed.uninstall = true;
  packed.uninstaller = true;
  packed.line = u ? static_cast<int>(u->source().begin.line) : 0;
  CheckFilePath(u && u->get("path") ? u->get("path") : u, uninstaller, packed.line);
  struct stat st {};
  if (uninstallerPath_.empty() || stat(uninstallerPath_.c_str(), &st) != 0 ||
      !S_ISREG(st.st_mode)) {
    Fail(u, "cannot read the uninstaller program \"" + uninstallerPath_ +
                "\" (quillbox installs quillbox-uninstall.exe from beside the stub; "
                "--uninstaller names another, [uninstall] enabled = false leaves it out)");
  }
  packed.size = static_cast<uint32_t>(st.st_size);
  packed.mtime = ReproducibleTime(st.st_mtime);
  project_.files.push_back(packed);

  // The entry of Add/Remove Programs, removed again by the uninstaller.
  const std::string rootIndex = perUser_ ? "1" : "2";
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + appId_;
  AddUninstallEntry(rootIndex, key, "DisplayName", appName_, "0");
  AddUninstallEntry(rootIndex, key, "DisplayVersion", appVersion_, "0");
  if (!publisher_.empty()) AddUninstallEntry(rootIndex, key, "Publisher", publisher_, "0");
  AddUninstallEntry(rootIndex, key, "DisplayIcon", uninstaller, "0");
  AddUninstallEntry(rootIndex, key, "InstallLocation", "@$&%04", "0");
  AddUninstallEntry(rootIndex, key, "UninstallString", "\"" + uninstaller + "\"", "0");
  AddUninstallEntry(rootIndex, key, "QuietUninstallString", "\"" + uninstaller + "\" /S", "0");
  project_.estimatedSizeRecord = pkg.Records(qb::List::kRegistryValues).Count();
  AddUninstallEntry(rootIndex, key, "EstimatedSize", "", "2");  // from the files' sizes
  AddUninstallEntry(rootIndex, key, "NoModify", "1", "2");
  AddUninstallEntry(rootIndex, key, "NoRepair", "1", "2");
  if (!url_.empty()) AddUninstallEntry(rootIndex, key, "URLInfoAbout", url_, "0");
}

void Loader::LoadSigning(const toml::table& root) {
  const toml::node* n = root.get("signing");
  if (!n) return;
  const toml::table& t = Table(*n, "[signing]");
  for (const char* secret : {"password", "pass", "passphrase"}) {
    if (t.get(secret)) {
      Fail(t.get(secret),
           "secrets do not belong in a manifest: name an environment variable with "
           "password_env, or pass --sign-password-file");
    }
  }
  CheckKeys(t, "[signing]",
            {"pkcs12", "cert", "key", "password_env", "timestamp", "description", "url"});
  SigningOptions& s = project_.signing;
  s.pkcs12 = Path(t, "pkcs12", false);
  s.certificate = Path(t, "cert", false);
  s.key = Path(t, "key", false);
  if (!s.pkcs12.empty() && !s.certificate.empty()) {
    Fail(t.get("cert"), "sign with either a PKCS#12 file (pkcs12) or a certificate and key");
  }
  if (!s.certificate.empty() && s.key.empty()) Fail(&t, "\"cert\" needs \"key\" as well");
  s.passwordEnv = String(t, "password_env", "");
  s.timestamp = String(t, "timestamp", "");
  s.description = String(t, "description", "");
  s.url = String(t, "url", "");
}

void Loader::FillDerivedSettings() {
  auto& pkg = project_.package;
  const auto derive = [&](int index, bool on) {
    if (!userSettings_.count(index)) pkg.SetText(index, on ? "1" : "0");
  };
  const auto& shortcuts = pkg.Records(qb::List::kShortcuts);
  bool group = false, desktop = false, start = false, quick = false;
  for (size_t r = 0; r < shortcuts.Count(); ++r) {
    const std::string& loc = shortcuts.Field(r, 0);
    group |= loc == "0";
    desktop |= loc == "1";
    start |= loc == "2";
    quick |= loc == "3";
  }
  derive(qb::kProgramGroup, group);
  derive(qb::kGroupPage, pkg.Flag(qb::kProgramGroup));
  derive(qb::kTask1Offered, desktop);
  derive(qb::kTask2Offered, start);
  derive(qb::kTask3Offered, quick);
  derive(qb::kShortcutTasks, desktop || start || quick);
  derive(qb::kTasksPage, pkg.Flag(qb::kShortcutTasks));
  derive(qb::kLicensePage, hasLicense_);
  derive(qb::kReadmePage, hasReadme_);
  derive(qb::kHeaderBitmap, project_.supportFiles.count(4) > 0);
  derive(qb::kSideBitmap, project_.supportFiles.count(5) > 0);
  derive(qb::kRunProgramOffered, !pkg.Text(qb::kProgramToRun).empty());
  derive(qb::kReadmeOffered, !pkg.Text(qb::kReadmeDocument).empty());
  derive(qb::kThirdItemOffered, !pkg.Text(qb::kThirdItem).empty());
  if (!userSettings_.count(qb::kAppSubfolder)) {
    pkg.SetText(qb::kAppSubfolder, Convert(nullptr, EscapeBraces(FolderNameFor(appName_)), true));
  }
  project_.requiredSpaceFromFiles = !userSettings_.count(qb::kRequiredDiskSpace);
}

Project Loader::Load() {
  project_.manifestPath = path_;
  toml::table root;
  try {
    root = toml::parse_file(path_);
  } catch (const toml::parse_error& e) {
    throw ManifestError(path_, static_cast<int>(e.source().begin.line),
                        std::string(e.description()));
  }
  CheckKeys(root, "the manifest",
            {"app", "package", "settings", "pictures", "files", "folders", "registry",
             "registry_keys", "registry_variables", "ini", "shortcuts", "programs", "fonts",
             "components", "uninstall_extras", "languages", "uninstall", "signing"});
  // Defaults for every setting the manifest can name.
  auto& pkg = project_.package;
  pkg.settings.assign(qb::kMinimumSettings, "");
  for (const auto& info : AllSettings()) pkg.SetText(info.index, info.defaultValue);
  for (const auto& info : AllSettings()) {
    if (info.kind == Kind::kExpanded && info.defaultValue[0]) {
      pkg.SetText(info.index, Convert(nullptr, info.defaultValue, true));
    }
  }
  LoadRegistryVariables(root);  // before any text that may use them
  LoadApp(root);
  LoadLists(root);
  LoadPackage(root);
  LoadSettings(root);
  LoadPictures(root);
  LoadFiles(root);
  LoadLanguages(root);
  LoadUninstall(root);
  LoadSigning(root);
  FillDerivedSettings();
  SetSizesFromFiles(project_);
  // Settings added after the first packages are written only when a package
  // needs them: one without them keeps the size and bytes it had.
  auto& settings = project_.package.settings;
  while (settings.size() > static_cast<size_t>(qb::kMinimumSettings) && settings.back() == "0")
    settings.pop_back();
  return project_;
}

}  // namespace

void SetSizesFromFiles(Project& project) {
  uint64_t total = 0;
  for (const auto& f : project.files) total += f.size;
  if (project.requiredSpaceFromFiles) {
    project.package.SetText(qb::kRequiredDiskSpace, std::to_string(total));
  }
  if (project.estimatedSizeRecord != SIZE_MAX) {
    // In KiB, rounded up; field 3 of a registry value record is its data.
    auto& values = project.package.Records(qb::List::kRegistryValues);
    values.items[project.estimatedSizeRecord * values.width + 3] =
        std::to_string((total + 1023) / 1024);
  }
}

Project LoadManifest(const std::string& path, const std::string& uninstallerPath) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    throw ManifestError(path, 0, "cannot read the manifest" + (ec ? ": " + ec.message() : ""));
  }
  try {
    Loader loader(path, uninstallerPath);
    return loader.Load();
  } catch (const fs::filesystem_error& e) {
    // Anything the entries did not name themselves still names the manifest.
    throw ManifestError(path, 0, e.what());
  }
}

}  // namespace tool
