#include "startup/checks.h"

#include <windows.h>
// tlhelp32.h needs windows.h first.
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "environment/environment.h"
#include "startup/state.h"
#include "text/text.h"
#include "toolkit/application.h"
#include "toolkit/log.h"
#include "toolkit/shell.h"
#include "toolkit/system.h"

namespace startup {

namespace {

// Unattended, a check's question is answered no and its notice is not shown.
int Warn(const std::string& text, const std::string& caption, UINT buttons) {
  return toolkit::Prompt(toolkit::Application.Handle(), text, caption, buttons | MB_ICONEXCLAMATION,
                         (buttons & 0xF) == MB_OK ? IDOK : IDNO);
}

// A check failed: the working folder goes and the program ends.
[[noreturn]] void Unsuitable() {
  RemoveWorkFolder();
  EndProgram(qb::ExitReason::kMachineUnsuitable);
}

int CurrentWindowsClass() {
  static int windowsClass = -1;
  if (windowsClass < 0) {
    const DWORD version = GetVersion();
    windowsClass = qb::WindowsClass((version & 0x80000000u) == 0, LOBYTE(LOWORD(version)),
                                    HIBYTE(LOWORD(version)));
  }
  return windowsClass;
}

// Whether the user's token holds the Administrators group enabled. A
// deny-only membership (an administrator whose rights User Account Control
// holds back) does not count: such a user cannot write where installations
// go.
bool IsAdministrator() {
  HANDLE token = nullptr;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
    if (GetLastError() != ERROR_NO_TOKEN) return false;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  }
  CloseHandle(token);
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                0, 0, 0, 0, &administrators)) {
    return false;
  }
  BOOL member = FALSE;
  const bool known = CheckTokenMembership(nullptr, administrators, &member) != 0;
  FreeSid(administrators);
  return known && member;
}

double InstalledDotNet() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\.NETFramework\\policy", 0, KEY_READ,
                    &key) != ERROR_SUCCESS) {
    return 0;
  }
  std::vector<std::string> names;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, length);
  }
  RegCloseKey(key);
  return qb::InstalledDotNetVersion(names);
}

// Windows of the close target, found again and again until the same one
// comes back (it did not close at the first request) or none is left.
struct TitleSearch {
  std::string target;
  HWND found;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<TitleSearch*>(context);
  char title[1025] = {};
  GetWindowTextA(window, title, 1024);
  if (qb::TitleHoldsTarget(title, search->target)) search->found = window;
  return TRUE;
}

HWND FindWindowByTitlePart(const std::string& part) {
  TitleSearch search = {part, nullptr};
  EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void CloseWindows(const std::string& target, bool byPart, HWND background) {
  HWND previous = nullptr;
  for (;;) {
    HWND window = byPart ? FindWindowByTitlePart(target) : FindWindowA(nullptr, target.c_str());
    if (!window || window == previous) break;
    if (window != toolkit::Application.Handle() && window != background) {
      PostMessageA(window, WM_CLOSE, 0, 0);
    }
    previous = window;
  }
}

bool TerminateProcessById(DWORD id) {
  HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, TRUE, id);
  if (!process) return false;
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  const bool ended = TerminateProcess(process, code) != 0;
  CloseHandle(process);
  return ended;
}

// The process functions: kernel32's own where it has them, else the
// process status library, loaded by its full path in the system folder.
struct ProcessFunctions {
  using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
  using EnumModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
  using ModuleNameFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
  EnumProcessesFn enumProcesses = nullptr;
  EnumModulesFn enumModules = nullptr;
  ModuleNameFn moduleName = nullptr;

