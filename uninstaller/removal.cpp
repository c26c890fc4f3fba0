#include "removal.h"

#include <windows.h>

#include <algorithm>

#include "cab/safe_name.h"
#include "text/text.h"
#include "toolkit/application.h"
#include "toolkit/files.h"
#include "toolkit/shell.h"
#include "toolkit/system.h"
#include "uninstall/removal_rules.h"

namespace uninstaller {

namespace {

bool IsFile(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
         !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The key of the system's font list below HKEY_LOCAL_MACHINE.
const char* FontsKey() {
  const bool windowsNt = (GetVersion() & 0x80000000u) == 0;
  return windowsNt ? "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"
                   : "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";
}

bool KeyIsEmpty(HKEY root, const std::string& key, REGSAM view) {
  HKEY h = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS) return false;
  DWORD subkeys = 1, values = 1;
  const bool read = RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                     &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(h);
  return read && subkeys == 0 && values == 0;
}

// Deletes an empty key in the given view (RegDeleteKeyExA, which Windows
// before XP x64 lacks, is needed only for a view other than our own).
void DeleteKey(HKEY root, const std::string& key, REGSAM view) {
  if (!view) {
    RegDeleteKeyA(root, key.c_str());
    return;
  }
  using DeleteKeyExFn = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
  if (const auto deleteKeyEx = toolkit::LibraryFunction<DeleteKeyExFn>(
          GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExA")) {
    deleteKeyEx(root, key.c_str(), view, 0);
  }
}

// An INI file with nothing but blanks left in it.
bool IsBlankFile(const std::string& path) {
  toolkit::TFileStream in;
  if (!in.OpenRead(path) || in.Size() > 4096) return false;
  std::string buffer(4096, '\0');  // on the heap: no frame is larger than a page
  const size_t n = in.Read(&buffer[0], buffer.size());
  return std::all_of(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n),
                     [](char c) { return c == ' ' || (c >= 9 && c <= 13); });
}

}  // namespace

Removal::Removal(const qb::UninstallLog& log, RemovalScope scope, RemovalHost& host,
                 std::string uninstallerPath, std::string logPath)
    : log_(log),
      scope_(std::move(scope)),
      host_(host),
      uninstallerPath_(std::move(uninstallerPath)),
      logPath_(std::move(logPath)) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (IsFile(logPath_, data)) {
    logWritten_ = data.ftLastWriteTime;
    logTimeKnown_ = true;
  }
}

int Removal::StepCount() const {
  return static_cast<int>(log_.before.size() + log_.components.size() + log_.fonts.size() +
                          log_.ini.size() + log_.registry.size() + log_.files.size() +
                          log_.after.size()) +
         1;
}

bool Removal::Stopping() {
  if (!result_.stopped && host_.StopRequested()) result_.stopped = true;
  return result_.stopped;
}

void Removal::RunPrograms(const std::vector<qb::LoggedProgram>& programs) {
  for (const qb::LoggedProgram& p : programs) {
    if (Stopping()) return;
    // A log that is not proven to be the installation's runs nothing.
    if (!scope_.proven) {
      host_.Step();
      continue;
    }
    host_.ShowStatus(toolkit::NamePart(p.file));
    HANDLE process = nullptr;
    toolkit::StartProgram(p.file, p.parameters, static_cast<int>(p.show),
                          p.wait ? &process : nullptr);
    toolkit::WaitForProgram(
        process, [](void* host) { static_cast<RemovalHost*>(host)->KeepResponsive(); }, &host_);
    host_.Step();
  }
}

