// Program entry of the setup stub.
#include <windows.h>

#include "startup/background.h"
#include "startup/ending.h"
#include "startup/workfolder.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/system.h"
#include "wizard/wizard.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything can load a library: only the system folder is searched.
  tk::RestrictDllSearch();

  tk::InitControls();
  tk::Application.Create("*");
  st::Background.Create();
  wz::CreateWizard();
  tk::Application.Run();
  // The page flow ends the program itself; the loop ends only when the
  // system asks every program to close.
  st::RemoveWorkFolder();
  st::EndProgram(qb::ExitReason::kCancelled);
}