  ProcessFunctions() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    enumProcesses = toolkit::LibraryFunction<EnumProcessesFn>(kernel, "K32EnumProcesses");
    enumModules = toolkit::LibraryFunction<EnumModulesFn>(kernel, "K32EnumProcessModules");
    moduleName = toolkit::LibraryFunction<ModuleNameFn>(kernel, "K32GetModuleFileNameExA");
    if (enumProcesses && enumModules && moduleName) return;
    HMODULE psapi = toolkit::LoadSystemLibrary("psapi.dll");
    enumProcesses = toolkit::LibraryFunction<EnumProcessesFn>(psapi, "EnumProcesses");
    enumModules = toolkit::LibraryFunction<EnumModulesFn>(psapi, "EnumProcessModules");
    moduleName = toolkit::LibraryFunction<ModuleNameFn>(psapi, "GetModuleFileNameExA");
  }
  bool Available() const { return enumProcesses && enumModules && moduleName; }
};

void EndProcessesNamed(const std::string& target) {
  if (CurrentWindowsClass() >= 4) {
    const ProcessFunctions functions;
    if (!functions.Available()) return;
    std::vector<DWORD> ids(1024);
    DWORD bytes = 0;
    if (!functions.enumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)),
                                 &bytes)) {
      return;
    }
    ids.resize(bytes / sizeof(DWORD));
    for (DWORD id : ids) {
      HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
      if (!process) continue;
      HMODULE module = nullptr;
      DWORD needed = 0;
      char path[301] = {};
      if (functions.enumModules(process, &module, sizeof module, &needed)) {
        functions.moduleName(process, module, path, 300);
      }
      CloseHandle(process);
      if (path[0] && qb::ProcessIsTarget(path, target)) TerminateProcessById(id);
    }
    return;
  }
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (qb::ProcessIsTarget(entry.szExeFile, target)) TerminateProcessById(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
}

}  // namespace

void CheckWindowsVersion() {
  if (!qb::ExcludedClass(Package.Number(qb::kExcludedWindows), CurrentWindowsClass())) return;
  if (!Startup.silent) {
    // The caption is the title as stored, not expanded.
    Warn(Package.Msg(qb::kMsgUnsupportedWindows) + Package.Text(qb::kExcludedWindowsText),
         Package.Text(qb::kInstallerTitle), MB_OK);
  }
  Unsuitable();
}

void CheckArchitecture() {
  if (!Package.LaterFlag(qb::kNative64) || Startup.native64) return;
  if (!Startup.silent) {
    std::string why = Package.Msg(qb::kMsgNeeds64BitWindows);
    // Packages are made with this message; the text stands in for a
    // language table that lacks it.
    if (why.empty()) why = "It needs a 64-bit version of Windows.";
    Warn(Package.Msg(qb::kMsgUnsupportedWindows) + why, Startup.installerTitle, MB_OK);
  }
  Unsuitable();
}

void CheckAdministrator() {
  if (!Package.Flag(qb::kRequireAdmin) || IsAdministrator()) return;
  Warn(Package.Msg(qb::kMsgAdminRequired), Startup.installerTitle, MB_OK);
  Unsuitable();
}

void CheckDotNet() {
  const std::string& wanted = Package.Text(qb::kRequiredDotNet);
  if (wanted == "0") return;
  const double required = qb::ReadVersionNumber(wanted);
  if (qb::DotNetSatisfies(required, InstalledDotNet(), Package.Flag(qb::kDotNetAtLeast))) return;
  const std::string& address = Package.Text(qb::kDotNetDownload);
  if (address == "0") {
    Warn(Package.Msg(qb::kMsgDotNetMissing), Startup.installerTitle, MB_OK);
  } else if (Warn(Package.Msg(qb::kMsgDotNetMissing) + " " + Package.Msg(qb::kMsgDotNetQuestion),
                  Startup.installerTitle, MB_YESNO) == IDYES) {
    toolkit::ShellOpen(address, SW_SHOWNORMAL);
  }
  Unsuitable();
}

void CloseRunningApplication(HWND background) {
  if (!Package.Flag(qb::kCloseRunningApp)) return;
  const std::string& target = Package.Text(qb::kAppToClose);
  const int64_t mode = Package.Number(qb::kCloseMatchMode);
  if (mode == 0 || mode == 1) {
    CloseWindows(target, mode == 1, background);
  } else if (mode >= 2) {
    EndProcessesNamed(target);
  }
}

}  // namespace startup