void Removal::UnregisterComponents() {
  for (const std::string& path : log_.components) {
    if (Stopping()) return;
    host_.ShowStatus(toolkit::NamePart(path));
    WIN32_FILE_ATTRIBUTE_DATA data;
    // Unregistering runs the component's code: only for a proven log.
    if (scope_.proven && qb::IsSafeDestinationPath(path) && IsFile(path, data)) {
      if (scope_.native64) {
        // A 64-bit component: the native regsvr32 unregisters it.
        toolkit::RunNativeRegsvr32(
            path, true, [](void*) { toolkit::Application.ProcessMessages(); }, nullptr);
      } else if (HMODULE library =
                     LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
        using Entry = HRESULT(WINAPI*)();
        if (auto unregister = toolkit::LibraryFunction<Entry>(library, "DllUnregisterServer")) {
          unregister();
        }
        FreeLibrary(library);
      }
    }
    host_.Step();
  }
}

void Removal::RemoveFonts() {
  for (const qb::LoggedFont& font : log_.fonts) {
    if (Stopping()) return;
    host_.ShowStatus(toolkit::NamePart(font.file));
    if (qb::IsSafeDestinationPath(font.file)) {
      RemoveFontResourceA(font.file.c_str());
      // The entry goes only when it still names this file, as the
      // installation wrote it (by name inside the Fonts folder, by full path
      // elsewhere); an entry of another font of the same name stays.
      HKEY key = nullptr;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, FontsKey(), 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE | toolkit::RegistryView(scope_.native64),
                        &key) == ERROR_SUCCESS) {
        char data[MAX_PATH * 2] = {};
        DWORD size = sizeof data - 1, type = 0;
        if (RegQueryValueExA(key, font.name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data),
                             &size) == ERROR_SUCCESS &&
            type == REG_SZ) {
          const std::string written(data);
          if (qb::SamePath(written, font.file) ||
              qb::SamePath(written, toolkit::NamePart(font.file))) {
            RegDeleteValueA(key, font.name.c_str());
          }
        }
        RegCloseKey(key);
      }
      SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    }
    host_.Step();
  }
}

void Removal::RemoveIniEntries() {
  for (const qb::LoggedIniEntry& e : log_.ini) {
    if (Stopping()) return;
    host_.ShowStatus(toolkit::NamePart(e.file));
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (qb::IsSafeDestinationPath(e.file) && IsFile(e.file, data)) {
      const char* file = e.file.c_str();
      WritePrivateProfileStringA(e.section.c_str(), e.key.c_str(), nullptr, file);
      char probe[8] = {};
      if (GetPrivateProfileSectionA(e.section.c_str(), probe, sizeof probe, file) == 0)
        WritePrivateProfileStringA(e.section.c_str(), nullptr, nullptr, file);
      WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);  // flushes the cache
      // A file the installation's entries were all there was to goes too:
      // for a proven log (whose entries the installation wrote) wherever it
      // is, for any other only where the installation put its files.
      if (GetPrivateProfileSectionNamesA(probe, sizeof probe, file) == 0 &&
          (scope_.proven || qb::InsideFolders(e.file, scope_.roots)) && !ThroughLink(e.file) &&
          IsBlankFile(e.file))
        DeleteOrSchedule(e.file);
    }
    host_.Step();
  }
}

void Removal::RemoveRegistryEntries() {
  struct Candidate {
    HKEY root;
    std::string key;
  };
  std::vector<Candidate> keys;
  const REGSAM view = toolkit::RegistryView(scope_.native64);
  for (const qb::LoggedRegistryValue& value : log_.registry) {
    if (Stopping()) return;
    host_.ShowStatus(value.key);
    HKEY root = toolkit::RegistryRoot(value.root);
    HKEY h = nullptr;
    if (root && !value.key.empty() &&
        RegOpenKeyExA(root, value.key.c_str(), 0, KEY_SET_VALUE | view, &h) == ERROR_SUCCESS) {
      RegDeleteValueA(h, value.name.c_str());
      RegCloseKey(h);
    }
    if (root) {
      for (const std::string& key : qb::RegistryKeysToTry(value.key)) keys.push_back({root, key});
    }
    host_.Step();
  }
  // The fingerprint was written beside the entry's logged values; without
  // it the entry is left empty and goes too.
  if (scope_.entryFound) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(toolkit::RegistryRoot(scope_.entry.first), scope_.entry.second.c_str(), 0,
                      KEY_SET_VALUE | view, &h) == ERROR_SUCCESS) {
      RegDeleteValueA(h, qb::kLogSizeValue);
      RegDeleteValueA(h, qb::kLogSha256Value);
      RegCloseKey(h);
    }
  }
  // Keys left empty go, deepest first.
  std::stable_sort(keys.begin(), keys.end(), [](const Candidate& a, const Candidate& b) {
    return std::count(a.key.begin(), a.key.end(), '\\') >
           std::count(b.key.begin(), b.key.end(), '\\');
  });
  for (const Candidate& c : keys) {
    if (KeyIsEmpty(c.root, c.key, view)) DeleteKey(c.root, c.key, view);
  }
}

