// Program entry of the setup stub.
#include <windows.h>

#include <cstdlib>

#include "run/installation_run.h"
#include "startup/background.h"
#include "startup/state.h"
#include "toolkit/application.h"
#include "toolkit/runtime.h"
#include "toolkit/system.h"
#include "wizard/wizard.h"

namespace {

// Memory set aside at the start and given back when memory runs out, so that
// the clean-up has some to work with.
void* reserve = nullptr;

// Memory ran out: whatever the run was writing goes, the working folder is
// removed, and the program ends with its own exit code.
[[noreturn]] void OutOfMemory() {
  static bool ending = false;
  if (ending) ExitProcess(qb::kExitOutOfMemory);
  ending = true;
  std::free(reserve);
  reserve = nullptr;
  installation::DiscardActiveRun();
  startup::RemoveWorkFolder();
  startup::EndProgram(qb::ExitReason::kOutOfMemory);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything can load a library: only the system folder is searched.
  toolkit::RestrictDllSearch();
  reserve = std::malloc(256 * 1024);
  toolkit::SetOutOfMemoryHandler(OutOfMemory);

  toolkit::Application.Create("*");
  startup::Background.Create();
  wizard::CreateWizard(startup::TheSession);
  toolkit::Application.Run();
  // The page flow ends the program itself; the loop ends only when the
  // system asks every program to close.
  startup::RemoveWorkFolder();
  startup::EndProgram(qb::ExitReason::kCancelled);
}
