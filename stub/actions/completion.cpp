#include "actions/completion.h"

#include <windows.h>

#include "engine/extract.h"
#include "engine/variables.h"
#include "session/ending.h"
#include "session/workfolder.h"
#include "text/command_line.h"
#include "toolkit/application.h"
#include "toolkit/files.h"
#include "toolkit/log.h"
#include "toolkit/shell.h"

namespace actions {

namespace {

// Starts a command of the package: the program (or document) it names,
// passed to the shell as one file, with the rest as its parameters; a path
// with blanks never starts a program at a shorter part of it.
void StartCommand(const std::string& command) {
  std::string file, parameters;
  qb::SplitCommand(
      command, [](const std::string& path) { return toolkit::FileExists(path); }, file, parameters);
  const bool started = toolkit::StartProgram(file, parameters, SW_SHOW, nullptr);
  toolkit::Log({started ? "started: " : "could not start: ", file, parameters.empty() ? "" : " ",
                parameters});
}

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
    StartCommand(engine::ExpandText(pkg.Text(qb::kProgramToRun)));
  }
  if (pkg.Flag(qb::kReadmeOffered) && choices.viewReadme) {
    // A document: the whole text is its path.
    const std::string readme = engine::ExpandText(pkg.Text(qb::kReadmeDocument));
    const bool opened = toolkit::StartProgram(readme, "", SW_SHOW, nullptr);
    toolkit::Log({opened ? "opened: " : "could not open: ", readme});
  }
  if (pkg.Flag(qb::kThirdItemOffered) && choices.openThirdItem) {
    const std::string item = engine::ExpandText(pkg.Text(qb::kThirdItem));
    const bool opened = toolkit::ShellOpen(item, SW_SHOW);
    toolkit::Log({opened ? "opened: " : "could not open: ", item});
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
