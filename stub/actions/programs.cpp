#include "actions/programs.h"

#include <windows.h>

#include "engine/run_state.h"
#include "engine/variables.h"
#include "text/text.h"
#include "toolkit/application.h"
#include "toolkit/log.h"
#include "toolkit/shell.h"
#include "toolkit/system.h"

namespace actions {

void RunPrograms(engine::RunState& run, ProgramPhase phase) {
  const qb::Package& pkg = run.session.package;
  run.Status(pkg.Msg(qb::kMsgStatusPrograms));
  toolkit::Application.ProcessMessages();
  const qb::RecordList& programs = pkg.Records(qb::List::kPrograms);
  // Only the install-time records; the uninstall-time ones follow them and
  // are never started here.
  const int64_t installTime = pkg.Number(qb::kInstallProgramCount);
  for (int64_t r = 0; r < installTime && static_cast<size_t>(r) < programs.Count(); ++r) {
    const size_t i = static_cast<size_t>(r);
    if (qb::ReadNumber(programs.Field(i, 4)) != phase) continue;
    std::string file = engine::ExpandText(programs.Field(i, 1));
    // A 64-bit package's programs in the system folder are the native ones.
    if (run.session.state.native64) file = toolkit::UnredirectedPath(file);
    const std::string parameters = engine::ExpandText(programs.Field(i, 2));
    const bool wait = qb::ReadNumber(programs.Field(i, 5)) == 1;
    HANDLE process = nullptr;
    const bool started = toolkit::StartProgram(
        file, parameters, static_cast<int>(qb::ReadNumber(programs.Field(i, 3))),
        wait ? &process : nullptr);
    toolkit::Log({started ? "program started: " : "program could not start: ", file,
                  parameters.empty() ? "" : " ", parameters, wait ? " (waited for)" : ""});
    toolkit::WaitForProgram(
        process, [](void*) { toolkit::Application.ProcessMessages(); }, nullptr);
    run.ProgressStep();
  }
}

}  // namespace actions
