#include "startup/background.h"

#include "startup/main.h"
#include "toolkit/application.h"

namespace startup {

TBackgroundWindow Background;

bool TBackgroundWindow::Create() {
  if (!CreateTopLevel("TQuillboxBackground", "", WS_POPUP, 0, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                      GetSystemMetrics(SM_CYSCREEN), toolkit::Application.Handle())) {
    return false;
  }
  StartupRoutine();
  return true;
}

void PrepareBackground() {
  // The gradient and picture looks are not built yet; the window stays
  // hidden.
  Background.Hide();
}

}  // namespace startup
