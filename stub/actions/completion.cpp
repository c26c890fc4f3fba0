#include "actions/completion.h"

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "engine/extract.h"
#include "engine/variables.h"
#include "startup/background.h"
#include "startup/ending.h"
#include "startup/state.h"
#include "startup/workfolder.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/files.h"
#include "wizard/wizard.h"

namespace act {

namespace {

void Open(const std::string& target) {
  ShellExecuteA(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOW);
}

void Restart() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  const bool newerThan98 = version.dwPlatformId == VER_PLATFORM_WIN32_NT ||
                           (version.dwMajorVersion == 4 && version.dwMinorVersion >= 90);
  HANDLE token = nullptr;
  if (newerThan98 &&
      OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    TOKEN_PRIVILEGES privileges = {};
    if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
      privileges.PrivilegeCount = 1;
      privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
      AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    }
    CloseHandle(token);
  }
  ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0);
}

}  // namespace

void EndOfRun() {
  if (st::Startup.silent) st::EndProgram(qb::ExitReason::kInstalled);
  wz::Wizard->NextAfterRun();
}

void CompletionStep() {
  const qb::Package& pkg = st::Package;
  wz::TWizard& w = *wz::Wizard;
  st::Background.Hide();
  w.Hide();
  ShowWindow(tk::Application.Handle(), SW_HIDE);
  if (pkg.Flag(qb::kRunProgramOffered) && tk::IsChecked(w.runProgramCheck)) {
    const std::string command = en::ExpandText(pkg.Text(qb::kProgramToRun));
    SetCurrentDirectoryA(tk::FolderPart(command).c_str());
    if (WinExec(command.c_str(), SW_SHOW) < 32) Open(command);
  }
  if (pkg.Flag(qb::kReadmeOffered) && tk::IsChecked(w.viewReadmeCheck)) {
    const std::string readme = en::ExpandText(pkg.Text(qb::kReadmeDocument));
    SetCurrentDirectoryA(tk::FolderPart(readme).c_str());
    Open(readme);
  }
  if (pkg.Flag(qb::kThirdItemOffered) && tk::IsChecked(w.thirdCheck)) {
    Open(en::ExpandText(pkg.Text(qb::kThirdItem)));
  }
  if (pkg.Flag(qb::kRestartRequired) && tk::IsChecked(w.restartNow)) Restart();
  st::EndProgram(qb::ExitReason::kInstalled);
}

void AbortInstallation() {
  HWND owner = wz::Wizard ? wz::Wizard->Handle() : tk::Application.Handle();
  MessageBoxA(owner, st::Package.Msg(qb::kMsgAbandoned).c_str(), st::Startup.installerTitle.c_str(),
              MB_ICONEXCLAMATION | MB_OK);
  en::DiscardExtraction();
  st::RemoveWorkFolder();
  st::EndProgram(qb::ExitReason::kAbandoned);
}

}  // namespace act
