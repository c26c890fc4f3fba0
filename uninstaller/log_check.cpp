#include "log_check.h"

#include <windows.h>

#include "text/text.h"
#include "toolkit/files.h"
#include "toolkit/shell.h"
#include "toolkit/system.h"

namespace uninstaller {

namespace {

// A value of an open key: present tells whether the key has it; text gets
// its characters when it is a REG_SZ (or, with expandable, a REG_EXPAND_SZ,
// taken as written), and stays empty otherwise.
void ReadValue(HKEY key, const char* name, bool expandable, bool& present, std::string& text) {
  text.clear();
  DWORD type = 0, size = 0;
  const LONG found = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  present = found == ERROR_SUCCESS || found == ERROR_MORE_DATA;
  const bool textual = type == REG_SZ || (expandable && type == REG_EXPAND_SZ);
  if (!present || !textual || size > 65536) return;
  std::string data(size + 1, '\0');
  DWORD read = size;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &read) !=
      ERROR_SUCCESS) {
    return;
  }
  data.resize(read < size ? read : size);
  // The terminating NUL, when the value has one, is not part of the text.
  if (!data.empty() && data.back() == '\0') data.pop_back();
  text.swap(data);
}

// The long form of a path, when the system can tell it.
std::string LongPath(const std::string& path) {
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = GetLongPathNameA(path.c_str(), buffer, MAX_PATH);
  return n && n <= MAX_PATH ? std::string(buffer, n) : path;
}

bool NamesUninstaller(const std::string& uninstallString, const std::string& uninstaller) {
  const std::string program = qb::UninstallStringProgram(uninstallString);
  return !program.empty() && (qb::SamePath(program, uninstaller) ||
                              qb::SamePath(LongPath(program), LongPath(uninstaller)));
}

struct Entry {
  bool found = false;
  qb::RegistryKeyName key;
  std::string installLocation;
  qb::LogFingerprint fingerprint;
};