void Removal::DeleteOrSchedule(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (DeleteFileA(path.c_str())) return;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
  if (MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
    result_.restartNeeded = true;
  } else {
    result_.leftBehind.push_back(path);
  }
}

void Removal::RemoveFiles() {
  for (const std::string& path : log_.files) {
    if (Stopping()) return;
    host_.ShowStatus(toolkit::NamePart(path));
    WIN32_FILE_ATTRIBUTE_DATA data;
    const bool own = qb::SamePath(path, uninstallerPath_) || qb::SamePath(path, logPath_);
    // A proven log's files are the ones the installation placed, wherever
    // they are; any other log's go only from inside its roots.
    if (!own && qb::IsSafeDestinationPath(path) &&
        (scope_.proven || qb::InsideFolders(path, scope_.roots)) && IsFile(path, data)) {
      // Written after the log: the user changed it, so it is theirs now. A
      // folder on the way made a link: what it leads to is not ours.
      if ((logTimeKnown_ && CompareFileTime(&data.ftLastWriteTime, &logWritten_) > 0) ||
          ThroughLink(path)) {
        result_.kept.push_back(path);
      } else {
        DeleteOrSchedule(path);
      }
    }
    host_.Step();
  }
}

bool Removal::ThroughLink(const std::string& path) const {
  for (const std::string& root : scope_.roots) {
    for (const std::string& folder : qb::FoldersInside(path, root)) {
      const DWORD attributes = GetFileAttributesA(folder.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return true;
    }
  }
  return false;
}

void Removal::RemoveOwnFile(const std::string& path) {
  // The process that ran from it may take a moment to end.
  for (int attempt = 0; attempt < 40; ++attempt) {
    if (DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return;
    Sleep(50);
  }
  DeleteOrSchedule(path);
}

void Removal::RemoveFolders() {
  if (Stopping()) return;
  // The folders the installation made, the destination, and the folders
  // that hold what it made inside the destination or a Start-menu programs
  // folder (the installation made the whole chain of them).
  const std::string destination = log_.Setting(18);
  std::vector<std::string> candidates = log_.folders;
  std::vector<std::string> made = log_.files;
  for (const std::string& folder : log_.folders) made.push_back(folder + "\\*");
  for (const qb::LoggedIniEntry& e : log_.ini) made.push_back(e.file);
  const std::vector<std::string> roots = {destination, toolkit::ShellFolderPath(CSIDL_PROGRAMS),
                                          toolkit::ShellFolderPath(CSIDL_COMMON_PROGRAMS)};
  for (const std::string& path : made) {
    for (const std::string& root : roots) {
      for (const std::string& f : qb::FoldersInside(path, root)) candidates.push_back(f);
    }
  }
  candidates.push_back(destination);
  for (const std::string& folder : qb::FoldersDeepestFirst(candidates)) {
    if (RemoveDirectoryA(folder.c_str())) continue;
    // A folder that still holds a file waiting for the restart goes then.
    if (result_.restartNeeded && GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES &&
        !MoveFileExA(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
      result_.leftBehind.push_back(folder);
  }
  host_.Step();
}

}  // namespace uninstaller
