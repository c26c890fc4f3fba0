// quillbox-uninstall: removes an application that a Quillbox installer put
// on the machine, guided by the uninstall log the installation wrote.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "log_check.h"
#include "removal.h"
#include "self_copy.h"
#include "text/text.h"
#include "toolkit/files.h"
#include "toolkit/runtime.h"
#include "toolkit/system.h"
#include "uninstall/log_reader.h"
#include "uninstall/removal_rules.h"
#include "window.h"

namespace uninstaller {

namespace {

// Reports nothing: a silent removal.
class SilentHost : public RemovalHost {
 public:
  void ShowStatus(const std::string&) override {}
  void Step() override {}
  void KeepResponsive() override {}
  bool StopRequested() override { return false; }
};

int ExitCodeOf(const RemovalResult& result) {
  if (result.stopped) return qb::kUninstallCancelled;
  if (!result.leftBehind.empty()) return qb::kUninstallLeftBehind;
  if (result.restartNeeded) return qb::kUninstallRestart;
  return qb::kUninstallDone;
}

// In a temporary copy, hands the code to the original; returns what the
// copy ends with: the code, or what the original reports when it could not
// be handed on.
int Reported(const qb::UninstallerOptions& options, int code) {
  return ReportResult(options.resultPipe, code) ? code : qb::kUninstallCopyLost;
}

// Says why nothing was removed, unless the run is silent.
void Refuse(const qb::UninstallerOptions& options, LogVerdict verdict, const CheckedLog& checked) {
  if (options.silent) return;
  const std::string text =
      verdict == LogVerdict::kOutside
          ? "The uninstall information of this program names " + checked.outside +
                ", which lies outside what its installation could have made, so nothing was "
                "removed."
          : std::string(
                "The uninstall information of this program is missing or damaged, so "
                "nothing was removed.");
  MessageBoxA(nullptr, text.c_str(), "Uninstall", MB_ICONERROR | MB_OK);
}

int Uninstall(const qb::UninstallerOptions& options, const std::string& self) {
  // A temporary copy reads the trailer from the file it was copied from: its
  // own file is open for deletion and cannot be opened again. That file is
  // also the one the Add/Remove Programs entry names.
  const bool inCopy = !options.original.empty();
  CheckedLog checked;
  const LogVerdict verdict = ReadCheckedLog(inCopy ? options.original : self, checked);
  if (verdict != LogVerdict::kAccepted) {
    Refuse(options, verdict, checked);
    return Reported(options, qb::kUninstallNoLog);
  }
  const qb::UninstallLog& log = checked.log;
  // The file the uninstaller was started from: this one, or the original
  // of a temporary copy (which must be the log's own uninstaller).
  std::string original = self;
  if (inCopy) {
    const bool listed = std::any_of(log.files.begin(), log.files.end(), [&](const std::string& f) {
      return qb::SamePath(f, options.original);
    });
    original = listed ? options.original : std::string();
  }

  SilentHost silent;
  TUninstallWindow* window = nullptr;
  if (!options.silent) {
    window = new TUninstallWindow(log, checked.headerImage);
    window->Build();
    if (!window->AskToRemove()) {
      delete window;
      return Reported(options, qb::kUninstallCancelled);
    }
  }
  RemovalHost& host = window ? static_cast<RemovalHost&>(*window) : silent;
  RemovalScope scope;
  scope.proven = checked.proven;
  scope.roots = checked.roots;
  scope.entryFound = checked.entryFound;
  scope.entry = checked.entry;
  scope.native64 = checked.native64;
  Removal removal(log, scope, host, original, checked.path);
  if (window) window->ShowProgress(removal.StepCount());
  removal.RunProgramsBefore();
  removal.UnregisterComponents();
  removal.RemoveFonts();
  removal.RemoveIniEntries();
  removal.RemoveRegistryEntries();
  removal.RemoveFiles();
  if (!removal.Result().stopped) {
    // A stopped removal keeps the log and the uninstaller, so that it can
    // be run again.
    removal.RemoveOwnFile(checked.path);
    int code = ExitCodeOf(removal.Result());
    if (inCopy) {
      code = Reported(options, code);
      WaitForOriginal(options.parent);
    }
    if (!original.empty()) removal.RemoveOwnFile(original);
    if (!inCopy) code = ExitCodeOf(removal.Result());
    removal.RemoveFolders();
    removal.RunProgramsAfter();
    if (window) window->ShowSummary(removal.Result(), log.Setting(25));
    delete window;
    return code;
  }
  delete window;
  return Reported(options, qb::kUninstallCancelled);
}

}  // namespace

}  // namespace uninstaller

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  toolkit::RestrictDllSearch();
  toolkit::SetOutOfMemoryHandler([] {});
  const std::string self = toolkit::ModulePath();
  const qb::UninstallerOptions options =
      qb::ParseUninstallerOptions(qb::SkipProgramName(GetCommandLineA()));
  // Hold no folder that is to be removed.
  SetCurrentDirectoryA(toolkit::TempFolder().c_str());
  if (options.original.empty()) {
    int code = 0;
    if (uninstaller::RunFromTemporaryCopy(self, options.silent, code)) return code;
    return uninstaller::Uninstall(options, self);
  }
  const int code = uninstaller::Uninstall(options, self);
  uninstaller::RemoveCopyFolder(self, options.keep);
  return code;
}