// The entry whose UninstallString names the uninstaller. HKLM first: an
// entry below HKCU, which any program of the user can write, never speaks
// for an installation that HKLM holds.
Entry FindEntry(const std::string& uninstaller, REGSAM view) {
  Entry entry;
  for (const int64_t root : {2, 1}) {
    HKEY list = nullptr;
    if (RegOpenKeyExA(toolkit::RegistryRoot(root), qb::kUninstallKey, 0, KEY_READ | view, &list) !=
        ERROR_SUCCESS) {
      continue;
    }
    for (DWORD i = 0; !entry.found; ++i) {
      char name[256] = {};
      DWORD length = sizeof name;
      const LONG listed = RegEnumKeyExA(list, i, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (listed == ERROR_NO_MORE_ITEMS) break;
      HKEY key = nullptr;
      if (listed != ERROR_SUCCESS ||
          RegOpenKeyExA(list, name, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) {
        continue;
      }
      bool present = false;
      std::string command;
      ReadValue(key, "UninstallString", true, present, command);
      if (present && NamesUninstaller(command, uninstaller)) {
        entry.found = true;
        entry.key = {root, std::string(qb::kUninstallKey) + "\\" + name};
        ReadValue(key, "InstallLocation", true, present, entry.installLocation);
        qb::LogFingerprint& f = entry.fingerprint;
        ReadValue(key, qb::kLogSizeValue, false, f.sizePresent, f.size);
        ReadValue(key, qb::kLogSha256Value, false, f.sha256Present, f.sha256);
      }
      RegCloseKey(key);
    }
    RegCloseKey(list);
    if (entry.found) break;
  }
  return entry;
}

// The Add/Remove Programs entries the log names that are this
// installation's: the entry found, and any whose UninstallString names the
// uninstaller or that has none (there is nothing of another program's there
// to remove).
std::vector<qb::RegistryKeyName> OwnEntries(const qb::UninstallLog& log, const Entry& found,
                                            const std::string& uninstaller, REGSAM view) {
  std::vector<qb::RegistryKeyName> own;
  if (found.found) own.push_back(found.key);
  for (const qb::LoggedRegistryValue& value : log.registry) {
    const std::string entry = qb::UninstallEntryOf(value.key);
    if (entry.empty() || (value.root != 1 && value.root != 2)) continue;
    HKEY key = nullptr;
    bool ours = true;
    if (RegOpenKeyExA(toolkit::RegistryRoot(value.root), entry.c_str(), 0, KEY_QUERY_VALUE | view,
                      &key) == ERROR_SUCCESS) {
      bool present = false;
      std::string command;
      ReadValue(key, "UninstallString", true, present, command);
      ours = !present || NamesUninstaller(command, uninstaller);
      RegCloseKey(key);
    }
    if (ours) own.push_back({value.root, entry});
  }
  return own;
}

std::string WithoutBackslash(std::string path) {
  while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

// The Quick Launch folder: where the user's settings put it, or below the
// application data folder.
std::vector<std::string> QuickLaunchFolders() {
  std::vector<std::string> folders = {toolkit::ShellFolderPath(CSIDL_APPDATA) +
                                      "\\Microsoft\\Internet Explorer\\Quick Launch"};
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER,
                    "Software\\Microsoft\\Windows\\CurrentVersion\\GrpConv\\MapGroups", 0,
                    KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
    bool present = false;
    std::string mapped;
    ReadValue(key, "Quick Launch", true, present, mapped);
    if (!mapped.empty()) folders.push_back(mapped);
    RegCloseKey(key);
  }
  return folders;
}

void AddBounds(qb::RemovalBounds& bounds, const std::string& uninstaller,
               const std::string& logPath) {
  for (const int csidl :
       {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU,
        CSIDL_DESKTOP, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_FONTS}) {
    bounds.shellRoots.push_back(toolkit::ShellFolderPath(csidl));
  }
  for (const std::string& folder : QuickLaunchFolders()) bounds.shellRoots.push_back(folder);
  bounds.ownFolders = {WithoutBackslash(toolkit::FolderOf(uninstaller)),
                       WithoutBackslash(toolkit::FolderOf(logPath))};

  char buffer[MAX_PATH + 1] = {};
  UINT n = GetWindowsDirectoryA(buffer, MAX_PATH);
  const std::string windows = n && n <= MAX_PATH ? std::string(buffer, n) : std::string();
  n = GetSystemWindowsDirectoryA(buffer, MAX_PATH);
  const std::string systemWindows = n && n <= MAX_PATH ? std::string(buffer, n) : std::string();
  n = GetSystemDirectoryA(buffer, MAX_PATH);
  const std::string system = n && n <= MAX_PATH ? std::string(buffer, n) : std::string();
  bounds.closedFolders = {windows, systemWindows};
  bounds.systemFolders = {windows, systemWindows, system, WithoutBackslash(toolkit::TempFolder())};
  for (const int csidl : {CSIDL_WINDOWS,
                          CSIDL_SYSTEM,
                          CSIDL_SYSTEMX86,
                          CSIDL_PROGRAM_FILES,
                          CSIDL_PROGRAM_FILESX86,
                          CSIDL_PROGRAM_FILES_COMMON,
                          CSIDL_PROGRAM_FILES_COMMONX86,
                          CSIDL_PROFILE,
                          CSIDL_APPDATA,
                          CSIDL_LOCAL_APPDATA,
                          CSIDL_COMMON_APPDATA,
                          CSIDL_PERSONAL,
                          CSIDL_COMMON_DOCUMENTS,
                          CSIDL_DESKTOPDIRECTORY,
                          CSIDL_COMMON_DESKTOPDIRECTORY,
                          CSIDL_PROGRAMS,
                          CSIDL_COMMON_PROGRAMS,
                          CSIDL_STARTMENU,
                          CSIDL_COMMON_STARTMENU,
                          CSIDL_STARTUP,
                          CSIDL_COMMON_STARTUP,
                          CSIDL_FONTS,
                          CSIDL_FAVORITES,
                          CSIDL_COMMON_FAVORITES,
                          CSIDL_SENDTO,
                          CSIDL_TEMPLATES,
                          CSIDL_COMMON_TEMPLATES,
                          CSIDL_MYPICTURES,
                          CSIDL_MYMUSIC,
                          CSIDL_MYVIDEO}) {
    bounds.systemFolders.push_back(toolkit::ShellFolderPath(csidl));
  }
  for (const std::string& folder : QuickLaunchFolders()) bounds.systemFolders.push_back(folder);
  // The native folders of 64-bit Windows, as this 32-bit program names them.
  if (toolkit::RunsUnderWow64()) {
    for (const char* name : {"ProgramW6432", "CommonProgramW6432"}) {
      n = GetEnvironmentVariableA(name, buffer, MAX_PATH);
      if (n > 0 && n < MAX_PATH) bounds.systemFolders.emplace_back(buffer, n);
    }
    bounds.systemFolders.push_back(toolkit::UnredirectedPath(system));
    bounds.systemFolders.push_back(toolkit::System32BitFolder());
  }
}

// A 64-bit package's paths in the system folder, as the native ones.
void UseNativePaths(qb::UninstallLog& log, std::vector<std::string>& roots) {
  for (std::string& path : log.files) path = toolkit::UnredirectedPath(path);
  for (std::string& path : log.folders) path = toolkit::UnredirectedPath(path);
  for (std::string& path : log.components) path = toolkit::UnredirectedPath(path);
  for (qb::LoggedIniEntry& entry : log.ini) entry.file = toolkit::UnredirectedPath(entry.file);
  for (std::string& path : roots) path = toolkit::UnredirectedPath(path);
}

}  // namespace

LogVerdict ReadCheckedLog(const std::string& uninstaller, CheckedLog& checked) {
  // The trailer of the original file names the log.
  toolkit::TFileStream file;
  uint64_t pathStart = 0;
  if (!file.OpenRead(uninstaller) || !qb::ReadTrailerLogPath(file, checked.path, pathStart))
    return LogVerdict::kDamaged;
  toolkit::TFileStream logFile;
  if (!logFile.OpenRead(checked.path) || logFile.Size() > 256u * 1024 * 1024)
    return LogVerdict::kDamaged;
  std::string text(static_cast<size_t>(logFile.Size()), '\0');
  if (logFile.Read(&text[0], text.size()) != text.size()) return LogVerdict::kDamaged;
  if (!qb::ParseUninstallLog(text, checked.log) || !qb::LogCountsAgree(checked.log))
    return LogVerdict::kDamaged;
  if (qb::ReadFlag(checked.log.Setting(31)))
    qb::ReadTrailerBitmap(file, pathStart, checked.headerImage);

  checked.native64 = checked.log.Setting(qb::kLogNative64) == "64";
  const REGSAM view = toolkit::RegistryView(checked.native64);
  const Entry entry = FindEntry(uninstaller, view);
  checked.entryFound = entry.found;
  checked.entry = entry.key;
  switch (qb::CheckLogFingerprint(entry.fingerprint, text)) {
    case qb::FingerprintCheck::kDiffers:
      return LogVerdict::kDamaged;
    case qb::FingerprintCheck::kMatches:
      checked.proven = true;
      break;
    case qb::FingerprintCheck::kNone:
      break;
  }

  qb::RemovalBounds bounds;
  AddBounds(bounds, uninstaller, checked.path);
  bounds.installLocation = entry.installLocation;
  bounds.proven = checked.proven;
  bounds.ownEntries = OwnEntries(checked.log, entry, uninstaller, view);
  const qb::BoundsCheck bounded = qb::CheckRemovalBounds(checked.log, bounds);
  if (!bounded.inside) {
    checked.outside = bounded.outside;
    return LogVerdict::kOutside;
  }
  checked.roots = bounded.roots;
  if (checked.native64) UseNativePaths(checked.log, checked.roots);
  return LogVerdict::kAccepted;
}

}  // namespace uninstaller
