#include "engine/variables.h"

#include <windows.h>
// shlobj.h needs windows.h first.
#include <shlobj.h>

#include <cstring>

#include "text/expand.h"
#include "text/text.h"
#include "toolkit/files.h"
#include "toolkit/shell.h"
#include "toolkit/system.h"

namespace engine {

namespace {

std::string destinationFolder;
const session::Session* boundSession = nullptr;

std::string WindowsFolder() {
  char buffer[MAX_PATH + 1] = {};
  const UINT n = GetWindowsDirectoryA(buffer, MAX_PATH);
  return n && n <= MAX_PATH ? std::string(buffer, n) : std::string();
}

// The Quick Launch folder below the application data folder. Its last part
// also names the registry value that may place it elsewhere.
constexpr char kQuickLaunchPath[] = "\\Microsoft\\Internet Explorer\\Quick Launch";
constexpr const char* kQuickLaunchName =
    kQuickLaunchPath + sizeof kQuickLaunchPath - sizeof "Quick Launch";

std::string QuickLaunchFolder() {
  std::string path = ReadRegistryText(
      1, "Software\\Microsoft\\Windows\\CurrentVersion\\GrpConv\\MapGroups", kQuickLaunchName);
  if (path.empty()) path = toolkit::ShellFolderPath(CSIDL_APPDATA) + kQuickLaunchPath;
  return toolkit::FolderExists(path) ? path : std::string();
}

bool Native64() { return boundSession && boundSession->state.native64; }

// The 64-bit Program Files folder, or its Common Files folder, as Windows
// tells 32-bit programs; empty on 32-bit Windows.
std::string ProgramFiles64(bool common) {
  if (!toolkit::WindowsRunsX64()) return std::string();
  char buffer[MAX_PATH + 1] = {};
  const DWORD n =
      GetEnvironmentVariableA(common ? "CommonProgramW6432" : "ProgramW6432", buffer, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return std::string(buffer, n);
  return ReadRegistryText(2, "Software\\Microsoft\\Windows\\CurrentVersion",
                          common ? "CommonFilesDir" : "ProgramFilesDir",
                          toolkit::RegistryView(true));
}

// The Program Files folder of a 32-bit program: this process's own view.
std::string ProgramFiles32() {
  const std::string pf = toolkit::ShellFolderPath(CSIDL_PROGRAM_FILES);
  if (!pf.empty()) return pf;
  const std::string win = WindowsFolder();
  return win.empty() ? std::string() : win.substr(0, 1) + ":\\Program Files";
}

class SystemVariables : public qb::VariableSource {
 public:
  std::string Value(int number) override;
  std::string ShortForm(const std::string& path) override {
    char buffer[MAX_PATH] = {};
    const DWORD n = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    // A short form that does not fit the buffer is no short form.
    return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
  }
};

std::string SystemVariables::Value(int number) {
  char buffer[MAX_PATH + 1] = {};
  DWORD size = sizeof buffer;
  switch (number) {
    case 1:
      return Native64() ? ProgramFiles64(false) : ProgramFiles32();
    case 2:
      return WindowsFolder();
    case 3:
      // In a 64-bit package the same text names the native folder: its
      // files are placed through toolkit::UnredirectedPath.
      return toolkit::SystemFolder();
    case 4:
      return destinationFolder;
    case 5:
      return toolkit::TempFolder();
    case 6:
      return toolkit::ShellFolderPath(CSIDL_DESKTOP);
    case 7:
      return QuickLaunchFolder();
    case 8:
      return toolkit::ShellFolderPath(CSIDL_PROGRAMS);
    case 9:
      return toolkit::ShellFolderPath(CSIDL_STARTMENU);
    case 10:
      return toolkit::ShellFolderPath(CSIDL_PERSONAL);
    case 11:
      return toolkit::ShellFolderPath(CSIDL_FAVORITES);
    case 12:
      return toolkit::ShellFolderPath(CSIDL_SENDTO);
    case 13:
      return toolkit::ShellFolderPath(CSIDL_PROFILE);
    case 14:
      return toolkit::ShellFolderPath(CSIDL_STARTUP);
    case 15:
      return toolkit::ShellFolderPath(CSIDL_FONTS);
    case 16:
      if (Native64()) return ProgramFiles64(true);
      return IsNtFamily() ? toolkit::ShellFolderPath(CSIDL_PROGRAM_FILES_COMMON)
                          : qb::VariableValue(*this, 1) + "\\Common Files";
    case 17:
      return WindowsFolder().substr(0, 3);
    case 18:
      return toolkit::FolderOf(toolkit::ModulePath());
    case 20: {
      char name[256] = {};
      DWORD n = sizeof name;
      return GetUserNameA(name, &n) ? std::string(name) : std::string();
    }
    case 21:
      return boundSession ? boundSession->state.languageName : std::string();
    case 22:
      return GetComputerNameA(buffer, &size) ? std::string(buffer) : std::string();
    case 23:
      return toolkit::ShellFolderPath(CSIDL_LOCAL_APPDATA);
    case 24: {
      // The per-user programs folder, where Windows itself puts programs
      // installed for one user.
      const std::string local = toolkit::ShellFolderPath(CSIDL_LOCAL_APPDATA);
      return local.empty() ? local : local + "\\Programs";
    }
    case 25:
      return ProgramFiles32();
    case 36:
      return ProgramFiles64(false);
    case 37:
      return toolkit::System32BitFolder();
    case 38:
      // Outside a 64-bit package a 32-bit program reaches the native system
      // folder only by its Sysnative name.
      if (!toolkit::WindowsRunsX64()) return std::string();
      return Native64() ? toolkit::SystemFolder()
                        : toolkit::UnredirectedPath(toolkit::SystemFolder());
    case 26:
      return toolkit::ShellFolderPath(CSIDL_APPDATA);
    case 27:
      return toolkit::ShellFolderPath(CSIDL_COMMON_APPDATA);
    case 28:
      return toolkit::ShellFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY);
    case 29:
      return toolkit::ShellFolderPath(CSIDL_COMMON_DOCUMENTS);
    case 30:
      return toolkit::ShellFolderPath(CSIDL_COMMON_FAVORITES);
    case 31:
      return toolkit::ShellFolderPath(CSIDL_COMMON_PROGRAMS);
    case 32:
      return toolkit::ShellFolderPath(CSIDL_COMMON_STARTMENU);
    case 33:
      return toolkit::ShellFolderPath(CSIDL_COMMON_STARTUP);
    case 34:
      return toolkit::ShellFolderPath(CSIDL_TEMPLATES);
    case 35:
      return toolkit::ShellFolderPath(CSIDL_COMMON_TEMPLATES);
    default:
      if (number >= 81 && number <= 100 && boundSession) {
        // Registry variables 1 to 20, read once at startup.
        const qb::RecordList& list = boundSession->package.Records(qb::List::kRegistryVariables);
        return list.Field(static_cast<size_t>(number - 81), 0);
      }
      return std::string();
  }
}

}  // namespace

bool IsNtFamily() { return (GetVersion() & 0x80000000u) == 0; }

void SetDestinationFolder(const std::string& folder) { destinationFolder = folder; }
const std::string& DestinationFolder() { return destinationFolder; }

std::string ReadRegistryText(long long root, const std::string& key, const std::string& name,
                             REGSAM view) {
  HKEY rootKey = toolkit::RegistryRoot(root);
  if (!rootKey) return std::string();
  HKEY handle = nullptr;
  if (RegOpenKeyExA(rootKey, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) {
    return std::string();
  }
  std::string text;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(handle, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    std::string data(size + 1, '\0');
    if (RegQueryValueExA(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                         &size) == ERROR_SUCCESS) {
      data.resize(size);
      if (type == REG_SZ || type == REG_EXPAND_SZ) {
        text = data.c_str();
        if (type == REG_EXPAND_SZ) {
          const DWORD n = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
          std::string expanded(n + 1, '\0');
          ExpandEnvironmentStringsA(text.c_str(), &expanded[0], n + 1);
          text = expanded.c_str();
        }
      } else if (type == REG_DWORD && size >= 4) {
        DWORD value;
        std::memcpy(&value, data.data(), 4);
        text = qb::Decimal(value);
      } else if (type == REG_DWORD_BIG_ENDIAN) {
        text = "0";
      }
    }
  }
  RegCloseKey(handle);
  return text;
}

void BindSession(const session::Session& session) { boundSession = &session; }

void LoadRegistryVariables(session::Session& session) {
  qb::RecordList& list = session.package.Records(qb::List::kRegistryVariables);
  std::vector<std::string> values;
  for (size_t r = 0; r < list.Count(); ++r) {
    std::string value =
        ReadRegistryText(qb::ReadNumber(list.Field(r, 0)), list.Field(r, 1), list.Field(r, 2),
                         toolkit::RegistryView(session.state.native64));
    values.push_back(value.empty() ? list.Field(r, 3) : value);
  }
  list.width = 1;
  list.items = std::move(values);
}

std::string ExpandText(const std::string& text) {
  SystemVariables source;
  return qb::ExpandTokens(text, source);
}

std::string Variable(int number) {
  SystemVariables source;
  return qb::VariableValue(source, number);
}

}  // namespace engine
