#include "actions/completion.h"

#include <windows.h>

#include "engine/extract.h"
#include "engine/variables.h"
#include "session/ending.h"
#include "session/workfolder.h"
#include "toolkit/application.h"
#include "toolkit/files.h"
#include "toolkit/log.h"
#include "toolkit/shell.h"

namespace actions {

namespace {

void Open(const std::string& target) { toolkit::ShellOpen(target, SW_SHOW); }

// Asks Windows to restart. Programs that still run are asked to close and
// may save their work; only one that hangs is ended. The reason recorded is
// a planned installation. Returns whether Windows accepted the request.
bool Restart() {
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
  return ExitWindowsEx(EWX_REBOOT | EWX_FORCEIFHUNG, SHTDN_REASON_MAJOR_APPLICATION |
                                                         SHTDN_REASON_MINOR_INSTALLATION |
                                                         SHTDN_REASON_FLAG_PLANNED) != 0;
}

}  // namespace

void CompletionStep(const session::Session& session, const FinishChoices& choices) {
  const qb::Package& pkg = session.package;
  if (session.state.background) ShowWindow(session.state.background, SW_HIDE);
  ShowWindow(toolkit::Application.Handle(), SW_HIDE);
  if (pkg.Flag(qb::kRunProgramOffered) && choices.runProgram) {
    const std::string command = engine::ExpandText(pkg.Text(qb::kProgramToRun));
    SetCurrentDirectoryA(toolkit::FolderPart(command).c_str());
    if (WinExec(command.c_str(), SW_SHOW) < 32) Open(command);
  }
  if (pkg.Flag(qb::kReadmeOffered) && choices.viewReadme) {
    const std::string readme = engine::ExpandText(pkg.Text(qb::kReadmeDocument));
    SetCurrentDirectoryA(toolkit::FolderPart(readme).c_str());
    Open(readme);
  }
  if (pkg.Flag(qb::kThirdItemOffered) && choices.openThirdItem) {
    Open(engine::ExpandText(pkg.Text(qb::kThirdItem)));
  }
  // A restart the package needs and that did not happen is told by the
  // exit code.
  const bool restartPending = pkg.Flag(qb::kRestartRequired) && !(choices.restartNow && Restart());
  session::EndProgram(
      session, restartPending ? qb::ExitReason::kRestartPending : qb::ExitReason::kInstalled);
}

void AbandonInstallation(engine::RunState& run) {
  toolkit::Log("installation abandoned");
  run.host.ReportAbandoned();
  engine::DiscardExtraction(run);
  session::RemoveWorkFolder(run.session);
  session::EndProgram(run.session, run.failureReason);
}

}  // namespace actions
