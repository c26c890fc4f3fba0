#include "actions/programs.h"

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "engine/run_state.h"
#include "engine/variables.h"
#include "startup/state.h"
#include "text/text.h"
#include "toolkit/application.h"
#include "toolkit/files.h"
#include "toolkit/log.h"
#include "toolkit/shell.h"

namespace actions {

void RunPrograms(engine::RunState& run, ProgramPhase phase) {
  const qb::Package& pkg = startup::Package;
  run.Status(pkg.Msg(qb::kMsgStatusPrograms));
  toolkit::Application.ProcessMessages();
  const qb::RecordList& programs = pkg.Records(qb::List::kPrograms);
  // Only the install-time records; the uninstall-time ones follow them and
  // are never started here.
  const int64_t installTime = pkg.Number(qb::kInstallProgramCount);
  for (int64_t r = 0; r < installTime && static_cast<size_t>(r) < programs.Count(); ++r) {
    const size_t i = static_cast<size_t>(r);
    if (qb::ReadNumber(programs.Field(i, 4)) != phase) continue;
    const std::string file = engine::ExpandText(programs.Field(i, 1));
    const std::string parameters = engine::ExpandText(programs.Field(i, 2));
    const std::string folder = toolkit::FolderPart(file);
    const bool wait = qb::ReadNumber(programs.Field(i, 5)) == 1;
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI | (wait ? SEE_MASK_NOCLOSEPROCESS | SEE_MASK_DOENVSUBST : 0);
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = static_cast<int>(qb::ReadNumber(programs.Field(i, 3)));
    const bool started = toolkit::ShellStart(info);
    toolkit::Log(std::string(started ? "program started: " : "program could not start: ") + file +
                 (parameters.empty() ? "" : " " + parameters) + (wait ? " (waited for)" : ""));
    if (info.hProcess) {
      while (WaitForSingleObject(info.hProcess, 50) == WAIT_TIMEOUT) {
        toolkit::Application.ProcessMessages();
      }
      CloseHandle(info.hProcess);
    }
    run.ProgressStep();
  }
}

}  // namespace actions
